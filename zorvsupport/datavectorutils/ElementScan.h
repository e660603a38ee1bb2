#pragma once

// Library-internal: scans of element runs for the first element that equals
// or differs from one value, shared by the searches and the block
// comparisons. Equality is the operations' element equality: IEEE for
// reals (NaN equals nothing, -0.0 equals 0.0), bitwise for integers,
// component by component for 3-vectors and tuples.

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "zorvsupport/platform/ZELUNVec3.h"
#include "zorvsupport/types/DataType.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorUtils {

// Index of the first of the n numeric scalars of type `code` (0..9) at p
// that equals *value (`equal`) or differs from it (`!equal`); n when none.
// Compares blocks of lanes at a time on the best SIMD target.
std::size_t scanNumeric(DataType::Type code, void const* p, std::size_t n, void const* value, bool equal);

// Type code of the element type E.
template <class E>
constexpr DataType::Type kindCodeOf()
{
#define ZORV_CODE(k, T, name) \
    if constexpr (std::is_same_v<E, T>) return DataType::Type(k); else
    ZORV_FOR_EACH_ELEMENT_KIND(ZORV_CODE) return DataType::kUndefined;
#undef ZORV_CODE
}

// Integer components are equal exactly when their bytes are.
template <class E>
inline constexpr bool kBitwiseEqual = std::is_integral_v<E>;

// Whether the L components at a equal those at b.
template <class E>
inline bool componentsEqual(E const* a, E const* b, std::size_t L)
{
    if constexpr (kBitwiseEqual<E>) {
        return std::memcmp(a, b, L * sizeof(E)) == 0;
    } else {
        for (std::size_t k = 0; k < L; ++k)
            if (!(a[k] == b[k])) return false;
        return true;
    }
}

// Index of the first of the n elements of L components at p that equals
// (`equal`) or differs from the L components at `value`; n when none.
template <class E>
std::size_t scanElements(E const* p, std::size_t n, std::size_t L, E const* value, bool equal)
{
    if constexpr (std::is_arithmetic_v<E>) {
        if (L == 1) return scanNumeric(kindCodeOf<E>(), p, n, value, equal);
    }
    for (std::size_t i = 0; i < n; ++i, p += L)
        if (componentsEqual(p, value, L) == equal) return i;
    return n;
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
