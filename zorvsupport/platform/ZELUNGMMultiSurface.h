#pragma once

#include <cstddef>
#include <vector>

#include "zorvsupport/platform/ZELUNGMOrientableSurface.h"

namespace HPGEOM_3_13_0 {

// A set of surfaces, possibly empty.
class ZORV_EXPORT ZELUNGMMultiSurface : public ZELUNGMGenericObject {
public:
    ~ZELUNGMMultiSurface() override;

    std::size_t getNumSurfaces() const { return m_surfaces.size(); }
    ZELUNGMOrientableSurface const& getSurface(std::size_t i) const { return *m_surfaces[i]; }

    // Whether any of the surfaces contains the point; a non-finite x or y
    // gives false with kErrGeomInvalid.
    virtual bool containsPoint(ZELUNVec3<double> const& point, long& status) const;

    boost::shared_ptr<ZELUNGMGenericObject const> copyWithFactory(boost::shared_ptr<ZELUNGMFactory const> factory,
                                                                  long& status) const override;

private:
    friend class ZELUNGMFactory;
    ZELUNGMMultiSurface(boost::shared_ptr<ZELUNGMFactory const> factory,
                        std::vector<boost::shared_ptr<ZELUNGMOrientableSurface const>> surfaces);

    std::vector<boost::shared_ptr<ZELUNGMOrientableSurface const>> m_surfaces;
};

}  // namespace HPGEOM_3_13_0
