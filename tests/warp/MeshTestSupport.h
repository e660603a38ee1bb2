#pragma once

// Comparing two mesh transforms as they are held: box, cells, matrices and
// the tree of every split cell, bit for bit (wherever the trees are stored).

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

inline bool sameMesh(MeshReprojectionTransform const& a, MeshReprojectionTransform const& b)
{
    if (std::memcmp(&a.box(), &b.box(), sizeof a.box()) != 0 || a.cellSize()[0] != b.cellSize()[0] ||
        a.cellSize()[1] != b.cellSize()[1] || a.cellsPerRow() != b.cellsPerRow() ||
        !sameBytes(a.matrices(), b.matrices()))
        return false;
    MeshInternals const* x = MeshAccess::internals(a);
    MeshInternals const* y = MeshAccess::internals(b);
    if (!x || !y) return !x && !y;
    if (x->roots != y->roots || x->trees.size() != y->trees.size() || x->columnStarts != y->columnStarts ||
        x->rowStarts != y->rowStarts)
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

}  // namespace zorvtest
