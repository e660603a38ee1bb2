#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <typeinfo>
#include <type_traits>
#include <utility>
#include <vector>

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
    // ... and giving the no-data tuple or 3-vector when nothing is kept.
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(DataType(DataType::kInt32, 2), std::vector<int>{0, 100, 0, 100}),
                                          tupleOf<int>(6, {0, 100}), min, max),
              kSuccess);
    EXPECT_EQ(valuesIn<int>(min), (std::vector<int>{0, 100}));
    EXPECT_EQ(valuesIn<int>(max), (std::vector<int>{0, 100}));
    EXPECT_EQ(DataVectorUtils::calcMinMax(*vectorOf(std::vector<Vec3>{Vec3(1, 2, 3), Vec3(1, 2, 3)}),
                                          Variant(Vec3(1, 2, 3)), min, max),
              kSuccess);
    EXPECT_EQ(valuesIn<Vec3>(min), std::vector<Vec3>{Vec3(1, 2, 3)});
    EXPECT_EQ(valuesIn<Vec3>(max), std::vector<Vec3>{Vec3(1, 2, 3)});

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

// Runs calcMinMax over `values` and compares both outputs bit for bit.
template <class E>
void expectMinMax(std::vector<E> const& values, E nd, E wantMin, E wantMax)
{
    Variant min, max;
    ASSERT_EQ(DataVectorUtils::calcMinMax(*vectorOf(values), Variant(nd), min, max), kSuccess);
    EXPECT_EQ(bitsOf(valuesIn<E>(min)), bitsOf(std::vector<E>{wantMin})) << "min of " << values.size();
    EXPECT_EQ(bitsOf(valuesIn<E>(max)), bitsOf(std::vector<E>{wantMax})) << "max of " << values.size();
}

// Zeros of both signs: a zero result carries the sign of the first kept zero.
template <class E>
void checkZeroSigns()
{
    E const p0 = E(0), n0 = -E(0);
    struct Case {
        std::vector<E> values;
        E nd, min, max;
    } const cases[] = {
        {{1, n0, p0}, 9, n0, 1},
        {{1, p0, n0}, 9, p0, 1},
        {{p0, 2, n0}, 9, p0, 2},
        {{n0, 2, p0}, 9, n0, 2},
        {{-1, n0, p0}, 9, -1, n0},  // min -1; max the first zero
        {{-1, p0, n0}, 9, -1, p0},
        {{p0, n0}, 9, p0, p0},
        {{n0, p0}, 9, n0, n0},
        {{7, p0, n0, 7}, 7, p0, p0},  // nothing but zeros kept
        {{7, n0, p0, 7}, 7, n0, n0},
        {{3, n0, p0, 4}, 0, 3, 4},  // a no-data value of 0 leaves out both zeros
        {{n0, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, p0, 6}, 9, n0, 6},
        {{p0, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, n0, 6}, 9, p0, 6},
    };
    for (Case const& c : cases) {
        // The same zeros after left-out elements, past whole lane groups.
        for (std::size_t lead : {0, 1, 67}) {
            std::vector<E> values(lead, c.nd);
            values.insert(values.end(), c.values.begin(), c.values.end());
            expectMinMax(values, c.nd, c.min, c.max);
        }
    }

    // One -0.0 and one +0.0 at positions across several thousand elements
    // (first, last, either side of 4096-element steps, in the tail), among
    // positive values, negative values or no-data only.
    std::size_t const n = 3 * 4096 + 77;
    std::size_t const spots[] = {0, 1, 63, 4095, 4096, 4097, 8191, 12287, 12288, 12300, n - 1};
    E const nd = -9999;
    for (E filler : {E(5), E(-5), nd}) {
        std::vector<E> values(n, filler);
        for (std::size_t i = 0; i < n; i += 17) values[i] = nd;
        auto const vector = vectorOf(values);
        E* data = static_cast<E*>(vector->getDataPtr());
        for (std::size_t a : spots) {
            for (std::size_t b : spots) {
                if (a == b) continue;
                data[a] = n0;
                data[b] = p0;
                E const first = a < b ? n0 : p0;
                E const wantMin = filler == E(-5) ? filler : first;
                E const wantMax = filler == E(5) ? filler : first;
                Variant min, max;
                ASSERT_EQ(DataVectorUtils::calcMinMax(*vector, Variant(nd), min, max), kSuccess);
                EXPECT_EQ(bitsOf(valuesIn<E>(min)), bitsOf(std::vector<E>{wantMin}))
                    << "filler " << filler << " -0 at " << a << " +0 at " << b;
                EXPECT_EQ(bitsOf(valuesIn<E>(max)), bitsOf(std::vector<E>{wantMax}))
                    << "filler " << filler << " -0 at " << a << " +0 at " << b;
                data[a] = values[a];
                data[b] = values[b];
            }
        }
    }
}

// Tiles that keep nothing, and kept elements at the types' extremes: an
// output at its start value is no-data unless a kept element holds it.
template <class E>
void checkStartValues()
{
    E const hi = std::numeric_limits<E>::max(), lo = std::numeric_limits<E>::lowest();
    E const nd = E(5);
    for (std::size_t n : {0, 1, 2, 67, 2 * 4096 + 3}) {
        SCOPED_TRACE(testing::Message() << n << " elements");
        expectMinMax(std::vector<E>(n, nd), nd, nd, nd);
        if (n == 0) continue;
        for (std::size_t at : {std::size_t(0), n / 2, n - 1}) {
            // One kept element among no-data.
            auto one = [&](E e) {
                std::vector<E> v(n, nd);
                v[at] = e;
                return v;
            };
            expectMinMax(one(hi), nd, hi, hi);
            expectMinMax(one(lo), nd, lo, lo);
            if constexpr (std::is_floating_point_v<E>) {
                E const inf = std::numeric_limits<E>::infinity(), nan = std::numeric_limits<E>::quiet_NaN();
                expectMinMax(one(inf), nd, nd, inf);  // never less than the start of min
                expectMinMax(one(-inf), nd, -inf, nd);
                expectMinMax(one(nan), nd, nd, nd);  // kept, but neither less nor greater
                if (n > 1) {
                    std::vector<E> v = one(inf);
                    v[at == 0 ? n - 1 : 0] = hi;
                    expectMinMax(v, nd, hi, inf);
                    v = one(-inf);
                    v[at == 0 ? n - 1 : 0] = lo;
                    expectMinMax(v, nd, -inf, lo);
                }
            }
        }
        if constexpr (std::is_floating_point_v<E>) {
            // A NaN no-data value leaves out nothing: NaN elements are kept.
            E const nan = std::numeric_limits<E>::quiet_NaN();
            expectMinMax(std::vector<E>(n, nan), nan, nan, nan);
        }
    }
}

// The sequential rule: every kept element tested against min, then max;
// an output left at its start value is no-data unless a kept element holds
// that value.
template <class E>
std::pair<E, E> sequentialMinMax(std::vector<E> const& values, E nd)
{
    E const hi = std::numeric_limits<E>::max(), lo = std::numeric_limits<E>::lowest();
    E mn = hi, mx = lo;
    bool keptHi = false, keptLo = false;
    for (E e : values) {
        if (e == nd) continue;
        keptHi = keptHi || e == hi;
        keptLo = keptLo || e == lo;
        if (e < mn) mn = e;
        if (mx < e) mx = e;
    }
    return {mn == hi && !keptHi ? nd : mn, mx == lo && !keptLo ? nd : mx};
}

// Random reals drawn from zeros of both signs, infinities, NaN, the extremes,
// the no-data value and a few ordinary values, against the sequential rule.
template <class E>
void checkAgainstSequentialRule()
{
    E const inf = std::numeric_limits<E>::infinity(), nan = std::numeric_limits<E>::quiet_NaN();
    E const hi = std::numeric_limits<E>::max();
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int round = 0; round < 200; ++round) {
        E const nd = round % 3 == 0 ? nan : round % 3 == 1 ? E(-9999) : E(0);
        E const pool[] = {E(0), -E(0), E(2), E(-3), inf, -inf, nan, hi, -hi, nd};
        std::size_t const n = next() % (3 * 4096 + 100);
        unsigned const kinds = unsigned(next() % 10) + 1;  // how much of the pool
        unsigned const rare = unsigned(next() % 200) + 1;  // 1 in `rare` elements from it
        std::vector<E> values(n);
        for (E& e : values) {
            std::uint64_t const r = next();
            e = r % rare == 0 ? pool[(r >> 20) % kinds] : (r >> 40) % 2 ? nd : E(7);
        }
        auto const want = sequentialMinMax(values, nd);
        SCOPED_TRACE(testing::Message() << "round " << round);
        expectMinMax(values, nd, want.first, want.second);
    }
}

}  // namespace

TEST(CalcMinMax, ZeroResultsKeepTheFirstKeptZerosSignOnEveryTarget)
{
    forEachSimdTarget([] {
        checkZeroSigns<float>();
        checkZeroSigns<double>();
    });
}

TEST(CalcMinMax, NothingKeptAndKeptExtremesOnEveryTarget)
{
    forEachSimdTarget([] {
#define ZORV_START_VALUES(k, E, name) \
    {                                 \
        SCOPED_TRACE(name);           \
        checkStartValues<E>();        \
    }
        ZORV_FOR_EACH_NUMERIC_KIND(ZORV_START_VALUES)
#undef ZORV_START_VALUES
    });
}

TEST(CalcMinMax, RealsFollowTheSequentialRuleOnEveryTarget)
{
    forEachSimdTarget([] {
        checkAgainstSequentialRule<float>();
        checkAgainstSequentialRule<double>();
    });
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
