#pragma once

#include <cstdint>
#include <vector>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNVector2D.h"

namespace ZELUNCompGeom {

// Point location against one or more rings under the even-odd rule, with
// the answers of isPointInRing. Built once; its edges are indexed by
// horizontal bands, so a query visits only the edges of the band holding y.
// Immutable after construction: queries may run on many threads at once.
class ZORV_EXPORT RingLocator {
public:
    enum Location : int { kExterior = 0, kBoundary = 1, kInterior = 2 };

    RingLocator() = default;
    explicit RingLocator(ZELUNArray<ZELUNVector2D> const& ring);
    // Rings of fewer than 3 vertices add nothing; a non-finite vertex
    // anywhere leaves every point exterior, as isPointInRing answers.
    explicit RingLocator(std::vector<ZELUNArray<ZELUNVector2D>> const& rings);

    // Exterior for a non-finite point.
    Location locate(double x, double y) const;

private:
    void build(ZELUNArray<ZELUNVector2D> const* rings, std::size_t count);
    std::uint32_t bandOf(double y) const;

    std::vector<ZELUNVector2D> m_vertices;  // each ring closed; edge k runs from vertex k to k + 1
    std::vector<std::uint32_t> m_entries;   // edges grouped by band
    std::vector<std::uint32_t> m_starts;    // band i holds m_entries[m_starts[i] .. m_starts[i + 1])
    // The rings' extent; empty (no point inside) while m_maxY < m_minY.
    double m_minX = 0.0;
    double m_maxX = -1.0;
    double m_minY = 0.0;
    double m_maxY = -1.0;
    double m_scale = 0.0;
};

}  // namespace ZELUNCompGeom
