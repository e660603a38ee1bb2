// The factory below hands each concrete transform to a shared pointer of the
// base, which deletes it through its own, exact type. clang still flags that
// delete because the transforms keep the base's non-virtual destructor; it is
// correct, so the warning is off in this file.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wdelete-non-abstract-non-virtual-dtor"
#endif
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>
#include <new>
#include <stdexcept>

#include <boost/thread/tss.hpp>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/warp/TransformSupport.h"
#include "zorvsupport/warp/WarpUtils.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

using ZELUNCompGeom::ZELUNMatrix3D;
using ZELUNCompGeom::ZELUNVector3D;

namespace {

// Each thread's in-and-out point of the one-point coordinate transformation.
boost::thread_specific_ptr<ZELUNArray<double>> gPointCache;

// Most cells along one axis of a mesh.
constexpr double kMaxCellsPerAxis = 2147483648.0;

bool isSmallInteger(double v)
{
    return std::fabs(v) < 4503599627370496.0 && std::trunc(v) == v;  // |v| < 2^52, integral
}

}  // namespace

void initCache()
{
    // Without memory the thread keeps the point it has (if any); the
    // transform makes one when it finds none.
    ZELUNArray<double>* fresh = nullptr;
    try {
        fresh = new ZELUNArray<double>(2);
    } catch (std::bad_alloc const&) {
        return;
    }
    if (fresh != gPointCache.get()) gPointCache.reset(fresh);
}

void pixelToWorld(double& x, double& y, ZELUNnBox<double, 2> const& box, ZELUNCover const& cover)
{
    x = x - box.low[0];
    y = y - box.low[1];
    x = x / extentX(box);
    y = y / extentY(box);
    x = cover.getWidth() * x;
    y = cover.getHeight() * y;
    x = cover.getMinX() + x;
    y = cover.getMinY() + y;
}

void worldToPixel(double& x, double& y, ZELUNnBox<double, 2> const& box, ZELUNCover const& cover)
{
    x = x - cover.getMinX();
    y = y - cover.getMinY();
    x = x / cover.getWidth();
    y = y / cover.getHeight();
    x = extentX(box) * x;
    y = extentY(box) * y;
    x = x + box.low[0];
    y = y + box.low[1];
}

ZELUNnBox<double, 2> clipBox(ZELUNnBox<double, 2> box, ZELUNnBox<double, 2> const& limits)
{
    auto clip = [](double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); };
    for (int axis = 0; axis < 2; ++axis) {
        box.low[axis] = clip(box.low[axis], limits.low[axis], limits.high[axis]);
        box.high[axis] = clip(box.high[axis], limits.low[axis], limits.high[axis]);
    }
    return box;
}

ZELUNMatrix3D squareToQuad(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3)
{
    double const sx = ((x0 - x1) + x2) - x3;
    double const sy = ((y0 - y1) + y2) - y3;
    double const dx1 = x1 - x2;
    double const dx2 = x3 - x2;
    double const dy1 = y1 - y2;
    double const dy2 = y3 - y2;
    double const r = 1.0 / (dy2 * dx1 - dx2 * dy1);
    double const g = (sx * dy2 - sy * dx2) * r;
    double const h = (sy * dx1 - sx * dy1) * r;
    return ZELUNMatrix3D(x1 - x0 + g * x1, x3 - x0 + h * x3, x0, y1 - y0 + g * y1, y3 - y0 + h * y3, y0, g, h, 1.0);
}

ZELUNMatrix3D cellMatrixFromCorners(ZELUNnBox<double, 2> const& cellBox, double const corners[8],
                                    ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover)
{
    double const turn = turnOf(inCover);
    double p[8];
    for (int i = 0; i < 4; ++i) {
        p[2 * i] = corners[2 * i];
        p[2 * i + 1] = corners[2 * i + 1];
        wrapLongitude(p[2 * i], inCover, turn);
        worldToPixel(p[2 * i], p[2 * i + 1], inBox, inCover);
    }
    ZELUNMatrix3D const q = squareToQuad(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
    ZELUNMatrix3D const s(1.0 / extentX(cellBox), 0.0, 0.0, 0.0, 1.0 / extentY(cellBox), 0.0, 0.0, 0.0, 1.0);
    ZELUNMatrix3D const t(1.0, 0.0, -cellBox.low[0], 0.0, 1.0, -cellBox.low[1], 0.0, 0.0, 1.0);
    return (q * s) * t;
}

ZELUNMatrix3D computeCellMatrix(ZELUNnBox<double, 2> const& cellBox, ZELUNCover const& cellCover,
                                ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover, long& status)
{
    double const xs[4] = {cellCover.getMinX(), cellCover.getMaxX(), cellCover.getMaxX(), cellCover.getMinX()};
    double const ys[4] = {cellCover.getMinY(), cellCover.getMinY(), cellCover.getMaxY(), cellCover.getMaxY()};
    ZELUNArray<ZELUNArray<double>> points(4);
    for (int i = 0; i < 4; ++i) {
        points[i].resize(2);
        points[i][0] = xs[i];
        points[i][1] = ys[i];
    }
    status = cellCover.getCoordSystem().transform(inCover.getCoordSystem(), points, points);
    if (status) return ZELUNMatrix3D();
    double corners[8];
    for (int i = 0; i < 4; ++i) {
        corners[2 * i] = points[i][0];
        corners[2 * i + 1] = points[i][1];
    }
    return cellMatrixFromCorners(cellBox, corners, inBox, inCover);
}

boost::shared_ptr<WarpTransform> makeTransform(ReprojectMethod method, ZELUNnBox<double, 2> const& inBox,
                                               ZELUNCover const& inCover, ZELUNnBox<double, 2> const& outBox,
                                               ZELUNCover const& outCover, long& status)
{
    switch (method) {
    case kPointReprojection:
        return boost::shared_ptr<WarpTransform>(new PointReprojectionTransform(outBox, outCover, inBox, inCover));
    case kMeshReprojection:
        return boost::shared_ptr<WarpTransform>(
            new MeshReprojectionTransform(outBox, outCover, inBox, inCover, kMeshCellSize, status));
    }
    return boost::shared_ptr<WarpTransform>();
}

// ---- PointReprojectionTransform ----

PointReprojectionTransform::PointReprojectionTransform(ZELUNnBox<double, 2> const& outBox,
                                                       ZELUNCover const& outCover,
                                                       ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover)
    : m_outCover(&outCover),
      m_inCover(inCover),
      m_outBox(&outBox),
      m_inBox(inBox),
      m_outSystem(&outCover.getCoordSystem()),
      m_inSystem(m_inCover.getCoordSystem())
{
}

PointReprojectionTransform::PointReprojectionTransform(PointReprojectionTransform const& other) = default;
PointReprojectionTransform::~PointReprojectionTransform() = default;

bool PointReprojectionTransform::transform(double x, double y, double& outX, double& outY) const
{
    return transformPoint(x, y, outX, outY) == kSuccess;
}

long PointReprojectionTransform::transformPoint(double x, double y, double& outX, double& outY) const
{
    double wx = x, wy = y;
    pixelToWorld(wx, wy, *m_outBox, *m_outCover);
    // A thread that never called initCache gets its scratch point here.
    ZELUNArray<double>* point = gPointCache.get();
    if (!point) {
        initCache();
        point = gPointCache.get();
        if (!point) return kErrOutOfMemory;
    }
    (*point)[0] = wx;
    (*point)[1] = wy;
    if (long const status = m_outSystem->transform(m_inSystem, *point, *point)) return status;
    outX = (*point)[0];
    outY = (*point)[1];
    wrapLongitude(outX, m_inCover, m_inSystem.fullTurn());
    worldToPixel(outX, outY, m_inBox, m_inCover);
    return kSuccess;
}

long PointReprojectionTransform::transformRow(double y, std::size_t first, std::size_t count, double* xy,
                                              unsigned char* failed) const
{
    for (std::size_t i = 0; i < count; ++i) {
        double wx = static_cast<double>(first + i) + 0.5, wy = y;
        pixelToWorld(wx, wy, *m_outBox, *m_outCover);
        xy[2 * i] = wx;
        xy[2 * i + 1] = wy;
    }
    // A point that fails is flagged on its own; the others are converted.
    // A status of the whole call flags every point.
    long const status = m_outSystem->transform(m_inSystem, xy, count, 2, failed);
    if (status && status != kErrCoordTransformFailed) return status;
    double const turn = m_inSystem.fullTurn();
    for (std::size_t i = 0; i < count; ++i) {
        if (failed[i]) continue;
        wrapLongitude(xy[2 * i], m_inCover, turn);
        worldToPixel(xy[2 * i], xy[2 * i + 1], m_inBox, m_inCover);
    }
    return kSuccess;
}

// ---- MeshReprojectionTransform ----

std::int64_t MeshReprojectionTransform::cellCount(double extent, double cell)
{
    if (!(cell > 0.0)) return 0;
    double const n = std::ceil(extent / cell);
    return n >= 0.0 && n <= kMaxCellsPerAxis ? static_cast<std::int64_t>(n) : 0;
}

MeshReprojectionTransform::MeshReprojectionTransform(ZELUNnBox<double, 2> const& outBox, ZELUNCover const& outCover,
                                                     ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover,
                                                     ZELUNnPoint<double, 2> cellSize, long& status)
    : m_box(outBox), m_cellSize(cellSize), m_outCover(outCover), m_inCover(inCover), m_inBox(inBox)
{
    m_cellsPerRow = cellCount(extentX(m_box), m_cellSize[0]);
    std::int64_t const rows = cellCount(extentY(m_box), m_cellSize[1]);
    if (m_cellsPerRow == 0 || rows == 0) return;  // a mesh without cells
    try {
        m_matrices.reserve(static_cast<std::size_t>(m_cellsPerRow) * static_cast<std::size_t>(rows));
    } catch (std::exception const&) {  // bad_alloc or length_error
        status = kErrOutOfMemory;
        return;
    }
    if (buildByLattice(outCover, inBox, inCover, rows)) {
        status = kSuccess;  // every cell built, as the cell-by-cell path reports it
    } else {
        m_matrices.clear();
        buildByCell(outCover, inBox, inCover, rows, status);
        if (status) return;
    }
    try {
        refine(rows);
    } catch (std::exception const&) {  // bad_alloc or length_error
        m_refinement = MeshRefinement();
        m_matrices.clear();
        status = kErrOutOfMemory;
    }
}

ZELUNnBox<double, 2> MeshReprojectionTransform::cellBox(std::int64_t i, std::int64_t j) const
{
    ZELUNnPoint<double, 2> lo(m_box.low[0] + static_cast<double>(j) * m_cellSize[0],
                              m_box.low[1] + static_cast<double>(i) * m_cellSize[1]);
    ZELUNnPoint<double, 2> hi(lo[0] + m_cellSize[0], lo[1] + m_cellSize[1]);
    return clipBox(ZELUNnBox<double, 2>(lo, hi), m_box);
}

// The construction as the cells are defined: per cell its clipped box, its
// cover and the transformation of its four corners.
void MeshReprojectionTransform::buildByCell(ZELUNCover const& outCover, ZELUNnBox<double, 2> const& inBox,
                                            ZELUNCover const& inCover, std::int64_t rows, long& status)
{
    double const cw = m_cellSize[0], ch = m_cellSize[1];
    for (std::int64_t i = 0; i < rows; ++i) {
        for (std::int64_t j = 0; j < m_cellsPerRow; ++j) {
            ZELUNnPoint<double, 2> lo(m_box.low[0] + static_cast<double>(j) * cw,
                                      m_box.low[1] + static_cast<double>(i) * ch);
            ZELUNnPoint<double, 2> hi(lo[0] + cw, lo[1] + ch);
            ZELUNnBox<double, 2> const cell = clipBox(ZELUNnBox<double, 2>(lo, hi), m_box);
            double wx0 = cell.low[0], wy0 = cell.low[1], wx1 = cell.high[0], wy1 = cell.high[1];
            pixelToWorld(wx0, wy0, m_box, outCover);
            pixelToWorld(wx1, wy1, m_box, outCover);
            ZELUNCover const cellCover(outCover.getCoordSystem(), wx0, wy0, wx1, wy1);
            status = cellCover.status();
            if (status) return;
            ZELUNMatrix3D const m = computeCellMatrix(cell, cellCover, inBox, inCover, status);
            if (status) return;
            m_matrices.push_back(m);
        }
    }
}

// The same matrices from the shared corner lattice, one batch of points per
// lattice row. Where the box corners and the cell size are integers, every
// clipped cell corner is exactly a lattice point, so each matrix is the one
// the cell-by-cell construction makes. Returns false (matrices incomplete)
// for any other box or at the first failure of any kind; the caller then
// builds cell by cell, which finds the exact failing cell and its status.
bool MeshReprojectionTransform::buildByLattice(ZELUNCover const& outCover, ZELUNnBox<double, 2> const& inBox,
                                               ZELUNCover const& inCover, std::int64_t rows)
{
    double const cw = m_cellSize[0], ch = m_cellSize[1];
    if (!(isSmallInteger(m_box.low[0]) && isSmallInteger(m_box.low[1]) && isSmallInteger(m_box.high[0]) &&
          isSmallInteger(m_box.high[1]) && isSmallInteger(cw) && isSmallInteger(ch)))
        return false;
    std::size_t const columns = static_cast<std::size_t>(m_cellsPerRow) + 1;
    // Pixel and world positions of the lattice columns and rows.
    std::vector<double> px(columns), wx(columns), py(static_cast<std::size_t>(rows) + 1),
        wy(static_cast<std::size_t>(rows) + 1);
    for (std::size_t j = 0; j < columns; ++j) {
        double const v = m_box.low[0] + static_cast<double>(j) * cw;
        px[j] = v < m_box.low[0] ? m_box.low[0] : (v > m_box.high[0] ? m_box.high[0] : v);
    }
    for (std::size_t i = 0; i < py.size(); ++i) {
        double const v = m_box.low[1] + static_cast<double>(i) * ch;
        py[i] = v < m_box.low[1] ? m_box.low[1] : (v > m_box.high[1] ? m_box.high[1] : v);
    }
    for (std::size_t j = 0; j < columns; ++j) {
        double y = py[0];
        wx[j] = px[j];
        pixelToWorld(wx[j], y, m_box, outCover);
    }
    for (std::size_t i = 0; i < py.size(); ++i) {
        double x = px[0];
        wy[i] = py[i];
        pixelToWorld(x, wy[i], m_box, outCover);
    }
    ZELUNCoordSystem const& from = outCover.getCoordSystem();
    ZELUNCoordSystem const& to = inCover.getCoordSystem();
    std::vector<double> below(2 * columns), above(2 * columns);
    auto carryRow = [&](std::size_t i, std::vector<double>& row) {
        for (std::size_t j = 0; j < columns; ++j) {
            row[2 * j] = wx[j];
            row[2 * j + 1] = wy[i];
        }
        return from.transform(to, row.data(), columns, 2, nullptr) == kSuccess;
    };
    if (!carryRow(0, below)) return false;
    for (std::size_t i = 0; i < static_cast<std::size_t>(rows); ++i) {
        if (!carryRow(i + 1, above)) return false;
        for (std::size_t j = 0; j + 1 < columns; ++j) {
            if (ZELUNCover(from, wx[j], wy[i], wx[j + 1], wy[i + 1]).status()) return false;
            double const corners[8] = {below[2 * j],     below[2 * j + 1],     below[2 * j + 2], below[2 * j + 3],
                                       above[2 * j + 2], above[2 * j + 3], above[2 * j],     above[2 * j + 1]};
            ZELUNnBox<double, 2> const cell(ZELUNnPoint<double, 2>(px[j], py[i]),
                                            ZELUNnPoint<double, 2>(px[j + 1], py[i + 1]));
            m_matrices.push_back(cellMatrixFromCorners(cell, corners, inBox, inCover));
        }
        below.swap(above);
    }
    return true;
}

MeshReprojectionTransform::MeshReprojectionTransform(MeshReprojectionTransform const& other) = default;
MeshReprojectionTransform& MeshReprojectionTransform::operator=(MeshReprojectionTransform const& other) = default;
MeshReprojectionTransform::~MeshReprojectionTransform() = default;

bool MeshReprojectionTransform::transform(double x, double y, double& outX, double& outY) const
{
    if (!(x >= m_box.low[0] && x <= m_box.high[0] && y >= m_box.low[1] && y <= m_box.high[1])) return false;
    if (m_matrices.empty()) return false;
    // Inside the box and with cells, both quotients lie in [0, cells]; a
    // point on the maximum edge that yields one cell too many uses the last.
    std::int64_t const rows = cellCount(extentY(m_box), m_cellSize[1]);
    auto column = static_cast<std::int64_t>((x - m_box.low[0]) / m_cellSize[0]);
    auto row = static_cast<std::int64_t>((y - m_box.low[1]) / m_cellSize[1]);
    if (column >= m_cellsPerRow) column = m_cellsPerRow - 1;
    if (row >= rows) row = rows - 1;
    auto const index = static_cast<std::size_t>(row * m_cellsPerRow + column);
    if (index >= m_matrices.size()) return false;
    MeshRefinement const& ref = m_refinement;
    if (!ref.roots.empty() && ref.roots[index] >= 0) {
        MeshRefinement::Node const& leaf = ref.leafOf(ref.roots[index], x, y);
        if (leaf.matrix >= 0) {
            applyMatrix(ref.matrices[static_cast<std::size_t>(leaf.matrix)], x, y, outX, outY);
            return true;
        }
        // A pixel centre of an exact leaf answers what the rows write; any
        // other point takes the exact path itself.
        MeshRefinement::ExactLeaf const& e = ref.exactLeaves[static_cast<std::size_t>(leaf.exact)];
        double const c = x - 0.5, r = y - 0.5;
        if (c == std::floor(c) && r == std::floor(r) && c >= static_cast<double>(e.c0) &&
            c < static_cast<double>(e.c1) && r >= static_cast<double>(e.r0) && r < static_cast<double>(e.r1)) {
            std::size_t const k = e.offset + 2 * static_cast<std::size_t>((static_cast<std::int64_t>(r) - e.r0) * (e.c1 - e.c0) +
                                                                          (static_cast<std::int64_t>(c) - e.c0));
            if (std::isnan(ref.positions[k])) return false;
            outX = ref.positions[k];
            outY = ref.positions[k + 1];
            return true;
        }
        return exactPosition(x, y, outX, outY);
    }
    applyMatrix(m_matrices[index], x, y, outX, outY);
    return true;
}

std::int64_t MeshReprojectionTransform::cellRowOf(double y) const
{
    std::int64_t const rows = cellCount(extentY(m_box), m_cellSize[1]);
    auto const row = static_cast<std::int64_t>((y - m_box.low[1]) / m_cellSize[1]);
    return row >= rows ? rows - 1 : row;
}

bool MeshReprojectionTransform::exactPosition(double x, double y, double& outX, double& outY) const
{
    double p[2] = {x, y};
    pixelToWorld(p[0], p[1], m_box, m_outCover);
    unsigned char failed = 1;
    m_outCover.getCoordSystem().transform(m_inCover.getCoordSystem(), p, 1, 2, &failed);
    if (failed) return false;
    wrapLongitude(p[0], m_inCover, turnOf(m_inCover));
    worldToPixel(p[0], p[1], m_inBox, m_inCover);
    outX = p[0];
    outY = p[1];
    return true;
}

// ---- Refinement ----

namespace {

// The five test points of a cell box: its centre and the midpoints of its
// edges, as output pixel positions (x, y pairs).
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

bool finiteMatrix(ZELUNMatrix3D const& m)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (!std::isfinite(m(i, j))) return false;
    return true;
}

}  // namespace

// Carries points of the output through the exact path and builds and tests
// cells; the coordinate layer is called once per batch of points. Inside a
// split top-level cell, every output pixel position is carried once: its raw
// input world position is kept in a table, so a quarter's corners (its
// parent's corners, edge midpoints and centre) and the test points siblings
// share are read back rather than transformed again, and the points on the
// edges a split cell shares with split neighbours are handed on to them.
// The coordinate layer carries each point of a batch on its own, to the same
// bits as alone, so sharing changes no result.
struct MeshReprojectionTransform::Builder {
    // The raw input world positions of output pixel positions, keyed by
    // the positions' bits: an open-addressing table with linear probing, at
    // most half full, emptied for each top-level cell (a slot is in use when
    // it carries the current generation), so one small table serves the
    // whole build and stays in cache.
    struct PointTable {
        struct Slot {
            std::uint64_t kx, ky;
            double x, y;  // the raw input world position
            std::uint32_t generation;
            bool ok;  // false: the point has no position
        };
        std::vector<Slot> slots;
        std::size_t size = 0;
        std::uint32_t generation = 1;

        bool used(Slot const& s) const { return s.generation == generation; }
        std::vector<double> order;  // the positions in use, x, y pairs

        void clear()
        {
            size = 0;
            order.clear();
            if (++generation == 0) {  // wrapped: no slot may look used
                for (Slot& s : slots) s.generation = 0;
                generation = 1;
            }
        }

        static std::size_t hash(std::uint64_t kx, std::uint64_t ky)
        {
            auto mix = [](std::uint64_t h) {
                h ^= h >> 33;
                h *= 0xFF51AFD7ED558CCDull;
                h ^= h >> 33;
                h *= 0xC4CEB9FE1A85EC53ull;
                h ^= h >> 33;
                return h;
            };
            return static_cast<std::size_t>(mix(kx ^ mix(ky)));
        }
        static void bitsOf(double x, double y, std::uint64_t& kx, std::uint64_t& ky)
        {
            std::memcpy(&kx, &x, sizeof x);
            std::memcpy(&ky, &y, sizeof y);
        }
        // Room for `more` insertions without moving the slots.
        void reserve(std::size_t more)
        {
            if (2 * (size + more) <= slots.size()) return;
            std::size_t capacity = slots.empty() ? 1024 : slots.size();
            while (2 * (size + more) > capacity) capacity *= 2;
            std::vector<Slot> old(capacity, Slot{0, 0, 0.0, 0.0, 0, false});
            old.swap(slots);
            for (Slot const& s : old)
                if (used(s)) slots[probe(s.kx, s.ky)] = s;
        }
        // The slot of the key, or the empty one where it belongs.
        std::size_t probe(std::uint64_t kx, std::uint64_t ky) const
        {
            std::size_t const mask = slots.size() - 1;
            std::size_t i = hash(kx, ky) & mask;
            while (used(slots[i]) && !(slots[i].kx == kx && slots[i].ky == ky)) i = (i + 1) & mask;
            return i;
        }
        // The slot of (x, y), added when new (`added` true); reserve first.
        Slot& insert(double x, double y, bool& added)
        {
            std::uint64_t kx, ky;
            bitsOf(x, y, kx, ky);
            Slot& s = slots[probe(kx, ky)];
            added = !used(s);
            if (added) {
                s.kx = kx;
                s.ky = ky;
                s.generation = generation;
                ++size;
                order.push_back(x);
                order.push_back(y);
            }
            return s;
        }
        Slot const& at(double x, double y) const
        {
            std::uint64_t kx, ky;
            bitsOf(x, y, kx, ky);
            return slots[probe(kx, ky)];
        }
    };

    MeshReprojectionTransform& mesh;
    ZELUNCoordSystem const& from;
    ZELUNCoordSystem const& to;
    double turn;
    std::vector<unsigned char> failed, flags;
    PointTable cache;
    std::vector<PointTable::Slot*> pending;
    std::vector<double> batch;

    explicit Builder(MeshReprojectionTransform& m)
        : mesh(m), from(m.m_outCover.getCoordSystem()), to(m.m_inCover.getCoordSystem()), turn(turnOf(m.m_inCover))
    {
    }

    // Output pixel positions (x, y pairs) replaced by their raw input world
    // positions; ok[i] false where a point has none.
    void carryRaw(double* xy, std::size_t n, unsigned char* ok)
    {
        for (std::size_t i = 0; i < n; ++i) pixelToWorld(xy[2 * i], xy[2 * i + 1], mesh.m_box, mesh.m_outCover);
        failed.assign(n, 1);
        from.transform(to, xy, n, 2, failed.data());
        for (std::size_t i = 0; i < n; ++i) ok[i] = !failed[i];
    }

    // A raw input world position as an input pixel position.
    void toInputPixel(double& x, double& y) const
    {
        wrapLongitude(x, mesh.m_inCover, turn);
        worldToPixel(x, y, mesh.m_inBox, mesh.m_inCover);
    }

    // Output pixel positions replaced by their exact input pixel positions;
    // `raw` (when given) receives the input world positions.
    void carry(double* xy, std::size_t n, unsigned char* ok, double* raw = nullptr)
    {
        carryRaw(xy, n, ok);
        if (raw) std::copy(xy, xy + 2 * n, raw);
        for (std::size_t i = 0; i < n; ++i)
            if (ok[i]) toInputPixel(xy[2 * i], xy[2 * i + 1]);
    }

    // Keeps the raw input world position (rx, ry) of the output pixel
    // position (x, y).
    void remember(double x, double y, double rx, double ry, bool ok)
    {
        cache.reserve(1);
        bool added;
        PointTable::Slot& s = cache.insert(x, y, added);
        s.x = rx;
        s.y = ry;
        s.ok = ok;
    }

    // A carried point: output pixel position, raw input world position.
    struct EdgePoint {
        double px, py, rx, ry;
        bool ok;
    };

    void seed(std::vector<EdgePoint> const& points)
    {
        for (EdgePoint const& e : points) remember(e.px, e.py, e.rx, e.ry, e.ok);
    }

    // The cached points on the right and on the top edge of a cell box.
    void edges(ZELUNnBox<double, 2> const& b, std::vector<EdgePoint>& right, std::vector<EdgePoint>& top) const
    {
        right.clear();
        top.clear();
        std::uint64_t hx, hy, kx, ky;
        PointTable::bitsOf(b.high[0], b.high[1], hx, hy);
        for (std::size_t i = 0; i < cache.order.size(); i += 2) {
            double const x = cache.order[i], y = cache.order[i + 1];
            PointTable::bitsOf(x, y, kx, ky);
            if (kx != hx && ky != hy) continue;
            PointTable::Slot const& s = cache.at(x, y);
            EdgePoint const e{x, y, s.x, s.y, s.ok};
            if (kx == hx) right.push_back(e);
            if (ky == hy) top.push_back(e);
        }
    }

    // Carries, in one batch, the output pixel positions not yet cached.
    void prefetch(double const* xy, std::size_t n)
    {
        pending.clear();
        batch.clear();
        cache.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            bool added;
            PointTable::Slot& s = cache.insert(xy[2 * i], xy[2 * i + 1], added);
            if (!added) continue;
            pending.push_back(&s);
            batch.push_back(xy[2 * i]);
            batch.push_back(xy[2 * i + 1]);
        }
        if (pending.empty()) return;
        flags.resize(pending.size());
        carryRaw(batch.data(), pending.size(), flags.data());
        for (std::size_t i = 0; i < pending.size(); ++i) {
            pending[i]->x = batch[2 * i];
            pending[i]->y = batch[2 * i + 1];
            pending[i]->ok = flags[i] != 0;
        }
    }

    PointTable::Slot const& cached(double x, double y) const { return cache.at(x, y); }

    // True when the matrix lies within kMeshMaxError of the exact
    // positions at all five test points (given as exact positions `e` with
    // their flags, beside the output positions `p`).
    static bool passes(ZELUNMatrix3D const& m, double const* p, double const* e, unsigned char const* ok)
    {
        if (!finiteMatrix(m)) return false;
        for (int i = 0; i < 5; ++i) {
            if (!ok[i]) return false;
            double x, y;
            applyMatrix(m, p[2 * i], p[2 * i + 1], x, y);
            if (!(std::fabs(x - e[2 * i]) <= kMeshMaxError && std::fabs(y - e[2 * i + 1]) <= kMeshMaxError))
                return false;
        }
        return true;
    }

    // The corners (low-left, low-right, high-right, high-left) and then the
    // five test points of a cell box, as output pixel positions.
    static void cellPoints(ZELUNnBox<double, 2> const& b, double* p)
    {
        double const c[8] = {b.low[0], b.low[1], b.high[0], b.low[1], b.high[0], b.high[1], b.low[0], b.high[1]};
        std::copy(c, c + 8, p);
        testPoints(b, p + 8);
    }

    // Builds and tests one sub-cell whose points are cached; true with its
    // matrix when it passes.
    bool buildAndTest(ZELUNnBox<double, 2> const& b, ZELUNMatrix3D& m)
    {
        double p[18], e[10], corners[8];
        unsigned char ok[5];
        cellPoints(b, p);
        for (int i = 0; i < 4; ++i) {
            PointTable::Slot const& c = cached(p[2 * i], p[2 * i + 1]);
            if (!c.ok) return false;
            corners[2 * i] = c.x;
            corners[2 * i + 1] = c.y;
        }
        m = cellMatrixFromCorners(b, corners, mesh.m_inBox, mesh.m_inCover);
        for (int i = 0; i < 5; ++i) {
            PointTable::Slot const& t = cached(p[8 + 2 * i], p[9 + 2 * i]);
            ok[i] = t.ok;
            e[2 * i] = t.x;
            e[2 * i + 1] = t.y;
            if (t.ok) toInputPixel(e[2 * i], e[2 * i + 1]);
        }
        return passes(m, p + 8, e, ok);
    }

    // The node of a failed cell box covering the centres [c0, c1) x [r0, r1).
    std::int32_t node(ZELUNnBox<double, 2> const& b, std::int64_t c0, std::int64_t c1, std::int64_t r0,
                      std::int64_t r1)
    {
        MeshRefinement& ref = mesh.m_refinement;
        auto const index = static_cast<std::int32_t>(ref.nodes.size());
        ref.nodes.emplace_back();
        double const w = extentX(b), h = extentY(b);
        if (!(w > 4.0) && !(h > 4.0)) {
            exactLeaf(index, c0, c1, r0, r1);
            return index;
        }
        double const inf = std::numeric_limits<double>::infinity();
        double const splitX = w > 4.0 ? b.low[0] + std::ceil(w / 2) : inf;
        double const splitY = h > 4.0 ? b.low[1] + std::ceil(h / 2) : inf;
        ref.nodes[static_cast<std::size_t>(index)].splitX = splitX;
        ref.nodes[static_cast<std::size_t>(index)].splitY = splitY;
        std::int64_t const cs = splitX < inf ? MeshRefinement::firstCentreAtOrAfter(splitX, c0, c1) : c1;
        std::int64_t const rs = splitY < inf ? MeshRefinement::firstCentreAtOrAfter(splitY, r0, r1) : r1;
        auto childOf = [&](int q, ZELUNnBox<double, 2>& child) {
            bool const right = q & 1, up = q & 2;
            if ((right && !(splitX < inf)) || (up && !(splitY < inf))) return false;
            child = b;
            if (splitX < inf) (right ? child.low[0] : child.high[0]) = std::min(splitX, b.high[0]);
            if (splitY < inf) (up ? child.low[1] : child.high[1]) = std::min(splitY, b.high[1]);
            return true;
        };
        // The points of all quarters in one batch.
        double points[4 * 18];
        std::size_t count = 0;
        for (int q = 0; q < 4; ++q) {
            ZELUNnBox<double, 2> child;
            if (!childOf(q, child)) continue;
            cellPoints(child, points + 18 * count);
            ++count;
        }
        prefetch(points, 9 * count);
        for (int q = 0; q < 4; ++q) {
            bool const right = q & 1, up = q & 2;
            ZELUNnBox<double, 2> child;
            if (!childOf(q, child)) continue;
            ZELUNMatrix3D m;
            std::int32_t k;
            if (buildAndTest(child, m)) {
                k = static_cast<std::int32_t>(ref.nodes.size());
                ref.nodes.emplace_back();
                ref.nodes.back().matrix = static_cast<std::int32_t>(ref.matrices.size());
                ref.matrices.push_back(m);
            } else {
                k = node(child, right ? cs : c0, right ? c1 : cs, up ? rs : r0, up ? r1 : rs);
            }
            ref.nodes[static_cast<std::size_t>(index)].child[q] = k;
        }
        // An axis that is not split sends every point to the low child.
        MeshRefinement::Node& n = ref.nodes[static_cast<std::size_t>(index)];
        if (n.child[1] < 0) n.child[1] = n.child[0];
        if (n.child[2] < 0) n.child[2] = n.child[0];
        if (n.child[3] < 0) n.child[3] = n.child[splitX < inf ? 1 : 2];
        return index;
    }

    // The exact positions of the centres [c0, c1) x [r0, r1) of a leaf.
    void exactLeaf(std::int32_t index, std::int64_t c0, std::int64_t c1, std::int64_t r0, std::int64_t r1)
    {
        MeshRefinement& ref = mesh.m_refinement;
        if (c1 < c0) c1 = c0;
        if (r1 < r0) r1 = r0;
        MeshRefinement::ExactLeaf const leaf{c0, c1, r0, r1, ref.positions.size()};
        std::size_t const n = static_cast<std::size_t>((c1 - c0) * (r1 - r0));
        ref.positions.resize(ref.positions.size() + 2 * n);
        double* xy = ref.positions.data() + leaf.offset;
        for (std::int64_t r = r0; r < r1; ++r)
            for (std::int64_t c = c0; c < c1; ++c) {
                *xy++ = static_cast<double>(c) + 0.5;
                *xy++ = static_cast<double>(r) + 0.5;
            }
        flags.resize(n);
        carry(ref.positions.data() + leaf.offset, n, flags.data());
        for (std::size_t i = 0; i < n; ++i)
            if (!flags[i]) ref.positions[leaf.offset + 2 * i] = std::numeric_limits<double>::quiet_NaN();
        ref.nodes[static_cast<std::size_t>(index)].exact = static_cast<std::int32_t>(ref.exactLeaves.size());
        ref.exactLeaves.push_back(leaf);
    }
};

namespace {

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

// Tests every cell, one batch of test points per row of cells, and splits
// the cells that fail. An edge midpoint two cells share (the same output
// pixel position, bit for bit) is carried once: a row carries its centres,
// its top midpoints and its vertical edges' midpoints, and takes its bottom
// midpoints from the row below.
void MeshReprojectionTransform::refine(std::int64_t rows)
{
    Builder b(*this);
    std::size_t const perRow = static_cast<std::size_t>(m_cellsPerRow);
    double const cw = m_cellSize[0], ch = m_cellSize[1];
    // The cell columns' x ranges (the same on every row) and whether the
    // right edge of column j is the left edge of column j + 1.
    std::vector<double> xlo(perRow), xhi(perRow);
    std::vector<unsigned char> sharedX(perRow, 0);
    for (std::size_t j = 0; j < perRow; ++j) {
        ZELUNnBox<double, 2> const cell = cellBox(0, static_cast<std::int64_t>(j));
        xlo[j] = cell.low[0];
        xhi[j] = cell.high[0];
    }
    for (std::size_t j = 0; j + 1 < perRow; ++j) sharedX[j] = sameBits(xhi[j], xlo[j + 1]);
    // A row's unique test points: bottoms, tops and centres (one per cell),
    // then the vertical edges' midpoints; idx maps each cell's five test
    // points (testPoints order) to them.
    std::size_t vertical = 0;
    std::vector<std::size_t> idx(5 * perRow);
    for (std::size_t j = 0; j < perRow; ++j) {
        idx[5 * j + 1] = j;
        idx[5 * j + 2] = perRow + j;
        idx[5 * j] = 2 * perRow + j;
        idx[5 * j + 3] = (j > 0 && sharedX[j - 1]) ? idx[5 * (j - 1) + 4] : 3 * perRow + vertical++;
        idx[5 * j + 4] = 3 * perRow + vertical++;
    }
    std::size_t const total = 3 * perRow + vertical;
    std::vector<double> p(10 * perRow), q(2 * total), e(2 * total), raw(2 * total), ce(10);
    std::vector<unsigned char> ok(total), cok(5);
    // The pixel centre columns and rows of each cell, as the rows and
    // transform() assign them.
    auto cellColumn = [&](std::int64_t c) -> std::int64_t {
        double const x = static_cast<double>(c) + 0.5;
        if (x > m_box.high[0]) return m_cellsPerRow;
        if (!(x >= m_box.low[0])) return -1;
        auto const qq = static_cast<std::int64_t>((x - m_box.low[0]) / cw);
        return std::min(qq, m_cellsPerRow - 1);
    };
    auto cellRow = [&](std::int64_t r) -> std::int64_t {
        double const y = static_cast<double>(r) + 0.5;
        if (y > m_box.high[1]) return rows;
        if (!(y >= m_box.low[1])) return -1;
        return cellRowOf(y);
    };
    // The first centre at or after cell k along an axis. Rows and columns
    // of a grid are 32-bit counts, so centres beyond 2^32 are never stored.
    constexpr std::int64_t kMaxCentre = std::int64_t(1) << 32;
    auto firstOf = [](std::int64_t k, double origin, double cell, auto const& cellOf) {
        double const v = std::floor(origin + static_cast<double>(k) * cell - 0.5);
        std::int64_t c = !(v > 0.0) ? 0 : v < static_cast<double>(kMaxCentre) ? static_cast<std::int64_t>(v) : kMaxCentre;
        while (c > 0 && cellOf(c - 1) >= k) --c;
        while (c < kMaxCentre && cellOf(c) < k) ++c;
        return c;
    };
    // The cells whose own matrix fails, with their test points (output
    // pixel position, raw input world position), split once all are known.
    struct Failed {
        std::int64_t i, j;
        double points[20];
        bool ok[5];
    };
    std::vector<Failed> failedCells;
    double prevHigh = 0.0;
    for (std::int64_t i = 0; i < rows; ++i) {
        for (std::size_t j = 0; j < perRow; ++j) {
            testPoints(cellBox(i, static_cast<std::int64_t>(j)), &p[10 * j]);
            for (std::size_t k = 0; k < 5; ++k) {
                q[2 * idx[5 * j + k]] = p[10 * j + 2 * k];
                q[2 * idx[5 * j + k] + 1] = p[10 * j + 2 * k + 1];
            }
        }
        ZELUNnBox<double, 2> const first = cellBox(i, 0);
        // The bottom midpoints are the row below's top ones when its top
        // edge is this row's bottom edge; they were moved into place there.
        std::size_t const from = (i > 0 && sameBits(prevHigh, first.low[1])) ? perRow : 0;
        prevHigh = first.high[1];
        std::copy(q.begin() + 2 * from, q.end(), e.begin() + 2 * from);
        b.carry(&e[2 * from], total - from, &ok[from], &raw[2 * from]);
        for (std::size_t j = 0; j < perRow; ++j) {
            std::size_t const index = static_cast<std::size_t>(i) * perRow + j;
            for (std::size_t k = 0; k < 5; ++k) {
                std::size_t const t = idx[5 * j + k];
                ce[2 * k] = e[2 * t];
                ce[2 * k + 1] = e[2 * t + 1];
                cok[k] = ok[t];
            }
            if (Builder::passes(m_matrices[index], &p[10 * j], ce.data(), cok.data())) continue;
            Failed f;
            f.i = i;
            f.j = static_cast<std::int64_t>(j);
            for (std::size_t k = 0; k < 5; ++k) {
                std::size_t const t = idx[5 * j + k];
                double const v[4] = {q[2 * t], q[2 * t + 1], raw[2 * t], raw[2 * t + 1]};
                std::copy(v, v + 4, f.points + 4 * k);
                f.ok[k] = ok[t] != 0;
            }
            failedCells.push_back(f);
        }
        // This row's tops become the next row's bottoms.
        std::copy(q.begin() + 2 * perRow, q.begin() + 4 * perRow, q.begin());
        std::copy(e.begin() + 2 * perRow, e.begin() + 4 * perRow, e.begin());
        std::copy(raw.begin() + 2 * perRow, raw.begin() + 4 * perRow, raw.begin());
        std::copy(ok.begin() + perRow, ok.begin() + 2 * perRow, ok.begin());
    }
    if (failedCells.empty()) return;
    m_refinement.roots.assign(m_matrices.size(), -1);
    // Room for the refinement of typical splits (about 7 to 15 nodes per
    // split cell on real grids) taken at once, for up to 8192 split cells:
    // grown by doubling, the storage would touch about twice the memory it
    // keeps, and fresh pages cost; reserved pages never written are never
    // touched.
    MeshRefinement& ref = m_refinement;
    std::size_t const split = std::min<std::size_t>(failedCells.size(), std::size_t(1) << 13);
    ref.nodes.reserve(24 * split);
    ref.matrices.reserve(18 * split);
    ref.exactLeaves.reserve(6 * split);
    ref.positions.reserve(192 * split);
    // The carried points on the right edge of the last split cell and on
    // the top edge of each column's last split cell.
    std::vector<Builder::EdgePoint> right;
    std::vector<std::vector<Builder::EdgePoint>> top(perRow);
    std::int64_t rightOf = -1;
    std::vector<std::int64_t> topRow(perRow, -1);
    for (Failed const& f : failedCells) {
        auto const j = static_cast<std::size_t>(f.j);
        std::size_t const index = static_cast<std::size_t>(f.i) * perRow + j;
        // The split starts from the points of its left and lower
        // neighbours' shared edges when those were split too.
        b.cache.clear();
        if (j > 0 && rightOf == static_cast<std::int64_t>(index) - 1) b.seed(right);
        if (f.i > 0 && topRow[j] == f.i - 1) b.seed(top[j]);
        for (std::size_t k = 0; k < 5; ++k)
            b.remember(f.points[4 * k], f.points[4 * k + 1], f.points[4 * k + 2], f.points[4 * k + 3], f.ok[k]);
        std::int64_t const c0 = firstOf(f.j, m_box.low[0], cw, cellColumn);
        std::int64_t const c1 = firstOf(f.j + 1, m_box.low[0], cw, cellColumn);
        std::int64_t const r0 = firstOf(f.i, m_box.low[1], ch, cellRow);
        std::int64_t const r1 = firstOf(f.i + 1, m_box.low[1], ch, cellRow);
        ZELUNnBox<double, 2> const cell = cellBox(f.i, f.j);
        ref.roots[index] = b.node(cell, c0, c1, r0, r1);
        b.edges(cell, right, top[j]);
        rightOf = static_cast<std::int64_t>(index);
        topRow[j] = f.i;
    }
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
