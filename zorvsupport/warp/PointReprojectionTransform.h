#pragma once

#include <cstddef>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/platform/ZELUNnBox.h"
#include "zorvsupport/warp/WarpTransform.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// Carries every point through the coordinate systems: output pixel, output world, input world, input pixel.
// The output box and cover are the caller's objects, kept by pointer.
// They must outlive the transform and its copies, unchanged.
//
// For a geographic input, a longitude that lands outside the input cover moves by whole turns to its nearest image.
// That image is the one inside the cover when there is one.
// There is no other bounds test: a position outside the input grid is returned as it is, for the sampler to judge.
//
// Threads: the transform is immutable and may be used on several threads at once.
// Each thread converts through its own scratch point (initCache) and its own engine objects.
// Stack: a thread's first call makes the thread's engine context (about 2 KiB of stack measured).
// A thread's first conversion between two systems also runs the engine's search for an operation.
// With it, about 10 KiB in all were measured (PROJ 9.1).
class ZORV_EXPORT PointReprojectionTransform : public WarpTransform {
public:
    PointReprojectionTransform(ZELUNnBox<double, 2> const& outBox, ZELUNCover const& outCover,
                               ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover);
    PointReprojectionTransform(PointReprojectionTransform const& other);
    ~PointReprojectionTransform();

    // The input pixel position under (x, y), as WarpTransform::transform states: false where the point has no
    // source position or the two systems have no transformation, std::bad_alloc for a shortage.
    bool transform(double x, double y, double& outX, double& outY) const override;

    // The same conversion with its status; outX and outY are written only for 0.
    // - kErrCoordTransformFailed: the point has no source position.
    // - kErrOutOfMemory: memory or the thread's engine context ran short; a later call may succeed.
    // - kErrCoordSystemInvalid, kErrCoordTransformUnavailable: the two systems have no transformation.
    long transformPoint(double x, double y, double& outX, double& outY) const;

    // The points (first + i + 0.5, y) for i < count through one call of the coordinate layer, each bit for bit
    // as transform() gives it: its input position into xy[2 i], xy[2 i + 1], and failed[i] 1 where it has no
    // source position (its pair then unspecified), else 0.
    // Returns 0, or a status of the whole call as transformPoint's (kErrOutOfMemory, or the pair's), every point
    // then flagged. Needs no scratch point.
    long transformRow(double y, std::size_t first, std::size_t count, double* xy, unsigned char* failed) const;

private:
    PointReprojectionTransform& operator=(PointReprojectionTransform const&) = delete;

    ZELUNCover const* m_outCover;
    ZELUNCover m_inCover;
    ZELUNnBox<double, 2> const* m_outBox;
    ZELUNnBox<double, 2> m_inBox;
    ZELUNCoordSystem const* m_outSystem;
    ZELUNCoordSystem m_inSystem;
};

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
