#pragma once

#include "zorvsupport/Export.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// Maps output pixel coordinates to input pixel coordinates. A transform is
// immutable; transform() is const and may run on several threads at once
// where the concrete class says so.
//
// The library's transforms (PointReprojectionTransform and
// MeshReprojectionTransform) answer alike for the same outcome of the
// coordinate systems: true with the position when the point was carried;
// false when it has no source position or when the two systems have no
// transformation between them (never an exception for either); and, when
// memory or the thread's coordinate engine runs short, std::bad_alloc, as
// the allocation itself would throw, so that a shortage is never taken for
// a point without a source position. Their non-virtual transformPoint()
// gives the same conversion with its status, which tells these apart.
class ZORV_EXPORT WarpTransform {
public:
    // The input pixel position under (x, y); false when the point has no
    // source position (outX and outY are then not written).
    virtual bool transform(double x, double y, double& outX, double& outY) const = 0;

protected:
    WarpTransform() = default;
    WarpTransform(WarpTransform const&) = default;
    WarpTransform& operator=(WarpTransform const&) = default;
    // Not virtual: holders delete a transform through its concrete class,
    // so deletion through the base does not compile.
    ~WarpTransform() = default;
};

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
