#pragma once

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
struct MeshAccess;

// Maps output pixels to input pixels through one projective matrix per
// square cell of the output grid, built from the cell's four corners carried
// through the coordinate systems. Longitudes carried into a geographic input
// move by whole turns to their image nearest the input cover.
//
// Cells are refined: each is tested at its centre and the midpoints of its
// edges (its test points) against the exact path, and a cell that misses
// there is split into quarters (halves once one side is 4 pixels or less),
// each with its own matrix and tests, down to cells of 4 x 4 pixels or less,
// whose pixel centres are then carried one by one. So the bound holds at
// every test point: within kMeshMaxError input pixel of the exact position
// on both axes. Pixel centres between test points may lie a little farther
// (up to 0.1405 input pixel on an orthographic view of the earth). A cell
// whose matrix maps its whole box beyond what any sampler of the library
// reads, with the exact positions of its test points beyond it too (or
// without one), passes: its pixels read no-data either way. Beyond means,
// for an input box [0, w] x [0, h], x <= -1 or x >= w + 0.5 (w + 1 when the
// input cover is 360 degrees of longitude, whose columns the samplers read
// cyclically), or y <= -1 or y >= h + 0.5, with kMeshMaxError to spare.
//
// Holds the output box, the cell size, the cells per row and one matrix per
// cell, row-major; and, shared by its copies and never changed, the
// refinement of split cells with the stored positions of their exactly
// carried pixel centres, and copies of both covers and the input box for
// the exact path. A copy is cheap and does not depend on the original.
// Immutable once built: transform() may run on any number of threads at
// once, without a lock.
class ZORV_EXPORT MeshReprojectionTransform : public WarpTransform {
public:
    // Checks the output cover's status, then the input cover's: a non-zero
    // one is left in `status` and nothing is built. Builds the cell matrices
    // row by row of cells: the first failing status (a cell cover's, a
    // corner transformation's) is left in `status` and stops the
    // construction with the matrices of the cells before it. Then tests and
    // refines the cells. A finished build leaves 0; a box without cells
    // leaves `status` as it was. A cell size that is not a positive number,
    // or that cuts an axis into more than 2^31 cells, gives a mesh without
    // cells. Memory or a resource of the coordinate layer that runs out
    // gives kErrOutOfMemory, any other failure of a test transformation but
    // a point without image its status; the mesh then has no cells. A large
    // output is tested and refined on up to setNumThreads() threads, all
    // joined before the constructor returns; the mesh does not depend on
    // their number. Stack: a few KiB.
    MeshReprojectionTransform(ZELUNnBox<double, 2> const& outBox, ZELUNCover const& outCover,
                              ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover,
                              ZELUNnPoint<double, 2> cellSize, long& status);
    MeshReprojectionTransform(MeshReprojectionTransform const& other);
    MeshReprojectionTransform& operator=(MeshReprojectionTransform const& other);
    ~MeshReprojectionTransform();

    // False outside the box (bounds inclusive, NaN outside) and in a mesh
    // without cells. A pixel centre (c + 0.5, r + 0.5) of a cell carried one
    // by one answers its stored position (false: it has no source position),
    // which is what the rows write; any other point of such a cell takes the
    // exact path at the call: false only where it has no image, and memory
    // running out there throws std::bad_alloc.
    bool transform(double x, double y, double& outX, double& outY) const override;

    ZELUNnBox<double, 2> const& box() const { return m_box; }
    ZELUNnPoint<double, 2> const& cellSize() const { return m_cellSize; }
    std::int64_t cellsPerRow() const { return m_cellsPerRow; }
    // The matrix of each finished cell, row-major, built from its corners;
    // inside a split cell the refinement's matrices and positions apply.
    std::vector<ZELUNCompGeom::ZELUNMatrix3D> const& matrices() const { return m_matrices; }

private:
    friend struct MeshAccess;
    struct Build;

    ZELUNnBox<double, 2> m_box;
    ZELUNnPoint<double, 2> m_cellSize;
    std::int64_t m_cellsPerRow = 0;
    std::vector<ZELUNCompGeom::ZELUNMatrix3D> m_matrices;
    std::shared_ptr<MeshInternals const> m_internals;
};

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
