#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "warp/WarpTestSupport.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/Samplers.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using namespace zorvtest;

namespace {

double const kInf = std::numeric_limits<double>::infinity();
double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kNoData = 99;
double const kCanary = 77;

// Reads `grid` at (x, y) through reprojectBuffer: a 1 x 1 output whose cover
// is centred on (x, y) over an input whose cover equals its pixel box.
template <class T>
std::vector<double> probe(InterpolationMethod how, TDataVector2D<T>& grid, Variant const& noData, double x, double y,
                          ReprojectMethod method = kPointReprojection)
{
    T const tag = grid.getElementType();
    auto out = makeGrid(tag, 1, 1);
    setElement(*out, 0, 0, kCanary);
    ZELUNCover const inCover = planeCover(0, 0, grid.getDimension(0), grid.getDimension(1));
    ZELUNCover const outCover = planeCover(x - 0.5, y - 0.5, x + 0.5, y + 0.5);
    EXPECT_EQ(reprojectBuffer(*out, outCover, grid, inCover, noData, method, how, false), 0);
    return elementOf(*out, 0, 0);
}

// Element (c, r) of the 4 x 3 test grid holds 10 + c + 4 r (plus k in
// component k).
template <class T>
boost::shared_ptr<TDataVector2D<T>> testGrid(T tag, unsigned w = 4, unsigned h = 3)
{
    auto g = makeGrid(tag, w, h);
    for (unsigned r = 0; r < h; ++r)
        for (unsigned c = 0; c < w; ++c) setElement(*g, c, r, 10 + c + 4 * r);
    return g;
}

// The no-data argument of a sampler of T: a view of the value.
template <class T>
SamplerDetail::NoDataOf<T> noDataArgOf(T tag, Variant const& noData)
{
    auto const* nd = noData.getTypedPtr(tag);
    if constexpr (T::kIsTuple)
        return SamplerDetail::NoDataOf<T>(nd, tag.getLength());
    else
        return *nd;
}

template <class T>
class Samplers : public ::testing::Test {};

using SampledTags =
    ::testing::Types<TDataType<3>, TDataType<2>, TDataType<4>, TDataType<9>, TDataType<0>, TDataType<1>, TDataType<11>,
                     TTupleDataType<TDataType<3>>, TTupleDataType<TDataType<0>>>;
TYPED_TEST_SUITE(Samplers, SampledTags);

// The figures every element type shares: the expected element is a grid
// element (by its column and row) or the no-data value (column -1).
TYPED_TEST(Samplers, PositionTable)
{
    using T = TypeParam;
    T const tag = tagOf<T>();
    struct Case {
        char const* what;
        InterpolationMethod how;
        double x, y;
        std::vector<std::pair<int, int>> noDataCells;
        int c, r;  // expected element; c = -1 for no-data
    } const cases[] = {
        {"hold at a centre", kHold, 1.5, 1.5, {}, 1, 1},
        {"bilinear at a centre", kBilinear, 1.5, 1.5, {}, 1, 1},
        {"bilinear-hold at a centre", kBilinearHoldNoData, 1.5, 1.5, {}, 1, 1},
        {"halfway beside one no-data", kBilinear, 1.0, 1.5, {{0, 1}}, 1, 1},
        {"all four no-data", kBilinear, 1.0, 1.0, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, -1, 0},
        {"hold at -0.75 truncates to column 0", kHold, -0.75, 1.5, {}, 0, 1},
        {"bilinear at -0.75", kBilinear, -0.75, 1.5, {}, -1, 0},
        {"bilinear at -0.25 reads column 0", kBilinear, -0.25, 1.5, {}, 0, 1},
        {"hold at -1", kHold, -1.0, 1.5, {}, -1, 0},
        {"bilinear at W - 0.5", kBilinear, 3.5, 1.5, {}, 3, 1},
        {"bilinear at W + 0.25", kBilinear, 4.25, 1.5, {}, 3, 1},
        {"bilinear at W + 0.5", kBilinear, 4.5, 1.5, {}, -1, 0},
        {"hold just inside W", kHold, 3.75, 2.75, {}, 3, 2},
        {"hold at W", kHold, 4.0, 1.5, {}, -1, 0},
        {"hold at 1e300", kHold, 1e300, 1.5, {}, -1, 0},
        {"bilinear at 1e300", kBilinear, 1.5, 1e300, {}, -1, 0},
        {"bilinear-hold at 1e300", kBilinearHoldNoData, 1e300, 1.5, {}, -1, 0},
        {"bilinear-hold, own cell no-data", kBilinearHoldNoData, 1.5, 1.5, {{1, 1}}, -1, 0},
        {"bilinear-hold beside a no-data cell", kBilinearHoldNoData, 1.25, 1.5, {{0, 1}}, 1, 1},
        {"hold on a no-data cell", kHold, 1.5, 1.5, {{1, 1}}, -1, 0},
    };
    Variant const noData = valueOf(tag, kNoData);
    for (Case const& k : cases) {
        for (ReprojectMethod method : {kPointReprojection, kMeshReprojection}) {
            auto g = testGrid(tag);
            for (auto [c, r] : k.noDataCells) setElement(*g, c, r, kNoData);
            std::vector<double> const expected = k.c < 0 ? expectedOf(tag, kNoData) : elementOf(*g, k.c, k.r);
            EXPECT_EQ(probe(k.how, *g, noData, k.x, k.y, method), expected) << k.what << ", method " << method;
        }
    }
}

TYPED_TEST(Samplers, EmptySourceGivesNoData)
{
    using T = TypeParam;
    T const tag = tagOf<T>();
    Variant const noData = valueOf(tag, kNoData);
    for (auto dims : {std::pair<unsigned, unsigned>{0, 3}, {4, 0}, {0, 0}})
        for (InterpolationMethod how : {kHold, kBilinear, kBilinearHoldNoData}) {
            auto g = testGrid(tag, dims.first, dims.second);
            EXPECT_EQ(probe(how, *g, noData, 0.5, 0.5), expectedOf(tag, kNoData)) << how;
        }
}

// Positions that no coordinate transformation yields, straight into the
// samplers: every kind gives no-data.
TYPED_TEST(Samplers, NonFinitePositionsGiveNoData)
{
    using T = TypeParam;
    using C = typename Comps<T>::C;
    T const tag = tagOf<T>();
    auto g = testGrid(tag);
    Variant const noData = valueOf(tag, kNoData);
    SamplerDetail::NoDataOf<T> const nodataArg = noDataArgOf(tag, noData);
    Variant result = valueOf(tag, kCanary);
    auto targetOf = [&]() -> SampleTargetOf<T> {
        if constexpr (T::kIsTuple)
            return SampleTargetOf<T>(result.getTypedPtr(tag), tag.getLength());
        else
            return *result.getTypedPtr(tag);
    };
    auto resultComps = [&]() {
        C const* p = reinterpret_cast<C const*>(result.getTypedPtr(tag));
        return std::vector<double>(p, p + compsOf(tag));
    };
    auto run = [&](auto const& sampler, double x, double y) {
        result = valueOf(tag, kCanary);
        sampler.sample(x, y, targetOf());
        return resultComps();
    };
    auto check = [&](auto const& sampler, char const* name) {
        for (auto [x, y] : {std::pair<double, double>{kInf, 1.5}, {-kInf, 1.5}, {1.5, kInf}, {1.5, -kInf},
                            {kNaN, 1.5}, {1.5, kNaN}, {1e300, 1e300}, {-1e300, 1.5}})
            EXPECT_EQ(run(sampler, x, y), expectedOf(tag, kNoData)) << name << " at " << x << ", " << y;
        EXPECT_EQ(run(sampler, 2.5, 0.5), elementOf(*g, 2, 0)) << name;
    };
    if constexpr (T::kIsTuple) {
        check(HoldSampler<T>(g.get(), nodataArg), "hold");
        check(BilinearSampler<T>(tag.getLength(), g.get(), nodataArg), "bilinear");
        check(BilinearHoldNoDataSampler<T>(tag.getLength(), g.get(), nodataArg), "bilinear-hold");
    } else {
        check(HoldSampler<T>(g.get(), nodataArg), "hold");
        check(BilinearSampler<T>(g.get(), nodataArg), "bilinear");
        check(BilinearHoldNoDataSampler<T>(g.get(), nodataArg), "bilinear-hold");
    }
}

// Columns that wrap around: a position in [W, W + 1) reads column x - W,
// and the bilinear neighbours of columns -1 and W are columns W - 1 and 0.
// Columns 0 to 3 hold 10, 20, 20, 30 in every row (plus k in component k);
// each row shows the plain sampler's value beside the wrapping one's.
TYPED_TEST(Samplers, CyclicColumns)
{
    using T = TypeParam;
    T const tag = tagOf<T>();
    Variant const noData = valueOf(tag, kNoData);
    SamplerDetail::NoDataOf<T> const nodataArg = noDataArgOf(tag, noData);
    struct Case {
        char const* what;
        InterpolationMethod how;
        double x;
        bool lastColumnNoData;
        double plain, cyclic;  // kNoData for no-data
    } const cases[] = {
        {"hold in [W, W + 1)", kHold, 4.25, false, kNoData, 10},
        {"hold at W + 1", kHold, 5.0, false, kNoData, kNoData},
        {"hold inside", kHold, 3.75, false, 30, 30},
        {"hold at -0.5 truncates", kHold, -0.5, false, 10, 10},
        {"bilinear below the first centre", kBilinear, 0.25, false, 10, 15},
        {"bilinear on the seam", kBilinear, 0.0, false, 10, 20},
        {"bilinear beyond the last centre", kBilinear, 3.75, false, 30, 25},
        {"bilinear in [W, W + 1)", kBilinear, 4.25, false, 30, 15},
        {"bilinear at W + 1", kBilinear, 5.0, false, kNoData, kNoData},
        {"bilinear below -0.5", kBilinear, -0.6, false, kNoData, kNoData},
        {"bilinear beside a no-data last column", kBilinear, 0.25, true, 10, 10},
        {"bilinear-hold in [W, W + 1)", kBilinearHoldNoData, 4.25, false, kNoData, 15},
    };
    for (Case const& k : cases) {
        auto g = makeGrid(tag, 4, 3);
        for (unsigned r = 0; r < 3; ++r)
            for (unsigned c = 0; c < 4; ++c) setElement(*g, c, r, c == 0 ? 10 : c == 3 ? 30 : 20);
        if (k.lastColumnNoData)
            for (unsigned r = 0; r < 3; ++r) setElement(*g, 3, r, kNoData);
        for (bool cyclic : {false, true}) {
            Variant result = valueOf(tag, kCanary);
            auto* p = result.getTypedPtr(tag);
            auto sample = [&](auto const& sampler) {
                if constexpr (T::kIsTuple)
                    sampler.sample(k.x, 1.5, SampleTargetOf<T>(p, tag.getLength()));
                else
                    sampler.sample(k.x, 1.5, *p);
            };
            if constexpr (T::kIsTuple) {
                unsigned const n = tag.getLength();
                if (k.how == kHold) sample(HoldSampler<T>(g.get(), nodataArg, cyclic));
                if (k.how == kBilinear) sample(BilinearSampler<T>(n, g.get(), nodataArg, cyclic));
                if (k.how == kBilinearHoldNoData) sample(BilinearHoldNoDataSampler<T>(n, g.get(), nodataArg, cyclic));
            } else {
                if (k.how == kHold) sample(HoldSampler<T>(g.get(), nodataArg, cyclic));
                if (k.how == kBilinear) sample(BilinearSampler<T>(g.get(), nodataArg, cyclic));
                if (k.how == kBilinearHoldNoData) sample(BilinearHoldNoDataSampler<T>(g.get(), nodataArg, cyclic));
            }
            using C = typename Comps<T>::C;
            C const* q = reinterpret_cast<C const*>(p);
            EXPECT_EQ(std::vector<double>(q, q + compsOf(tag)), expectedOf(tag, cyclic ? k.cyclic : k.plain))
                << k.what << (cyclic ? ", cyclic" : ", plain");
        }
    }
}

// One row of scalars of kind k read at (x, 0.5) by the bilinear sampler.
template <int k>
double bilinearRow(std::vector<double> const& values, double x, double noData = kNoData)
{
    using E = typename TDataType<k>::element_type;
    auto g = makeGrid(TDataType<k>(), static_cast<unsigned>(values.size()), 1);
    for (unsigned c = 0; c < values.size(); ++c) g->element(c, 0u) = static_cast<E>(values[c]);
    std::vector<double> const r = probe(kBilinear, *g, Variant(TDataType<k>(), static_cast<E>(noData)), x, 0.5);
    return r.at(0);
}

TEST(BilinearSampler, RoundsAndSaturatesIntegers)
{
    EXPECT_EQ(bilinearRow<2>({2, 3}, 1.0), 3);     // int8 mean 2.5
    EXPECT_EQ(bilinearRow<2>({-2, -3}, 1.0), -3);  // int8 mean -2.5
    EXPECT_EQ(bilinearRow<4>({0, -1}, 0.875), 0);  // sint16 mean -0.375
    EXPECT_EQ(bilinearRow<4>({0, 1}, 1.0), 1);     // sint16 mean 0.5
    EXPECT_EQ(bilinearRow<3>({254, 255}, 1.0), 255);
    // uint64 2^53 + 1 read as a double at a centre.
    auto g = makeGrid(TDataType<9>(), 1, 1);
    g->element(0u, 0u) = (1ull << 53) + 1;
    std::vector<double> const r = probe(kBilinear, *g, Variant(TDataType<9>(), 5ull), 0.5, 0.5);
    EXPECT_EQ(r.at(0), 9007199254740992.0);
    auto out = makeGrid(TDataType<9>(), 1, 1);
    EXPECT_EQ(reprojectBuffer(*out, planeCover(0, 0, 1, 1), *g, planeCover(0, 0, 1, 1), Variant(TDataType<9>(), 5ull),
                              kPointReprojection, kBilinear, false),
              0);
    EXPECT_EQ(out->element(0u, 0u), 1ull << 53);
}

TEST(BilinearSampler, FloatResultsAreClampedAndNaNPasses)
{
    float const fmax = std::numeric_limits<float>::max();
    EXPECT_EQ(bilinearRow<0>({1, kInf, 2}, 1.5), fmax);
    EXPECT_EQ(bilinearRow<0>({1, -kInf, 2}, 1.5), -fmax);
    EXPECT_TRUE(std::isnan(bilinearRow<0>({1, kNaN, 2}, 1.5)));
    EXPECT_EQ(bilinearRow<1>({1, kInf, 2}, 1.5), DBL_MAX);
    // A neighbour of weight 0 is left out: a finite centre beside an
    // infinite neighbour keeps its value.
    EXPECT_EQ(bilinearRow<0>({7, kInf}, 0.5), 7);
    EXPECT_EQ(bilinearRow<0>({kInf, 7}, 1.5), 7);
    // -0.0 at a centre becomes +0.0 (the sum starts at +0).
    double const z = bilinearRow<1>({-0.0, 1}, 0.5);
    EXPECT_EQ(z, 0.0);
    EXPECT_FALSE(std::signbit(z));
}

TEST(BilinearSampler, MinimumWeightSum)
{
    // Only the last element remains, with weight 1 - f.
    EXPECT_EQ(bilinearRow<0>({1, 2, 4, 8}, 4.4999), 8);        // weight about 1.0e-4
    EXPECT_EQ(bilinearRow<0>({1, 2, 4, 8}, 4.499999), kNoData);  // weight about 1.0e-6
}


// Where the samplers read, as the reach that callers skip work beyond
// states it: the cell test reads truncated positions inside (-1, count),
// bilinear reads from -0.5 to below count + 0.5, and columns that wrap read
// [count, count + 1) as those less count. At the bounds and beyond them no
// sampler reads data; just inside, some sampler does.
TEST(SamplerReach, NoSamplerReadsBeyondTheReach)
{
    using F32 = TDataType<0>;
    unsigned const w = 4, h = 3;
    auto g = testGrid(F32(), w, h);
    float const noData = static_cast<float>(kNoData);
    for (bool cyclic : {false, true}) {
        SampleReach const reach = sampleReach(w, h, cyclic);
        double const xHigh = cyclic ? w + 1.0 : w + 0.5;
        EXPECT_EQ(reach.lo[0], -1.0);
        EXPECT_EQ(reach.lo[1], -1.0);
        EXPECT_EQ(reach.hi[0], xHigh);
        EXPECT_EQ(reach.hi[1], h + 0.5);
        HoldSampler<F32> const hold(g.get(), noData, cyclic);
        BilinearSampler<F32> const bilinear(g.get(), noData, cyclic);
        BilinearHoldNoDataSampler<F32> const bilinearHold(g.get(), noData, cyclic);
        auto readsData = [&](double x, double y) {
            float a = 0, b = 0, c = 0;
            hold.sample(x, y, a);
            bilinear.sample(x, y, b);
            bilinearHold.sample(x, y, c);
            return a != noData || b != noData || c != noData;
        };
        // Along each of the four bounds, from the middle of the other axis.
        struct Bound {
            int axis;
            double at, outward;
        } const bounds[] = {{0, -1.0, -1}, {0, xHigh, 1}, {1, -1.0, -1}, {1, h + 0.5, 1}};
        for (Bound const& b : bounds) {
            double const other = b.axis == 0 ? h / 2.0 : w / 2.0;
            auto at = [&](double v) { return b.axis == 0 ? readsData(v, other) : readsData(other, v); };
            std::string const where = std::string(cyclic ? "cyclic, " : "") + (b.axis ? "y " : "x ") +
                                      std::to_string(b.at);
            EXPECT_FALSE(at(b.at)) << where;
            EXPECT_FALSE(at(std::nextafter(b.at, b.outward * kInf))) << where;
            EXPECT_FALSE(at(b.at + b.outward * 0.25)) << where;
            EXPECT_FALSE(at(b.outward * 1e300)) << where;
            EXPECT_TRUE(at(b.at - b.outward * 0.001)) << where;
        }
    }
}

}  // namespace
