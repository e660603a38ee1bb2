// The high-precision geometry objects: factory, coordinate sequence, the
// object kinds, their engine forms and their point tests.

#include <cmath>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include <boost/make_shared.hpp>
#include <boost/pointer_cast.hpp>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ExactPredicates.h"
#include "zorvsupport/platform/GeosEngine.h"
#include "zorvsupport/platform/ZELUNCoordSequence.h"
#include "zorvsupport/platform/ZELUNGMFactory.h"
#include "zorvsupport/platform/ZELUNGMMultiPoint.h"
#include "zorvsupport/platform/ZELUNGMMultiSurface.h"
#include "zorvsupport/platform/ZELUNGMOrientableSurface.h"

namespace HPGEOM_3_13_0 {

using namespace ZORV_3_13_0_::DataSet;
using ZELUNCompGeom::RingLocator;
using ZELUNCompGeom::ZELUNVector2D;
template <class T>
using sp = boost::shared_ptr<T>;
using Kind = ZELUNGMGenericObject::Kind;

namespace {

// Whether all n vertices (x, y at xy[i * stride]) lie on one line, by exact
// orientation; also when they all coincide.
bool collinear(double const* xy, std::size_t n, std::size_t stride)
{
    std::size_t other = 1;
    while (other < n && xy[other * stride] == xy[0] && xy[other * stride + 1] == xy[1]) ++other;
    for (std::size_t i = other + 1; i < n; ++i)
        if (ZELUNCompGeom::Exact::orient(xy[0], xy[1], xy[other * stride], xy[other * stride + 1], xy[i * stride],
                                         xy[i * stride + 1]))
            return false;
    return true;
}

bool coincide(double const* xy, std::size_t n)
{
    for (std::size_t i = 1; i < n; ++i)
        if (xy[2 * i] != xy[0] || xy[2 * i + 1] != xy[1]) return false;
    return true;
}

// Coordinates of `from` need no conversion into `to`.
bool sameSystem(ZELUNCoordSystem const& from, ZELUNCoordSystem const& to)
{
    return from == to || from.isEqual(to, true);
}

// Converts the points from `from` into the factory's system (list form, all
// or nothing); false with the status when that fails.
bool convertInto(ZELUNCoordSystem const& from, ZELUNGMFactory const& factory, ZELUNArray<ZELUNArray<double>>& points,
                 long& status)
{
    status = 0;
    if (sameSystem(from, factory.getCoordSystem())) return true;
    ZELUNArray<ZELUNArray<double>> out;
    status = from.transform(factory.getCoordSystem(), points, out);
    if (status) return false;
    points = std::move(out);
    return true;
}

ZELUNArray<ZELUNArray<double>> pointsOf(ZELUNCoordSequence const& sequence)
{
    unsigned const d = sequence.getCoordDimType() == kGeomCoord3D ? 3 : 2;
    ZELUNArray<ZELUNArray<double>> points(sequence.getCount());
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i].resize(d);
        for (unsigned a = 0; a < d; ++a) points[i][a] = sequence.data()[i * d + a];
    }
    return points;
}

}  // namespace

// --- Coordinate sequences -------------------------------------------------------

long ZELUNCoordSequence::setCoords(ZELUNArray<ZELUNArray<double>> const& points, ZELUNGeomCoordDimType type,
                                   bool close)
{
    if (type != kGeomCoord2D && type != kGeomCoord3D) return kErrGeomUnsupported;
    std::size_t const d = type == kGeomCoord3D ? 3 : 2;
    for (ZELUNArray<double> const& p : points)
        if (p.size() < d) return kErrBadCoordPoint;
    std::vector<double> coords;
    coords.reserve(d * (points.size() + 1));
    for (ZELUNArray<double> const& p : points) coords.insert(coords.end(), p.data(), p.data() + d);
    if (close && !points.empty()) {
        std::size_t const last = coords.size() - d;
        bool differs = false;
        for (std::size_t a = 0; a < d; ++a) differs = differs || !(coords[last + a] == coords[a]);
        if (differs)
            for (std::size_t a = 0; a < d; ++a) coords.push_back(coords[a]);
    }
    m_coords.swap(coords);
    m_type = type;
    return 0;
}

double ZELUNCoordSequence::getCoord(std::size_t i, unsigned axis) const
{
    if (i >= getCount() || axis >= dims()) return std::numeric_limits<double>::quiet_NaN();
    return m_coords[i * dims() + axis];
}

// --- Engine forms ---------------------------------------------------------------

// Builds the engine form of an object from x, y of its vertices, taken in the
// order collect() gives them (so the vertices may first be converted).
struct GeosForms {
    static std::uint64_t formId(ZELUNGMGenericObject const& o)
    {
        std::uint64_t id = o.m_formId.load(std::memory_order_acquire);
        if (id) return id;
        std::uint64_t fresh = ZELUNGeos::newFormId();
        return o.m_formId.compare_exchange_strong(id, fresh, std::memory_order_acq_rel) ? fresh : id;
    }

    static void collect(ZELUNCoordSequence const& s, std::vector<double>& xy)
    {
        std::size_t const d = s.getCoordDimType() == kGeomCoord3D ? 3 : 2;
        for (std::size_t i = 0; i < s.getCount(); ++i) {
            xy.push_back(s.data()[i * d]);
            xy.push_back(s.data()[i * d + 1]);
        }
    }

    static void collect(ZELUNGMGenericObject const& o, std::vector<double>& xy)
    {
        switch (o.getKind()) {
        case Kind::kPoint: {
            auto const& p = static_cast<ZELUNGMPoint const&>(o);
            xy.push_back(p.getX());
            xy.push_back(p.getY());
            break;
        }
        case Kind::kMultiPoint: {
            auto const& m = static_cast<ZELUNGMMultiPoint const&>(o);
            xy.reserve(xy.size() + 2 * m.getNumPoints());
            for (std::size_t i = 0; i < m.getNumPoints(); ++i) {
                xy.push_back(m.getCoords(i).x);
                xy.push_back(m.getCoords(i).y);
            }
            break;
        }
        case Kind::kRing:
            collect(static_cast<ZELUNGMOrientableRing const&>(o).getCoordSequence(), xy);
            break;
        case Kind::kBoundary: {
            auto const& b = static_cast<ZELUNGMOrientableSurfaceBoundary const&>(o);
            collect(b.getOuterRing(), xy);
            for (unsigned i = 0; i < b.getNumHoles(); ++i) collect(b.getHole(i), xy);
            break;
        }
        case Kind::kSurface:
            collect(static_cast<ZELUNGMOrientableSurface const&>(o).getBoundary(), xy);
            break;
        case Kind::kMultiSurface: {
            auto const& m = static_cast<ZELUNGMMultiSurface const&>(o);
            for (std::size_t i = 0; i < m.getNumSurfaces(); ++i) collect(m.getSurface(i), xy);
            break;
        }
        case Kind::kOther:
            break;
        }
    }

    static GEOSCoordSequence* sequence(GEOSContextHandle_t c, double const* xy, std::size_t n)
    {
        return GEOSCoordSeq_copyFromBuffer_r(c, xy, static_cast<unsigned>(n), 0, 0);
    }

    // A line string through the n vertices, or a point when they coincide.
    static GEOSGeometry* linework(GEOSContextHandle_t c, double const* xy, std::size_t n)
    {
        if (coincide(xy, n)) return GEOSGeom_createPointFromXY_r(c, xy[0], xy[1]);
        GEOSCoordSequence* s = sequence(c, xy, n);
        return s ? GEOSGeom_createLineString_r(c, s) : nullptr;
    }

    static GEOSGeometry* linearRing(GEOSContextHandle_t c, double const* xy, std::size_t n)
    {
        GEOSCoordSequence* s = sequence(c, xy, n);
        return s ? GEOSGeom_createLinearRing_r(c, s) : nullptr;
    }

    static void destroyAll(GEOSContextHandle_t c, std::vector<GEOSGeometry*> const& parts)
    {
        for (GEOSGeometry* g : parts)
            if (g) GEOSGeom_destroy_r(c, g);
    }

    // A collection of the parts, which it owns; null when a part is missing.
    // The engine takes the parts even when it fails, so they are not
    // destroyed here then.
    static GEOSGeometry* collection(GEOSContextHandle_t c, int type, std::vector<GEOSGeometry*>& parts)
    {
        for (GEOSGeometry* g : parts)
            if (!g) {
                destroyAll(c, parts);
                return nullptr;
            }
        if (parts.empty()) return GEOSGeom_createEmptyCollection_r(c, type);
        return GEOSGeom_createCollection_r(c, type, parts.data(), static_cast<unsigned>(parts.size()));
    }

    static std::size_t countOf(ZELUNGMOrientableRing const& r) { return r.getCoordSequence().getCount(); }

    // The surface: a polygon with holes, or the outer ring's linework when
    // that ring is collinear (its holes are then skipped).
    static GEOSGeometry* surface(GEOSContextHandle_t c, ZELUNGMOrientableSurfaceBoundary const& b, double const*& xy)
    {
        std::size_t const n = countOf(b.getOuterRing());
        double const* outer = xy;
        xy += 2 * n;
        double const* holes = xy;
        for (unsigned i = 0; i < b.getNumHoles(); ++i) xy += 2 * countOf(b.getHole(i));
        if (collinear(outer, n, 2)) return linework(c, outer, n);
        // Made before the shell, so that running out of memory here leaks
        // nothing.
        std::vector<GEOSGeometry*> inner(b.getNumHoles());
        GEOSGeometry* shell = linearRing(c, outer, n);
        if (!shell) return nullptr;
        for (unsigned i = 0; i < b.getNumHoles(); ++i) {
            inner[i] = linearRing(c, holes, countOf(b.getHole(i)));
            holes += 2 * countOf(b.getHole(i));
        }
        for (GEOSGeometry* g : inner)
            if (!g) {
                destroyAll(c, inner);
                GEOSGeom_destroy_r(c, shell);
                return nullptr;
            }
        // The polygon owns its rings, even when the engine fails to make it.
        return GEOSGeom_createPolygon_r(c, shell, inner.data(), static_cast<unsigned>(inner.size()));
    }

    static GEOSGeometry* build(GEOSContextHandle_t c, ZELUNGMGenericObject const& o, double const*& xy)
    {
        switch (o.getKind()) {
        case Kind::kPoint:
            xy += 2;
            return GEOSGeom_createPointFromXY_r(c, xy[-2], xy[-1]);
        case Kind::kMultiPoint: {
            auto const& m = static_cast<ZELUNGMMultiPoint const&>(o);
            std::vector<GEOSGeometry*> parts(m.getNumPoints());
            for (GEOSGeometry*& g : parts) {
                g = GEOSGeom_createPointFromXY_r(c, xy[0], xy[1]);
                xy += 2;
            }
            return collection(c, GEOS_MULTIPOINT, parts);
        }
        case Kind::kRing: {
            std::size_t const n = countOf(static_cast<ZELUNGMOrientableRing const&>(o));
            xy += 2 * n;
            return collinear(xy - 2 * n, n, 2) ? linework(c, xy - 2 * n, n) : linearRing(c, xy - 2 * n, n);
        }
        case Kind::kBoundary: {
            auto const& b = static_cast<ZELUNGMOrientableSurfaceBoundary const&>(o);
            std::vector<GEOSGeometry*> parts(1 + b.getNumHoles());
            for (std::size_t i = 0; i < parts.size(); ++i) {
                std::size_t const n = countOf(i ? b.getHole(static_cast<unsigned>(i - 1)) : b.getOuterRing());
                GEOSCoordSequence* s = sequence(c, xy, n);
                parts[i] = s ? GEOSGeom_createLineString_r(c, s) : nullptr;
                xy += 2 * n;
            }
            return collection(c, GEOS_MULTILINESTRING, parts);
        }
        case Kind::kSurface:
            return surface(c, static_cast<ZELUNGMOrientableSurface const&>(o).getBoundary(), xy);
        case Kind::kMultiSurface: {
            auto const& m = static_cast<ZELUNGMMultiSurface const&>(o);
            std::vector<GEOSGeometry*> parts(m.getNumSurfaces());
            bool polygons = true;
            for (std::size_t i = 0; i < parts.size(); ++i) {
                parts[i] = surface(c, m.getSurface(i).getBoundary(), xy);
                polygons = polygons && parts[i] && GEOSGeomTypeId_r(c, parts[i]) == GEOS_POLYGON;
            }
            return collection(c, polygons ? GEOS_MULTIPOLYGON : GEOS_GEOMETRYCOLLECTION, parts);
        }
        case Kind::kOther:
            break;
        }
        return nullptr;
    }

    // The object's own form, for the thread's prepared cache.
    static GEOSGeometry* buildOwn(GEOSContextHandle_t c, void const* source)
    {
        auto const& o = *static_cast<ZELUNGMGenericObject const*>(source);
        std::vector<double> xy;
        collect(o, xy);
        double const* cursor = xy.data();
        return build(c, o, cursor);
    }

    enum Predicate { kContains, kCovers, kIntersects };

    // Points against a polygon: located through the surface's own exact
    // locator, with the engine's rules (contains: none outside and one
    // inside; covers: none outside; intersects: one not outside).
    static bool locatePoints(ZELUNGMOrientableSurface const& s, double const* xy, std::size_t n, Predicate predicate)
    {
        bool interior = false;
        for (std::size_t i = 0; i < n; ++i) {
            RingLocator::Location const where = s.m_locator.locate(xy[2 * i], xy[2 * i + 1]);
            if (predicate == kIntersects) {
                if (where != RingLocator::kExterior) return true;
                continue;
            }
            if (where == RingLocator::kExterior) return false;
            interior = interior || where == RingLocator::kInterior;
        }
        return predicate == kCovers ? n > 0 : interior;
    }

    // A predicate; memory running out on the way is kErrOutOfMemory.
    static bool evaluate(ZELUNGMGenericObject const& self, ZELUNGMGenericObject const* other, Predicate predicate,
                         long& status)
    {
        try {
            return evaluateOrThrow(self, other, predicate, status);
        } catch (std::bad_alloc const&) {
            status = kErrOutOfMemory;
            return false;
        }
    }

    static bool evaluateOrThrow(ZELUNGMGenericObject const& self, ZELUNGMGenericObject const* other,
                                Predicate predicate, long& status)
    {
        status = kErrGeomNullArgument;
        if (!other || !self.getFactory() || !other->getFactory()) return false;
        status = kErrGeomUnsupported;
        if (self.getKind() == Kind::kOther || other->getKind() == Kind::kOther) return false;
        std::vector<double> xy;
        collect(*other, xy);
        ZELUNCoordSystem const& from = other->getFactory()->getCoordSystem();
        ZELUNCoordSystem const& to = self.getFactory()->getCoordSystem();
        if (other->getFactory() != self.getFactory() && !sameSystem(from, to)) {
            status = from.transform(to, xy.data(), xy.size() / 2, 2, nullptr);
            if (status) return false;
        }
        // Points against a polygon need no engine geometry: its locator gives
        // the engine's answer at a fraction of the cost.
        if (self.getKind() == Kind::kSurface && (other->getKind() == Kind::kPoint || other->getKind() == Kind::kMultiPoint)) {
            auto const& s = static_cast<ZELUNGMOrientableSurface const&>(self);
            if (!s.getBoundary().getOuterRing().isCollinear()) {
                status = 0;
                return locatePoints(s, xy.data(), xy.size() / 2, predicate);
            }
        }
        ZELUNGeos::clearShortage();
        GEOSPreparedGeometry const* prepared = ZELUNGeos::threadPrepared(formId(self), buildOwn, &self);
        if (!prepared) {
            status = ZELUNGeos::failure();
            return false;
        }
        GEOSContextHandle_t const c = ZELUNGeos::threadContext();
        double const* cursor = xy.data();
        GEOSGeometry* g = build(c, *other, cursor);
        if (!g) {
            status = ZELUNGeos::failure();
            return false;
        }
        char const answer = predicate == kContains ? GEOSPreparedContains_r(c, prepared, g)
                            : predicate == kCovers ? GEOSPreparedCovers_r(c, prepared, g)
                                                   : GEOSPreparedIntersects_r(c, prepared, g);
        GEOSGeom_destroy_r(c, g);
        if (answer != 0 && answer != 1) {
            status = ZELUNGeos::failure();
            return false;
        }
        status = 0;
        return answer == 1;
    }
};

// --- Objects --------------------------------------------------------------------

ZELUNGMGenericObject::ZELUNGMGenericObject(sp<ZELUNGMFactory const> factory)
    : ZELUNGMGenericObject(std::move(factory), Kind::kOther)
{
}

ZELUNGMGenericObject::ZELUNGMGenericObject(sp<ZELUNGMFactory const> factory, Kind kind)
    : m_factory(std::move(factory)), m_kind(kind)
{
}

ZELUNGMGenericObject::~ZELUNGMGenericObject() = default;

bool ZELUNGMGenericObject::contains(sp<ZELUNGMGenericObject const> other, long& status, unsigned) const
{
    return GeosForms::evaluate(*this, other.get(), GeosForms::kContains, status);
}

bool ZELUNGMGenericObject::covers(sp<ZELUNGMGenericObject const> other, long& status, unsigned) const
{
    return GeosForms::evaluate(*this, other.get(), GeosForms::kCovers, status);
}

bool ZELUNGMGenericObject::intersects(sp<ZELUNGMGenericObject const> other, long& status, unsigned) const
{
    return GeosForms::evaluate(*this, other.get(), GeosForms::kIntersects, status);
}

sp<ZELUNGMGenericObject const> ZELUNGMGenericObject::copyWithFactory(sp<ZELUNGMFactory const>, long& status) const
{
    status = kErrGeomUnsupported;
    return {};
}

ZELUNGMPoint::ZELUNGMPoint(ZELUNGMFactory::Key, sp<ZELUNGMFactory const> factory, double x, double y, double z)
    : ZELUNGMGenericObject(std::move(factory), Kind::kPoint), m_x(x), m_y(y), m_z(z)
{
}

ZELUNGMPoint::~ZELUNGMPoint() = default;

sp<ZELUNGMGenericObject const> ZELUNGMPoint::copyWithFactory(sp<ZELUNGMFactory const> factory, long& status) const
{
    status = kErrGeomNullArgument;
    if (!factory) return {};
    ZELUNArray<ZELUNArray<double>> points(1);
    points[0].resize(3);
    points[0][0] = m_x;
    points[0][1] = m_y;
    points[0][2] = m_z;
    if (!convertInto(getFactory()->getCoordSystem(), *factory, points, status)) return {};
    return factory->createPoint(points[0], status, false, 0);
}

ZELUNGMMultiPoint::ZELUNGMMultiPoint(sp<ZELUNGMFactory const> factory, std::vector<ZELUNVec3<double>> points)
    : ZELUNGMGenericObject(std::move(factory), Kind::kMultiPoint), m_points(std::move(points))
{
}

ZELUNGMMultiPoint::~ZELUNGMMultiPoint() = default;

sp<ZELUNGMGenericObject const> ZELUNGMMultiPoint::copyWithFactory(sp<ZELUNGMFactory const> factory,
                                                                  long& status) const
{
    status = kErrGeomNullArgument;
    if (!factory) return {};
    ZELUNArray<ZELUNArray<double>> points(m_points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i].resize(3);
        points[i][0] = m_points[i].x;
        points[i][1] = m_points[i].y;
        points[i][2] = m_points[i].z;
    }
    if (!convertInto(getFactory()->getCoordSystem(), *factory, points, status)) return {};
    std::vector<sp<ZELUNGMPoint const>> made;
    made.reserve(points.size());
    for (ZELUNArray<double> const& p : points) {
        made.push_back(factory->createPoint(p, status, false, 0));
        if (status) return {};
    }
    return factory->createMultiPoint(made, status, false, 0);
}

ZELUNGMOrientableRing::ZELUNGMOrientableRing(sp<ZELUNGMFactory const> factory, sp<ZELUNCoordSequence const> points,
                                             bool collinear)
    : ZELUNGMGenericObject(std::move(factory), Kind::kRing), m_points(std::move(points)), m_collinear(collinear)
{
}

ZELUNGMOrientableRing::~ZELUNGMOrientableRing() = default;

sp<ZELUNGMGenericObject const> ZELUNGMOrientableRing::copyWithFactory(sp<ZELUNGMFactory const> factory,
                                                                      long& status) const
{
    status = kErrGeomNullArgument;
    if (!factory) return {};
    ZELUNArray<ZELUNArray<double>> points = pointsOf(*m_points);
    if (!convertInto(getFactory()->getCoordSystem(), *factory, points, status)) return {};
    auto sequence = boost::make_shared<ZELUNCoordSequence>();
    status = sequence->setCoords(points, m_points->getCoordDimType(), false);
    if (status) return {};
    return factory->createRing(sequence, kGeomCurveLinear, status, false, 0);
}

ZELUNGMOrientableSurfaceBoundary::ZELUNGMOrientableSurfaceBoundary(sp<ZELUNGMFactory const> factory,
                                                                   sp<ZELUNGMOrientableRing const> outer,
                                                                   std::vector<sp<ZELUNGMOrientableRing const>> holes)
    : ZELUNGMGenericObject(std::move(factory), Kind::kBoundary), m_outer(std::move(outer)), m_holes(std::move(holes))
{
}

ZELUNGMOrientableSurfaceBoundary::~ZELUNGMOrientableSurfaceBoundary() = default;

namespace {

// A component copied through `factory`, as its own kind; null with the status
// on failure.
template <class T>
sp<T const> copyOf(T const& part, sp<ZELUNGMFactory const> const& factory, long& status)
{
    sp<T const> copy = boost::dynamic_pointer_cast<T const>(part.copyWithFactory(factory, status));
    if (!status && !copy) status = kErrGeomUnsupported;
    return status ? sp<T const>() : copy;
}

}  // namespace

sp<ZELUNGMGenericObject const> ZELUNGMOrientableSurfaceBoundary::copyWithFactory(sp<ZELUNGMFactory const> factory,
                                                                                 long& status) const
{
    status = kErrGeomNullArgument;
    if (!factory) return {};
    sp<ZELUNGMOrientableRing const> outer = copyOf(*m_outer, factory, status);
    if (status) return {};
    auto holes = boost::make_shared<std::vector<sp<ZELUNGMOrientableRing const>>>();
    for (sp<ZELUNGMOrientableRing const> const& h : m_holes) {
        holes->push_back(copyOf(*h, factory, status));
        if (status) return {};
    }
    return factory->createSurfaceBoundary(outer, holes, status, false, 0);
}

ZELUNGMGenericSurface::ZELUNGMGenericSurface(sp<ZELUNGMFactory const> factory)
    : ZELUNGMGenericObject(std::move(factory))
{
}

ZELUNGMGenericSurface::ZELUNGMGenericSurface(sp<ZELUNGMFactory const> factory, Kind kind)
    : ZELUNGMGenericObject(std::move(factory), kind)
{
}

ZELUNGMGenericSurface::~ZELUNGMGenericSurface() = default;

namespace {

// The rings a surface's points are located against: the outer ring and its
// holes, or the outer ring alone when it is collinear (as the engine form).
RingLocator locatorOf(ZELUNGMOrientableSurfaceBoundary const& b)
{
    std::vector<ZELUNArray<ZELUNVector2D>> rings;
    auto add = [&rings](ZELUNGMOrientableRing const& r) {
        ZELUNCoordSequence const& s = r.getCoordSequence();
        ZELUNArray<ZELUNVector2D> ring(s.getCount());
        for (std::size_t i = 0; i < ring.size(); ++i) ring[i] = ZELUNVector2D(s.getCoord(i, 0), s.getCoord(i, 1));
        rings.push_back(std::move(ring));
    };
    add(b.getOuterRing());
    if (!b.getOuterRing().isCollinear())
        for (unsigned i = 0; i < b.getNumHoles(); ++i) add(b.getHole(i));
    return RingLocator(rings);
}

}  // namespace

ZELUNGMOrientableSurface::ZELUNGMOrientableSurface(sp<ZELUNGMFactory const> factory,
                                                   sp<ZELUNGMOrientableSurfaceBoundary const> boundary)
    : ZELUNGMGenericSurface(std::move(factory), Kind::kSurface),
      m_boundary(std::move(boundary)),
      m_locator(locatorOf(*m_boundary))
{
}

ZELUNGMOrientableSurface::~ZELUNGMOrientableSurface() = default;

bool ZELUNGMOrientableSurface::containsPoint(ZELUNVec3<double> const& point, long& status) const
{
    if (!std::isfinite(point.x) || !std::isfinite(point.y)) {
        status = kErrGeomInvalid;
        return false;
    }
    status = 0;
    return m_locator.locate(point.x, point.y) != RingLocator::kExterior;
}

sp<ZELUNGMGenericObject const> ZELUNGMOrientableSurface::copyWithFactory(sp<ZELUNGMFactory const> factory,
                                                                         long& status) const
{
    status = kErrGeomNullArgument;
    if (!factory) return {};
    sp<ZELUNGMOrientableSurfaceBoundary const> boundary = copyOf(*m_boundary, factory, status);
    if (status) return {};
    return factory->createSurface(boundary, kGeomSurfacePlanar, status, false, 0);
}

ZELUNGMMultiSurface::ZELUNGMMultiSurface(sp<ZELUNGMFactory const> factory,
                                         std::vector<sp<ZELUNGMOrientableSurface const>> surfaces)
    : ZELUNGMGenericObject(std::move(factory), Kind::kMultiSurface), m_surfaces(std::move(surfaces))
{
}

ZELUNGMMultiSurface::~ZELUNGMMultiSurface() = default;

bool ZELUNGMMultiSurface::containsPoint(ZELUNVec3<double> const& point, long& status) const
{
    if (!std::isfinite(point.x) || !std::isfinite(point.y)) {
        status = kErrGeomInvalid;
        return false;
    }
    status = 0;
    for (sp<ZELUNGMOrientableSurface const> const& s : m_surfaces) {
        long ignored = 0;
        if (s->containsPoint(point, ignored)) return true;
    }
    return false;
}

sp<ZELUNGMGenericObject const> ZELUNGMMultiSurface::copyWithFactory(sp<ZELUNGMFactory const> factory,
                                                                    long& status) const
{
    status = kErrGeomNullArgument;
    if (!factory) return {};
    std::vector<sp<ZELUNGMOrientableSurface const>> surfaces;
    surfaces.reserve(m_surfaces.size());
    for (sp<ZELUNGMOrientableSurface const> const& s : m_surfaces) {
        surfaces.push_back(copyOf(*s, factory, status));
        if (status) return {};
    }
    return factory->createMultiSurface(surfaces, status, false, 0);
}

// --- Factory --------------------------------------------------------------------

ZELUNGMFactory::ZELUNGMFactory(sp<ZELUNCoordSystem const> system, ZELUNGeomCoordDimType type)
    : m_system(system ? *system : ZELUNCoordSystem()), m_type(type)
{
}

ZELUNGMFactory::~ZELUNGMFactory() = default;

sp<ZELUNGMFactory const> ZELUNGMFactory::createFactory(sp<ZELUNCoordSystem const> system,
                                                       ZELUNGeomCoordDimType type)
{
    if (!system || (type != kGeomCoord2D && type != kGeomCoord3D)) return {};
    return sp<ZELUNGMFactory const>(new ZELUNGMFactory(std::move(system), type));
}

sp<ZELUNGMFactory const> ZELUNGMFactory::self(long& status) const
{
    sp<ZELUNGMFactory const> me = weak_from_this().lock();
    status = me ? 0 : kErrGeomNullArgument;
    return me;
}

sp<ZELUNGMPoint> ZELUNGMFactory::createPoint(ZELUNArray<double> const& point, long& status, bool, unsigned) const
{
    sp<ZELUNGMFactory const> me = self(status);
    if (!me) return {};
    if (point.size() < 2) {
        status = kErrBadCoordPoint;
        return {};
    }
    if (!std::isfinite(point[0]) || !std::isfinite(point[1])) {
        status = kErrGeomInvalid;
        return {};
    }
    return boost::make_shared<ZELUNGMPoint>(Key(), std::move(me), point[0], point[1], point.size() > 2 ? point[2] : 0.0);
}

sp<ZELUNGMPoint> ZELUNGMFactory::createPoint(ZELUNPoint<double> const& point, long& status, bool, unsigned) const
{
    sp<ZELUNGMFactory const> me = self(status);
    if (!me) return {};
    if (!std::isfinite(point.x) || !std::isfinite(point.y)) {
        status = kErrGeomInvalid;
        return {};
    }
    return boost::make_shared<ZELUNGMPoint>(Key(), std::move(me), point.x, point.y, point.z);
}

sp<ZELUNGMMultiPoint> ZELUNGMFactory::createMultiPoint(std::vector<sp<ZELUNGMPoint const>> const& points,
                                                       long& status, bool, unsigned) const
{
    sp<ZELUNGMFactory const> me = self(status);
    if (!me) return {};
    std::vector<ZELUNVec3<double>> coords(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!points[i]) {
            status = kErrGeomNullArgument;
            return {};
        }
        coords[i] = ZELUNVec3<double>(points[i]->getX(), points[i]->getY(), points[i]->getZ());
    }
    return sp<ZELUNGMMultiPoint>(new ZELUNGMMultiPoint(std::move(me), std::move(coords)));
}

sp<ZELUNGMOrientableRing> ZELUNGMFactory::createRing(sp<ZELUNCoordSequence const> points,
                                                     ZELUNGeomCurveInterpType type, long& status, bool,
                                                     unsigned) const
{
    sp<ZELUNGMFactory const> me = self(status);
    if (!me) return {};
    if (!points) {
        status = kErrGeomNullArgument;
        return {};
    }
    if (type != kGeomCurveLinear) {
        status = kErrGeomUnsupported;
        return {};
    }
    std::size_t const n = points->getCount();
    std::size_t const d = points->getCoordDimType() == kGeomCoord3D ? 3 : 2;
    double const* c = points->data();
    bool valid = n >= 4 && c[0] == c[(n - 1) * d] && c[1] == c[(n - 1) * d + 1];
    for (std::size_t i = 0; valid && i < n * d; ++i) valid = std::isfinite(c[i]);
    if (!valid) {
        status = kErrGeomInvalid;
        return {};
    }
    bool const flat = collinear(c, n, d);
    return sp<ZELUNGMOrientableRing>(new ZELUNGMOrientableRing(std::move(me), std::move(points), flat));
}

sp<ZELUNGMOrientableSurfaceBoundary> ZELUNGMFactory::createSurfaceBoundary(
    sp<ZELUNGMOrientableRing const> outer, sp<std::vector<sp<ZELUNGMOrientableRing const>> const> holes,
    long& status, bool, unsigned) const
{
    sp<ZELUNGMFactory const> me = self(status);
    if (!me) return {};
    if (!outer) status = kErrGeomNullArgument;
    std::vector<sp<ZELUNGMOrientableRing const>> inner;
    if (holes) {
        for (sp<ZELUNGMOrientableRing const> const& h : *holes)
            if (!status && !h) status = kErrGeomNullArgument;
        // A hole on one line encloses nothing: without it the surface keeps
        // the same interior, and its engine form stays a valid polygon.
        inner.reserve(holes->size());
        for (sp<ZELUNGMOrientableRing const> const& h : *holes)
            if (h && !h->isCollinear()) inner.push_back(h);
    }
    if (status) return {};
    return sp<ZELUNGMOrientableSurfaceBoundary>(
        new ZELUNGMOrientableSurfaceBoundary(std::move(me), std::move(outer), std::move(inner)));
}

sp<ZELUNGMOrientableSurface> ZELUNGMFactory::createSurface(sp<ZELUNGMOrientableSurfaceBoundary const> boundary,
                                                           ZELUNGeomSurfaceInterpType type, long& status, bool,
                                                           unsigned) const
{
    sp<ZELUNGMFactory const> me = self(status);
    if (!me) return {};
    if (!boundary) {
        status = kErrGeomNullArgument;
        return {};
    }
    if (type != kGeomSurfacePlanar) {
        status = kErrGeomUnsupported;
        return {};
    }
    return sp<ZELUNGMOrientableSurface>(new ZELUNGMOrientableSurface(std::move(me), std::move(boundary)));
}

sp<ZELUNGMMultiSurface> ZELUNGMFactory::createMultiSurface(std::vector<sp<ZELUNGMOrientableSurface const>> const& surfaces,
                                                           long& status, bool, unsigned) const
{
    sp<ZELUNGMFactory const> me = self(status);
    if (!me) return {};
    for (sp<ZELUNGMOrientableSurface const> const& s : surfaces)
        if (!s) {
            status = kErrGeomNullArgument;
            return {};
        }
    return sp<ZELUNGMMultiSurface>(new ZELUNGMMultiSurface(std::move(me), surfaces));
}

}  // namespace HPGEOM_3_13_0
