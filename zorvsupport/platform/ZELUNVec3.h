#pragma once

#include "zorvsupport/Export.h"

namespace HPGEOM_3_13_0 {

// A 3-vector: x, y, z in that order, zero by default. Ordered by z, then y,
// then x.
template <class T>
struct ZORV_EXPORT ZELUNVec3 {
    T x{};
    T y{};
    T z{};

    constexpr ZELUNVec3() = default;
    constexpr ZELUNVec3(T x_, T y_, T z_) : x(x_), y(y_), z(z_) {}

    constexpr bool operator==(ZELUNVec3 const& o) const { return x == o.x && y == o.y && z == o.z; }
    constexpr bool operator!=(ZELUNVec3 const& o) const { return !(*this == o); }
    constexpr bool operator<(ZELUNVec3 const& o) const
    {
        if (z < o.z) return true;
        if (o.z < z) return false;
        if (y < o.y) return true;
        if (o.y < y) return false;
        return x < o.x;
    }
    constexpr bool operator>(ZELUNVec3 const& o) const { return o < *this; }
};

}  // namespace HPGEOM_3_13_0

using HPGEOM_3_13_0::ZELUNVec3;
