// Searches for the first element equal to or differing from a value.
// Numeric scalars are scanned in blocks of SIMD lanes dispatched at run time:
// a block is tested for any hit first, and only a block with one is located.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/datavectorutils/Search.cpp"
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

// Index of the first of the n values at p for which (value == *v) is
// kEqual; n when none. Eq is false for NaN, so a NaN value or element is
// never equal and always differs.
template <class E, bool kEqual>
std::size_t scanRun(unsigned char const* p, std::size_t n, void const* value)
{
    E v;
    std::memcpy(&v, value, sizeof v);
    if constexpr (kEqual && sizeof(E) == 1) {
        void const* hit = std::memchr(p, static_cast<unsigned char>(v), n);
        return hit ? std::size_t(static_cast<unsigned char const*>(hit) - p) : n;
    }
    hn::ScalableTag<E> const d;
    std::size_t const lanes = hn::Lanes(d);
    auto const vv = hn::Set(d, v);
    E const* q = reinterpret_cast<E const*>(p);
    auto hits = [&](std::size_t i) {
        auto const eq = hn::Eq(hn::LoadU(d, q + i), vv);
        if constexpr (kEqual)
            return eq;
        else
            return hn::Not(eq);
    };
    std::size_t i = 0;
    for (; i + 4 * lanes <= n; i += 4 * lanes)
        if (!hn::AllFalse(d, hn::Or(hn::Or(hits(i), hits(i + lanes)), hn::Or(hits(i + 2 * lanes), hits(i + 3 * lanes)))))
            break;
    for (; i + lanes <= n; i += lanes) {
        intptr_t const k = hn::FindFirstTrue(d, hits(i));
        if (k >= 0) return i + std::size_t(k);
    }
    for (; i < n; ++i) {
        E e;
        std::memcpy(&e, p + i * sizeof(E), sizeof e);
        if ((e == v) == kEqual) return i;
    }
    return n;
}

std::size_t scanNumericRun(int code, void const* p, std::size_t n, void const* value, bool equal)
{
    auto const* bytes = static_cast<unsigned char const*>(p);
    switch (code) {
#define ZORV_CASE(k, T, name)                                                            \
    case k:                                                                              \
        return equal ? scanRun<LaneOf<T>, true>(bytes, n, value) : scanRun<LaneOf<T>, false>(bytes, n, value);
        ZORV_FOR_EACH_NUMERIC_KIND(ZORV_CASE)
#undef ZORV_CASE
    default: return n;
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace simd
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include "zorvsupport/datavector/DimensionDispatch.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/datavectorutils/ElementScan.h"
#include "zorvsupport/datavectorutils/OperationFrame.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
HWY_EXPORT(scanNumericRun);
}  // namespace simd

namespace DataVectorUtils {

std::size_t scanNumeric(DataType::Type code, void const* p, std::size_t n, void const* value, bool equal)
{
    if (n == 0) return 0;
    return HWY_DYNAMIC_DISPATCH(simd::scanNumericRun)(code, p, n, value, equal);
}

namespace {

constexpr unsigned kNotFound = 0xFFFFFFFFu;

// A search's answer. Its default, which a dispatch over a type code without
// an element class returns, is "not found": no element was searched.
struct SearchResult {
    unsigned index = kNotFound;
};

// Storage index of the first element at or after `start` of the `size`
// elements of L components at p that equals (`equal`) or differs from the
// value, counted from the beginning; kNotFound when none.
template <class E>
SearchResult searchFrom(E const* p, std::size_t size, std::size_t L, unsigned start, E const* value, bool equal)
{
    std::size_t const n = size - start;
    std::size_t const k = scanElements(p + std::size_t(start) * L, n, L, value, equal);
    return {k == n ? kNotFound : unsigned(start + k)};
}

struct FindFirstNotEqualVisitor {
    DataVectorND<2> const* vector;
    unsigned start;
    Variant const* value;
    long* err;

    template <class T>
    SearchResult accept(T const& tag) const
    {
        using E = typename T::element_type;
        E const* v = value->getTypedPtr(tag);
        if (!v) {
            *err = kErrValueTypeMismatch;
            return {};
        }
        auto const& vec = dynamic_cast<TDataVector2D<T> const&>(*vector);
        std::size_t const size = vec.size();
        if (start >= size) return {};
        return searchFrom(static_cast<E const*>(vec.getConstDataPtr()), size, tag.getLength(), start, v, false);
    }
};

template <class T>
struct FindFirstEqualND {
    DataVector const* vector;
    unsigned start;
    typename T::element_type const* value;
    std::size_t L;

    template <int N>
    SearchResult operator()() const
    {
        using E = typename T::element_type;
        auto const& vec = dynamic_cast<TDataVector<T, N> const&>(*vector);
        return searchFrom(static_cast<E const*>(vec.getConstDataPtr()), vec.size(), L, start, value, true);
    }
};

struct FindFirstEqualVisitor {
    DataVector const* vector;
    unsigned start;
    Variant const* value;
    long* err;

    template <class T>
    SearchResult accept(T const& tag) const
    {
        auto const* v = value->getTypedPtr(tag);
        if (!v) {
            *err = kErrValueTypeMismatch;
            return {};
        }
        if (start >= vector->size()) return {};
        unsigned const dims = vector->getNumDimensions();
        if (dims < 1 || dims > 4) {
            *err = kErrUnsupportedDimensionCount;
            return {};
        }
        return visitByDimension(dims, FindFirstEqualND<T>{vector, start, v, tag.getLength()});
    }
};

}  // namespace

unsigned findFirstNotEqual(DataVectorND<2> const& vector, unsigned start, Variant const& value, long& err)
{
    DataType const type = vector.getDataType();
    if (type != value.getDataType()) {
        err = kErrValueTypeMismatch;
        return kNotFound;
    }
    return type.applyVisitor(FindFirstNotEqualVisitor{&vector, start, &value, &err}).index;
}

unsigned findFirstEqual(DataVector const& vector, unsigned start, Variant const& value, long& err)
{
    DataType const type = vector.getDataType();
    if (type != value.getDataType()) {
        err = kErrValueTypeMismatch;
        return kNotFound;
    }
    return type.applyVisitor(FindFirstEqualVisitor{&vector, start, &value, &err}).index;
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_

#endif  // HWY_ONCE
