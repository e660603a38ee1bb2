#pragma once

#include <limits>
#include <type_traits>

#include "zorvsupport/platform/ZELUNnBox.h"
#include "zorvsupport/platform/ZELUNnPoint.h"

// Arithmetic on integer points and boxes that never overflows: sums and
// differences saturate at the limits of T instead of wrapping.
namespace ZELUNnOps {

// a + b, or the limit of T on the side the true sum lies.
template <class T>
constexpr T saturatingAdd(T a, T b)
{
    static_assert(std::is_integral_v<T>, "integer coordinates only");
    T r = T();
    if (__builtin_add_overflow(a, b, &r)) return b > 0 ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
    return r;
}

// a - b, or the limit of T on the side the true difference lies.
template <class T>
constexpr T saturatingSubtract(T a, T b)
{
    static_assert(std::is_integral_v<T>, "integer coordinates only");
    T r = T();
    if (__builtin_sub_overflow(a, b, &r)) return b > 0 ? std::numeric_limits<T>::min() : std::numeric_limits<T>::max();
    return r;
}

// ceil(a / d) for a >= 0 and d > 0, without forming a + d - 1.
template <class T>
constexpr T divideUp(T a, T d)
{
    static_assert(std::is_integral_v<T>, "integer counts only");
    return a / d + (a % d != 0 ? 1 : 0);
}

// Component-wise saturating sum and difference.
template <class T, int N>
constexpr ZELUNnPoint<T, N> saturatingAdd(ZELUNnPoint<T, N> const& a, ZELUNnPoint<T, N> const& b)
{
    ZELUNnPoint<T, N> r;
    for (int i = 0; i < N; ++i) r[i] = saturatingAdd(a[i], b[i]);
    return r;
}

template <class T, int N>
constexpr ZELUNnPoint<T, N> saturatingSubtract(ZELUNnPoint<T, N> const& a, ZELUNnPoint<T, N> const& b)
{
    ZELUNnPoint<T, N> r;
    for (int i = 0; i < N; ++i) r[i] = saturatingSubtract(a[i], b[i]);
    return r;
}

// Every coordinate of both corners clamped into the limits' range on its
// axis: below the low limit gives the low limit, else above the high limit
// gives the high limit.
template <class T>
constexpr T clampValue(T v, T low, T high)
{
    return v < low ? low : (v > high ? high : v);
}

template <class T, int N>
constexpr ZELUNnBox<T, N> clampInto(ZELUNnBox<T, N> box, ZELUNnBox<T, N> const& limits)
{
    for (int i = 0; i < N; ++i) {
        box.low[i] = clampValue(box.low[i], limits.low[i], limits.high[i]);
        box.high[i] = clampValue(box.high[i], limits.low[i], limits.high[i]);
    }
    return box;
}

}  // namespace ZELUNnOps
