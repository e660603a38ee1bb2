#include <gtest/gtest.h>

#include "zorvsupport/datavector/TDataVector.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {
using P1 = ZELUNnPoint<unsigned, 1>;
using P2 = ZELUNnPoint<unsigned, 2>;
using P3 = ZELUNnPoint<unsigned, 3>;
using P4 = ZELUNnPoint<unsigned, 4>;
}  // namespace

TEST(DataVectorAccess, IndexChecksComeBeforeTypeChecks)
{
    auto v1 = DataVectorND<1>::create(DataType(DataType::kFloat32, 0), P1(7));
    static_cast<float*>(v1->getDataPtr())[6] = 4.5f;
    Variant out(2.0);  // float64 2.0
    EXPECT_EQ(v1->getValue(P1(6), out), kSuccess);
    EXPECT_EQ(out, Variant(4.5f));
    Variant keep(3.25);
    for (unsigned i : {7u, 4294967295u}) {
        EXPECT_EQ(v1->getValue(P1(i), keep), kErrIndexOutOfRange);
        EXPECT_EQ(keep, Variant(3.25));
    }
    // Wrong type and wrong index: the index is reported.
    EXPECT_EQ(v1->setValue(P1(7), Variant(1)), kErrIndexOutOfRange);
    EXPECT_EQ(v1->setValue(P1(0), Variant(1)), kErrElementTypeMismatch);
    EXPECT_EQ(v1->setValue(P1(0), ConstVariantRef(DataType(DataType::kFloat32, 0), nullptr)), kErrElementTypeMismatch);
    EXPECT_EQ(static_cast<float*>(v1->getDataPtr())[0], 0.0f);

    auto v2 = DataVectorND<2>::create(DataType(DataType::kInt16, 0), P2(3, 5));
    EXPECT_EQ(v2->setValue(P2(2, 4), Variant(static_cast<short>(-7))), kSuccess);
    EXPECT_EQ(static_cast<short*>(v2->getDataPtr())[14], -7);
    EXPECT_EQ(v2->getValue(P2(3, 0), out), kErrIndexOutOfRange);
    EXPECT_EQ(v2->setValue(P2(0, 5), Variant(static_cast<short>(1))), kErrIndexOutOfRange);

    auto v3 = DataVectorND<3>::create(DataType(DataType::kUInt32, 0), P3(3, 5, 7));
    EXPECT_EQ(v3->setValue(P3(1, 2, 3), Variant(9u)), kSuccess);
    EXPECT_EQ(static_cast<unsigned*>(v3->getDataPtr())[52], 9u);
    auto v4 = DataVectorND<4>::create(DataType(DataType::kUInt8, 0), P4(3, 5, 7, 2));
    EXPECT_EQ(v4->setValue(P4(2, 4, 6, 1), Variant(static_cast<unsigned char>(200))), kSuccess);
    EXPECT_EQ(static_cast<unsigned char*>(v4->getDataPtr())[209], 200);

    auto empty = DataVectorND<2>::create(DataType(DataType::kInt16, 0), P2(0, 0));
    EXPECT_EQ(empty->getValue(P2(0, 0), out), kErrIndexOutOfRange);
    EXPECT_EQ(empty->setValue(P2(0, 0), Variant(static_cast<short>(1))), kErrIndexOutOfRange);
}

TEST(DataVectorAccess, TupleElements)
{
    auto v = DataVectorND<2>::create(DataType(DataType::kUInt16, 3), P2(2, 2));
    unsigned short const in[3] = {1, 2, 65535};
    using U16x3 = TTupleDataType<TDataType<5>>;
    Variant tuple(U16x3(3), ConstTupleProxy<U16x3>(in, 3));
    EXPECT_EQ(v->setValue(P2(1, 1), tuple), kSuccess);
    auto const* raw = static_cast<unsigned short const*>(v->getConstDataPtr());
    EXPECT_EQ(raw[9], 1);
    EXPECT_EQ(raw[11], 65535);
    Variant out;
    EXPECT_EQ(v->getValue(P2(1, 1), out), kSuccess);
    EXPECT_EQ(out.getDataType(), DataType(DataType::kUInt16, 3));
    EXPECT_EQ(out, tuple);

    // Another tuple length, or a scalar, is a type mismatch.
    unsigned short const four[4] = {1, 2, 3, 4};
    using U16 = TTupleDataType<TDataType<5>>;
    EXPECT_EQ(v->setValue(P2(0, 0), Variant(U16(4), ConstTupleProxy<U16>(four, 4))), kErrElementTypeMismatch);
    EXPECT_EQ(v->setValue(P2(0, 0), Variant(static_cast<unsigned short>(1))), kErrElementTypeMismatch);

    ConstVariantRef ref = v->get(P2(1, 1));
    EXPECT_EQ(ref.getDataType(), DataType(DataType::kUInt16, 3));
    EXPECT_EQ(ref.getPtr(), raw + 9);

    auto vec = DataVectorND<1>::create(DataType(DataType::kVec3, 0), P1(2));
    EXPECT_EQ(vec->getValue(P1(1), out), kSuccess);
    EXPECT_EQ(out.getDataType(), DataType(DataType::kVec3, 0));
}

TEST(DataVectorAccess, ViewsWriteInPlace)
{
    auto v = DataVectorND<2>::create(DataType(DataType::kFloat64, 0), P2(2, 3));
    VariantRef r = v->getRef(P2(1, 2));
    r = ConstVariantRef(Variant(6.5));
    EXPECT_EQ(v->get(P2(1, 2)), ConstVariantRef(Variant(6.5)));
    EXPECT_EQ(static_cast<double*>(v->getDataPtr())[5], 6.5);
    Variant back;
    EXPECT_EQ(v->setValue(P2(0, 1), Variant(-1.0)), kSuccess);
    EXPECT_EQ(v->getValue(P2(0, 1), back), kSuccess);
    EXPECT_EQ(back, Variant(-1.0));

    auto t = DataVectorND<1>::create(DataType(DataType::kInt32, 2), P1(3));
    VariantRef tr = t->getRef(P1(2));
    EXPECT_EQ(tr.getDataType(), DataType(DataType::kInt32, 2));
    EXPECT_EQ(tr.getPtr(), static_cast<int*>(t->getDataPtr()) + 4);
}
