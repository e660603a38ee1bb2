#include "zorvsupport/query/PositionFilter.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

PositionFilter::PositionFilter() = default;
PositionFilter::~PositionFilter() = default;

bool PositionFilter::outside(ZELUNCover const& cover, ZELUNnBox<double, 2> const& box)
{
    return !cover.isNull() && (cover.getMinX() > box[true][0] || cover.getMinY() > box[true][1] ||
                               cover.getMaxX() < box[false][0] || cover.getMaxY() < box[false][1]);
}

bool PositionFilter::outside(ZELUNCover const& cover, double x, double y)
{
    return !cover.isNull() &&
           (cover.getMinX() > x || cover.getMinY() > y || cover.getMaxX() < x || cover.getMaxY() < y);
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
