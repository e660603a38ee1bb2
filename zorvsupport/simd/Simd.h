// Library-internal: the run-time dispatched SIMD layer (Google Highway).
//
// The library is built for baseline x86-64; every kernel is compiled once per
// Highway target (SSSE3, SSE4, AVX2, AVX-512, NEON/SVE on ARM, and the
// portable fallback) and the best one the processor has is picked at the
// first call. To add a kernel, in the .cpp that owns it:
//
//   #undef HWY_TARGET_INCLUDE
//   #define HWY_TARGET_INCLUDE "zorvsupport/<folder>/<File>.cpp"  // this file
//   #include <hwy/foreach_target.h>  // re-includes this file once per target
//   #include <hwy/highway.h>
//   #include "zorvsupport/simd/Simd.h"
//
//   HWY_BEFORE_NAMESPACE();
//   namespace ZORV_3_13_0_ { namespace DataSet { namespace simd {
//   namespace HWY_NAMESPACE {
//   namespace hn = hwy::HWY_NAMESPACE;
//   void myKernel(float* dst, float const* src, std::size_t n) { ... }
//   }  // namespace HWY_NAMESPACE
//   }}}  // namespace ZORV_3_13_0_::DataSet::simd
//   HWY_AFTER_NAMESPACE();
//
//   #if HWY_ONCE
//   ... namespace simd { HWY_EXPORT(myKernel); }
//   void myOperation(...) { HWY_DYNAMIC_DISPATCH(simd::myKernel)(...); }
//   #endif
//
// Everything outside `#if HWY_ONCE` is compiled once per target, so it holds
// only the per-target code. zorvsupport/types/ByteSwap.cpp is a small
// complete example. Rules for kernels:
// - Same bits on every target as the scalar rule: -ffp-contract=off is global
//   and kernels never call MulAdd/NegMulAdd (fused on AVX2 and AVX-512,
//   rounded twice on the emulated target); choose min/max operand order and
//   use selects rather than arithmetic tricks around NaN.
// - The fallback target of the installed Highway may be HWY_SCALAR (one lane,
//   no byte shuffles); branch on `HWY_TARGET == HWY_SCALAR` where an op is
//   missing there.
// - Tests run their body on every target the machine has plus the fallback
//   with forEachSimdTarget (tests/support/SimdTargets.h).
//
// Per-target helpers shared by the kernels follow; this header is meant to be
// included once per target, after hwy/highway.h.

#if defined(ZORV_SIMD_SIMD_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ZORV_SIMD_SIMD_H_
#undef ZORV_SIMD_SIMD_H_
#else
#define ZORV_SIMD_SIMD_H_
#endif

#include <cstddef>
#include <type_traits>

#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
namespace HWY_NAMESPACE {

// Highway's lane type of the same width and kind as the element type T
// (long long and int64_t are distinct types of one layout).
template <class T>
using LaneOf = std::conditional_t<std::is_floating_point_v<T>, T,
                                  std::conditional_t<std::is_signed_v<T>, hwy::SignedFromSize<sizeof(T)>,
                                                     hwy::UnsignedFromSize<sizeof(T)>>>;

// Walks `count` lanes of tag d: vectorBody(i) for each whole vector starting
// at lane i (four per turn while they fit, so loads and stores overlap), then
// tail(i, count - i) once for the remaining lanes when there are any.
template <class D, class VectorBody, class Tail>
HWY_INLINE void forEachVector(D d, std::size_t count, VectorBody&& vectorBody, Tail&& tail)
{
    std::size_t const n = hwy::HWY_NAMESPACE::Lanes(d);
    std::size_t i = 0;
    for (; i + 4 * n <= count; i += 4 * n) {
        vectorBody(i);
        vectorBody(i + n);
        vectorBody(i + 2 * n);
        vectorBody(i + 3 * n);
    }
    for (; i + n <= count; i += n) vectorBody(i);
    if (i < count) tail(i, count - i);
}

}  // namespace HWY_NAMESPACE
}  // namespace simd
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
