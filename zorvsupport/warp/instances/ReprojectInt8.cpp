// The reprojection kernels of the int8 kind (scalar and tuple, three samplers).
#include "zorvsupport/warp/ReprojectKernelImpl.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

ZORV_INSTANTIATE_REPROJECT(2)

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
