#pragma once

#include "zorvsupport/platform/ZELUNnPoint.h"
#include "zorvsupport/query/Polyhedron.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// A closed axis-aligned box of the shape's frame. Any two corners give the
// box they span.
class ZORV_EXPORT AxisBox : public Polyhedron {
public:
    AxisBox(ZELUNnPoint<double, 3> const& p1, ZELUNnPoint<double, 3> const& p2);
    AxisBox(AxisBox const& other);
    AxisBox& operator=(AxisBox const& other);
    ~AxisBox() override;

    // New bounds; matrix and coordinate systems stay.
    void set(ZELUNnPoint<double, 3> const& p1, ZELUNnPoint<double, 3> const& p2);

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

private:
    bool inside(double x, double y, double z) const
    {
        return m_minX <= x && x <= m_maxX && m_minY <= y && y <= m_maxY && m_minZ <= z && z <= m_maxZ;
    }
    // The per-point test as the list driver takes it.
    auto test() const
    {
        return [this](double x, double y, double z) { return inside(x, y, z); };
    }
    // Whether this is the class itself, not a subclass that may override its
    // tests.
    bool own() const;

    double m_maxX, m_maxY, m_maxZ;
    double m_minX, m_minY, m_minZ;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
