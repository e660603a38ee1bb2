// The mesh's refinement on grids where many cells split: a polar input seen
// from a whole-world output (most of the output far beyond the input), a
// fine global input under a coarse Mercator output, and its construction
// when memory runs out.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "support/FailingAllocation.h"
#include "support/ForkedTrial.h"
#include "support/ThreadCount.h"
#include "support/Threads.h"
#include "warp/MeshTestSupport.h"
#include "warp/WarpTestSupport.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/MeshRefinement.h"
#include "zorvsupport/warp/TransformSupport.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using namespace zorvtest;
using ZELUNCompGeom::ZELUNMatrix3D;

namespace {

using F32 = TDataType<0>;
float const kNoData = -9999.0f;
double const kPi = 3.14159265358979323846;

// Every leaf of a mesh with its box, found with the split rule (low +
// ceil(extent / 2) on each axis longer than the smallest cell) and each
// cell's box.
struct Leaf {
    ZELUNnBox<double, 2> box;
    ZELUNMatrix3D const* matrix;  // null: the centres are carried one by one
};

void leavesOf(MeshCellTree const& tree, std::int32_t index, ZELUNnBox<double, 2> const& b, std::vector<Leaf>& out)
{
    std::int32_t const v = tree.nodes[static_cast<std::size_t>(index)];
    if (v < 0) {
        out.push_back(Leaf{b, MeshCellTree::isExact(v) ? nullptr : &tree.matrices[MeshCellTree::leafIndex(v)]});
        return;
    }
    double const w = b.high[0] - b.low[0], h = b.high[1] - b.low[1];
    int const xs = w > kMeshSmallestCell ? 2 : 1, ys = h > kMeshSmallestCell ? 2 : 1;
    for (int up = 0; up < ys; ++up)
        for (int right = 0; right < xs; ++right) {
            ZELUNnBox<double, 2> c = b;
            if (xs == 2) (right ? c.low[0] : c.high[0]) = b.low[0] + std::ceil(w / 2);
            if (ys == 2) (up ? c.low[1] : c.high[1]) = b.low[1] + std::ceil(h / 2);
            leavesOf(tree, v + right + up * xs, c, out);
        }
}

// The leaves of a construction; they point into it.
std::vector<Leaf> leavesOf(MeshBuild const& mesh)
{
    std::vector<Leaf> out;
    MeshInternals const* in = mesh.internals.get();
    if (!in) return out;
    std::int64_t const perRow = mesh.cellsPerRow;
    for (std::size_t k = 0; k < mesh.matrices.size(); ++k) {
        std::int64_t const i = static_cast<std::int64_t>(k) / perRow, j = static_cast<std::int64_t>(k) % perRow;
        ZELUNnBox<double, 2> cell;
        for (int a = 0; a < 2; ++a) {
            double const lo = in->geometry.box.low[a] + static_cast<double>(a ? i : j) * in->geometry.cell[a];
            cell.low[a] = lo;
            cell.high[a] = std::min(lo + in->geometry.cell[a], in->geometry.box.high[a]);
        }
        if (MeshCellTree const* tree = in->treeOf(k))
            leavesOf(*tree, 0, cell, out);
        else
            out.push_back(Leaf{cell, &mesh.matrices[k]});
    }
    return out;
}

std::size_t exactPixels(MeshBuild const& mesh)
{
    std::size_t n = 0;
    if (MeshInternals const* in = mesh.internals.get())
        for (MeshCellTree const& t : in->trees) n += t.centreCount;
    return n;
}

// ---- An EPSG:3031 input of 900 x 900 cells of 10 km into the whole world ----

struct PolarIntoWorld {
    ZELUNCover inCover{ZELUNCoordSystem("EPSG:3031"), -4500e3, -4500e3, 4500e3, 4500e3};
    ZELUNCover outCover{ZELUNCoordSystem("EPSG:4326"), -180, -90, 180, 90};
    ZELUNnBox<double, 2> inBox = pixelBoxOf(900, 900), outBox = pixelBoxOf(1440, 720);
};

// Where the point method has data the mesh has data, and back, but for
// pixels whose exact position lies within the bound of the edge of what
// bilinear reads ([-0.5, 900.5) on both axes); where both have data the
// positions lie within the bound (and a little more between test points).
// The output north of the equator lies thousands of kilometres beyond the
// input: its cells are not split.
TEST(MeshRefinement, FarBeyondTheInputReadsThePointMethodsFootprint)
{
    PolarIntoWorld const g;
    auto in = makeGrid(F32(), 900, 900);
    for (unsigned r = 0; r < 900; ++r)
        for (unsigned c = 0; c < 900; ++c) in->element(c, r) = static_cast<float>(1 + (c * 7 + r * 13) % 1000);
    auto mesh = makeGrid(F32(), 1440, 720), point = makeGrid(F32(), 1440, 720);
    Variant const nd(F32(), kNoData);
    ASSERT_EQ(reprojectBuffer(*mesh, g.outCover, *in, g.inCover, nd, kMeshReprojection, kBilinear, false), 0);
    ASSERT_EQ(reprojectBuffer(*point, g.outCover, *in, g.inCover, nd, kPointReprojection, kBilinear, false), 0);
    long status = 0;
    MeshReprojectionTransform const m(g.outBox, g.outCover, g.inBox, g.inCover, kMeshCellSize, status);
    ASSERT_EQ(status, 0);
    MeshBuild const built = buildMesh(g.outBox, g.outCover, g.inBox, g.inCover, kMeshCellSize, status);
    ASSERT_EQ(status, 0);
    PointReprojectionTransform const exact(g.outBox, g.outCover, g.inBox, g.inCover);
    auto fromEdge = [](double v) { return std::min(std::fabs(v + 0.5), std::fabs(v - 900.5)); };
    std::size_t withData = 0, differ = 0;
    double worst = 0;
    for (unsigned r = 0; r < 720; ++r)
        for (unsigned c = 0; c < 1440; ++c) {
            bool const a = mesh->element(c, r) != kNoData, b = point->element(c, r) != kNoData;
            double ex, ey;
            ASSERT_TRUE(exact.transform(c + 0.5, r + 0.5, ex, ey));
            if (a != b) {
                ++differ;
                ASSERT_LE(std::min(fromEdge(ex), fromEdge(ey)), 0.13) << "pixel " << c << ", " << r;
            }
            if (!b) continue;
            ++withData;
            double mx, my;
            ASSERT_TRUE(m.transform(c + 0.5, r + 0.5, mx, my));
            worst = std::max({worst, std::fabs(mx - ex), std::fabs(my - ey)});
        }
    EXPECT_GT(withData, 100000u);
    EXPECT_LE(worst, 0.13);
    // North of 6 degrees no cell splits but those on the pole, whose
    // corners there land at infinity (1e19 input pixels): only their last 4
    // rows are carried one by one.
    for (Leaf const& leaf : leavesOf(built)) {
        if (leaf.box.low[1] < 384) continue;
        if (leaf.box.high[1] <= 704) {
            EXPECT_EQ(leaf.box.high[1] - leaf.box.low[1], 64) << leaf.box.low[1];
        }
        if (!leaf.matrix) {
            EXPECT_GE(leaf.box.low[1], 716) << leaf.box.low[0];
        }
    }
    std::printf("%zu pixels with data, %zu on the edge differ, largest error %.4f, %zu pixels exact\n", withData,
                differ, worst, exactPixels(built));
}

// ---- A 0.004-degree global box under EPSG:3857 at 2048 x 1588 ----

// Every matrix, the cells' own and the refinement's, lies within the bound
// of the exact path at the five test points of its box (centre and edge
// midpoints); the input (90000 x 45000) is not needed for that.
TEST(MeshRefinement, CoarseOutputOfAFineInputKeepsTheBoundAtEveryTestPoint)
{
    double const half = kPi * 6378137.0, north = 6378137.0 * std::log(std::tan(kPi / 4 + 80.0 * kPi / 360.0));
    ZELUNCover const inCover(ZELUNCoordSystem("EPSG:4326"), -180, -90, 180, 90);
    ZELUNCover const outCover(ZELUNCoordSystem("EPSG:3857"), -half, -north, half, north);
    ZELUNnBox<double, 2> const outBox = pixelBoxOf(2048, 1588), inBox = pixelBoxOf(90000, 45000);
    long status = 0;
    MeshBuild const mesh = buildMesh(outBox, outCover, inBox, inCover, kMeshCellSize, status);
    ASSERT_EQ(status, 0);
    PointReprojectionTransform const exact(outBox, outCover, inBox, inCover);
    std::size_t matrices = 0, exactLeaves = 0;
    double worst = 0;
    for (Leaf const& leaf : leavesOf(mesh)) {
        if (!leaf.matrix) {
            ++exactLeaves;
            continue;
        }
        ++matrices;
        ZELUNnBox<double, 2> const& b = leaf.box;
        double const mx = (b.low[0] + b.high[0]) * 0.5, my = (b.low[1] + b.high[1]) * 0.5;
        double const xs[5] = {mx, mx, mx, b.low[0], b.high[0]}, ys[5] = {my, b.low[1], b.high[1], my, my};
        for (int k = 0; k < 5; ++k) {
            double ex, ey, ax, ay;
            ASSERT_TRUE(exact.transform(xs[k], ys[k], ex, ey));
            applyMatrix(*leaf.matrix, xs[k], ys[k], ax, ay);
            worst = std::max({worst, std::fabs(ax - ex), std::fabs(ay - ey)});
        }
    }
    EXPECT_LE(worst, kMeshMaxError);
    EXPECT_GT(exactLeaves, 0u);
    EXPECT_GT(matrices, mesh.matrices.size());
    std::printf("%zu matrix leaves, %zu exact leaves (%zu pixels), largest error %.4f at the test points\n", matrices,
                exactLeaves, exactPixels(mesh), worst);
}

// ---- The row form ----

// transformRow answers every point as transformPoint does, bit for bit: on
// every row of pixel centres, on rows between centres (where the cells
// carried one by one take the exact path), from columns inside a cell and
// past the box's right edge.
TEST(MeshReprojectionTransform, RowFormAnswersAsTheStatusForm)
{
    PolarIntoWorld const g;
    ZELUNnBox<double, 2> const outBox = pixelBoxOf(720, 360);
    long status = 0;
    MeshReprojectionTransform const mesh(outBox, g.outCover, g.inBox, g.inCover, kMeshCellSize, status);
    ASSERT_EQ(status, 0);
    ASSERT_GT(exactPixels(buildMesh(outBox, g.outCover, g.inBox, g.inCover, kMeshCellSize, status)), 0u);
    struct Run {
        std::size_t first, count;
    } const runs[] = {{0, 720}, {37, 100}, {700, 40}};
    std::vector<double> ys;
    for (unsigned r = 0; r < 360; ++r) ys.push_back(r + 0.5);
    for (double y : {0.25, 3.75, 10.3, 30.25, 358.75, 359.9, 360.0}) ys.push_back(y);
    std::size_t betweenCentres = 0;
    for (double y : ys)
        for (Run const& run : runs) {
            std::vector<double> xy(2 * run.count, -7);
            std::vector<unsigned char> failed(run.count, 9);
            ASSERT_EQ(mesh.transformRow(y, run.first, run.count, xy.data(), failed.data()), kSuccess) << y;
            for (std::size_t i = 0; i < run.count; ++i) {
                double const x = static_cast<double>(run.first + i) + 0.5;
                double px = -7, py = -7;
                long const s = mesh.transformPoint(x, y, px, py);
                ASSERT_TRUE(s == kSuccess || s == kErrCoordTransformFailed) << x << ", " << y;
                ASSERT_EQ(failed[i], s != kSuccess) << x << ", " << y;
                if (s == kSuccess) {
                    ASSERT_TRUE(sameBytes(&xy[2 * i], &px, 1) && sameBytes(&xy[2 * i + 1], &py, 1))
                        << x << ", " << y << ": " << xy[2 * i] << ", " << xy[2 * i + 1] << " beside " << px << ", "
                        << py;
                }
                betweenCentres += y != std::floor(y) + 0.5 && x > 0 && x < 720;
            }
        }
    EXPECT_GT(betweenCentres, 0u);
}

// ---- Memory that runs out during the construction ----

// What a construction left, as the header allows it: the mesh of one that
// never failed (its status and answers), or kErrOutOfMemory with a mesh
// without cells. Empty when so, else what is wrong.
std::string outcomeProblem(MeshReprojectionTransform const& mesh, long status,
                           MeshReprojectionTransform const& reference, long referenceStatus)
{
    if (status == referenceStatus) return sameAnswers(mesh, reference) ? "" : "another mesh";
    if (status != kErrOutOfMemory) return "status " + std::to_string(status);
    if (!mesh.matrices().empty()) return std::to_string(mesh.matrices().size()) + " matrices kept";
    double x = -1, y = -1;
    double const cx = mesh.box().low[0] + 0.5, cy = mesh.box().low[1] + 0.5;
    if (mesh.transformPoint(cx, cy, x, y) != kErrCoordTransformFailed || mesh.transform(cx, cy, x, y) || x != -1)
        return "a point answered without cells";
    return "";
}

// A failing allocation, one alone or every one from it on, on the calling
// thread, or one alone on any thread, at the points of a construction that
// refines on two threads (the polar input into a world of 720 x 360
// pixels), each in a child process (the engine may end the process when an
// allocation of its own fails: ForkedTrial.h): status 0 with the answers of
// a construction that never failed, or kErrOutOfMemory with a mesh without
// cells; every thread gone. On any thread the points are sampled (n grows
// by a sixteenth): a fresh thread's engine makes tens of thousands.
TEST(MeshThreads, ConstructionUnderFailingAllocations)
{
    constexpr int kWithoutCells = 4;  // a trial's exit: kErrOutOfMemory and no cells, as allowed
    PolarIntoWorld const g;
    ZELUNnBox<double, 2> const outBox = pixelBoxOf(720, 360);
    ThreadCountScope const threads(2);
    long status = 0;
    MeshReprojectionTransform const reference(outBox, g.outCover, g.inBox, g.inCover, kMeshCellSize, status);
    ASSERT_EQ(status, 0);
    ASSERT_GT(exactPixels(buildMesh(outBox, g.outCover, g.inBox, g.inCover, kMeshCellSize, status)), 0u);
    struct Mode {
        FailingAllocation::Extent extent;
        FailingAllocation::Threads threads;
        bool sampled;
        char const* name;
    } const modes[] = {
        {FailingAllocation::kOnlyThat, FailingAllocation::kThisThread, false, "one failure on the caller's thread"},
        {FailingAllocation::kThatAndLater, FailingAllocation::kThisThread, false, "memory gone on the caller's thread"},
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // A sanitizer's runtime cannot start a thread while the allocations
        // of other threads fail (AddressSanitizer's check of the new thread's
        // attributes, ThreadSanitizer's state not yet made for it).
        {FailingAllocation::kOnlyThat, FailingAllocation::kAnyThread, true, "one failure on any thread"},
#endif
    };
    for (Mode const& mode : modes) {
        unsigned failed = 0, engineFaults = 0;
        unsigned const trials = sweepForkedTrials(
            1, [&](unsigned long n) { return mode.sampled && n >= 16 ? n + n / 16 : n + 1; },
            [&](unsigned long n) {
                int const baseline = testsupport::baselineTaskCount();
                std::optional<MeshReprojectionTransform> mesh;
                bool reached = false;
                long built = 0;
                {
                    FailingAllocation failing(n, mode.extent, mode.threads);
                    mesh.emplace(outBox, g.outCover, g.inBox, g.inCover, kMeshCellSize, built);
                    reached = failing.reached();
                }
                std::string why = outcomeProblem(*mesh, built, reference, kSuccess);
                if (testsupport::settledTaskCount(baseline) != baseline) why += " (a thread left running)";
                if (!why.empty()) {
                    std::printf("%s, allocation %lu: %s\n", mode.name, n, why.c_str());
                    return 1;
                }
                return reached ? (built ? kWithoutCells : 0) : kTrialBeyondTheLast;
            },
            [&](unsigned long n, TrialEnd const& end) {
                bool const withoutCells = end.kind == TrialEnd::kFailed && end.exitCode == kWithoutCells;
                failed += withoutCells;
                engineFaults += end.kind != TrialEnd::kPassed && end.knownFault;
                EXPECT_TRUE(end.acceptable() || withoutCells) << mode.name << ", allocation " << n << ":\n" << end.report;
            });
        EXPECT_GT(failed, 0u) << mode.name;
        std::printf("%s: %u trials, %u constructions out of memory, %u ended in a known fault of the engine\n",
                    mode.name, trials, failed, engineFaults);
    }
}

// The constructions that build cell by cell: a box whose corners are not
// whole pixels (the lattice needs whole ones), and a whole box whose lattice
// fails (an orthographic input centred on longitude 0 sees the first cell,
// longitudes 0 to 64, but not the corners at 128: the construction stops at
// the second cell, keeping the first).
// Under one failing allocation and under memory gone from it on, each
// construction either answers as the one that never failed (its status and
// the matrices it kept) or gives kErrOutOfMemory with no cells at all.
TEST(MeshConstruction, CellByCellUnderFailingAllocations)
{
    ZELUNCoordSystem const geo("EPSG:4326"), utm("EPSG:32633");
    ZELUNCover const alps(geo, 12.0, 45.0, 13.0, 46.0);
    long status = 0;
    ZELUNCover const alpsUtm = alps.transformTo(utm, status);
    ASSERT_EQ(status, 0);
    ZELUNCoordSystem const sphere("+proj=longlat +R=6370997"), ortho("+proj=ortho +lat_0=0 +lon_0=0 +R=6370997");
    ZELUNCover const band(sphere, 0, 0, 128, 64), disk(ortho, -6370997, -6370997, 6370997, 6370997);
    auto const box = [](double x0, double y0, double x1, double y1) {
        return ZELUNnBox<double, 2>(ZELUNnPoint<double, 2>(x0, y0), ZELUNnPoint<double, 2>(x1, y1));
    };
    struct Geometry {
        char const* name;
        ZELUNnBox<double, 2> outBox;
        ZELUNCover const* outCover;
        ZELUNCover const* inCover;
        long status;          // of a construction that never fails
        std::size_t matrices;  // that it keeps
    } const geometries[] = {
        {"fractional box", box(0.5, 0.25, 256.5, 256.25), &alps, &alpsUtm, kSuccess, 16},
        {"lattice failure", box(0, 0, 128, 64), &band, &disk, kErrCoordTransformFailed, 1},
    };
    ZELUNnBox<double, 2> const inBox = box(0, 0, 300, 300);
    for (Geometry const& k : geometries) {
        status = 0;
        MeshReprojectionTransform const reference(k.outBox, *k.outCover, inBox, *k.inCover, kMeshCellSize, status);
        ASSERT_EQ(status, k.status) << k.name;
        ASSERT_EQ(reference.matrices().size(), k.matrices) << k.name;
        for (auto const extent : {FailingAllocation::kOnlyThat, FailingAllocation::kThatAndLater}) {
            unsigned points = 0, failed = 0;
            for (unsigned long n = 1;; ++n) {
                std::optional<MeshReprojectionTransform> mesh;
                bool reached = false;
                status = 0;
                {
                    FailingAllocation failing(n, extent);
                    mesh.emplace(k.outBox, *k.outCover, inBox, *k.inCover, kMeshCellSize, status);
                    reached = failing.reached();
                }
                ++points;
                failed += status == kErrOutOfMemory;
                std::string const where = std::string(k.name) +
                                          (extent == FailingAllocation::kOnlyThat ? ", one failure" : ", memory gone") +
                                          " at allocation " + std::to_string(n);
                EXPECT_EQ(outcomeProblem(*mesh, status, reference, k.status), "") << where;
                if (!reached) break;
            }
            EXPECT_GT(failed, 0u) << k.name;
            std::printf("%s, %s: %u failure points, %u constructions out of memory\n", k.name,
                        extent == FailingAllocation::kOnlyThat ? "one failure" : "memory gone", points, failed);
        }
    }
}

}  // namespace
