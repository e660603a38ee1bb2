#include "zorvsupport/warp/GridBoxIterator.h"

#include <cstdint>

#include "zorvsupport/platform/ZELUNnBoxOps.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

using ZELUNnOps::clampInto;
using ZELUNnOps::divideUp;
using ZELUNnOps::saturatingAdd;
using ZELUNnOps::saturatingSubtract;

namespace {

// max - min in wrapping 64-bit arithmetic, read as signed: not positive
// when the axis is empty or its true extent does not fit.
long long wrappedExtent(long long min, long long max)
{
    return static_cast<long long>(static_cast<std::uint64_t>(max) - static_cast<std::uint64_t>(min));
}

bool emptyAxis(long long min, long long max)
{
    return max <= min || wrappedExtent(min, max) <= 0;
}

}  // namespace

GridBoxIterator::GridBoxIterator(ZELUNnBox<long long, 2> const& region, ZELUNnPoint<long long, 2> const& overlap,
                                 ZELUNnPoint<long long, 2> const& tileSize, ZELUNProgress* progress)
    : m_region(region), m_overlap(overlap), m_tileSize(tileSize), m_progress(progress), m_position(region.low),
      m_finished(false)
{
    for (int i = 0; i < 2; ++i)
        if (m_tileSize[i] < 1) m_tileSize[i] = 1;
    m_finished = emptyAxis(region.low[0], region.high[0]) || emptyAxis(region.low[1], region.high[1]);
    if (!m_progress) return;
    // An empty region has no tiles; otherwise both extents are positive and
    // fit, and the count is taken modulo 2^32 as the product of the low
    // halves.
    unsigned count = 0;
    if (!m_finished) {
        long long const columns = divideUp(region.high[0] - region.low[0], m_tileSize[0]);
        long long const rows = divideUp(region.high[1] - region.low[1], m_tileSize[1]);
        count = static_cast<unsigned>(static_cast<std::uint64_t>(rows)) *
                static_cast<unsigned>(static_cast<std::uint64_t>(columns));
    }
    m_progress->setMax(count);
}

GridBoxIterator::~GridBoxIterator() = default;

bool GridBoxIterator::done() const
{
    return m_finished || m_position[1] >= m_region.high[1];
}

bool GridBoxIterator::next()
{
    if (done()) return false;
    if (m_progress && !m_progress->increment()) {
        m_finished = true;
        return false;
    }
    // Tile sizes are positive, so a sum can only saturate upwards, onto a
    // value at or past the region's maximum.
    m_position[0] = saturatingAdd(m_position[0], m_tileSize[0]);
    if (m_position[0] >= m_region.high[0]) {
        m_position[1] = saturatingAdd(m_position[1], m_tileSize[1]);
        m_position[0] = m_region.low[0];
    }
    return !done();
}

ZELUNnBox<long long, 2> GridBoxIterator::getCurrentRegion() const
{
    ZELUNnBox<long long, 2> const tile =
        clampInto(ZELUNnBox<long long, 2>(m_position, saturatingAdd(m_position, m_tileSize)), m_region);
    return ZELUNnBox<long long, 2>(saturatingSubtract(tile.low, m_overlap), saturatingAdd(tile.high, m_overlap));
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
