#pragma once

#include "zorvsupport/Export.h"

#include <type_traits>

// A point of N components of type T, zero by default.
template <class T, int N>
struct ZORV_EXPORT ZELUNnPoint {
    T v[N] = {};

    constexpr ZELUNnPoint() = default;
    // One value per component: ZELUNnPoint<unsigned, 3>(4, 5, 6).
    template <class... A, class = std::enable_if_t<sizeof...(A) == N && (std::is_arithmetic_v<A> && ...)>>
    constexpr ZELUNnPoint(A... a) : v{static_cast<T>(a)...}
    {
    }

    constexpr T& operator[](int i) { return v[i]; }
    constexpr T const& operator[](int i) const { return v[i]; }
    static constexpr int size() { return N; }

    constexpr bool operator==(ZELUNnPoint const& o) const
    {
        for (int i = 0; i < N; ++i)
            if (!(v[i] == o.v[i])) return false;
        return true;
    }
    constexpr bool operator!=(ZELUNnPoint const& o) const { return !(*this == o); }
};
