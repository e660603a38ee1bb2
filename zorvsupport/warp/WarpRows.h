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

// The n pixels of a row from column `first` whose input positions (x, y
// pairs in xy) and flags (failed) a transform's transformRow gave: no-data
// where flagged, the others sampled. A sampler with a run entry gets the
// runs of consecutive positions, copied into the separate arrays it reads;
// any other is called pixel by pixel on the pairs as they are.
template <class T, class S>
void sampleCarried(S const& sampler, typename T::element_type* row, std::size_t first, std::size_t n, unsigned length,
                   double const* xy, unsigned char const* failed, RowNoDataOf<T> noData)
{
    if constexpr (HasSampleRun<S>::value) {
        constexpr std::size_t kRun = 64;
        double px[kRun], py[kRun];
        for (std::size_t i = 0; i < n;) {
            if (failed[i]) {
                putNoData<T>(row, first + i, length, noData);
                ++i;
                continue;
            }
            std::size_t k = 0;
            for (; k < kRun && i + k < n && !failed[i + k]; ++k) {
                px[k] = xy[2 * (i + k)];
                py[k] = xy[2 * (i + k) + 1];
            }
            sampler.S::sampleRun(px, py, k, row, first + i, length);
            i += k;
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            if (failed[i])
                putNoData<T>(row, first + i, length, noData);
            else
                sampler.S::sample(xy[2 * i], xy[2 * i + 1], target<T>(row, first + i, length));
        }
    }
}

// The rows [firstRow, endRow) through a transform's row form
// (transformRow), `run` pixels a call into the scratch xy (2 run values)
// and failed (run flags): exactly what its transform() gives per pixel.
// Returns 0, or the first status of a whole call (a shortage, or the pair
// refused), the rows before it written.
template <class T, class S, class Transform>
long carriedRows(Transform const& transform, S const& sampler, typename T::element_type* base, std::size_t width,
                 unsigned length, unsigned firstRow, unsigned endRow, RowNoDataOf<T> noData, double* xy,
                 unsigned char* failed, std::size_t run)
{
    for (unsigned r = firstRow; r < endRow; ++r) {
        double const y = static_cast<double>(r) + 0.5;
        typename T::element_type* const row = base + static_cast<std::size_t>(r) * width * length;
        for (std::size_t c = 0; c < width; c += run) {
            std::size_t const n = std::min(run, width - c);
            if (long const status = transform.transformRow(y, c, n, xy, failed)) return status;
            sampleCarried<T, S>(sampler, row, c, n, length, xy, failed, noData);
        }
    }
    return kSuccess;
}

// The rows through the mesh: its row form on the stack, which on rows of
// pixel centres never calls the coordinate layer and allocates nothing.
template <class T, class S>
long meshRows(MeshReprojectionTransform const& mesh, S const& sampler, typename T::element_type* base,
              std::size_t width, unsigned length, unsigned firstRow, unsigned endRow, RowNoDataOf<T> noData)
{
    constexpr std::size_t kRun = 64;
    double xy[2 * kRun];
    unsigned char failed[kRun];
    return carriedRows<T, S>(mesh, sampler, base, width, length, firstRow, endRow, noData, xy, failed, kRun);
}

// The rows through a point transform, runs of up to kRun pixels carried
// through the coordinate layer in one call each. Runs on the caller's
// thread only (point transforms are never spread over threads). Its scratch
// (17 bytes a pixel) is taken from the heap before any pixel is written.
template <class T, class S>
long pointRows(PointReprojectionTransform const& point, S const& sampler, typename T::element_type* base,
               std::size_t width, unsigned length, unsigned firstRow, unsigned endRow, RowNoDataOf<T> noData)
{
    constexpr std::size_t kRun = 2048;
    std::size_t const run = std::min(kRun, width);
    if (run == 0 || firstRow >= endRow) return kSuccess;
    std::unique_ptr<double[]> const xy(new double[2 * run]);
    std::unique_ptr<unsigned char[]> const failed(new unsigned char[run]);
    return carriedRows<T, S>(point, sampler, base, width, length, firstRow, endRow, noData, xy.get(), failed.get(),
                             run);
}

// A status of the rows of one band, carried out of the band's thread to the
// row driver, which returns it.
struct BandStatus {
    long status;
};

}  // namespace RowDetail

// The row worker: the rows [firstRow, endRow) of `out`, on the calling
// thread. Every pixel is written: sampled where the transform gives its
// centre a source position, no-data elsewhere. Returns 0, or the status with
// which the library's transforms ended the rows (a shortage, or the pair
// refused: WarpTransform.h), the rows before it written; a shortage in the
// library itself throws std::bad_alloc.
template <class T, class S>
long warpRows(TDataVector2D<T>& out, WarpTransform const& transform, S const& sampler, unsigned firstRow,
              unsigned endRow, RowNoDataOf<T> noData)
{
    using E = typename T::element_type;
    E* const base = static_cast<E*>(out.getDataPtr());
    std::size_t const width = out.getDimension(0);
    unsigned const length = out.getTupleLength();
    // The row forms only for the library's classes themselves; a derived
    // class may change transform(), so it is called per pixel.
    if (typeid(transform) == typeid(MeshReprojectionTransform))
        return RowDetail::meshRows<T, S>(static_cast<MeshReprojectionTransform const&>(transform), sampler, base,
                                         width, length, firstRow, endRow, noData);
    if (typeid(transform) == typeid(PointReprojectionTransform))
        return RowDetail::pointRows<T, S>(static_cast<PointReprojectionTransform const&>(transform), sampler, base,
                                          width, length, firstRow, endRow, noData);
    for (unsigned r = firstRow; r < endRow; ++r) {
        double const y = static_cast<double>(r) + 0.5;
        E* const row = base + static_cast<std::size_t>(r) * width * length;
        for (std::size_t c = 0; c < width; ++c) {
            double X, Y;
            if (transform.transform(static_cast<double>(c) + 0.5, y, X, Y))
                sampler.S::sample(X, Y, RowDetail::target<T>(row, c, length));
            else
                RowDetail::putNoData<T>(row, c, length, noData);
        }
    }
    return kSuccess;
}

// The row driver: the rows [firstRow, endRow) on the caller's thread, or in
// n bands on n threads for a mesh transform (or a class derived from it), an
// output of at least kMinThreadedElements elements and n >= 2. A thread that
// cannot be started leaves its band and the following ones to the caller's
// thread, and the output is the same whatever the number of threads. Every
// thread started is joined before the driver returns or lets an exception
// out. Returns 0 or the row worker's status (of the first band, in band
// order, that ended with one). An exception inside a band (std::bad_alloc
// from a host's transform or sampler, say) stops that band; once every
// thread is joined, the first one (the caller's own before the workers')
// comes out, the other bands being written.
template <class T, class S, class Start = CreateThread>
long warpRowsThreaded(TDataVector2D<T>& out, WarpTransform const& transform, S const& sampler, unsigned firstRow,
                      unsigned endRow, RowNoDataOf<T> noData, Start start = Start())
{
    unsigned const n = acquireThreadCount();
    if (out.size() < kMinThreadedElements || n < 2 ||
        !dynamic_cast<MeshReprojectionTransform const*>(&transform)) {
        initCache();  // before any row: the point transform's scratch point
        return warpRows<T, S>(out, transform, sampler, firstRow, endRow, noData);
    }
    // Band k on thread k; a band whose thread cannot start is done here.
    auto const band = [&](unsigned k) {
        auto const rows = splitRows(firstRow, endRow, n, k);
        if (rows.first < rows.second)
            if (long const status = warpRows<T, S>(out, transform, sampler, rows.first, rows.second, noData))
                throw RowDetail::BandStatus{status};
    };
    try {
        runTasks(n, 0, band, start);
    } catch (RowDetail::BandStatus const& b) {
        return b.status;
    }
    return kSuccess;
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
