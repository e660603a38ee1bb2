#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/StatusCodes.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class DataVector;

// Bulk operations on data vectors. Each checks its arguments, dispatches
// once on the element type (and where needed the dimension count) and runs a
// typed kernel over the raw storage. A returned status leaves the vectors
// unchanged unless the operation says otherwise.
namespace DataVectorUtils {

// Copies every element whose index lies inside both vectors from `src` to
// the same index of `dst`. Checks, in order: dimension counts
// (kErrDimensionCountsDiffer), data types (kErrDataTypesDiffer), dimension
// count 1..4 (kErrUnsupportedDimensionCount), concrete classes
// (kErrVectorClassMismatch).
ZORV_EXPORT long copyIntersection(DataVector& dst, DataVector const& src);

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
