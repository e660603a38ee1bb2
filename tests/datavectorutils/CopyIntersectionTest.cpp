#include <gtest/gtest.h>

#include <vector>

#include "support/ForeignDataVector.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using P1 = ZELUNnPoint<unsigned, 1>;
using P2 = ZELUNnPoint<unsigned, 2>;

template <class E>
void fillCounting(DataVector& v, E start)
{
    auto* p = static_cast<E*>(v.getDataPtr());
    unsigned n = v.size() * v.getDataType().getLength();
    for (unsigned i = 0; i < n; ++i) p[i] = static_cast<E>(start + E(i));
}

template <class E>
std::vector<E> valuesOf(DataVector const& v)
{
    auto const* p = static_cast<E const*>(v.getConstDataPtr());
    unsigned n = v.size() * v.getDataType().getLength();
    return p ? std::vector<E>(p, p + n) : std::vector<E>();
}

}  // namespace

TEST(CopyIntersection, OneDimension)
{
    auto dst = DataVectorND<1>::create(DataType(DataType::kInt32, 0), P1(5));
    auto src = DataVectorND<1>::create(DataType(DataType::kInt32, 0), P1(3));
    fillCounting<int>(*dst, 100);
    fillCounting<int>(*src, 1);
    EXPECT_EQ(DataVectorUtils::copyIntersection(*dst, *src), kSuccess);
    EXPECT_EQ(valuesOf<int>(*dst), (std::vector<int>{1, 2, 3, 103, 104}));
    EXPECT_EQ(valuesOf<int>(*src), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(DataVectorUtils::copyIntersection(*src, *dst), kSuccess);
    EXPECT_EQ(valuesOf<int>(*src), (std::vector<int>{1, 2, 3}));
}

TEST(CopyIntersection, EachVectorUsesItsOwnStrides)
{
    // dst 4 x 2, src 3 x 3.
    auto dst = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(4, 2));
    auto src = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(3, 3));
    fillCounting<int>(*dst, 100);
    fillCounting<int>(*src, 0);
    EXPECT_EQ(DataVectorUtils::copyIntersection(*dst, *src), kSuccess);
    EXPECT_EQ(valuesOf<int>(*dst), (std::vector<int>{0, 1, 2, 103, 3, 4, 5, 107}));

    // 3-D with only the last dimension differing still steps by each side's planes.
    using P3 = ZELUNnPoint<unsigned, 3>;
    auto d3 = DataVectorND<3>::create(DataType(DataType::kUInt8, 0), P3(2, 2, 3));
    auto s3 = DataVectorND<3>::create(DataType(DataType::kUInt8, 0), P3(3, 1, 2));
    fillCounting<unsigned char>(*d3, 100);
    fillCounting<unsigned char>(*s3, 0);
    EXPECT_EQ(DataVectorUtils::copyIntersection(*d3, *s3), kSuccess);
    EXPECT_EQ(valuesOf<unsigned char>(*d3),
              (std::vector<unsigned char>{0, 1, 102, 103, 3, 4, 106, 107, 108, 109, 110, 111}));

    using P4 = ZELUNnPoint<unsigned, 4>;
    auto d4 = DataVectorND<4>::create(DataType(DataType::kInt16, 0), P4(1, 1, 2, 2));
    auto s4 = DataVectorND<4>::create(DataType(DataType::kInt16, 0), P4(2, 1, 1, 3));
    fillCounting<short>(*d4, 100);
    fillCounting<short>(*s4, 0);
    EXPECT_EQ(DataVectorUtils::copyIntersection(*d4, *s4), kSuccess);
    EXPECT_EQ(valuesOf<short>(*d4), (std::vector<short>{0, 101, 2, 103}));
}

TEST(CopyIntersection, TuplesAndVec3)
{
    auto dst = DataVectorND<2>::create(DataType(DataType::kFloat32, 2), P2(2, 2));
    auto src = DataVectorND<2>::create(DataType(DataType::kFloat32, 2), P2(1, 3));
    fillCounting<float>(*dst, 100);
    fillCounting<float>(*src, 0);
    EXPECT_EQ(DataVectorUtils::copyIntersection(*dst, *src), kSuccess);
    EXPECT_EQ(valuesOf<float>(*dst), (std::vector<float>{0, 1, 102, 103, 2, 3, 106, 107}));

    auto other = DataVectorND<2>::create(DataType(DataType::kFloat32, 3), P2(2, 2));
    EXPECT_EQ(DataVectorUtils::copyIntersection(*dst, *other), kErrDataTypesDiffer);

    auto vd = DataVectorND<1>::create(DataType(DataType::kVec3, 0), P1(2));
    auto vs = DataVectorND<1>::create(DataType(DataType::kVec3, 0), P1(1));
    static_cast<ZELUNVec3<double>*>(vs->getDataPtr())[0] = ZELUNVec3<double>(1, 2, 3);
    EXPECT_EQ(DataVectorUtils::copyIntersection(*vd, *vs), kSuccess);
    EXPECT_EQ(static_cast<ZELUNVec3<double>*>(vd->getDataPtr())[0], ZELUNVec3<double>(1, 2, 3));
}

TEST(CopyIntersection, ChecksInOrder)
{
    auto d2f = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), P2(2, 2));
    auto d1i = DataVectorND<1>::create(DataType(DataType::kInt32, 0), P1(2));
    auto d2i = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(2, 2));
    EXPECT_EQ(DataVectorUtils::copyIntersection(*d2f, *d1i), kErrDimensionCountsDiffer);
    EXPECT_EQ(DataVectorUtils::copyIntersection(*d2f, *d2i), kErrDataTypesDiffer);

    zorvtest::ForeignDataVector foreign(DataType(DataType::kFloat32, 0), {2, 2});
    for (int i = 0; i < 4; ++i) foreign.values<float>()[i] = 7;
    fillCounting<float>(*d2f, 1);
    EXPECT_EQ(DataVectorUtils::copyIntersection(foreign, *d2f), kErrVectorClassMismatch);
    EXPECT_EQ(foreign.values<float>()[0], 7.0f);
    EXPECT_EQ(DataVectorUtils::copyIntersection(*d2f, foreign), kErrVectorClassMismatch);
    EXPECT_EQ(valuesOf<float>(*d2f), (std::vector<float>{1, 2, 3, 4}));
    // The same foreign vector on both sides still fails its cast.
    EXPECT_EQ(DataVectorUtils::copyIntersection(foreign, foreign), kErrVectorClassMismatch);

    // Equal counts and types, but a count outside 1..4.
    for (unsigned n : {0u, 5u}) {
        zorvtest::ForeignDataVector a(DataType(DataType::kFloat32, 0), std::vector<unsigned>(n, 1u));
        zorvtest::ForeignDataVector b(DataType(DataType::kFloat32, 0), std::vector<unsigned>(n, 1u));
        EXPECT_EQ(DataVectorUtils::copyIntersection(a, b), kErrUnsupportedDimensionCount) << n;
    }
}

TEST(CopyIntersection, ZeroDimensionsAndSameVector)
{
    auto dst = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(3, 3));
    auto src = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(0, 3));
    fillCounting<int>(*dst, 1);
    EXPECT_EQ(DataVectorUtils::copyIntersection(*dst, *src), kSuccess);
    EXPECT_EQ(valuesOf<int>(*dst), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(DataVectorUtils::copyIntersection(*dst, *dst), kSuccess);
    EXPECT_EQ(valuesOf<int>(*dst), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(CopyIntersection, ContentsKeepingResizeGrowsWithZeros)
{
    auto v = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(2, 2));
    fillCounting<int>(*v, 1);
    EXPECT_EQ(v->resize(P2(3, 3), true), kSuccess);
    EXPECT_EQ(valuesOf<int>(*v), (std::vector<int>{1, 2, 0, 3, 4, 0, 0, 0, 0}));
}
