// The mesh transform: the cell matrices as cells are defined (from a shared
// corner lattice where every cell corner is a lattice point), then the test
// of every cell at its test points and the refinement of the cells that
// miss, on several threads for large outputs.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavector/LargeBlocks.h"
#include "zorvsupport/warp/CoordOutcome.h"
#include "zorvsupport/warp/MeshRefinement.h"
#include "zorvsupport/warp/RunSampling.h"
#include "zorvsupport/warp/Samplers.h"
#include "zorvsupport/warp/TransformSupport.h"
#include "zorvsupport/warp/WarpUtils.h"
#include "zorvsupport/warp/WorkerThreads.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

using ZELUNCompGeom::ZELUNMatrix3D;

namespace {

bool isSmallInteger(double v)
{
    return std::fabs(v) < 4503599627370496.0 && std::trunc(v) == v;  // |v| < 2^52, integral
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool finiteMatrix(ZELUNMatrix3D const& m)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (!std::isfinite(m(i, j))) return false;
    return true;
}

// The points one more thread must find to be started: a fresh thread's
// coordinate engine takes a few milliseconds to set up, and those of
// several threads set up one after the other (measured: the refinement of
// 170,000 points ran fastest on 3 threads, slower on 4 and 8).
constexpr double kPointsPerThread = 65536;

// A status of a whole batch of the coordinate layer (a shortage, or the pair
// refused): it ends the build with that status.
struct CoordFailure {
    long status;
};

// The lattice cannot give the cells' matrices: they are built cell by cell.
struct LatticeFailure {};

// A point of the output carried into the input grid: its output pixel
// position, its raw input world position and its input pixel position.
struct Carried {
    double px, py;
    double wx, wy;
    double x, y;
    bool ok;  // false: no image
};

// The region where some sampler of the library may read data (sampleReach)
// of a grid lying on the input box, widened by the error bound.
struct Reach {
    double lo[2], hi[2];

    Reach(ZELUNnBox<double, 2> const& inBox, bool cyclic)
    {
        SampleReach const r = sampleReach(extentX(inBox), extentY(inBox), cyclic);
        for (int a = 0; a < 2; ++a) {
            lo[a] = (inBox.low[a] + r.lo[a]) - kMeshMaxError;
            hi[a] = (inBox.low[a] + r.hi[a]) + kMeshMaxError;
        }
    }
    bool beyond(double x, double y) const { return !(x > lo[0] && x < hi[0] && y > lo[1] && y < hi[1]); }

    // True when matrix m maps the whole box b beyond the region: W keeps
    // one sign over b (so b's image is the convex quadrilateral of its
    // corners' images) and an axis of the region or an edge of the
    // quadrilateral separates the two.
    bool imageBeyond(ZELUNMatrix3D const& m, ZELUNnBox<double, 2> const& b) const
    {
        double const cx[4] = {b.low[0], b.high[0], b.high[0], b.low[0]};
        double const cy[4] = {b.low[1], b.low[1], b.high[1], b.high[1]};
        double qx[4], qy[4];
        int positive = 0, negative = 0;
        for (int k = 0; k < 4; ++k) {
            double const w = (m(2, 0) * cx[k] + m(2, 1) * cy[k]) + m(2, 2);
            positive += w > 0.0;
            negative += w < 0.0;
            applyMatrix(m, cx[k], cy[k], qx[k], qy[k]);
            if (!std::isfinite(qx[k]) || !std::isfinite(qy[k])) return false;
        }
        if (positive != 4 && negative != 4) return false;
        auto all = [&](auto&& test) {
            for (int k = 0; k < 4; ++k)
                if (!test(k)) return false;
            return true;
        };
        if (all([&](int k) { return qx[k] <= lo[0]; }) || all([&](int k) { return qx[k] >= hi[0]; }) ||
            all([&](int k) { return qy[k] <= lo[1]; }) || all([&](int k) { return qy[k] >= hi[1]; }))
            return true;
        // The quadrilateral's orientation, then each edge against the
        // region's corners.
        double area = 0.0;
        for (int k = 0; k < 4; ++k) area += qx[k] * qy[(k + 1) % 4] - qx[(k + 1) % 4] * qy[k];
        if (!(area != 0.0)) return false;
        double const rx[4] = {lo[0], hi[0], hi[0], lo[0]}, ry[4] = {lo[1], lo[1], hi[1], hi[1]};
        for (int k = 0; k < 4; ++k) {
            double const ex = qx[(k + 1) % 4] - qx[k], ey = qy[(k + 1) % 4] - qy[k];
            bool outside = true;
            for (int c = 0; c < 4 && outside; ++c) {
                double const cross = ex * (ry[c] - qy[k]) - ey * (rx[c] - qx[k]);
                outside = area > 0.0 ? cross < 0.0 : cross > 0.0;
            }
            if (outside) return true;
        }
        return false;
    }
};

// The five test points of a box: its centre and the midpoints of its
// bottom, top, left and right edges.
void testPoints(ZELUNnBox<double, 2> const& b, double* p)
{
    double const mx = (b.low[0] + b.high[0]) * 0.5, my = (b.low[1] + b.high[1]) * 0.5;
    double const xs[5] = {mx, mx, mx, b.low[0], b.high[0]};
    double const ys[5] = {my, b.low[1], b.high[1], my, my};
    for (int i = 0; i < 5; ++i) {
        p[2 * i] = xs[i];
        p[2 * i + 1] = ys[i];
    }
}

// A cell whose own matrix fails its test, with its five carried test points
// (testPoints order).
struct FailedCell {
    std::int64_t i, j;
    Carried points[5];
    double work;  // about the points its refinement carries
};

// About the points the refinement of a failing cell of box b carries, from
// the largest error of its matrix m at its test points: the error falls
// about four times with each halving of the cells, so it needs about
// log4(error / bound) levels of four times more cells each, 4 points a
// cell; a cell that needs more levels than its size allows, or whose test
// cannot be made, is about all carried one by one.
double refinementWork(ZELUNMatrix3D const& m, ZELUNnBox<double, 2> const& b, Carried const* const* tests)
{
    double const w = extentX(b), h = extentY(b);
    int depth = 0;
    for (double side = std::max(w, h); side > kMeshSmallestCell; side = std::ceil(side / 2)) ++depth;
    double const whole = w * h + 4.0 * std::pow(4.0, depth);
    if (!finiteMatrix(m)) return whole;
    double error = 0.0;
    for (int k = 0; k < 5; ++k) {
        if (!tests[k]->ok) return whole;
        double x, y;
        applyMatrix(m, tests[k]->px, tests[k]->py, x, y);
        error = std::max({error, std::fabs(x - tests[k]->x), std::fabs(y - tests[k]->y)});
    }
    double const levels = std::ceil(std::log(std::max(error / kMeshMaxError, 4.0)) / std::log(4.0));
    return !(levels <= depth) ? whole : 4.0 * std::pow(4.0, levels);
}

}  // namespace

ZELUNnBox<double, 2> MeshGeometry::cellBox(std::int64_t i, std::int64_t j) const
{
    ZELUNnPoint<double, 2> lo(box.low[0] + static_cast<double>(j) * cell[0],
                              box.low[1] + static_cast<double>(i) * cell[1]);
    ZELUNnPoint<double, 2> hi(lo[0] + cell[0], lo[1] + cell[1]);
    return clipBox(ZELUNnBox<double, 2>(lo, hi), box);
}

// ---- The arena ----

namespace {

// The first chunk is small (most meshes split a few cells or none); the
// next is the first that huge pages back (4 MiB, see LargeBlocks.h), and
// each later one doubles, up to 64 MiB.
constexpr std::size_t kFirstChunk = std::size_t(64) << 10;
constexpr std::size_t kSecondChunk = std::size_t(4) << 20;
constexpr std::size_t kLargestChunk = std::size_t(64) << 20;

}  // namespace

MeshArena::MeshArena(MeshArena&& other) noexcept : m_chunks(std::move(other.m_chunks)), m_used(other.m_used)
{
    other.m_chunks.clear();
    other.m_used = 0;
}

MeshArena& MeshArena::operator=(MeshArena&& other) noexcept
{
    std::swap(m_chunks, other.m_chunks);  // `other` releases this arena's chunks
    std::swap(m_used, other.m_used);
    return *this;
}

MeshArena::~MeshArena()
{
    for (Chunk const& c : m_chunks) detail::freeZeroedBlock(c.data, c.bytes);
}

void* MeshArena::take(std::size_t bytes)
{
    bytes = (bytes + 15) & ~std::size_t(15);
    if (m_chunks.empty() || m_chunks.back().bytes - m_used < bytes) {
        std::size_t size = m_chunks.empty()       ? kFirstChunk
                           : m_chunks.size() == 1 ? kSecondChunk
                                                  : std::min(2 * m_chunks.back().bytes, kLargestChunk);
        if (size < bytes) size = bytes;
        m_chunks.reserve(m_chunks.size() + 1);
        m_chunks.push_back(Chunk{detail::allocateZeroedBlock(size), size});
        m_used = 0;
    }
    void* p = static_cast<unsigned char*>(m_chunks.back().data) + m_used;
    m_used += bytes;
    return p;
}

namespace {

// One construction: what every thread reads, and the steps.
struct Build {
    MeshBuild& mesh;
    MeshInternals& in;
    MeshGeometry const& g;
    ZELUNCoordSystem const& from;
    ZELUNCoordSystem const& to;
    double const turn;
    Reach const reach;
    unsigned const threads;  // the most a step may use
    std::atomic<bool> stop{false};

    Build(MeshBuild& m, MeshInternals& internals, unsigned n)
        : mesh(m),
          in(internals),
          g(internals.geometry),
          from(internals.outCover.getCoordSystem()),
          to(internals.inCover.getCoordSystem()),
          turn(turnOf(internals.inCover)),
          reach(internals.inBox, cyclicColumns(internals.inCover)),
          threads(n)
    {
    }

    // Output pixel positions (x, y pairs) replaced by their raw input world
    // positions; failed[i] is 1 where point i has no image. Throws
    // CoordFailure for any other failure of the coordinate layer.
    void carryRaw(double* xy, std::size_t n, unsigned char* failed) const
    {
        for (std::size_t i = 0; i < n; ++i) toWorld(xy[2 * i], xy[2 * i + 1]);
        carryWorld(xy, n, failed);
    }

    // An output pixel position as an output world position.
    void toWorld(double& x, double& y) const { pixelToWorld(x, y, g.box, in.outCover); }

    // Output world positions replaced by raw input world positions, as
    // carryRaw.
    void carryWorld(double* xy, std::size_t n, unsigned char* failed) const
    {
        if (long const status = n ? batchStatus(from.transform(to, xy, n, 2, failed)) : kSuccess)
            throw CoordFailure{status};
    }

    // A raw input world position as an input pixel position.
    void toInputPixel(double& x, double& y) const
    {
        wrapLongitude(x, in.inCover, turn);
        worldToPixel(x, y, in.inBox, in.inCover);
    }

    // Points carried through the exact path.
    void carry(Carried* points, std::size_t n, std::vector<double>& xy, std::vector<unsigned char>& failed) const
    {
        xy.resize(2 * n);
        failed.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            xy[2 * i] = points[i].px;
            xy[2 * i + 1] = points[i].py;
        }
        carryRaw(xy.data(), n, failed.data());
        for (std::size_t i = 0; i < n; ++i) {
            Carried& p = points[i];
            p.ok = !failed[i];
            p.wx = p.x = xy[2 * i];
            p.wy = p.y = xy[2 * i + 1];
            if (p.ok) toInputPixel(p.x, p.y);
        }
    }

    // A test point passes when the matrix lies within the bound of its
    // exact position there, or when the cell's whole image lies beyond
    // reach (`beyond`, asked once, only when needed) and so does the exact
    // position, if any.
    bool pointPasses(ZELUNMatrix3D const& m, ZELUNnBox<double, 2> const& b, double px, double py, bool ok,
                     double ex, double ey, int& beyond) const
    {
        double x, y;
        applyMatrix(m, px, py, x, y);
        if (ok && std::fabs(x - ex) <= kMeshMaxError && std::fabs(y - ey) <= kMeshMaxError) return true;
        if (ok && !reach.beyond(ex, ey)) return false;
        if (beyond < 0) beyond = reach.imageBeyond(m, b);
        return beyond != 0;
    }

    bool passes(ZELUNMatrix3D const& m, ZELUNnBox<double, 2> const& b, Carried const* const* tests) const
    {
        if (!finiteMatrix(m)) return false;
        int beyond = -1;
        for (int k = 0; k < 5; ++k) {
            Carried const& e = *tests[k];
            if (!pointPasses(m, b, e.px, e.py, e.ok, e.x, e.y, beyond)) return false;
        }
        return true;
    }

    // The whole construction of a box with cells after the covers' checks,
    // into `mesh`.
    static void make(MeshBuild& mesh, MeshGeometry const& geometry, ZELUNCover const& outCover,
                     ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover, long& status);

    void run();

    class Rows;
    class Refiner;
};

// ---- The cell matrices and their tests, row by row of cells ----

// Builds (from the lattice) and tests the rows of cells given to one
// thread. A row carries its centres, its top midpoints and its vertical
// edges' midpoints in one batch, and its bottom midpoints too unless the
// thread's previous row ended where it starts (its top ones are taken).
class Build::Rows {
public:
    explicit Rows(Build& b) : m_b(b) {}

    void row(std::int64_t i, bool lattice, std::vector<FailedCell>& failed)
    {
        if (lattice) latticeRow(i);
        testRow(i, failed);
        m_previous = i;
    }

private:
    // The matrices of row i from the lattice rows i and i + 1.
    void latticeRow(std::int64_t i)
    {
        MeshGeometry const& g = m_b.g;
        std::size_t const perRow = static_cast<std::size_t>(g.cells[0]);
        if (m_lower.size() != perRow + 1 || m_previous != i - 1) latticeLine(i, m_lower);
        latticeLine(i + 1, m_upper);
        ZELUNnBox<double, 2> const first = g.cellBox(i, 0);
        for (std::size_t j = 0; j < perRow; ++j) {
            ZELUNnBox<double, 2> const cell = g.cellBox(i, static_cast<std::int64_t>(j));
            double wx0 = cell.low[0], wy0 = first.low[1], wx1 = cell.high[0], wy1 = first.high[1];
            m_b.toWorld(wx0, wy0);
            m_b.toWorld(wx1, wy1);
            if (ZELUNCover(m_b.from, wx0, wy0, wx1, wy1).status()) throw LatticeFailure();
            double const corners[8] = {m_lower[j].wx,     m_lower[j].wy,     m_lower[j + 1].wx, m_lower[j + 1].wy,
                                       m_upper[j + 1].wx, m_upper[j + 1].wy, m_upper[j].wx,     m_upper[j].wy};
            m_b.mesh.matrices[static_cast<std::size_t>(i) * perRow + j] =
                cellMatrixFromCorners(cell, corners, m_b.in.inBox, m_b.in.inCover);
        }
        m_lower.swap(m_upper);
    }

    // The corners of lattice row k (the low edges of cell row k, or the
    // high edge of the last row).
    void latticeLine(std::int64_t k, std::vector<Carried>& line)
    {
        MeshGeometry const& g = m_b.g;
        std::int64_t const perRow = g.cells[0];
        std::int64_t const i = k < g.cells[1] ? k : k - 1;
        ZELUNnBox<double, 2> const rowBox = g.cellBox(i, 0);
        double const y = k < g.cells[1] ? rowBox.low[1] : rowBox.high[1];
        line.resize(static_cast<std::size_t>(perRow) + 1);
        for (std::int64_t j = 0; j <= perRow; ++j) {
            ZELUNnBox<double, 2> const cell = g.cellBox(i, j < perRow ? j : j - 1);
            line[static_cast<std::size_t>(j)].px = j < perRow ? cell.low[0] : cell.high[0];
            line[static_cast<std::size_t>(j)].py = y;
        }
        try {
            m_b.carry(line.data(), line.size(), m_xy, m_failed);
        } catch (CoordFailure const&) {
            throw LatticeFailure();  // the cells' own statuses decide
        }
        for (Carried const& p : line)
            if (!p.ok) throw LatticeFailure();
    }

    void testRow(std::int64_t i, std::vector<FailedCell>& failed)
    {
        MeshGeometry const& g = m_b.g;
        std::size_t const perRow = static_cast<std::size_t>(g.cells[0]);
        ZELUNnBox<double, 2> const first = g.cellBox(i, 0);
        // The points: bottoms, tops, centres, then the vertical edges'
        // midpoints, one per edge two cells share bit for bit.
        bool const takeBottoms = m_previous == i - 1 && m_tops.size() == perRow && sameBits(m_topY, first.low[1]);
        m_points.clear();
        m_index.assign(5 * perRow, 0);
        double p[10];
        for (int part = 0; part < 3; ++part)
            for (std::size_t j = 0; j < perRow; ++j) {
                testPoints(g.cellBox(i, static_cast<std::int64_t>(j)), p);
                int const k = part == 0 ? 1 : part == 1 ? 2 : 0;  // bottom, top, centre
                m_index[5 * j + static_cast<std::size_t>(k)] = m_points.size();
                add(p[2 * k], p[2 * k + 1]);
            }
        double previousRight = 0.0;
        for (std::size_t j = 0; j < perRow; ++j) {
            testPoints(g.cellBox(i, static_cast<std::int64_t>(j)), p);
            if (j > 0 && sameBits(previousRight, p[6])) {
                m_index[5 * j + 3] = m_index[5 * (j - 1) + 4];
            } else {
                m_index[5 * j + 3] = m_points.size();
                add(p[6], p[7]);
            }
            m_index[5 * j + 4] = m_points.size();
            add(p[8], p[9]);
            previousRight = p[8];
        }
        std::size_t const from = takeBottoms ? perRow : 0;
        if (takeBottoms) std::copy(m_tops.begin(), m_tops.end(), m_points.begin());
        m_b.carry(m_points.data() + from, m_points.size() - from, m_xy, m_failed);
        for (std::size_t j = 0; j < perRow; ++j) {
            ZELUNnBox<double, 2> const cell = g.cellBox(i, static_cast<std::int64_t>(j));
            Carried const* tests[5];
            for (std::size_t k = 0; k < 5; ++k) tests[k] = &m_points[m_index[5 * j + k]];
            if (m_b.passes(m_b.mesh.matrices[static_cast<std::size_t>(i) * perRow + j], cell, tests)) continue;
            FailedCell f;
            f.i = i;
            f.j = static_cast<std::int64_t>(j);
            for (std::size_t k = 0; k < 5; ++k) f.points[k] = *tests[k];
            f.work = refinementWork(m_b.mesh.matrices[static_cast<std::size_t>(i) * perRow + j], cell, tests);
            failed.push_back(f);
        }
        m_tops.assign(m_points.begin() + static_cast<std::ptrdiff_t>(perRow),
                      m_points.begin() + static_cast<std::ptrdiff_t>(2 * perRow));
        m_topY = first.high[1];
    }

    void add(double x, double y)
    {
        Carried& c = m_points.emplace_back();
        c.px = x;
        c.py = y;
    }

    Build& m_b;
    std::int64_t m_previous = -2;
    std::vector<Carried> m_lower, m_upper, m_tops, m_points;
    double m_topY = 0.0;
    std::vector<std::size_t> m_index;
    std::vector<double> m_xy;
    std::vector<unsigned char> m_failed;
};

// ---- The refinement of a failing cell ----

// Refines one failing cell level by level: every node of a level that
// fails is split, and the points its children need are carried in one
// batch per level. The children's corners and test points form the node's
// lattice of 5 x 5 points (3 along an axis that does not split); every
// point is carried once per cell (a point index by output position finds
// the node's own points, its neighbours' and those shared by the cells to
// the left and below built before on this thread). A smallest child is
// first tested at its centre only; its edge midpoints are carried when the
// centre passes. The pixel centres of the smallest children that fail are
// carried one by one, in one batch per cell. Sharing changes no bit: the
// coordinate layer carries each point of a batch as it would alone.
class Build::Refiner {
public:
    explicit Refiner(Build const& b) : m_b(b) {}

    MeshArena& arena() { return m_arena; }

    // The tree of a failing cell, stored in the arena.
    MeshCellTree refine(FailedCell const& f)
    {
        m_nodes.clear();
        m_leafMatrices.clear();
        m_exactStarts.clear();
        m_pool.clear();
        m_exact.clear();
        m_exactEnd = 0;
        m_frontier.clear();
        Node const root = rootOf(f);
        if (smallest(root.box))
            exactLeaf(root);
        else
            m_frontier.push_back(root);
        while (!m_frontier.empty()) level();
        keepEdges(f, root.box);
        double* positions = nullptr;
        MeshCellTree const tree = pack(positions);
        carryExact(positions);
        return tree;
    }

private:
    enum State : unsigned char { kNew, kQueued, kCarried };
    // A point of the cell: its output pixel position, its raw input world
    // position and its input pixel position once carried.
    struct Point {
        double px, py, wx, wy, x, y;
        bool ok;  // false: no image
        State state;
    };
    // A node being refined: its box, centres, tree slot and its lattice of
    // 3 x 3 points (x fastest: low, middle, high).
    struct Node {
        ZELUNnBox<double, 2> box;
        CentreRange columns, rows;
        std::int32_t index;
        std::int32_t points[9];
    };
    // The lattice places of the corners (low-left, low-right, high-right,
    // high-left) and of the test points (centre, bottom, top, left, right).
    static constexpr int kCorners[4] = {0, 2, 8, 6};
    static constexpr int kTests[5] = {4, 1, 7, 3, 5};

    static bool smallest(ZELUNnBox<double, 2> const& b)
    {
        return !(extentX(b) > kMeshSmallestCell) && !(extentY(b) > kMeshSmallestCell);
    }

    // The cell as the tree's node 0, its lattice (x fastest) made of its
    // carried test points and its corners, carried with the first level.
    Node rootOf(FailedCell const& f)
    {
        Node root;
        root.box = m_b.g.cellBox(f.i, f.j);
        m_index.start(root.box);
        seed(f, root.box);
        root.columns = m_b.in.columnsOf(f.j);
        root.rows = m_b.in.rowsOf(f.i);
        root.index = node();
        for (int k = 0; k < 5; ++k) {
            Carried const& c = f.points[k];
            bool added;
            std::int32_t& slot = m_index.findOrAdd(c.px, c.py, added);
            if (added) {
                slot = newPoint(c.px, c.py, 0, 0);
                Point& q = m_pool.back();
                q.wx = c.wx, q.wy = c.wy, q.x = c.x, q.y = c.y, q.ok = c.ok, q.state = kCarried;
            }
            root.points[kTests[k]] = slot;
        }
        for (int k : kCorners) {
            double const x = k % 3 == 0 ? root.box.low[0] : root.box.high[0];
            double const y = k < 3 ? root.box.low[1] : root.box.high[1];
            bool added;
            std::int32_t& slot = m_index.findOrAdd(x, y, added);
            if (added) {
                double wx = x, wy = y;
                m_b.toWorld(wx, wy);
                slot = newPoint(x, y, wx, wy);
            }
            root.points[k] = slot;
        }
        return root;
    }


    std::int32_t node()
    {
        std::size_t const index = m_nodes.size();
        if (index >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / 4))
            throw std::bad_alloc();  // beyond what a node value can index
        m_nodes.push_back(0);
        return static_cast<std::int32_t>(index);
    }

    // A point not carried yet, at output pixel (x, y) and output world
    // (wx, wy) (its input world position once carried).
    std::int32_t newPoint(double x, double y, double wx, double wy)
    {
        // Filled in place: a whole Point built aside and copied makes the
        // copy wait for the narrow stores of its last fields.
        Point& q = m_pool.emplace_back();
        q.px = x;
        q.py = y;
        q.wx = wx;
        q.wy = wy;
        q.state = kNew;
        return static_cast<std::int32_t>(m_pool.size() - 1);
    }

    void request(std::int32_t p)
    {
        Point& q = m_pool[static_cast<std::size_t>(p)];
        if (q.state != kNew) return;
        q.state = kQueued;
        m_queue.push_back(p);
    }

    // Carries the queued points in one batch.
    void flush()
    {
        std::size_t const n = m_queue.size();
        if (!n) return;
        m_xy.resize(2 * n);
        m_failed.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            Point const& q = m_pool[static_cast<std::size_t>(m_queue[k])];
            m_xy[2 * k] = q.wx;
            m_xy[2 * k + 1] = q.wy;
        }
        m_b.carryWorld(m_xy.data(), n, m_failed.data());
        for (std::size_t k = 0; k < n; ++k) {
            Point& q = m_pool[static_cast<std::size_t>(m_queue[k])];
            q.state = kCarried;
            q.ok = !m_failed[k];
            q.wx = q.x = m_xy[2 * k];
            q.wy = q.y = m_xy[2 * k + 1];
            if (q.ok) m_b.toInputPixel(q.x, q.y);
        }
        m_queue.clear();
    }

    Point const& at(std::int32_t p) const { return m_pool[static_cast<std::size_t>(p)]; }

    // The node's matrix from its corners; false when a corner has no image
    // or the matrix is not finite.
    bool build(Node const& n, ZELUNMatrix3D& m) const
    {
        double raw[8];
        for (int k = 0; k < 4; ++k) {
            Point const& c = at(n.points[kCorners[k]]);
            if (!c.ok) return false;
            raw[2 * k] = c.wx;
            raw[2 * k + 1] = c.wy;
        }
        m = cellMatrixFromCorners(n.box, raw, m_b.in.inBox, m_b.in.inCover);
        return finiteMatrix(m);
    }

    // Test points [from, 5) of node n through its matrix m.
    bool passes(Node const& n, ZELUNMatrix3D const& m, int from, int& beyond) const
    {
        for (int k = from; k < 5; ++k) {
            Point const& p = at(n.points[kTests[k]]);
            if (!m_b.pointPasses(m, n.box, p.px, p.py, p.ok, p.x, p.y, beyond)) return false;
        }
        return true;
    }

    void matrixLeaf(Node const& n, ZELUNMatrix3D const& m)
    {
        setNode(n.index, MeshCellTree::matrixLeaf(m_leafMatrices.size()));
        m_leafMatrices.push_back(m);
    }

    void exactLeaf(Node const& n)
    {
        setNode(n.index, MeshCellTree::exactLeaf(m_exactStarts.size()));
        m_exactStarts.push_back(m_exactEnd);
        m_exactEnd += static_cast<std::size_t>((n.columns.hi - n.columns.lo) * (n.rows.hi - n.rows.lo));
        m_exact.push_back(Exact{n.columns, n.rows});
    }

    // One level: splits every node of the frontier, carries what the
    // children need and decides each child.
    void level()
    {
        m_children.clear();
        for (Node const& n : m_frontier) split(n);
        for (Node const& c : m_children) {
            if (smallest(c.box)) {
                for (int k : {0, 2, 8, 6, 4}) request(c.points[k]);
            } else {
                for (std::int32_t p : c.points) request(p);
            }
        }
        flush();
        m_frontier.clear();
        m_pending.clear();
        m_matrices.resize(m_children.size());
        for (std::size_t k = 0; k < m_children.size(); ++k) {
            Node const& c = m_children[k];
            ZELUNMatrix3D& m = m_matrices[k];
            bool const built = build(c, m);
            int beyond = -1;
            if (!smallest(c.box)) {
                if (built && passes(c, m, 0, beyond))
                    matrixLeaf(c, m);
                else
                    m_frontier.push_back(c);
            } else if (built && centrePasses(c, m, beyond)) {
                for (int t : {1, 7, 3, 5}) request(c.points[t]);
                m_pending.push_back(k);
            } else {
                exactLeaf(c);
            }
        }
        flush();
        for (std::size_t k : m_pending) {
            int beyond = -1;
            if (passes(m_children[k], m_matrices[k], 1, beyond))
                matrixLeaf(m_children[k], m_matrices[k]);
            else
                exactLeaf(m_children[k]);
        }
    }

    bool centrePasses(Node const& c, ZELUNMatrix3D const& m, int& beyond) const
    {
        Point const& p = at(c.points[4]);
        return m_b.pointPasses(m, c.box, p.px, p.py, p.ok, p.x, p.y, beyond);
    }

    // The children of node n with their lattices.
    void split(Node const& n)
    {
        double const split[2] = {meshSplit(n.box.low[0], n.box.high[0]), meshSplit(n.box.low[1], n.box.high[1])};
        bool const splits[2] = {split[0] < std::numeric_limits<double>::infinity(),
                                split[1] < std::numeric_limits<double>::infinity()};
        // Per axis the lattice values.
        double v[2][5];
        int count[2];
        for (int a = 0; a < 2; ++a) {
            double const lo = n.box.low[a], hi = n.box.high[a];
            if (!splits[a]) {
                count[a] = 3;
                v[a][0] = lo, v[a][1] = (lo + hi) * 0.5, v[a][2] = hi;
                continue;
            }
            double const s = split[a] < hi ? split[a] : hi;
            count[a] = 5;
            v[a][0] = lo, v[a][1] = (lo + s) * 0.5, v[a][2] = s, v[a][3] = (s + hi) * 0.5, v[a][4] = hi;
        }
        // Their output world values: x depends on the column alone, y on
        // the row.
        double w[2][5];
        for (int k = 0; k < std::max(count[0], count[1]); ++k) {
            w[0][k] = v[0][std::min(k, count[0] - 1)];
            w[1][k] = v[1][std::min(k, count[1] - 1)];
            m_b.toWorld(w[0][k], w[1][k]);
        }
        // Each point once in the cell: the node's own, its neighbours' and
        // those the cells before shared are found by their position.
        std::ptrdiff_t place[2][5];
        bool placed = true;
        for (int a = 0; a < 2; ++a)
            for (int k = 0; k < count[a]; ++k) placed = (place[a][k] = m_index.place(a, v[a][k])) >= 0 && placed;
        std::int32_t lattice[25];
        for (int j = 0; j < count[1]; ++j)
            for (int i = 0; i < count[0]; ++i) {
                bool added;
                std::int32_t& slot = placed ? m_index.at(place[0][i], place[1][j], added)
                                            : m_index.findOrAdd(v[0][i], v[1][j], added);
                if (added) slot = newPoint(v[0][i], v[1][j], w[0][i], w[1][j]);
                lattice[i + 5 * j] = slot;
            }
        int const sides[2] = {splits[0] ? 2 : 1, splits[1] ? 2 : 1};
        auto const first = static_cast<std::int32_t>(m_nodes.size());
        for (int b = 0; b < sides[1]; ++b)
            for (int a = 0; a < sides[0]; ++a) {
                m_children.emplace_back();
                Node& c = m_children.back();
                c.box = n.box;
                c.columns = n.columns;
                c.rows = n.rows;
                meshDescend(0, split[0], a == 1, c.box, c.columns);
                meshDescend(1, split[1], b == 1, c.box, c.rows);
                c.index = node();
                for (int cj = 0; cj < 3; ++cj)
                    for (int ci = 0; ci < 3; ++ci) c.points[ci + 3 * cj] = lattice[(2 * a + ci) + 5 * (2 * b + cj)];
            }
        setNode(n.index, first);
    }

    void setNode(std::int32_t index, std::int32_t value)
    {
        m_nodes[static_cast<std::size_t>(index)] = value;
    }

    // The pixel centres of every exact leaf of the cell, in one batch,
    // carried in place.
    void carryExact(double* xy)
    {
        // x in world coordinates depends on the column alone, y on the
        // row: each is converted once per leaf column and row.
        std::size_t at = 0;
        for (Exact const& e : m_exact) {
            std::size_t const columns = static_cast<std::size_t>(e.columns.hi - e.columns.lo);
            std::size_t const rows = static_cast<std::size_t>(e.rows.hi - e.rows.lo);
            for (std::size_t c = 0; c < columns; ++c) {
                double wx = static_cast<double>(e.columns.lo + static_cast<std::int64_t>(c)) + 0.5;
                double wy = static_cast<double>(e.rows.lo) + 0.5;
                m_b.toWorld(wx, wy);
                for (std::size_t r = 0; r < rows; ++r) xy[at + 2 * (r * columns + c)] = wx;
            }
            for (std::size_t r = 0; r < rows; ++r) {
                double wx = static_cast<double>(e.columns.lo) + 0.5;
                double wy = static_cast<double>(e.rows.lo + static_cast<std::int64_t>(r)) + 0.5;
                m_b.toWorld(wx, wy);
                for (std::size_t c = 0; c < columns; ++c) xy[at + 2 * (r * columns + c) + 1] = wy;
            }
            at += 2 * columns * rows;
        }
        std::size_t const n = at / 2;
        if (!n) return;
        m_failed.resize(n);
        m_b.carryWorld(xy, n, m_failed.data());
        for (std::size_t k = 0; k < n; ++k) {
            if (m_failed[k])
                xy[2 * k] = std::numeric_limits<double>::quiet_NaN();
            else
                m_b.toInputPixel(xy[2 * k], xy[2 * k + 1]);
        }
    }

    // Sharing with the cells refined before on this thread: the points
    // carried on the right edge of the last cell and on the top edge of the
    // last cell of each column are read back by the cell to the right of it
    // and the cell above it, when their edges are the same bit for bit.
    struct EdgeSet {
        std::int64_t i = -2, j = -2;  // the cell they lie on
        double edge = 0.0;            // its right x or top y
        std::vector<Point> points;
    };

    void seed(FailedCell const& f, ZELUNnBox<double, 2> const& box)
    {
        if (m_tops.size() != static_cast<std::size_t>(m_b.g.cells[0])) m_tops.resize(static_cast<std::size_t>(m_b.g.cells[0]));
        EdgeSet const* sets[2] = {&m_right, &m_tops[static_cast<std::size_t>(f.j)]};
        bool const match[2] = {m_right.i == f.i && m_right.j == f.j - 1 && sameBits(m_right.edge, box.low[0]),
                               sets[1]->i == f.i - 1 && sets[1]->j == f.j && sameBits(sets[1]->edge, box.low[1])};
        for (int k = 0; k < 2; ++k) {
            if (!match[k]) continue;
            for (Point const& p : sets[k]->points) {
                bool added;
                std::int32_t& slot = m_index.findOrAdd(p.px, p.py, added);
                if (!added) continue;
                slot = static_cast<std::int32_t>(m_pool.size());
                m_pool.push_back(p);
            }
        }
    }

    void keepEdges(FailedCell const& f, ZELUNnBox<double, 2> const& box)
    {
        EdgeSet& top = m_tops[static_cast<std::size_t>(f.j)];
        m_right.i = top.i = f.i;
        m_right.j = top.j = f.j;
        m_right.edge = box.high[0];
        top.edge = box.high[1];
        m_right.points.clear();
        top.points.clear();
        for (Point const& p : m_pool) {
            if (p.state != kCarried) continue;
            if (sameBits(p.px, box.high[0])) m_right.points.push_back(p);
            if (sameBits(p.py, box.high[1])) top.points.push_back(p);
        }
    }

    // Output pixel positions keyed by their bits: an open-addressing table
    // at most half full, emptied by a generation count.
    class BitsTable {
    public:
        void clear()
        {
            m_size = 0;
            if (++m_generation == 0) {
                for (Slot& s : m_slots) s.generation = 0;
                m_generation = 1;
            }
        }
        void reserve(std::size_t more)
        {
            if (2 * (m_size + more) <= m_slots.size()) return;
            std::size_t capacity = m_slots.empty() ? 256 : m_slots.size();
            while (2 * (m_size + more) > capacity) capacity *= 2;
            std::vector<Slot> old(capacity, Slot{0, 0, 0, 0});
            old.swap(m_slots);
            for (Slot const& s : old)
                if (s.generation == m_generation) m_slots[probe(s.kx, s.ky)] = s;
        }
        // The value of (x, y), added (`added` true) when it was not there.
        std::int32_t& findOrAdd(double x, double y, bool& added)
        {
            std::uint64_t kx, ky;
            std::memcpy(&kx, &x, sizeof x);
            std::memcpy(&ky, &y, sizeof y);
            Slot& s = m_slots[probe(kx, ky)];
            added = s.generation != m_generation;
            if (added) {
                s = Slot{kx, ky, 0, m_generation};
                ++m_size;
            }
            return s.value;
        }
    private:
        struct Slot {
            std::uint64_t kx, ky;
            std::int32_t value;
            std::uint32_t generation;
        };
        std::size_t probe(std::uint64_t kx, std::uint64_t ky) const
        {
            // Positions are mostly small multiples of a power of two, whose
            // low bits are all zero: every bit is mixed into every bit.
            std::uint64_t h = kx ^ (ky * 0x9E3779B97F4A7C15ull);
            h ^= h >> 33;
            h *= 0xFF51AFD7ED558CCDull;
            h ^= h >> 33;
            h *= 0xC4CEB9FE1A85EC53ull;
            h ^= h >> 33;
            std::size_t const mask = m_slots.size() - 1;
            std::size_t i = static_cast<std::size_t>(h) & mask;
            while (m_slots[i].generation == m_generation && !(m_slots[i].kx == kx && m_slots[i].ky == ky))
                i = (i + 1) & mask;
            return i;
        }
        std::vector<Slot> m_slots;
        std::size_t m_size = 0;
        std::uint32_t m_generation = 1;
    };

    // The points of a cell by their output pixel position: where the cell
    // box is integral and at most 256 pixels a side, every point lies on
    // its half-pixel lattice (splits fall on whole pixels, test points half
    // way between) and the index is a grid of that lattice; elsewhere a
    // table keyed by the positions' bits. Emptied per cell by a generation
    // count.
    class PointIndex {
    public:
        void start(ZELUNnBox<double, 2> const& b)
        {
            double const w = b.high[0] - b.low[0], h = b.high[1] - b.low[1];
            m_dense = isSmallInteger(b.low[0]) && isSmallInteger(b.low[1]) && isSmallInteger(w) &&
                      isSmallInteger(h) && w >= 0 && h >= 0 && w <= 256 && h <= 256;
            m_hash.clear();
            if (!m_dense) return;
            m_x0 = b.low[0];
            m_y0 = b.low[1];
            m_nx = static_cast<std::size_t>(2 * w) + 1;
            m_ny = static_cast<std::size_t>(2 * h) + 1;
            if (m_grid.size() < m_nx * m_ny) m_grid.resize(m_nx * m_ny, Slot{0, 0});
            if (++m_generation == 0) {
                for (Slot& s : m_grid) s.generation = 0;
                m_generation = 1;
            }
        }
        // The grid column (axis 0) or row of coordinate v, or -1 where the
        // index is not a grid or v is not on it.
        std::ptrdiff_t place(int axis, double v) const
        {
            if (!m_dense) return -1;
            double const k = (v - (axis ? m_y0 : m_x0)) * 2.0;
            return k >= 0.0 && k < static_cast<double>(axis ? m_ny : m_nx) && k == std::trunc(k)
                       ? static_cast<std::ptrdiff_t>(k)
                       : -1;
        }
        // The value of the point at grid column i and row j (both placed),
        // added (`added` true) when it was not there.
        std::int32_t& at(std::ptrdiff_t i, std::ptrdiff_t j, bool& added)
        {
            Slot& s = m_grid[static_cast<std::size_t>(j) * m_nx + static_cast<std::size_t>(i)];
            added = s.generation != m_generation;
            if (added) s.generation = m_generation;
            return s.value;
        }
        // The value of (x, y), added (`added` true) when it was not there.
        std::int32_t& findOrAdd(double x, double y, bool& added)
        {
            std::ptrdiff_t const i = place(0, x), j = place(1, y);
            if (i >= 0 && j >= 0) return at(i, j, added);
            m_hash.reserve(1);
            return m_hash.findOrAdd(x, y, added);
        }

    private:
        struct Slot {
            std::int32_t value;
            std::uint32_t generation;
        };
        bool m_dense = false;
        double m_x0 = 0.0, m_y0 = 0.0;
        std::size_t m_nx = 0, m_ny = 0;
        std::vector<Slot> m_grid;
        std::uint32_t m_generation = 0;
        BitsTable m_hash;
    };

    // The centres of an exact leaf.
    struct Exact {
        CentreRange columns, rows;
    };

    // The tree's arrays in the arena, exactly sized (the scratch arrays
    // keep their storage for the next cell); the positions of its exact
    // leaves are carried there in place.
    MeshCellTree pack(double*& positions)
    {
        std::size_t const matrixBytes = m_leafMatrices.size() * sizeof(ZELUNMatrix3D);
        std::size_t const positionBytes = 2 * m_exactEnd * sizeof(double);
        std::size_t const exactBytes = m_exactStarts.size() * sizeof(std::size_t);
        std::size_t const nodeBytes = m_nodes.size() * sizeof(std::int32_t);
        auto* at = static_cast<unsigned char*>(m_arena.take(matrixBytes + positionBytes + exactBytes + nodeBytes));
        MeshCellTree t;
        auto* matrices = reinterpret_cast<ZELUNMatrix3D*>(at);
        std::uninitialized_copy(m_leafMatrices.begin(), m_leafMatrices.end(), matrices);
        positions = reinterpret_cast<double*>(at + matrixBytes);  // written by carryExact
        auto* exactStarts = reinterpret_cast<std::size_t*>(at + matrixBytes + positionBytes);
        std::uninitialized_copy(m_exactStarts.begin(), m_exactStarts.end(), exactStarts);
        auto* nodes = reinterpret_cast<std::int32_t*>(at + matrixBytes + positionBytes + exactBytes);
        std::uninitialized_copy(m_nodes.begin(), m_nodes.end(), nodes);
        t.matrices = matrices;
        t.positions = positions;
        t.exactStarts = exactStarts;
        t.nodes = nodes;
        t.nodeCount = m_nodes.size();
        t.matrixCount = m_leafMatrices.size();
        t.exactCount = m_exactStarts.size();
        t.centreCount = m_exactEnd;
        return t;
    }

    Build const& m_b;
    MeshArena m_arena;
    std::vector<std::int32_t> m_nodes;
    std::vector<ZELUNMatrix3D> m_leafMatrices;
    std::vector<std::size_t> m_exactStarts;
    std::vector<Point> m_pool;
    std::vector<std::int32_t> m_queue;
    std::vector<Node> m_frontier, m_children;
    std::vector<ZELUNMatrix3D> m_matrices;  // per child of the level
    std::vector<std::size_t> m_pending;     // smallest children whose centre passed
    std::vector<Exact> m_exact;
    std::size_t m_exactEnd = 0;
    PointIndex m_index;
    EdgeSet m_right;
    std::vector<EdgeSet> m_tops;
    std::vector<double> m_xy;
    std::vector<unsigned char> m_failed;
};

// ---- The steps, and the threads ----

// Units of work [next, count) taken one by one by whichever thread is free.
struct Units {
    std::atomic<std::size_t> next;
    std::size_t count;
};

// The threads for `units` units of about `points` points in all: one per
// kPointsPerThread points, at most `limit` and one per unit.
unsigned threadsFor(std::size_t units, double points, unsigned limit)
{
    double const wanted = std::floor(points / kPointsPerThread);
    double const most = std::min<double>(limit, static_cast<double>(units));
    return wanted >= most ? static_cast<unsigned>(most) : wanted < 1.0 ? 1u : static_cast<unsigned>(wanted);
}

void Build::run()
{
    std::size_t const perRow = static_cast<std::size_t>(g.cells[0]);
    std::int64_t const rows = g.cells[1];
    bool const lattice = mesh.matrices.size() != perRow * static_cast<std::size_t>(rows);
    if (lattice) mesh.matrices.resize(perRow * static_cast<std::size_t>(rows));

    // Rows of cells, in bands, one per thread.
    std::vector<std::vector<FailedCell>> failedByRow(static_cast<std::size_t>(rows));
    {
        double const points = static_cast<double>(rows) * static_cast<double>(lattice ? 4 * perRow + 1 : 3 * perRow);
        unsigned const n = threadsFor(static_cast<std::size_t>(rows), points, threads);
        std::vector<Rows> bands(n, Rows(*this));
        auto const band = [&](unsigned k) {
            auto const range = splitRows(0, static_cast<unsigned>(rows), n, k);
            try {
                for (unsigned r = range.first; r < range.second && !stop.load(std::memory_order_relaxed); ++r)
                    bands[k].row(r, lattice, failedByRow[r]);
            } catch (...) {
                stop.store(true, std::memory_order_relaxed);
                throw;
            }
        };
        runTasks(n, 1, band, CreateThread());
    }
    std::vector<FailedCell> failed;
    for (std::vector<FailedCell> const& row : failedByRow) failed.insert(failed.end(), row.begin(), row.end());
    failedByRow.clear();
    failedByRow.shrink_to_fit();
    if (failed.empty()) return;

    // Failing cells: every thread takes the next cell when it is free. Each
    // cell's tree lands in its own slot, so the trees do not depend on who
    // built them.
    std::vector<MeshCellTree> trees(failed.size());
    double work = 0.0;
    for (FailedCell const& f : failed) work += f.work;
    unsigned const n = threadsFor(failed.size(), work, threads);
    std::vector<Refiner> refiners;
    refiners.reserve(n);
    while (refiners.size() < n) refiners.emplace_back(*this);
    Units units{{0}, failed.size()};
    auto const refine = [&](unsigned t) {
        try {
            for (;;) {
                if (stop.load(std::memory_order_relaxed)) return;
                std::size_t const u = units.next.fetch_add(1, std::memory_order_relaxed);
                if (u >= units.count) return;
                trees[u] = refiners[t].refine(failed[u]);
            }
        } catch (...) {
            stop.store(true, std::memory_order_relaxed);
            throw;
        }
    };
    runTasks(n, 1, refine, CreateThread());
    in.roots.assign(mesh.matrices.size(), -1);
    for (std::size_t f = 0; f < failed.size(); ++f)
        in.roots[static_cast<std::size_t>(failed[f].i) * perRow + static_cast<std::size_t>(failed[f].j)] =
            static_cast<std::int32_t>(f);
    in.arenas.reserve(refiners.size());
    for (Refiner& r : refiners) in.arenas.push_back(std::move(r.arena()));
    in.trees.swap(trees);
}


void Build::make(MeshBuild& mesh, MeshGeometry const& geometry, ZELUNCover const& outCover,
                 ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover, long& status)
{
    ZELUNnBox<double, 2> const& box = geometry.box;
    std::int64_t const perRow = geometry.cells[0], rows = geometry.cells[1];
    std::vector<ZELUNMatrix3D>& matrices = mesh.matrices;
    auto internals = std::make_shared<MeshInternals>();
    MeshInternals& in = *internals;
    in.geometry = geometry;
    in.outCover = outCover;
    in.inCover = inCover;
    in.inBox = inBox;
    in.columnStarts.resize(static_cast<std::size_t>(perRow) + 1);
    in.rowStarts.resize(static_cast<std::size_t>(rows) + 1);
    for (std::int64_t j = 0; j <= perRow; ++j)
        in.columnStarts[static_cast<std::size_t>(j)] = in.geometry.firstCentreOfCell(0, j);
    for (std::int64_t i = 0; i <= rows; ++i) in.rowStarts[static_cast<std::size_t>(i)] = in.geometry.firstCentreOfCell(1, i);
    matrices.reserve(static_cast<std::size_t>(perRow) * static_cast<std::size_t>(rows));
    mesh.internals = internals;
    // Threads where the output is large enough for the rows to use them.
    unsigned const n = extentX(box) * extentY(box) >= kMinThreadedElements ? acquireThreadCount() : 1;
    if (isSmallInteger(box.low[0]) && isSmallInteger(box.low[1]) && isSmallInteger(box.high[0]) &&
        isSmallInteger(box.high[1]) && isSmallInteger(geometry.cell[0]) && isSmallInteger(geometry.cell[1])) {
        // Integral boxes and cells: every clipped cell corner is a lattice
        // point, so each matrix is the one the cell-by-cell construction
        // makes.
        try {
            Build(mesh, in, n).run();
            status = kSuccess;
            return;
        } catch (LatticeFailure const&) {
            matrices.clear();  // cell by cell, which finds the failing cell and its status
        }
    }
    // The construction as the cells are defined: per cell its cover and the
    // transformation of its four corners; the first failure stops it with
    // its status.
    for (std::int64_t i = 0; i < rows; ++i)
        for (std::int64_t j = 0; j < perRow; ++j) {
            ZELUNnBox<double, 2> const cell = in.geometry.cellBox(i, j);
            double wx0 = cell.low[0], wy0 = cell.low[1], wx1 = cell.high[0], wy1 = cell.high[1];
            pixelToWorld(wx0, wy0, box, outCover);
            pixelToWorld(wx1, wy1, box, outCover);
            ZELUNCover const cellCover(outCover.getCoordSystem(), wx0, wy0, wx1, wy1);
            status = cellCover.status();
            if (status) return;
            ZELUNMatrix3D const m = computeCellMatrix(cell, cellCover, inBox, inCover, status);
            if (status) return;
            matrices.push_back(m);
        }
    Build(mesh, in, n).run();
    status = kSuccess;
}

// The exact path at a point that no stored position answers, with the
// status of its one-point conversion.
long exactPosition(MeshInternals const& in, double x, double y, double& outX, double& outY)
{
    double p[2] = {x, y};
    pixelToWorld(p[0], p[1], in.geometry.box, in.outCover);
    unsigned char failed = 1;
    if (long const status =
            batchStatus(in.outCover.getCoordSystem().transform(in.inCover.getCoordSystem(), p, 1, 2, &failed)))
        return status;
    if (failed) return kErrCoordTransformFailed;
    wrapLongitude(p[0], in.inCover, turnOf(in.inCover));
    worldToPixel(p[0], p[1], in.inBox, in.inCover);
    outX = p[0];
    outY = p[1];
    return kSuccess;
}

}  // namespace

MeshBuild buildMesh(ZELUNnBox<double, 2> const& outBox, ZELUNCover const& outCover, ZELUNnBox<double, 2> const& inBox,
                    ZELUNCover const& inCover, ZELUNnPoint<double, 2> cellSize, long& status)
{
    MeshBuild mesh;
    // The covers' own statuses first, as reprojectBuffer checks them.
    if (long const s = outCover.status() ? outCover.status() : inCover.status()) {
        status = s;
        return mesh;
    }
    MeshGeometry geometry;
    geometry.box = outBox;
    geometry.cell[0] = cellSize[0];
    geometry.cell[1] = cellSize[1];
    geometry.cells[0] = meshCellCount(extentX(outBox), cellSize[0]);
    geometry.cells[1] = meshCellCount(extentY(outBox), cellSize[1]);
    mesh.cellsPerRow = geometry.cells[0];
    if (geometry.cells[0] == 0 || geometry.cells[1] == 0) return mesh;  // a mesh without cells
    long failure = kSuccess;
    try {
        Build::make(mesh, geometry, outCover, inBox, inCover, status);
        // A shortage leaves no cells on every path; any other status of a
        // cell keeps the matrices of the cells before it.
        if (coordOutcome(status) != CoordOutcome::kShortage) return mesh;
        failure = status;
    } catch (CoordFailure const& f) {
        failure = f.status;
    } catch (std::exception const&) {  // bad_alloc or length_error
        failure = kErrOutOfMemory;
    }
    // A failed test or refinement, or a shortage: a mesh without cells.
    status = failure;
    std::vector<ZELUNMatrix3D>().swap(mesh.matrices);
    mesh.internals.reset();
    return mesh;
}

// ---- MeshReprojectionTransform ----

MeshReprojectionTransform::MeshReprojectionTransform(ZELUNnBox<double, 2> const& outBox, ZELUNCover const& outCover,
                                                     ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover,
                                                     ZELUNnPoint<double, 2> cellSize, long& status)
    : m_box(outBox), m_cellSize(cellSize)
{
    MeshBuild built = buildMesh(outBox, outCover, inBox, inCover, cellSize, status);
    m_cellsPerRow = built.cellsPerRow;
    m_matrices.swap(built.matrices);
    m_internals = std::move(built.internals);
}

MeshReprojectionTransform::MeshReprojectionTransform(MeshReprojectionTransform const& other) = default;
MeshReprojectionTransform& MeshReprojectionTransform::operator=(MeshReprojectionTransform const& other) = default;
MeshReprojectionTransform::~MeshReprojectionTransform() = default;

bool MeshReprojectionTransform::transform(double x, double y, double& outX, double& outY) const
{
    return transformAnswer(transformPoint(x, y, outX, outY));
}

long MeshReprojectionTransform::transformPoint(double x, double y, double& outX, double& outY) const
{
    if (!(x >= m_box.low[0] && x <= m_box.high[0] && y >= m_box.low[1] && y <= m_box.high[1]))
        return kErrCoordTransformFailed;
    MeshInternals const* in = m_internals.get();
    if (!in || m_matrices.empty()) return kErrCoordTransformFailed;
    MeshGeometry const& g = in->geometry;
    std::int64_t const i = g.cellAlong(1, y), j = g.cellAlong(0, x);
    auto const index = static_cast<std::size_t>(i * m_cellsPerRow + j);
    if (index >= m_matrices.size()) return kErrCoordTransformFailed;  // a construction that stopped
    MeshCellTree const* tree = in->treeOf(index);
    if (!tree) {
        applyMatrix(m_matrices[index], x, y, outX, outY);
        return kSuccess;
    }
    MeshLeaf const leaf = meshLeafOf(*tree, x, y, g.cellBox(i, j), in->columnsOf(j), in->rowsOf(i));
    if (!MeshCellTree::isExact(leaf.value)) {
        applyMatrix(tree->matrices[MeshCellTree::leafIndex(leaf.value)], x, y, outX, outY);
        return kSuccess;
    }
    // A pixel centre of an exact leaf answers what the rows write.
    double const c = x - 0.5, r = y - 0.5;
    if (c == std::floor(c) && r == std::floor(r) && c >= static_cast<double>(leaf.columns.lo) &&
        c < static_cast<double>(leaf.columns.hi) && r >= static_cast<double>(leaf.rows.lo) &&
        r < static_cast<double>(leaf.rows.hi)) {
        std::size_t const k =
            exactCentreIndex(*tree, leaf, static_cast<std::int64_t>(c), static_cast<std::int64_t>(r));
        if (std::isnan(tree->positions[2 * k])) return kErrCoordTransformFailed;
        outX = tree->positions[2 * k];
        outY = tree->positions[2 * k + 1];
        return kSuccess;
    }
    return exactPosition(*in, x, y, outX, outY);
}

long MeshReprojectionTransform::transformRow(double y, std::size_t first, std::size_t count, double* xy,
                                             unsigned char* failed) const
{
    std::size_t const end = first + count;
    long whole = kSuccess;
    // Point k with the status of its position: false, every point flagged,
    // for a status of the whole call.
    auto const settle = [&](std::size_t k, long status) {
        if ((whole = batchStatus(status)) != kSuccess) {
            std::fill_n(failed, count, static_cast<unsigned char>(1));
            return false;
        }
        failed[k - first] = status != kSuccess;
        return true;
    };
    auto const single = [&](std::size_t k) {
        double* const at = xy + 2 * (k - first);
        return settle(k, transformPoint(static_cast<double>(k) + 0.5, y, at[0], at[1]));
    };
    std::size_t c = first;
    // The centres that the cells of a row hold, a cell and, in a split cell,
    // a leaf at a time, as transformPoint answers them; the other points
    // through transformPoint itself.
    MeshInternals const* in = m_internals.get();
    if (in && !m_matrices.empty() && y >= m_box.low[1] && y <= m_box.high[1]) {
        std::vector<std::int64_t> const& starts = in->columnStarts;
        for (; c < end && static_cast<std::int64_t>(c) < starts.front(); ++c)
            if (!single(c)) return whole;
        MeshGeometry const& g = in->geometry;
        std::int64_t const i = g.cellAlong(1, y);
        double const r = y - 0.5;
        bool const centreRow = r == std::floor(r);
        std::int64_t j = static_cast<std::int64_t>(
                             std::upper_bound(starts.begin(), starts.end(), static_cast<std::int64_t>(c)) -
                             starts.begin()) -
                         1;
        for (; j < m_cellsPerRow && c < end; ++j) {
            std::size_t const cellEnd = std::min(static_cast<std::size_t>(in->columnsOf(j).hi), end);
            auto const index = static_cast<std::size_t>(i * m_cellsPerRow + j);
            if (index >= m_matrices.size()) break;  // a construction that stopped
            MeshCellTree const* tree = in->treeOf(index);
            ZELUNnBox<double, 2> const cell = tree ? g.cellBox(i, j) : ZELUNnBox<double, 2>();
            while (c < cellEnd) {
                ZELUNMatrix3D const* m = &m_matrices[index];
                std::size_t runEnd = cellEnd;
                MeshLeaf leaf{};
                if (tree) {
                    leaf = meshLeafOf(*tree, static_cast<double>(c) + 0.5, y, cell, in->columnsOf(j), in->rowsOf(i));
                    runEnd = std::max(std::min(static_cast<std::size_t>(leaf.columns.hi), cellEnd), c + 1);
                    m = MeshCellTree::isExact(leaf.value) ? nullptr
                                                          : &tree->matrices[MeshCellTree::leafIndex(leaf.value)];
                }
                if (m) {
                    RowDetail::RowMatrix const rm{(*m)(0, 0), (*m)(0, 1) * y, (*m)(0, 2),
                                                  (*m)(1, 0), (*m)(1, 1) * y, (*m)(1, 2),
                                                  (*m)(2, 0), (*m)(2, 1) * y, (*m)(2, 2)};
                    double* const at = xy + 2 * (c - first);
                    RowDetail::runPositions(rm, c, runEnd - c, at, at + 1, 2);
                    std::fill(failed + (c - first), failed + (runEnd - first), static_cast<unsigned char>(0));
                    c = runEnd;
                    continue;
                }
                // An exact leaf: its stored centres on a row of centres, the
                // exact path elsewhere.
                bool const stored =
                    centreRow && r >= static_cast<double>(leaf.rows.lo) && r < static_cast<double>(leaf.rows.hi);
                for (; c < runEnd; ++c) {
                    if (!stored) {
                        double* const at = xy + 2 * (c - first);
                        if (!settle(c, exactPosition(*in, static_cast<double>(c) + 0.5, y, at[0], at[1])))
                            return whole;
                        continue;
                    }
                    std::size_t const k =
                        exactCentreIndex(*tree, leaf, static_cast<std::int64_t>(c), static_cast<std::int64_t>(r));
                    xy[2 * (c - first)] = tree->positions[2 * k];
                    xy[2 * (c - first) + 1] = tree->positions[2 * k + 1];
                    failed[c - first] = std::isnan(tree->positions[2 * k]);
                }
            }
        }
    }
    for (; c < end; ++c)
        if (!single(c)) return whole;
    return kSuccess;
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
