#pragma once

#include <vector>

#include "zorvsupport/platform/ZELUNGMOrientableRing.h"

namespace HPGEOM_3_13_0 {

// The outer ring of a surface and its holes (none of them collinear: the
// factory drops such holes).
class ZORV_EXPORT ZELUNGMOrientableSurfaceBoundary : public ZELUNGMGenericObject {
public:
    ~ZELUNGMOrientableSurfaceBoundary() override;

    ZELUNGMOrientableRing const& getOuterRing() const { return *m_outer; }
    unsigned getNumHoles() const { return static_cast<unsigned>(m_holes.size()); }
    ZELUNGMOrientableRing const& getHole(unsigned i) const { return *m_holes[i]; }

    boost::shared_ptr<ZELUNGMGenericObject const> copyWithFactory(boost::shared_ptr<ZELUNGMFactory const> factory,
                                                                  long& status) const override;

private:
    friend class ZELUNGMFactory;
    ZELUNGMOrientableSurfaceBoundary(boost::shared_ptr<ZELUNGMFactory const> factory,
                                     boost::shared_ptr<ZELUNGMOrientableRing const> outer,
                                     std::vector<boost::shared_ptr<ZELUNGMOrientableRing const>> holes);

    boost::shared_ptr<ZELUNGMOrientableRing const> m_outer;
    std::vector<boost::shared_ptr<ZELUNGMOrientableRing const>> m_holes;
};

}  // namespace HPGEOM_3_13_0
