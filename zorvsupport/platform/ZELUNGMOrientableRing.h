#pragma once

#include "zorvsupport/platform/ZELUNCoordSequence.h"
#include "zorvsupport/platform/ZELUNGMGenericObject.h"

namespace HPGEOM_3_13_0 {

// A closed ring of at least 4 finite points (the last repeating the first).
// When all its vertices lie on one line it is collinear and stands for its
// linework: a line string, or a point when all vertices coincide.
class ZORV_EXPORT ZELUNGMOrientableRing : public ZELUNGMGenericObject {
public:
    ~ZELUNGMOrientableRing() override;

    ZELUNCoordSequence const& getCoordSequence() const { return *m_points; }
    bool isCollinear() const { return m_collinear; }

    boost::shared_ptr<ZELUNGMGenericObject const> copyWithFactory(boost::shared_ptr<ZELUNGMFactory const> factory,
                                                                  long& status) const override;

private:
    friend class ZELUNGMFactory;
    ZELUNGMOrientableRing(boost::shared_ptr<ZELUNGMFactory const> factory,
                          boost::shared_ptr<ZELUNCoordSequence const> points, bool collinear);

    boost::shared_ptr<ZELUNCoordSequence const> m_points;
    bool m_collinear;
};

}  // namespace HPGEOM_3_13_0
