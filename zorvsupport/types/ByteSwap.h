#pragma once

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

// Reverses every component of type U (a 2-, 4- or 8-byte unsigned type) of
// a block in place.
template <class U>
inline void byteSwapEvery(unsigned char* data, std::size_t bytes)
{
    for (std::size_t i = 0; i + sizeof(U) <= bytes; i += sizeof(U)) {
        U u;
        std::memcpy(&u, data + i, sizeof(U));
        u = byteSwap(u);
        std::memcpy(data + i, &u, sizeof(U));
    }
}

// Reverses every `width`-byte component of a block in place (width 1 leaves
// the block as it is). `bytes` must be a multiple of `width`.
inline void byteSwapBlock(unsigned char* data, std::size_t bytes, unsigned width)
{
    switch (width) {
    case 2: byteSwapEvery<std::uint16_t>(data, bytes); break;
    case 4: byteSwapEvery<std::uint32_t>(data, bytes); break;
    case 8: byteSwapEvery<std::uint64_t>(data, bytes); break;
    default: break;
    }
}

// Copies a block while reversing every `width`-byte component, in one pass
// (width 1 is a plain copy). The ranges must not overlap.
template <class U>
inline void byteSwapCopyEvery(unsigned char* dst, unsigned char const* src, std::size_t bytes)
{
    for (std::size_t i = 0; i + sizeof(U) <= bytes; i += sizeof(U)) {
        U u;
        std::memcpy(&u, src + i, sizeof(U));
        u = byteSwap(u);
        std::memcpy(dst + i, &u, sizeof(U));
    }
}

inline void byteSwapCopy(unsigned char* dst, unsigned char const* src, std::size_t bytes, unsigned width)
{
    switch (width) {
    case 2: byteSwapCopyEvery<std::uint16_t>(dst, src, bytes); break;
    case 4: byteSwapCopyEvery<std::uint32_t>(dst, src, bytes); break;
    case 8: byteSwapCopyEvery<std::uint64_t>(dst, src, bytes); break;
    default:
        if (bytes) std::memcpy(dst, src, bytes);
        break;
    }
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
