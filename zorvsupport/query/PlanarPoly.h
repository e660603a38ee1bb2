#pragma once

#include <vector>

#include "zorvsupport/platform/ZELUNPlane.h"
#include "zorvsupport/query/Polyhedron.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// A convex region bounded by planes: a position is inside when
// a·x + b·y + c·z − d >= 0 for every plane (on a plane counts as inside;
// no planes contain everything).
//
// The matrix maps the planes, not the points: each plane, taken as the
// 4-vector (a, b, c, d), is multiplied by the matrix and scaled to a unit
// normal, and positions (points, 3-vectors and box corners alike) get only
// the change of coordinate system before they meet those planes. So the
// matrix acts exactly once in every query.
class ZORV_EXPORT PlanarPoly : public Polyhedron {
public:
    // Both lists start as copies of the given planes.
    explicit PlanarPoly(std::vector<ZELUNCompGeom::ZELUNPlane> const& planes);
    PlanarPoly(PlanarPoly const& other);
    PlanarPoly& operator=(PlanarPoly const& other);
    ~PlanarPoly() override;

    void addPlane(ZELUNCompGeom::ZELUNPlane const& plane);
    void set(std::vector<ZELUNCompGeom::ZELUNPlane> const& planes);
    void clear();

    using Polyhedron::contains;
    using Polyhedron::interacts;

protected:
    // x, y and z of the point; every point handed here must hold all three.
    bool contains(ZELUNArray<double> const& point) const override;

public:
    // A point with fewer than 3 values makes both list answers false.
    bool contains(ZELUNArray<ZELUNArray<double>> const& points) const override;
    bool contains(ZELUNnBox<double, 3> const& box) const override;
    bool contains(TDataVector1D<TDataType<11>> const& vectors) const override;
    bool contains(ZELUNVec3<double> const& vector) const override;
    // False only when one plane alone excludes the whole box, so a box near
    // an edge of the region may interact without sharing a point with it.
    bool interacts(ZELUNnBox<double, 3> const& box) const override;
    bool interacts(ZELUNArray<ZELUNArray<double>> const& points) const override;
    bool interacts(TDataVector1D<TDataType<11>> const& vectors) const override;
    // On success the planes are carried through the new matrix; on failure
    // (kErrBadMatrixSize) nothing changes.
    long setMatrix(std::vector<double> const& values) override;
    ZELUNType<Polyhedron> newCopy() const override;

protected:
    // `in` times the matrix, scaled so its normal has unit length (the
    // offset divided by the normal's length before unitising). Always 0.
    long transformPlane(ZELUNCompGeom::ZELUNPlane const& in, ZELUNCompGeom::ZELUNPlane& out) const;

private:
    bool inside(double x, double y, double z) const
    {
        // Every plane is evaluated, without a branch per plane, two planes
        // side by side: their sums run in the lanes of one vector.
        double const* q = m_quads.data();
        bool in = true;
        for (std::size_t i = 0, n = m_quads.size(); i < n; i += 8) {
            double s[2];
            for (int k = 0; k < 2; ++k) s[k] = ((q[i + k] * x + q[i + 2 + k] * y) + q[i + 4 + k] * z) - q[i + 6 + k];
            in &= !(s[0] < 0.0) & !(s[1] < 0.0);
        }
        return in;
    }
    auto test() const
    {
        return [this](double x, double y, double z) { return inside(x, y, z); };
    }
    bool own() const;
    // Rebuilds the transformed planes from the planes through the matrix.
    void transformAll();
    // Rebuilds the quadruples from the transformed planes.
    void quadsChanged();

    std::vector<ZELUNCompGeom::ZELUNPlane> m_planes;
    std::vector<ZELUNCompGeom::ZELUNPlane> m_transformed;
    // The transformed planes in pairs, for the point test: a, a', b, b', c,
    // c', d, d' of two planes side by side. An odd count ends with the plane
    // (0, 0, 0, 0), which rejects nothing (s is 0, -0 or NaN).
    std::vector<double> m_quads;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
