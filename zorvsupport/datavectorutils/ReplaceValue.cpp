// Value replacement in place. Numeric scalars go through SIMD lanes
// dispatched at run time: a block is written back only when one of its lanes
// matched, with the new value selected into the matching lanes, so every
// other element keeps its bits.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/datavectorutils/ReplaceValue.cpp"
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

// Every one of the n values at p equal to *oldValue (IEEE: NaN never, -0.0
// for 0.0) becomes *newValue.
template <class E>
void replaceRun(unsigned char* p, std::size_t n, void const* oldValue, void const* newValue)
{
    E o, r;
    std::memcpy(&o, oldValue, sizeof o);
    std::memcpy(&r, newValue, sizeof r);
    hn::ScalableTag<E> const d;
    auto const vo = hn::Set(d, o), vr = hn::Set(d, r);
    E* q = reinterpret_cast<E*>(p);
    forEachVector(
        d, n,
        [&](std::size_t i) {
            auto const e = hn::LoadU(d, q + i);
            auto const m = hn::Eq(e, vo);
            if (!hn::AllFalse(d, m)) hn::StoreU(hn::IfThenElse(m, vr, e), d, q + i);
        },
        [&](std::size_t i, std::size_t count) {
            for (std::size_t k = i; k < i + count; ++k) {
                E e;
                std::memcpy(&e, p + k * sizeof(E), sizeof e);
                if (e == o) std::memcpy(p + k * sizeof(E), &r, sizeof r);
            }
        });
}

void replaceNumericRun(int code, void* p, std::size_t n, void const* oldValue, void const* newValue)
{
    switch (code) {
#define ZORV_CASE(k, T, name) \
    case k: return replaceRun<LaneOf<T>>(static_cast<unsigned char*>(p), n, oldValue, newValue);
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

#include "zorvsupport/datavector/DimensionDispatch.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/datavectorutils/ElementScan.h"
#include "zorvsupport/datavectorutils/OperationFrame.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
HWY_EXPORT(replaceNumericRun);
}  // namespace simd

namespace DataVectorUtils {
namespace {

// Every one of the n elements of L components at p equal to the old value
// receives the new one. The values live outside the vector.
template <class E>
void replaceElements(E* p, std::size_t n, std::size_t L, E const* oldValue, E const* newValue)
{
    if (n == 0) return;
    if constexpr (std::is_arithmetic_v<E>) {
        if (L == 1) return HWY_DYNAMIC_DISPATCH(simd::replaceNumericRun)(kindCodeOf<E>(), p, n, oldValue, newValue);
    }
    for (std::size_t i = 0; i < n; ++i, p += L)
        if (componentsEqual(p, oldValue, L)) std::copy_n(newValue, L, p);
}

template <int N>
struct ReplaceValueVisitor {
    DataVector* vector;
    Variant const* oldValue;
    Variant const* newValue;

    template <class T>
    long accept(T const& tag) const
    {
        using E = typename T::element_type;
        E* data = nullptr;
        std::size_t count = 0;
        E const *o = nullptr, *r = nullptr;
        try {
            auto& vec = dynamic_cast<TDataVector<T, N>&>(*vector);
            data = static_cast<E*>(vec.getDataPtr());
            count = data ? vec.size() : 0;
            o = oldValue->getTypedPtr(tag);
            r = newValue->getTypedPtr(tag);
        } catch (...) {
            return kErrVectorClassMismatch;
        }
        replaceElements(data, count, tag.getLength(), o, r);
        return kSuccess;
    }
};

struct ReplaceByDimension {
    DataVector* vector;
    Variant const* oldValue;
    Variant const* newValue;
    DataType type;

    template <int N>
    long operator()() const
    {
        return type.applyVisitor(ReplaceValueVisitor<N>{vector, oldValue, newValue});
    }
};

}  // namespace

long replaceValue(DataVector& vector, Variant const& oldValue, Variant const& newValue)
{
    DataType const type = vector.getDataType();
    if (type != oldValue.getDataType() || type != newValue.getDataType()) return kErrValueTypeMismatch;
    unsigned const dims = vector.getNumDimensions();
    if (dims < 1 || dims > 4) return kErrUnsupportedDimensionCount;
    return visitByDimension(dims, ReplaceByDimension{&vector, &oldValue, &newValue, type});
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_

#endif  // HWY_ONCE
