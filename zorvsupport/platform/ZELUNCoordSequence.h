#pragma once

#include <cstddef>
#include <vector>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNGeomTypes.h"

namespace HPGEOM_3_13_0 {

// The vertices of a curve: x, y (and z for 3-D) of each point, packed.
class ZORV_EXPORT ZELUNCoordSequence {
public:
    ZELUNCoordSequence() = default;

    // Takes x, y (and z for 3-D) of each point; further values are dropped.
    // With `close`, the first point is appended when the last differs from
    // it. kErrBadCoordPoint when a point holds too few values and
    // kErrGeomUnsupported for an unknown type; the sequence then stays as
    // it was.
    long setCoords(ZELUNArray<ZELUNArray<double>> const& points, ZELUNGeomCoordDimType type, bool close);

    std::size_t getCount() const { return m_coords.size() / dims(); }
    ZELUNGeomCoordDimType getCoordDimType() const { return m_type; }
    // NaN for an index or axis out of range.
    double getCoord(std::size_t i, unsigned axis) const;
    // The packed coordinates, getCount() times 2 or 3 values.
    double const* data() const { return m_coords.data(); }

private:
    unsigned dims() const { return m_type == kGeomCoord3D ? 3 : 2; }

    std::vector<double> m_coords;
    ZELUNGeomCoordDimType m_type = kGeomCoord2D;
};

}  // namespace HPGEOM_3_13_0
