// Minimum and maximum with no-data. Numeric scalars are scanned in SIMD
// lanes dispatched at run time; 3-vectors and tuples in storage order.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/datavectorutils/CalcMinMax.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "zorvsupport/simd/Simd.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

#include "zorvsupport/types/DataType.h"

HWY_BEFORE_NAMESPACE();
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The minimum and maximum of the n values of type E at p, leaving out the
// values equal to *noData, written to *min and *max with the rules applied:
// an output that the sequential scan (starting at the highest and the lowest
// value of E) leaves at its start value is the no-data value unless a kept
// element holds that value, and a zero result carries the sign of the first
// kept zero. Values are read through vector loads or memcpy, so the stored
// type may be E's twin.
//
// Each lane folds its own elements as the sequential rule does: mn = e < mn
// ? e : mn, and mx = mx < e ? e : mx, so a NaN never enters. Real lanes start
// at +-infinity, so a lane at the type's extreme holds a kept element of that
// value; a left-out value is replaced by the lane's start, which changes
// nothing. Integer lanes start at the extremes: with any element kept, the
// minimum at the highest value means every kept element is that value.
//
// Zero signs: once a lane has met a zero, it keeps that zero's sign for as
// long as it stays at zero, so when the result is zero the lanes at zero hold
// the signs of their first zeros, and the first kept zero of all is one of
// them. Only when both signs occur is it looked up, from the first block of
// the pass at whose end some lane stood at zero (no earlier block held one).
template <class E>
void minMaxRun(unsigned char const* p, std::size_t n, void const* noData, void* min, void* max)
{
    constexpr bool kReal = std::is_floating_point_v<E>;
    auto load = [](void const* q) {
        E e;
        std::memcpy(&e, q, sizeof e);
        return e;
    };
    E const nd = load(noData);
    E const top = kReal ? std::numeric_limits<E>::infinity() : std::numeric_limits<E>::max();
    E const bottom = kReal ? -std::numeric_limits<E>::infinity() : std::numeric_limits<E>::lowest();
    hn::ScalableTag<E> const d;
    using V = decltype(hn::Zero(d));
    std::size_t const lanes = hn::Lanes(d);
    V const vnd = hn::Set(d, nd), vtop = hn::Set(d, top), vbottom = hn::Set(d, bottom);
    V mn[4] = {vtop, vtop, vtop, vtop}, mx[4] = {vbottom, vbottom, vbottom, vbottom};
    auto step = [&](V& a, V& b, std::size_t i) {
        V const e = hn::LoadU(d, reinterpret_cast<E const*>(p + i * sizeof(E)));
        auto const skip = hn::Eq(e, vnd);
        V const forMin = hn::IfThenElse(skip, vtop, e), forMax = hn::IfThenElse(skip, vbottom, e);
        if constexpr (kReal) {
            a = hn::IfThenElse(hn::Lt(forMin, a), forMin, a);
            b = hn::IfThenElse(hn::Lt(b, forMax), forMax, b);
        } else {
            a = hn::Min(a, forMin);
            b = hn::Max(b, forMax);
        }
    };
    auto group = [&](std::size_t i) {
        for (std::size_t k = 0; k < 4; ++k) step(mn[k], mx[k], i + k * lanes);
    };
    std::size_t const groupLanes = 4 * lanes;
    std::size_t const block = groupLanes * (groupLanes < 4096 ? 4096 / groupLanes : 1);
    std::size_t const none = ~std::size_t(0);
    std::size_t zeroFrom = none;  // start of the first block after which a lane stood at zero
    std::size_t i = 0;
    for (; i + block <= n;) {
        std::size_t const blockStart = i;
        for (; i < blockStart + block; i += groupLanes) group(i);
        if constexpr (kReal) {
            if (zeroFrom == none) {
                V const zero = hn::Zero(d);
                auto atZero = hn::Or(hn::Eq(mn[0], zero), hn::Eq(mx[0], zero));
                for (std::size_t k = 1; k < 4; ++k)
                    atZero = hn::Or(atZero, hn::Or(hn::Eq(mn[k], zero), hn::Eq(mx[k], zero)));
                if (!hn::AllFalse(d, atZero)) zeroFrom = blockStart;
            }
        }
    }
    if (zeroFrom == none) zeroFrom = i;
    for (; i + groupLanes <= n; i += groupLanes) group(i);
    for (; i + lanes <= n; i += lanes) step(mn[0], mx[0], i);

    constexpr std::size_t kMaxLanes = 4 * HWY_MAX_BYTES / sizeof(E);
    E laneMin[kMaxLanes], laneMax[kMaxLanes];
    for (std::size_t k = 0; k < 4; ++k) {
        hn::StoreU(mn[k], d, laneMin + k * lanes);
        hn::StoreU(mx[k], d, laneMax + k * lanes);
    }
    E m = top, x = bottom;
    for (std::size_t k = 0; k < groupLanes; ++k) {
        if (laneMin[k] < m) m = laneMin[k];
        if (x < laneMax[k]) x = laneMax[k];
    }
    for (; i < n; ++i) {
        E const e = load(p + i * sizeof(E));
        if (e == nd) continue;
        if (e < m) m = e;
        if (x < e) x = e;
    }

    E const hi = std::numeric_limits<E>::max(), lo = std::numeric_limits<E>::lowest();
    if constexpr (kReal) {
        if (m == 0 || x == 0) {
            // Lanes at zero: when none, the first kept zero came after the
            // lanes and the sequential tail already gave its sign.
            E const* at = m == 0 ? laneMin : laneMax;
            bool positive = false, negative = false;
            for (std::size_t k = 0; k < groupLanes; ++k)
                if (at[k] == 0) (std::signbit(at[k]) ? negative : positive) = true;
            E z = m == 0 ? m : x;
            if (positive != negative) {
                z = negative ? -E(0) : E(0);
            } else if (positive) {
                for (std::size_t j = zeroFrom; j < n; ++j) {
                    E const e = load(p + j * sizeof(E));
                    if (e == 0 && !(e == nd)) {
                        z = e;
                        break;
                    }
                }
            }
            if (m == 0) m = z;
            if (x == 0) x = z;
        }
        // The sequential scan starts at hi and lo, so what lies beyond them
        // (the lanes' start, or a kept infinity) never entered it.
        if (hi < m) m = nd;
        if (x < lo) x = nd;
    } else {
        if (m == hi && x == lo) m = x = nd;  // nothing kept
    }
    std::memcpy(min, &m, sizeof m);
    std::memcpy(max, &x, sizeof x);
}

// The run for a numeric type code; `min` and `max` hold the start values.
void minMaxScan(int code, void const* p, std::size_t n, void const* nd, void* min, void* max)
{
    switch (code) {
#define ZORV_CASE(k, T, name) \
    case k: return minMaxRun<LaneOf<T>>(static_cast<unsigned char const*>(p), n, nd, min, max);
        ZORV_FOR_EACH_NUMERIC_KIND(ZORV_CASE)
#undef ZORV_CASE
    default: break;
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace simd
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include <algorithm>
#include <cfloat>
#include <limits>

#include "zorvsupport/datavector/DimensionDispatch.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/datavectorutils/OperationFrame.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
HWY_EXPORT(minMaxScan);
}  // namespace simd

namespace DataVectorUtils {
namespace {

// Start values: the highest value of a type starts the minimum, the lowest
// the maximum (for floats the largest finite magnitudes).
template <class E>
struct Extremes {
    static E highest() { return std::numeric_limits<E>::max(); }
    static E lowest() { return std::numeric_limits<E>::lowest(); }
};
template <>
struct Extremes<ZELUNVec3<double>> {
    static ZELUNVec3<double> highest() { return {DBL_MAX, DBL_MAX, DBL_MAX}; }
    static ZELUNVec3<double> lowest() { return {-DBL_MAX, -DBL_MAX, -DBL_MAX}; }
};

// Lexicographic order of two elements of L components.
template <class E>
bool lessThan(E const* a, E const* b, std::size_t L)
{
    for (std::size_t k = 0; k < L; ++k) {
        if (a[k] < b[k]) return true;
        if (b[k] < a[k]) return false;
    }
    return false;
}

template <class E>
bool allComponentsEqual(E const* a, std::size_t L, E const& v)
{
    for (std::size_t k = 0; k < L; ++k)
        if (!elementEqual(a[k], v)) return false;
    return true;
}

// First kept element (not equal to the no-data value) of the `count`
// elements of L components at p that satisfies `match`; null when none.
template <class E, class Match>
E const* findKept(E const* p, std::size_t count, std::size_t L, E const* nd, Match&& match)
{
    for (std::size_t i = 0; i < count; ++i, p += L)
        if (!tuplesEqual(p, unsigned(L), nd, unsigned(L)) && match(p)) return p;
    return nullptr;
}

// The sequential scan: every kept element, in storage order, first tested
// against the minimum and then against the maximum. Returns whether any
// element was kept.
template <class E>
bool scanInOrder(E const* p, std::size_t count, std::size_t L, E const* nd, E* mn, E* mx)
{
    bool kept = false;
    for (std::size_t i = 0; i < count; ++i, p += L) {
        if (tuplesEqual(p, unsigned(L), nd, unsigned(L))) continue;
        kept = true;
        if (lessThan(p, mn, L)) std::copy_n(p, L, mn);
        if (lessThan(mx, p, L)) std::copy_n(p, L, mx);
    }
    return kept;
}

// The values of a vector of element kind T and N dimensions.
template <class T>
struct ValuesOf {
    using E = typename T::element_type;
    struct Span {
        E const* data = nullptr;
        std::size_t count = 0;  // elements
    };
    DataVector const* vector;

    template <int N>
    Span operator()() const
    {
        auto const& v = dynamic_cast<TDataVectorLeaf<T, N> const&>(*vector);
        return {static_cast<E const*>(v.getConstDataPtr()), v.size()};
    }
};

struct CalcMinMaxVisitor {
    DataVector const* vector;
    Variant const* noData;
    Variant* min;
    Variant* max;

    template <class T>
    long accept(T const& tag) const
    {
        using E = typename T::element_type;
        E const* nd = noData->getTypedPtr(tag);
        if (!nd) return kErrValueTypeMismatch;
        DataType const type = tag.getDataType();
        if (vector->getDataType() != type) return kErrVectorClassMismatch;

        std::size_t const L = type.getLength();
        E const hi = Extremes<E>::highest(), lo = Extremes<E>::lowest();
        *min = ConstVariantRef(type, nullptr);
        *max = ConstVariantRef(type, nullptr);
        E* mn = min->getTypedPtr(tag);
        E* mx = max->getTypedPtr(tag);
        std::fill_n(mn, L, hi);
        std::fill_n(mx, L, lo);

        auto const values = visitByDimension(vector->getNumDimensions(), ValuesOf<T>{vector});
        E const* p = values.data;
        std::size_t const count = p ? values.count : 0;
        if constexpr (!IsTupleTag<T>::value && std::is_arithmetic_v<E>) {
            HWY_DYNAMIC_DISPATCH(simd::minMaxScan)(T::kType, p, count, nd, mn, mx);
        } else {
            // An output still at its start value is no-data unless a kept
            // element holds that value.
            bool const kept = scanInOrder(p, count, L, nd, mn, mx);
            auto holds = [&](E const& v) { return [&v, L](E const* e) { return allComponentsEqual(e, L, v); }; };
            if (allComponentsEqual(mn, L, hi) && !(kept && findKept(p, count, L, nd, holds(hi)))) std::copy_n(nd, L, mn);
            if (allComponentsEqual(mx, L, lo) && !(kept && findKept(p, count, L, nd, holds(lo)))) std::copy_n(nd, L, mx);
        }
        return kSuccess;
    }
};

}  // namespace

long calcMinMax(DataVector const& vector, Variant const& noData, Variant& min, Variant& max)
{
    DataType const type = vector.getDataType();
    if (type != noData.getDataType()) return kErrValueTypeMismatch;
    // The outputs are written first: a no-data value that is one of them is
    // read from a copy.
    Variant copy;
    Variant const* nd = &noData;
    if (&noData == &min || &noData == &max) nd = &(copy = noData);
    return type.applyVisitor(CalcMinMaxVisitor{&vector, nd, &min, &max});
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_

#endif  // HWY_ONCE
