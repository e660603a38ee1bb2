#include "zorvsupport/datavector/StorageAllocator.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorImp {

namespace {
thread_local unsigned t_pendingFailures = 0;
}

void failNextStorageAllocations(unsigned count)
{
    t_pendingFailures = count;
}

bool takeStorageAllocationFailure() noexcept
{
    if (t_pendingFailures == 0) return false;
    --t_pendingFailures;
    return true;
}

}  // namespace DataVectorImp
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
