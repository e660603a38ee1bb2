#pragma once

// Conversion of single numbers between the ten numeric element types
// (float, double, signed char, unsigned char, short, unsigned short, int,
// unsigned int, long long, unsigned long long), for per-element loops.
//
//   saturateTo<D>(S v)          any numeric S to any numeric D:
//                               - integer -> integer: saturated to D's range,
//                                 exact signedness-aware comparisons;
//                               - floating -> integer: roundAndSaturate<D>;
//                               - float/double -> float: clamped to
//                                 +-3.4028234663852886e38, then rounded to
//                                 nearest; infinities become the bounds;
//                               - float -> double: the same float32 clamp;
//                               - double -> double: clamped to +-DBL_MAX;
//                               - integer -> floating: nearest value, no clamp;
//                               NaN stays NaN for every floating target.
//   roundAndSaturate<D>(x)      float or double x to integer D: rounded half
//                               away from zero (x + 0.5 or x - 0.5 in double,
//                               then truncated), saturated to D's range;
//                               +-inf give the bounds. NaN gives the bits
//                               0x8000000000000000 cut to D's width: 0 up to
//                               32 bits, INT64_MIN for long long, 2^63 for
//                               unsigned long long.
//   roundHalfAway<D>(x)         float x for D = float, double x otherwise:
//                               unchanged for floating D; for integer D the
//                               same result as roundAndSaturate<D> (values
//                               outside D's range saturate, NaN as above).
//   clamp<T>(v, low, high)      low when v < low, else high when v > high,
//                               else v (a NaN v comes back unchanged).
//   lowest<T>(), highest<T>()   most negative / largest finite value of T.
//
// All floating arithmetic and comparisons are done in double. None of these
// returns a status, throws or allocates, and no float-to-integer cast is ever
// applied to a value outside the target's range: out-of-range values and NaN
// are resolved by comparisons and selects, in a form the compiler vectorises
// for floating sources and integer targets of up to 32 bits.

#include <cmath>
#include <limits>
#include <type_traits>

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace NumericDetail {

template <class T>
struct IsNumericElement
    : std::bool_constant<std::is_same_v<T, float> || std::is_same_v<T, double> || std::is_same_v<T, signed char> ||
                         std::is_same_v<T, unsigned char> || std::is_same_v<T, short> ||
                         std::is_same_v<T, unsigned short> || std::is_same_v<T, int> ||
                         std::is_same_v<T, unsigned int> || std::is_same_v<T, long long> ||
                         std::is_same_v<T, unsigned long long>> {};

template <class T>
inline constexpr bool kIsNumeric = IsNumericElement<T>::value;
template <class T>
inline constexpr bool kIsInteger = kIsNumeric<T> && std::is_integral_v<T>;
template <class T>
inline constexpr bool kIsFloating = kIsNumeric<T> && std::is_floating_point_v<T>;

inline constexpr double kFloat32Max = static_cast<double>(std::numeric_limits<float>::max());
inline constexpr double kFloat64Max = std::numeric_limits<double>::max();

// Exact a < b and a > b for integers of any signedness.
template <class A, class B>
constexpr bool intLess(A a, B b)
{
    if constexpr (std::is_signed_v<A> == std::is_signed_v<B>)
        return a < b;
    else if constexpr (std::is_signed_v<A>)
        return a < 0 || static_cast<std::make_unsigned_t<A>>(a) < b;
    else
        return b >= 0 && a < static_cast<std::make_unsigned_t<B>>(b);
}

// The result for a NaN argument: 0x8000000000000000 cut to D's width.
template <class D>
constexpr D nanResult()
{
    return static_cast<D>(static_cast<unsigned long long>(1) << 63);
}

// Truncates an already offset double (x + 0.5 or x - 0.5) toward zero and
// saturates it to D; NaN gives nanResult<D>().
template <class D>
inline D truncateAndSaturate(double a)
{
    if constexpr (sizeof(D) <= 4) {
        // Every such range is exact in double: clamp (NaN ends at the low
        // bound), truncate, then pick 0 for NaN. This form vectorises.
        using Wide = std::conditional_t<std::is_same_v<D, unsigned int>, long long, int>;
        constexpr double low = static_cast<double>(std::numeric_limits<D>::lowest());
        constexpr double high = static_cast<double>(std::numeric_limits<D>::max());
        double v = a > low ? a : low;
        v = v < high ? v : high;
        D const truncated = static_cast<D>(static_cast<Wide>(v));
        return a == a ? truncated : D(0);
    } else {
        // Above and below are the first doubles outside D's range once
        // truncated: 2^63 or 2^64, and -2^63 or -1.
        constexpr double above = static_cast<double>(std::numeric_limits<D>::max()) + 1.0;
        constexpr double below = static_cast<double>(std::numeric_limits<D>::lowest()) - 1.0;
        bool const inside = a > below && a < above;
        // The cast only ever sees an in-range value.
        D const truncated = static_cast<D>(inside ? a : 0.0);
        D const outside = a > 0.0 ? std::numeric_limits<D>::max()
                                  : (a != a ? nanResult<D>() : std::numeric_limits<D>::lowest());
        return inside ? truncated : outside;
    }
}

template <class D>
using RoundArg = std::conditional_t<std::is_same_v<D, float>, float, double>;

}  // namespace NumericDetail

template <class T>
constexpr T highest()
{
    static_assert(NumericDetail::kIsNumeric<T>, "highest<T>: T is not a numeric element type");
    return std::numeric_limits<T>::max();
}

template <class T>
constexpr T lowest()
{
    static_assert(NumericDetail::kIsNumeric<T>, "lowest<T>: T is not a numeric element type");
    return std::numeric_limits<T>::lowest();
}

template <class T>
constexpr T clamp(T value, T low, T high)
{
    static_assert(NumericDetail::kIsNumeric<T>, "clamp<T>: T is not a numeric element type");
    return value < low ? low : (value > high ? high : value);
}

template <class D>
inline D roundAndSaturate(double value)
{
    static_assert(NumericDetail::kIsInteger<D>, "roundAndSaturate<D>: D is not an integer element type");
    // value - 0.5 below zero, value + 0.5 otherwise; -0.0 gets -0.5 here
    // instead of +0.5, which truncates to the same 0.
    double const a = value + std::copysign(0.5, value);
    return NumericDetail::truncateAndSaturate<D>(a);
}

template <class D>
inline D roundAndSaturate(float value)
{
    return roundAndSaturate<D>(static_cast<double>(value));
}

template <class D>
inline D roundHalfAway(NumericDetail::RoundArg<D> value)
{
    static_assert(NumericDetail::kIsNumeric<D>, "roundHalfAway<D>: D is not a numeric element type");
    if constexpr (NumericDetail::kIsFloating<D>) {
        return value;
    } else {
        double const x = value;
        double const a = x > 0.0 ? x + 0.5 : x - 0.5;
        return NumericDetail::truncateAndSaturate<D>(a);
    }
}

template <class D, class S>
inline D saturateTo(S value)
{
    using namespace NumericDetail;
    static_assert(kIsNumeric<D> && kIsNumeric<S>, "saturateTo<D>(S): both must be numeric element types");
    if constexpr (kIsInteger<S> && kIsInteger<D>) {
        constexpr bool lowFits = !intLess(std::numeric_limits<S>::lowest(), std::numeric_limits<D>::lowest());
        constexpr bool highFits = !intLess(std::numeric_limits<D>::max(), std::numeric_limits<S>::max());
        if constexpr (lowFits && highFits) {
            return static_cast<D>(value);
        } else {
            // The shared range's bounds, both held exactly by S.
            constexpr S low = lowFits ? std::numeric_limits<S>::lowest() : static_cast<S>(std::numeric_limits<D>::lowest());
            constexpr S high = highFits ? std::numeric_limits<S>::max() : static_cast<S>(std::numeric_limits<D>::max());
            S v = value < low ? low : value;
            v = v > high ? high : v;
            return static_cast<D>(v);
        }
    } else if constexpr (kIsFloating<S> && kIsInteger<D>) {
        return roundAndSaturate<D>(value);
    } else if constexpr (kIsInteger<S>) {
        return static_cast<D>(value);
    } else {
        // Floating to floating: the bound is the smaller of the two ranges,
        // and a float source never exceeds the float32 range.
        constexpr double bound = (std::is_same_v<D, float> || std::is_same_v<S, float>) ? kFloat32Max : kFloat64Max;
        double v = static_cast<double>(value);
        v = v < -bound ? -bound : v;  // NaN passes both tests
        v = v > bound ? bound : v;
        return static_cast<D>(v);
    }
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
