#include <algorithm>
#include <atomic>
#include <new>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/platform/ZELUNSystem.h"
#include "zorvsupport/types/Variant.h"
#include "zorvsupport/warp/ReprojectKernel.h"
#include "zorvsupport/warp/TransformSupport.h"
#include "zorvsupport/warp/WarpRows.h"
#include "zorvsupport/warp/WarpUtils.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

namespace {

// The process-wide thread count; 0 until known. Atomic because hosts set
// and read it from several threads; relaxed, as no other data hangs on it.
std::atomic<unsigned> gNumThreads{0};

// The row range of a pixel box: each value truncated toward zero.
ZELUNnBox<unsigned, 2> toIndexBox(ZELUNnBox<double, 2> const& box)
{
    // The boxes here come from unsigned dimensions, so every value fits.
    return ZELUNnBox<unsigned, 2>(
        ZELUNnPoint<unsigned, 2>(static_cast<unsigned>(box.low[0]), static_cast<unsigned>(box.low[1])),
        ZELUNnPoint<unsigned, 2>(static_cast<unsigned>(box.high[0]), static_cast<unsigned>(box.high[1])));
}

struct ReprojectVisitor {
    InterpolationMethod interpolation;
    DataVectorND<2>* out;
    ZELUNnBox<unsigned, 2> range;
    DataVectorND<2> const* in;
    Variant const* noData;
    WarpTransform const* transform;
    bool cyclicColumns;

    template <class T>
    long accept(T const& tag) const
    {
        return reprojectRaster<T>(tag, interpolation, *out, *in, *noData, *transform, range.low[1], range.high[1],
                                  cyclicColumns);
    }
};

}  // namespace

void setNumThreads(unsigned count)
{
    gNumThreads.store(count, std::memory_order_relaxed);
}

unsigned acquireThreadCount()
{
    unsigned count = gNumThreads.load(std::memory_order_relaxed);
    if (count != 0) return count;
    // The count is read once: a host setting 0 meanwhile must not make this
    // call run on no thread at all. A count another host stores first wins.
    unsigned const processors = std::max(1u, ZELUNSystem::processorCount());
    return gNumThreads.compare_exchange_strong(count, processors, std::memory_order_relaxed) ? processors : count;
}

long reprojectBuffer(DataVectorND<2>& out, ZELUNCover const& outCover, DataVectorND<2> const& in,
                     ZELUNCover const& inCover, Variant const& noData, ReprojectMethod method,
                     InterpolationMethod interpolation, bool /*unused*/)
try {
    DataType const outType = out.getDataType();
    if (outType != in.getDataType() || outType != noData.getDataType()) return kErrWarpTypeMismatch;
    if (long const status = coverStatus(outCover, inCover)) return status;
    ZELUNnBox<double, 2> const outBox = pixelBoxOf(out.getDimension(0), out.getDimension(1));
    ZELUNnBox<double, 2> const inBox = pixelBoxOf(in.getDimension(0), in.getDimension(1));
    long status = kSuccess;
    boost::shared_ptr<WarpTransform> const transform = makeTransform(method, inBox, inCover, outBox, outCover, status);
    if (status) return status;
    if (!transform) return kErrUnknownReprojectMethod;
    if (long const pair = pointPairStatus(method, outCover, inCover)) return pair;
    if (interpolation != kHold && interpolation != kBilinear && interpolation != kBilinearHoldNoData)
        return kErrUnknownWarpInterpolation;
    return outType.applyVisitor(
        ReprojectVisitor{interpolation, &out, toIndexBox(outBox), &in, &noData, transform.get(), cyclicColumns(inCover)});
} catch (std::bad_alloc const&) {
    return kErrOutOfMemory;  // the output untouched, or partly written by the rows
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
