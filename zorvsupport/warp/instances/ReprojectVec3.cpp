// The reprojection kernels of the ZELUNVec3 kind (scalar and tuple, three samplers).
#include "zorvsupport/warp/ReprojectKernelImpl.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

ZORV_INSTANTIATE_REPROJECT(11)

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
