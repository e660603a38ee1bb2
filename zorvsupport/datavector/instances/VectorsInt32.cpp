// The eight vector classes of one element kind, instantiated once.
#include "zorvsupport/datavector/TDataVectorImpl.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

ZORV_INSTANTIATE_VECTORS("int32")

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
