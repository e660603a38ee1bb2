#pragma once

#include <cstdint>
#include <memory>

#include "zorvsupport/platform/ZELUNGeometry.h"
#include "zorvsupport/platform/ZELUNVector2D.h"

// A polygon of one ring, taken from x and y of the first `count` points and
// closed by the geometry itself. Status kErrGeomInvalid when count is below 3
// or beyond the array, a point holds fewer than 2 values, a coordinate is not
// finite, or all vertices lie on one line. The rotate direction and the five
// flags have no effect. Copies share the immutable vertices.
class ZORV_EXPORT ZELUNAreaGeometry final : public ZELUNGeometry {
public:
    ZELUNAreaGeometry(ZELUNCoordSystem const& system, ZELUNArray<ZELUNArray<double>> const& ring, unsigned count,
                      ZELUN::ROTATE_DIR rotate, bool flag1, bool flag2, bool flag3, bool flag4, bool flag5);
    ZELUNAreaGeometry(ZELUNAreaGeometry const& other);
    ZELUNAreaGeometry& operator=(ZELUNAreaGeometry const& other);
    ~ZELUNAreaGeometry() override;

    // The vertices as given (not closed), each a 2-value array holding x
    // then y; empty when not built.
    ZELUNArray<ZELUNArray<double>> const& getPoints() const;

    ZELUNType<ZELUNGeometry> clone() const override;
    ZELUNArray<double> getMinPoint() const override;
    ZELUNArray<double> getMaxPoint() const override;
    bool containsPoint(ZELUNPointGeometry const& point, int mode, long& status) const override;
    bool coversPoint(ZELUNPointGeometry const& point, int mode, long& status) const override;
    bool containsArea(ZELUNAreaGeometry const& area, int mode, long& status) const override;
    bool isDisjointFromArea(ZELUNAreaGeometry const& area, int mode, long& status) const override;

    struct Shape;  // opaque: vertices (both forms), their point index and a never-reused id

private:
    ZELUNAreaGeometry(ZELUNCoordSystem const& system, std::shared_ptr<Shape const> shape);
    // Where a point of `system` lies: -1 after a failure (status set), else
    // a RingLocator location.
    int locate(ZELUNPointGeometry const& point, long& status) const;
    bool areaPredicate(ZELUNAreaGeometry const& other, bool covers, long& status) const;

    // Whether positions of `system` need no conversion into this area's.
    bool takesAsGiven(ZELUNCoordSystem const& system) const;

    std::shared_ptr<Shape const> m_shape;
    // The identity of this area's system (systems share their definition
    // with their copies) and its validity, for a cheap test of the system
    // that a point comes in.
    ZELUNUString const* m_systemId;
    bool m_systemValid;
};
