#pragma once

// Library-internal: the one reading of the coordinate layer's statuses in the
// warp layer, used by both transforms, the rows and the mesh construction.

#include <new>

#include "zorvsupport/StatusCodes.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// What a status of the coordinate layer means for a point or a batch.
enum class CoordOutcome {
    kConverted,  // 0
    kNoImage,    // kErrCoordTransformFailed: the point has no source position
    kShortage,   // kErrOutOfMemory: memory or the thread's engine ran short; a later call may succeed
    kRefused,    // any other status: the pair's (no transformation, an invalid system, a bad point)
};

inline CoordOutcome coordOutcome(long status)
{
    if (status == kSuccess) return CoordOutcome::kConverted;
    if (status == kErrCoordTransformFailed) return CoordOutcome::kNoImage;
    if (status == kErrOutOfMemory) return CoordOutcome::kShortage;
    return CoordOutcome::kRefused;
}

// The answer of WarpTransform::transform for the status of one point: true
// when converted, false for no image and for a refusal; a shortage throws
// std::bad_alloc, as the allocation itself would, so that no caller takes it
// for a point without a source position.
inline bool transformAnswer(long status)
{
    switch (coordOutcome(status)) {
    case CoordOutcome::kConverted: return true;
    case CoordOutcome::kShortage: throw std::bad_alloc();
    case CoordOutcome::kNoImage:
    case CoordOutcome::kRefused: break;
    }
    return false;
}

// The status of a batch whose points are flagged one by one: 0 when the
// points were converted or flagged without image, else the status of the
// whole call (kErrOutOfMemory, or the pair's status).
inline long batchStatus(long status)
{
    return coordOutcome(status) == CoordOutcome::kNoImage ? kSuccess : status;
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
