#pragma once

#include "zorvsupport/platform/ZELUNGeometry.h"
#include "zorvsupport/query/PositionFilter.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// A filter whose area is a geometry, kept as a private copy. Until
// setInputCoordSystem, positions are taken in the geometry's own system.
// Copies and assignment copy the geometry deep.
class ZORV_EXPORT GeomFilter : public PositionFilter {
public:
    explicit GeomFilter(ZELUNGeometry const& geometry);
    GeomFilter(GeomFilter const& other);
    GeomFilter& operator=(GeomFilter const& other);
    ~GeomFilter() override;

    // The null cover when the geometry's extent has fewer than 2 values.
    ZELUNCover getCover() const override;
    long setInputCoordSystem(ZELUNCoordSystem const& system) const override;
    Coverage checkBox(ZELUNnBox<double, 2> const& box) const override;
    bool checkPoint(ZELUNnPoint<double, 2> const& point) const override;

private:
    ZELUNCoordSystem const& inputSystem() const;

    ZELUNType<ZELUNGeometry> m_geometry;
    mutable ZELUNCover m_inputCover;  // the extent in the input system; null until set
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
