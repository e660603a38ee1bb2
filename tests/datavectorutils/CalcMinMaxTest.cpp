#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <typeinfo>

#include "datavectorutils/VectorOpsSupport.h"
#include "support/SimdTargets.h"

using namespace vectorops;

namespace {

using P1 = ZELUNnPoint<unsigned, 1>;
using Vec3 = ZELUNVec3<double>;

template <class E>
boost::shared_ptr<DataVectorND<1>> vectorOf(DataType t, std::vector<E> const& values)
{
    auto v = DataVectorND<1>::create(t, P1(unsigned(values.size() / t.getLength())));
    if (!values.empty()) std::memcpy(v->getDataPtr(), values.data(), values.size() * sizeof(E));
    return v;
}

template <class E>
boost::shared_ptr<DataVectorND<1>> vectorOf(std::vector<E> const& values)
{
    return vectorOf(Variant(E()).getDataType(), values);
}

// The value bytes of a Variant as a vector of E.
template <class E>
std::vector<E> valuesIn(Variant const& v)
{
    auto const* p = static_cast<E const*>(v.getPtr());
    return std::vector<E>(p, p + v.getDataType().getLength());
}

template <class E>
Variant tupleOf(unsigned k, std::vector<E> const& values)
{
    Variant v(DataType(DataType::Type(k), unsigned(values.size())));
    std::memcpy(const_cast<void*>(v.getPtr()), values.data(), values.size() * sizeof(E));
    return v;
}

}  // namespace

TEST(CalcMinMax, EdgeCasesOfTheOperation)
{
    float const nan = std::numeric_limits<float>::quiet_NaN();
    Variant min, max;

    // Empty, and all no-data: both outputs are the no-data value.
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<float>{}), Variant(-9999.0f), min, max), kSuccess);
    EXPECT_EQ(valuesIn<float>(min), std::vector<float>{-9999.0f});
    EXPECT_EQ(valuesIn<float>(max), std::vector<float>{-9999.0f});
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<short>{4, 4, 4}), Variant(short(4)), min, max), kSuccess);
    EXPECT_EQ(valuesIn<short>(min), std::vector<short>{4});
    EXPECT_EQ(valuesIn<short>(max), std::vector<short>{4});

    // A NaN element is kept but never less or greater than anything.
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<float>{5, -2, nan, 7}), Variant(-9999.0f), min, max),
              kSuccess);
    EXPECT_EQ(valuesIn<float>(min), std::vector<float>{-2});
    EXPECT_EQ(valuesIn<float>(max), std::vector<float>{7});

    // A NaN no-data value leaves out nothing.
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<float>{nan, 3, 1, nan}), Variant(nan), min, max),
              kSuccess);
    EXPECT_EQ(valuesIn<float>(min), std::vector<float>{1});
    EXPECT_EQ(valuesIn<float>(max), std::vector<float>{3});

    // Kept elements that equal a start value are results, not no-data.
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<unsigned char>{0, 0, 200}), Variant((unsigned char)200),
                                          min, max),
              kSuccess);
    EXPECT_EQ(valuesIn<unsigned char>(min), std::vector<unsigned char>{0});
    EXPECT_EQ(valuesIn<unsigned char>(max), std::vector<unsigned char>{0});
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<short>{32767, 32767}), Variant(short(0)), min, max),
              kSuccess);
    EXPECT_EQ(valuesIn<short>(min), std::vector<short>{32767});
    EXPECT_EQ(valuesIn<short>(max), std::vector<short>{32767});
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<float>{-FLT_MAX, 2}), Variant(0.0f), min, max),
              kSuccess);
    EXPECT_EQ(valuesIn<float>(min), std::vector<float>{-FLT_MAX});
    EXPECT_EQ(valuesIn<float>(max), std::vector<float>{2});
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<Vec3>{Vec3(DBL_MAX, DBL_MAX, DBL_MAX)}),
                                          Variant(Vec3()), min, max),
              kSuccess);
    EXPECT_EQ(valuesIn<Vec3>(min), std::vector<Vec3>{Vec3(DBL_MAX, DBL_MAX, DBL_MAX)});
    EXPECT_EQ(valuesIn<Vec3>(max), std::vector<Vec3>{Vec3(DBL_MAX, DBL_MAX, DBL_MAX)});

    // 3-vectors order by z, then y, then x.
    std::vector<Vec3> const points = {Vec3(1, 2, 3), Vec3(0, 9, 3), Vec3(5, 0, 2)};
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(points), Variant(Vec3(7, 7, 7)), min, max), kSuccess);
    EXPECT_EQ(valuesIn<Vec3>(min), std::vector<Vec3>{Vec3(5, 0, 2)});
    EXPECT_EQ(valuesIn<Vec3>(max), std::vector<Vec3>{Vec3(0, 9, 3)});

    // Tuples order lexicographically and come back as tuples.
    std::vector<int> const pairs = {1, 9, 1, 3, 0, 100};
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(DataType(DataType::kInt32, 2), pairs), tupleOf<int>(6, {5, 5}),
                                          min, max),
              kSuccess);
    EXPECT_EQ(min.getDataType(), DataType(DataType::kInt32, 2));
    EXPECT_EQ(valuesIn<int>(min), (std::vector<int>{0, 100}));
    EXPECT_EQ(valuesIn<int>(max), (std::vector<int>{1, 9}));
    // ... leaving out the no-data tuple, and keeping a tuple of start values.
    std::vector<int> const extremes = {2147483647, 2147483647, 0, 100, -5, -5};
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(DataType(DataType::kInt32, 2), extremes), tupleOf<int>(6, {0, 100}),
                                          min, max),
              kSuccess);
    EXPECT_EQ(valuesIn<int>(min), (std::vector<int>{-5, -5}));
    EXPECT_EQ(valuesIn<int>(max), (std::vector<int>{2147483647, 2147483647}));

    // Outputs that held other types come back with the vector's type.
    min = Variant((signed char)3);
    max = Variant();
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<double>{1.5}), Variant(0.0), min, max), kSuccess);
    EXPECT_EQ(min.getDataType(), DataType(DataType::kFloat64));
    EXPECT_EQ(valuesIn<double>(max), std::vector<double>{1.5});
}

TEST(CalcMinMax, RefusedNoDataLeavesOutputsAlone)
{
    Variant min(1.0f), max(2.0f);
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<float>{5}), Variant(1), min, max),
              kErrValueTypeMismatch);
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(DataType(DataType::kInt32, 2), std::vector<int>{1, 2}),
                                          tupleOf<int>(6, {1, 2, 3}), min, max),
              kErrValueTypeMismatch);
    EXPECT_EQ(valuesIn<float>(min), std::vector<float>{1.0f});
    EXPECT_EQ(valuesIn<float>(max), std::vector<float>{2.0f});
}

namespace {

void checkZeroSigns()
{
    struct Case {
        std::vector<float> values;
        float nd;
        bool minNegative, maxNegative;
    } const cases[] = {
        {{1, -0.0f, +0.0f}, 9, true, true},
        {{+0.0f, 2, -0.0f}, 9, false, false},
        {{-1, -0.0f, +0.0f}, 9, false, true},  // min -1; max the first zero
        {{-0.0f, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, +0.0f, 6},
         9, true, false},
    };
    for (Case const& c : cases) {
        // The same zeros later in a longer vector, past whole lane groups.
        for (std::size_t lead : {0, 1, 67}) {
            std::vector<float> values(lead, 9.0f);
            values.insert(values.end(), c.values.begin(), c.values.end());
            Variant min, max;
            ASSERT_EQ(DataVectorUtils::calcMinMax(*vectorOf(values), Variant(c.nd), min, max), kSuccess);
            float const mn = valuesIn<float>(min)[0], mx = valuesIn<float>(max)[0];
            if (mn == 0) {
                EXPECT_EQ(std::signbit(mn), c.minNegative) << lead;
            }
            if (mx == 0) {
                EXPECT_EQ(std::signbit(mx), c.maxNegative) << lead;
            }
        }
    }
    // Both zero and nothing else kept.
    Variant min, max;
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<float>{7, +0.0f, -0.0f, 7}), Variant(7.0f), min, max),
              kSuccess);
    EXPECT_EQ(bitsOf(valuesIn<float>(min)), std::vector<std::uint64_t>{0u});
    EXPECT_EQ(bitsOf(valuesIn<float>(max)), std::vector<std::uint64_t>{0u});
}

}  // namespace

TEST(CalcMinMax, ZeroResultsKeepTheFirstKeptZerosSignOnEveryTarget)
{
    forEachSimdTarget([] { checkZeroSigns(); });
}

TEST(CalcMinMax, NoDataMayBeOneOfTheOutputs)
{
    auto const v = vectorOf(std::vector<int>{3, 2, 1, 2, 5});
    Variant a(2), other;
    EXPECT_EQ(DataVectorUtils::calcMinMax(*v, a, a, other), kSuccess);
    EXPECT_EQ(valuesIn<int>(a), std::vector<int>{1});
    EXPECT_EQ(valuesIn<int>(other), std::vector<int>{5});
    Variant b(5);
    EXPECT_EQ(DataVectorUtils::calcMinMax(*v, b, other, b), kSuccess);
    EXPECT_EQ(valuesIn<int>(other), std::vector<int>{1});
    EXPECT_EQ(valuesIn<int>(b), std::vector<int>{3});
    // Everything no-data: both outputs are the no-data value, 2.
    Variant c(2);
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<int>{2, 2}), c, c, other), kSuccess);
    EXPECT_EQ(valuesIn<int>(c), std::vector<int>{2});
    EXPECT_EQ(valuesIn<int>(other), std::vector<int>{2});
}

TEST(CalcMinMax, FourDimensions)
{
    auto v = DataVectorND<4>::create(DataType(DataType::kInt32), ZELUNnPoint<unsigned, 4>(2, 2, 2, 2));
    int* p = static_cast<int*>(v->getDataPtr());
    for (int i = 0; i < 16; ++i) p[i] = i - 8;
    Variant min, max;
    EXPECT_EQ(DataVectorUtils::calcMinMax(*v, Variant(-8), min, max), kSuccess);
    EXPECT_EQ(valuesIn<int>(min), std::vector<int>{-7});
    EXPECT_EQ(valuesIn<int>(max), std::vector<int>{7});
}

TEST(CalcMinMax, VectorsOutsideTheLibrary)
{
    float data[4] = {1, 2, 3, 4};
    Variant min(7), max(8);

    // A foreign class: std::bad_cast with the outputs at the start values.
    ForeignDataVector foreign(DataType(DataType::kFloat32), {2, 2});
    foreign.setDataPtr(data);
    EXPECT_THROW(DataVectorUtils::calcMinMax(foreign, Variant(0.0f), min, max), std::bad_cast);
    EXPECT_EQ(valuesIn<float>(min), std::vector<float>{FLT_MAX});
    EXPECT_EQ(valuesIn<float>(max), std::vector<float>{-FLT_MAX});

    // Five reported dimensions: nothing scanned, both outputs no-data.
    ForeignDataVector five(DataType(DataType::kFloat32), {2, 2, 1, 1, 1});
    EXPECT_EQ(DataVectorUtils::calcMinMax(five, Variant(-1.0f), min, max), kSuccess);
    EXPECT_EQ(valuesIn<float>(min), std::vector<float>{-1.0f});
    EXPECT_EQ(valuesIn<float>(max), std::vector<float>{-1.0f});

    // A type that changes between the check and the visit; code 10.
    min = Variant(7);
    max = Variant(8);
    ForeignVector fickle(DataType(DataType::kFloat32), 2, 2, data);
    fickle.changeTypeAfterFirstQuery(DataType(DataType::kInt32));
    EXPECT_EQ(DataVectorUtils::calcMinMax(fickle, Variant(0.0f), min, max), kErrVectorClassMismatch);
    ForeignDataVector odd(DataType(DataType::Type(10)), {2, 2});
    EXPECT_EQ(DataVectorUtils::calcMinMax(odd, Variant(DataType(DataType::Type(10))), min, max), kSuccess);
    EXPECT_EQ(valuesIn<int>(min), std::vector<int>{7});
    EXPECT_EQ(valuesIn<int>(max), std::vector<int>{8});
}

namespace {

// Every length up to 70 with the smallest and the largest element at every
// position and every third element no-data, the no-data value lying below
// all kept values or above them.
template <class E>
void sweepPositions()
{
    using Lim = std::numeric_limits<E>;
    bool const isSigned = Lim::is_signed;
    E const low = isSigned ? E(Lim::lowest() / 4) : E(2);
    E const mid = isSigned ? E(1) : E(Lim::max() / 4);
    E const high = isSigned ? E(Lim::max() / 2 + Lim::max() / 4) : E(Lim::max() - 2);
    E const noDatas[2] = {isSigned ? E(Lim::lowest() / 2) : E(1), isSigned ? E(Lim::max() / 10 * 9) : E(Lim::max() - 1)};
    for (E nd : noDatas) {
        for (std::size_t n = 0; n <= 70; ++n) {
            for (std::size_t pos = 0; pos < (n ? n : 1); ++pos) {
                std::vector<E> values(n, mid);
                for (std::size_t i = 0; i < n; i += 3) values[i] = nd;
                std::size_t const hiPos = n > 1 ? (pos + n / 2) % n : pos;
                if (n) values[pos] = low;
                if (n > 1) values[hiPos] = high;
                Variant min, max;
                ASSERT_EQ(DataVectorUtils::calcMinMax(*vectorOf(values), Variant(nd), min, max), kSuccess);
                E const wantMin = n ? low : nd, wantMax = n > 1 ? high : n ? low : nd;
                ASSERT_EQ(valuesIn<E>(min), std::vector<E>{wantMin}) << "n " << n << " pos " << pos;
                ASSERT_EQ(valuesIn<E>(max), std::vector<E>{wantMax}) << "n " << n << " pos " << pos;
            }
        }
    }
}

}  // namespace

TEST(CalcMinMax, ExtremesAtEveryPositionOfEveryNumericKindOnEveryTarget)
{
    forEachSimdTarget([] {
#define ZORV_SWEEP(k, E, name) \
    {                          \
        SCOPED_TRACE(name);    \
        sweepPositions<E>();   \
    }
        ZORV_FOR_EACH_NUMERIC_KIND(ZORV_SWEEP)
#undef ZORV_SWEEP
    });
}
