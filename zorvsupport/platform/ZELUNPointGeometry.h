#pragma once

#include "zorvsupport/platform/ZELUNGeometry.h"

// A point. Status kErrGeomInvalid for a non-finite coordinate. It contains
// and covers only an equal point, contains no area, and is disjoint from an
// area that does not cover it.
class ZORV_EXPORT ZELUNPointGeometry final : public ZELUNGeometry {
public:
    ZELUNPointGeometry(ZELUNCoordSystem const& system, double x, double y);
    ZELUNPointGeometry(ZELUNPointGeometry const& other);
    ZELUNPointGeometry& operator=(ZELUNPointGeometry const& other);
    ~ZELUNPointGeometry() override;

    double getX() const { return m_x; }
    double getY() const { return m_y; }

    ZELUNType<ZELUNGeometry> clone() const override;
    ZELUNArray<double> getMinPoint() const override;
    ZELUNArray<double> getMaxPoint() const override;
    bool containsPoint(ZELUNPointGeometry const& point, int mode, long& status) const override;
    bool coversPoint(ZELUNPointGeometry const& point, int mode, long& status) const override;
    bool containsArea(ZELUNAreaGeometry const& area, int mode, long& status) const override;
    bool isDisjointFromArea(ZELUNAreaGeometry const& area, int mode, long& status) const override;

private:
    double m_x;
    double m_y;
};
