#pragma once

#include <cstddef>
#include <vector>

#include "zorvsupport/platform/ZELUNGMPoint.h"
#include "zorvsupport/platform/ZELUNVec3.h"

namespace HPGEOM_3_13_0 {

// A set of points, possibly empty. It keeps the points' coordinates, not
// the point objects.
class ZORV_EXPORT ZELUNGMMultiPoint : public ZELUNGMGenericObject {
public:
    ~ZELUNGMMultiPoint() override;

    std::size_t getNumPoints() const { return m_points.size(); }
    // x, y and z of point i.
    ZELUNVec3<double> const& getCoords(std::size_t i) const { return m_points[i]; }

    boost::shared_ptr<ZELUNGMGenericObject const> copyWithFactory(boost::shared_ptr<ZELUNGMFactory const> factory,
                                                                  long& status) const override;

private:
    friend class ZELUNGMFactory;
    ZELUNGMMultiPoint(boost::shared_ptr<ZELUNGMFactory const> factory, std::vector<ZELUNVec3<double>> points);

    std::vector<ZELUNVec3<double>> m_points;
};

}  // namespace HPGEOM_3_13_0
