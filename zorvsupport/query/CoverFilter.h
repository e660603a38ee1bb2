#pragma once

#include "zorvsupport/query/PositionFilter.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// A filter whose area is a cover. Until setInputCoordSystem, positions are
// taken in the cover's own system. A value: copies are independent.
class ZORV_EXPORT CoverFilter : public PositionFilter {
public:
    explicit CoverFilter(ZELUNCover const& cover);
    CoverFilter(CoverFilter const& other);
    CoverFilter& operator=(CoverFilter const& other);
    ~CoverFilter() override;

    ZELUNCover getCover() const override;
    long setInputCoordSystem(ZELUNCoordSystem const& system) const override;
    Coverage checkBox(ZELUNnBox<double, 2> const& box) const override;
    bool checkPoint(ZELUNnPoint<double, 2> const& point) const override;

private:
    ZELUNCoordSystem const& inputSystem() const;
    void decideSameSystem() const;

    ZELUNCover m_cover;
    mutable ZELUNCover m_inputCover;  // the area in the input system; may be null
    // Positions come in the cover's own valid system: checkPoint compares
    // them without a conversion.
    mutable bool m_sameSystem = false;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
