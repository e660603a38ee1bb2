// Minimum and maximum with no-data. Numeric scalars are scanned in SIMD
// lanes dispatched at run time; 3-vectors and tuples in storage order.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/datavectorutils/CalcMinMax.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "zorvsupport/simd/Simd.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "zorvsupport/types/DataType.h"

HWY_BEFORE_NAMESPACE();
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Folds the n values of type E at p into *min and *max (which hold the start
// values on entry), leaving out the values equal to *nd. Each value updates
// the accumulators as the sequential rule does: mn = e < mn ? e : mn, and
// mx = mx < e ? e : mx, so a NaN never enters them. A left-out value is
// replaced by the accumulator's start value, which changes nothing. The
// lanes hold no NaN, so combining them with Min and Max gives the
// sequential value; only the sign of a zero result may differ. Values are
// read through vector loads or memcpy, so the stored type may be E's twin.
template <class E>
void minMaxRun(unsigned char const* p, std::size_t n, void const* noData, void* min, void* max)
{
    auto load = [](void const* q) {
        E e;
        std::memcpy(&e, q, sizeof e);
        return e;
    };
    E const nd = load(noData);
    E m = load(min), x = load(max);
    hn::ScalableTag<E> const d;
    using V = decltype(hn::Zero(d));
    std::size_t const lanes = hn::Lanes(d);
    V const vnd = hn::Set(d, nd), vhi = hn::Set(d, m), vlo = hn::Set(d, x);
    V mn[4] = {vhi, vhi, vhi, vhi}, mx[4] = {vlo, vlo, vlo, vlo};
    auto step = [&](V& a, V& b, std::size_t i) {
        V const e = hn::LoadU(d, reinterpret_cast<E const*>(p + i * sizeof(E)));
        auto const skip = hn::Eq(e, vnd);
        V const forMin = hn::IfThenElse(skip, vhi, e), forMax = hn::IfThenElse(skip, vlo, e);
        if constexpr (std::is_floating_point_v<E>) {
            a = hn::IfThenElse(hn::Lt(forMin, a), forMin, a);
            b = hn::IfThenElse(hn::Lt(b, forMax), forMax, b);
        } else {
            a = hn::Min(a, forMin);
            b = hn::Max(b, forMax);
        }
    };
    std::size_t i = 0;
    for (; i + 4 * lanes <= n; i += 4 * lanes)
        for (std::size_t k = 0; k < 4; ++k) step(mn[k], mx[k], i + k * lanes);
    for (; i + lanes <= n; i += lanes) step(mn[0], mx[0], i);
    E laneMin[HWY_MAX_BYTES / sizeof(E)], laneMax[HWY_MAX_BYTES / sizeof(E)];
    hn::StoreU(hn::Min(hn::Min(mn[0], mn[1]), hn::Min(mn[2], mn[3])), d, laneMin);
    hn::StoreU(hn::Max(hn::Max(mx[0], mx[1]), hn::Max(mx[2], mx[3])), d, laneMax);
    for (std::size_t k = 0; k < lanes; ++k) {
        if (laneMin[k] < m) m = laneMin[k];
        if (x < laneMax[k]) x = laneMax[k];
    }
    for (; i < n; ++i) {
        E const e = load(p + i * sizeof(E));
        if (e == nd) continue;
        if (e < m) m = e;
        if (x < e) x = e;
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
// against the minimum and then against the maximum.
template <class E>
void scanInOrder(E const* p, std::size_t count, std::size_t L, E const* nd, E* mn, E* mx)
{
    for (std::size_t i = 0; i < count; ++i, p += L) {
        if (tuplesEqual(p, unsigned(L), nd, unsigned(L))) continue;
        if (lessThan(p, mn, L)) std::copy_n(p, L, mn);
        if (lessThan(mx, p, L)) std::copy_n(p, L, mx);
    }
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
            // A zero takes the sign of the first kept zero, as in storage order.
            if constexpr (std::is_floating_point_v<E>) {
                if (*mn == 0 || *mx == 0) {
                    E const* z = findKept(p, count, 1, nd, [](E const* e) { return *e == 0; });
                    if (*mn == 0) *mn = *z;
                    if (*mx == 0) *mx = *z;
                }
            }
        } else {
            scanInOrder(p, count, L, nd, mn, mx);
        }

        // An output still at its start value is no-data unless a kept
        // element holds that value.
        auto holds = [&](E const& v) { return [&v, L](E const* e) { return allComponentsEqual(e, L, v); }; };
        if (allComponentsEqual(mn, L, hi) && !findKept(p, count, L, nd, holds(hi))) std::copy_n(nd, L, mn);
        if (allComponentsEqual(mx, L, lo) && !findKept(p, count, L, nd, holds(lo))) std::copy_n(nd, L, mx);
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
