#pragma once

#include "zorvsupport/platform/RingLocator.h"
#include "zorvsupport/platform/ZELUNGMGenericSurface.h"
#include "zorvsupport/platform/ZELUNGMOrientableSurfaceBoundary.h"

namespace HPGEOM_3_13_0 {

// A planar surface within its boundary. When the outer ring is collinear
// the surface stands for that ring's linework.
class ZORV_EXPORT ZELUNGMOrientableSurface : public ZELUNGMGenericSurface {
public:
    ~ZELUNGMOrientableSurface() override;

    ZELUNGMOrientableSurfaceBoundary const& getBoundary() const { return *m_boundary; }

    // Interior or boundary, holes excluded, z ignored; the exact rule of
    // RingLocator. A non-finite x or y gives false with kErrGeomInvalid.
    bool containsPoint(ZELUNVec3<double> const& point, long& status) const override;

    boost::shared_ptr<ZELUNGMGenericObject const> copyWithFactory(boost::shared_ptr<ZELUNGMFactory const> factory,
                                                                  long& status) const override;

private:
    friend class ZELUNGMFactory;
    friend struct GeosForms;
    ZELUNGMOrientableSurface(boost::shared_ptr<ZELUNGMFactory const> factory,
                             boost::shared_ptr<ZELUNGMOrientableSurfaceBoundary const> boundary);

    boost::shared_ptr<ZELUNGMOrientableSurfaceBoundary const> m_boundary;
    ZELUNCompGeom::RingLocator m_locator;  // outer ring and holes
};

}  // namespace HPGEOM_3_13_0
