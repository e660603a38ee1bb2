#include <cmath>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

#include "support/FailingAllocation.h"
#include "warp/WarpTestSupport.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/TransformSupport.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using zorvtest::planeCover;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kInf = std::numeric_limits<double>::infinity();

ZELUNnBox<double, 2> box(double minX, double minY, double maxX, double maxY)
{
    return ZELUNnBox<double, 2>(ZELUNnPoint<double, 2>(minX, minY), ZELUNnPoint<double, 2>(maxX, maxY));
}

struct Mapped {
    bool ok;
    double x, y;
};

Mapped apply(WarpTransform const& t, double x, double y)
{
    Mapped m{false, -7.0, -7.0};
    m.ok = t.transform(x, y, m.x, m.y);
    return m;
}

// Output box 128 x 128 and input box 64 x 256 over one cover of one system:
// (x, y) maps to (x / 2, 2 y) exactly.
struct HalfDouble : ::testing::Test {
    ZELUNCover cover = planeCover(0, 0, 1024, 1024);
    ZELUNnBox<double, 2> outBox = box(0, 0, 128, 128);
    ZELUNnBox<double, 2> inBox = box(0, 0, 64, 256);
};

TEST_F(HalfDouble, PointAndMeshMapExactly)
{
    long status = 0;
    PointReprojectionTransform const point(outBox, cover, inBox, cover);
    MeshReprojectionTransform const mesh(outBox, cover, inBox, cover, kMeshCellSize, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(mesh.cellsPerRow(), 2);
    EXPECT_EQ(mesh.matrices().size(), 4u);  // 2 x 2 cells, none partial
    struct Case {
        double x, y;
    } const cases[] = {{0.5, 0.5}, {10.5, 20.25}, {63.75, 64.0}, {100.5, 127.5}, {128, 128}, {128, 0}, {0, 128}};
    for (Case const& c : cases) {
        for (WarpTransform const* t : {static_cast<WarpTransform const*>(&point), static_cast<WarpTransform const*>(&mesh)}) {
            Mapped const m = apply(*t, c.x, c.y);
            EXPECT_TRUE(m.ok) << c.x << ", " << c.y;
            EXPECT_EQ(m.x, c.x / 2) << c.x << ", " << c.y;
            EXPECT_EQ(m.y, 2 * c.y) << c.x << ", " << c.y;
        }
    }
    // Far outside: the point transform still maps; the mesh has no cell.
    Mapped const far = apply(point, -1000.5, 5000);
    EXPECT_TRUE(far.ok);
    EXPECT_EQ(far.x, -500.25);
    EXPECT_EQ(far.y, 10000);
    EXPECT_FALSE(apply(mesh, -1000.5, 5000).ok);
}

TEST_F(HalfDouble, MeshBoundsAreInclusiveAndNaNIsOutside)
{
    long status = 0;
    MeshReprojectionTransform const mesh(outBox, cover, inBox, cover, kMeshCellSize, status);
    double const beyond = std::nextafter(128.0, kInf);
    struct Case {
        double x, y;
        bool ok;
    } const cases[] = {
        {128, 128, true},  {0, 0, true},       {beyond, 10, false}, {10, beyond, false}, {-1e-300, 10, false},
        {kNaN, 10, false}, {10, kNaN, false},  {kInf, 10, false},   {10, -kInf, false},
    };
    for (Case const& c : cases) {
        Mapped const m = apply(mesh, c.x, c.y);
        EXPECT_EQ(m.ok, c.ok) << c.x << ", " << c.y;
        if (!c.ok) {
            EXPECT_EQ(m.x, -7.0) << "outputs untouched";
        }
    }
}

TEST(MeshReprojectionTransform, ClippedSecondCellAgreesWithThePointTransform)
{
    ZELUNCover const cover = planeCover(0, 0, 1024, 1024);
    ZELUNnBox<double, 2> const outBox = box(0, 0, 100, 64), inBox = box(0, 0, 64, 256);
    long status = 0;
    MeshReprojectionTransform const mesh(outBox, cover, inBox, cover, kMeshCellSize, status);
    PointReprojectionTransform const point(outBox, cover, inBox, cover);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(mesh.cellsPerRow(), 2);
    EXPECT_EQ(mesh.matrices().size(), 2u);
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 100; ++c) {
            Mapped const a = apply(mesh, c + 0.5, r + 0.5), b = apply(point, c + 0.5, r + 0.5);
            ASSERT_TRUE(a.ok && b.ok);
            ASSERT_NEAR(a.x, b.x, 1e-9) << c << ", " << r;
            ASSERT_NEAR(a.y, b.y, 1e-9) << c << ", " << r;
        }
}

TEST(MeshReprojectionTransform, BoxWithoutCells)
{
    ZELUNCover const cover = planeCover(0, 0, 1024, 1024);
    for (ZELUNnBox<double, 2> const b : {box(0, 0, 0, 64), box(0, 0, 64, 0), box(10, 0, 5, 64)}) {
        long status = 777;
        MeshReprojectionTransform const mesh(b, cover, box(0, 0, 64, 64), cover, kMeshCellSize, status);
        EXPECT_EQ(status, 777);
        EXPECT_TRUE(mesh.matrices().empty());
        EXPECT_FALSE(apply(mesh, 0, 0).ok);
        EXPECT_FALSE(apply(mesh, 5, 5).ok);
    }
    // Cell sizes that are not positive numbers make no cells either.
    for (double cell : {0.0, -64.0, kNaN, 1e-300}) {
        long status = 777;
        MeshReprojectionTransform const mesh(box(0, 0, 64, 64), cover, box(0, 0, 64, 64), cover,
                                             ZELUNnPoint<double, 2>(cell, cell), status);
        EXPECT_EQ(status, 777) << cell;
        EXPECT_FALSE(apply(mesh, 5, 5).ok) << cell;
    }
}

// A finished build reports 0 whatever the caller preset, on integer boxes
// (built from the shared corner lattice) and on fractional ones (cell by
// cell).
TEST(MeshReprojectionTransform, FinishedBuildWritesZero)
{
    ZELUNCover const cover = planeCover(0, 0, 1024, 1024);
    for (ZELUNnBox<double, 2> const b : {box(0, 0, 100, 64), box(0.5, 0.25, 100.5, 64.25)}) {
        long status = 777;
        MeshReprojectionTransform const mesh(b, cover, box(0, 0, 64, 64), cover, kMeshCellSize, status);
        EXPECT_EQ(status, 0) << b.low[0];
        EXPECT_EQ(mesh.matrices().size(), 2u);
    }
}

// Longitudes 0 to 128 cannot all be seen from an orthographic view centred
// on (0, 0): the second cell's corners lie beyond the horizon.
TEST(MeshReprojectionTransform, StopsAtTheFirstFailingCell)
{
    ZELUNCoordSystem const sphere("+proj=longlat +R=6370997"), ortho("+proj=ortho +lat_0=0 +lon_0=0 +R=6370997");
    ZELUNCover const outCover(sphere, 0, 0, 128, 64), inCover(ortho, -6370997, -6370997, 6370997, 6370997);
    long status = 0;
    MeshReprojectionTransform const mesh(box(0, 0, 128, 64), outCover, box(0, 0, 100, 100), inCover, kMeshCellSize,
                                         status);
    EXPECT_EQ(status, kErrCoordTransformFailed);
    EXPECT_EQ(mesh.matrices().size(), 1u);
    EXPECT_TRUE(apply(mesh, 10.5, 10.5).ok);
    EXPECT_FALSE(apply(mesh, 70.5, 10.5).ok);
}

// An output system without an inverse: the status of its corners'
// transformation, not a resource's.
TEST(MeshReprojectionTransform, SystemWithoutInverseIsTheCornersStatus)
{
    ZELUNCover const outCover(ZELUNCoordSystem("+proj=bertin1953 +type=crs"), -1e6, -1e6, 1e6, 1e6);
    ZELUNCover const inCover(ZELUNCoordSystem("EPSG:4326"), -10, -10, 10, 10);
    long status = 0;
    MeshReprojectionTransform const mesh(box(0, 0, 128, 128), outCover, box(0, 0, 64, 64), inCover, kMeshCellSize,
                                         status);
    EXPECT_EQ(status, kErrCoordTransformUnavailable);
    EXPECT_TRUE(mesh.matrices().empty());
}

TEST(MeshReprojectionTransform, InvalidOutputSystemIsTheCellCoverStatus)
{
    ZELUNCover const outCover(ZELUNCoordSystem(), 0, 0, 64, 64), inCover = planeCover(0, 0, 64, 64);
    long status = 0;
    MeshReprojectionTransform const mesh(box(0, 0, 64, 64), outCover, box(0, 0, 64, 64), inCover, kMeshCellSize,
                                         status);
    EXPECT_EQ(status, kErrCoordSystemInvalid);
    EXPECT_TRUE(mesh.matrices().empty());
}

// The covers' own statuses come first, the output cover's before the input
// cover's: the status is left and nothing is built, whatever the caller
// preset. A control row with valid covers builds its cells.
TEST(MeshReprojectionTransform, CoverStatusesComeFirst)
{
    ZELUNCover const valid = planeCover(0, 0, 1024, 1024), noSystem(ZELUNCoordSystem(), 0, 0, 64, 64);
    ZELUNCover const inverted = planeCover(0, 10, 64, 5), notANumber = planeCover(0, 0, kNaN, 64);
    struct Case {
        ZELUNCover const* out;
        ZELUNCover const* in;
        long status;
    } const cases[] = {
        {&noSystem, &valid, kErrCoordSystemInvalid}, {&inverted, &valid, kErrCoverInvalid},
        {&notANumber, &valid, kErrCoverInvalid},     {&valid, &noSystem, kErrCoordSystemInvalid},
        {&valid, &inverted, kErrCoverInvalid},       {&valid, &notANumber, kErrCoverInvalid},
        {&inverted, &noSystem, kErrCoverInvalid},    {&noSystem, &notANumber, kErrCoordSystemInvalid},
        {&valid, &valid, kSuccess},
    };
    for (Case const& c : cases) {
        long status = 777;
        MeshReprojectionTransform const mesh(box(0, 0, 128, 128), *c.out, box(0, 0, 64, 64), *c.in, kMeshCellSize,
                                             status);
        EXPECT_EQ(status, c.status) << &c - cases;
        EXPECT_EQ(mesh.matrices().size(), c.status ? 0u : 4u) << &c - cases;
        EXPECT_EQ(apply(mesh, 10.5, 10.5).ok, c.status == kSuccess) << &c - cases;
    }
}

// The cell matrices as the construction defines them, computed here from the
// one-point transformation of each cell corner, equal the mesh's bit for bit
// (the mesh carries a shared corner lattice in batches).
TEST(MeshReprojectionTransform, MatricesAreTheCellByCellOnes)
{
    ZELUNCoordSystem const geo("EPSG:4326"), utm("EPSG:32633");
    ZELUNCover const outCover(geo, 12.0, 45.0, 13.0, 46.0);
    long status = 0;
    ZELUNCover const inCover = outCover.transformTo(utm, status);
    ASSERT_EQ(status, 0);
    double const W = 200, H = 130, inW = 300, inH = 250;
    ZELUNnBox<double, 2> const outBox = box(0, 0, W, H), inBox = box(0, 0, inW, inH);
    MeshReprojectionTransform const mesh(outBox, outCover, inBox, inCover, kMeshCellSize, status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(mesh.matrices().size(), 4u * 3u);
    auto toWorld = [&](double& x, double& y, ZELUNnBox<double, 2> const& b, ZELUNCover const& c) {
        x = x - b.low[0], y = y - b.low[1];
        x = x / (b.high[0] - b.low[0]), y = y / (b.high[1] - b.low[1]);
        x = c.getWidth() * x, y = c.getHeight() * y;
        x = c.getMinX() + x, y = c.getMinY() + y;
    };
    auto toPixel = [&](double& x, double& y, ZELUNnBox<double, 2> const& b, ZELUNCover const& c) {
        x = x - c.getMinX(), y = y - c.getMinY();
        x = x / c.getWidth(), y = y / c.getHeight();
        x = (b.high[0] - b.low[0]) * x, y = (b.high[1] - b.low[1]) * y;
        x = x + b.low[0], y = y + b.low[1];
    };
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) {
            double const x0 = 64.0 * j, y0 = 64.0 * i, x1 = std::min(x0 + 64, W), y1 = std::min(y0 + 64, H);
            double wx0 = x0, wy0 = y0, wx1 = x1, wy1 = y1;
            toWorld(wx0, wy0, outBox, outCover);
            toWorld(wx1, wy1, outBox, outCover);
            double p[4][2] = {{wx0, wy0}, {wx1, wy0}, {wx1, wy1}, {wx0, wy1}};
            for (auto& q : p) {
                ZELUNArray<double> a(2);
                a[0] = q[0], a[1] = q[1];
                ASSERT_EQ(geo.transform(utm, a, a), 0);
                q[0] = a[0], q[1] = a[1];
                toPixel(q[0], q[1], inBox, inCover);
            }
            // squareToQuad, then (Q S) T.
            double const sx = ((p[0][0] - p[1][0]) + p[2][0]) - p[3][0];
            double const sy = ((p[0][1] - p[1][1]) + p[2][1]) - p[3][1];
            double const dx1 = p[1][0] - p[2][0], dx2 = p[3][0] - p[2][0];
            double const dy1 = p[1][1] - p[2][1], dy2 = p[3][1] - p[2][1];
            double const r = 1 / (dy2 * dx1 - dx2 * dy1);
            double const g = (sx * dy2 - sy * dx2) * r, h = (sy * dx1 - sx * dy1) * r;
            ZELUNCompGeom::ZELUNMatrix3D const q(p[1][0] - p[0][0] + g * p[1][0], p[3][0] - p[0][0] + h * p[3][0],
                                                 p[0][0], p[1][1] - p[0][1] + g * p[1][1],
                                                 p[3][1] - p[0][1] + h * p[3][1], p[0][1], g, h, 1);
            ZELUNCompGeom::ZELUNMatrix3D const s(1 / (x1 - x0), 0, 0, 0, 1 / (y1 - y0), 0, 0, 0, 1);
            ZELUNCompGeom::ZELUNMatrix3D const t(1, 0, -x0, 0, 1, -y0, 0, 0, 1);
            ZELUNCompGeom::ZELUNMatrix3D const expected = (q * s) * t;
            ZELUNCompGeom::ZELUNMatrix3D const& got = mesh.matrices()[i * 4 + j];
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 3; ++b) EXPECT_EQ(got(a, b), expected(a, b)) << "cell " << i << "," << j;
        }
}

TEST(PointReprojectionTransform, FailedPointHasNoSourcePosition)
{
    ZELUNCoordSystem const sphere("+proj=longlat +R=6370997"), ortho("+proj=ortho +lat_0=0 +lon_0=0 +R=6370997");
    ZELUNCover const outCover(sphere, 0, 0, 128, 64), inCover(ortho, -6370997, -6370997, 6370997, 6370997);
    ZELUNnBox<double, 2> const outBox = box(0, 0, 128, 64), inBox = box(0, 0, 100, 100);
    PointReprojectionTransform const point(outBox, outCover, inBox, inCover);
    EXPECT_TRUE(apply(point, 10.5, 10.5).ok);
    Mapped const m = apply(point, 120.5, 0.5);
    EXPECT_FALSE(m.ok);
    EXPECT_EQ(m.x, -7.0);
}

// Longitudes carried into a geographic input move by whole turns to their
// nearest image beside the input cover; those already nearest stay bit for
// bit, so nothing changes beside covers away from the 180-degree seam.
TEST(WarpTransforms, LongitudesWrapToTheInputCover)
{
    ZELUNCoordSystem const geo("EPSG:4326");
    ZELUNCover const world(geo, -180.125, -90.125, 179.875, 90.125), across(geo, 170, 40, 190, 60),
        alps(geo, 12, 45, 15, 48), plane = planeCover(-200, 0, 200, 10);
    struct Case {
        ZELUNCover const* cover;
        double lon, expected;
    } const cases[] = {
        {&world, 179.9, 179.9 - 360}, {&world, 180.0, -180.0},    {&world, -180.2, -180.2 + 360},
        {&world, 179.875, 179.875},   {&world, -180.125, -180.125}, {&world, 0.1, 0.1},
        {&across, -175, 185},         {&across, -169.9, -169.9 + 360}, {&across, 169.9, 169.9},
        {&across, 175, 175},          {&across, 10, 10},           {&across, -10, 350},
        {&alps, 11.999999, 11.999999}, {&alps, 15.1, 15.1},        {&alps, 372.5, 12.5},
        {&plane, -250, -250},         {&plane, 300, 300},
        {&world, kNaN, kNaN},         {&world, kInf, kInf},
    };
    for (Case const& k : cases) {
        double x = k.lon;
        wrapLongitude(x, *k.cover, turnOf(*k.cover));
        if (std::isnan(k.expected))
            EXPECT_TRUE(std::isnan(x));
        else
            EXPECT_EQ(x, k.expected) << k.lon << " beside [" << k.cover->getMinX() << ", " << k.cover->getMaxX() << "]";
    }
    EXPECT_TRUE(cyclicColumns(world));
    EXPECT_FALSE(cyclicColumns(across));
    EXPECT_FALSE(cyclicColumns(ZELUNCover(geo, -180.125, -90, 179.874, 90)));
    EXPECT_FALSE(cyclicColumns(planeCover(0, 0, 360, 1)));
}


// A thread's scratch point under failing allocations, on a fresh thread
// each time (its first point also needs an entry in the thread library's
// table): initCache throws nothing, and the point transform then converts
// as on any thread once memory is back.
TEST(WarpTransforms, InitCacheUnderFailingAllocationsThrowsNothing)
{
    ZELUNCover const cover = planeCover(0, 0, 1024, 1024);
    ZELUNnBox<double, 2> const outBox = box(0, 0, 128, 128), inBox = box(0, 0, 64, 256);
    PointReprojectionTransform const point(outBox, cover, inBox, cover);
    for (auto const extent : {zorvtest::FailingAllocation::kOnlyThat, zorvtest::FailingAllocation::kThatAndLater})
        for (unsigned long n = 1; n <= 12; ++n) {
            bool threw = true, reached = false;
            Mapped after{};
            std::thread([&] {
                {
                    zorvtest::FailingAllocation failing(n, extent);
                    try {
                        initCache();
                        threw = false;
                    } catch (...) {
                    }
                    reached = failing.reached();
                }
                after = apply(point, 10.5, 20.25);
            }).join();
            EXPECT_FALSE(threw) << n;
            EXPECT_TRUE(after.ok && after.x == 5.25 && after.y == 40.5) << n;
            if (!reached) break;
        }
}

}  // namespace
