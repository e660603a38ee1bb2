// Hostile records and documents for every reader of stored forms: each one
// must be refused (or read) quickly, with its status, and without allocating
// more than a fixed multiple of its own size.
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/AllocationLimit.h"
#include "support/Bytes.h"
#include "support/XmlDoc.h"
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/types/IOUtils.h"
#include "zorvsupport/types/Property.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::Bytes;
using zorvtest::bufferOf;
using zorvtest::vectorHeader;

namespace {

constexpr unsigned kMiB = 1u << 20;

// Little-endian fields and filler appended to a record.
Bytes& u32(Bytes& b, unsigned v)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    return b;
}
Bytes pad(Bytes b, std::size_t total)
{
    if (b.size() < total) b.resize(total, 0);
    return b;
}
Bytes cat(Bytes a, Bytes const& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The zlib stream of no data.
Bytes const kEmptyStream = {0x78, 0x01, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};

// A one-dimensional "DataVector" document of `count` elements of `type` with
// tuple length `tuple`, and `values` as the content of "Values".
std::string vectorDocument(char const* type, unsigned tuple, unsigned count, std::string const& values,
                           std::string const& prolog = "")
{
    return prolog + "<r><DataVector num_dimensions=\"1\" dimension_x=\"" + std::to_string(count) +
           "\"><DataType type=\"" + type + "\" tupleLength=\"" + std::to_string(tuple) + "\"/><Values>" + values +
           "</Values></DataVector></r>";
}

std::string value(std::string const& text)
{
    return "<value value=\"" + text + "\"/>";
}

// A real number of n digits (a leading "1.", then zeros).
std::string longNumber(std::size_t n)
{
    return "1." + std::string(n - 2, '0');
}

// What one row runs, made before the memory cap and the clock start, and the
// check of what it leaves (run after the cap is lifted).
struct Prepared {
    std::function<long()> run;
    std::function<void()> after = [] {};
};

struct Row {
    std::string name;
    std::size_t inputSize;
    std::function<Prepared()> prepare;
    long status;
    unsigned long long declared = 0;  // value bytes the input legitimately holds
};

// The input as a reader takes it: a buffer of its bytes, or the document it
// parses to.
struct Input {
    Input(std::string const& bytes, bool isXml)
        : xml(isXml), doc(isXml ? bytes : "<r/>"), buffer(bufferOf(Bytes(bytes.begin(), bytes.end())))
    {
        EXPECT_TRUE(doc.ok());
    }
    bool xml;
    zorvtest::XmlDoc doc;
    IOBuffer buffer;
};

std::string text(Bytes const& b)
{
    return std::string(b.begin(), b.end());
}

// Reads the input with DataVector::create; a failure gives no vector.
Row createVector(std::string name, std::string input, bool xml, long status)
{
    std::size_t size = input.size();
    return {name, size, [input, xml] {
                auto in = std::make_shared<Input>(input, xml);
                auto result = std::make_shared<boost::shared_ptr<DataVector>>();
                return Prepared{[in, result] {
                                    long st = -1;
                                    *result = in->xml ? DataVector::create(in->doc.root(), st)
                                                      : DataVector::create(in->buffer, st);
                                    return st;
                                },
                                [result] { EXPECT_FALSE(*result); }};
            },
            status};
}

Row createBinary(std::string name, Bytes const& record, long status)
{
    return createVector(std::move(name), text(record), false, status);
}

Row createXml(std::string name, std::string document, long status)
{
    return createVector(std::move(name), std::move(document), true, status);
}

// The state of a vector that a refused read must leave as it was.
struct Snapshot {
    unsigned dims[4];
    Bytes values;

    explicit Snapshot(DataVector const& v)
    {
        for (int i = 0; i < 4; ++i) dims[i] = v.getDimension(i);
        auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
        if (p) values.assign(p, p + v.getSizeInBytes());
    }
    void expectSame(DataVector const& v) const
    {
        Snapshot now(v);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(now.dims[i], dims[i]) << "dimension " << i;
        EXPECT_TRUE(now.values == values);
    }
};

// Reads the input into `target()` with readFromBinary or readFromXML; a
// refusal leaves the target as it was.
Row readInto(std::string name, std::string input, bool xml, std::function<boost::shared_ptr<DataVector>()> target,
             long status)
{
    std::size_t size = input.size();
    return {name, size, [input, xml, target] {
                auto v = target();
                for (unsigned i = 0; i < v->getSizeInBytes(); ++i) static_cast<unsigned char*>(v->getDataPtr())[i] = 0xA5;
                auto before = std::make_shared<Snapshot>(*v);
                auto in = std::make_shared<Input>(input, xml);
                return Prepared{[=] { return xml ? v->readFromXML(in->doc.root()) : v->readFromBinary(in->buffer); },
                                [=] { before->expectSame(*v); }};
            },
            status};
}

// Reads into a Variant holding the int32 5, which a refusal leaves as it was.
Row readVariant(std::string name, std::string input, bool xml, long status)
{
    std::size_t size = input.size();
    return {name, size, [input, xml] {
                auto v = std::make_shared<Variant>(TDataType<6>(), 5);
                auto in = std::make_shared<Input>(input, xml);
                return Prepared{[=] { return xml ? v->readFromXML(in->doc.root()) : v->readFromBinary(in->buffer); },
                                [=] {
                                    if (xml) {
                                        EXPECT_EQ(v->getDataType(), DataType(DataType::kInt32, 0));
                                        EXPECT_EQ(v->valueAs<int>(), 5);
                                    }
                                }};
            },
            status};
}

Row readProperty(std::string name, Bytes record, long status)
{
    std::size_t size = record.size();
    return {name, size, [record] {
                auto buffer = std::make_shared<IOBuffer>(bufferOf(record));
                auto p = std::make_shared<Property>();
                return Prepared{[=] { return p->readFromBinary(*buffer); }};
            },
            status};
}

// A stored Property node: empty texts, the given value length (no value
// bytes follow) and child count.
Bytes propertyNode(unsigned valueLength, unsigned children)
{
    Bytes b;
    u32(b, 20 + valueLength);
    for (int i = 0; i < 4; ++i) u32(b, i == 3 ? valueLength : 0);
    return u32(b, children);
}

template <int N>
std::function<boost::shared_ptr<DataVector>()> vectorOf(DataType type, ZELUNnPoint<unsigned, N> dims)
{
    return [=] { return boost::shared_ptr<DataVector>(DataVectorND<N>::create(type, dims)); };
}

std::vector<Row> hostileRows()
{
    using P1 = ZELUNnPoint<unsigned, 1>;
    using P2 = ZELUNnPoint<unsigned, 2>;
    std::vector<Row> rows;

    // --- Binary form of vectors.
    // An 8-byte empty zlib stream behind a header declaring 1 GiB, padded to 1 MiB.
    Bytes emptyStream = vectorHeader(DataType::kUInt8, 0, 1, 1, {1u << 30});
    emptyStream = pad(cat(u32(emptyStream, 8), kEmptyStream), kMiB);
    rows.push_back(createBinary("zlib: empty stream declaring 1 GiB", emptyStream, kErrDecompressFailed));
    rows.push_back(readInto("zlib: empty stream declaring 1 GiB, into a vector", text(emptyStream), false,
                            vectorOf(DataType(DataType::kUInt8, 0), P1(4)), kErrDecompressFailed));
    // Rereads whose first dimension differs: adopting the stored last
    // dimension first would make 1 GiB and 1.5 GiB.
    Bytes floats = vectorHeader(DataType::kFloat32, 0, 2, 0, {1, 16384});
    rows.push_back(readInto("64 KiB float32 record into 16384 x 1", text(pad(floats, 28 + 65536)), false,
                            vectorOf(DataType(DataType::kFloat32, 0), P2(16384, 1)), kErrVectorHeaderMismatch));
    Bytes vec3 = vectorHeader(DataType::kVec3, 0, 2, 0, {1, 8192});
    rows.push_back(readInto("196 KiB 3-vector record into 8192 x 1", text(pad(vec3, 28 + 8192 * 24)), false,
                            vectorOf(DataType(DataType::kVec3, 0), P2(8192, 1)), kErrVectorHeaderMismatch));
    // Refused already before: raw values beyond the input, a bad type code, an
    // unknown compression, five dimensions, a stream beyond the input, a
    // damaged stream, values beyond 4 GiB, a stream too short for its values.
    Bytes raw = vectorHeader(DataType::kFloat32, 0, 1, 0, {0x3FFFFFFF});
    rows.push_back(createBinary("raw values beyond the input", pad(raw, 64), kErrBufferExhausted));
    rows.push_back(createBinary("type code 12", vectorHeader(12, 0, 1, 0, {1}), kErrBadStoredTypeCode));
    rows.push_back(createBinary("compression 2", vectorHeader(DataType::kUInt8, 0, 1, 2, {0xFFFFFFFF}),
                                kErrUnknownCompression));
    rows.push_back(createBinary("five dimensions", vectorHeader(DataType::kUInt8, 0, 5, 0, {1, 1, 1, 1}),
                                kErrCannotCreateVector));
    Bytes farStream = vectorHeader(DataType::kUInt8, 0, 1, 1, {16});
    rows.push_back(createBinary("stream length beyond the input", pad(u32(farStream, 0xFFFFFFF0u), 48),
                                kErrCompressedLengthTooLong));
    Bytes damaged = vectorHeader(DataType::kUInt8, 0, 1, 1, {16});
    rows.push_back(createBinary("damaged stream", cat(u32(damaged, 8), Bytes(8, 0xFF)), kErrDecompressFailed));
    rows.push_back(createBinary("values beyond 4 GiB", vectorHeader(DataType::kFloat64, 0, 2, 0, {65536, 65536}),
                                kErrCannotCreateVector));
    Bytes shortStream = vectorHeader(DataType::kUInt8, 0, 1, 1, {0xFFFFFFFF});
    rows.push_back(createBinary("stream far too short for its values", pad(cat(u32(shortStream, 8), kEmptyStream), 4096),
                                kErrDecompressFailed));

    // --- XML form of vectors.
    std::string const oneTuple = "<value>" + value("A") + "</value>";
    std::string const longTuple = vectorDocument("uint8", 0xFFFFFFFF, 1, oneTuple);
    rows.push_back(createXml("uint8 tuple of length 2^32 - 1", longTuple, kErrValueCountMismatch));
    rows.push_back(readInto("uint8 tuple of length 2^32 - 1, into a vector", longTuple, true,
                            vectorOf(DataType(DataType::kUInt8, 0xFFFFFFFF), P1(0)), kErrValueCountMismatch));
    rows.push_back(createXml("3-vector tuple of length 178956970",
                             vectorDocument("ZELUNVec3", 178956970, 1, "<value>" + value("0,0,0") + "</value>"),
                             kErrValueCountMismatch));
    rows.push_back(createXml("real of 10^5 digits", vectorDocument("float64", 0, 1, value(longNumber(100000))),
                             kErrTextNotNumber));
    std::string const million = vectorDocument("float64", 0, 1, value(longNumber(1000000)));
    rows.push_back(createXml("real of 10^6 digits", million, kErrTextNotNumber));
    rows.push_back(readInto("real of 10^6 digits, into a vector", million, true,
                            vectorOf(DataType(DataType::kFloat64, 0), P1(3)), kErrTextNotNumber));
    // 100 references to an entity of 1000 digits make one text of 100000.
    std::string refs;
    for (int i = 0; i < 100; ++i) refs += "&d;";
    rows.push_back(createXml("entity references to 100000 digits",
                             vectorDocument("float64", 0, 1, value("1." + refs),
                                            "<!DOCTYPE r [<!ENTITY d \"" + std::string(1000, '7') + "\">]>"),
                             kErrTextNotNumber));
    rows.push_back(createXml("10^9 elements declared, one value",
                             vectorDocument("int32", 0, 1000000000, value("1")), kErrValueCountMismatch));
    rows.push_back(createXml("2^32 - 1 elements declared, no values",
                             "<r><DataVector num_dimensions=\"1\" dimension_x=\"4294967295\">"
                             "<DataType type=\"uint8\" tupleLength=\"0\"/></DataVector></r>",
                             kErrValueCountMismatch));

    // --- Variant, Property and text readers.
    rows.push_back(readVariant("Variant: int32 tuple of 2^30 + 1, one value",
                               "<r><DataType type=\"int32\" tupleLength=\"1073741825\"/>" + value("1") + "</r>", true,
                               kErrVariantValueCountMismatch));
    rows.push_back(readVariant("Variant: real of 10^6 digits",
                               "<r value=\"" + longNumber(1000000) + "\"><DataType type=\"float64\" tupleLength=\"0\"/></r>",
                               true, kErrTextNotNumber));
    Bytes variant;
    u32(u32(variant, DataType::kUInt8), 0xFFFFFFFF);
    rows.push_back(readVariant("Variant: uint8 tuple of 2^32 - 1 in 8 bytes", text(pad(variant, 16)), false,
                               kErrBufferExhausted));
    rows.push_back(readProperty("Property: value of 2^32 - 1 bytes", propertyNode(0xFFFFFFFF, 0), kErrBufferExhausted));
    rows.push_back(readProperty("Property: 2^32 - 1 children", propertyNode(0, 0xFFFFFFFF), kErrBufferExhausted));
    Bytes deep;
    for (int i = 0; i < 2000; ++i) deep = cat(deep, propertyNode(0, 1));
    rows.push_back(readProperty("Property: 2000 levels", deep, kErrNotSupported));
    Bytes string;
    u32(string, 0xFFFFFFFF);
    rows.push_back({"text of 2^32 - 1 bytes", 8, [string] {
                        auto buffer = std::make_shared<IOBuffer>(bufferOf(string, false, 4));
                        return Prepared{[buffer] {
                            ZELUNUString t;
                            return IOUtils::readFromBinary(*buffer, t);
                        }};
                    },
                    kErrStringTooLong});
    return rows;
}

}  // namespace

// Each row under a cap of 8 times its input (plus what it legitimately
// declares, plus a fixed allowance for the process's own growth): a larger
// allocation fails and changes the status. The time is the best of five
// runs, so that a busy machine does not fail a row; the limit is 50 ms, 150 ms
// in sanitizer builds.
TEST(HostileInput, EndsFastSmallAndWithItsStatus)
{
    constexpr unsigned long long kAllowance = 16ull << 20;
    using Ms = std::chrono::duration<double, std::milli>;
    // Sanitizer builds run the same work about three times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr double kLimitMs = 150.0;
#else
    constexpr double kLimitMs = 50.0;
#endif
    for (Row const& row : hostileRows()) {
        SCOPED_TRACE(row.name);
        Ms best = Ms::max();
        for (int attempt = 0; attempt < 5 && best > Ms(kLimitMs); ++attempt) {
            Prepared p = row.prepare();
            long status = -1;
            {
                zorvtest::AllocationLimit limit(8ull * row.inputSize + row.declared + kAllowance);
                ASSERT_TRUE(limit.active());
                auto start = std::chrono::steady_clock::now();
                status = p.run();
                best = std::min<Ms>(best, std::chrono::steady_clock::now() - start);
            }
            ASSERT_EQ(status, row.status);
            p.after();
        }
        EXPECT_LE(best.count(), kLimitMs);
    }
}
