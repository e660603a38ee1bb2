// Block byte swaps: one byte shuffle per vector, dispatched at run time.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/types/ByteSwap.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include "zorvsupport/simd/Simd.h"
#include "zorvsupport/types/ByteSwap.h"

#include <cstdint>

#ifndef ZORV_TYPES_BYTESWAP_SCALAR_
#define ZORV_TYPES_BYTESWAP_SCALAR_
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace {

// Copies of at least this many bytes stream their stores past the cache.
constexpr std::size_t kStreamFrom = std::size_t(8) << 20;

// Reverses the whole U-sized components of [src, src + bytes) into dst
// (dst may equal src).
template <class U>
inline void swapComponents(unsigned char* dst, unsigned char const* src, std::size_t bytes)
{
    for (std::size_t i = 0; i + sizeof(U) <= bytes; i += sizeof(U)) {
        U u;
        std::memcpy(&u, src + i, sizeof(U));
        u = byteSwap(u);
        std::memcpy(dst + i, &u, sizeof(U));
    }
}

}  // namespace
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
#endif

HWY_BEFORE_NAMESPACE();
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Reverses the U-sized components of [src, src + bytes) into dst; dst equal
// to src swaps in place. Byte j of a block moves to byte j ^ (sizeof(U) - 1),
// one shuffle within each 16-byte block of a vector.
template <class U>
void swapRun(unsigned char* dst, unsigned char const* src, std::size_t bytes)
{
#if HWY_TARGET == HWY_SCALAR
    swapComponents<U>(dst, src, bytes);
#else
    hn::ScalableTag<std::uint8_t> const d;
    alignas(16) static constexpr std::uint8_t kShuffle[16] = {
        0 ^ (sizeof(U) - 1),  1 ^ (sizeof(U) - 1),  2 ^ (sizeof(U) - 1),  3 ^ (sizeof(U) - 1),
        4 ^ (sizeof(U) - 1),  5 ^ (sizeof(U) - 1),  6 ^ (sizeof(U) - 1),  7 ^ (sizeof(U) - 1),
        8 ^ (sizeof(U) - 1),  9 ^ (sizeof(U) - 1),  10 ^ (sizeof(U) - 1), 11 ^ (sizeof(U) - 1),
        12 ^ (sizeof(U) - 1), 13 ^ (sizeof(U) - 1), 14 ^ (sizeof(U) - 1), 15 ^ (sizeof(U) - 1)};
    auto const shuffle = hn::LoadDup128(d, kShuffle);
    auto const swapped = [&](unsigned char const* p) { return hn::TableLookupBytes(hn::LoadU(d, p), shuffle); };
    // A large copy goes out with non-temporal stores, as a large memcpy does:
    // the destination is not read into the cache before it is overwritten.
    // That needs the destination aligned to a vector after a head of whole
    // components.
    std::size_t const vectorBytes = hn::Lanes(d);
    std::size_t const head = (vectorBytes - reinterpret_cast<std::uintptr_t>(dst) % vectorBytes) % vectorBytes;
    if (dst != src && bytes >= kStreamFrom && head % sizeof(U) == 0) {
        swapComponents<U>(dst, src, head);
        unsigned char* const out = dst + head;
        unsigned char const* const in = src + head;
        forEachVector(
            d, bytes - head, [&](std::size_t i) { hn::Stream(swapped(in + i), d, out + i); },
            [&](std::size_t i, std::size_t rest) { swapComponents<U>(out + i, in + i, rest); });
        hwy::FlushStream();
        return;
    }
    forEachVector(
        d, bytes, [&](std::size_t i) { hn::StoreU(swapped(src + i), d, dst + i); },
        [&](std::size_t i, std::size_t rest) { swapComponents<U>(dst + i, src + i, rest); });
#endif
}

void swapBytes(unsigned char* dst, unsigned char const* src, std::size_t bytes, unsigned width)
{
    switch (width) {
    case 2: swapRun<std::uint16_t>(dst, src, bytes); break;
    case 4: swapRun<std::uint32_t>(dst, src, bytes); break;
    case 8: swapRun<std::uint64_t>(dst, src, bytes); break;
    default: break;
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace simd
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
HWY_EXPORT(swapBytes);
}  // namespace simd

void byteSwapBlock(unsigned char* data, std::size_t bytes, unsigned width)
{
    HWY_DYNAMIC_DISPATCH(simd::swapBytes)(data, data, bytes, width);
}

void byteSwapCopy(unsigned char* dst, unsigned char const* src, std::size_t bytes, unsigned width)
{
    if (width == 2 || width == 4 || width == 8)
        HWY_DYNAMIC_DISPATCH(simd::swapBytes)(dst, src, bytes, width);
    else if (bytes)
        std::memcpy(dst, src, bytes);
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
#endif
