#pragma once

// Library-internal: what a mesh transform holds beside its cell matrices
// (the refinement of the cells whose own matrix misses the exact path, the
// first pixel centre of every cell column and row, the covers of the exact
// path), the rules that place points and pixel centres in cells and leaves,
// and the walk that transform() and the rows share.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/platform/ZELUNMatrix3D.h"
#include "zorvsupport/platform/ZELUNnBox.h"
#include "zorvsupport/warp/MeshReprojectionTransform.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// Cells along an axis of `extent` pixels cut in cells of `cell`: the
// ceiling of the ratio, 0 for a cell that is not a positive number or a
// count above 2^31.
inline std::int64_t meshCellCount(double extent, double cell)
{
    if (!(cell > 0.0)) return 0;
    double const n = std::ceil(extent / cell);
    return n >= 0.0 && n <= 2147483648.0 ? static_cast<std::int64_t>(n) : 0;
}

// Pixel centres are stored only below 2^32 along an axis: rows and columns
// of a grid are 32-bit counts.
inline constexpr std::int64_t kMaxMeshCentre = std::int64_t(1) << 32;

// The side, in output pixels, at or below which a refined cell is not split
// further: a smallest cell that misses carries its pixel centres one by one.
inline constexpr double kMeshSmallestCell = 4.0;

// Where a node box [lo, hi] of a split cell splits along an axis: at
// lo + ceil(w / 2) when its extent w exceeds kMeshSmallestCell, else nowhere
// (+infinity: every point lies below the split).
inline double meshSplit(double lo, double hi)
{
    double const w = hi > lo ? hi - lo : 0.0;
    return w > kMeshSmallestCell ? lo + std::ceil(w / 2) : std::numeric_limits<double>::infinity();
}

// The first pixel centre index c in [lo, hi] with c + 0.5 >= split (hi
// when there is none): the centres [lo, c) lie below the split.
inline std::int64_t firstCentreAtOrAfter(double split, std::int64_t lo, std::int64_t hi)
{
    if (!(split > static_cast<double>(lo) + 0.5)) return lo;
    if (!(split <= static_cast<double>(hi) + 0.5)) return hi;
    auto c = static_cast<std::int64_t>(std::ceil(split - 0.5));
    c = c < lo ? lo : (c > hi ? hi : c);
    while (c > lo && static_cast<double>(c - 1) + 0.5 >= split) --c;
    while (c < hi && static_cast<double>(c) + 0.5 < split) ++c;
    return c;
}

// The pixel centres [lo, hi) along one axis of a cell or leaf.
struct CentreRange {
    std::int64_t lo, hi;
};

// The output box cut into cells.
struct MeshGeometry {
    ZELUNnBox<double, 2> box;
    double cell[2] = {0.0, 0.0};
    std::int64_t cells[2] = {0, 0};  // cells per row, rows of cells

    // The cell along `axis` that holds coordinate v: -1 below the box (or
    // not a number), cells[axis] above it, else the cell transform() takes,
    // a point on the maximum edge lying in the last cell.
    std::int64_t cellAlong(int axis, double v) const
    {
        if (!(v >= box.low[axis])) return -1;
        if (v > box.high[axis]) return cells[axis];
        auto const k = static_cast<std::int64_t>((v - box.low[axis]) / cell[axis]);
        return k < cells[axis] ? k : cells[axis] - 1;
    }

    // The first pixel centre c (c + 0.5 along `axis`) held by cell k or a
    // later one (k = cells[axis]: the first beyond the box).
    std::int64_t firstCentreOfCell(int axis, std::int64_t k) const
    {
        double const v = std::floor(box.low[axis] + static_cast<double>(k) * cell[axis] - 0.5);
        std::int64_t c = !(v > 0.0) ? 0 : v < static_cast<double>(kMaxMeshCentre) ? static_cast<std::int64_t>(v)
                                                                                   : kMaxMeshCentre;
        auto cellOf = [&](std::int64_t centre) { return cellAlong(axis, static_cast<double>(centre) + 0.5); };
        while (c > 0 && cellOf(c - 1) >= k) --c;
        while (c < kMaxMeshCentre && cellOf(c) < k) ++c;
        return c;
    }

    // The pixel box of cell (row i, column j), cut back to the output box.
    ZELUNnBox<double, 2> cellBox(std::int64_t i, std::int64_t j) const;
};

// The refinement of one split cell, a tree over its box: node 0 is the cell.
// A node value v >= 0 is an inner node whose children start at index v, one
// per side of each axis that splits (child v + right + up * (x splits ? 2 :
// 1); see meshSplit); v < 0 is a leaf: -1 - 2m holds matrix m, -2 - 2e is
// exact leaf e, whose pixel centres were carried one by one. The tree views
// arrays held elsewhere (in an arena).
struct MeshCellTree {
    std::int32_t const* nodes = nullptr;
    ZELUNCompGeom::ZELUNMatrix3D const* matrices = nullptr;
    std::size_t const* exactStarts = nullptr;  // per exact leaf: its first centre in `positions`
    double const* positions = nullptr;         // x, y per centre, leaf by leaf, row by row; a NaN x: no source position
    std::size_t nodeCount = 0, matrixCount = 0, exactCount = 0, centreCount = 0;

    static std::int32_t matrixLeaf(std::size_t m) { return -1 - 2 * static_cast<std::int32_t>(m); }
    static std::int32_t exactLeaf(std::size_t e) { return -2 - 2 * static_cast<std::int32_t>(e); }
    static bool isExact(std::int32_t v) { return ((-1 - v) & 1) != 0; }
    static std::size_t leafIndex(std::int32_t v) { return static_cast<std::size_t>((-1 - v) >> 1); }
};

// Storage for the trees one thread builds: blocks taken one after the
// other from chunks that grow (the later ones large enough for huge pages,
// so that a large refinement faults its memory in a few large pages), all
// released together.
class MeshArena {
public:
    MeshArena() = default;
    MeshArena(MeshArena&& other) noexcept;
    MeshArena& operator=(MeshArena&& other) noexcept;
    MeshArena(MeshArena const&) = delete;
    MeshArena& operator=(MeshArena const&) = delete;
    ~MeshArena();

    // `bytes` of storage aligned for doubles; throws std::bad_alloc.
    void* take(std::size_t bytes);

private:
    struct Chunk {
        void* data;
        std::size_t bytes;
    };
    std::vector<Chunk> m_chunks;
    std::size_t m_used = 0;  // in the last chunk
};

// A leaf reached by a walk: its node value, its box and its centres.
struct MeshLeaf {
    std::int32_t value;
    ZELUNnBox<double, 2> box;
    CentreRange columns, rows;
};

// Descends one axis of a walk: the box and the centres of the side of
// `split` that holds the point.
inline void meshDescend(int axis, double split, bool above, ZELUNnBox<double, 2>& box, CentreRange& centres)
{
    if (!(split < std::numeric_limits<double>::infinity())) return;
    double const s = split < box.high[axis] ? split : box.high[axis];
    std::int64_t const c = firstCentreAtOrAfter(split, centres.lo, centres.hi);
    if (above) {
        box.low[axis] = s;
        centres.lo = c;
    } else {
        box.high[axis] = s;
        centres.hi = c;
    }
}

// The leaf of `tree` under (x, y), from the cell's box and centres.
inline MeshLeaf meshLeafOf(MeshCellTree const& tree, double x, double y, ZELUNnBox<double, 2> const& cellBox,
                           CentreRange columns, CentreRange rows)
{
    MeshLeaf leaf{tree.nodes[0], cellBox, columns, rows};
    while (leaf.value >= 0) {
        double const sx = meshSplit(leaf.box.low[0], leaf.box.high[0]);
        double const sy = meshSplit(leaf.box.low[1], leaf.box.high[1]);
        bool const right = x >= sx, up = y >= sy;
        meshDescend(0, sx, right, leaf.box, leaf.columns);
        meshDescend(1, sy, up, leaf.box, leaf.rows);
        std::int32_t const xSides = sx < std::numeric_limits<double>::infinity() ? 2 : 1;
        leaf.value = tree.nodes[static_cast<std::size_t>(leaf.value + (right ? 1 : 0) + (up ? xSides : 0))];
    }
    return leaf;
}

// The index in `positions` (in centres) of centre (c, r) of an exact leaf.
inline std::size_t exactCentreIndex(MeshCellTree const& tree, MeshLeaf const& leaf, std::int64_t c, std::int64_t r)
{
    std::size_t const start = tree.exactStarts[MeshCellTree::leafIndex(leaf.value)];
    return start + static_cast<std::size_t>((r - leaf.rows.lo) * (leaf.columns.hi - leaf.columns.lo) +
                                            (c - leaf.columns.lo));
}

// Everything of a mesh with cells beside the box, the cell size and the
// matrices; shared, unchanged, by the copies of a mesh.
struct MeshInternals {
    MeshInternals() = default;
    MeshInternals(MeshInternals const&) = delete;  // the trees view its own arenas
    MeshInternals& operator=(MeshInternals const&) = delete;

    MeshGeometry geometry;
    // The first centre of each cell column (cells per row + 1 values, the
    // last one the first centre beyond the box) and of each row of cells.
    std::vector<std::int64_t> columnStarts, rowStarts;
    // Per cell, row-major: -1 where its own matrix holds, else its tree in
    // `trees`; empty when no cell split. The trees lie in the arenas.
    std::vector<std::int32_t> roots;
    std::vector<MeshCellTree> trees;
    std::vector<MeshArena> arenas;
    // The exact path, for points of exact leaves that are not stored centres.
    ZELUNCover outCover, inCover;
    ZELUNnBox<double, 2> inBox;

    CentreRange columnsOf(std::int64_t j) const
    {
        return {columnStarts[static_cast<std::size_t>(j)], columnStarts[static_cast<std::size_t>(j) + 1]};
    }
    CentreRange rowsOf(std::int64_t i) const
    {
        return {rowStarts[static_cast<std::size_t>(i)], rowStarts[static_cast<std::size_t>(i) + 1]};
    }
    // The tree of cell `index`, or null where its own matrix holds.
    MeshCellTree const* treeOf(std::size_t index) const
    {
        return roots.empty() || roots[index] < 0 ? nullptr : &trees[static_cast<std::size_t>(roots[index])];
    }
};

// What a mesh transform keeps once built: its cells per row, one matrix per
// cell (row-major) and, for a mesh with cells, its internals.
struct MeshBuild {
    std::int64_t cellsPerRow = 0;
    std::vector<ZELUNCompGeom::ZELUNMatrix3D> matrices;
    std::shared_ptr<MeshInternals const> internals;
};

// The construction of MeshReprojectionTransform: what the mesh keeps for
// these arguments, with `status` left as its constructor documents.
MeshBuild buildMesh(ZELUNnBox<double, 2> const& outBox, ZELUNCover const& outCover, ZELUNnBox<double, 2> const& inBox,
                    ZELUNCover const& inCover, ZELUNnPoint<double, 2> cellSize, long& status);

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
