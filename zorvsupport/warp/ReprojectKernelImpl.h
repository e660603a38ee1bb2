#pragma once

// Library-internal: the definition of reprojectRaster, included only by the
// instance units.

#include <cstring>
#include <new>
#include <optional>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/ReprojectKernel.h"
#include "zorvsupport/warp/Samplers.h"
#include "zorvsupport/warp/WarpRows.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

namespace KernelDetail {

// True when the value storage of the two vectors shares any byte.
inline bool storageOverlaps(DataVector const& a, DataVector const& b)
{
    if (&a == &b) return true;
    auto const* pa = static_cast<unsigned char const*>(a.getConstDataPtr());
    auto const* pb = static_cast<unsigned char const*>(b.getConstDataPtr());
    std::size_t const na = std::size_t(a.size()) * a.getDataType().getTypeSize();
    std::size_t const nb = std::size_t(b.size()) * b.getDataType().getTypeSize();
    if (!pa || !pb || na == 0 || nb == 0) return false;
    return std::less<>()(pa, pb + nb) && std::less<>()(pb, pa + na);
}

template <class T, class S, class... Args>
long run(TDataVector2D<T>& out, WarpTransform const& transform, unsigned firstRow, unsigned endRow,
         RowNoDataOf<T> noData, Args&&... samplerArgs)
{
    S const sampler(std::forward<Args>(samplerArgs)...);
    return warpRowsThreaded<T, S>(out, transform, sampler, firstRow, endRow, noData);
}

}  // namespace KernelDetail

template <class T>
long reprojectRaster(T tag, InterpolationMethod interpolation, DataVectorND<2>& out, DataVectorND<2> const& in,
                     Variant const& noData, WarpTransform const& transform, unsigned firstRow, unsigned endRow,
                     bool cyclicColumns)
{
    auto& o = dynamic_cast<TDataVector2D<T>&>(out);
    auto const& i = dynamic_cast<TDataVector2D<T> const&>(in);
    // Samples are read from a copy when the output would overwrite them.
    TDataVector2D<T> const* source = &i;
    std::optional<TDataVector2D<T>> copy;
    if (KernelDetail::storageOverlaps(o, i)) {
        try {
            copy.emplace(i);
        } catch (std::bad_alloc const&) {
            return kErrOutOfMemory;
        }
        source = &*copy;
    }
    auto const* value = noData.getTypedPtr(tag);
    RowNoDataOf<T> nd = [&]() -> RowNoDataOf<T> {
        if constexpr (T::kIsTuple)
            return RowNoDataOf<T>(value, tag.getLength());
        else
            return *value;
    }();
    using KernelDetail::run;
    if constexpr (T::kIsTuple) {
        unsigned const length = tag.getLength();
        switch (interpolation) {
        case kHold: return run<T, HoldSampler<T>>(o, transform, firstRow, endRow, nd, source, nd, cyclicColumns);
        case kBilinear:
            return run<T, BilinearSampler<T>>(o, transform, firstRow, endRow, nd, length, source, nd, cyclicColumns);
        case kBilinearHoldNoData:
            return run<T, BilinearHoldNoDataSampler<T>>(o, transform, firstRow, endRow, nd, length, source, nd,
                                                        cyclicColumns);
        }
    } else {
        switch (interpolation) {
        case kHold: return run<T, HoldSampler<T>>(o, transform, firstRow, endRow, nd, source, nd, cyclicColumns);
        case kBilinear:
            return run<T, BilinearSampler<T>>(o, transform, firstRow, endRow, nd, source, nd, cyclicColumns);
        case kBilinearHoldNoData:
            return run<T, BilinearHoldNoDataSampler<T>>(o, transform, firstRow, endRow, nd, source, nd,
                                                        cyclicColumns);
        }
    }
    return kSuccess;
}

// Instantiates the kernels of the element kind named `name`.
#define ZORV_INSTANTIATE_REPROJECT(k) ZORV_REPROJECT_KERNELS_OF_KIND(template, k)

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
