#include "zorvsupport/platform/RingLocator.h"

#include <algorithm>
#include <cmath>

#include "zorvsupport/platform/ExactPredicates.h"

namespace ZELUNCompGeom {

namespace {

// Band entries allowed per edge before the bands are made coarser, so rings
// of long edges cannot make the index quadratic.
constexpr std::size_t kEntriesPerEdge = 8;

}  // namespace

RingLocator::RingLocator(ZELUNArray<ZELUNVector2D> const& ring)
{
    build(&ring, 1);
}

RingLocator::RingLocator(std::vector<ZELUNArray<ZELUNVector2D>> const& rings)
{
    build(rings.data(), rings.size());
}

std::uint32_t RingLocator::bandOf(double y) const
{
    // Monotone in y, so an edge spanning [y0, y1] is listed in every band
    // that a y of that range maps to.
    double const b = (y - m_minY) * m_scale;
    std::uint32_t const last = static_cast<std::uint32_t>(m_starts.size() - 2);
    if (!(b > 0.0)) return 0;
    return b >= last ? last : static_cast<std::uint32_t>(b);
}

void RingLocator::build(ZELUNArray<ZELUNVector2D> const* rings, std::size_t count)
{
    std::vector<Edge> edges;
    for (std::size_t r = 0; r < count; ++r) {
        ZELUNArray<ZELUNVector2D> const& ring = rings[r];
        std::size_t n = ring.size();
        while (n > 1 && ring[n - 1].x == ring[0].x && ring[n - 1].y == ring[0].y) --n;
        for (std::size_t i = 0; i < n; ++i)
            if (!std::isfinite(ring[i].x) || !std::isfinite(ring[i].y)) return;  // nothing is inside
        if (n < 3) continue;
        for (std::size_t i = 0, j = n - 1; i < n; j = i++) edges.push_back({ring[j], ring[i]});
    }
    if (edges.empty() || edges.size() >= UINT32_MAX / kEntriesPerEdge) return;
    m_minY = HUGE_VAL;
    m_maxY = -HUGE_VAL;
    for (Edge const& e : edges) {
        m_minY = std::min({m_minY, e.a.y, e.b.y});
        m_maxY = std::max({m_maxY, e.a.y, e.b.y});
    }
    // About one edge per band; halve the bands while the edges' spans would
    // list more than kEntriesPerEdge entries per edge.
    std::size_t bands = edges.size();
    std::size_t const budget = kEntriesPerEdge * edges.size();
    for (;;) {
        double const range = m_maxY - m_minY;
        m_scale = range > 0.0 && bands > 1 ? static_cast<double>(bands) / range : 0.0;
        if (!std::isfinite(m_scale)) m_scale = 0.0;
        m_starts.assign(bands + 1, 0);
        std::size_t entries = 0;
        for (Edge const& e : edges) {
            std::uint32_t const lo = bandOf(std::min(e.a.y, e.b.y));
            std::uint32_t const hi = bandOf(std::max(e.a.y, e.b.y));
            entries += hi - lo + 1;
            for (std::uint32_t b = lo; b <= hi; ++b) ++m_starts[b + 1];
            if (entries > budget) break;
        }
        if (entries <= budget || bands == 1) break;
        bands = (bands + 1) / 2;
    }
    for (std::size_t b = 1; b < m_starts.size(); ++b) m_starts[b] += m_starts[b - 1];
    m_edges.resize(m_starts.back());
    std::vector<std::uint32_t> fill(m_starts.begin(), m_starts.end() - 1);
    for (Edge const& e : edges) {
        std::uint32_t const lo = bandOf(std::min(e.a.y, e.b.y));
        std::uint32_t const hi = bandOf(std::max(e.a.y, e.b.y));
        for (std::uint32_t b = lo; b <= hi; ++b) m_edges[fill[b]++] = e;
    }
}

RingLocator::Location RingLocator::locate(double x, double y) const
{
    if (!(y >= m_minY && y <= m_maxY) || !std::isfinite(x)) return kExterior;
    std::uint32_t const band = bandOf(y);
    bool inside = false;
    for (std::uint32_t i = m_starts[band], end = m_starts[band + 1]; i < end; ++i) {
        Exact::EdgeHit const hit = Exact::edgeHit(m_edges[i].a, m_edges[i].b, x, y);
        if (hit == Exact::kOnEdge) return kBoundary;
        inside ^= hit == Exact::kCrosses;
    }
    return inside ? kInterior : kExterior;
}

}  // namespace ZELUNCompGeom
