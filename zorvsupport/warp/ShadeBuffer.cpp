#include <new>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/ShadingSampler.h"
#include "zorvsupport/warp/TransformSupport.h"
#include "zorvsupport/warp/WarpRows.h"
#include "zorvsupport/warp/WarpUtils.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

long shadeBuffer(TDataVector2D<ImageType>& image, ZELUNCover const& imageCover, ConstTupleProxy<ImageType> imageNoData,
                 TDataVector2D<NormalType> const& normals, ZELUNCover const& normalCover,
                 ConstTupleProxy<NormalType> normalNoData, ConstTupleProxy<NormalType> light, ReprojectMethod method)
try {
    // A view without data is refused with its length: all three are read.
    if (image.getDataType() != DataType(DataType::kUInt8, 4) || imageNoData.length() != 4 || !imageNoData.data() ||
        normals.getDataType() != DataType(DataType::kFloat32, 3) || normalNoData.length() != 3 ||
        !normalNoData.data() || light.length() != 3 || !light.data())
        return kErrBadShadeBuffer;
    if (long const status = coverStatus(imageCover, normalCover)) return status;
    ZELUNnBox<double, 2> const imageBox = pixelBoxOf(image.getDimension(0), image.getDimension(1));
    ZELUNnBox<double, 2> const normalBox = pixelBoxOf(normals.getDimension(0), normals.getDimension(1));
    long status = kSuccess;
    boost::shared_ptr<WarpTransform> const transform =
        makeTransform(method, normalBox, normalCover, imageBox, imageCover, status);
    if (status) return status;
    if (!transform) return kErrUnknownReprojectMethod;
    if (long const pair = pointPairStatus(method, imageCover, normalCover)) return pair;
    // Pixels without a source position get a copy: the caller's view may
    // point into the image that the rows write.
    std::uint8_t const fill[4] = {imageNoData[0], imageNoData[1], imageNoData[2], imageNoData[3]};
    ShadingSampler const sampler(BilinearSampler<NormalType>(3, &normals, normalNoData, cyclicColumns(normalCover)),
                                 light, kAmbient, kDiffuse);
    return warpRowsThreaded<ImageType, ShadingSampler>(image, *transform, sampler, 0, image.getDimension(1),
                                                       ConstTupleProxy<ImageType>(fill, 4));
} catch (std::bad_alloc const&) {
    return kErrOutOfMemory;  // the output untouched, or partly written by the rows
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
