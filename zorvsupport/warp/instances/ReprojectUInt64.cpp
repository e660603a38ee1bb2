// The reprojection kernels of the uint64 kind (scalar and tuple, three samplers).
#include "zorvsupport/warp/ReprojectKernelImpl.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

ZORV_INSTANTIATE_REPROJECT(9)

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
