#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/platform/ZELUNnBox.h"
#include "zorvsupport/platform/ZELUNnPoint.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// How much of a rectangle lies inside a filter's area.
enum Coverage : int {
    kFullyCovered = 0,      // entirely inside
    kNotCovered = 1,        // entirely outside
    kPartiallyCovered = 2,  // partly inside, or no answer (a failed conversion)
};

// Tells whether 2-D rectangles and positions, given in an input coordinate
// system, lie inside an area. Queries are const and may run on many threads
// at once; setInputCoordSystem must not run beside them. A query that runs
// out of memory (in a conversion or in the geometry engine) throws
// std::bad_alloc rather than answer.
class ZORV_EXPORT PositionFilter {
public:
    PositionFilter();
    virtual ~PositionFilter();

    // The area as a cover in its own coordinate system.
    virtual ZELUNCover getCover() const = 0;
    // The system of the positions to come; returns the conversion status.
    // kErrOutOfMemory leaves the filter as it was.
    virtual long setInputCoordSystem(ZELUNCoordSystem const& system) const = 0;
    virtual Coverage checkBox(ZELUNnBox<double, 2> const& box) const = 0;
    virtual bool checkPoint(ZELUNnPoint<double, 2> const& point) const = 0;

protected:
    PositionFilter(PositionFilter const&) = default;
    PositionFilter& operator=(PositionFilter const&) = default;

    // Whether a rectangle or a position lies wholly outside a non-null
    // cover's box (strict comparisons: the border is not outside).
    static bool outside(ZELUNCover const& cover, ZELUNnBox<double, 2> const& box);
    static bool outside(ZELUNCover const& cover, double x, double y);
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
