#pragma once

#include <cstddef>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/platform/ZELUNnBox.h"
#include "zorvsupport/warp/WarpTransform.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// Carries every point through the coordinate systems: output pixel ->
// output world -> input world -> input pixel. The output box and cover are
// the caller's objects, kept by pointer: they must outlive the transform and
// its copies, unchanged. Uses the calling thread's scratch point (initCache).
class ZORV_EXPORT PointReprojectionTransform : public WarpTransform {
public:
    PointReprojectionTransform(ZELUNnBox<double, 2> const& outBox, ZELUNCover const& outCover,
                               ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover);
    PointReprojectionTransform(PointReprojectionTransform const& other);
    ~PointReprojectionTransform();

    // No bounds test on either side; false only when the coordinate systems
    // cannot carry the point.
    bool transform(double x, double y, double& outX, double& outY) const override;

    // The pixel centres (first + i + 0.5, y) for i < count through one call
    // of the coordinate layer: xy receives their input positions as x, y
    // pairs, failed[i] is 1 where centre i has no source position (its pair
    // is then unspecified), else 0. Each position equals transform()'s bit
    // for bit. Needs no scratch point.
    void transformRow(double y, std::size_t first, std::size_t count, double* xy, unsigned char* failed) const;

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
