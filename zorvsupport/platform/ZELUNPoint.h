#pragma once

#include "zorvsupport/Export.h"

// A two-dimensional point, zero by default.
template <class T>
struct ZORV_EXPORT ZELUNPoint {
    T x{};
    T y{};

    constexpr ZELUNPoint() = default;
    constexpr ZELUNPoint(T x_, T y_) : x(x_), y(y_) {}
    constexpr bool operator==(ZELUNPoint const& o) const { return x == o.x && y == o.y; }
    constexpr bool operator!=(ZELUNPoint const& o) const { return !(*this == o); }
};
