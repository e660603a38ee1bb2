#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
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

// The largest distance, in input pixels on either axis, between a cell
// matrix's position and the exact one at the cell's test points.
inline constexpr double kMeshMaxError = 0.125;

// The cells whose own matrix misses the exact path, split into quarters.
// A node is inner (children per quadrant: x >= splitX goes right, y >=
// splitY up; an axis that is not split has a split of +infinity) or a leaf
// holding a matrix or the exact positions of the pixel centres it covers.
struct MeshRefinement {
    struct Node {
        double splitX = 0.0, splitY = 0.0;
        std::int32_t child[4] = {-1, -1, -1, -1};  // low-left, low-right, high-left, high-right
        std::int32_t matrix = -1;                 // matrix leaf: index into matrices
        std::int32_t exact = -1;                  // exact leaf: index into exactLeaves
    };
    // The pixel centres (c + 0.5, r + 0.5) of an exact leaf: columns
    // [c0, c1), rows [r0, r1), positions from `offset` on, row by row.
    struct ExactLeaf {
        std::int64_t c0, c1, r0, r1;
        std::size_t offset;
    };
    std::vector<std::int32_t> roots;  // per cell: -1 (its own matrix holds) or its root node; empty: none split
    std::vector<Node> nodes;
    std::vector<ZELUNCompGeom::ZELUNMatrix3D> matrices;
    std::vector<ExactLeaf> exactLeaves;
    std::vector<double> positions;  // x, y per centre; a NaN x has no source position

    // The first pixel centre column c in [lo, hi] with c + 0.5 >= split
    // (hi when there is none).
    static std::int64_t firstCentreAtOrAfter(double split, std::int64_t lo, std::int64_t hi)
    {
        if (!(split > static_cast<double>(lo) + 0.5)) return lo;
        if (!(split <= static_cast<double>(hi) + 0.5)) return hi;
        auto c = static_cast<std::int64_t>(std::ceil(split - 0.5));
        c = c < lo ? lo : (c > hi ? hi : c);
        while (c > lo && static_cast<double>(c - 1) + 0.5 >= split) --c;
        while (c < hi && static_cast<double>(c) + 0.5 < split) ++c;
        return c;
    }

    // The leaf under the pixel centre (c + 0.5, y) from the root `node`;
    // `end` is cut back to the first column beyond the leaf.
    Node const& leafOfRun(std::int32_t node, std::int64_t c, std::int64_t& end, double y) const
    {
        double const x = static_cast<double>(c) + 0.5;
        for (;;) {
            Node const& n = nodes[static_cast<std::size_t>(node)];
            if (n.matrix >= 0 || n.exact >= 0) return n;
            bool const right = x >= n.splitX;
            if (!right) end = firstCentreAtOrAfter(n.splitX, c, end);
            node = n.child[(right ? 1 : 0) + (y >= n.splitY ? 2 : 0)];
        }
    }

    // The leaf node under (x, y), from the root node `node`.
    Node const& leafOf(std::int32_t node, double x, double y) const
    {
        for (;;) {
            Node const& n = nodes[static_cast<std::size_t>(node)];
            if (n.matrix >= 0 || n.exact >= 0) return n;
            node = n.child[(x >= n.splitX ? 1 : 0) + (y >= n.splitY ? 2 : 0)];
        }
    }
};

// Carries only the corners of square cells of the output grid through the
// coordinate systems and maps the points inside a cell by one projective
// matrix per cell, cells that miss the exact path by more than
// kMeshMaxError being split (see the constructor). Immutable once built:
// transform() reads the object's own members (pixel centres that take the
// exact path were carried at construction) and may run on several threads
// at once; it calls the coordinate layer only for a point of such a small
// cell that is not a pixel centre, which is why copies of the covers are
// kept.
class ZORV_EXPORT MeshReprojectionTransform : public WarpTransform {
public:
    // Builds the cell matrices row by row of cells, then tests each cell at
    // its centre and the midpoints of its edges against the exact path: a
    // cell whose matrix lies more than kMeshMaxError input pixels off there
    // (or whose test cannot be made, or whose quad is degenerate) is split
    // into quarters, built and tested the same way, down to cells of 4 x 4
    // pixels or less, whose pixel centres then take the exact path one by
    // one. The first failing status
    // (a cell cover's, a corner transformation's) is left in `status` and
    // stops the construction with the matrices of the cells before it; a
    // finished build leaves 0, and a box without cells leaves `status` as it
    // was. A cell size that is not a
    // positive number, or that cuts an axis into more than 2^31 cells, gives
    // a mesh without cells; storage for the matrices that cannot be had
    // gives kErrOutOfMemory.
    MeshReprojectionTransform(ZELUNnBox<double, 2> const& outBox, ZELUNCover const& outCover,
                              ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover,
                              ZELUNnPoint<double, 2> cellSize, long& status);
    MeshReprojectionTransform(MeshReprojectionTransform const& other);
    MeshReprojectionTransform& operator=(MeshReprojectionTransform const& other);
    ~MeshReprojectionTransform();

    // False outside the box (bounds inclusive, NaN outside), where the
    // point's cell has no matrix, and where a pixel taking the exact path
    // has no source position.
    bool transform(double x, double y, double& outX, double& outY) const override;

    ZELUNnBox<double, 2> const& box() const { return m_box; }
    ZELUNnPoint<double, 2> const& cellSize() const { return m_cellSize; }
    std::int64_t cellsPerRow() const { return m_cellsPerRow; }
    // One matrix per finished cell, row-major order of the cells.
    std::vector<ZELUNCompGeom::ZELUNMatrix3D> const& matrices() const { return m_matrices; }
    MeshRefinement const& refinement() const { return m_refinement; }
    // The cell row of a point inside the box, as transform() takes it.
    std::int64_t cellRowOf(double y) const;

    // Cells along an axis of `extent` pixels cut in cells of `cell`: the
    // ceiling of the ratio, 0 for a cell that is not a positive number or a
    // count above 2^31.
    static std::int64_t cellCount(double extent, double cell);

private:
    void buildByCell(ZELUNCover const& outCover, ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover,
                     std::int64_t rows, long& status);
    bool buildByLattice(ZELUNCover const& outCover, ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover,
                        std::int64_t rows);
    void refine(std::int64_t rows);
    ZELUNnBox<double, 2> cellBox(std::int64_t i, std::int64_t j) const;
    struct Builder;
    bool exactPosition(double x, double y, double& outX, double& outY) const;

    ZELUNnBox<double, 2> m_box;
    ZELUNnPoint<double, 2> m_cellSize;
    std::int64_t m_cellsPerRow = 0;
    std::vector<ZELUNCompGeom::ZELUNMatrix3D> m_matrices;
    MeshRefinement m_refinement;
    // The exact path, for points of exact leaves that are not pixel centres.
    ZELUNCover m_outCover;
    ZELUNCover m_inCover;
    ZELUNnBox<double, 2> m_inBox;
};

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
