#include <typeinfo>

#include "datavectorutils/GridValues.h"
#include "support/SimdTargets.h"

using namespace gridvalues;

namespace {

using P1 = ZELUNnPoint<unsigned, 1>;
using P3 = ZELUNnPoint<unsigned, 3>;
using P4 = ZELUNnPoint<unsigned, 4>;

// An int32 vector of N dimensions, every element 0 but the one at `at`
// (set through the vector's own indexed access), which holds 9.
template <int N>
boost::shared_ptr<DataVectorND<N>> withNineAt(ZELUNnPoint<unsigned, N> dims, ZELUNnPoint<unsigned, N> at)
{
    auto v = DataVectorND<N>::create(DataType(DataType::kInt32), dims);
    v->getRef(at) = Variant(9);
    return v;
}

}  // namespace

TEST(Search, StorageIndexInOneToFourDimensions)
{
    long err = kErrSentinel;
    Variant const nine(9);
    // x + d0·(y + d1·(z + d2·w)).
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*withNineAt<1>(P1(7), P1(5)), 0, nine, err), 5u);
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*withNineAt<2>(P2(4, 3), P2(1, 2)), 0, nine, err), 1u + 4 * 2);
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*withNineAt<3>(P3(3, 4, 2), P3(2, 1, 1)), 0, nine, err),
              2u + 3 * (1 + 4 * 1));
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*withNineAt<4>(P4(2, 3, 2, 3), P4(1, 2, 0, 2)), 0, nine, err),
              1u + 2 * (2 + 3 * (0 + 2 * 2)));
    // Past the only match: nothing.
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*withNineAt<3>(P3(3, 4, 2), P3(2, 1, 1)), 18, nine, err), kNotFound);
    EXPECT_EQ(err, kErrSentinel);
}

TEST(Search, StartIndexAndResultCountFromTheBeginning)
{
    auto v = grid<int>(5, 2, {5, 1, 5, 2, 0, 0, 0, 5, 3, 3});
    long err = kErrSentinel;
    struct {
        unsigned start, equal, notEqual;
    } const rows[] = {
        {0, 0, 1}, {1, 2, 1}, {3, 7, 3}, {8, kNotFound, 8}, {9, kNotFound, 9}, {10, kNotFound, kNotFound},
        {0xFFFFFFFFu, kNotFound, kNotFound},
    };
    for (auto const& r : rows) {
        SCOPED_TRACE(r.start);
        EXPECT_EQ(DataVectorUtils::findFirstEqual(*v, r.start, Variant(5), err), r.equal);
        EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*v, r.start, Variant(5), err), r.notEqual);
    }
    auto empty = DataVectorND<2>::create(DataType(DataType::kInt32), P2(0, 3));
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*empty, 0, Variant(5), err), kNotFound);
    EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*empty, 0, Variant(5), err), kNotFound);
    EXPECT_EQ(err, kErrSentinel);
}

TEST(Search, FloatRules)
{
    long err = kErrSentinel;
    // (3, 2) with only (1, 1) differing from 0.0.
    auto v = grid<float>(3, 2, {0, 0, 0, 0, 7, 0});
    EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*v, 0, Variant(0.0f), err), 4u);
    EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*v, 5, Variant(0.0f), err), kNotFound);

    // NaN value: never equal, so every element differs.
    auto w = grid<float>(3, 1, {nanf(), 1, 2});
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*w, 0, Variant(nanf()), err), kNotFound);
    EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*w, 1, Variant(nanf()), err), 1u);
    // A NaN element differs from every value.
    auto x = grid<double>(3, 1, {nan(), nan(), 2});
    EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*x, 1, Variant(nan()), err), 1u);
    auto y = grid<float>(3, 1, {1, nanf(), 1});
    EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*y, 0, Variant(1.0f), err), 1u);

    // -0.0 equals 0.0.
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*grid<double>(3, 1, {1, -0.0, 0}), 0, Variant(0.0), err), 1u);
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*grid<float>(2, 1, {1, -0.0f}), 0, Variant(0.0f), err), 1u);
    EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*grid<float>(2, 1, {-0.0f, 0.0f}), 0, Variant(0.0f), err),
              kNotFound);
    EXPECT_EQ(err, kErrSentinel);
}

TEST(Search, TuplesAndThreeVectors)
{
    long err = kErrSentinel;
    DataType const t(DataType::kInt16, 3);
    auto v3 = grid(t, 2, 2, std::vector<short>{1, 2, 4, 1, 2, 3, 1, 2, 4, 1, 2, 3});
    Variant const match = tupleValue<short>(DataType::kInt16, {1, 2, 3});
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*v3, 0, match, err), 1u);
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*v3, 2, match, err), 3u);
    EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*v3, 1, match, err), 2u);
    EXPECT_EQ(err, kErrSentinel);

    // A value of tuple length 2 is another type.
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*v3, 0, tupleValue<short>(DataType::kInt16, {1, 2}), err), kNotFound);
    EXPECT_EQ(err, kErrValueTypeMismatch);
    err = kErrSentinel;
    EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*v3, 0, tupleValue<short>(DataType::kInt16, {1, 2}), err),
              kNotFound);
    EXPECT_EQ(err, kErrValueTypeMismatch);

    // 3-vectors differing in z only differ.
    err = kErrSentinel;
    auto p = grid<Vec3>(3, 1, {Vec3(1, 2, 3), Vec3(1, 2, 4), Vec3(1, 2, 3)});
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*p, 0, Variant(Vec3(1, 2, 4)), err), 1u);
    EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*p, 0, Variant(Vec3(1, 2, 3)), err), 1u);
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*p, 2, Variant(Vec3(1, 2, 4)), err), kNotFound);
    EXPECT_EQ(err, kErrSentinel);

    // A value of another element type.
    EXPECT_EQ(DataVectorUtils::findFirstEqual(*grid<float>(1, 1, {3}), 0, Variant(3), err), kNotFound);
    EXPECT_EQ(err, kErrValueTypeMismatch);
}

TEST(Search, VectorsOutsideTheLibrary)
{
    float data[4] = {1, 2, 3, 4};
    long err = kErrSentinel;

    // A foreign class: findFirstEqual tests the start first, findFirstNotEqual casts first.
    ForeignDataVector flat(DataType(DataType::kFloat32), {2, 2});
    flat.setDataPtr(data);
    EXPECT_EQ(DataVectorUtils::findFirstEqual(flat, 4, Variant(1.0f), err), kNotFound);
    EXPECT_THROW(DataVectorUtils::findFirstEqual(flat, 0, Variant(1.0f), err), std::bad_cast);
    ForeignVector plane(DataType(DataType::kFloat32), 2, 2, data);
    EXPECT_THROW(DataVectorUtils::findFirstNotEqual(plane, 4, Variant(1.0f), err), std::bad_cast);
    EXPECT_EQ(err, kErrSentinel);

    // Five dimensions: a status only when the start lies inside.
    ForeignDataVector five(DataType(DataType::kFloat32), {1, 1, 1, 1, 2});
    EXPECT_EQ(DataVectorUtils::findFirstEqual(five, 2, Variant(0.0f), err), kNotFound);
    EXPECT_EQ(err, kErrSentinel);
    EXPECT_EQ(DataVectorUtils::findFirstEqual(five, 1, Variant(0.0f), err), kNotFound);
    EXPECT_EQ(err, kErrUnsupportedDimensionCount);

    // A type code without an element class: nothing searched, not found.
    err = kErrSentinel;
    DataType const ten(DataType::Type(10), 0);
    ForeignDataVector odd(ten, {2, 2});
    ForeignVector oddPlane(ten, 2, 2, data);
    EXPECT_EQ(DataVectorUtils::findFirstEqual(odd, 0, Variant(ten), err), kNotFound);
    EXPECT_EQ(DataVectorUtils::findFirstNotEqual(oddPlane, 0, Variant(ten), err), kNotFound);
    EXPECT_EQ(err, kErrSentinel);
}

namespace {

// Every length up to 70 and every position of the one element `b` among
// elements `a`, from several starts, for both searches.
template <class E>
void sweepPositions(E a, E b)
{
    long err = kErrSentinel;
    for (unsigned n = 0; n <= 70; ++n) {
        auto v = grid<E>(n, 1, std::vector<E>(n, a));
        EXPECT_EQ(DataVectorUtils::findFirstEqual(*v, 0, Variant(b), err), kNotFound);
        EXPECT_EQ(DataVectorUtils::findFirstNotEqual(*v, 0, Variant(a), err), kNotFound);
        for (unsigned k = 0; k < n; ++k) {
            static_cast<E*>(v->getDataPtr())[k] = b;
            for (unsigned start : {0u, k / 2, k, k + 1}) {
                unsigned const expected = start <= k ? k : kNotFound;
                ASSERT_EQ(DataVectorUtils::findFirstEqual(*v, start, Variant(b), err), expected)
                    << "n " << n << " k " << k << " start " << start;
                ASSERT_EQ(DataVectorUtils::findFirstNotEqual(*v, start, Variant(a), err), expected)
                    << "n " << n << " k " << k << " start " << start;
            }
            static_cast<E*>(v->getDataPtr())[k] = a;
        }
    }
    EXPECT_EQ(err, kErrSentinel);
}

}  // namespace

TEST(Search, EveryLengthAndPositionOnEverySimdTarget)
{
    forEachSimdTarget([] {
        sweepPositions<float>(1.5f, -2.0f);
        sweepPositions<double>(-0.0, 3.0);
        sweepPositions<signed char>(-1, 1);
        sweepPositions<unsigned char>(0, 255);
        sweepPositions<short>(7, -7);
        sweepPositions<unsigned short>(0x8000, 1);
        sweepPositions<int>(-5, 5);
        sweepPositions<unsigned>(0xFFFFFFFFu, 0);
        sweepPositions<long long>(1LL << 40, -(1LL << 40));
        sweepPositions<unsigned long long>(~0ULL, 1);
    });
}
