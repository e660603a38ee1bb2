#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNProgress.h"
#include "zorvsupport/platform/ZELUNnBox.h"
#include "zorvsupport/platform/ZELUNnPoint.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Walks a region of grid coordinates in tiles of a fixed size, rows from the
// region's minimum corner, x fastest. Each tile is reported clipped to the
// region and then grown by the overlap on every side (a negative overlap
// shrinks it). Use:
//
//   for (GridBoxIterator it(region, overlap, tile, progress); !it.done(); it.next())
//       process(it.getCurrentRegion());
//
// Tile sizes below 1 count as 1. A region with max <= min on an axis, or
// whose extent does not fit in 64 bits, is empty: the walk is over at once.
// The progress object, when given (not owned), receives setMax(tile count
// modulo 2^32) on construction and one increment per next() that leaves a
// tile; an increment answering false stops the walk on the tile that was
// current. Positions and corners saturate at the 64-bit limits, so regions
// reaching them are walked and end; a position that saturates lies past the
// region.
class ZORV_EXPORT GridBoxIterator {
public:
    GridBoxIterator(ZELUNnBox<long long, 2> const& region, ZELUNnPoint<long long, 2> const& overlap,
                    ZELUNnPoint<long long, 2> const& tileSize, ZELUNProgress* progress);
    ~GridBoxIterator();

    // True when there is no current tile.
    bool done() const;
    // Moves to the following tile; true when there is one.
    bool next();
    // The current tile, clipped to the region, then grown by the overlap.
    ZELUNnBox<long long, 2> getCurrentRegion() const;

    ZELUNnBox<long long, 2> const& getRegion() const { return m_region; }
    ZELUNnPoint<long long, 2> const& getOverlap() const { return m_overlap; }

private:
    ZELUNnBox<long long, 2> m_region;
    ZELUNnPoint<long long, 2> m_overlap;
    ZELUNnPoint<long long, 2> m_tileSize;
    ZELUNProgress* m_progress;
    ZELUNnPoint<long long, 2> m_position;  // minimum corner of the current tile, before clipping
    bool m_finished;                       // empty region, or stopped by the progress object
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
