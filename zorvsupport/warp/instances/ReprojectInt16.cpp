// The reprojection kernels of the sint16 kind (scalar and tuple, three samplers).
#include "zorvsupport/warp/ReprojectKernelImpl.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

ZORV_INSTANTIATE_REPROJECT(4)

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
