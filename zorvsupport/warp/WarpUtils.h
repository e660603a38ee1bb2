#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/platform/ZELUNnPoint.h"
#include "zorvsupport/types/InterpolationMethod.h"
#include "zorvsupport/types/Tuple.h"
#include "zorvsupport/warp/MeshReprojectionTransform.h"
#include "zorvsupport/warp/PointReprojectionTransform.h"
#include "zorvsupport/warp/ReprojectMethod.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class Variant;
template <int N>
class DataVectorND;

// Raster reprojection and the pieces it is made of.
namespace WarpUtils {

// The smallest output (elements, tuple components not counted) whose rows
// are spread over threads.
inline constexpr unsigned kMinThreadedElements = 1000;

// Gives the calling thread a fresh scratch point for
// PointReprojectionTransform::transform. Without memory the thread keeps the
// point it has; the transform makes one when it finds none.
ZORV_EXPORT void initCache();

// Sets the process-wide thread count of the row driver; 0 makes the next
// call ask the system for the processor count, 1 keeps every call on the
// caller's thread. Any thread may call it at any time; a call in progress
// keeps the count it read.
ZORV_EXPORT void setNumThreads(unsigned count);

// Fills every pixel of `out` (lying on outCover) from `in` (on inCover).
// Each output pixel centre is carried into the input grid by the point or mesh transform and sampled there.
// A centre without a source position receives noData.
// `out` may be `in`: the input is then read from a copy.
// The trailing flag has no effect.
//
// For a geographic input, a longitude carried outside the input cover moves by whole turns to its nearest image.
// That image is the one inside the cover when there is one.
// An input cover one turn of longitude wide reads its columns cyclically.
// The mesh refines its cells with a bound of kMeshMaxError input pixels at its test points where a sampler can read.
// A pixel centre between the test points may lie slightly beyond that bound (see MeshReprojectionTransform.h).
//
// Checks, in this order, each failure leaving `out` untouched:
// - the three data types equal (kErrWarpTypeMismatch);
// - the output cover's own status, then the input cover's (kErrCoordSystemInvalid, kErrCoverInvalid);
// - the transform's status, passed on unchanged (for the point method: whether the pair has a transformation);
// - the method known (kErrUnknownReprojectMethod);
// - the interpolation known (kErrUnknownWarpInterpolation).
// A pixel whose centre has no image still gives 0.
// The mesh's construction, though, stops at a cell corner without image, with kErrCoordTransformFailed.
// So an orthographic output wider than the globe gives that status with the mesh, and 0 with the point method.
// Memory that runs short, in the library or in the coordinate engine, gives kErrOutOfMemory.
// Such a shortage is never taken for points without a source position.
// The coordinate layer may also refuse a pair while the rows run, after it converted points of it before.
// The call then ends with the pair's status (kErrCoordTransformUnavailable, kErrCoordSystemInvalid).
// With kErrOutOfMemory or such a refusal `out` is untouched, or partly written when rows had been written.
// No other status leaves it partly written.
//
// Threads: any thread may call it.
// Rows are spread over threads for a mesh transform and outputs of kMinThreadedElements or more.
// A thread that cannot be started leaves its rows to the caller's thread.
// Every thread has finished when the call returns, and the result does not depend on the thread count.
// A vector that is not the library's two-dimensional class of its type makes the cast throw std::bad_cast.
//
// Stack: at most 16 KiB of the library's own on the calling thread (4 to 5.5 KiB measured).
// The point method keeps its scratch on the heap.
// A thread's first conversion between two systems also runs the engine's search for an operation.
// With it, about 10 to 12 KiB in all were measured for EPSG:3031 and EPSG:4326 (PROJ 9.1).
ZORV_EXPORT long reprojectBuffer(DataVectorND<2>& out, ZELUNCover const& outCover, DataVectorND<2> const& in,
                                 ZELUNCover const& inCover, Variant const& noData, ReprojectMethod method,
                                 InterpolationMethod interpolation, bool unused);

// Shading factor of a pixel: kDiffuse * max(0, n . light) + kAmbient.
inline constexpr float kAmbient = 0.2f;
inline constexpr float kDiffuse = 0.8f;

// One unit surface normal (nx, ny, nz) per cell of `heights`, from the
// differences to the cell's four direct neighbours: the x sums scaled by
// factorX / divisor, the y sums by factorY / divisor. A cell that holds
// noData, or has fewer than two neighbours with data, gets defaultNormal.
// With a NaN noData a height is no-data exactly when it is NaN; cells
// beyond the grid never count as data. `out` must hold float32 3-tuples
// and defaultNormal view 3 components through a pointer that is not null
// (kErrBadNormalBuffer, out untouched); it is then resized to the
// dimensions of `heights` (its status returned on failure). Runs on the
// caller's thread.
ZORV_EXPORT long computeNormals(TDataVector2D<TTupleDataType<TDataType<0>>>& out,
                                ConstTupleProxy<TTupleDataType<TDataType<0>>> defaultNormal,
                                TDataVector2D<TDataType<0>> const& heights, float noData, float factorX,
                                float factorY, float divisor);

// Lambert shading of an RGBA image (uint8 4-tuples on imageCover) in place.
// The normal grid (float32 3-tuples on normalCover) is sampled bilinearly under each pixel centre.
// Red, green and blue are scaled by the factor above; alpha is kept; pixels with alpha 0 are left alone.
// A pixel centre without a position in the normal grid receives imageNoData.
// Positions are carried as in reprojectBuffer, longitudes wrapped and a one-turn grid read cyclically.
//
// Checks, in this order, each failure leaving the image untouched:
// - the element types, and imageNoData (4), normalNoData and light (3) viewing that many components through
//   pointers that are not null (kErrBadShadeBuffer);
// - the image cover's own status, then the normal cover's (kErrCoordSystemInvalid, kErrCoverInvalid);
// - the transform's status, passed on unchanged (for the point method: whether the pair has a transformation);
// - the method known (kErrUnknownReprojectMethod).
// Memory that runs short gives kErrOutOfMemory; it and a pair refused while rows run alone may leave the image partly shaded.
// Such a shortage is never taken for pixels without a position.
// Rows are spread over threads as in reprojectBuffer; the result does not depend on the thread count.
// Stack: as reprojectBuffer (4.5 to 5.5 KiB of its own measured).
ZORV_EXPORT long shadeBuffer(TDataVector2D<TTupleDataType<TDataType<3>>>& image, ZELUNCover const& imageCover,
                             ConstTupleProxy<TTupleDataType<TDataType<3>>> imageNoData,
                             TDataVector2D<TTupleDataType<TDataType<0>>> const& normals,
                             ZELUNCover const& normalCover,
                             ConstTupleProxy<TTupleDataType<TDataType<0>>> normalNoData,
                             ConstTupleProxy<TTupleDataType<TDataType<0>>> light, ReprojectMethod method);

// Proposes the output pixel size (x, y), in target units, of a reprojection
// of a raster of `size` pixels (columns, rows) over `cover`: the finest that
// the raster shows anywhere. Per axis it starts from the mean pixel size
// times the ground-unit factor of the cover's system into `target`, then
// cuts the cover into blocks of half the smaller pixel count (rounded up),
// transforms each block and searches again inside the block of the smallest
// extent, taking that extent per pixel when it is finer. `iterations` bounds
// the passes per axis; -1 goes on until blocks are one pixel, 0 and values
// below -1 make none. `status` receives each block transformation's status
// (set it to 0 beforehand; no pass leaves it alone); the first failure ends
// the search, giving the axes finished before (0 for the others). A pass in which no block has a finite extent ends that axis
// with the value it had. A size of 0 on an axis gives extent / 0 there.
ZORV_EXPORT ZELUNnPoint<double, 2> findBestResolution(ZELUNCover const& cover, ZELUNnPoint<long long, 2> const& size,
                                                      ZELUNCoordSystem const& target, long& status, int iterations);

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
