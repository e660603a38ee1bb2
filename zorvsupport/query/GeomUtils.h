#pragma once

#include <vector>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNAreaGeometry.h"
#include "zorvsupport/platform/ZELUNCoordSequence.h"
#include "zorvsupport/platform/ZELUNGMFactory.h"
#include "zorvsupport/platform/ZELUNGMMultiPoint.h"
#include "zorvsupport/platform/ZELUNGMMultiSurface.h"
#include "zorvsupport/platform/ZELUNGMOrientableSurface.h"
#include "zorvsupport/platform/ZELUNPolygonPrimitive.h"
#include "zorvsupport/platform/ZELUNVec3.h"
#include "zorvsupport/platform/ZELUNVector2D.h"
#include "zorvsupport/query/ExtrudedPoly.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Conversions from 2-D rings and polygons, and from point lists, into the
// high-precision geometry objects that HPGeomQueryObject asks. Factory
// failures come back in `status`; each builder stops at the first one and
// returns null.
namespace GeomUtils {

// points becomes one 2-value point (x, y) per ring vertex; entries beyond
// the ring's count are dropped, the others overwritten.
ZORV_EXPORT void vector2DToZELUNArray(ZELUNArray<ZELUNCompGeom::ZELUNVector2D> const& ring,
                                      ZELUNArray<ZELUNArray<double>>& points);

// The ring's vertices as a 2-D sequence, closed when open.
ZORV_EXPORT boost::shared_ptr<HPGEOM_3_13_0::ZELUNCoordSequence> compGeomToHPGeom(
    ZELUNArray<ZELUNCompGeom::ZELUNVector2D> const& ring);

// The surface of the polygon: its outer ring, then its holes in order, the
// boundary (with an empty hole list when there are none), the surface.
ZORV_EXPORT boost::shared_ptr<HPGEOM_3_13_0::ZELUNGMOrientableSurface> compGeomToHPGeom(
    HPGEOM_3_13_0::ZELUNGMFactory const& factory, ZELUNCompGeom::ZELUNPolygonPrimitive const& polygon, long& status);

// The multi-surface of the polygons' surfaces.
ZORV_EXPORT boost::shared_ptr<HPGEOM_3_13_0::ZELUNGMMultiSurface> compGeomToHPGeom(
    HPGEOM_3_13_0::ZELUNGMFactory const& factory, std::vector<ZELUNCompGeom::ZELUNPolygonPrimitive> const& polygons,
    long& status);

// The multi-point of x, y and z of each point. A point of fewer than 3
// values gives kErrBadPointDimension before the factory sees it. An empty
// list gives the factory's multi-point of no points.
ZORV_EXPORT boost::shared_ptr<HPGEOM_3_13_0::ZELUNGMMultiPoint> createMultiPoint(
    HPGEOM_3_13_0::ZELUNGMFactory const& factory, ZELUNArray<ZELUNArray<double>> const& points, long& status);
ZORV_EXPORT boost::shared_ptr<HPGEOM_3_13_0::ZELUNGMMultiPoint> createMultiPoint(
    HPGEOM_3_13_0::ZELUNGMFactory const& factory, std::vector<ZELUNVec3<double>>::const_iterator first,
    std::vector<ZELUNVec3<double>>::const_iterator last, long& status);

// The 2-D prism over the area's ring (x and y of each vertex), with the
// identity matrix: it contains a position whatever its z.
ZORV_EXPORT ExtrudedPoly areaGeom2DToExtrudedPoly(ZELUNAreaGeometry const& area);

}  // namespace GeomUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
