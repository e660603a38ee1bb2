#pragma once

// Comparing meshes: two constructions as they are held (cells, matrices and
// the tree of every split cell, bit for bit, wherever the trees are stored),
// and two mesh transforms by what they answer.

#include <cmath>
#include <cstring>
#include <vector>

#include "zorvsupport/warp/MeshRefinement.h"

namespace zorvtest {

using namespace ZORV_3_13_0_::DataSet::WarpUtils;

template <class V>
bool sameBytes(V const* a, V const* b, std::size_t n)
{
    return n == 0 || std::memcmp(a, b, n * sizeof(V)) == 0;
}

template <class V>
bool sameBytes(std::vector<V> const& a, std::vector<V> const& b)
{
    return a.size() == b.size() && sameBytes(a.data(), b.data(), a.size());
}

inline bool sameBuild(MeshBuild const& a, MeshBuild const& b)
{
    if (a.cellsPerRow != b.cellsPerRow || !sameBytes(a.matrices, b.matrices)) return false;
    MeshInternals const* x = a.internals.get();
    MeshInternals const* y = b.internals.get();
    if (!x || !y) return !x && !y;
    if (std::memcmp(&x->geometry.box, &y->geometry.box, sizeof x->geometry.box) != 0 ||
        !sameBytes(x->geometry.cell, y->geometry.cell, 2) || x->roots != y->roots ||
        x->trees.size() != y->trees.size() || x->columnStarts != y->columnStarts || x->rowStarts != y->rowStarts)
        return false;
    for (std::size_t k = 0; k < x->trees.size(); ++k) {
        MeshCellTree const& s = x->trees[k];
        MeshCellTree const& t = y->trees[k];
        if (s.nodeCount != t.nodeCount || s.matrixCount != t.matrixCount || s.exactCount != t.exactCount ||
            s.centreCount != t.centreCount || !sameBytes(s.nodes, t.nodes, s.nodeCount) ||
            !sameBytes(s.matrices, t.matrices, s.matrixCount) || !sameBytes(s.exactStarts, t.exactStarts, s.exactCount) ||
            !sameBytes(s.positions, t.positions, 2 * s.centreCount))
            return false;
    }
    return true;
}

// Two mesh transforms that answer alike: box, cells and matrices, and every
// pixel centre of the box (through the row form: status, flags and the
// positions of the centres that have one), bit for bit.
inline bool sameAnswers(MeshReprojectionTransform const& a, MeshReprojectionTransform const& b)
{
    if (std::memcmp(&a.box(), &b.box(), sizeof a.box()) != 0 || a.cellSize()[0] != b.cellSize()[0] ||
        a.cellSize()[1] != b.cellSize()[1] || a.cellsPerRow() != b.cellsPerRow() ||
        !sameBytes(a.matrices(), b.matrices()))
        return false;
    std::size_t const w = static_cast<std::size_t>(std::ceil(a.box().high[0]));
    std::size_t const h = static_cast<std::size_t>(std::ceil(a.box().high[1]));
    std::vector<double> xa(2 * w), xb(2 * w);
    std::vector<unsigned char> fa(w), fb(w);
    for (std::size_t r = 0; r < h; ++r) {
        double const y = static_cast<double>(r) + 0.5;
        if (a.transformRow(y, 0, w, xa.data(), fa.data()) != b.transformRow(y, 0, w, xb.data(), fb.data()) ||
            fa != fb)
            return false;
        for (std::size_t c = 0; c < w; ++c)
            if (!fa[c] && !sameBytes(&xa[2 * c], &xb[2 * c], 2)) return false;
    }
    return true;
}

}  // namespace zorvtest
