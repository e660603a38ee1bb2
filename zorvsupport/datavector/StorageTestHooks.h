#pragma once

// Library-internal: test hooks of the value storage allocator.

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorImp {

// Testing aid: the next `count` value-storage allocations made on the calling
// thread fail with std::bad_alloc. 0 switches it off.
void failNextStorageAllocations(unsigned count);

}  // namespace DataVectorImp
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
