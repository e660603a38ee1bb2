#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/BestResolutionSearch.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using WarpUtils::findBestResolution;
using WarpUtils::searchBestResolution;

namespace {

using Size = ZELUNnPoint<long long, 2>;
using Res = ZELUNnPoint<double, 2>;

double const kInf = std::numeric_limits<double>::infinity();
double const kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr long long kMax = std::numeric_limits<long long>::max();

ZELUNCoordSystem const& utm()
{
    static ZELUNCoordSystem const s("EPSG:32633");
    return s;
}
ZELUNCoordSystem const& wgs84()
{
    static ZELUNCoordSystem const s("EPSG:4326");
    return s;
}

// Ground-unit factors: metres to millimetres and back for a projected
// system; degrees to radians times the semi-major axis for a geographic one.
double const kUtmIntoUtm = 1000.0 * 0.001;
double const kWgs84IntoUtm = 0.017453292519943295 * 6378137.0 * 1000.0 * 0.001;

struct Bounds {
    double minX, minY, maxX, maxY;
    bool operator==(Bounds const& o) const
    {
        return minX == o.minX && minY == o.minY && maxX == o.maxX && maxY == o.maxY;
    }
};

std::ostream& operator<<(std::ostream& os, Bounds const& b)
{
    return os << '[' << b.minX << ", " << b.minY << "]-[" << b.maxX << ", " << b.maxY << ']';
}

// A block transformation that records every block it is given and answers
// with the bounds `map` makes of it, in the target system; the call numbered
// `failAt` (from 1) fails with `failStatus` instead.
struct FakeTransform {
    explicit FakeTransform(std::function<Bounds(Bounds)> m, long k = 0, long st = 0)
        : map(std::move(m)), failAt(k), failStatus(st)
    {
    }

    std::function<Bounds(Bounds)> map;
    long failAt;
    long failStatus;
    std::vector<Bounds> blocks;

    ZELUNCover operator()(ZELUNCover const& block, long& status)
    {
        Bounds const b{block.getMinX(), block.getMinY(), block.getMaxX(), block.getMaxY()};
        blocks.push_back(b);
        if (long(blocks.size()) == failAt) {
            status = failStatus;
            return ZELUNCover();
        }
        status = 0;
        Bounds const t = map(b);
        return ZELUNCover(utm(), t.minX, t.minY, t.maxX, t.maxY);
    }
};

Bounds same(Bounds b)
{
    return b;
}

// x' = x + x^2 / 32, y unchanged: increasing on [-16, 0], finest near -16.
Bounds quadraticX(Bounds b)
{
    return {b.minX + b.minX * b.minX / 32, b.minY, b.maxX + b.maxX * b.maxX / 32, b.maxY};
}

Res search(ZELUNCover const& cover, Size size, int iterations, FakeTransform& fake, long& status)
{
    return searchBestResolution(cover, size, utm(), status, iterations, fake);
}

}  // namespace

TEST(BestResolution, NoPassesGiveTheMeanPixelSize)
{
    ZELUNCover const plane(utm(), 0, 0, 800, 400);
    ZELUNCover const geo(wgs84(), 12, 45, 15, 48);
    struct Row {
        char const* label;
        ZELUNCover cover;
        Size size;
        int iterations;
        Res expected;
    } const rows[] = {
        {"iterations 0", plane, Size(8, 4), 0, Res(100 * kUtmIntoUtm, 100 * kUtmIntoUtm)},
        {"iterations -2", plane, Size(8, 4), -2, Res(100 * kUtmIntoUtm, 100 * kUtmIntoUtm)},
        {"one pixel", plane, Size(1, 1), -1, Res(800 * kUtmIntoUtm, 400 * kUtmIntoUtm)},
        {"one column", plane, Size(1, 400), 5, Res(800 * kUtmIntoUtm, 1 * kUtmIntoUtm)},
        {"no columns", plane, Size(0, 4), -1, Res(kInf, 100 * kUtmIntoUtm)},
        {"no rows", plane, Size(8, 0), -1, Res(100 * kUtmIntoUtm, kInf)},
        {"negative columns", plane, Size(-4, 8), -1, Res(-200 * kUtmIntoUtm, 50 * kUtmIntoUtm)},
        {"geographic into projected", geo, Size(3, 3), 0, Res(kWgs84IntoUtm, kWgs84IntoUtm)},
    };
    for (Row const& r : rows) {
        FakeTransform fake{same};
        long status = 4242;
        Res const got = search(r.cover, r.size, r.iterations, fake, status);
        EXPECT_DOUBLE_EQ(got[0], r.expected[0]) << r.label;
        EXPECT_DOUBLE_EQ(got[1], r.expected[1]) << r.label;
        EXPECT_EQ(status, 4242) << r.label;
        EXPECT_TRUE(fake.blocks.empty()) << r.label;

        long realStatus = 4242;
        Res const real = findBestResolution(r.cover, r.size, utm(), realStatus, r.iterations);
        EXPECT_EQ(real[0], got[0]) << r.label;
        EXPECT_EQ(real[1], got[1]) << r.label;
        EXPECT_EQ(realStatus, 4242) << r.label;
    }
}

TEST(BestResolution, TransformationsPerPass)
{
    struct Row {
        Size size;
        int iterations;
        std::size_t perAxis;
    } const rows[] = {
        {Size(8, 8), -1, 4 + 4 + 4},          // half 4, 2, 1
        {Size(8, 8), 1, 4},                   //
        {Size(8, 8), 2, 8},                   //
        {Size(8, 8), 7, 12},                  // n = 1 ends first
        {Size(5, 5), -1, 12},                 // half 3, 2, 1
        {Size(1000, 500), 1, 8},              // 4 x 2 blocks of 250
        {Size(1000, 500), -1, 8 + 4 * 8},     // then 250, 125, 63, 32, 16, 8, 4, 2 -> 1
        {Size(1000, 2), 1, 2000},             // an elongated raster: half 1
        {Size(kMax, kMax), 1, 4},             // half 2^62
        {Size(kMax, kMax), -1, 4 * 63},       // 2^62 down to 1
    };
    ZELUNCover const cover(utm(), 0, 0, 1000, 500);
    for (Row const& r : rows) {
        FakeTransform fake{same};
        long status = 0;
        Res const got = search(cover, r.size, r.iterations, fake, status);
        EXPECT_EQ(fake.blocks.size(), 2 * r.perAxis) << r.size[0] << 'x' << r.size[1] << ' ' << r.iterations;
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(std::isfinite(got[0]) && got[0] > 0);
        EXPECT_TRUE(std::isfinite(got[1]) && got[1] > 0);
    }
}

TEST(BestResolution, FirstPassBlocksAndEqualExtents)
{
    // 4 columns by 2 rows of blocks of 250 by 250 pixels, rows from minY, x
    // fastest.
    FakeTransform fake{same};
    long status = 0;
    Res got = search(ZELUNCover(utm(), 0, 0, 1000, 500), Size(1000, 500), 1, fake, status);
    std::vector<Bounds> const firstPass = {{0, 0, 250, 250},   {250, 0, 500, 250},   {500, 0, 750, 250},
                                           {750, 0, 1000, 250}, {0, 250, 250, 500},  {250, 250, 500, 500},
                                           {500, 250, 750, 500}, {750, 250, 1000, 500}};
    ASSERT_EQ(fake.blocks.size(), 16u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(fake.blocks[i], firstPass[i]) << i;
        EXPECT_EQ(fake.blocks[8 + i], firstPass[i]) << i;  // the y axis walks the same blocks
    }
    EXPECT_EQ(got[0], 1.0);
    EXPECT_EQ(got[1], 1.0);

    // Equal extents everywhere: the mean, on an uneven cover too.
    ZELUNCover const uneven(utm(), 3.1, -7.3, 3.1 + 1234.567, -7.3 + 617.891);
    FakeTransform again{same};
    got = search(uneven, Size(1000, 500), 1, again, status);
    EXPECT_NEAR(got[0], 1234.567 / 1000, 1e-12 * 1.234567);
    EXPECT_NEAR(got[1], 617.891 / 500, 1e-12 * 1.235782);

    // The last column and row moved back inside the cover, keeping their size.
    FakeTransform moved{same};
    search(ZELUNCover(utm(), 0, 0, 10, 6), Size(10, 6), 1, moved, status);
    std::vector<Bounds> const overlapping = {{0, 0, 3, 3}, {3, 0, 6, 3}, {6, 0, 9, 3}, {7, 0, 10, 3},
                                             {0, 3, 3, 6}, {3, 3, 6, 6}, {6, 3, 9, 6}, {7, 3, 10, 6}};
    ASSERT_EQ(moved.blocks.size(), 16u);
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(moved.blocks[i], overlapping[i]) << i;
}

TEST(BestResolution, TiesGoToTheFirstBlock)
{
    FakeTransform fake{same};
    long status = 0;
    search(ZELUNCover(utm(), 0, 0, 8, 8), Size(8, 8), -1, fake, status);
    std::vector<Bounds> const xAxis = {
        {0, 0, 4, 4}, {4, 0, 8, 4}, {0, 4, 4, 8}, {4, 4, 8, 8},  // half 4
        {0, 0, 2, 2}, {2, 0, 4, 2}, {0, 2, 2, 4}, {2, 2, 4, 4},  // inside the first
        {0, 0, 1, 1}, {1, 0, 2, 1}, {0, 1, 1, 2}, {1, 1, 2, 2},  // and again
    };
    ASSERT_EQ(fake.blocks.size(), 24u);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(fake.blocks[i], xAxis[i]) << i;
        EXPECT_EQ(fake.blocks[12 + i], xAxis[i]) << i;
    }
}

TEST(BestResolution, PassesFollowTheFinestBlock)
{
    // Widths on [-8, 0] under x + x^2 / 32: the finest lie at -8.
    ZELUNCover const cover(utm(), -8, 0, 0, 8);
    struct Row {
        int iterations;
        double x;
        Bounds lastFirstBlock;  // the first block of the last pass
    } const rows[] = {
        {1, 0.625, {-8, 0, -4, 4}},     // keeps [-8, -4]: 2.5 / 4
        {2, 0.5625, {-8, 0, -6, 2}},    // keeps [-8, -6]: 1.125 / 2
        {3, 0.53125, {-8, 0, -7, 1}},   // keeps [-8, -7]: the first pixel's width
        {-1, 0.53125, {-8, 0, -7, 1}},  //
    };
    for (Row const& r : rows) {
        FakeTransform fake{quadraticX};
        long status = 0;
        Res const got = search(cover, Size(8, 8), r.iterations, fake, status);
        EXPECT_EQ(got[0], r.x) << r.iterations;
        EXPECT_EQ(got[1], 1.0) << r.iterations;
        EXPECT_EQ(status, 0);
        std::size_t const perAxis = fake.blocks.size() / 2;
        ASSERT_GE(perAxis, 4u);
        EXPECT_EQ(fake.blocks[perAxis - 4], r.lastFirstBlock) << r.iterations;
    }
}

TEST(BestResolution, FailureEndsTheSearch)
{
    ZELUNCover const cover(utm(), -8, 0, 0, 8);
    struct Row {
        long failAt;
        Res expected;
    } const rows[] = {
        {1, Res(0, 0)},          // the first block
        {6, Res(0, 0)},          // the second pass of the x axis
        {12, Res(0, 0)},         // the last block of the x axis
        {13, Res(0.53125, 0)},   // the first block of the y axis
        {24, Res(0.53125, 0)},   // the very last block
    };
    for (Row const& r : rows) {
        FakeTransform fake{quadraticX, r.failAt, 777};
        long status = 0;
        Res const got = search(cover, Size(8, 8), -1, fake, status);
        EXPECT_EQ(status, 777) << r.failAt;
        EXPECT_EQ(got[0], r.expected[0]) << r.failAt;
        EXPECT_EQ(got[1], r.expected[1]) << r.failAt;
        EXPECT_EQ(long(fake.blocks.size()), r.failAt);
    }
}

TEST(BestResolution, NoFiniteExtentEndsTheAxis)
{
    ZELUNCover const cover(utm(), -8, 0, 0, 8);
    struct Row {
        char const* label;
        std::function<Bounds(Bounds)> map;
        Res expected;
        std::size_t blocks;
    } const rows[] = {
        {"NaN extents", [](Bounds) { return Bounds{kNaN, kNaN, kNaN, kNaN}; }, Res(1, 1), 8},
        {"infinite extents", [](Bounds) { return Bounds{-kInf, -kInf, kInf, kInf}; }, Res(1, 1), 8},
        {"NaN after the first pass", nullptr, Res(0.625, 1), 12},
    };
    for (Row const& r : rows) {
        FakeTransform fake(r.map);
        if (!fake.map)
            fake.map = [&fake](Bounds b) {
                return fake.blocks.size() <= 4 ? quadraticX(b) : Bounds{kNaN, kNaN, kNaN, kNaN};
            };
        long status = 0;
        Res const got = search(cover, Size(8, 8), -1, fake, status);
        EXPECT_EQ(got[0], r.expected[0]) << r.label;
        EXPECT_EQ(got[1], r.expected[1]) << r.label;
        EXPECT_EQ(status, 0) << r.label;
        EXPECT_EQ(fake.blocks.size(), r.blocks) << r.label;
    }
}

TEST(BestResolution, RealSystems)
{
    // Geographic into UTM: the finest pixel is finer than the mean.
    {
        long status = 0;
        Res const got = findBestResolution(ZELUNCover(wgs84(), 12, 45, 15, 48), Size(300, 300), utm(), status, -1);
        EXPECT_EQ(status, 0);
        double const mean = 3.0 / 300 * kWgs84IntoUtm;
        for (int axis = 0; axis < 2; ++axis) {
            EXPECT_TRUE(std::isfinite(got[axis])) << axis;
            EXPECT_GT(got[axis], 0) << axis;
            EXPECT_LE(got[axis], mean) << axis;
        }
        EXPECT_LT(got[0], mean);  // meridians converge northwards
    }

    // A projected system into itself: the mean.
    {
        long status = 0;
        Res const got = findBestResolution(ZELUNCover(utm(), 0, 0, 1000, 500), Size(1000, 500), utm(), status, -1);
        EXPECT_EQ(status, 0);
        EXPECT_NEAR(got[0], 1.0, 1e-12);
        EXPECT_NEAR(got[1], 1.0, 1e-12);
    }

    // Wholly beyond an orthographic target's horizon: the first block fails.
    {
        ZELUNCoordSystem const sphere("+proj=longlat +R=6370997");
        ZELUNCoordSystem const ortho("+proj=ortho +lat_0=0 +lon_0=0 +R=6370997");
        ZELUNCover const cover(sphere, 100, 0, 170, 64);
        long status = 0;
        Res const got = findBestResolution(cover, Size(16, 16), ortho, status, -1);
        EXPECT_EQ(status, kErrCoordTransformFailed);
        EXPECT_EQ(got[0], 0.0);
        EXPECT_EQ(got[1], 0.0);

        int calls = 0;
        status = 0;
        searchBestResolution(cover, Size(16, 16), ortho, status, -1, [&](ZELUNCover const& block, long& st) {
            ++calls;
            return block.transformTo(ortho, st);
        });
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(status, kErrCoordTransformFailed);
    }

    // The null cover: its blocks have no system.
    {
        long status = 0;
        Res const got = findBestResolution(ZELUNCover(), Size(4, 4), utm(), status, 1);
        EXPECT_EQ(status, kErrCoordSystemInvalid);
        EXPECT_EQ(got[0], 0.0);
        EXPECT_EQ(got[1], 0.0);
    }
}
