#pragma once

// Library-internal: the row worker and the row driver shared by reprojection
// and shading. Both are templates over the element type T and the concrete
// (final) sampler S, so the per-pixel sample call is direct.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/warp/MeshRefinement.h"
#include "zorvsupport/warp/MeshReprojectionTransform.h"
#include "zorvsupport/warp/PointReprojectionTransform.h"
#include "zorvsupport/warp/RunSampling.h"
#include "zorvsupport/warp/Sampler.h"
#include "zorvsupport/warp/WarpUtils.h"
#include "zorvsupport/warp/WorkerThreads.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// The no-data argument of the row functions: the value for scalar types, a
// tuple view for tuple types.
template <class T>
struct RowNoData {
    using type = typename T::element_type const&;
};
template <class K>
struct RowNoData<TTupleDataType<K>> {
    using type = ConstTupleProxy<TTupleDataType<K>>;
};
template <class T>
using RowNoDataOf = typename RowNoData<T>::type;

namespace RowDetail {

template <class T>
inline SampleTargetOf<T> target(typename T::element_type* row, std::size_t column, unsigned length)
{
    if constexpr (T::kIsTuple)
        return SampleTargetOf<T>(row + column * length, length);
    else
        return row[column];
}

template <class T>
inline void putNoData(typename T::element_type* row, std::size_t column, unsigned length, RowNoDataOf<T> noData)
{
    if constexpr (T::kIsTuple)
        SampleTargetOf<T>(row + column * length, length) = noData;
    else
        row[column] = noData;
}

// The pixels [c, end) of centre row r in an exact leaf: the positions
// stored at construction (a centre without one gives no-data), which is what
// transform() answers there.
template <class T, class S>
void exactRun(MeshCellTree const& tree, MeshLeaf const& leaf, S const& sampler, typename T::element_type* row,
              std::size_t c, std::size_t end, unsigned length, std::int64_t r, RowNoDataOf<T> noData)
{
    for (; c < end; ++c) {
        std::size_t const k = exactCentreIndex(tree, leaf, static_cast<std::int64_t>(c), r);
        double const X = tree.positions[2 * k], Y = tree.positions[2 * k + 1];
        if (std::isnan(X))
            putNoData<T>(row, c, length, noData);
        else
            sampler.S::sample(X, Y, target<T>(row, c, length));
    }
}

// The pixels [c, end) of row y through one matrix, in runs of 64.
template <class T, class S>
void matrixRun(ZELUNCompGeom::ZELUNMatrix3D const& m, S const& sampler, typename T::element_type* row,
               std::size_t c, std::size_t end, unsigned length, double y)
{
    constexpr std::size_t kRun = 64;
    double px[kRun], py[kRun];
    RowMatrix const rm{m(0, 0), m(0, 1) * y, m(0, 2), m(1, 0), m(1, 1) * y, m(1, 2), m(2, 0), m(2, 1) * y, m(2, 2)};
    while (c < end) {
        std::size_t const n = std::min(kRun, end - c);
        runPositions(rm, c, n, px, py);
        sampleRun<T, S>(sampler, px, py, n, row, c, length);
        c += n;
    }
}

// The pixels of one row through the mesh, cell by cell and, in a split
// cell, leaf by leaf: exactly what MeshReprojectionTransform::transform
// gives per pixel, the matrix fetched once per run of pixels of one leaf.
template <class T, class S>
void meshRow(MeshReprojectionTransform const& mesh, S const& sampler, typename T::element_type* row,
             std::size_t width, unsigned length, double y, RowNoDataOf<T> noData)
{
    MeshInternals const* in = MeshAccess::internals(mesh);
    auto const& matrices = mesh.matrices();
    ZELUNnBox<double, 2> const& box = mesh.box();
    std::size_t c = 0;
    if (in && !matrices.empty() && y >= box.low[1] && y <= box.high[1]) {
        MeshGeometry const& g = in->geometry;
        std::int64_t const i = g.cellAlong(1, y), perRow = mesh.cellsPerRow();
        auto const r = static_cast<std::int64_t>(y - 0.5);  // y is the centre of row r
        auto const first = static_cast<std::size_t>(std::min<std::int64_t>(in->columnStarts[0], width));
        for (; c < first; ++c) putNoData<T>(row, c, length, noData);  // left of the box
        for (std::int64_t j = 0; j < perRow && c < width; ++j) {
            auto const end = static_cast<std::size_t>(std::min<std::int64_t>(in->columnsOf(j).hi, width));
            if (c >= end) continue;
            auto const index = static_cast<std::size_t>(i * perRow + j);
            if (index >= matrices.size()) break;  // a construction that stopped
            MeshCellTree const* tree = in->treeOf(index);
            if (!tree) {
                matrixRun<T, S>(matrices[index], sampler, row, c, end, length, y);
                c = end;
                continue;
            }
            ZELUNnBox<double, 2> const cell = g.cellBox(i, j);
            while (c < end) {
                MeshLeaf const leaf = meshLeafOf(*tree, static_cast<double>(c) + 0.5, y, cell, in->columnsOf(j),
                                                 in->rowsOf(i));
                std::size_t runEnd = std::min(static_cast<std::size_t>(leaf.columns.hi), end);
                if (runEnd <= c) runEnd = c + 1;  // never: the leaf holds centre c
                if (MeshCellTree::isExact(leaf.value))
                    exactRun<T, S>(*tree, leaf, sampler, row, c, runEnd, length, r, noData);
                else
                    matrixRun<T, S>(tree->matrices[MeshCellTree::leafIndex(leaf.value)], sampler, row, c, runEnd,
                                    length, y);
                c = runEnd;
            }
        }
    }
    for (; c < width; ++c) putNoData<T>(row, c, length, noData);  // right of the box, or outside it
}

// The row path of PointReprojectionTransform, kept from its installed
// interface.
struct PointRowAccess {
    static long row(PointReprojectionTransform const& point, double y, std::size_t first, std::size_t count,
                    double* xy, unsigned char* failed)
    {
        return point.transformRow(y, first, count, xy, failed);
    }
};

// The rows [firstRow, endRow) through a point transform, in runs of
// pixels carried through the coordinate layer in one call each: the same
// positions, failures included, as one transform() call per pixel. Runs on
// the caller's thread only (point transforms are never spread over
// threads). Its scratch (17 bytes a pixel, at most kRun pixels) is taken
// from the heap before any pixel is written. A shortage of memory in the
// coordinate layer throws std::bad_alloc (the rows before it written): it is
// never taken for points without a source position.
template <class T, class S>
void pointRows(PointReprojectionTransform const& point, S const& sampler, typename T::element_type* base,
               std::size_t width, unsigned length, unsigned firstRow, unsigned endRow, RowNoDataOf<T> noData)
{
    constexpr std::size_t kRun = 2048;
    std::size_t const run = std::min(kRun, width);
    if (run == 0 || firstRow >= endRow) return;
    std::unique_ptr<double[]> const xy(new double[2 * run]);
    std::unique_ptr<unsigned char[]> const failed(new unsigned char[run]);
    for (unsigned r = firstRow; r < endRow; ++r) {
        double const y = static_cast<double>(r) + 0.5;
        typename T::element_type* const row = base + static_cast<std::size_t>(r) * width * length;
        for (std::size_t c = 0; c < width; c += run) {
            std::size_t const n = std::min(run, width - c);
            // Any other status of the whole call leaves every point flagged:
            // no source position.
            if (PointRowAccess::row(point, y, c, n, xy.get(), failed.get()) == kErrOutOfMemory)
                throw std::bad_alloc();
            for (std::size_t i = 0; i < n; ++i) {
                if (failed[i])
                    putNoData<T>(row, c + i, length, noData);
                else
                    sampler.S::sample(xy[2 * i], xy[2 * i + 1], target<T>(row, c + i, length));
            }
        }
    }
}

}  // namespace RowDetail

// The row worker: the rows [firstRow, endRow) of `out`, on the calling
// thread. Every pixel is written: sampled where the transform gives its
// centre a source position, no-data elsewhere.
template <class T, class S>
void warpRows(TDataVector2D<T>& out, WarpTransform const& transform, S const& sampler, unsigned firstRow,
              unsigned endRow, RowNoDataOf<T> noData)
{
    using E = typename T::element_type;
    E* const base = static_cast<E*>(out.getDataPtr());
    std::size_t const width = out.getDimension(0);
    unsigned const length = out.getTupleLength();
    // The inline matrix path only for the mesh class itself; a derived class
    // may change transform(), so it is called per pixel.
    auto const* mesh =
        typeid(transform) == typeid(MeshReprojectionTransform) ? static_cast<MeshReprojectionTransform const*>(&transform)
                                                               : nullptr;
    // Likewise the batched path only for the point class itself.
    if (typeid(transform) == typeid(PointReprojectionTransform)) {
        RowDetail::pointRows<T, S>(static_cast<PointReprojectionTransform const&>(transform), sampler, base, width,
                                   length, firstRow, endRow, noData);
        return;
    }
    for (unsigned r = firstRow; r < endRow; ++r) {
        double const y = static_cast<double>(r) + 0.5;
        E* const row = base + static_cast<std::size_t>(r) * width * length;
        if (mesh) {
            RowDetail::meshRow<T, S>(*mesh, sampler, row, width, length, y, noData);
            continue;
        }
        for (std::size_t c = 0; c < width; ++c) {
            double X, Y;
            if (transform.transform(static_cast<double>(c) + 0.5, y, X, Y))
                sampler.S::sample(X, Y, RowDetail::target<T>(row, c, length));
            else
                RowDetail::putNoData<T>(row, c, length, noData);
        }
    }
}

// The row driver: the rows [firstRow, endRow) on the caller's thread, or in
// n bands on n threads for a mesh transform (or a class derived from it), an
// output of at least kMinThreadedElements elements and n >= 2. A thread that
// cannot be started leaves its band and the following ones to the caller's
// thread, and the output is the same whatever the number of threads. Every
// thread started is joined before the driver returns or lets an exception
// out. An exception inside a band (std::bad_alloc from a host's transform or
// sampler, say) stops that band; once every thread is joined, the first one
// (the caller's own before the workers') comes out, the other bands being
// written.
template <class T, class S, class Start = CreateThread>
void warpRowsThreaded(TDataVector2D<T>& out, WarpTransform const& transform, S const& sampler, unsigned firstRow,
                      unsigned endRow, RowNoDataOf<T> noData, Start start = Start())
{
    unsigned const n = acquireThreadCount();
    if (out.size() < kMinThreadedElements || n < 2 ||
        !dynamic_cast<MeshReprojectionTransform const*>(&transform)) {
        initCache();  // before any row: the point transform's scratch point
        warpRows<T, S>(out, transform, sampler, firstRow, endRow, noData);
        return;
    }
    // Band k on thread k; a band whose thread cannot start is done here.
    auto const band = [&](unsigned k) {
        auto const rows = splitRows(firstRow, endRow, n, k);
        if (rows.first < rows.second) warpRows<T, S>(out, transform, sampler, rows.first, rows.second, noData);
    };
    runTasks(n, 0, band, start);
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
