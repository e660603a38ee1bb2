#pragma once

#include <boost/shared_ptr.hpp>

#include "zorvsupport/platform/ZELUNGMGenericObject.h"
#include "zorvsupport/platform/ZELUNGMGenericSurface.h"
#include "zorvsupport/platform/ZELUNGMMultiSurface.h"
#include "zorvsupport/query/Polyhedron.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// A query shape that asks a high-precision geometry object. Positions are
// taken as given: neither the coordinate change nor the matrix applies (both
// are stored, unused). Instead setPointsCoordSystem re-expresses the object
// in that system.
//
// A point is tested by the object's own point test when it is a surface or
// a multi-surface (x and y only), else as a factory point; a point list as
// one multi-point and a box as the surface of its x-y rectangle, each made
// by the object's factory. Any factory failure makes the query false, and
// so does an empty list: a multi-point of no points lies in nothing. A
// shape that holds no object answers false to everything. Memory running
// out, in the factory or in the object's predicates, throws std::bad_alloc.
//
// Copies share the immutable object; queries may run on many threads at
// once, and each thread prepares the object's engine form once.
//
// Stack: as for every shape, with the geometry engine's frames included. A
// box is asked of the engine as a surface, whose frames grow with the
// object's size: about 1.5 KiB for a square with a hole, 6 KiB for a ring of
// 100,000 vertices; a point or a list takes under 1 KiB.
class ZORV_EXPORT HPGeomQueryObject : public Polyhedron {
public:
    explicit HPGeomQueryObject(boost::shared_ptr<HPGEOM_3_13_0::ZELUNGMGenericObject const> object);
    HPGeomQueryObject& operator=(HPGeomQueryObject const&) = delete;
    ~HPGeomQueryObject() override;

    using Polyhedron::contains;
    using Polyhedron::interacts;

protected:
    HPGeomQueryObject(HPGeomQueryObject const& other);

    // The point as given: all its values go to the factory.
    bool contains(ZELUNArray<double> const& point) const override;

public:
    bool contains(ZELUNArray<ZELUNArray<double>> const& points) const override;
    bool contains(ZELUNnBox<double, 3> const& box) const override;
    bool contains(TDataVector1D<TDataType<11>> const& vectors) const override;
    bool contains(ZELUNVec3<double> const& vector) const override;
    bool interacts(ZELUNnBox<double, 3> const& box) const override;
    bool interacts(ZELUNArray<ZELUNArray<double>> const& points) const override;
    bool interacts(TDataVector1D<TDataType<11>> const& vectors) const override;
    // Stores the system and replaces the object by its copy in that system.
    // When the copy cannot be made the object is dropped (it is in the
    // wrong system) and every later query answers false; when it cannot be
    // made for want of memory, std::bad_alloc leaves the shape as it was.
    void setPointsCoordSystem(ZELUNCoordSystem const& system) override;
    ZELUNType<Polyhedron> newCopy() const override;

private:
    using Object = HPGEOM_3_13_0::ZELUNGMGenericObject;

    void hold(boost::shared_ptr<Object const> object);
    // The multi-point of the points, or null after a factory failure.
    boost::shared_ptr<Object const> multiPointOf(ZELUNArray<ZELUNArray<double>> const& points) const;
    // The surface of the box's x-y rectangle, or null after a factory failure.
    boost::shared_ptr<Object const> rectangleOf(ZELUNnBox<double, 3> const& box, bool flag) const;
    // contains, or else covers, of `other`; or intersects when `any`.
    bool ask(boost::shared_ptr<Object const> const& other, bool any) const;
    static ZELUNArray<ZELUNArray<double>> pointsOf(TDataVector1D<TDataType<11>> const& vectors);

    boost::shared_ptr<Object const> m_object;
    boost::shared_ptr<HPGEOM_3_13_0::ZELUNGMGenericSurface const> m_surface;
    boost::shared_ptr<HPGEOM_3_13_0::ZELUNGMMultiSurface const> m_multiSurface;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
