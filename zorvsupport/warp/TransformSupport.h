#pragma once

// Library-internal: the pixel/world conversions, the cell matrices and the
// transform factory shared by reprojection and shading.

#include <cmath>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/platform/ZELUNMatrix3D.h"
#include "zorvsupport/platform/ZELUNVector3D.h"
#include "zorvsupport/platform/ZELUNnBox.h"
#include "zorvsupport/warp/ReprojectMethod.h"
#include "zorvsupport/warp/WarpTransform.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// max - min when max > min, else 0.
inline double extentX(ZELUNnBox<double, 2> const& b)
{
    return b.high[0] > b.low[0] ? b.high[0] - b.low[0] : 0.0;
}
inline double extentY(ZELUNnBox<double, 2> const& b)
{
    return b.high[1] > b.low[1] ? b.high[1] - b.low[1] : 0.0;
}

// One turn of longitude of the cover's system when it is geographic, else 0.
inline double turnOf(ZELUNCover const& cover)
{
    return cover.getCoordSystem().fullTurn();
}

// A longitude carried into a geographic input (turn > 0) that lies outside
// [minX, maxX] of the input cover is moved by whole turns to its nearest
// image: the one inside the cover when there is one. A longitude whose own
// value is nearest stays as it is, bit for bit, so positions just beside a
// cover away from the 180° seam keep their value.
inline void wrapLongitude(double& x, ZELUNCover const& inCover, double turn)
{
    double const lo = inCover.getMinX(), hi = inCover.getMaxX();
    if (!(turn > 0.0) || (x >= lo && x <= hi) || !std::isfinite(x)) return;
    // k turns take x into [lo, lo + turn); one more turn may lie nearer.
    double k = std::floor((x - lo) / turn);
    double v = x - k * turn;
    if (v >= lo + turn) v -= turn, k += 1.0;
    if (v > hi && (lo + turn) - v < v - hi) k += 1.0;
    if (k != 0.0) x = x - k * turn;
}

// True when the columns of a grid on this cover wrap around: a geographic
// cover one turn wide (within 1e-9).
inline bool cyclicColumns(ZELUNCover const& cover)
{
    double const turn = turnOf(cover);
    return turn > 0.0 && std::fabs(cover.getWidth() - turn) <= 1e-9;
}

// The position M * (x, y, 1) in one reciprocal and two products.
inline void applyMatrix(ZELUNCompGeom::ZELUNMatrix3D const& m, double x, double y, double& outX, double& outY)
{
    ZELUNCompGeom::ZELUNVector3D const v = m * ZELUNCompGeom::ZELUNVector3D(x, y, 1.0);
    double const inv = 1.0 / v.z;
    outX = v.x * inv;
    outY = v.y * inv;
}

// In-place conversions of one point, each step stored before the next.
void pixelToWorld(double& x, double& y, ZELUNnBox<double, 2> const& box, ZELUNCover const& cover);
void worldToPixel(double& x, double& y, ZELUNnBox<double, 2> const& box, ZELUNCover const& cover);

// Each value clamped into the limits of its axis.
ZELUNnBox<double, 2> clipBox(ZELUNnBox<double, 2> box, ZELUNnBox<double, 2> const& limits);

// The projective map sending the unit square's corners (0,0), (1,0), (1,1),
// (0,1) to the four points; no test of the denominator.
ZELUNCompGeom::ZELUNMatrix3D squareToQuad(double x0, double y0, double x1, double y1, double x2, double y2,
                                          double x3, double y3);

// The matrix mapping output pixels of one cell onto the input pixels under
// the cell's corners; nine zeros and the status when the corners cannot be
// carried into the input system.
ZELUNCompGeom::ZELUNMatrix3D computeCellMatrix(ZELUNnBox<double, 2> const& cellBox, ZELUNCover const& cellCover,
                                               ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover,
                                               long& status);

// The cell matrix from the four cell corners already carried into input
// world coordinates (p0 low-left, p1 low-right, p2 high-right, p3 high-left).
ZELUNCompGeom::ZELUNMatrix3D cellMatrixFromCorners(ZELUNnBox<double, 2> const& cellBox, double const corners[8],
                                                   ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover);

// The transform of `method` from output pixels to input pixels: point or
// mesh (returned even with a non-zero status), or an empty handle for any
// other method, the status untouched.
boost::shared_ptr<WarpTransform> makeTransform(ReprojectMethod method, ZELUNnBox<double, 2> const& inBox,
                                               ZELUNCover const& inCover, ZELUNnBox<double, 2> const& outBox,
                                               ZELUNCover const& outCover, long& status);

// The entry check of reprojection and shading before anything is built: the
// output cover's own status, then the input's; 0 when both are valid.
inline long coverStatus(ZELUNCover const& outCover, ZELUNCover const& inCover)
{
    return outCover.status() ? outCover.status() : inCover.status();
}

// For the point method, whether the output system has a transformation into
// the input system (made ready on the calling thread, where the point
// method's rows run): 0, or the status the mesh's construction gives for the
// same pair. Nothing to check for the mesh, whose construction tells.
inline long pointPairStatus(ReprojectMethod method, ZELUNCover const& outCover, ZELUNCover const& inCover)
{
    if (method != kPointReprojection) return 0;
    return outCover.getCoordSystem().prepareTransform(inCover.getCoordSystem());
}

// The pixel box [0, d0] x [0, d1] of a grid.
inline ZELUNnBox<double, 2> pixelBoxOf(unsigned d0, unsigned d1)
{
    return ZELUNnBox<double, 2>(ZELUNnPoint<double, 2>(0.0, 0.0),
                                ZELUNnPoint<double, 2>(static_cast<double>(d0), static_cast<double>(d1)));
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
