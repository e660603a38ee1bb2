#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNVector2D.h"

namespace ZELUNCompGeom {

// Handle of the exact-arithmetic calculator. The predicates below are exact
// without state, so it holds nothing and costs nothing to make.
class ZELUNExactCalc {
public:
    ZELUNExactCalc() noexcept = default;
};

// Whether (x, y) lies inside the ring, by the even-odd rule. The ring may be
// open or closed (a last vertex repeating the first adds nothing); a point
// exactly on it answers `boundaryInside`. The answer is exact for the given
// doubles. `tolerance` is not used and `calc` may be null. A ring of fewer
// than 3 vertices, a non-finite vertex or a non-finite point answers false.
ZORV_EXPORT bool isPointInRing(double x, double y, ZELUNArray<ZELUNVector2D> const& ring, double tolerance,
                               bool boundaryInside, ZELUNExactCalc const* calc);

}  // namespace ZELUNCompGeom
