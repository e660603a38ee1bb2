// The factory below hands each concrete transform to a shared pointer of the
// base, which deletes it through its own, exact type. clang still flags that
// delete because the transforms keep the base's non-virtual destructor; it is
// correct, so the warning is off in this file.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wdelete-non-abstract-non-virtual-dtor"
#endif
#include <cmath>
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
    auto* fresh = new ZELUNArray<double>(2);
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
    double wx = x, wy = y;
    pixelToWorld(wx, wy, *m_outBox, *m_outCover);
    // A thread that never called initCache gets its scratch point here.
    ZELUNArray<double>* point = gPointCache.get();
    if (!point) {
        initCache();
        point = gPointCache.get();
    }
    (*point)[0] = wx;
    (*point)[1] = wy;
    if (m_outSystem->transform(m_inSystem, *point, *point)) return false;
    outX = (*point)[0];
    outY = (*point)[1];
    wrapLongitude(outX, m_inCover, m_inSystem.fullTurn());
    worldToPixel(outX, outY, m_inBox, m_inCover);
    return true;
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
    : m_box(outBox), m_cellSize(cellSize)
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
        return;
    }
    m_matrices.clear();
    buildByCell(outCover, inBox, inCover, rows, status);
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
    ZELUNVector3D const v = m_matrices[index] * ZELUNVector3D(x, y, 1.0);
    double const inv = 1.0 / v.z;
    outX = v.x * inv;
    outY = v.y * inv;
    return true;
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
