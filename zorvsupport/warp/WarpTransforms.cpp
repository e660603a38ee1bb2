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
#include "zorvsupport/warp/CoordOutcome.h"
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
    if (fresh == gPointCache.get()) return;
    try {
        gPointCache.reset(fresh);
    } catch (std::bad_alloc const&) {
        // A thread's first point needs an entry in the thread library's
        // table, which could not be had: the thread has no point yet.
        delete fresh;
    }
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
    return transformAnswer(transformPoint(x, y, outX, outY));
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
    if (long const status = batchStatus(m_outSystem->transform(m_inSystem, xy, count, 2, failed))) return status;
    double const turn = m_inSystem.fullTurn();
    for (std::size_t i = 0; i < count; ++i) {
        if (failed[i]) continue;
        wrapLongitude(xy[2 * i], m_inCover, turn);
        worldToPixel(xy[2 * i], xy[2 * i + 1], m_inBox, m_inCover);
    }
    return kSuccess;
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
