#pragma once

// Library-internal: the typed body of reprojectBuffer, one instance per
// element type, instantiated in the instance units of warp/instances/.

#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/types/InterpolationMethod.h"
#include "zorvsupport/types/Variant.h"
#include "zorvsupport/warp/WarpTransform.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// Casts the vectors to the two-dimensional class of T (std::bad_cast for
// another class), builds the sampler of `interpolation` and runs the row
// driver over the output rows [firstRow, endRow), returning its status. The
// data types are already checked equal. With cyclicColumns the samplers read the input's
// columns as wrapping around (an input one turn of longitude wide).
template <class T>
long reprojectRaster(T tag, InterpolationMethod interpolation, DataVectorND<2>& out, DataVectorND<2> const& in,
                     Variant const& noData, WarpTransform const& transform, unsigned firstRow, unsigned endRow,
                     bool cyclicColumns);

#define ZORV_REPROJECT_KERNELS_OF_KIND(how, k)                                                                  \
    how long reprojectRaster<TDataType<k>>(TDataType<k>, InterpolationMethod, DataVectorND<2>&,                 \
                                           DataVectorND<2> const&, Variant const&, WarpTransform const&, unsigned, unsigned, \
                                           bool);                                                               \
    how long reprojectRaster<TTupleDataType<TDataType<k>>>(TTupleDataType<TDataType<k>>, InterpolationMethod,   \
                                                           DataVectorND<2>&, DataVectorND<2> const&,            \
                                                           Variant const&, WarpTransform const&, unsigned, unsigned, \
                                                           bool);

#define ZORV_EXTERN_REPROJECT(k, E, name) ZORV_REPROJECT_KERNELS_OF_KIND(extern template, k)
ZORV_FOR_EACH_ELEMENT_KIND(ZORV_EXTERN_REPROJECT)
#undef ZORV_EXTERN_REPROJECT

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
