#pragma once

#include <vector>

#include <boost/enable_shared_from_this.hpp>
#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNGeomTypes.h"
#include "zorvsupport/platform/ZELUNPoint.h"

namespace HPGEOM_3_13_0 {

class ZELUNCoordSequence;
class ZELUNGMPoint;
class ZELUNGMMultiPoint;
class ZELUNGMOrientableRing;
class ZELUNGMOrientableSurfaceBoundary;
class ZELUNGMOrientableSurface;
class ZELUNGMMultiSurface;

// Makes the geometry objects of one coordinate system. Objects hold their
// factory, so a factory lives only in a boost::shared_ptr: createFactory
// makes it so, and subclasses must be created so too (an operation of a
// factory held otherwise gives kErrGeomNullArgument).
//
// Every operation writes `status` (0 on success) and returns null on
// failure: kErrGeomNullArgument for a null argument or element,
// kErrGeomUnsupported for an interpolation type other than 1,
// kErrBadCoordPoint for a point of fewer than 2 values, kErrGeomInvalid for
// a non-finite coordinate or a ring that is not closed or has fewer than 4
// points. The trailing bool and unsigned have no effect. Objects are
// immutable; a factory and its objects may be used on many threads at once.
class ZORV_EXPORT ZELUNGMFactory : public boost::enable_shared_from_this<ZELUNGMFactory> {
public:
    // Null for a null system or an unknown type.
    static boost::shared_ptr<ZELUNGMFactory const> createFactory(boost::shared_ptr<ZELUNCoordSystem const> system,
                                                                 ZELUNGeomCoordDimType type);
    virtual ~ZELUNGMFactory();

    ZELUNCoordSystem const& getCoordSystem() const { return m_system; }
    ZELUNGeomCoordDimType getCoordDimType() const { return m_type; }

    // x, y and, when given, z; further values are dropped.
    virtual boost::shared_ptr<ZELUNGMPoint> createPoint(ZELUNArray<double> const& point, long& status, bool,
                                                        unsigned) const;
    virtual boost::shared_ptr<ZELUNGMPoint> createPoint(ZELUNPoint<double> const& point, long& status, bool,
                                                        unsigned) const;
    // An empty list makes the empty multi-point.
    virtual boost::shared_ptr<ZELUNGMMultiPoint> createMultiPoint(
        std::vector<boost::shared_ptr<ZELUNGMPoint const>> const& points, long& status, bool, unsigned) const;
    // A ring whose vertices all lie on one line is accepted: it stands for
    // its linework.
    virtual boost::shared_ptr<ZELUNGMOrientableRing> createRing(boost::shared_ptr<ZELUNCoordSequence const> points,
                                                                ZELUNGeomCurveInterpType type, long& status, bool,
                                                                unsigned) const;
    // A null holes pointer means no holes. A hole whose vertices all lie on
    // one line encloses no area and is dropped; the boundary keeps the other
    // holes in order. Dropping it changes no containment or intersection
    // answer about the surface's interior (points on that line are inside).
    // A collinear outer ring is accepted: a surface over it stands for that
    // ring's linework.
    virtual boost::shared_ptr<ZELUNGMOrientableSurfaceBoundary> createSurfaceBoundary(
        boost::shared_ptr<ZELUNGMOrientableRing const> outer,
        boost::shared_ptr<std::vector<boost::shared_ptr<ZELUNGMOrientableRing const>> const> holes, long& status,
        bool, unsigned) const;
    virtual boost::shared_ptr<ZELUNGMOrientableSurface> createSurface(
        boost::shared_ptr<ZELUNGMOrientableSurfaceBoundary const> boundary, ZELUNGeomSurfaceInterpType type,
        long& status, bool, unsigned) const;
    // An empty list makes the empty multi-surface.
    virtual boost::shared_ptr<ZELUNGMMultiSurface> createMultiSurface(
        std::vector<boost::shared_ptr<ZELUNGMOrientableSurface const>> const& surfaces, long& status, bool,
        unsigned) const;

    // Opens constructors that only a factory may call (to make their
    // objects in one allocation).
    class Key {
        friend class ZELUNGMFactory;
        Key() = default;
    };

protected:
    ZELUNGMFactory(boost::shared_ptr<ZELUNCoordSystem const> system, ZELUNGeomCoordDimType type);

private:
    // This factory's own shared pointer; null (status set) when it has none.
    boost::shared_ptr<ZELUNGMFactory const> self(long& status) const;

    ZELUNCoordSystem m_system;  // the undefined system when made from null
    ZELUNGeomCoordDimType m_type;
};

}  // namespace HPGEOM_3_13_0
