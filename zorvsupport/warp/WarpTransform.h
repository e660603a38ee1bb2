#pragma once

#include "zorvsupport/Export.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// Maps output pixel coordinates to input pixel coordinates. A transform is
// immutable; transform() is const and may run on several threads at once
// where the concrete class says so.
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
