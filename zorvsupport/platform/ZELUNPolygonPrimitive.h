#pragma once

#include <vector>

#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNVector2D.h"

namespace ZELUNCompGeom {

// A polygon of an outer ring and holes, each a list of 2-D vertices.
class ZELUNPolygonPrimitive {
public:
    explicit ZELUNPolygonPrimitive(ZELUNArray<ZELUNVector2D> const& outer,
                                   std::vector<ZELUNArray<ZELUNVector2D>> const& holes = {})
    {
        m_rings.reserve(holes.size() + 2);
        m_rings.push_back(outer);
        m_rings.insert(m_rings.end(), holes.begin(), holes.end());
        m_rings.emplace_back();  // answers indices out of range
    }

    // Ring 0 is the outer ring, rings 1 to getNumHoles() the holes; any
    // other index gives an empty ring.
    ZELUNArray<ZELUNVector2D> const& getPoints(unsigned ring) const
    {
        return ring < m_rings.size() - 1 ? m_rings[ring] : m_rings.back();
    }
    unsigned getNumHoles() const { return static_cast<unsigned>(m_rings.size() - 2); }

private:
    std::vector<ZELUNArray<ZELUNVector2D>> m_rings;  // outer, holes, one empty
};

}  // namespace ZELUNCompGeom
