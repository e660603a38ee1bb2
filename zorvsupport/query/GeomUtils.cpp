#include "zorvsupport/query/GeomUtils.h"

#include <boost/make_shared.hpp>

#include "zorvsupport/StatusCodes.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace GeomUtils {

using namespace HPGEOM_3_13_0;
using ZELUNCompGeom::ZELUNPolygonPrimitive;
using ZELUNCompGeom::ZELUNVector2D;
template <class T>
using sp = boost::shared_ptr<T>;

namespace {

// The multi-point of the points x, y, z that `next` gives, one at a time,
// until it answers false.
template <class Next>
sp<ZELUNGMMultiPoint> multiPointOf(ZELUNGMFactory const& factory, std::size_t count, Next next, long& status)
{
    std::vector<sp<ZELUNGMPoint const>> points;
    points.reserve(count);
    ZELUNPoint<double> p;
    for (std::size_t i = 0; i < count; ++i) {
        if (!next(i, p, status)) return {};
        points.push_back(factory.createPoint(p, status, false, 0));
        if (status) return {};
    }
    return factory.createMultiPoint(points, status, false, 0);
}

}  // namespace

void vector2DToZELUNArray(ZELUNArray<ZELUNVector2D> const& ring, ZELUNArray<ZELUNArray<double>>& points)
{
    points.resize(ring.size());
    for (std::size_t i = 0; i < ring.size(); ++i) {
        points[i].resize(2);
        points[i][0] = ring[i].x;
        points[i][1] = ring[i].y;
    }
}

sp<ZELUNCoordSequence> compGeomToHPGeom(ZELUNArray<ZELUNVector2D> const& ring)
{
    auto sequence = boost::make_shared<ZELUNCoordSequence>();
    ZELUNArray<ZELUNArray<double>> points;
    vector2DToZELUNArray(ring, points);
    sequence->setCoords(points, kGeomCoord2D, true);  // 2-value points: it cannot fail
    return sequence;
}

sp<ZELUNGMOrientableSurface> compGeomToHPGeom(ZELUNGMFactory const& factory, ZELUNPolygonPrimitive const& polygon,
                                              long& status)
{
    // Each step stops at a failure, so a later success cannot hide it.
    sp<ZELUNGMOrientableRing const> outer =
        factory.createRing(compGeomToHPGeom(polygon.getPoints(0)), kGeomCurveLinear, status, false, 0);
    if (status) return {};
    auto holes = boost::make_shared<std::vector<sp<ZELUNGMOrientableRing const>>>();
    holes->reserve(polygon.getNumHoles());
    for (unsigned i = 1; i <= polygon.getNumHoles(); ++i) {
        holes->push_back(factory.createRing(compGeomToHPGeom(polygon.getPoints(i)), kGeomCurveLinear, status, false, 0));
        if (status) return {};
    }
    sp<ZELUNGMOrientableSurfaceBoundary const> boundary =
        factory.createSurfaceBoundary(outer, holes, status, false, 0);
    if (status) return {};
    return factory.createSurface(boundary, kGeomSurfacePlanar, status, true, 0);
}

sp<ZELUNGMMultiSurface> compGeomToHPGeom(ZELUNGMFactory const& factory, std::vector<ZELUNPolygonPrimitive> const& polygons,
                                         long& status)
{
    std::vector<sp<ZELUNGMOrientableSurface const>> surfaces;
    surfaces.reserve(polygons.size());
    for (ZELUNPolygonPrimitive const& polygon : polygons) {
        surfaces.push_back(compGeomToHPGeom(factory, polygon, status));
        if (status) return {};
    }
    return factory.createMultiSurface(surfaces, status, false, 0);
}

sp<ZELUNGMMultiPoint> createMultiPoint(ZELUNGMFactory const& factory, ZELUNArray<ZELUNArray<double>> const& points,
                                       long& status)
{
    auto next = [&points](std::size_t i, ZELUNPoint<double>& p, long& st) {
        ZELUNArray<double> const& v = points[i];
        if (v.size() < 3) {
            st = kErrBadPointDimension;
            return false;
        }
        p = ZELUNPoint<double>(v[0], v[1], v[2]);
        return true;
    };
    return multiPointOf(factory, points.size(), next, status);
}

sp<ZELUNGMMultiPoint> createMultiPoint(ZELUNGMFactory const& factory, std::vector<ZELUNVec3<double>>::const_iterator first,
                                       std::vector<ZELUNVec3<double>>::const_iterator last, long& status)
{
    auto next = [first](std::size_t i, ZELUNPoint<double>& p, long&) {
        ZELUNVec3<double> const& v = first[static_cast<std::ptrdiff_t>(i)];
        p = ZELUNPoint<double>(v.x, v.y, v.z);
        return true;
    };
    return multiPointOf(factory, static_cast<std::size_t>(last - first), next, status);
}

ExtrudedPoly areaGeom2DToExtrudedPoly(ZELUNAreaGeometry const& area)
{
    std::vector<double> identity(16, 0.0);
    identity[0] = identity[5] = identity[10] = identity[15] = 1.0;
    return ExtrudedPoly(area.getPoints(), identity, true);
}

}  // namespace GeomUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
