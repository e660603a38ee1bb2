#pragma once

// Library-internal: byte-order reversal of single values and of value blocks.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ZORV_3_13_0_ {
namespace DataSet {

// Reverses the bytes of one value of 1, 2, 4 or 8 bytes.
template <class T>
inline T byteSwap(T v)
{
    static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8, "component width");
    if constexpr (sizeof(T) == 1) {
        return v;
    } else if constexpr (sizeof(T) == 2) {
        std::uint16_t u;
        std::memcpy(&u, &v, 2);
        u = __builtin_bswap16(u);
        std::memcpy(&v, &u, 2);
        return v;
    } else if constexpr (sizeof(T) == 4) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        u = __builtin_bswap32(u);
        std::memcpy(&v, &u, 4);
        return v;
    } else {
        std::uint64_t u;
        std::memcpy(&u, &v, 8);
        u = __builtin_bswap64(u);
        std::memcpy(&v, &u, 8);
        return v;
    }
}

// Reverses every `width`-byte component (2, 4 or 8) of a block in place; any
// other width leaves the block as it is. A partial component at the end is
// left as it is. Runs on the processor's best SIMD target.
void byteSwapBlock(unsigned char* data, std::size_t bytes, unsigned width);

// Copies a block while reversing every `width`-byte component (2, 4 or 8), in
// one pass; any other width is a plain copy. A partial component at the end
// is not written. The ranges must not overlap.
void byteSwapCopy(unsigned char* dst, unsigned char const* src, std::size_t bytes, unsigned width);

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
