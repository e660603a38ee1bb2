#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "support/Bytes.h"
#include "support/XmlDoc.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/types/DataType.h"
#include "zorvsupport/types/IOBuffer.h"
#include "zorvsupport/types/TextForms.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using zorvtest::bufferOf;

// Records which tag reached accept().
struct RecordingVisitor {
    std::vector<std::string>* seen;
    template <int k>
    int accept(TDataType<k> tag)
    {
        seen->push_back("s" + std::to_string(k) + ":" + std::to_string(tag.getSizeInBytes()));
        return k + 100;
    }
    template <int k>
    int accept(TTupleDataType<TDataType<k>> tag)
    {
        seen->push_back("t" + std::to_string(k) + "x" + std::to_string(tag.getLength()));
        return -(k + 100);
    }
};

}  // namespace

TEST(DataType, DefaultIsUndefinedScalar)
{
    DataType t;
    EXPECT_EQ(t.getType(), DataType::kUndefined);
    EXPECT_FALSE(t.isTuple());
    EXPECT_EQ(t.getLength(), 1u);
    EXPECT_EQ(t.getTypeSize(), 0u);
    std::vector<std::string> seen;
    EXPECT_EQ(t.applyVisitor(RecordingVisitor{&seen}), 0);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(t.getSerializedSize(), 8u);
}

TEST(DataType, SizesAndEquality)
{
    struct Case {
        DataType::Type code;
        unsigned tuple;
        unsigned size;
    };
    const Case cases[] = {
        {DataType::kFloat32, 0, 4}, {DataType::kFloat64, 0, 8}, {DataType::kInt8, 0, 1},   {DataType::kUInt8, 0, 1},
        {DataType::kInt16, 0, 2},   {DataType::kUInt16, 0, 2},  {DataType::kInt32, 0, 4},  {DataType::kUInt32, 0, 4},
        {DataType::kInt64, 0, 8},   {DataType::kUInt64, 0, 8},  {DataType::kVec3, 0, 24},  {DataType::kUInt8, 3, 3},
        {DataType::kVec3, 2, 48},   {DataType::kInt16, 1, 2},   {static_cast<DataType::Type>(10), 0, 0},
        {static_cast<DataType::Type>(12), 4, 0}, {static_cast<DataType::Type>(-7), 0, 0},
        // Beyond 32 bits the size saturates instead of wrapping (8 x 2^29 would be 0).
        {DataType::kFloat64, 1u << 29, 0xFFFFFFFFu}, {DataType::kVec3, 0xFFFFFFFFu, 0xFFFFFFFFu},
        {DataType::kUInt8, 0xFFFFFFFFu, 0xFFFFFFFFu},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + "/" + std::to_string(c.tuple));
        EXPECT_EQ(DataType(c.code, c.tuple).getTypeSize(), c.size);
    }
    DataType scalar(DataType::kInt16, 0), one(DataType::kInt16, 1);
    EXPECT_EQ(scalar.getLength(), 1u);
    EXPECT_EQ(one.getLength(), 1u);
    EXPECT_FALSE(scalar == one);
    EXPECT_TRUE(scalar != one);
    EXPECT_TRUE(one.isTuple());
    EXPECT_TRUE(DataType(DataType::kInt16, 1) == one);
}

TEST(DataType, ApplyVisitorReachesAll22KindsAndNothingElse)
{
    std::vector<std::string> seen;
    const int codes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11};
    const unsigned sizes[] = {4, 8, 1, 1, 2, 2, 4, 4, 8, 8, 24};
    for (int i = 0; i < 11; ++i) {
        int k = codes[i];
        seen.clear();
        EXPECT_EQ(DataType(static_cast<DataType::Type>(k), 0).applyVisitor(RecordingVisitor{&seen}), k + 100);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0], "s" + std::to_string(k) + ":" + std::to_string(sizes[i]));
        seen.clear();
        EXPECT_EQ(DataType(static_cast<DataType::Type>(k), 5).applyVisitor(RecordingVisitor{&seen}), -(k + 100));
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0], "t" + std::to_string(k) + "x5");
    }
    for (int k : {-1, -2, 10, 12, 1000}) {
        seen.clear();
        EXPECT_EQ(DataType(static_cast<DataType::Type>(k), 0).applyVisitor(RecordingVisitor{&seen}), 0);
        EXPECT_EQ(DataType(static_cast<DataType::Type>(k), 3).applyVisitor(RecordingVisitor{&seen}), 0);
        EXPECT_TRUE(seen.empty()) << k;
    }
}

TEST(DataType, BinaryLayoutBothOrders)
{
    DataType t(DataType::kUInt16, 3);
    IOBuffer le(8, false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(t.writeToBinary(le), kSuccess);
    EXPECT_EQ(std::vector<unsigned char>(le.getStartPtr(), le.getEndPtr()), (std::vector<unsigned char>{5, 0, 0, 0, 3, 0, 0, 0}));
    IOBuffer be(8, true, IOBuffer::AllocatorHandle());
    ASSERT_EQ(t.writeToBinary(be), kSuccess);
    EXPECT_EQ(std::vector<unsigned char>(be.getStartPtr(), be.getEndPtr()), (std::vector<unsigned char>{0, 0, 0, 5, 0, 0, 0, 3}));

    IOBuffer undef(8, false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(DataType().writeToBinary(undef), kSuccess);
    EXPECT_EQ(std::vector<unsigned char>(undef.getStartPtr(), undef.getEndPtr()),
              (std::vector<unsigned char>{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));

    for (bool swap : {false, true}) {
        IOBuffer b(8, swap, IOBuffer::AllocatorHandle());
        t.writeToBinary(b);
        b.seek(0);
        DataType r;
        EXPECT_EQ(r.readFromBinary(b), kSuccess);
        EXPECT_EQ(r, t);
    }
}

TEST(DataType, BinaryReadOfStoredCodes)
{
    {  // code 10 is accepted
        IOBuffer b = bufferOf({10, 0, 0, 0, 2, 0, 0, 0});
        DataType r;
        EXPECT_EQ(r.readFromBinary(b), kSuccess);
        EXPECT_EQ(r.getType(), 10);
        EXPECT_EQ(r.getTupleLength(), 2u);
    }
    {  // code 12 is refused, the type unchanged, four bytes consumed
        IOBuffer b = bufferOf({12, 0, 0, 0, 2, 0, 0, 0});
        DataType r(DataType::kInt8, 7);
        EXPECT_EQ(r.readFromBinary(b), kErrBadStoredTypeCode);
        EXPECT_EQ(r, DataType(DataType::kInt8, 7));
        EXPECT_EQ(b.tell(), 4u);
    }
    {  // 0xFFFFFFFF reads as undefined
        IOBuffer b = bufferOf({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
        DataType r(DataType::kInt8, 7);
        EXPECT_EQ(r.readFromBinary(b), kSuccess);
        EXPECT_EQ(r, DataType());
    }
    {  // 0xFFFFFFFE is no code
        IOBuffer b = bufferOf({0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
        DataType r;
        EXPECT_EQ(r.readFromBinary(b), kErrBadStoredTypeCode);
    }
    {  // six bytes: code replaced, tuple length not
        IOBuffer b = bufferOf({1, 0, 0, 0, 9, 9});
        DataType r(DataType::kInt8, 7);
        EXPECT_EQ(r.readFromBinary(b), kErrBufferExhausted);
        EXPECT_EQ(r.getType(), DataType::kFloat64);
        EXPECT_EQ(r.getTupleLength(), 7u);
    }
    {  // six bytes of room: the code is written, then exhausted
        IOBuffer b(6, false, IOBuffer::AllocatorHandle());
        EXPECT_EQ(DataType(DataType::kUInt8, 3).writeToBinary(b), kErrBufferExhausted);
        EXPECT_EQ(b.tell(), 4u);
        EXPECT_EQ(b.getStartPtr()[0], 3);
    }
}

TEST(DataType, XmlRoundTripAndLayout)
{
    zorvtest::XmlDoc doc;
    ASSERT_EQ(DataType(DataType::kUInt8, 3).writeToXML(doc.root()), kSuccess);
    EXPECT_EQ(doc.str(), "<root><DataType type=\"uint8\" tupleLength=\"3\"/></root>");
    for (TypeNameEntry const& row : kTypeNameTable) {
        zorvtest::XmlDoc d;
        DataType t(static_cast<DataType::Type>(row.code), 2);
        ASSERT_EQ(t.writeToXML(d.root()), kSuccess);
        DataType r;
        EXPECT_EQ(r.readFromXML(d.root()), kSuccess);
        EXPECT_EQ(r, t) << row.name;
    }
}

TEST(DataType, XmlWriteOfCodesWithoutName)
{
    for (int code : {-1, 10, 12}) {
        zorvtest::XmlDoc doc;
        EXPECT_EQ(DataType(static_cast<DataType::Type>(code), 0).writeToXML(doc.root()), kErrUnknownTypeCode);
        EXPECT_EQ(doc.str(), "<root><DataType/></root>") << code;
    }
}

TEST(DataType, XmlReadAttributeCases)
{
    struct Case {
        const char* xml;
        long status;
        DataType::Type code;
        unsigned tuple;
    };
    const DataType::Type unchanged = DataType::kFloat64;
    const Case cases[] = {
        {"<r><DataType type=\"sint16\" tupleLength=\"3\"/></r>", kSuccess, DataType::kInt16, 3},
        {"<r><DataType type=\"SINT16\" tupleLength=\"3\"/></r>", kErrUnknownTypeName, unchanged, 9},
        {"<r><DataType type=\"Sint16\" tupleLength=\"3\"/></r>", kErrUnknownTypeName, unchanged, 9},
        {"<r><DataType tupleLength=\"3\"/></r>", kErrXmlAttributeMissing, unchanged, 9},
        {"<r><DataType type=\"int32\" tupleLength=\"3 \"/></r>", kSuccess, DataType::kInt32, 3},
        {"<r><DataType type=\"int32\" tupleLength=\" 3\"/></r>", kErrTextNotNumber, DataType::kInt32, 9},
        {"<r><DataType type=\"int32\" tupleLength=\"3a\"/></r>", kErrTextNotNumber, DataType::kInt32, 9},
        {"<r><DataType type=\"int32\" tupleLength=\"\"/></r>", kErrTextNotNumber, DataType::kInt32, 9},
        {"<r><DataType type=\"int32\" tupleLength=\"-1\"/></r>", kErrTextNotNumber, DataType::kInt32, 9},
        {"<r><DataType type=\"int32\" tupleLength=\"4294967296\"/></r>", kErrTextNotNumber, DataType::kInt32, 9},
        {"<r><DataType type=\"int32\" tupleLength=\"4294967295\"/></r>", kSuccess, DataType::kInt32, 4294967295u},
        {"<r><DataType type=\"int32\"/></r>", kErrXmlAttributeMissing, DataType::kInt32, 9},
        {"<r><Other type=\"int32\" tupleLength=\"1\"/></r>", kErrNoDataTypeElement, unchanged, 9},
        {"<r><other/><DataType type=\"ZELUNVec3\" tupleLength=\"0\"/></r>", kSuccess, DataType::kVec3, 0},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.xml);
        zorvtest::XmlDoc doc(c.xml);
        ASSERT_TRUE(doc.ok());
        DataType t(unchanged, 9);
        EXPECT_EQ(t.readFromXML(doc.root()), c.status);
        EXPECT_EQ(t.getType(), c.code);
        EXPECT_EQ(t.getTupleLength(), c.tuple);
    }
}

TEST(DataType, TypeNameTableAndTextForms)
{
    std::set<int> codes;
    for (TypeNameEntry const& row : kTypeNameTable) codes.insert(row.code);
    EXPECT_EQ(codes, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11}));

    ZELUNUString text("keep");
    EXPECT_EQ(valueToText<DataType::Type>(DataType::kInt16, text), kSuccess);
    EXPECT_EQ(text, ZELUNUString("sint16"));
    text = "keep";
    EXPECT_EQ(valueToText<DataType::Type>(static_cast<DataType::Type>(10), text), kErrUnknownTypeCode);
    EXPECT_EQ(text, ZELUNUString("keep"));

    DataType::Type code = DataType::kInt8;
    EXPECT_EQ(textToValue<DataType::Type>(ZELUNUString("ZELUNVec3"), code), kSuccess);
    EXPECT_EQ(code, DataType::kVec3);
    EXPECT_EQ(textToValue<DataType::Type>(ZELUNUString("float32 "), code), kErrUnknownTypeName);
    EXPECT_EQ(code, DataType::kVec3);

    ZELUNUString digits;
    EXPECT_EQ(valueToText<unsigned int>(4294967295u, digits), kSuccess);
    EXPECT_EQ(digits, ZELUNUString("4294967295"));
    unsigned v = 5;
    EXPECT_EQ(textToValue<unsigned int>(ZELUNUString("+7"), v), kSuccess);
    EXPECT_EQ(v, 7u);
    EXPECT_EQ(textToValue<unsigned int>(ZELUNUString("-0"), v), kErrTextNotNumber);
    EXPECT_EQ(v, 7u);
}
