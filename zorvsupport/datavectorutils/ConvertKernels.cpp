// Vector kernels of the element conversions that are worth timing, written
// once and compiled for every target; each call runs on the best target of
// the processor. Every kernel gives the bits of convertElement: the same
// IEEE operations in the same order, no fused multiply-add, and NaN and
// no-data resolved with masks. Each converts whole vectors only and returns
// how many elements it did; the caller finishes the tail with the scalar rule.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/datavectorutils/ConvertKernels.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include <cstddef>
#include <limits>
#include <type_traits>

#include "zorvsupport/datavectorutils/ConvertRule.h"
#include "zorvsupport/simd/Simd.h"

HWY_BEFORE_NAMESPACE();
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
namespace HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;
using namespace DataVectorUtils::ConvertDetail;  // the short type names

// Runs body(i) over the whole vectors of n lanes of d; returns how many lanes
// they hold.
template <class D, class Body>
HWY_INLINE std::size_t wholeVectors(D d, std::size_t n, Body&& body)
{
    std::size_t done = n;
    forEachVector(d, n, body, [&](std::size_t i, std::size_t) { done = i; });
    return done;
}

template <class T>
constexpr bool kIsReal = std::is_floating_point_v<T>;

// Round half away from zero of a NaN-free float32 vector, exactly: for a
// float x the double sum x +- 0.5 of the scalar rule never rounds across an
// integer, so truncating and stepping by one where |x - trunc(x)| >= 0.5 is
// the same. x - trunc(x) is exact, and so is t +- 1 (|t| < 2^24 whenever
// there is a fraction).
template <class DF, class V>
HWY_INLINE V roundHalfAway(DF df, V x)
{
    V const t = hn::Trunc(x);
    auto const stepUp = hn::Ge(hn::Abs(hn::Sub(x, t)), hn::Set(df, 0.5f));
    return hn::IfThenElse(stepUp, hn::Add(t, hn::CopySign(hn::Set(df, 1.0f), x)), t);
}

// float32 to an integer of up to 32 bits, in int32 lanes (the bits of D's
// value, not yet narrowed).
template <class D, class DF, class VF>
HWY_INLINE auto floatToIntLanes(DF df, VF x)
{
    hn::RebindToSigned<DF> const di;
    VF const x0 = hn::IfThenElseZero(hn::Eq(x, x), x);  // NaN gives 0
    VF const r = roundHalfAway(df, x0);
    if constexpr (sizeof(D) <= 2) {
        VF const low = hn::Set(df, static_cast<float>(std::numeric_limits<D>::lowest()));
        VF const high = hn::Set(df, static_cast<float>(std::numeric_limits<D>::max()));
        return hn::ConvertTo(di, hn::Min(hn::Max(r, low), high));
    } else {
        // Rounded values from 2^31 (int32) or 2^32 (uint32) on saturate; the
        // largest float below 2^31 is 2^31 - 128.
        VF const two31 = hn::Set(df, 2147483648.0f);
        VF const below31 = hn::Set(df, 2147483520.0f);
        if constexpr (std::is_signed_v<D>) {
            auto const v = hn::ConvertTo(di, hn::Min(hn::Max(r, hn::Neg(two31)), below31));
            return hn::IfThenElse(hn::RebindMask(di, hn::Ge(r, two31)), hn::Set(di, 0x7FFFFFFF), v);
        } else {
            VF const p = hn::Max(r, hn::Zero(df));
            auto const upper = hn::Ge(p, two31);
            // From 2^31 on: convert p - 2^31 (exact) and set the top bit.
            auto v = hn::ConvertTo(di, hn::Min(hn::IfThenElse(upper, hn::Sub(p, two31), p), below31));
            v = hn::IfThenElse(hn::RebindMask(di, upper), hn::Xor(v, hn::Set(di, std::numeric_limits<int>::min())), v);
            return hn::IfThenElse(hn::RebindMask(di, hn::Ge(p, hn::Set(df, 4294967296.0f))), hn::Set(di, -1), v);
        }
    }
}

// float64 to an integer of up to 32 bits: y = x +- 0.5 in double, NaN to 0,
// clamped to D's range (exact in double), no-data selected, truncated.
template <class D, class DD, class VD>
HWY_INLINE auto doubleToIntLanes(DD dd, VD x, VD srcNoData, VD dstNoData)
{
    hn::Rebind<int, DD> const di;
    VD y = hn::Add(x, hn::CopySign(hn::Set(dd, 0.5), x));
    y = hn::IfThenElseZero(hn::Eq(x, x), y);
    y = hn::Min(hn::Max(y, hn::Set(dd, double(std::numeric_limits<D>::lowest()))),
                hn::Set(dd, double(std::numeric_limits<D>::max())));
    y = hn::IfThenElse(hn::Eq(x, srcNoData), dstNoData, y);
    if constexpr (std::is_same_v<D, unsigned int>) {
        // Truncated, then shifted into int32 range and back by the top bit.
        VD const shifted = hn::Sub(hn::Trunc(y), hn::Set(dd, 2147483648.0));
        return hn::Xor(hn::DemoteTo(di, shifted), hn::Set(di, std::numeric_limits<int>::min()));
    } else if constexpr (std::is_same_v<D, int>) {
        // Truncated first: demotion is exact for integral values only on
        // every target (the scalar one saturates -2^31 - 0.5 < y < -2^31 + 1).
        return hn::DemoteTo(di, hn::Trunc(y));
    } else {
        return hn::DemoteTo(di, y);
    }
}

// Clamp to +-bound with a NaN passing: both tests fail for it.
template <class D, class V>
HWY_INLINE V clampPassingNaN(D d, V x, double bound)
{
    using T = hn::TFromD<D>;
    V const high = hn::Set(d, static_cast<T>(bound));
    V const low = hn::Neg(high);
    V const v = hn::IfThenElse(hn::Lt(x, low), low, x);
    return hn::IfThenElse(hn::Gt(v, high), high, v);
}

constexpr double kFloat32Bound = std::numeric_limits<float>::max();

// Narrows int32 lanes that already hold D's values into D and stores them.
template <class D, class DI, class VI>
HWY_INLINE void storeNarrowed(DI di, VI v, D* out)
{
    if constexpr (sizeof(D) == sizeof(hn::TFromD<DI>)) {
        hn::StoreU(hn::BitCast(hn::Rebind<D, DI>(), v), hn::Rebind<D, DI>(), out);
    } else {
        hn::Rebind<D, DI> const dn;
        (void)di;
        hn::StoreU(hn::DemoteTo(dn, v), dn, out);
    }
}

// Loads Lanes(d) elements of S and widens them to int32 lanes (S of up to
// 32 bits; uint32 keeps its bits).
template <class S, class DI>
HWY_INLINE auto loadAsInt32(DI di, S const* p)
{
    if constexpr (sizeof(S) == 4) {
        return hn::BitCast(di, hn::LoadU(hn::Rebind<S, DI>(), p));
    } else {
        hn::Rebind<S, DI> const ds;
        hn::Rebind<std::conditional_t<std::is_signed_v<S>, int, unsigned>, DI> const dw;
        return hn::BitCast(di, hn::PromoteTo(dw, hn::LoadU(ds, p)));
    }
}

// Converts the whole vectors of [src, src + n) and returns how many elements
// they hold.
template <class S, class D>
std::size_t convertBodyT(S const* src, std::size_t n, D* out, S srcNoData, D dstNoData)
{
    if constexpr (HWY_TARGET == HWY_SCALAR) {
        // One lane per vector gains nothing: the scalar rule does it all.
        (void)src, (void)n, (void)out, (void)srcNoData, (void)dstNoData;
        return 0;
    } else if constexpr (std::is_same_v<S, float> && !kIsReal<D>) {
        hn::ScalableTag<float> const df;
        hn::RebindToSigned<decltype(df)> const di;
        auto const snd = hn::Set(df, srcNoData);
        auto const dnd = hn::Set(di, static_cast<int>(dstNoData));
        return wholeVectors(df, n, [&](std::size_t i) {
            auto const x = hn::LoadU(df, src + i);
            auto const v = hn::IfThenElse(hn::RebindMask(di, hn::Eq(x, snd)), dnd, floatToIntLanes<D>(df, x));
            storeNarrowed(di, v, out + i);
        });
    } else if constexpr (std::is_same_v<S, double> && !kIsReal<D>) {
        hn::ScalableTag<double> const dd;
        hn::Rebind<int, decltype(dd)> const di;
        auto const snd = hn::Set(dd, srcNoData);
        auto const dnd = hn::Set(dd, static_cast<double>(dstNoData));
        return wholeVectors(dd, n, [&](std::size_t i) {
            storeNarrowed(di, doubleToIntLanes<D>(dd, hn::LoadU(dd, src + i), snd, dnd), out + i);
        });
    } else if constexpr (kIsReal<S> && kIsReal<D>) {
        // Worked in the wider type; float32 values keep the float32 bound.
        using W = std::conditional_t<std::is_same_v<S, double> || std::is_same_v<D, double>, double, float>;
        hn::ScalableTag<W> const dw;
        hn::Rebind<D, decltype(dw)> const dout;
        double const bound = std::is_same_v<S, float> || std::is_same_v<D, float> ? kFloat32Bound
                                                                                 : std::numeric_limits<double>::max();
        if constexpr (std::is_same_v<D, float> && std::is_same_v<S, double>) {
            // The no-data value is selected after the narrowing, in float32
            // lanes, so that a signalling NaN keeps its bits (a round trip
            // through double would quieten it). No-data lanes go through the
            // narrowing as +infinity, which the clamped values never are;
            // the emulated target narrows infinity to the largest float, so
            // there the mask crosses as 1.0 or 0.0 instead.
            auto const snd = hn::Set(dw, srcNoData);
            auto const dnd = hn::Set(dout, dstNoData);
            return wholeVectors(dw, n, [&](std::size_t i) {
                auto const x = hn::LoadU(dw, src + i);
                auto const isNoData = hn::Eq(x, snd);
                if constexpr (HWY_TARGET != HWY_EMU128) {
                    auto const inf = hn::Set(dw, std::numeric_limits<double>::infinity());
                    auto const v = hn::DemoteTo(dout, hn::IfThenElse(isNoData, inf, clampPassingNaN(dw, x, bound)));
                    auto const marked = hn::Eq(v, hn::Set(dout, std::numeric_limits<float>::infinity()));
                    hn::StoreU(hn::IfThenElse(marked, dnd, v), dout, out + i);
                } else {
                    auto const v = hn::DemoteTo(dout, clampPassingNaN(dw, x, bound));
                    auto const flag = hn::DemoteTo(dout, hn::IfThenElseZero(isNoData, hn::Set(dw, 1.0)));
                    hn::StoreU(hn::IfThenElse(hn::Gt(flag, hn::Zero(dout)), dnd, v), dout, out + i);
                }
            });
        } else {
            // The destination is the wider type.
            hn::Rebind<S, decltype(dw)> const ds;
            auto const snd = hn::Set(dw, static_cast<W>(srcNoData));
            auto const dnd = hn::Set(dw, dstNoData);
            return wholeVectors(dw, n, [&](std::size_t i) {
                auto const x = hn::LoadU(ds, src + i);
                auto const wide = [&] {
                    if constexpr (std::is_same_v<S, W>)
                        return x;
                    else
                        return hn::PromoteTo(dw, x);
                }();
                hn::StoreU(hn::IfThenElse(hn::Eq(wide, snd), dnd, clampPassingNaN(dw, wide, bound)), dout, out + i);
            });
        }
    } else if constexpr (!kIsReal<S> && std::is_same_v<D, float>) {
        hn::ScalableTag<float> const df;
        hn::RebindToSigned<decltype(df)> const di;
        auto const snd = hn::Set(di, static_cast<int>(srcNoData));
        auto const dnd = hn::Set(df, dstNoData);
        return wholeVectors(df, n, [&](std::size_t i) {
            auto const x = loadAsInt32(di, src + i);
            hn::Vec<decltype(df)> f;
            if constexpr (std::is_same_v<S, unsigned int>) {
                // High and low halves: the product is exact and the sum rounds once.
                auto const hi = hn::ConvertTo(df, hn::ShiftRight<16>(hn::BitCast(hn::RebindToUnsigned<decltype(di)>(), x)));
                auto const lo = hn::ConvertTo(df, hn::And(x, hn::Set(di, 0xFFFF)));
                f = hn::Add(hn::Mul(hn::BitCast(df, hi), hn::Set(df, 65536.0f)), lo);
            } else {
                f = hn::ConvertTo(df, x);
            }
            hn::StoreU(hn::IfThenElse(hn::RebindMask(df, hn::Eq(x, snd)), dnd, f), df, out + i);
        });
    } else if constexpr (!kIsReal<S> && std::is_same_v<D, double>) {
        // Every such integer is exact in double, so no-data is compared there.
        hn::ScalableTag<double> const dd;
        hn::Rebind<int, decltype(dd)> const di;
        auto const snd = hn::Set(dd, static_cast<double>(srcNoData));
        auto const dnd = hn::Set(dd, dstNoData);
        return wholeVectors(dd, n, [&](std::size_t i) {
            auto f = hn::PromoteTo(dd, loadAsInt32(di, src + i));
            if constexpr (std::is_same_v<S, unsigned int>)
                f = hn::IfThenElse(hn::Lt(f, hn::Zero(dd)), hn::Add(f, hn::Set(dd, 4294967296.0)), f);
            hn::StoreU(hn::IfThenElse(hn::Eq(f, snd), dnd, f), dd, out + i);
        });
    } else {
        // Integer narrowing: clamp in S to the shared range, select no-data in
        // the signed type of S's width (every D value fits), then narrow.
        hn::ScalableTag<S> const ds;
        hn::RebindToSigned<decltype(ds)> const di;
        using SI = hn::TFromD<decltype(di)>;
        S const high = static_cast<S>(std::numeric_limits<D>::max());
        auto const snd = hn::Set(ds, srcNoData);
        auto const dnd = hn::Set(di, static_cast<SI>(dstNoData));
        return wholeVectors(ds, n, [&](std::size_t i) {
            auto const x = hn::LoadU(ds, src + i);
            auto c = hn::Min(x, hn::Set(ds, high));
            if constexpr (std::is_signed_v<S>)
                c = hn::Max(c, hn::Set(ds, static_cast<S>(std::numeric_limits<D>::lowest())));
            auto const v = hn::IfThenElse(hn::RebindMask(di, hn::Eq(x, snd)), dnd, hn::BitCast(di, c));
            storeNarrowed(di, v, out + i);
        });
    }
}

#define ZORV_DEFINE_KERNEL(S, D)                                                            \
    std::size_t convert_##S##_##D(S const* src, std::size_t n, D* out, S srcNoData, D dstNoData) \
    {                                                                                      \
        return convertBodyT(src, n, out, srcNoData, dstNoData);                            \
    }
ZORV_FOR_EACH_VECTOR_CONVERSION(ZORV_DEFINE_KERNEL)
#undef ZORV_DEFINE_KERNEL

}  // namespace HWY_NAMESPACE
}  // namespace simd
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
using namespace DataVectorUtils::ConvertDetail;
#define ZORV_EXPORT_KERNEL(S, D) HWY_EXPORT(convert_##S##_##D);
ZORV_FOR_EACH_VECTOR_CONVERSION(ZORV_EXPORT_KERNEL)
#undef ZORV_EXPORT_KERNEL
}  // namespace simd

namespace DataVectorUtils {
namespace ConvertDetail {

#define ZORV_DISPATCH_KERNEL(S, D)                                                          \
    std::size_t convertBody(S const* src, std::size_t n, D* out, S srcNoData, D dstNoData) \
    {                                                                                       \
        return HWY_DYNAMIC_DISPATCH(simd::convert_##S##_##D)(src, n, out, srcNoData, dstNoData); \
    }
ZORV_FOR_EACH_VECTOR_CONVERSION(ZORV_DISPATCH_KERNEL)
#undef ZORV_DISPATCH_KERNEL

}  // namespace ConvertDetail
}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
#endif  // HWY_ONCE
