#include "datavectorutils/GridValues.h"
#include "support/SimdTargets.h"

using namespace gridvalues;

TEST(ReplaceValue, FloatRowsKeepTheBitsOfEveryOtherElement)
{
    std::vector<double> const row = {1, nan(), 1, -0.0};
    struct {
        double oldValue, newValue;
        std::vector<double> expected;
    } const cases[] = {
        {1, 5, {5, nan(), 5, -0.0}},
        {0.0, 7, {1, nan(), 1, 7}},     // -0.0 equals 0.0
        {nan(), 9, {1, nan(), 1, -0.0}},  // NaN matches nothing
        {1, 1, {1, nan(), 1, -0.0}},      // old equal to new
    };
    forEachSimdTarget([&] {
        for (auto const& c : cases) {
            SCOPED_TRACE(c.oldValue);
            // Rows long enough for whole SIMD blocks and a tail.
            std::vector<double> values, expected;
            for (int k = 0; k < 9; ++k) {
                values.insert(values.end(), row.begin(), row.end());
                expected.insert(expected.end(), c.expected.begin(), c.expected.end());
            }
            auto v = grid<double>(9, 4, values);
            EXPECT_EQ(DataVectorUtils::replaceValue(*v, Variant(c.oldValue), Variant(c.newValue)), kSuccess);
            EXPECT_EQ(bitsOf(valuesOf<double>(*v)), bitsOf(expected));
        }
        auto f = grid<float>(5, 1, {0.5f, nanf(), -0.0f, 2, 0.5f});
        EXPECT_EQ(DataVectorUtils::replaceValue(*f, Variant(0.5f), Variant(-1.0f)), kSuccess);
        EXPECT_EQ(bitsOf(valuesOf<float>(*f)), bitsOf(std::vector<float>{-1, nanf(), -0.0f, 2, -1}));
    });
}

TEST(ReplaceValue, TuplesThreeVectorsAndFourDimensions)
{
    DataType const t(DataType::kUInt16, 3);
    auto v = grid(t, 3, 1, std::vector<unsigned short>{1, 2, 3, 1, 2, 4, 1, 2, 3});
    EXPECT_EQ(DataVectorUtils::replaceValue(*v, tupleValue<unsigned short>(DataType::kUInt16, {1, 2, 3}),
                                            tupleValue<unsigned short>(DataType::kUInt16, {9, 9, 9})),
              kSuccess);
    EXPECT_EQ(valuesOf<unsigned short>(*v), (std::vector<unsigned short>{9, 9, 9, 1, 2, 4, 9, 9, 9}));

    auto p = grid<Vec3>(4, 1, {Vec3(1, 2, 3), Vec3(1, 2, 4), Vec3(0, 2, 3), Vec3(1, 2, 3)});
    EXPECT_EQ(DataVectorUtils::replaceValue(*p, Variant(Vec3(1, 2, 3)), Variant(Vec3(7, 8, 9))), kSuccess);
    auto const got = valuesOf<Vec3>(*p);
    std::vector<Vec3> const want = {Vec3(7, 8, 9), Vec3(1, 2, 4), Vec3(0, 2, 3), Vec3(7, 8, 9)};
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_TRUE(got[i] == want[i]) << i;

    // Four dimensions: every element is visited.
    auto four = DataVectorND<4>::create(DataType(DataType::kInt8), ZELUNnPoint<unsigned, 4>(2, 3, 2, 2));
    for (unsigned i = 0; i < four->size(); ++i) static_cast<signed char*>(four->getDataPtr())[i] = i % 2 ? 3 : -3;
    EXPECT_EQ(DataVectorUtils::replaceValue(*four, Variant((signed char)(3)), Variant((signed char)(0))), kSuccess);
    for (unsigned i = 0; i < four->size(); ++i)
        EXPECT_EQ(static_cast<signed char*>(four->getDataPtr())[i], i % 2 ? 0 : -3) << i;

    // An empty vector.
    auto empty = DataVectorND<1>::create(DataType(DataType::kFloat32), ZELUNnPoint<unsigned, 1>(0));
    EXPECT_EQ(DataVectorUtils::replaceValue(*empty, Variant(1.0f), Variant(2.0f)), kSuccess);
}

TEST(ReplaceValue, RefusalsLeaveTheVectorUnchanged)
{
    DataType const t(DataType::kUInt16, 3);
    auto v = grid(t, 2, 1, std::vector<unsigned short>{1, 2, 3, 1, 2, 3});
    Variant const old3 = tupleValue<unsigned short>(DataType::kUInt16, {1, 2, 3});
    Variant const new2 = tupleValue<unsigned short>(DataType::kUInt16, {9, 9});
    EXPECT_EQ(DataVectorUtils::replaceValue(*v, old3, new2), kErrValueTypeMismatch);
    EXPECT_EQ(DataVectorUtils::replaceValue(*v, new2, old3), kErrValueTypeMismatch);
    EXPECT_EQ(DataVectorUtils::replaceValue(*v, Variant(1.0f), old3), kErrValueTypeMismatch);
    EXPECT_EQ(valuesOf<unsigned short>(*v), (std::vector<unsigned short>{1, 2, 3, 1, 2, 3}));

    float data[4] = {1, 2, 1, 4};
    ForeignDataVector foreign(DataType(DataType::kFloat32), {2, 2});
    foreign.setDataPtr(data);
    EXPECT_EQ(DataVectorUtils::replaceValue(foreign, Variant(1.0f), Variant(5.0f)), kErrVectorClassMismatch);
    ForeignDataVector five(DataType(DataType::kFloat32), {1, 1, 1, 1, 4});
    five.setDataPtr(data);
    EXPECT_EQ(DataVectorUtils::replaceValue(five, Variant(1.0f), Variant(5.0f)), kErrUnsupportedDimensionCount);
    EXPECT_EQ(std::vector<float>(data, data + 4), (std::vector<float>{1, 2, 1, 4}));

    // A type code without an element class: nothing done.
    DataType const ten(DataType::Type(10), 0);
    ForeignDataVector odd(ten, {2, 2});
    EXPECT_EQ(DataVectorUtils::replaceValue(odd, Variant(ten), Variant(ten)), kSuccess);
}

namespace {

// Every length up to 70 with the matching element at every position.
template <class E>
void sweepReplace(E a, E b, E c)
{
    for (unsigned n = 1; n <= 70; ++n)
        for (unsigned k = 0; k < n; ++k) {
            std::vector<E> values(n, a), expected(n, a);
            values[k] = b;
            expected[k] = c;
            auto v = grid<E>(n, 1, values);
            ASSERT_EQ(DataVectorUtils::replaceValue(*v, Variant(b), Variant(c)), kSuccess);
            ASSERT_EQ(bitsOf(valuesOf<E>(*v)), bitsOf(expected)) << "n " << n << " k " << k;
        }
}

}  // namespace

TEST(ReplaceValue, EveryLengthAndPositionOnEverySimdTarget)
{
    forEachSimdTarget([] {
        sweepReplace<float>(nanf(), 2.0f, -3.0f);
        sweepReplace<double>(1.0, -0.0, 4.0);
        sweepReplace<unsigned char>(1, 2, 3);
        sweepReplace<short>(-1, 5, 6);
        sweepReplace<unsigned>(7, 0xFFFFFFFFu, 0);
        sweepReplace<long long>(-(1LL << 50), 1LL << 50, 3);
        sweepReplace<unsigned long long>(0, ~0ULL, 1);
    });
}
