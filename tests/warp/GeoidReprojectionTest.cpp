// Reprojection of a real global grid: the EGM96 15-minute geoid that the
// proj-data package installs, 1440 x 721 cells of 0.25 degrees centred on
// the header's positions, so its geographic cover is one turn wide and ends
// half a cell short of +-180.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/ThreadCount.h"
#include "warp/MeshTestSupport.h"
#include "warp/WarpTestSupport.h"
#include "zorvsupport/warp/MeshRefinement.h"
#include "zorvsupport/warp/Samplers.h"
#include "zorvsupport/warp/TransformSupport.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using namespace zorvtest;
using ZELUNCompGeom::ZELUNMatrix3D;

namespace {

using F32 = TDataType<0>;
char const* const kGeoidPath = "/usr/share/proj/egm96_15.gtx";
float const kNoData = -9999.0f;
double const kPi = 3.14159265358979323846;
double const kEarthRadius = 6378137.0;  // of the spherical Mercator

ZELUNnBox<double, 2> pixelBox(unsigned w, unsigned h)
{
    return ZELUNnBox<double, 2>(ZELUNnPoint<double, 2>(0, 0), ZELUNnPoint<double, 2>(w, h));
}

double bigEndianDouble(unsigned char const* p)
{
    std::uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u = (u << 8) | p[i];
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

std::uint32_t bigEndian32(unsigned char const* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// A grid read from a GTX file: a 40-byte big-endian header (lower-left
// latitude and longitude, latitude and longitude steps, rows, columns), then
// float32 rows from south to north, which is our row order (row 0 at minY).
struct Grid {
    boost::shared_ptr<TDataVector2D<F32>> values;
    ZELUNCover cover;
    std::string error;
};

Grid readGtx(char const* path)
{
    Grid g;
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        g.error = std::string(path) + " cannot be opened: install the proj-data package (scripts/install-deps library)";
        return g;
    }
    unsigned char header[40];
    bool ok = std::fread(header, 1, 40, f) == 40;
    double const lat0 = bigEndianDouble(header), lon0 = bigEndianDouble(header + 8);
    double const dLat = bigEndianDouble(header + 16), dLon = bigEndianDouble(header + 24);
    std::uint32_t const rows = bigEndian32(header + 32), columns = bigEndian32(header + 36);
    ok = ok && rows > 0 && columns > 0 && rows < 100000 && columns < 100000;
    std::vector<unsigned char> bytes(ok ? std::size_t(rows) * columns * 4 : 0);
    ok = ok && std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    if (!ok) {
        g.error = std::string(path) + " is not a readable GTX grid";
        return g;
    }
    g.values = makeGrid(F32(), columns, rows);
    float* v = static_cast<float*>(g.values->getDataPtr());
    for (std::size_t i = 0; i < std::size_t(rows) * columns; ++i) {
        std::uint32_t const u = bigEndian32(&bytes[4 * i]);
        std::memcpy(&v[i], &u, 4);
    }
    g.cover = ZELUNCover(ZELUNCoordSystem("EPSG:4326"), lon0 - dLon / 2, lat0 - dLat / 2,
                         lon0 - dLon / 2 + columns * dLon, lat0 - dLat / 2 + rows * dLat);
    return g;
}

Grid const& geoid()
{
    static Grid const g = readGtx(kGeoidPath);
    return g;
}

// The geoid, or a failure of the calling test naming the missing file.
#define REQUIRE_GEOID()                                         \
    do {                                                        \
        ASSERT_TRUE(geoid().error.empty()) << geoid().error;    \
        ASSERT_EQ(geoid().values->getDimension(0), 1440u);      \
        ASSERT_EQ(geoid().values->getDimension(1), 721u);       \
    } while (0)

float geoidAt(int c, int r)
{
    return geoid().values->element(static_cast<unsigned>(c), static_cast<unsigned>(r));
}

// The three output grids of the real-grid figures: the world in EPSG:3857
// within +-80 degrees of latitude (25 km pixels), the south polar EPSG:3031
// within 4000 km of the pole (10 km) and a wide EPSG:32633 area (10 km).
struct Target {
    char const* name;
    char const* system;
    double minX, minY, maxX, maxY;
    unsigned w, h;
};
double const kMercatorHalf = kPi * kEarthRadius;
double const kMercator80 = kEarthRadius * std::log(std::tan(kPi / 4 + 80.0 * kPi / 360.0));
Target const kTargets[] = {
    {"EPSG:3857", "EPSG:3857", -kMercatorHalf, -kMercator80, kMercatorHalf, kMercator80, 1600, 1240},
    {"EPSG:3031", "EPSG:3031", -4000e3, -4000e3, 4000e3, 4000e3, 800, 800},
    {"EPSG:32633", "EPSG:32633", -1500e3, 0, 2500e3, 9000e3, 400, 900},
};

ZELUNCover coverOf(Target const& t)
{
    return ZELUNCover(ZELUNCoordSystem(t.system), t.minX, t.minY, t.maxX, t.maxY);
}

boost::shared_ptr<TDataVector2D<F32>> reproject(Target const& t, ReprojectMethod method, InterpolationMethod how)
{
    auto out = makeGrid(F32(), t.w, t.h);
    EXPECT_EQ(reprojectBuffer(*out, coverOf(t), *geoid().values, geoid().cover, Variant(F32(), kNoData), method, how,
                              false),
              0)
        << t.name;
    return out;
}

std::size_t noDataCount(TDataVector2D<F32> const& g)
{
    auto const* p = static_cast<float const*>(g.getConstDataPtr());
    std::size_t n = 0;
    for (std::size_t i = 0; i < g.size(); ++i) n += p[i] == kNoData;
    return n;
}

// Whole-world Mercator: every pixel has data, the columns beside 180 degrees
// included, and bilinear there is the weighted mean of the last and the
// first geoid column. Expected positions come from the spherical Mercator
// formulas: output column 1599 lies on longitude 179.8875, a quarter cell
// beyond the last column's centre (179.75) towards the first (-180 = 180).
TEST(GeoidReprojection, WholeWorldMercatorHasNoHoleAtTheSeam)
{
    REQUIRE_GEOID();
    Target const& t = kTargets[0];
    for (InterpolationMethod how : {kHold, kBilinear}) {
        auto const out = reproject(t, kPointReprojection, how);
        EXPECT_EQ(noDataCount(*out), 0u) << how;
    }
    auto const out = reproject(t, kPointReprojection, kBilinear);
    auto const hold = reproject(t, kPointReprojection, kHold);
    double const pixelHeight = (t.maxY - t.minY) / t.h;
    for (unsigned r = 0; r < t.h; ++r) {
        double const y = t.minY + (r + 0.5) * pixelHeight;
        double const lat = std::atan(std::sinh(y / kEarthRadius)) * 180.0 / kPi;
        double const inY = (lat + 90.125) / 0.25;
        int const j = static_cast<int>(std::floor(inY - 0.5));
        double const g = (inY - 0.5) - j, f = 0.55;  // x: 0.45 on column 1439, 0.55 on column 0
        double const expected = (1 - f) * (1 - g) * geoidAt(1439, j) + f * (1 - g) * geoidAt(0, j) +
                                (1 - f) * g * geoidAt(1439, j + 1) + f * g * geoidAt(0, j + 1);
        ASSERT_NEAR(out->element(1599u, r), expected, 1e-3) << "row " << r;
        ASSERT_EQ(hold->element(1599u, r), geoidAt(0, static_cast<int>(inY))) << "row " << r;
    }
}

// A grid laid out as the geoid whose values are their centre longitudes,
// read with hold along row 32 of a 64 x 64 EPSG:3031 output across the
// 180-degree meridian.
TEST(GeoidReprojection, SeamRowReadsTheNearSide)
{
    auto in = makeGrid(F32(), 1440, 721);
    for (unsigned r = 0; r < 721; ++r)
        for (unsigned c = 0; c < 1440; ++c) in->element(c, r) = static_cast<float>(-180.0 + 0.25 * c);
    ZELUNCover const inCover(ZELUNCoordSystem("EPSG:4326"), -180.125, -90.125, 179.875, 90.125);
    ZELUNCover const outCover(ZELUNCoordSystem("EPSG:3031"), -320e3, -2320e3, 320e3, -1680e3);
    struct Expected {
        unsigned column;
        float lon;
    } const row32[] = {{0, -171.0f}, {16, -175.5f}, {31, -179.75f}, {32, 179.75f}, {48, 175.25f}, {63, 171.0f}};
    for (ReprojectMethod method : {kPointReprojection, kMeshReprojection}) {
        auto out = makeGrid(F32(), 64, 64);
        ASSERT_EQ(reprojectBuffer(*out, outCover, *in, inCover, Variant(F32(), kNoData), method, kHold, false), 0);
        for (Expected const& e : row32) EXPECT_EQ(out->element(e.column, 32u), e.lon) << method << ", " << e.column;
    }
}

// A geographic input on longitudes 170 to 190 (one box across 180 degrees,
// as ZELUNCover::transformTo gives it), 1-degree cells over latitudes 40
// to 60, read by outputs west of, east of and across 180 degrees. The
// coordinate layer answers longitudes in [-180, 180]; those east of 180
// are read at their image inside the box.
TEST(GeoidReprojection, CoverAcrossTheSeam)
{
    auto in = makeGrid(F32(), 20, 20);
    for (unsigned r = 0; r < 20; ++r)
        for (unsigned c = 0; c < 20; ++c) in->element(c, r) = static_cast<float>(1 + c + 20 * r);
    ZELUNCoordSystem const geo("EPSG:4326");
    ZELUNCover const inCover(geo, 170, 40, 190, 60);
    struct Out {
        char const* system;
        double lon0, lat0, lon1, lat1;  // the geographic box the output covers
    } const outs[] = {
        {"EPSG:32660", 172, 43, 179.5, 57},
        {"EPSG:32601", -179.5, 43, -172, 57},
        {"EPSG:32601", 175, 43, 185, 57},
        {"EPSG:3832", 171, 42, 189, 58},
    };
    for (Out const& o : outs) {
        long status = 0;
        ZELUNCover const outCover = ZELUNCover(geo, o.lon0, o.lat0, o.lon1, o.lat1).transformTo(ZELUNCoordSystem(o.system), status);
        ASSERT_EQ(status, 0) << o.system;
        std::vector<boost::shared_ptr<TDataVector2D<F32>>> results;
        for (ReprojectMethod method : {kPointReprojection, kMeshReprojection}) {
            auto out = makeGrid(F32(), 128, 128);
            ASSERT_EQ(reprojectBuffer(*out, outCover, *in, inCover, Variant(F32(), kNoData), method, kHold, false), 0);
            EXPECT_EQ(noDataCount(*out), 0u) << o.system << " " << o.lon0 << ", method " << method;
            results.push_back(out);
        }
        // Hold reads the same cell with both methods, except where the exact
        // position lies within the mesh's error bound of a cell edge.
        ZELUNnBox<double, 2> const outBox = pixelBox(128, 128), inBox = pixelBox(20, 20);
        PointReprojectionTransform const exact(outBox, outCover, inBox, inCover);
        std::size_t differ = 0;
        for (unsigned r = 0; r < 128; ++r)
            for (unsigned c = 0; c < 128; ++c) {
                if (results[0]->element(c, r) == results[1]->element(c, r)) continue;
                ++differ;
                double x, y;
                ASSERT_TRUE(exact.transform(c + 0.5, r + 0.5, x, y));
                double const fromEdge = std::min(std::fabs(x - std::round(x)), std::fabs(y - std::round(y)));
                EXPECT_LE(fromEdge, 0.13) << o.system << " " << o.lon0 << " at " << c << ", " << r;
            }
    }
}

// The mesh on the three real grids: (a) at every output pixel centre its
// position lies within 0.13 input pixel of the exact one (cyclically in x:
// the geoid is one turn wide), or neither has a position (cells are tested
// at five points against 0.125, so a centre between them may land a hair
// beyond); (b) with hold every pixel equals the point method's unless its
// exact position lies within that bound of an input cell edge.
TEST(GeoidReprojection, MeshStaysWithinItsErrorBound)
{
    REQUIRE_GEOID();
    for (Target const& t : kTargets) {
        ZELUNCover const outCover = coverOf(t);
        ZELUNnBox<double, 2> const outBox = pixelBox(t.w, t.h), inBox = pixelBox(1440, 721);
        long status = 0;
        MeshReprojectionTransform const mesh(outBox, outCover, inBox, geoid().cover, kMeshCellSize, status);
        ASSERT_EQ(status, 0) << t.name;
        PointReprojectionTransform const exact(outBox, outCover, inBox, geoid().cover);
        double worst = 0;
        std::size_t mismatched = 0;
        for (unsigned r = 0; r < t.h; ++r)
            for (unsigned c = 0; c < t.w; ++c) {
                double mx, my, ex, ey;
                bool const m = mesh.transform(c + 0.5, r + 0.5, mx, my), e = exact.transform(c + 0.5, r + 0.5, ex, ey);
                if (m != e) ++mismatched;
                if (!m || !e) continue;
                double dx = std::fabs(mx - ex);
                dx = std::min(dx, std::fabs(dx - 1440));
                worst = std::max(worst, std::max(dx, std::fabs(my - ey)));
            }
        EXPECT_EQ(mismatched, 0u) << t.name;
        EXPECT_LE(worst, 0.13) << t.name;
        // Hold reads the point method's cell wherever the exact position
        // lies farther than the bound from a cell edge.
        auto const meshHold = reproject(t, kMeshReprojection, kHold), point = reproject(t, kPointReprojection, kHold);
        std::size_t same = 0;
        for (unsigned r = 0; r < t.h; ++r)
            for (unsigned c = 0; c < t.w; ++c) {
                if (meshHold->element(c, r) == point->element(c, r)) {
                    ++same;
                    continue;
                }
                double ex, ey;
                ASSERT_TRUE(exact.transform(c + 0.5, r + 0.5, ex, ey));
                double const fromEdge = std::min(std::fabs(ex - std::round(ex)), std::fabs(ey - std::round(ey)));
                ASSERT_LE(fromEdge, 0.13) << t.name << " at " << c << ", " << r;
            }
        std::printf("%s: largest error %.4f input pixels; hold equals the point method in %.2f %% of the pixels\n",
                    t.name, worst, 100.0 * same / (t.w * t.h));
    }
}

// (c) A 64 x 64 EPSG:3031 output centred on the pole, 20 km pixels: the
// corners of its one cell share a latitude, so the cell's quad collapses;
// its quarters have data everywhere and read what the point method reads.
TEST(GeoidReprojection, PoleCentredOutputHasData)
{
    REQUIRE_GEOID();
    Target const pole{"pole", "EPSG:3031", -640e3, -640e3, 640e3, 640e3, 64, 64};
    for (InterpolationMethod how : {kHold, kBilinear}) {
        auto const mesh = reproject(pole, kMeshReprojection, how), point = reproject(pole, kPointReprojection, how);
        EXPECT_EQ(noDataCount(*mesh), 0u) << how;
        EXPECT_EQ(std::memcmp(mesh->getConstDataPtr(), point->getConstDataPtr(), 64 * 64 * 4), 0) << how;
    }
}

// (d) Mercator with the mesh: no pixel without data, and the seam column
// is the point method's (its cells are split down to exact pixels).
TEST(GeoidReprojection, MeshMercatorHasNoHoleAtTheSeam)
{
    REQUIRE_GEOID();
    Target const& t = kTargets[0];
    for (InterpolationMethod how : {kHold, kBilinear}) {
        auto const mesh = reproject(t, kMeshReprojection, how), point = reproject(t, kPointReprojection, how);
        EXPECT_EQ(noDataCount(*mesh), 0u) << how;
        for (unsigned r = 0; r < t.h; ++r) ASSERT_EQ(mesh->element(1599u, r), point->element(1599u, r)) << r;
    }
}

// Pixels that take the exact path one by one give the point transform's
// bits through MeshReprojectionTransform::transform, on the polar grid and
// on the pole-centred one.
TEST(GeoidReprojection, ExactPixelsAreThePointTransforms)
{
    ZELUNCover const inCover(ZELUNCoordSystem("EPSG:4326"), -180.125, -90.125, 179.875, 90.125);
    for (Target const& t : {kTargets[1], Target{"pole", "EPSG:3031", -640e3, -640e3, 640e3, 640e3, 64, 64}}) {
        ZELUNnBox<double, 2> const outBox = pixelBox(t.w, t.h), inBox = pixelBox(1440, 721);
        ZELUNCover const outCover = coverOf(t);  // the point transform keeps a pointer to it
        long status = 0;
        MeshReprojectionTransform const mesh(outBox, outCover, inBox, inCover, kMeshCellSize, status);
        ASSERT_EQ(status, 0);
        // The same construction, as held, to find the exact leaves.
        MeshBuild const built = buildMesh(outBox, outCover, inBox, inCover, kMeshCellSize, status);
        ASSERT_EQ(status, 0);
        MeshInternals const* in = built.internals.get();
        ASSERT_TRUE(in && !in->roots.empty()) << t.name << ": some cells split";
        PointReprojectionTransform const exact(outBox, outCover, inBox, inCover);
        std::size_t exactPixels = 0;
        for (unsigned r = 0; r < t.h; ++r)
            for (unsigned c = 0; c < t.w; ++c) {
                std::int64_t const i = in->geometry.cellAlong(1, r + 0.5), j = c / 64;
                MeshCellTree const* tree = in->treeOf(static_cast<std::size_t>(i * mesh.cellsPerRow() + j));
                if (!tree || !MeshCellTree::isExact(meshLeafOf(*tree, c + 0.5, r + 0.5, in->geometry.cellBox(i, j),
                                                               in->columnsOf(j), in->rowsOf(i))
                                                        .value))
                    continue;
                ++exactPixels;
                double mx = 0, my = 0, ex = 0, ey = 0;
                bool const m = mesh.transform(c + 0.5, r + 0.5, mx, my), e = exact.transform(c + 0.5, r + 0.5, ex, ey);
                ASSERT_EQ(m, e) << t.name << " " << c << ", " << r << ": " << mx << ", " << my;
                ASSERT_EQ(mx, ex);
                ASSERT_EQ(my, ey);
            }
        EXPECT_GT(exactPixels, 0u) << t.name;
        std::printf("%s: %zu exact pixels\n", t.name, exactPixels);
    }
}

// The refinement against a cell-by-cell rebuild that carries every point
// alone through the coordinate layer: each node's split, each quarter's
// pass or fail decision and each matrix leaf's bits, on the polar grid with
// the factory's cells (integer boxes: shared edges and inherited corners)
// and with fractional cells (clipped boxes whose edges need not coincide).
class MeshRebuild {
public:
    MeshRebuild(MeshBuild const& mesh, PointReprojectionTransform const& exact) : m_mesh(mesh), m_exact(exact) {}

    // Every top-level cell: split exactly where its own matrix fails.
    void checkAll(std::int64_t rows, std::size_t& splitCells)
    {
        MeshInternals const& in = *m_mesh.internals;
        ZELUNnBox<double, 2> const& box = in.geometry.box;
        for (std::int64_t i = 0; i < rows; ++i)
            for (std::int64_t j = 0; j < m_mesh.cellsPerRow; ++j) {
                ZELUNnBox<double, 2> cell;
                for (int a = 0; a < 2; ++a) {
                    double const lo = box.low[a] + (a ? i : j) * in.geometry.cell[a], hi = lo + in.geometry.cell[a];
                    cell.low[a] = std::min(lo, box.high[a]);
                    cell.high[a] = std::min(hi, box.high[a]);
                }
                auto const index = static_cast<std::size_t>(i * m_mesh.cellsPerRow + j);
                MeshCellTree const* tree = in.treeOf(index);
                ASSERT_EQ(!tree, passes(m_mesh.matrices[index], cell)) << "cell " << i << ", " << j;
                if (!tree) continue;
                ++splitCells;
                checkNode(*tree, 0, cell);
            }
    }

private:
    // The cell's centre and edge midpoints within 0.125 input pixel of the
    // exact path through a finite matrix.
    bool passes(ZELUNMatrix3D const& m, ZELUNnBox<double, 2> const& b) const
    {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                if (!std::isfinite(m(r, c))) return false;
        double const mx = (b.low[0] + b.high[0]) * 0.5, my = (b.low[1] + b.high[1]) * 0.5;
        double const xs[5] = {mx, mx, mx, b.low[0], b.high[0]}, ys[5] = {my, b.low[1], b.high[1], my, my};
        for (int k = 0; k < 5; ++k) {
            double ex, ey, ax, ay;
            if (!m_exact.transform(xs[k], ys[k], ex, ey)) return false;
            applyMatrix(m, xs[k], ys[k], ax, ay);
            if (!(std::fabs(ax - ex) <= 0.125 && std::fabs(ay - ey) <= 0.125)) return false;
        }
        return true;
    }

    // The matrix of a sub-cell from its four corners' exact positions
    // (squareToQuad, then (Q S) T); false where a corner has none.
    bool build(ZELUNnBox<double, 2> const& b, ZELUNMatrix3D& m) const
    {
        double p[4][2];
        double const xs[4] = {b.low[0], b.high[0], b.high[0], b.low[0]}, ys[4] = {b.low[1], b.low[1], b.high[1], b.high[1]};
        for (int k = 0; k < 4; ++k)
            if (!m_exact.transform(xs[k], ys[k], p[k][0], p[k][1])) return false;
        double const sx = ((p[0][0] - p[1][0]) + p[2][0]) - p[3][0];
        double const sy = ((p[0][1] - p[1][1]) + p[2][1]) - p[3][1];
        double const dx1 = p[1][0] - p[2][0], dx2 = p[3][0] - p[2][0];
        double const dy1 = p[1][1] - p[2][1], dy2 = p[3][1] - p[2][1];
        double const r = 1 / (dy2 * dx1 - dx2 * dy1);
        double const g = (sx * dy2 - sy * dx2) * r, h = (sy * dx1 - sx * dy1) * r;
        ZELUNMatrix3D const q(p[1][0] - p[0][0] + g * p[1][0], p[3][0] - p[0][0] + h * p[3][0], p[0][0],
                              p[1][1] - p[0][1] + g * p[1][1], p[3][1] - p[0][1] + h * p[3][1], p[0][1], g, h, 1);
        ZELUNMatrix3D const s(1 / (b.high[0] - b.low[0]), 0, 0, 0, 1 / (b.high[1] - b.low[1]), 0, 0, 0, 1);
        ZELUNMatrix3D const t(1, 0, -b.low[0], 0, 1, -b.low[1], 0, 0, 1);
        m = (q * s) * t;
        return true;
    }

    // Node `index` of a cell's tree over box b: a smallest failing box is
    // carried one by one; a larger one splits at low + ceil(extent / 2) on
    // each axis longer than the smallest cell, each quarter a matrix leaf
    // exactly where its own matrix passes.
    void checkNode(MeshCellTree const& tree, std::int32_t index, ZELUNnBox<double, 2> const& b)
    {
        std::int32_t const v = tree.nodes[static_cast<std::size_t>(index)];
        double const w = b.high[0] - b.low[0], h = b.high[1] - b.low[1];
        double const smallest = kMeshSmallestCell;
        if (w <= smallest && h <= smallest) {
            ASSERT_TRUE(v < 0 && MeshCellTree::isExact(v)) << "a smallest failing cell takes the exact path";
            return;
        }
        ASSERT_GE(v, 0) << "a failing cell splits";
        double const inf = std::numeric_limits<double>::infinity();
        double const splitX = w > smallest ? b.low[0] + std::ceil(w / 2) : inf;
        double const splitY = h > smallest ? b.low[1] + std::ceil(h / 2) : inf;
        ASSERT_EQ(meshSplit(b.low[0], b.high[0]), splitX);
        ASSERT_EQ(meshSplit(b.low[1], b.high[1]), splitY);
        for (int q = 0; q < 4; ++q) {
            bool const right = q & 1, up = q & 2;
            if ((right && w <= smallest) || (up && h <= smallest)) continue;
            ZELUNnBox<double, 2> child = b;
            if (w > smallest) (right ? child.low[0] : child.high[0]) = std::min(splitX, b.high[0]);
            if (h > smallest) (up ? child.low[1] : child.high[1]) = std::min(splitY, b.high[1]);
            ZELUNMatrix3D m;
            bool const passed = build(child, m) && passes(m, child);
            std::int32_t const k = v + (right ? 1 : 0) + (up ? (w > smallest ? 2 : 1) : 0);
            std::int32_t const c = tree.nodes[static_cast<std::size_t>(k)];
            bool const matrixLeaf = c < 0 && !MeshCellTree::isExact(c);
            ASSERT_EQ(matrixLeaf, passed) << "quarter " << q << " of a cell at " << b.low[0] << ", " << b.low[1];
            if (passed) {
                ZELUNMatrix3D const& kept = tree.matrices[MeshCellTree::leafIndex(c)];
                for (int r = 0; r < 3; ++r)
                    for (int e = 0; e < 3; ++e) {
                        double const a = kept(r, e), x = m(r, e);
                        ASSERT_EQ(std::memcmp(&a, &x, sizeof a), 0) << "matrix element " << r << ", " << e;
                    }
            } else {
                checkNode(tree, k, child);
            }
        }
    }

    MeshBuild const& m_mesh;
    PointReprojectionTransform const& m_exact;
};

TEST(GeoidReprojection, RefinementEqualsACellByCellRebuild)
{
    REQUIRE_GEOID();
    Target const polar{"polar", "EPSG:3031", -4000e3, -4000e3, 4000e3, 4000e3, 400, 400};
    ZELUNCover const outCover = coverOf(polar);
    ZELUNnBox<double, 2> const outBox = pixelBox(polar.w, polar.h), inBox = pixelBox(1440, 721);
    for (ZELUNnPoint<double, 2> const cellSize : {kMeshCellSize, ZELUNnPoint<double, 2>(37.3, 45.7)}) {
        long status = 0;
        MeshBuild const mesh = buildMesh(outBox, outCover, inBox, geoid().cover, cellSize, status);
        ASSERT_EQ(status, 0);
        PointReprojectionTransform const exact(outBox, outCover, inBox, geoid().cover);
        std::size_t split = 0;
        MeshRebuild(mesh, exact).checkAll(meshCellCount(400, cellSize[1]), split);
        EXPECT_GT(split, 0u) << cellSize[0];
    }
}

// The refined meshes of the rows' tests: the three real grids, the polar
// one at 1600 x 1600.
std::vector<Target> refinedTargets()
{
    Target polar = kTargets[1];
    polar.w = polar.h = 1600;
    return {kTargets[0], polar, kTargets[2]};
}

// The split cells of a construction, and the pixels of its exact leaves.
std::size_t splitCellsOf(MeshBuild const& mesh)
{
    return mesh.internals ? mesh.internals->trees.size() : 0;
}
std::size_t exactPixelsOf(MeshBuild const& mesh)
{
    std::size_t n = 0;
    if (MeshInternals const* in = mesh.internals.get())
        for (MeshCellTree const& t : in->trees) n += t.centreCount;
    return n;
}

// What the rows must write at pixel (c, r): the sampler at the mesh's own
// position of the centre, no-data where it has none.
template <class S>
float sampledAt(MeshReprojectionTransform const& mesh, S const& sampler, unsigned c, unsigned r)
{
    double x, y;
    if (!mesh.transform(c + 0.5, r + 0.5, x, y)) return kNoData;
    float v = 0;
    sampler.sample(x, y, v);
    return v;
}

// Every output pixel of the rows, hold and bilinear, is the sampler applied
// at MeshReprojectionTransform::transform of its centre, bit for bit, on
// refined meshes (split cells on all three, exact leaves on the Mercator
// seam and around the pole).
TEST(GeoidReprojection, RowsAreTheSamplerAtTheTransformsPosition)
{
    REQUIRE_GEOID();
    ZELUNnBox<double, 2> const inBox = pixelBox(1440, 721);
    bool const cyclic = cyclicColumns(geoid().cover);
    HoldSampler<F32> const hold(geoid().values.get(), kNoData, cyclic);
    BilinearSampler<F32> const bilinear(geoid().values.get(), kNoData, cyclic);
    std::size_t exact = 0;
    for (Target const& t : refinedTargets()) {
        ZELUNCover const outCover = coverOf(t);
        long status = 0;
        MeshReprojectionTransform const mesh(pixelBox(t.w, t.h), outCover, inBox, geoid().cover, kMeshCellSize, status);
        ASSERT_EQ(status, 0) << t.name;
        MeshBuild const built = buildMesh(pixelBox(t.w, t.h), outCover, inBox, geoid().cover, kMeshCellSize, status);
        ASSERT_GT(splitCellsOf(built), 0u) << t.name;
        exact += exactPixelsOf(built);
        for (InterpolationMethod how : {kHold, kBilinear}) {
            auto const out = reproject(t, kMeshReprojection, how);
            std::size_t differ = 0;
            for (unsigned r = 0; r < t.h; ++r)
                for (unsigned c = 0; c < t.w; ++c) {
                    float const expected = how == kHold ? sampledAt(mesh, hold, c, r) : sampledAt(mesh, bilinear, c, r);
                    float const got = out->element(c, r);
                    if (std::memcmp(&expected, &got, sizeof got) != 0 && differ++ < 5)
                        ADD_FAILURE() << t.name << ", method " << how << ", pixel " << c << ", " << r << ": " << got
                                      << " beside " << expected;
                }
            EXPECT_EQ(differ, 0u) << t.name << ", method " << how;
        }
    }
    EXPECT_GT(exact, 0u) << "cells split down to exact pixels";
}

// The mesh reprojection of `t` on one and on eight threads, with hold and
// with bilinear: the same bytes.
void expectRowsIndependentOfThreads(Target const& t)
{
    for (InterpolationMethod how : {kHold, kBilinear}) {
        ThreadCountScope const threads(1);
        auto const one = reproject(t, kMeshReprojection, how);
        threads.set(8);
        auto const eight = reproject(t, kMeshReprojection, how);
        EXPECT_EQ(std::memcmp(one->getConstDataPtr(), eight->getConstDataPtr(), std::size_t(t.w) * t.h * 4), 0)
            << t.name << ", method " << how;
    }
}

// The refined meshes built on one and on eight threads: the same trees,
// matrices and stored positions, and the same rows.
TEST(GeoidThreads, ConstructionAndRowsDoNotDependOnTheThreads)
{
    REQUIRE_GEOID();
    ZELUNnBox<double, 2> const inBox = pixelBox(1440, 721);
    for (Target const& t : refinedTargets()) {
        ZELUNCover const outCover = coverOf(t);
        long one = 0, eight = 0;
        ThreadCountScope const threads(1);
        MeshBuild const a = buildMesh(pixelBox(t.w, t.h), outCover, inBox, geoid().cover, kMeshCellSize, one);
        threads.set(8);
        MeshBuild const b = buildMesh(pixelBox(t.w, t.h), outCover, inBox, geoid().cover, kMeshCellSize, eight);
        ASSERT_EQ(one, 0);
        ASSERT_EQ(eight, 0);
        EXPECT_TRUE(sameBuild(a, b)) << t.name;
        expectRowsIndependentOfThreads(t);
    }
}

// One and eight threads give the same bytes on a grid whose cells split
// (the polar output, bilinear and hold).
TEST(GeoidThreads, OneAndEightThreadsGiveTheSameBytes)
{
    REQUIRE_GEOID();
    expectRowsIndependentOfThreads(Target{"polar", "EPSG:3031", -4000e3, -4000e3, 4000e3, 4000e3, 400, 400});
}

}  // namespace
