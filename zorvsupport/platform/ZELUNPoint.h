#pragma once

#include "zorvsupport/Export.h"

// A point of two or three coordinates; z stays zero for a 2-D point.
template <class T>
struct ZORV_EXPORT ZELUNPoint {
    T x{};
    T y{};
    T z{};

    constexpr ZELUNPoint() = default;
    constexpr ZELUNPoint(T x_, T y_) : x(x_), y(y_) {}
    constexpr ZELUNPoint(T x_, T y_, T z_) : x(x_), y(y_), z(z_) {}
    constexpr bool operator==(ZELUNPoint const& o) const { return x == o.x && y == o.y && z == o.z; }
    constexpr bool operator!=(ZELUNPoint const& o) const { return !(*this == o); }
};
