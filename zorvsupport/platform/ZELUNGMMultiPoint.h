#pragma once

#include <cstddef>
#include <vector>

#include "zorvsupport/platform/ZELUNGMPoint.h"

namespace HPGEOM_3_13_0 {

// A set of points, possibly empty.
class ZORV_EXPORT ZELUNGMMultiPoint : public ZELUNGMGenericObject {
public:
    ~ZELUNGMMultiPoint() override;

    std::size_t getNumPoints() const { return m_points.size(); }
    ZELUNGMPoint const& getPoint(std::size_t i) const { return *m_points[i]; }

    boost::shared_ptr<ZELUNGMGenericObject const> copyWithFactory(boost::shared_ptr<ZELUNGMFactory const> factory,
                                                                  long& status) const override;

private:
    friend class ZELUNGMFactory;
    ZELUNGMMultiPoint(boost::shared_ptr<ZELUNGMFactory const> factory,
                      std::vector<boost::shared_ptr<ZELUNGMPoint const>> points);

    std::vector<boost::shared_ptr<ZELUNGMPoint const>> m_points;
};

}  // namespace HPGEOM_3_13_0
