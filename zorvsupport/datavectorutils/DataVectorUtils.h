#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNnBox.h"
#include "zorvsupport/platform/ZELUNnPoint.h"
#include "zorvsupport/types/InterpolationMethod.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class ConstVariantRef;
class DataVector;
template <int N>
class DataVectorND;
class Variant;

// Bulk operations on data vectors. Each checks its arguments, dispatches
// once on the element type (and where needed the dimension count) and runs a
// typed kernel over the raw storage. A returned status leaves the vectors
// unchanged unless the operation says otherwise. Stack: every call needs a
// few KiB of the caller's stack, under 16 KiB (the heavy transpose and
// scaled copy included): large buffers and working tables are on the heap.
namespace DataVectorUtils {

// Copies every element whose index lies inside both vectors from `src` to
// the same index of `dst`. Checks, in order: dimension counts
// (kErrDimensionCountsDiffer), data types (kErrDataTypesDiffer), dimension
// count 1..4 (kErrUnsupportedDimensionCount), concrete classes
// (kErrVectorClassMismatch).
ZORV_EXPORT long copyIntersection(DataVector& dst, DataVector const& src);

// Writes `value` to the elements first .. last - 1 in storage order (a tuple
// counts once). Checks, in order: value type (kErrValueTypeMismatch),
// last > size() (kErrFillOutOfRange); first >= last writes nothing.
ZORV_EXPORT long fill(DataVector& vector, unsigned first, unsigned last, Variant const& value);

// Writes `value` to the block of size.x columns from origin.x and size.y
// rows from origin.y. Checks: value type (kErrValueTypeMismatch), then the
// block inside the vector on dimension 0 and on dimension 1
// (kErrFillOutOfRange).
ZORV_EXPORT long fillSubsection(DataVectorND<2>& vector, ZELUNnPoint<unsigned, 2> origin,
                                ZELUNnPoint<unsigned, 2> size, Variant const& value);

// Copies a block of `size` from `src` at `srcOrigin` to `dst` at
// `dstOrigin`, each vector addressed with its own row length. Within one
// vector the result is that of reading the whole source block first. Checks:
// data types (kErrDataTypesDiffer), then the block inside dst on dimension
// 0 and 1 and inside src on dimension 0 and 1 (kErrSubsectionOutOfRange).
ZORV_EXPORT long copySubsection(DataVectorND<2>& dst, ZELUNnPoint<unsigned, 2> dstOrigin,
                                DataVectorND<2> const& src, ZELUNnPoint<unsigned, 2> srcOrigin,
                                ZELUNnPoint<unsigned, 2> size);

// Transposes in place: dimensions (d0, d1) become (d1, d0) and element
// (x, y) takes the old element (y, x). A square vector is transposed even
// when it is not resizeable; any other one needs the resizeable flag
// (kErrNotResizeable). Before it moves anything the call obtains tile
// buffers of up to 32 KiB (from the heap when above 4 KiB) and, for a
// non-square vector of two or more rows and columns, a block of at most its
// own size (kErrOutOfMemory when either cannot be had). A failure leaves the
// vector unchanged.
ZORV_EXPORT long transpose(DataVectorND<2>& vector);

// Smallest and largest element, leaving out the elements equal to
// `noData`; an output that no kept element reached becomes `noData`.
// kErrValueTypeMismatch (outputs untouched) when the no-data type differs.
// `noData` may be the same object as `min` or `max`.
ZORV_EXPORT long calcMinMax(DataVector const& vector, Variant const& noData, Variant& min, Variant& max);

// --- Searches, replacement, block comparison and scaled block copy ---

// Index (in storage order, a tuple counting once) of the first element at or
// after `start` that equals `value`; 0xFFFFFFFF when none does. On failure
// 0xFFFFFFFF with err = kErrValueTypeMismatch (value type) or
// kErrUnsupportedDimensionCount; err is written only on failure. Floats
// compare by IEEE rules: NaN equals nothing, -0.0 equals 0.0.
ZORV_EXPORT unsigned findFirstEqual(DataVector const& vector, unsigned start, Variant const& value, long& err);

// Index of the first element at or after `start` that differs from `value`
// (a NaN element always differs); 0xFFFFFFFF when none does or on failure
// (err = kErrValueTypeMismatch, written only on failure).
ZORV_EXPORT unsigned findFirstNotEqual(DataVectorND<2> const& vector, unsigned start, Variant const& value,
                                       long& err);

// Gives every element equal to `oldValue` the value `newValue`, in place.
// Checks, in order: both value types (kErrValueTypeMismatch), dimension
// count 1..4 (kErrUnsupportedDimensionCount), the vector's concrete class
// (kErrVectorClassMismatch).
ZORV_EXPORT long replaceValue(DataVector& vector, Variant const& oldValue, Variant const& newValue);

// Whether every element of `box` equals `value`. err is set to 0 first, then
// to kErrValueTypeMismatch or kErrBoxOutOfRange (lo not below or hi beyond
// the dimension on an axis) with a false answer.
ZORV_EXPORT bool subsectionEqual(DataVectorND<2> const& vector, ZELUNnBox<unsigned, 2> const& box,
                                 Variant const& value, long& err);

// Whether boxA of `a` and boxB of `b` hold equal elements at equal offsets.
// err is left alone unless the data types differ (kErrDataTypesDiffer) or
// the extents differ or a box's hi lies beyond its vector
// (kErrSubsectionsDiffer); both answer false.
ZORV_EXPORT bool subsectionEqual(DataVectorND<2> const& a, ZELUNnBox<unsigned, 2> const& boxA,
                                 DataVectorND<2> const& b, ZELUNnBox<unsigned, 2> const& boxB, long& err);

// Resamples srcBox of `src` into dstBox of `dst` by hold or bilinear
// interpolation; bilinear leaves out neighbours equal to `noData`. Equal
// extents are a copySubsection. Checks, in order: data types
// (kErrDataTypesDiffer), no-data type (kErrValueTypeMismatch), equal
// extents, both boxes inside their vectors (kErrSubsectionOutOfRange),
// then the method (kErrInterpolationNotSupported for bilinear on tuples
// without `tupleFallback` and on 3-vectors, kErrUnknownInterpolationMethod
// for any method but kHold and kBilinear). An empty source box fills the
// destination box with `noData`. Its working tables (per destination column
// and row, and a copy of the source block when the boxes overlap in one
// vector) are all allocated before the first element is written: when one
// cannot be had, std::bad_alloc leaves the call and both vectors are
// unchanged.
ZORV_EXPORT long scaleAndCopySubsection(DataVectorND<2>& dst, ZELUNnBox<unsigned, 2> const& dstBox,
                                        DataVectorND<2> const& src, ZELUNnBox<unsigned, 2> const& srcBox,
                                        Variant const& noData, InterpolationMethod method, bool tupleFallback);

// Converts `src` into `dst`, resized to the source's dimensions, element by
// element: elements equal to srcNoData become dstNoData, the others are
// rounded half away from zero, saturated or clamped to the destination type
// (see ConvertElements.h). Both vectors must hold scalars of the ten numeric
// types; `dst` and `src` may be the same vector. Checks, in order: dimension
// counts (kErrDimensionCountsDiffer), tuple or 3-vector types
// (kErrNotSupported), no-data types against their vectors
// (kErrValueTypeMismatch), dimension count 1..4
// (kErrUnsupportedDimensionCount), classes (kErrVectorClassMismatch), then
// the destination's resize status. The no-data values are read before the
// resize. A vector class outside the library whose type has no element
// type converts nothing and gives 0; one that is not the library's typed
// class for its type throws std::bad_cast after the resize.
ZORV_EXPORT long convertVector(DataVector& dst, ConstVariantRef dstNoData, DataVector const& src,
                               ConstVariantRef srcNoData);

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
