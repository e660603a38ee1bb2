#pragma once

#include <vector>

#include "zorvsupport/platform/RingLocator.h"
#include "zorvsupport/platform/ZELUNVector2D.h"
#include "zorvsupport/query/Polyhedron.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// A prism: a ring in the x-y plane of the shape's frame, extruded over
// 0 <= z <= 1 of that frame, or over all z when flagged 2-D. The matrix maps
// incoming positions into that frame. Points on the ring are inside; the
// ring may be open or closed. An empty ring contains and touches nothing.
class ZORV_EXPORT ExtrudedPoly : public Polyhedron {
public:
    // Vertex i takes x and y of point i; further values are ignored. A
    // point with fewer than 2 values leaves the ring empty. A matrix
    // without exactly 16 values leaves the identity.
    ExtrudedPoly(ZELUNArray<ZELUNArray<double>> const& ring, std::vector<double> const& matrix, bool is2D);
    ExtrudedPoly(ExtrudedPoly const& other);
    ExtrudedPoly& operator=(ExtrudedPoly const& other);
    ~ExtrudedPoly() override;

    // A new ring, as the constructor takes it.
    void set(ZELUNArray<ZELUNArray<double>> const& ring);
    void set(ZELUNArray<ZELUNCompGeom::ZELUNVector2D> const& ring);
    bool getIs2D() const { return m_is2D; }
    void setIs2D(bool is2D) { m_is2D = is2D; }

    using Polyhedron::contains;
    using Polyhedron::interacts;

protected:
    bool contains(ZELUNArray<double> const& point) const override;

public:
    bool contains(ZELUNArray<ZELUNArray<double>> const& points) const override;
    bool contains(ZELUNnBox<double, 3> const& box) const override;
    bool contains(TDataVector1D<TDataType<11>> const& vectors) const override;
    bool contains(ZELUNVec3<double> const& vector) const override;
    bool interacts(ZELUNnBox<double, 3> const& box) const override;
    bool interacts(ZELUNArray<ZELUNArray<double>> const& points) const override;
    bool interacts(TDataVector1D<TDataType<11>> const& vectors) const override;
    ZELUNType<Polyhedron> newCopy() const override;

protected:
    using Polyhedron::getMinMaxValues;
    // The ring's bounding rectangle; an empty ring leaves minX = minY = the
    // largest double and maxX = maxY = its negative. NaN never replaces.
    void getMinMaxValues(ZELUNArray<ZELUNCompGeom::ZELUNVector2D> const& ring, double& minX, double& minY,
                         double& maxX, double& maxY) const;

private:
    bool inside(double x, double y, double z) const
    {
        return m_locator.locate(x, y) != ZELUNCompGeom::RingLocator::kExterior && (m_is2D || (0.0 <= z && z <= 1.0));
    }
    auto test() const
    {
        return [this](double x, double y, double z) { return inside(x, y, z); };
    }
    bool own() const;
    // Rebuilds the locator and the bounding rectangle from the ring.
    void ringChanged();

    ZELUNArray<ZELUNCompGeom::ZELUNVector2D> m_ring;
    bool m_is2D;
    // Derived from the ring: its point locator (answers as isPointInRing with
    // points on the ring inside) and bounding rectangle.
    ZELUNCompGeom::RingLocator m_locator;
    double m_ringMinX, m_ringMinY, m_ringMaxX, m_ringMaxY;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
