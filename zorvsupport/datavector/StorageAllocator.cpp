#include "zorvsupport/datavector/StorageAllocator.h"

#include <cstdint>
#include <new>

#include "zorvsupport/datavector/LargeBlocks.h"
#include "zorvsupport/datavector/StorageTestHooks.h"

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

void* allocateStorage(std::size_t count, std::size_t size)
{
    if (t_pendingFailures != 0) {
        --t_pendingFailures;
        throw std::bad_alloc();
    }
    if (size != 0 && count > SIZE_MAX / size) throw std::bad_alloc();
    return detail::allocateZeroedBlock(count * size);
}

void deallocateStorage(void* block, std::size_t count, std::size_t size) noexcept
{
    detail::freeZeroedBlock(block, count * size);
}

}  // namespace DataVectorImp
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
