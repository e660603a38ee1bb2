#pragma once

namespace ZORV_3_13_0_ {
namespace DataSet {

// How output pixel positions are carried into the input grid: every point
// through the coordinate systems, or a mesh of 64 x 64 pixel cells with one
// projective matrix per cell.
enum ReprojectMethod : int {
    kPointReprojection = 0,
    kMeshReprojection = 1,
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
