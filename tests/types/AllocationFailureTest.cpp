// Every allocation of an operation made to fail in turn: the operation either
// completes, or lets std::bad_alloc out (or returns its status) with the
// objects exactly as they were. Runs in every build; the sanitizers check
// that nothing leaks or is touched after release on the way.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "support/Bytes.h"
#include "support/CreatedOrShort.h"
#include "support/FailingAllocation.h"
#include "support/XmlDoc.h"

#include <unicode/datefmt.h>
#include <unicode/timezone.h>
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/datavector/StorageTestHooks.h"
#include "zorvsupport/types/BandType.h"
#include "zorvsupport/types/BandTypeFormatter.h"
#include "zorvsupport/types/IOBuffer.h"
#include "zorvsupport/types/IOUtils.h"
#include "zorvsupport/types/Property.h"
#include "zorvsupport/types/TextForms.h"
#include "zorvsupport/types/Tuple.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::Bytes;
using zorvtest::forEachAllocationFailure;

namespace {

using U8x = TTupleDataType<TDataType<3>>;

Bytes bytesOf(void const* p, std::size_t n)
{
    auto const* b = static_cast<unsigned char const*>(p);
    return n ? Bytes(b, b + n) : Bytes();
}

// A Property tree's names, value bytes and shape, depth first ("-" for an
// empty child handle).
std::string describe(Property const& p)
{
    std::string s = p.name().toUtf8() + "[" + std::to_string(p.value().getSizeInBytes()) + "]";
    if (p.value().getSizeInBytes()) s += std::to_string(p.value().getStartPtr()[0]);
    s += "(";
    for (auto const& c : p.children()) s += c ? describe(*c) : std::string("-");
    return s + ")";
}

Property tree(char const* name)
{
    Property root(nullptr, name, "t");
    root.value().resize(3);
    root.value().getStartPtr()[0] = 42;
    root.addChild("a", "t")->addChild("a1", "t");
    root.addChild("b", "t");
    return root;
}

}  // namespace

TEST(AllocationFailure, TupleAndVariantSetters)
{
    unsigned char const five[5] = {5, 6, 7, 8, 9};
    unsigned n = forEachAllocationFailure(
        [] {
            unsigned char const three[3] = {1, 2, 3};
            return Tuple<U8x>(U8x(3), three);
        },
        [&](Tuple<U8x>& t) { t.set(five, 5); },
        [&](Tuple<U8x>& t, bool threw) {
            EXPECT_EQ(bytesOf(t.data(), t.length()), threw ? (Bytes{1, 2, 3}) : Bytes(five, five + 5));
        });
    EXPECT_GT(n, 0u);

    struct Case {
        char const* what;
        void (*assign)(Variant&);
    };
    Case const cases[] = {
        {"typed set", [](Variant& v) { v.set(TDataType<1>(), 2.5); }},
        {"tuple set", [](Variant& v) { v.set(U8x(4), ConstTupleProxy<U8x>(nullptr, 0)); }},
        {"copy assignment", [](Variant& v) { v = Variant(TDataType<8>(), 7LL); }},
        {"view assignment", [](Variant& v) {
             unsigned short const pair[2] = {1, 2};
             v = ConstVariantRef(DataType(DataType::kUInt16, 2), pair);
         }},
        {"copy", [](Variant& v) { Variant copy(v); }},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        forEachAllocationFailure([] { return Variant(TDataType<6>(), 9); }, c.assign, [](Variant& v, bool threw) {
            if (!threw) return;
            EXPECT_EQ(v.getDataType(), DataType(DataType::kInt32, 0));
            EXPECT_EQ(v.valueAs<int>(), 9);
        });
    }
}

TEST(AllocationFailure, PropertyCopyAssignmentAndChildren)
{
    std::string const whole = describe(tree("r"));
    std::string const moved = "r[3]42(--)";

    // A failed copy keeps the source's children; a copy that is made takes them.
    forEachAllocationFailure([] { return tree("r"); }, [](Property& p) { Property copy(p); },
                             [&](Property& p, bool threw) { EXPECT_EQ(describe(p), threw ? whole : moved); });

    struct Pair {
        Property target = tree("t");
        Property source = tree("r");
    };
    std::string const target = describe(tree("t"));
    unsigned n = forEachAllocationFailure([] { return Pair(); }, [](Pair& p) { p.target = p.source; },
                                          [&](Pair& p, bool threw) {
                                              EXPECT_EQ(describe(p.target), threw ? target : whole);
                                              EXPECT_EQ(describe(p.source), threw ? whole : moved);
                                          });
    EXPECT_GT(n, 0u);

    forEachAllocationFailure([] { return tree("r"); }, [](Property& p) { p.addChild("c", "t"); },
                             [&](Property& p, bool threw) {
                                 EXPECT_EQ(describe(p), threw ? whole : "r[3]42(a[0](a1[0]())b[0]()c[0]())");
                             });
}

TEST(AllocationFailure, PropertyRead)
{
    Property stored = tree("s");
    stored.value().resize(5);
    IOBuffer image(stored.getSerializedSize(), false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(stored.writeToBinary(image), kSuccess);
    std::string const before = describe(tree("r"));
    std::string const read = describe(stored);
    unsigned n = forEachAllocationFailure(
        [&] {
            image.seek(0);
            return tree("r");
        },
        [&](Property& p) { EXPECT_EQ(p.readFromBinary(image), kSuccess); },
        [&](Property& p, bool threw) { EXPECT_EQ(describe(p), threw ? before : read); });
    EXPECT_GT(n, 0u);
}

TEST(AllocationFailure, IOBufferCopyAndResize)
{
    auto make = [] {
        IOBuffer b(4, false, IOBuffer::AllocatorHandle());
        b.write(0x04030201u);
        b.seek(2);
        return b;
    };
    auto same = [](IOBuffer& b) {
        EXPECT_EQ(b.getSizeInBytes(), 4u);
        EXPECT_EQ(b.tell(), 2u);
        EXPECT_EQ(bytesOf(b.getStartPtr(), 4), (Bytes{1, 2, 3, 4}));
    };
    forEachAllocationFailure(make, [](IOBuffer& b) { IOBuffer copy(b); }, [&](IOBuffer& b, bool) { same(b); });
    forEachAllocationFailure(make, [](IOBuffer& b) { b = IOBuffer(64, true, IOBuffer::AllocatorHandle()); },
                             [&](IOBuffer& b, bool threw) {
                                 if (threw) same(b);
                             });
    unsigned n = forEachAllocationFailure(make, [](IOBuffer& b) { EXPECT_EQ(b.resize(64), kSuccess); },
                                          [&](IOBuffer& b, bool threw) {
                                              if (threw) same(b);
                                          });
    EXPECT_GT(n, 0u);
}

// The vector readers and creation: each failure lets std::bad_alloc out or
// returns kErrOutOfMemory (the readers and DataVector::create, when the
// values cannot be had), and a vector read into keeps its shape and values.
// Every allocation counts, ICU's and libxml2's among them.
TEST(AllocationFailure, VectorReadersAndCreation)
{
    auto stored = DataVectorND<2>::create(DataType(DataType::kInt16, 2), ZELUNnPoint<unsigned, 2>(2, 3));
    for (unsigned i = 0; i < 12; ++i) static_cast<short*>(stored->getDataPtr())[i] = short(i * 3 - 7);
    zorvtest::XmlDoc doc;
    ASSERT_EQ(stored->writeToXML(doc.root()), kSuccess);
    IOBuffer image(stored->getHeaderSizeInBytes() + stored->getSizeInBytes(), false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(stored->writeToBinary(image), kSuccess);
    Bytes const storedValues = bytesOf(stored->getConstDataPtr(), stored->getSizeInBytes());

    long status = kSuccess;  // of the last attempt
    auto shortage = [&](bool threw) { return threw || status == kErrOutOfMemory; };
    auto target = [&] {
        status = kSuccess;
        auto v = DataVectorND<2>::create(DataType(DataType::kInt16, 2), ZELUNnPoint<unsigned, 2>(2, 1));
        static_cast<short*>(v->getDataPtr())[0] = 99;
        return v;
    };
    auto readsOrKeeps = [&](boost::shared_ptr<DataVectorND<2>>& v, bool threw) {
        EXPECT_TRUE(status == kSuccess || status == kErrOutOfMemory) << status;
        if (shortage(threw)) {
            EXPECT_EQ(v->getDimensions(), (ZELUNnPoint<unsigned, 2>(2, 1)));
            EXPECT_EQ(static_cast<short*>(v->getDataPtr())[0], 99);
        } else {
            EXPECT_EQ(v->getDimensions(), (ZELUNnPoint<unsigned, 2>(2, 3)));
            EXPECT_EQ(bytesOf(v->getConstDataPtr(), v->getSizeInBytes()), storedValues);
        }
    };
    unsigned n = forEachAllocationFailure(target, [&](auto& v) { status = v->readFromXML(doc.root()); },
                                          readsOrKeeps);
    EXPECT_GT(n, 0u);
    forEachAllocationFailure(
        target,
        [&](auto& v) {
            image.seek(0);
            status = v->readFromBinary(image);
        },
        readsOrKeeps);

    auto none = [&] {
        status = kSuccess;
        return boost::shared_ptr<DataVector>();
    };
    auto created = [&](boost::shared_ptr<DataVector>& v, bool threw) {
        zorvtest::expectCreatedOrShort(v, status, threw, [&](DataVector const& w) {
            EXPECT_EQ(bytesOf(w.getConstDataPtr(), w.getSizeInBytes()), storedValues);
        });
    };
    forEachAllocationFailure(none, [&](boost::shared_ptr<DataVector>& v) { v = DataVector::create(doc.root(), status); },
                             created);
    forEachAllocationFailure(none,
                             [&](boost::shared_ptr<DataVector>& v) {
                                 image.seek(0);
                                 v = DataVector::create(image, status);
                             },
                             created);
    // Creation by data type has no status: a shortage is std::bad_alloc,
    // never a vector of other dimensions.
    forEachAllocationFailure(
        [] { return boost::shared_ptr<DataVectorND<3>>(); },
        [](boost::shared_ptr<DataVectorND<3>>& v) {
            v = DataVectorND<3>::create(DataType(DataType::kVec3, 0), ZELUNnPoint<unsigned, 3>(2, 2, 2));
        },
        [](boost::shared_ptr<DataVectorND<3>>& v, bool threw) {
            ASSERT_EQ(bool(v), !threw);
            if (v) {
                EXPECT_EQ(v->size(), 8u);
            }
        });

    // The value storage itself failing: the read reports it and keeps the vector.
    auto v = target();
    DataVectorImp::failNextStorageAllocations(1);
    EXPECT_EQ(v->readFromXML(doc.root()), kErrOutOfMemory);
    DataVectorImp::failNextStorageAllocations(0);
    readsOrKeeps(v, true);
}

namespace {

using Vec3 = ZELUNVec3<double>;
using zorvtest::FailingAllocation;

FailingAllocation::Extent const kExtents[] = {FailingAllocation::kOnlyThat, FailingAllocation::kThatAndLater};

// The text form of `value` is `text` and reads back as `value`: every
// failure lets std::bad_alloc out (ICU's and the streams' included), never a
// conversion status, a partial text or another value.
template <class T>
void sweepTextForm(T const& value, ZELUNUString const& text)
{
    for (auto const extent : kExtents) {
        SCOPED_TRACE(extent == FailingAllocation::kOnlyThat ? "one failure" : "all later");
        long status = -1;
        forEachAllocationFailure([] { return ZELUNUString("old"); },
                                 [&](ZELUNUString& out) { status = valueToText<T>(value, out); },
                                 [&](ZELUNUString& out, bool threw) {
                                     if (threw) return;
                                     EXPECT_EQ(status, kSuccess);
                                     EXPECT_EQ(out, text) << out.toUtf8();
                                 },
                                 extent);
        forEachAllocationFailure([] { return T(); }, [&](T& out) { status = textToValue<T>(text, out); },
                                 [&](T& out, bool threw) {
                                     if (threw) {
                                         // Only the 3-vector stores a part before the rest is read.
                                         if constexpr (!std::is_same_v<T, Vec3>) {
                                             EXPECT_TRUE(out == T());
                                         }
                                         return;
                                     }
                                     EXPECT_EQ(status, kSuccess);
                                     EXPECT_TRUE(out == value);
                                 },
                                 extent);
    }
}

}  // namespace

// One value of every element type, texts as the text forms give them.
TEST(AllocationFailure, TextFormsOfEveryKind)
{
    sweepTextForm<double>(-2.25, "-2.25");
    sweepTextForm<float>(0.5f, "0.5");
    sweepTextForm<signed char>(65, "A");
    sweepTextForm<unsigned char>(200, ZELUNUString(icu::UnicodeString(char16_t(200))));
    sweepTextForm<short>(-12, "-12");
    sweepTextForm<unsigned short>(40000, "40000");
    sweepTextForm<int>(-2147483647 - 1, "-2147483648");
    sweepTextForm<unsigned>(4294967295u, "4294967295");
    sweepTextForm<long long>(-9223372036854775807LL - 1, "-9223372036854775808");
    sweepTextForm<unsigned long long>(18446744073709551615ULL, "18446744073709551615");
    sweepTextForm<Vec3>(Vec3(1.5, -2, 0.25), "1.5,-2.0,0.25");
    // Long enough that the strings hold their units on the heap.
    sweepTextForm<Vec3>(Vec3(123456789.125, -0.5, 987654321.25), "123456789.125,-0.5,987654321.25");
}

// The XML forms of a data type and of values: a write that fails lets
// std::bad_alloc out and leaves nothing half made (every node named, the
// value read back or absent), a read gives the value or std::bad_alloc.
TEST(AllocationFailure, DataTypeAndValueXmlForms)
{
    unsigned short const pair[2] = {7, 40000};
    struct Row {
        char const* what;
        Variant value;
    } const rows[] = {
        {"float64", Variant(TDataType<1>(), -2.25)},
        {"uint8", Variant(TDataType<3>(), static_cast<unsigned char>(200))},
        {"int32", Variant(TDataType<6>(), -7)},
        {"uint16 pair", Variant(TTupleDataType<TDataType<5>>(2), ConstTupleProxy<TTupleDataType<TDataType<5>>>(pair, 2))},
        {"3-vector", Variant(TDataType<11>(), Vec3(123456789.125, -0.5, 987654321.25))},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(r.what);
        for (auto const extent : kExtents) {
            SCOPED_TRACE(extent == FailingAllocation::kOnlyThat ? "one failure" : "all later");
            long status = -1;
            forEachAllocationFailure([] { return std::make_unique<zorvtest::XmlDoc>(); },
                                     [&](std::unique_ptr<zorvtest::XmlDoc>& doc) { status = r.value.writeToXML(doc->root()); },
                                     [&](std::unique_ptr<zorvtest::XmlDoc>& doc, bool threw) {
                                         Variant back;
                                         long const read = back.readFromXML(doc->root());
                                         if (threw) {
                                             EXPECT_TRUE(read != kSuccess || back == r.value) << read;
                                             return;
                                         }
                                         EXPECT_EQ(status, kSuccess);
                                         EXPECT_EQ(read, kSuccess);
                                         EXPECT_TRUE(back == r.value);
                                     },
                                     extent);
            zorvtest::XmlDoc doc;
            ASSERT_EQ(r.value.writeToXML(doc.root()), kSuccess);
            forEachAllocationFailure([] { return Variant(); }, [&](Variant& v) { status = v.readFromXML(doc.root()); },
                                     [&](Variant& v, bool threw) {
                                         if (threw) return;
                                         EXPECT_EQ(status, kSuccess);
                                         EXPECT_TRUE(v == r.value);
                                     },
                                     extent);
        }
    }
}

// Texts in byte buffers go through UTF-8 both ways: a shortage is
// std::bad_alloc, never an empty or shortened text.
TEST(AllocationFailure, StoredTexts)
{
    // 40 units, two of them outside ASCII: the units are on the heap.
    ZELUNUString const text = ZELUNUString::fromUtf8("Tiefe unter Kartennull (m) \xC3\xBC\xE2\x88\x9E und mehr..");
    ASSERT_EQ(text.length(), 40);
    unsigned const size = IOUtils::getSerializedSize(text);
    IOBuffer image(size, false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(IOUtils::writeToBinary(image, text), kSuccess);
    Bytes const stored = zorvtest::written(image);
    for (auto const extent : kExtents) {
        long status = -1;
        forEachAllocationFailure([&] { return std::make_unique<IOBuffer>(size, false, IOBuffer::AllocatorHandle()); },
                                 [&](std::unique_ptr<IOBuffer>& b) { status = IOUtils::writeToBinary(*b, text); },
                                 [&](std::unique_ptr<IOBuffer>& b, bool threw) {
                                     if (threw) return;
                                     EXPECT_EQ(status, kSuccess);
                                     EXPECT_EQ(zorvtest::written(*b), stored);
                                 },
                                 extent);
        forEachAllocationFailure(
            [&] {
                image.seek(0);
                return ZELUNUString("old");
            },
            [&](ZELUNUString& out) { status = IOUtils::readFromBinary(image, out); },
            [&](ZELUNUString& out, bool threw) {
                if (threw) {
                    EXPECT_EQ(out, ZELUNUString("old"));
                    return;
                }
                EXPECT_EQ(status, kSuccess);
                EXPECT_EQ(out, text);
            },
            extent);
    }
}

// Formatting by a band type: numbers, tuples, 3-vectors, string bands and
// scaled integers. A shortage is std::bad_alloc, never kErrFormatOverflow,
// another status or a shorter text.
TEST(AllocationFailure, FormattedValues)
{
    // Texts long enough that the strings and streams hold them on the heap.
    unsigned short units[32] = {};
    for (int i = 0; i < 31; ++i) units[i] = static_cast<unsigned short>(u'a' + i % 26);
    double const triple[3] = {123456789.125, -123456789.125, 987654321.25};
    struct Row {
        char const* what;
        BandType type;
        Variant value;
        double scale;
        char const* text;
    } const rows[] = {
        {"int64", BandType::createScalar(DataType(DataType::kInt64, 0), "", ZELUNUnit::kNoDirection, Variant()),
         Variant(TDataType<8>(), -9223372036854775807LL - 1), 1.0, "-9223372036854775808"},
        {"int64 scaled", BandType::createScalar(DataType(DataType::kInt64, 0), "", ZELUNUnit::kNoDirection, Variant()),
         Variant(TDataType<8>(), 4000000000000000000LL), 0.5, "2000000000000000000"},
        {"float64 triple",
         BandType::createScalar(DataType(DataType::kFloat64, 3), "", ZELUNUnit::kNoDirection, Variant()),
         Variant(TTupleDataType<TDataType<1>>(3), ConstTupleProxy<TTupleDataType<TDataType<1>>>(triple, 3)), 1.0,
         "123456789.12, -123456789.12, 987654321.25"},  // .125 is a tie, rounded to even
        {"3-vector", BandType::createScalar(DataType(DataType::kVec3, 0), "", ZELUNUnit::kNoDirection, Variant()),
         Variant(TDataType<11>(), Vec3(123456789.5, 2, -987654321.25)), 1.0, "123456789.50, 2.00, -987654321.25"},
        {"string", BandType::createString(32, Variant()),
         Variant(TTupleDataType<TDataType<5>>(32), ConstTupleProxy<TTupleDataType<TDataType<5>>>(units, 32)), 1.0,
         "abcdefghijklmnopqrstuvwxyzabcde"},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(r.what);
        BandTypeFormatter const formatter(r.type, nullptr, 2, r.scale);
        for (auto const extent : kExtents) {
            long status = -1;
            unsigned const n = forEachAllocationFailure(
                [] { return ZELUNUString("old"); }, [&](ZELUNUString& out) { status = formatter.toString(r.value, out); },
                [&](ZELUNUString& out, bool threw) {
                    if (threw) return;
                    EXPECT_EQ(status, kSuccess);
                    EXPECT_EQ(out, ZELUNUString(r.text)) << out.toUtf8();
                },
                extent);
            EXPECT_GT(n, 0u);
        }
    }
}

// A date band's text comes from ICU's medium date format of the default
// locale, in GMT: a shortage (also while the shared format is made) is
// std::bad_alloc, never an empty or partial text with status 0.
TEST(AllocationFailure, FormattedDates)
{
    std::unique_ptr<icu::DateFormat> reference(icu::DateFormat::createDateInstance(icu::DateFormat::kMedium));
    ASSERT_TRUE(reference);
    reference->adoptTimeZone(icu::TimeZone::getGMT()->clone());
    double const day = 86400000.0 * 365;
    icu::UnicodeString expected;
    reference->format(day, expected);
    BandTypeFormatter const formatter(BandType::createDate(Variant()), nullptr, 2, 1.0);
    for (auto const extent : kExtents) {
        long status = -1;
        forEachAllocationFailure([] { return ZELUNUString("old"); },
                                 [&](ZELUNUString& out) { status = formatter.toString(Variant(TDataType<1>(), day), out); },
                                 [&](ZELUNUString& out, bool threw) {
                                     if (threw) return;
                                     EXPECT_EQ(status, kSuccess);
                                     EXPECT_EQ(out, ZELUNUString(expected)) << out.toUtf8();
                                 },
                                 extent);
    }
}
