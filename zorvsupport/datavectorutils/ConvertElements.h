#pragma once

#include "zorvsupport/Export.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorUtils {

// Converts every element of [first, last) into the element at the same
// position of `out`, for S and D among the ten numeric element types:
//   - an element equal to srcNoData (IEEE equality for reals, so a NaN
//     matches nothing and -0.0 matches 0.0) becomes dstNoData, unchanged;
//   - real to integer rounds half away from zero (x + 0.5 or x - 0.5 in
//     double) and saturates; NaN gives 0, or the value with only bit 63 set
//     for the 64-bit integers;
//   - integer to integer saturates;
//   - to float32 values are clamped to +-3.4028234663852886e38, float32 to
//     float64 too, float64 to float64 to +-1.7976931348623157e308; a NaN
//     passes; integers go to the nearest real (uint64 to float32 by way of
//     float64).
// `out` may equal `first` (in-place conversion of one type onto itself).
// Always returns 0. Instantiated inside the library for the 100 pairs.
template <class S, class D>
ZORV_EXPORT long convertElements(S const* first, S const* last, D* out, S srcNoData, D dstNoData);

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
