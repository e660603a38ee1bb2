#pragma once

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

// Carries only the corners of square cells of the output grid through the
// coordinate systems and maps the points inside a cell by one projective
// matrix per cell. Holds nothing of the covers once built; transform() reads
// only the object's own members and may run on several threads at once.
class ZORV_EXPORT MeshReprojectionTransform : public WarpTransform {
public:
    // Builds the cell matrices row by row of cells. The first failing status
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

    // False outside the box (bounds inclusive, NaN outside) and where the
    // point's cell has no matrix.
    bool transform(double x, double y, double& outX, double& outY) const override;

    ZELUNnBox<double, 2> const& box() const { return m_box; }
    ZELUNnPoint<double, 2> const& cellSize() const { return m_cellSize; }
    std::int64_t cellsPerRow() const { return m_cellsPerRow; }
    // One matrix per finished cell, row-major order of the cells.
    std::vector<ZELUNCompGeom::ZELUNMatrix3D> const& matrices() const { return m_matrices; }

    // Cells along an axis of `extent` pixels cut in cells of `cell`: the
    // ceiling of the ratio, 0 for a cell that is not a positive number or a
    // count above 2^31.
    static std::int64_t cellCount(double extent, double cell);

private:
    void buildByCell(ZELUNCover const& outCover, ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover,
                     std::int64_t rows, long& status);
    bool buildByLattice(ZELUNCover const& outCover, ZELUNnBox<double, 2> const& inBox, ZELUNCover const& inCover,
                        std::int64_t rows);

    ZELUNnBox<double, 2> m_box;
    ZELUNnPoint<double, 2> m_cellSize;
    std::int64_t m_cellsPerRow = 0;
    std::vector<ZELUNCompGeom::ZELUNMatrix3D> m_matrices;
};

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
