#pragma once

// Library-internal: the conversion of one element, the scalar rule that every
// vector kernel reproduces bit for bit, and the pairs that have one.

#include <cstddef>
#include <type_traits>

#include "zorvsupport/types/NumericConversion.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorUtils {
namespace ConvertDetail {

// Step two of the rule: the value of a source element that is not no-data.
template <class D, class S>
inline D convertValue(S x)
{
    if constexpr (std::is_same_v<S, unsigned long long> && std::is_same_v<D, float>) {
        // Nearest double first, then the nearest float to that.
        return static_cast<float>(static_cast<double>(x));
    } else if constexpr (std::is_same_v<S, float> && std::is_same_v<D, float>) {
        // The clamp in float itself: a NaN keeps its bits whatever the
        // optimiser does with a round trip through double.
        constexpr float bound = std::numeric_limits<float>::max();
        float const v = x < -bound ? -bound : x;
        return v > bound ? bound : v;
    } else {
        return saturateTo<D>(x);
    }
}

// One element: no-data first, then the value rule. Both sides are computed
// and selected, so the loop has no branch.
template <class S, class D>
inline D convertElement(S x, S srcNoData, D dstNoData)
{
    D const v = convertValue<D>(x);
    return x == srcNoData ? dstNoData : v;
}

// Short names of the element types for the kernel names below.
using f32 = float;
using f64 = double;
using i8 = signed char;
using u8 = unsigned char;
using i16 = short;
using u16 = unsigned short;
using i32 = int;
using u32 = unsigned int;

// The pairs with explicit vector kernels, as (source, destination): reals to
// the integers of up to 32 bits, the reals among themselves, those integers
// to the reals, and integer narrowing.
#define ZORV_CONVERT_TO_SMALL_INTS(X, S) X(S, i8) X(S, u8) X(S, i16) X(S, u16) X(S, i32) X(S, u32)
#define ZORV_CONVERT_FROM_SMALL_INTS(X, D) X(i8, D) X(u8, D) X(i16, D) X(u16, D) X(i32, D) X(u32, D)
#define ZORV_FOR_EACH_VECTOR_CONVERSION(X)                                      \
    ZORV_CONVERT_TO_SMALL_INTS(X, f32) ZORV_CONVERT_TO_SMALL_INTS(X, f64)     \
    X(f32, f32) X(f32, f64) X(f64, f32) X(f64, f64)                           \
    ZORV_CONVERT_FROM_SMALL_INTS(X, f32) ZORV_CONVERT_FROM_SMALL_INTS(X, f64) \
    X(i16, i8) X(i16, u8) X(u16, i8) X(u16, u8)                               \
    X(i32, i8) X(i32, u8) X(i32, i16) X(i32, u16)                             \
    X(u32, i8) X(u32, u8) X(u32, i16) X(u32, u16)

// convertBody converts the longest prefix of whole vectors on the best
// target of the processor and returns its length; the caller converts the
// rest with convertElement.
template <class S, class D>
struct HasVectorKernel : std::false_type {};
#define ZORV_DECLARE_KERNEL(S, D)                                                         \
    template <>                                                                           \
    struct HasVectorKernel<S, D> : std::true_type {};                                     \
    std::size_t convertBody(S const* src, std::size_t n, D* out, S srcNoData, D dstNoData);
ZORV_FOR_EACH_VECTOR_CONVERSION(ZORV_DECLARE_KERNEL)
#undef ZORV_DECLARE_KERNEL

}  // namespace ConvertDetail
}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
