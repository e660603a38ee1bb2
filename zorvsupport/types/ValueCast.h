#pragma once

// Internal: the plain conversion of one numeric value into another numeric
// type, as single values convert (not the rounding rules of vectors).

#include <cmath>
#include <cstdint>
#include <type_traits>

namespace ZORV_3_13_0_ {
namespace DataSet {

// Floating targets take the value as a floating value. Integer targets take
// the low bits of the value as a signed 64-bit integer: integer sources are
// sign- or zero-extended, floating sources truncate toward zero, and a
// floating value outside [-2^63, 2^63) or NaN gives 0x8000000000000000. The
// range is tested before any cast, so no conversion overflows.
template <class T, class E>
inline T valueCast(E v)
{
    static_assert(std::is_arithmetic_v<T> && std::is_arithmetic_v<E>, "numeric types only");
    if constexpr (std::is_floating_point_v<T> || std::is_integral_v<E>) {
        return static_cast<T>(v);
    } else {
        double const d = static_cast<double>(v);
        long long i = INT64_MIN;
        if (d >= -9223372036854775808.0 && d < 9223372036854775808.0) i = static_cast<long long>(d);
        return static_cast<T>(static_cast<unsigned long long>(i));
    }
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
