#pragma once

#include "zorvsupport/platform/ZELUNGMGenericObject.h"
#include "zorvsupport/platform/ZELUNVec3.h"

namespace HPGEOM_3_13_0 {

// A surface that answers whether it holds a position.
class ZORV_EXPORT ZELUNGMGenericSurface : public ZELUNGMGenericObject {
public:
    ~ZELUNGMGenericSurface() override;

    // Whether (x, y) lies in the surface, its boundary included.
    virtual bool containsPoint(ZELUNVec3<double> const& point, long& status) const = 0;

protected:
    explicit ZELUNGMGenericSurface(boost::shared_ptr<ZELUNGMFactory const> factory);
    ZELUNGMGenericSurface(boost::shared_ptr<ZELUNGMFactory const> factory, Kind kind);
};

}  // namespace HPGEOM_3_13_0
