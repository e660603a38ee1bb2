#include "zorvsupport/platform/ZELUNGeometry.h"

#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ExactPredicates.h"
#include "zorvsupport/platform/GeosEngine.h"
#include "zorvsupport/platform/GeosThreadCache.h"
#include "zorvsupport/platform/RingLocator.h"
#include "zorvsupport/platform/ZELUNAreaGeometry.h"
#include "zorvsupport/platform/ZELUNPointGeometry.h"

using ZELUNCompGeom::RingLocator;
using ZELUNCompGeom::ZELUNVector2D;
using namespace ZORV_3_13_0_::DataSet;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();

ZELUNArray<double> pair(double x, double y)
{
    ZELUNArray<double> p(2);
    p[0] = x;
    p[1] = y;
    return p;
}

// Whether coordinates of `from` need no conversion into `to`. The same
// system object (or equal text) is checked before asking the engine.
bool sameSystem(ZELUNCoordSystem const& from, ZELUNCoordSystem const& to)
{
    return from.isValid() && (from == to || from.isEqual(to, true));
}

// The first failing status of the two geometries, or 0.
long statusOf(ZELUNGeometry const& a, ZELUNGeometry const& b)
{
    return a.getStatus() ? a.getStatus() : b.getStatus();
}

}  // namespace

ZELUNGeometry::ZELUNGeometry(ZELUNCoordSystem const& system, long status) : m_system(system), m_status(status) {}
ZELUNGeometry::ZELUNGeometry(ZELUNGeometry const& other) = default;
ZELUNGeometry& ZELUNGeometry::operator=(ZELUNGeometry const& other) = default;
ZELUNGeometry::~ZELUNGeometry() = default;

// --- Points -------------------------------------------------------------------

ZELUNPointGeometry::ZELUNPointGeometry(ZELUNCoordSystem const& system, double x, double y)
    : ZELUNGeometry(system, std::isfinite(x) && std::isfinite(y) ? 0 : kErrGeomInvalid), m_x(x), m_y(y)
{
}

ZELUNPointGeometry::ZELUNPointGeometry(ZELUNPointGeometry const& other) = default;
ZELUNPointGeometry& ZELUNPointGeometry::operator=(ZELUNPointGeometry const& other) = default;
ZELUNPointGeometry::~ZELUNPointGeometry() = default;

ZELUNType<ZELUNGeometry> ZELUNPointGeometry::clone() const
{
    return ZELUNType<ZELUNGeometry>(new ZELUNPointGeometry(*this));
}

ZELUNArray<double> ZELUNPointGeometry::getMinPoint() const
{
    return getStatus() ? pair(kNaN, kNaN) : pair(m_x, m_y);
}

ZELUNArray<double> ZELUNPointGeometry::getMaxPoint() const
{
    return getMinPoint();
}

bool ZELUNPointGeometry::containsPoint(ZELUNPointGeometry const& point, int, long& status) const
{
    status = statusOf(*this, point);
    if (status) return false;
    double xy[2] = {point.m_x, point.m_y};
    if (!sameSystem(point.getCoordSystem(), getCoordSystem())) {
        status = point.getCoordSystem().transform(getCoordSystem(), xy, 1, 2, nullptr);
        if (status) return false;
    }
    return xy[0] == m_x && xy[1] == m_y;
}

bool ZELUNPointGeometry::coversPoint(ZELUNPointGeometry const& point, int mode, long& status) const
{
    return containsPoint(point, mode, status);
}

bool ZELUNPointGeometry::containsArea(ZELUNAreaGeometry const& area, int, long& status) const
{
    status = statusOf(*this, area);
    return false;
}

bool ZELUNPointGeometry::isDisjointFromArea(ZELUNAreaGeometry const& area, int mode, long& status) const
{
    status = statusOf(*this, area);
    if (status) return false;
    bool const covered = area.coversPoint(*this, mode, status);
    return !status && !covered;
}

// --- Areas --------------------------------------------------------------------

struct ZELUNAreaGeometry::Shape {
    std::uint64_t id = 0;
    ZELUNArray<ZELUNVector2D> ring;  // as given, open
    ZELUNArray<ZELUNArray<double>> points;  // the same vertices as 2-value arrays
    RingLocator locator;
    double minX = kNaN, minY = kNaN, maxX = kNaN, maxY = kNaN;
};

namespace {

// The vertices of the first `count` points, or an empty array when they do
// not make an area.
ZELUNArray<ZELUNVector2D> verticesOf(ZELUNArray<ZELUNArray<double>> const& points, unsigned count)
{
    ZELUNArray<ZELUNVector2D> ring;
    if (count < 3 || count > points.size()) return ring;
    ring.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        ZELUNArray<double> const& p = points[i];
        if (p.size() < 2 || !std::isfinite(p[0]) || !std::isfinite(p[1])) return ZELUNArray<ZELUNVector2D>();
        ring[i] = ZELUNVector2D(p[0], p[1]);
    }
    // An area needs a vertex off the line through the first and another.
    std::size_t other = 1;
    while (other < count && ring[other].x == ring[0].x && ring[other].y == ring[0].y) ++other;
    for (std::size_t i = other + 1; i < count; ++i)
        if (ZELUNCompGeom::Exact::orient(ring[0].x, ring[0].y, ring[other].x, ring[other].y, ring[i].x, ring[i].y))
            return ring;
    return ZELUNArray<ZELUNVector2D>();
}

// The shape of the first `count` points; its ring stays empty when they do
// not make an area.
std::shared_ptr<ZELUNAreaGeometry::Shape const> makeShape(ZELUNArray<ZELUNArray<double>> const& points,
                                                          unsigned count)
{
    auto shape = std::make_shared<ZELUNAreaGeometry::Shape>();
    shape->ring = verticesOf(points, count);
    if (shape->ring.empty()) return shape;
    shape->id = ZELUNGeos::newFormId();  // never reused: keys the per-thread engine cache
    shape->locator = RingLocator(shape->ring);
    shape->points.resize(shape->ring.size());
    for (std::size_t i = 0; i < shape->ring.size(); ++i) shape->points[i] = pair(shape->ring[i].x, shape->ring[i].y);
    shape->minX = shape->maxX = shape->ring[0].x;
    shape->minY = shape->maxY = shape->ring[0].y;
    for (ZELUNVector2D const& v : shape->ring) {
        shape->minX = std::fmin(shape->minX, v.x);
        shape->minY = std::fmin(shape->minY, v.y);
        shape->maxX = std::fmax(shape->maxX, v.x);
        shape->maxY = std::fmax(shape->maxY, v.y);
    }
    return shape;
}

}  // namespace

ZELUNAreaGeometry::ZELUNAreaGeometry(ZELUNCoordSystem const& system, ZELUNArray<ZELUNArray<double>> const& ring,
                                     unsigned count, ZELUN::ROTATE_DIR, bool, bool, bool, bool, bool)
    : ZELUNAreaGeometry(system, makeShape(ring, count))
{
}

ZELUNAreaGeometry::ZELUNAreaGeometry(ZELUNCoordSystem const& system, std::shared_ptr<Shape const> shape)
    : ZELUNGeometry(system, shape->ring.empty() ? kErrGeomInvalid : 0),
      m_shape(std::move(shape)),
      m_systemId(&getCoordSystem().definition()),
      m_systemValid(getCoordSystem().isValid())
{
}

bool ZELUNAreaGeometry::takesAsGiven(ZELUNCoordSystem const& system) const
{
    if (&system.definition() == m_systemId) return m_systemValid;  // a copy of the same system
    return sameSystem(system, getCoordSystem());
}

ZELUNAreaGeometry::ZELUNAreaGeometry(ZELUNAreaGeometry const& other) = default;
ZELUNAreaGeometry& ZELUNAreaGeometry::operator=(ZELUNAreaGeometry const& other) = default;
ZELUNAreaGeometry::~ZELUNAreaGeometry() = default;

ZELUNArray<ZELUNArray<double>> const& ZELUNAreaGeometry::getPoints() const
{
    return m_shape->points;
}

ZELUNType<ZELUNGeometry> ZELUNAreaGeometry::clone() const
{
    return ZELUNType<ZELUNGeometry>(new ZELUNAreaGeometry(*this));
}

ZELUNArray<double> ZELUNAreaGeometry::getMinPoint() const
{
    return pair(m_shape->minX, m_shape->minY);
}

ZELUNArray<double> ZELUNAreaGeometry::getMaxPoint() const
{
    return pair(m_shape->maxX, m_shape->maxY);
}

int ZELUNAreaGeometry::locate(ZELUNPointGeometry const& point, long& status) const
{
    status = statusOf(*this, point);
    if (status) return -1;
    // Two doubles on the stack: no allocation per point.
    double xy[2] = {point.getX(), point.getY()};
    if (!takesAsGiven(point.getCoordSystem())) {
        status = point.getCoordSystem().transform(getCoordSystem(), xy, 1, 2, nullptr);
        if (status) return -1;
    }
    return m_shape->locator.locate(xy[0], xy[1]);
}

bool ZELUNAreaGeometry::containsPoint(ZELUNPointGeometry const& point, int, long& status) const
{
    return locate(point, status) == RingLocator::kInterior;
}

bool ZELUNAreaGeometry::coversPoint(ZELUNPointGeometry const& point, int, long& status) const
{
    return locate(point, status) >= RingLocator::kBoundary;
}

bool ZELUNAreaGeometry::areaPredicate(ZELUNAreaGeometry const& other, bool covers, long& status) const
{
    status = statusOf(*this, other);
    if (status) return false;
    ZELUNArray<ZELUNVector2D> const& ring = other.m_shape->ring;
    std::vector<double> xy;
    try {
        xy.resize(2 * ring.size());
    } catch (std::bad_alloc const&) {
        status = kErrOutOfMemory;
        return false;
    }
    for (std::size_t i = 0; i < ring.size(); ++i) {
        xy[2 * i] = ring[i].x;
        xy[2 * i + 1] = ring[i].y;
    }
    // Vertices are converted one by one; the edges between them stay straight.
    if (!takesAsGiven(other.getCoordSystem())) {
        status = other.getCoordSystem().transform(getCoordSystem(), xy.data(), ring.size(), 2, nullptr);
        if (status) return false;
    }
    bool answer = false;
    status = ZELUNGeos::evaluate(m_shape->id, m_shape->ring, covers ? ZELUNGeos::kCovers : ZELUNGeos::kIntersects,
                                 xy.data(), ring.size(), answer);
    return !status && answer;
}

bool ZELUNAreaGeometry::containsArea(ZELUNAreaGeometry const& area, int, long& status) const
{
    return areaPredicate(area, true, status);
}

bool ZELUNAreaGeometry::isDisjointFromArea(ZELUNAreaGeometry const& area, int, long& status) const
{
    bool const intersects = areaPredicate(area, false, status);
    return !status && !intersects;
}
