#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "support/AllocationLimit.h"
#include "support/Bytes.h"
#include "support/XmlDoc.h"
#include "zorvsupport/types/IOBuffer.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using zorvtest::Bytes;
using zorvtest::bufferOf;
using zorvtest::written;
using Vec = ZELUNVec3<double>;
using U8x = TTupleDataType<TDataType<3>>;
using U16x = TTupleDataType<TDataType<5>>;
using V3x = TTupleDataType<TDataType<11>>;

template <class E>
std::vector<E> elementsOf(Variant const& v)
{
    auto const* p = static_cast<E const*>(v.getPtr());
    return std::vector<E>(p, p + v.getDataType().getLength());
}

DataType const kCode10(static_cast<DataType::Type>(10), 0);

}  // namespace

// ---------------------------------------------------------------------------
// Construction, setters and copies

TEST(Variant, DefaultIsEmpty)
{
    Variant v;
    EXPECT_EQ(v.getDataType(), DataType());
    EXPECT_FALSE(v.valid());
    EXPECT_EQ(v.getSerializedSize(), 8u);
    EXPECT_TRUE(v == Variant());
}

TEST(Variant, ZeroValueOfADataType)
{
    Variant t(DataType(DataType::kUInt16, 3));
    ASSERT_TRUE(t.valid());
    EXPECT_EQ(elementsOf<unsigned short>(t), (std::vector<unsigned short>{0, 0, 0}));
    EXPECT_EQ(t.getSerializedSize(), 14u);

    Variant c10(kCode10);
    EXPECT_FALSE(c10.valid());
    EXPECT_EQ(c10.getSerializedSize(), 8u);

    Variant vec(DataType(DataType::kVec3, 2));
    EXPECT_EQ(vec.getSerializedSize(), 56u);
    EXPECT_EQ(elementsOf<Vec>(vec), (std::vector<Vec>{Vec(0, 0, 0), Vec(0, 0, 0)}));
}

TEST(Variant, TypedScalarConstructionAndSetters)
{
    Variant f(TDataType<0>(), 2.5f);
    EXPECT_EQ(f.getDataType(), DataType(DataType::kFloat32, 0));
    EXPECT_EQ(*f.getTypedPtr<TDataType<0>>(), 2.5f);

    f.set(TDataType<8>(), -5LL);
    EXPECT_EQ(f.getDataType(), DataType(DataType::kInt64, 0));
    EXPECT_EQ(*f.getTypedPtr<TDataType<8>>(), -5);

    Variant v(TDataType<11>(), Vec(1, 2, 3));
    EXPECT_EQ(*v.getTypedPtr<TDataType<11>>(), Vec(1, 2, 3));

    // The shorthands take the exact scalar type.
    EXPECT_EQ(Variant(2.5f).getDataType(), DataType(DataType::kFloat32, 0));
    EXPECT_EQ(Variant(2.5).getDataType(), DataType(DataType::kFloat64, 0));
    EXPECT_EQ(Variant(static_cast<signed char>(1)).getDataType(), DataType(DataType::kInt8, 0));
    EXPECT_EQ(Variant(7u).getDataType(), DataType(DataType::kUInt32, 0));
    EXPECT_EQ(Variant(7ull).getDataType(), DataType(DataType::kUInt64, 0));
    EXPECT_EQ(Variant(Vec(1, 2, 3)).getDataType(), DataType(DataType::kVec3, 0));
    // A type code still names a DataType, not an int32 value.
    EXPECT_EQ(Variant(DataType::kFloat32).getDataType(), DataType(DataType::kFloat32, 0));
    Variant s;
    s.set(static_cast<short>(-7));
    EXPECT_EQ(s.getDataType(), DataType(DataType::kInt16, 0));
    EXPECT_EQ(s.valueAs<int>(), -7);

    // A value taken from the Variant's own block.
    Variant self(TDataType<1>(), 4.0);
    self.set(TDataType<1>(), *self.getTypedPtr<TDataType<1>>());
    EXPECT_EQ(self.valueAs<double>(), 4.0);
}

TEST(Variant, TupleSetterTakesTheTypeLength)
{
    unsigned char six[6] = {1, 2, 3, 4, 5, 6};
    Variant a(U8x(4), ConstTupleProxy<U8x>(six, 2));
    EXPECT_EQ(a.getDataType(), DataType(DataType::kUInt8, 4));
    EXPECT_EQ(elementsOf<unsigned char>(a), (std::vector<unsigned char>{1, 2, 0, 0}));

    a.set(U8x(4), ConstTupleProxy<U8x>(six, 6));
    EXPECT_EQ(elementsOf<unsigned char>(a), (std::vector<unsigned char>{1, 2, 3, 4}));

    a.set(U8x(0), ConstTupleProxy<U8x>(six, 6));
    EXPECT_EQ(a.getDataType(), DataType(DataType::kUInt8, 0));
    EXPECT_EQ(a.valueAs<int>(), 0);

    // Owned tuples and writable views are accepted as the value.
    Tuple<V3x> t(V3x(1), nullptr);
    t[0] = Vec(1, 2, 3);
    Variant v(V3x(2), t);
    EXPECT_EQ(elementsOf<Vec>(v), (std::vector<Vec>{Vec(1, 2, 3), Vec(0, 0, 0)}));

    // The view may point into the Variant's own block.
    Variant self(U8x(4), ConstTupleProxy<U8x>(six, 4));
    self.set(U8x(2), self.getTupleProxy(U8x(4)));
    EXPECT_EQ(elementsOf<unsigned char>(self), (std::vector<unsigned char>{1, 2}));
}

TEST(Variant, CopiesAreDeep)
{
    Variant a(TDataType<6>(), 42);
    Variant b(a);
    EXPECT_NE(b.getPtr(), a.getPtr());
    EXPECT_TRUE(a == b);
    *b.getTypedPtr<TDataType<6>>() = 1;
    EXPECT_EQ(a.valueAs<int>(), 42);
}

TEST(Variant, AssignmentReusesABlockOfTheSameSize)
{
    Variant i(TDataType<6>(), 5);
    void const* block = i.getPtr();
    Variant f(TDataType<0>(), 1.5f);
    i = f;
    EXPECT_EQ(i.getPtr(), block);
    EXPECT_EQ(i.getDataType(), DataType(DataType::kFloat32, 0));
    EXPECT_EQ(i.valueAs<float>(), 1.5f);

    Variant d(TDataType<1>(), 2.25);
    i = d;
    EXPECT_EQ(i.getDataType(), DataType(DataType::kFloat64, 0));
    EXPECT_EQ(i.valueAs<double>(), 2.25);

    void const* own = i.getPtr();
    Variant& same = i;
    i = same;
    EXPECT_EQ(i.getPtr(), own);
    EXPECT_EQ(i.valueAs<double>(), 2.25);

    i = Variant();
    EXPECT_FALSE(i.valid());
    EXPECT_EQ(i.getDataType(), DataType());
}

TEST(Variant, AssignmentFromViews)
{
    unsigned short t[3] = {7, 8, 9};
    Variant v;
    v = ConstVariantRef(DataType(DataType::kUInt16, 3), t);
    EXPECT_EQ(elementsOf<unsigned short>(v), (std::vector<unsigned short>{7, 8, 9}));
    EXPECT_NE(v.getPtr(), static_cast<void const*>(t));

    // Through a VariantRef reference: the Variant rule applies (the target
    // takes the source type).
    double d = 3.5;
    VariantRef& asRef = v;
    asRef = VariantRef(DataType(DataType::kFloat64, 0), &d);
    EXPECT_EQ(v.getDataType(), DataType(DataType::kFloat64, 0));
    EXPECT_EQ(v.valueAs<double>(), 3.5);

    // A defined type without a pointer gives a zero value of that type.
    v = ConstVariantRef(DataType(DataType::kInt32, 0), nullptr);
    EXPECT_TRUE(v.valid());
    EXPECT_EQ(v.valueAs<int>(), 0);

    // A view into the Variant's own block.
    unsigned char four[4] = {1, 2, 3, 4};
    Variant w(U8x(4), ConstTupleProxy<U8x>(four, 4));
    w = ConstVariantRef(DataType(DataType::kUInt8, 2), static_cast<unsigned char const*>(w.getPtr()) + 2);
    EXPECT_EQ(elementsOf<unsigned char>(w), (std::vector<unsigned char>{3, 4}));

    v = ConstVariantRef();
    EXPECT_FALSE(v.valid());
}

TEST(Variant, BlocksAboveTheThirtyTwoBitLimitAreRefused)
{
    Variant v(TDataType<6>(), 9);
    void const* block = v.getPtr();
    // 0x40000000 elements of 4 bytes need 2^32 bytes: one more than fits.
    EXPECT_THROW(Variant(DataType(DataType::kInt32, 0x40000000u)), std::length_error);
    EXPECT_THROW(v = ConstVariantRef(DataType(DataType::kVec3, 0x0AAAAAABu), nullptr), std::length_error);
    EXPECT_EQ(v.getPtr(), block);
    EXPECT_EQ(v.getDataType(), DataType(DataType::kInt32, 0));
    EXPECT_EQ(v.valueAs<int>(), 9);
}

TEST(Variant, FailedAllocationLeavesTheValue)
{
    Variant v(TDataType<6>(), 9);
    zorvtest::AllocationLimit limit;
    if (!limit.active()) GTEST_SKIP() << "address-space limit not available in this build";
    EXPECT_THROW(Variant(DataType(DataType::kUInt8, 0xFFFFFFF0u)), std::bad_alloc);
    EXPECT_THROW(v = ConstVariantRef(DataType(DataType::kUInt8, 0xFFFFFFF0u), nullptr), std::bad_alloc);
    EXPECT_EQ(v.getDataType(), DataType(DataType::kInt32, 0));
    EXPECT_EQ(v.valueAs<int>(), 9);
}

// ---------------------------------------------------------------------------
// Binary form

TEST(VariantBinary, UndefinedAndCode10HaveNoValueBytes)
{
    IOBuffer b(16, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(Variant().writeToBinary(b), kSuccess);
    EXPECT_EQ(written(b), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));

    IOBuffer c(16, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(Variant(kCode10).writeToBinary(c), kSuccess);
    EXPECT_EQ(written(c), (Bytes{10, 0, 0, 0, 0, 0, 0, 0}));

    Variant r(TDataType<6>(), 5);
    IOBuffer in = bufferOf({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xAA});
    EXPECT_EQ(r.readFromBinary(in), kSuccess);
    EXPECT_EQ(in.tell(), 8u);
    EXPECT_EQ(r.getDataType(), DataType());
    EXPECT_FALSE(r.valid());

    IOBuffer tupled = bufferOf({0xFF, 0xFF, 0xFF, 0xFF, 5, 0, 0, 0});
    EXPECT_EQ(r.readFromBinary(tupled), kSuccess);
    EXPECT_EQ(r.getDataType(), DataType(DataType::kUndefined, 5));
    EXPECT_FALSE(r.valid());
}

// Hand-written layouts in both byte orders: u32 code, u32 tuple length, then
// each element with its components reversed when the swap flag is set.
TEST(VariantBinary, LayoutsInBothByteOrders)
{
    struct Case {
        char const* name;
        Variant value;
        Bytes little;
        Bytes big;
    };
    unsigned short u16[2] = {0x0102, 0x0304};
    signed char i8[3] = {-1, 2, -3};
    std::vector<Case> cases;
    cases.push_back({"float32 1.0", Variant(TDataType<0>(), 1.0f), {0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x80, 0x3F},
                     {0, 0, 0, 0, 0, 0, 0, 0, 0x3F, 0x80, 0x00, 0x00}});
    cases.push_back({"uint16 2-tuple", Variant(U16x(2), ConstTupleProxy<U16x>(u16, 2)),
                     {5, 0, 0, 0, 2, 0, 0, 0, 0x02, 0x01, 0x04, 0x03},
                     {0, 0, 0, 5, 0, 0, 0, 2, 0x01, 0x02, 0x03, 0x04}});
    cases.push_back({"int8 3-tuple", Variant(TTupleDataType<TDataType<2>>(3), ConstTupleProxy<TTupleDataType<TDataType<2>>>(i8, 3)),
                     {2, 0, 0, 0, 3, 0, 0, 0, 0xFF, 0x02, 0xFD}, {0, 0, 0, 2, 0, 0, 0, 3, 0xFF, 0x02, 0xFD}});
    cases.push_back({"int64 -2", Variant(TDataType<8>(), -2LL),
                     {8, 0, 0, 0, 0, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                     {0, 0, 0, 8, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}});
    cases.push_back({"vec3 (1, 2, -2)", Variant(TDataType<11>(), Vec(1.0, 2.0, -2.0)),
                     {11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0xC0},
                     {0, 0, 0, 11, 0, 0, 0, 0, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0}});
    cases.push_back({"float64 2.5", Variant(TDataType<1>(), 2.5), {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x04, 0x40},
                     {0, 0, 0, 1, 0, 0, 0, 0, 0x40, 0x04, 0, 0, 0, 0, 0, 0}});

    for (Case const& c : cases) {
        for (bool swap : {false, true}) {
            Bytes const& expected = swap ? c.big : c.little;
            EXPECT_EQ(c.value.getSerializedSize(), expected.size()) << c.name;
            IOBuffer out(static_cast<unsigned>(expected.size()), swap, IOBuffer::AllocatorHandle());
            EXPECT_EQ(c.value.writeToBinary(out), kSuccess) << c.name;
            EXPECT_EQ(written(out), expected) << c.name << " swap " << swap;

            IOBuffer in = bufferOf(expected, swap);
            Variant back(TDataType<3>(), static_cast<unsigned char>(77));
            EXPECT_EQ(back.readFromBinary(in), kSuccess) << c.name;
            EXPECT_EQ(in.tell(), expected.size()) << c.name;
            EXPECT_EQ(back.getDataType(), c.value.getDataType()) << c.name;
            EXPECT_TRUE(back == c.value) << c.name << " swap " << swap;
        }
    }
}

TEST(VariantBinary, ValueAloneUsesTheCurrentType)
{
    Variant v(TDataType<5>(), static_cast<unsigned short>(0x0102));
    IOBuffer out(2, true, IOBuffer::AllocatorHandle());
    EXPECT_EQ(v.writeValueToBinary(out), kSuccess);
    EXPECT_EQ(written(out), (Bytes{0x01, 0x02}));

    Variant r(DataType(DataType::kUInt16, 0));
    IOBuffer in = bufferOf({0x04, 0x03});
    EXPECT_EQ(r.readValueFromBinary(in), kSuccess);
    EXPECT_EQ(r.valueAs<int>(), 0x0304);

    Variant u;
    IOBuffer any = bufferOf({1, 2});
    EXPECT_EQ(u.readValueFromBinary(any), kSuccess);
    EXPECT_EQ(any.tell(), 0u);

    // A short buffer: the elements before the failing one are kept, the rest are zero.
    Variant t(DataType(DataType::kUInt16, 3));
    IOBuffer shortIn = bufferOf({1, 0, 2, 0, 3});
    EXPECT_EQ(t.readValueFromBinary(shortIn), kErrBufferExhausted);
    EXPECT_EQ(elementsOf<unsigned short>(t), (std::vector<unsigned short>{1, 2, 0}));
}

TEST(VariantBinary, TupleWriteStopsWhenTheBufferIsFull)
{
    unsigned short u16[3] = {1, 2, 3};
    Variant v(U16x(3), ConstTupleProxy<U16x>(u16, 3));
    IOBuffer out(12, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(v.writeToBinary(out), kErrBufferExhausted);
    EXPECT_EQ(written(out), (Bytes{5, 0, 0, 0, 3, 0, 0, 0, 1, 0, 2, 0}));

    IOBuffer tiny(6, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(v.writeToBinary(tiny), kErrBufferExhausted);
    EXPECT_EQ(written(tiny), (Bytes{5, 0, 0, 0}));
}

// The stored tuple length is not trusted: values that the bytes left cannot
// hold are refused before anything is allocated, leaving an empty Variant.
TEST(VariantBinary, HostileTupleLengthsAreRefused)
{
    struct Case {
        char const* name;
        Bytes bytes;
    };
    std::vector<Case> const cases = {
        {"int32 x 0x40000001 (block size wraps)", {6, 0, 0, 0, 0x01, 0, 0, 0x40, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"vec3 x 0xFFFFFFFF", {11, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}},
        {"uint8 x 0xFFFFFFFF", {3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2}},
        {"uint16 x 3, two values", {5, 0, 0, 0, 3, 0, 0, 0, 1, 0, 2, 0}},
        {"float64 scalar, 7 bytes", {1, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7}},
    };
    for (Case const& c : cases) {
        for (bool swap : {false, true}) {
            Bytes bytes = c.bytes;
            if (swap) {
                std::reverse(bytes.begin(), bytes.begin() + 4);
                std::reverse(bytes.begin() + 4, bytes.begin() + 8);
            }
            Variant v(TDataType<6>(), 5);
            IOBuffer in = bufferOf(bytes, swap);
            EXPECT_EQ(v.readFromBinary(in), kErrBufferExhausted) << c.name;
            EXPECT_EQ(v.getDataType(), DataType()) << c.name;
            EXPECT_FALSE(v.valid()) << c.name;
            EXPECT_EQ(in.tell(), 8u) << c.name;
        }
    }
    // Exactly enough bytes are accepted.
    Variant ok;
    IOBuffer in = bufferOf({5, 0, 0, 0, 2, 0, 0, 0, 1, 0, 2, 0});
    EXPECT_EQ(ok.readFromBinary(in), kSuccess);
    EXPECT_EQ(elementsOf<unsigned short>(ok), (std::vector<unsigned short>{1, 2}));
}

TEST(VariantBinary, FailedTypeReads)
{
    // Code 12 is refused; the Variant keeps its value.
    Variant v(TDataType<6>(), 5);
    IOBuffer bad = bufferOf({12, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(v.readFromBinary(bad), kErrBadStoredTypeCode);
    EXPECT_EQ(v.getDataType(), DataType(DataType::kInt32, 0));
    EXPECT_EQ(v.valueAs<int>(), 5);

    // Only the code fits: a type that disagrees with the block is not kept.
    IOBuffer six = bufferOf({1, 0, 0, 0, 0, 0});
    EXPECT_EQ(v.readFromBinary(six), kErrBufferExhausted);
    EXPECT_EQ(v.getDataType(), DataType());
    EXPECT_FALSE(v.valid());

    Variant w(TDataType<6>(), 5);
    IOBuffer three = bufferOf({1, 0, 0});
    EXPECT_EQ(w.readFromBinary(three), kErrBufferExhausted);
    EXPECT_EQ(w.valueAs<int>(), 5);

    // Code 10 with a tuple length: accepted, no value bytes.
    Variant c10;
    IOBuffer in = bufferOf({10, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(c10.readFromBinary(in), kSuccess);
    EXPECT_EQ(c10.getDataType(), DataType(static_cast<DataType::Type>(10), 0xFFFFFFFFu));
    EXPECT_FALSE(c10.valid());
}

// ---------------------------------------------------------------------------
// XML form

TEST(VariantXml, ScalarAndTupleForms)
{
    {
        zorvtest::XmlDoc doc;
        EXPECT_EQ(Variant(TDataType<1>(), 2.5).writeToXML(doc.root()), kSuccess);
        EXPECT_EQ(doc.str(), "<root value=\"2.5\"><DataType type=\"float64\" tupleLength=\"0\"/></root>");
    }
    {
        zorvtest::XmlDoc doc;
        unsigned short u16[2] = {7, 9};
        EXPECT_EQ(Variant(U16x(2), ConstTupleProxy<U16x>(u16, 2)).writeToXML(doc.root()), kSuccess);
        EXPECT_EQ(doc.str(),
                  "<root><DataType type=\"uint16\" tupleLength=\"2\"/><value value=\"7\"/><value value=\"9\"/></root>");
    }
    {
        zorvtest::XmlDoc doc;
        EXPECT_EQ(Variant(kCode10).writeToXML(doc.root()), kErrUnknownTypeCode);
        EXPECT_EQ(doc.str(), "<root><DataType/></root>");
    }
    {
        zorvtest::XmlDoc doc;
        EXPECT_EQ(Variant().writeToXML(doc.root()), kErrUnknownTypeCode);
        EXPECT_EQ(doc.str(), "<root><DataType/></root>");
    }
}

TEST(VariantXml, RoundTrips)
{
    unsigned short u16[3] = {1, 65535, 300};
    Vec vecs[2] = {Vec(1.5, -2, 0.25), Vec(0, 0, 3)};
    std::vector<Variant> values = {
        Variant(TDataType<0>(), 0.1f),
        Variant(TDataType<1>(), -2.25),
        Variant(TDataType<4>(), static_cast<short>(-12)),
        Variant(TDataType<6>(), -123456),
        Variant(TDataType<7>(), 4000000000u),
        Variant(TDataType<8>(), -9000000000LL),
        Variant(TDataType<9>(), 18446744073709551615ull),
        Variant(TDataType<11>(), Vec(1.5, -2, 0.25)),
        Variant(U16x(3), ConstTupleProxy<U16x>(u16, 3)),
        Variant(V3x(2), ConstTupleProxy<V3x>(vecs, 2)),
    };
    for (Variant const& v : values) {
        zorvtest::XmlDoc doc;
        ASSERT_EQ(v.writeToXML(doc.root()), kSuccess) << doc.str();
        Variant back;
        EXPECT_EQ(back.readFromXML(doc.root()), kSuccess) << doc.str();
        EXPECT_EQ(back.getDataType(), v.getDataType()) << doc.str();
        EXPECT_TRUE(back == v) << doc.str();
    }
}

TEST(VariantXml, ReadingUndefinedAndMissingValues)
{
    zorvtest::XmlDoc noType("<root value=\"1\"/>");
    Variant v(TDataType<6>(), 5);
    EXPECT_EQ(v.readFromXML(noType.root()), kErrNoDataTypeElement);
    EXPECT_EQ(v.valueAs<int>(), 5);

    // A refused read leaves the type and the value as they were.
    zorvtest::XmlDoc scalar("<root><DataType type=\"float64\" tupleLength=\"0\"/></root>");
    EXPECT_EQ(v.readFromXML(scalar.root()), kErrXmlAttributeMissing);
    EXPECT_EQ(v.getDataType(), DataType(DataType::kInt32, 0));
    EXPECT_EQ(v.valueAs<int>(), 5);

    // The code is read, then the tuple length is missing.
    zorvtest::XmlDoc noLength("<root><DataType type=\"float64\"/></root>");
    EXPECT_EQ(v.readFromXML(noLength.root()), kErrXmlAttributeMissing);
    EXPECT_EQ(v.getDataType(), DataType(DataType::kInt32, 0));
    EXPECT_EQ(v.valueAs<int>(), 5);
}

// The tuple length comes from the document: the "value" children are counted
// before anything is allocated, and a mismatch leaves the Variant as it was.
TEST(VariantXml, ValueCountMustMatchTheTupleLength)
{
    struct Case {
        char const* name;
        std::string xml;
        long status;
    };
    std::string const head = "<root><DataType type=\"uint8\" tupleLength=\"3\"/>";
    std::vector<Case> const cases = {
        {"two values", head + "<value value=\"A\"/><value value=\"B\"/></root>", kErrVariantValueCountMismatch},
        {"four values", head + "<value value=\"A\"/><value value=\"B\"/><value value=\"C\"/><value value=\"D\"/></root>",
         kErrVariantValueCountMismatch},
        {"none", head + "</root>", kErrVariantValueCountMismatch},
        // A bad first child does not hide the wrong count.
        {"bad first of four",
         head + "<value value=\"AB\"/><value value=\"B\"/><value value=\"C\"/><value value=\"D\"/></root>",
         kErrVariantValueCountMismatch},
        {"huge length, one value", "<root><DataType type=\"int32\" tupleLength=\"1073741825\"/><value value=\"1\"/></root>",
         kErrVariantValueCountMismatch},
        {"huge vec3 length, none", "<root><DataType type=\"ZELUNVec3\" tupleLength=\"4294967295\"/></root>",
         kErrVariantValueCountMismatch},
    };
    for (Case const& c : cases) {
        zorvtest::XmlDoc doc(c.xml);
        ASSERT_TRUE(doc.ok()) << c.name;
        Variant v(TDataType<6>(), 5);
        EXPECT_EQ(v.readFromXML(doc.root()), c.status) << c.name;
        EXPECT_EQ(v.getDataType(), DataType(DataType::kInt32, 0)) << c.name;
        EXPECT_EQ(v.valueAs<int>(), 5) << c.name;
    }

    zorvtest::XmlDoc three(head + "<other/><value value=\"A\"/><value value=\"B\"/><value value=\"C\"/></root>");
    Variant v;
    EXPECT_EQ(v.readFromXML(three.root()), kSuccess);
    EXPECT_EQ(elementsOf<unsigned char>(v), (std::vector<unsigned char>{65, 66, 67}));

    // Right count, bad element: the value read before stays whole.
    zorvtest::XmlDoc bad("<root><DataType type=\"uint8\" tupleLength=\"2\"/><value value=\"X\"/>"
                         "<value value=\"AB\"/></root>");
    EXPECT_EQ(v.readFromXML(bad.root()), kErrNotSingleCharacter);
    EXPECT_EQ(v.getDataType(), DataType(DataType::kUInt8, 3));
    EXPECT_EQ(elementsOf<unsigned char>(v), (std::vector<unsigned char>{65, 66, 67}));
}
