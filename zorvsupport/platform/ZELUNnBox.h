#pragma once

#include "zorvsupport/Export.h"

#include "zorvsupport/platform/ZELUNnPoint.h"

// An axis-aligned box of N dimensions: the low corner, then the high corner.
template <class T, int N>
struct ZORV_EXPORT ZELUNnBox {
    ZELUNnPoint<T, N> low;
    ZELUNnPoint<T, N> high;

    constexpr ZELUNnBox() = default;
    constexpr ZELUNnBox(ZELUNnPoint<T, N> const& lo, ZELUNnPoint<T, N> const& hi) : low(lo), high(hi) {}

    constexpr ZELUNnPoint<T, N>& getMin() { return low; }
    constexpr ZELUNnPoint<T, N> const& getMin() const { return low; }
    constexpr ZELUNnPoint<T, N>& getMax() { return high; }
    constexpr ZELUNnPoint<T, N> const& getMax() const { return high; }
    // false: the low corner; true: the high corner.
    constexpr ZELUNnPoint<T, N>& operator[](bool hi) { return hi ? high : low; }
    constexpr ZELUNnPoint<T, N> const& operator[](bool hi) const { return hi ? high : low; }

    constexpr bool operator==(ZELUNnBox const& o) const { return low == o.low && high == o.high; }
    constexpr bool operator!=(ZELUNnBox const& o) const { return !(*this == o); }
};
