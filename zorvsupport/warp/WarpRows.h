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

#include <boost/function.hpp>
#include <boost/thread/thread.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/warp/MeshReprojectionTransform.h"
#include "zorvsupport/warp/PointReprojectionTransform.h"
#include "zorvsupport/warp/RunSampling.h"
#include "zorvsupport/warp/Sampler.h"
#include "zorvsupport/warp/WarpUtils.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// The thread count of one row-driver call: stores the processor count when
// the process-wide count is 0, then reads the count once.
ZORV_EXPORT unsigned acquireThreadCount();

// Band k of n over the rows [first, end): equal bands of (end - first) / n
// rows, the last one taking the remainder.
inline std::pair<unsigned, unsigned> splitRows(unsigned first, unsigned end, unsigned n, unsigned k)
{
    unsigned const chunk = (end - first) / n;
    unsigned const lo = first + k * chunk;
    return {lo, k + 1 == n ? end : lo + chunk};
}

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

// The pixels [c, end) of row y in an exact leaf: the positions stored at
// construction (no source position gives no-data), as transform() answers.
template <class T, class S>
void exactRun(MeshReprojectionTransform const& mesh, MeshRefinement::ExactLeaf const& leaf, S const& sampler,
              typename T::element_type* row, std::size_t c, std::size_t end, unsigned length, double y,
              RowNoDataOf<T> noData)
{
    auto const r = static_cast<std::int64_t>(y - 0.5);
    std::vector<double> const& positions = mesh.refinement().positions;
    for (; c < end; ++c) {
        auto const cc = static_cast<std::int64_t>(c);
        double X, Y;
        bool mapped;
        if (r >= leaf.r0 && r < leaf.r1 && cc >= leaf.c0 && cc < leaf.c1) {
            std::size_t const k =
                leaf.offset + 2 * static_cast<std::size_t>((r - leaf.r0) * (leaf.c1 - leaf.c0) + (cc - leaf.c0));
            X = positions[k];
            Y = positions[k + 1];
            mapped = !std::isnan(X);
        } else {
            mapped = mesh.transform(static_cast<double>(c) + 0.5, y, X, Y);
        }
        if (mapped)
            sampler.S::sample(X, Y, target<T>(row, c, length));
        else
            putNoData<T>(row, c, length, noData);
    }
}

// The pixels of one row through the mesh's own matrices, cell by cell:
// exactly what MeshReprojectionTransform::transform gives per pixel, with
// the matrix fetched once per run of pixels of one cell.
template <class T, class S>
void meshRow(MeshReprojectionTransform const& mesh, S const& sampler, typename T::element_type* row,
             std::size_t width, unsigned length, double y, RowNoDataOf<T> noData)
{
    ZELUNnBox<double, 2> const& box = mesh.box();
    auto const& matrices = mesh.matrices();
    MeshRefinement const& refinement = mesh.refinement();
    std::int64_t const perRow = mesh.cellsPerRow();
    bool const rowInside = y >= box.low[1] && y <= box.high[1] && !matrices.empty();
    std::int64_t cellRow = 0;
    if (rowInside) {
        std::int64_t const rows = MeshReprojectionTransform::cellCount(box.high[1] - box.low[1], mesh.cellSize()[1]);
        cellRow = std::min(static_cast<std::int64_t>((y - box.low[1]) / mesh.cellSize()[1]), rows - 1);
    }
    // The cell column of pixel c: -1 left of the box, perRow right of it
    // (or on a row outside), else the column the transform would use. Never
    // decreases with c.
    auto cellOf = [&](std::size_t c) -> std::int64_t {
        double const x = static_cast<double>(c) + 0.5;
        if (!rowInside || x > box.high[0]) return perRow;
        if (!(x >= box.low[0])) return -1;
        auto const q = static_cast<std::int64_t>((x - box.low[0]) / mesh.cellSize()[0]);
        return std::min(q, perRow - 1);
    };
    constexpr std::size_t kRun = 64;
    double px[kRun], py[kRun];
    std::size_t c = 0;
    while (c < width) {
        std::int64_t const cell = cellOf(c);
        // End of the run of pixels of this cell: a gallop, then a bisection.
        std::size_t lo = c, step = 1;
        while (lo + step < width && cellOf(lo + step) == cell) {
            lo += step;
            step *= 2;
        }
        std::size_t hi = std::min(lo + step, width);  // cellOf(hi) differs, or hi == width
        while (hi - lo > 1) {
            std::size_t const mid = lo + (hi - lo) / 2;
            (cellOf(mid) == cell ? lo : hi) = mid;
        }
        std::size_t end = hi;
        std::size_t const index = static_cast<std::size_t>(cellRow * perRow + cell);
        if (cell < 0 || cell >= perRow || index >= matrices.size()) {
            for (; c < end; ++c) putNoData<T>(row, c, length, noData);
            continue;
        }
        ZELUNCompGeom::ZELUNMatrix3D const* cellMatrix = &matrices[index];
        if (!refinement.roots.empty() && refinement.roots[index] >= 0) {
            // A split cell: the run of its leaf under pixel c.
            auto leafEnd = static_cast<std::int64_t>(end);
            MeshRefinement::Node const& leaf =
                refinement.leafOfRun(refinement.roots[index], static_cast<std::int64_t>(c), leafEnd, y);
            end = static_cast<std::size_t>(leafEnd);
            if (leaf.exact >= 0) {
                exactRun<T, S>(mesh, refinement.exactLeaves[static_cast<std::size_t>(leaf.exact)], sampler, row, c,
                               end, length, y, noData);
                c = end;
                continue;
            }
            cellMatrix = &refinement.matrices[static_cast<std::size_t>(leaf.matrix)];
        }
        ZELUNCompGeom::ZELUNMatrix3D const& m = *cellMatrix;
        double const m00 = m(0, 0), m01y = m(0, 1) * y, m02 = m(0, 2);
        double const m10 = m(1, 0), m11y = m(1, 1) * y, m12 = m(1, 2);
        double const m20 = m(2, 0), m21y = m(2, 1) * y, m22 = m(2, 2);
        while (c < end) {
            std::size_t const n = std::min(kRun, end - c);
            runPositions({m00, m01y, m02, m10, m11y, m12, m20, m21y, m22}, c, n, px, py);
            sampleRun<T, S>(sampler, px, py, n, row, c, length);
            c += n;
        }
    }
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

// Starts `task` on a new thread held by `slot`; the row driver's default.
// A start hook must either leave `slot` empty or hold the started thread in
// it, and may throw in either case.
struct CreateThread {
    void operator()(boost::thread& slot, boost::function0<void> const& task) const { slot = boost::thread(task); }
};

namespace RowDetail {

// One thread of the row driver and the exception that ended its band.
struct WorkerSlot {
    boost::thread thread;
    std::exception_ptr error;
};

// Joins every started thread when it goes out of scope, however the
// driver leaves.
class JoinGuard {
public:
    JoinGuard(WorkerSlot* slots, unsigned count) : m_slots(slots), m_count(count) {}
    ~JoinGuard() { joinAll(); }
    JoinGuard(JoinGuard const&) = delete;
    JoinGuard& operator=(JoinGuard const&) = delete;

    void joinAll() noexcept
    {
        // A host thread that is being interrupted must still wait here.
        boost::this_thread::disable_interruption noInterruption;
        for (unsigned k = 0; k < m_count; ++k)
            if (m_slots[k].thread.joinable()) m_slots[k].thread.join();
    }

private:
    WorkerSlot* m_slots;
    unsigned m_count;
};

// The task of one worker: its band of rows; an exception is kept in its
// slot, never let out of the thread.
template <class T, class S>
struct Band {
    TDataVector2D<T>* out;
    WarpTransform const* transform;
    S const* sampler;
    unsigned first, end;
    std::conditional_t<T::kIsTuple, RowNoDataOf<T>, typename T::element_type const*> noData;
    std::exception_ptr* error;

    void operator()() const
    {
        try {
            if constexpr (T::kIsTuple)
                warpRows<T, S>(*out, *transform, *sampler, first, end, noData);
            else
                warpRows<T, S>(*out, *transform, *sampler, first, end, *noData);
        } catch (...) {
            *error = std::current_exception();
        }
    }
};

}  // namespace RowDetail

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
    // Room for every thread before any starts: nothing allocates between a
    // start and the thread's place in the guard. Without it, everything is
    // done here.
    std::unique_ptr<RowDetail::WorkerSlot[]> slots(new (std::nothrow) RowDetail::WorkerSlot[n]);
    auto const taskNoData = [&] {
        if constexpr (T::kIsTuple)
            return noData;
        else
            return &noData;
    }();
    unsigned k = 0;
    {
        RowDetail::JoinGuard guard(slots.get(), slots ? n : 0);
        while (slots && k < n) {
            auto const band = splitRows(firstRow, endRow, n, k);
            bool failed = false;
            try {
                RowDetail::Band<T, S> const task{&out,        &transform,  &sampler,        band.first,
                                                 band.second, taskNoData, &slots[k].error};
                start(slots[k].thread, boost::function0<void>(task));
            } catch (...) {
                failed = true;  // no more threads
            }
            bool const started = slots[k].thread.joinable();  // even if the hook then threw
            if (started) ++k;
            if (failed || !started) break;
        }
        for (unsigned rest = k; rest < n; ++rest) {
            auto const band = splitRows(firstRow, endRow, n, rest);
            if (band.first < band.second) warpRows<T, S>(out, transform, sampler, band.first, band.second, noData);
        }
        guard.joinAll();
    }
    for (unsigned j = 0; j < k; ++j)
        if (slots[j].error) std::rethrow_exception(slots[j].error);
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
