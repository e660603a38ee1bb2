#pragma once

// Library-internal: zero-filled memory blocks for value storage and scratch.

#include <cstddef>

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace detail {

// A block of `bytes` zero bytes. Blocks of 4 MiB or more are 2 MiB-aligned
// anonymous mappings advised for transparent huge pages, so first touch
// faults in 2 MiB at a time; smaller ones come from calloc. Both are zeroed
// for free (fresh pages), never by a pass over the block. Sanitizer builds
// take every block from calloc, so the sanitizer guards it.
// Throws std::bad_alloc when the memory cannot be had.
void* allocateZeroedBlock(std::size_t bytes);

// Releases a block from allocateZeroedBlock; `bytes` is the size it was
// asked for. A null block is ignored.
void freeZeroedBlock(void* block, std::size_t bytes) noexcept;

}  // namespace detail
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
