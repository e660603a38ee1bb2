// Block byte swaps: one byte shuffle per vector, dispatched at run time.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/types/ByteSwap.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "zorvsupport/simd/Simd.h"
#include "zorvsupport/types/ByteSwap.h"

#ifndef ZORV_TYPES_BYTESWAP_SCALAR_
#define ZORV_TYPES_BYTESWAP_SCALAR_
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace {

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
    forEachVector(
        d, bytes,
        [&](std::size_t i) { hn::StoreU(hn::TableLookupBytes(hn::LoadU(d, src + i), shuffle), d, dst + i); },
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
