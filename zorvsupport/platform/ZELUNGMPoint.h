#pragma once

#include "zorvsupport/platform/ZELUNGMGenericObject.h"

namespace HPGEOM_3_13_0 {

// A point: x, y and z (0 when not given).
class ZORV_EXPORT ZELUNGMPoint : public ZELUNGMGenericObject {
public:
    ~ZELUNGMPoint() override;

    double getX() const { return m_x; }
    double getY() const { return m_y; }
    double getZ() const { return m_z; }

    boost::shared_ptr<ZELUNGMGenericObject const> copyWithFactory(boost::shared_ptr<ZELUNGMFactory const> factory,
                                                                  long& status) const override;

    ZELUNGMPoint(ZELUNGMFactory::Key, boost::shared_ptr<ZELUNGMFactory const> factory, double x, double y, double z);

private:

    double m_x, m_y, m_z;
};

}  // namespace HPGEOM_3_13_0
