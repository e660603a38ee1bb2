#pragma once

// Library-internal: the best-resolution search, written once over the block
// transformation so that tests can drive it with chosen extents.

#include <algorithm>
#include <limits>

#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/platform/ZELUNnBoxOps.h"
#include "zorvsupport/platform/ZELUNnPoint.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// The search behind findBestResolution. `transformBlock(block, status)`
// returns a block of the cover's system as a cover in the target system and
// writes a status; the first non-zero status ends the search with the axes
// finished before. Per axis: the mean pixel size, then passes that cut the
// current region into blocks of half its pixels (rounded up), keep the
// block with the smallest transformed extent (the first one on ties) and
// take that extent per pixel when it is finer. Passes end after
// `iterations` of them (-1: when blocks are one pixel), or when no block of
// a pass had an extent below +inf, so a pass never searches inside the null
// cover.
template <class BlockTransform>
ZELUNnPoint<double, 2> searchBestResolution(ZELUNCover const& cover, ZELUNnPoint<long long, 2> const& size,
                                            ZELUNCoordSystem const& target, long& status, int iterations,
                                            BlockTransform&& transformBlock)
{
    bool counted = true;
    if (iterations == -1) {
        counted = false;
        iterations = 1;
    }
    ZELUNnPoint<double, 2> results(0.0, 0.0);
    ZELUNCoordSystem const& system = cover.getCoordSystem();
    double const factor = system.userToMmOnGroundFactor() * target.mmOnGroundToUserFactor();

    // One region, block and result object for the whole search: a block
    // costs no allocation.
    ZELUNCover region;
    ZELUNCover best;
    ZELUNCover block;
    ZELUNCover transformed;
    for (int axis = 0; axis < 2; ++axis) {
        region = cover;
        long long w = size[0];
        long long h = size[1];
        long long n = std::min(w, h);
        double res = (axis == 0 ? region.getWidth() / static_cast<double>(w)
                                : region.getHeight() / static_cast<double>(h)) *
                     factor;
        int passes = 0;
        while (iterations > 0 && n > 1) {
            long long const half = n / 2 + n % 2;
            double const halfD = static_cast<double>(half);
            double const blockWidth = region.getWidth() * (halfD / static_cast<double>(w));
            double const blockHeight = region.getHeight() * (halfD / static_cast<double>(h));
            double smallest = std::numeric_limits<double>::infinity();
            best = ZELUNCover();
            long long const columns = ZELUNnOps::divideUp(w, half);
            long long const rows = ZELUNnOps::divideUp(h, half);

            double y0 = region.getMinY();
            double y1 = y0 + blockHeight;
            for (long long row = 0; row < rows; ++row) {
                if (region.getMaxY() < y1) {
                    y1 = region.getMaxY();
                    y0 = region.getMaxY() - blockHeight;
                }
                double x0 = region.getMinX();
                double x1 = x0 + blockWidth;
                for (long long column = 0; column < columns; ++column) {
                    if (region.getMaxX() < x1) {
                        x1 = region.getMaxX();
                        x0 = region.getMaxX() - blockWidth;
                    }
                    block = ZELUNCover(system, x0, y0, x1, y1);
                    transformed = transformBlock(static_cast<ZELUNCover const&>(block), status);
                    if (status != 0) return results;
                    double const e = axis == 0 ? transformed.getWidth() : transformed.getHeight();
                    if (e < smallest) {
                        smallest = e;
                        best = block;
                    }
                    x0 += blockWidth;
                    x1 += blockWidth;
                }
                y0 += blockHeight;
                y1 += blockHeight;
            }
            // No finite extent in this pass (NaN or infinite blocks): there
            // is nothing to search inside.
            if (best.isNull()) break;
            if (smallest / halfD <= res) res = smallest / halfD;
            region = best;
            w = h = n = half;
            if (counted && ++passes == iterations) break;
        }
        results[axis] = res;
    }
    return results;
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
