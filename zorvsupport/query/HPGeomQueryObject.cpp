#include "zorvsupport/query/HPGeomQueryObject.h"

#include <limits>
#include <utility>
#include <vector>

#include <boost/make_shared.hpp>
#include <boost/pointer_cast.hpp>

#include "zorvsupport/datavector/TDataVector1D.h"
#include "zorvsupport/platform/ZELUNCoordSequence.h"
#include "zorvsupport/platform/ZELUNGMMultiPoint.h"
#include "zorvsupport/query/QueryShortage.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

using namespace HPGEOM_3_13_0;
template <class T>
using sp = boost::shared_ptr<T>;

HPGeomQueryObject::HPGeomQueryObject(sp<Object const> object)
{
    hold(std::move(object));
}

HPGeomQueryObject::HPGeomQueryObject(HPGeomQueryObject const& other) = default;
HPGeomQueryObject::~HPGeomQueryObject() = default;

void HPGeomQueryObject::hold(sp<Object const> object)
{
    m_object = std::move(object);
    m_surface = boost::dynamic_pointer_cast<ZELUNGMGenericSurface const>(m_object);
    m_multiSurface = boost::dynamic_pointer_cast<ZELUNGMMultiSurface const>(m_object);
}

ZELUNType<Polyhedron> HPGeomQueryObject::newCopy() const
{
    return ZELUNType<Polyhedron>(new HPGeomQueryObject(*this));
}

void HPGeomQueryObject::setPointsCoordSystem(ZELUNCoordSystem const& system)
{
    // The object is re-expressed first: a shortage throws with the shape as
    // it was.
    sp<Object const> copy;
    long status = 0;
    if (m_object) {
        sp<ZELUNGMFactory const> factory =
            ZELUNGMFactory::createFactory(boost::make_shared<ZELUNCoordSystem const>(system), kGeomCoord2D);
        if (factory) copy = m_object->copyWithFactory(factory, status);
        detail::throwOnShortage(status);
    }
    Polyhedron::setPointsCoordSystem(system);
    if (m_object) hold(status ? sp<Object const>() : std::move(copy));
}

bool HPGeomQueryObject::ask(sp<Object const> const& other, bool any) const
{
    if (!other) return false;
    // The predicates' statuses give no answer, but a shortage is no "false".
    long status = 0;
    if (any) {
        bool const touches = m_object->intersects(other, status, 0);
        detail::throwOnShortage(status);
        return touches;
    }
    if (m_object->contains(other, status, 0)) return true;
    detail::throwOnShortage(status);
    bool const covered = m_object->covers(other, status, 0);
    detail::throwOnShortage(status);
    return covered;
}

bool HPGeomQueryObject::contains(ZELUNArray<double> const& point) const
{
    if (!m_object) return false;
    if ((m_surface || m_multiSurface) && point.size() >= 2) {
        // The surface's own test, in x and y alone.
        ZELUNVec3<double> const v(point[0], point[1], std::numeric_limits<double>::infinity());
        long status = 0;
        return m_surface ? m_surface->containsPoint(v, status) : m_multiSurface->containsPoint(v, status);
    }
    sp<ZELUNGMFactory const> const factory = m_object->getFactory();
    if (!factory) return false;
    long status = 0;
    sp<Object const> made = factory->createPoint(point, status, false, 0);
    return !status && ask(made, false);
}

bool HPGeomQueryObject::contains(ZELUNVec3<double> const& vector) const
{
    ZELUNArray<double> point(3);
    point[0] = vector.x;
    point[1] = vector.y;
    point[2] = vector.z;
    return contains(point);
}

sp<ZELUNGMGenericObject const> HPGeomQueryObject::multiPointOf(ZELUNArray<ZELUNArray<double>> const& points) const
{
    sp<ZELUNGMFactory const> const factory = m_object->getFactory();
    if (!factory) return {};
    std::vector<sp<ZELUNGMPoint const>> made;
    made.reserve(points.size());
    long status = 0;
    for (ZELUNArray<double> const& p : points) {
        made.push_back(factory->createPoint(p, status, false, 0));
        if (status) return {};
    }
    sp<Object const> multi = factory->createMultiPoint(made, status, false, 0);
    return status ? sp<Object const>() : multi;
}

bool HPGeomQueryObject::contains(ZELUNArray<ZELUNArray<double>> const& points) const
{
    return m_object && !points.empty() && ask(multiPointOf(points), false);
}

bool HPGeomQueryObject::interacts(ZELUNArray<ZELUNArray<double>> const& points) const
{
    return m_object && !points.empty() && ask(multiPointOf(points), true);
}

ZELUNArray<ZELUNArray<double>> HPGeomQueryObject::pointsOf(TDataVector1D<TDataType<11>> const& vectors)
{
    auto const* v = static_cast<ZELUNVec3<double> const*>(vectors.getConstDataPtr());
    ZELUNArray<ZELUNArray<double>> points(vectors.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i].resize(3);
        points[i][0] = v[i].x;
        points[i][1] = v[i].y;
        points[i][2] = v[i].z;
    }
    return points;
}

bool HPGeomQueryObject::contains(TDataVector1D<TDataType<11>> const& vectors) const
{
    return contains(pointsOf(vectors));
}

bool HPGeomQueryObject::interacts(TDataVector1D<TDataType<11>> const& vectors) const
{
    return interacts(pointsOf(vectors));
}

sp<ZELUNGMGenericObject const> HPGeomQueryObject::rectangleOf(ZELUNnBox<double, 3> const& box, bool flag) const
{
    sp<ZELUNGMFactory const> const factory = m_object->getFactory();
    if (!factory) return {};
    double const x0 = box.low[0], y0 = box.low[1], x1 = box.high[0], y1 = box.high[1];
    double const corners[5][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
    ZELUNArray<ZELUNArray<double>> ring(5);
    for (int i = 0; i < 5; ++i) {
        ring[i].resize(2);
        ring[i][0] = corners[i][0];
        ring[i][1] = corners[i][1];
    }
    auto sequence = boost::make_shared<ZELUNCoordSequence>();
    sequence->setCoords(ring, kGeomCoord2D, true);
    long status = 0;
    sp<ZELUNGMOrientableRing const> outer = factory->createRing(sequence, kGeomCurveLinear, status, flag, 0);
    if (status) return {};
    sp<ZELUNGMOrientableSurfaceBoundary const> boundary = factory->createSurfaceBoundary(
        outer, sp<std::vector<sp<ZELUNGMOrientableRing const>> const>(), status, flag, 0);
    if (status) return {};
    sp<Object const> surface = factory->createSurface(boundary, kGeomSurfacePlanar, status, flag, 0);
    return status ? sp<Object const>() : surface;
}

bool HPGeomQueryObject::contains(ZELUNnBox<double, 3> const& box) const
{
    return m_object && ask(rectangleOf(box, false), false);
}

bool HPGeomQueryObject::interacts(ZELUNnBox<double, 3> const& box) const
{
    return m_object && ask(rectangleOf(box, true), true);
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
