#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/platform/ZELUNMatrix3D.h"
#include "zorvsupport/platform/ZELUNnBox.h"
#include "zorvsupport/warp/WarpTransform.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// The mesh cell size of the transform factory: 64 x 64 output pixels.
inline constexpr ZELUNnPoint<double, 2> kMeshCellSize{64.0, 64.0};

// The largest distance, in input pixels on either axis, between a cell's
// position and the exact one at the points where the mesh tests a cell.
inline constexpr double kMeshMaxError = 0.125;

struct MeshInternals;

// Maps output pixels to input pixels through one projective matrix per
// square cell of the output grid, built from the cell's four corners carried
// through the coordinate systems. Longitudes carried into a geographic input
// move by whole turns to their image nearest the input cover.
//
// Cells are refined: each is tested at its centre and the midpoints of its
// edges (its test points) against the exact path, and a cell that misses
// there is split into quarters (halves once one side is 4 pixels or less),
// each with its own matrix and tests, down to cells of 4 x 4 pixels or less;
// such a smallest cell that still misses has its pixel centres carried one
// by one. A cell whose matrix maps its whole box beyond what any sampler of
// the library reads, with the exact positions of its test points beyond it
// too (or without one), passes: its pixels read no-data either way. Beyond
// means, for an input box [0, w] x [0, h], x <= -1 or x >= w + 0.5 (w + 1
// when the input cover is 360 degrees of longitude, whose columns the
// samplers read cyclically), or y <= -1 or y >= h + 0.5, with kMeshMaxError
// to spare. At every other test point of a matrix the position lies within
// kMeshMaxError input pixel of the exact one on both axes. Pixel centres
// between test points may lie a little farther; no bound is promised there
// (0.1405 input pixel was measured on an orthographic view of the earth).
//
// Holds the output box, the cell size, the cells per row and one matrix per
// cell, row-major; and, shared by its copies and never changed, the
// refinement of split cells with the stored positions of their exactly
// carried pixel centres, and copies of both covers and the input box for
// the exact path. A copy is cheap and does not depend on the original.
// Immutable once built: transform(), transformPoint() and transformRow() may
// run on any number of threads at once, without a lock.
class ZORV_EXPORT MeshReprojectionTransform : public WarpTransform {
public:
    // Checks the output cover's status, then the input cover's: a non-zero
    // one is left in `status` and nothing is built. Builds the cell matrices
    // row by row of cells: the first failing status of a cell cover or of a
    // corner transformation is left in `status` and stops the construction,
    // keeping the matrices of the cells before the failing one; for a
    // shortage (kErrOutOfMemory) the mesh keeps no cells. Then tests and
    // refines the cells; a failure there of a test transformation other than
    // a point without image leaves its status (a shortage: kErrOutOfMemory;
    // a refused pair: the pair's status) and a mesh without cells, and so
    // does memory running out in the library. A finished build leaves 0; a
    // box without cells leaves `status` as it was. A cell size that is not a
    // positive number, or that cuts an axis into more than 2^31 cells, gives
    // a mesh without cells. A large output is tested and refined on up to
    // setNumThreads() threads, all joined before the constructor returns;
    // the mesh does not depend on their number. Throws nothing. Stack: as
    // reprojectBuffer with the mesh method (WarpUtils.h).
    MeshReprojectionTransform(ZELUNnBox<double, 2> const& outBox, ZELUNCover const& outCover,
                              ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover,
                              ZELUNnPoint<double, 2> cellSize, long& status);
    MeshReprojectionTransform(MeshReprojectionTransform const& other);
    MeshReprojectionTransform& operator=(MeshReprojectionTransform const& other);
    ~MeshReprojectionTransform();

    // The input pixel position under (x, y), as WarpTransform::transform
    // states: false outside the box (bounds inclusive, NaN outside), in a
    // mesh without cells, in the cells a stopped construction did not reach,
    // where the point has no source position and for a refused pair;
    // std::bad_alloc for a shortage. A pixel centre (c + 0.5, r + 0.5) of a
    // cell carried one by one answers its stored position (false: it has no
    // source position), which is what the rows write; any other point of
    // such a cell takes the exact path at the call, the only path that can
    // meet a refused pair or a shortage.
    bool transform(double x, double y, double& outX, double& outY) const override;

    // The same position with its status; outX and outY are written only for 0.
    // - kErrCoordTransformFailed: no source position (also outside the box,
    //   in a mesh without cells and beyond a stopped construction).
    // - kErrOutOfMemory: memory or the thread's engine ran short on the exact
    //   path; a later call may succeed.
    // - any other status: the pair's, from the exact path
    //   (kErrCoordTransformUnavailable, kErrCoordSystemInvalid).
    long transformPoint(double x, double y, double& outX, double& outY) const;

    // The points (first + i + 0.5, y) for i < count, each as transform()
    // gives it: its input position into xy[2 i], xy[2 i + 1], and failed[i]
    // 1 where it has no source position (its pair then unspecified), else
    // 0. Returns 0, or the status of a shortage or a refused pair (as
    // transformPoint), every point then flagged. Pixel centres (c + 0.5,
    // r + 0.5), c and r whole numbers from 0 to 2^32 - 1, never take the
    // exact path: a run of them allocates nothing and returns 0.
    long transformRow(double y, std::size_t first, std::size_t count, double* xy, unsigned char* failed) const;

    ZELUNnBox<double, 2> const& box() const { return m_box; }
    ZELUNnPoint<double, 2> const& cellSize() const { return m_cellSize; }
    std::int64_t cellsPerRow() const { return m_cellsPerRow; }
    // The matrix of each finished cell, row-major, built from its corners;
    // inside a split cell the refinement's matrices and positions apply.
    std::vector<ZELUNCompGeom::ZELUNMatrix3D> const& matrices() const { return m_matrices; }

private:
    ZELUNnBox<double, 2> m_box;
    ZELUNnPoint<double, 2> m_cellSize;
    std::int64_t m_cellsPerRow = 0;
    std::vector<ZELUNCompGeom::ZELUNMatrix3D> m_matrices;
    std::shared_ptr<MeshInternals const> m_internals;  // null for a mesh without cells
};

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
