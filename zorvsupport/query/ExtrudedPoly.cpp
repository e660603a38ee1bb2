#include "zorvsupport/query/ExtrudedPoly.h"

#include "zorvsupport/query/ListDriver.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

using ZELUNCompGeom::ZELUNVector2D;

ExtrudedPoly::ExtrudedPoly(ZELUNArray<ZELUNArray<double>> const& ring, std::vector<double> const& matrix, bool is2D)
    : m_is2D(is2D)
{
    Polyhedron::setMatrix(matrix);
    set(ring);
}

// The locator is immutable, so a copy of it is the one the ring would build.
ExtrudedPoly::ExtrudedPoly(ExtrudedPoly const& other) = default;

ExtrudedPoly& ExtrudedPoly::operator=(ExtrudedPoly const& other)
{
    if (&other == this) return *this;
    Polyhedron::operator=(other);
    m_ring = other.m_ring;
    m_is2D = other.m_is2D;
    m_locator = other.m_locator;
    m_ringMinX = other.m_ringMinX;
    m_ringMinY = other.m_ringMinY;
    m_ringMaxX = other.m_ringMaxX;
    m_ringMaxY = other.m_ringMaxY;
    return *this;
}

ExtrudedPoly::~ExtrudedPoly() = default;

void ExtrudedPoly::set(ZELUNArray<ZELUNArray<double>> const& ring)
{
    // A point without y would be read past its end, and skipping it would
    // change the shape: such a ring is left empty.
    bool complete = true;
    for (ZELUNArray<double> const& p : ring) complete = complete && p.size() >= 2;
    m_ring.resize(complete ? ring.size() : 0);
    for (std::size_t i = 0; i < m_ring.size(); ++i) m_ring[i] = ZELUNVector2D(ring[i][0], ring[i][1]);
    ringChanged();
}

void ExtrudedPoly::set(ZELUNArray<ZELUNVector2D> const& ring)
{
    m_ring = ring;
    ringChanged();
}

void ExtrudedPoly::ringChanged()
{
    m_locator = ZELUNCompGeom::RingLocator(m_ring);
    getMinMaxValues(m_ring, m_ringMinX, m_ringMinY, m_ringMaxX, m_ringMaxY);
}

void ExtrudedPoly::getMinMaxValues(ZELUNArray<ZELUNVector2D> const& ring, double& minX, double& minY, double& maxX,
                                   double& maxY) const
{
    minX = minY = 1.7976931348623157e308;
    maxX = maxY = -1.7976931348623157e308;
    for (ZELUNVector2D const& v : ring) {
        if (v.x < minX) minX = v.x;
        if (v.y < minY) minY = v.y;
        if (v.x > maxX) maxX = v.x;
        if (v.y > maxY) maxY = v.y;
    }
}

ZORV_SHAPE_QUERIES(ExtrudedPoly)

// Only the ring's bounding rectangle is compared in x and y, so a box over a
// hollow of a concave ring interacts. Touching counts.
bool ExtrudedPoly::interacts(ZELUNnBox<double, 3> const& box) const
{
    // The empty ring's start values would let a box with infinite or NaN
    // corners through.
    if (m_ring.empty()) return false;
    double lo[3], hi[3];
    if (!frameBoundsOf(box, lo, hi)) return false;
    if (hi[0] < m_ringMinX || hi[1] < m_ringMinY || lo[0] > m_ringMaxX || lo[1] > m_ringMaxY) return false;
    return m_is2D || !(hi[2] < 0.0 || lo[2] > 1.0);
}

ZELUNType<Polyhedron> ExtrudedPoly::newCopy() const
{
    return ZELUNType<Polyhedron>(new ExtrudedPoly(*this));
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
