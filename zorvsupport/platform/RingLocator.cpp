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
    // Every ring closed by a copy of its first vertex; edge k runs from
    // vertex k to vertex k + 1, and the last vertex of a ring starts none.
    std::vector<ZELUNVector2D> vertices;
    std::vector<std::uint32_t> edges;
    for (std::size_t r = 0; r < count; ++r) {
        ZELUNArray<ZELUNVector2D> const& ring = rings[r];
        std::size_t n = ring.size();
        while (n > 1 && ring[n - 1].x == ring[0].x && ring[n - 1].y == ring[0].y) --n;
        for (std::size_t i = 0; i < n; ++i)
            if (!std::isfinite(ring[i].x) || !std::isfinite(ring[i].y)) return;  // nothing is inside
        if (n < 3) continue;
        if (vertices.size() + n + 1 >= UINT32_MAX / kEntriesPerEdge) return;
        for (std::size_t i = 0; i < n; ++i) {
            edges.push_back(static_cast<std::uint32_t>(vertices.size()));
            vertices.push_back(ring[i]);
        }
        vertices.push_back(ring[0]);
    }
    if (edges.empty()) return;
    m_minX = m_minY = HUGE_VAL;
    m_maxX = m_maxY = -HUGE_VAL;
    for (ZELUNVector2D const& v : vertices) {
        m_minX = std::min(m_minX, v.x);
        m_maxX = std::max(m_maxX, v.x);
        m_minY = std::min(m_minY, v.y);
        m_maxY = std::max(m_maxY, v.y);
    }
    auto spanOf = [&](std::uint32_t k) {
        double const y0 = vertices[k].y, y1 = vertices[k + 1].y;
        return std::make_pair(bandOf(std::min(y0, y1)), bandOf(std::max(y0, y1)));
    };
    // Four bands per edge, so a band of a smooth ring holds little more than
    // one edge per side; halve the bands while the edges' spans would list
    // more than kEntriesPerEdge entries per edge.
    std::size_t bands = 4 * edges.size();
    std::size_t const budget = kEntriesPerEdge * edges.size();
    for (;;) {
        double const range = m_maxY - m_minY;
        m_scale = range > 0.0 && bands > 1 ? static_cast<double>(bands) / range : 0.0;
        if (!std::isfinite(m_scale)) m_scale = 0.0;
        m_starts.assign(bands + 1, 0);
        std::size_t entries = 0;
        for (std::uint32_t k : edges) {
            auto const [lo, hi] = spanOf(k);
            entries += hi - lo + 1;
            if (entries > budget) break;
            for (std::uint32_t b = lo; b <= hi; ++b) ++m_starts[b + 1];
        }
        if (entries <= budget || bands == 1) break;
        bands = (bands + 1) / 2;
    }
    for (std::size_t b = 1; b < m_starts.size(); ++b) m_starts[b] += m_starts[b - 1];
    m_entries.resize(m_starts.back());
    std::vector<std::uint32_t> fill(m_starts.begin(), m_starts.end() - 1);
    for (std::uint32_t k : edges) {
        auto const [lo, hi] = spanOf(k);
        for (std::uint32_t b = lo; b <= hi; ++b) m_entries[fill[b]++] = k;
    }
    m_vertices = std::move(vertices);
}

RingLocator::Location RingLocator::locate(double x, double y) const
{
    if (!(y >= m_minY && y <= m_maxY && x >= m_minX && x <= m_maxX)) return kExterior;
    std::uint32_t const band = bandOf(y);
    ZELUNVector2D const* v = m_vertices.data();
    bool inside = false;
    for (std::uint32_t i = m_starts[band], end = m_starts[band + 1]; i < end; ++i) {
        std::uint32_t const k = m_entries[i];
        Exact::EdgeHit const hit = Exact::edgeHit(v[k], v[k + 1], x, y);
        if (hit == Exact::kOnEdge) return kBoundary;
        inside ^= hit == Exact::kCrosses;
    }
    return inside ? kInterior : kExterior;
}

}  // namespace ZELUNCompGeom
