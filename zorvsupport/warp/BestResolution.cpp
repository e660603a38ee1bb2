#include "zorvsupport/warp/BestResolutionSearch.h"
#include "zorvsupport/warp/WarpUtils.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

ZELUNnPoint<double, 2> findBestResolution(ZELUNCover const& cover, ZELUNnPoint<long long, 2> const& size,
                                          ZELUNCoordSystem const& target, long& status, int iterations)
{
    return searchBestResolution(cover, size, target, status, iterations,
                                [&target](ZELUNCover const& block, long& st) { return block.transformTo(target, st); });
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
