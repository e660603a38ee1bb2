#include "zorvsupport/datavector/LargeBlocks.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

// Under AddressSanitizer every block comes from its allocator, which guards
// the block's edges and catches use after release.
#if defined(__SANITIZE_ADDRESS__)
#define ZORV_BLOCKS_FROM_CALLOC 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZORV_BLOCKS_FROM_CALLOC 1
#endif
#endif

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace detail {

#ifndef ZORV_BLOCKS_FROM_CALLOC
namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kMappedFrom = std::size_t(4) << 20;

std::size_t mappedLength(std::size_t bytes)
{
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

// Maps one huge page more than needed and trims the ends so that the block
// starts on a 2 MiB boundary.
void* mapAligned(std::size_t length)
{
    std::size_t const span = length + kHugePage;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    auto const start = reinterpret_cast<std::uintptr_t>(raw);
    auto const aligned = (start + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    if (aligned > start) munmap(raw, aligned - start);
    std::size_t const tail = span - (aligned - start) - length;
    if (tail) munmap(reinterpret_cast<void*>(aligned + length), tail);
    auto* block = reinterpret_cast<void*>(aligned);
    (void)madvise(block, length, MADV_HUGEPAGE);  // only advice: ignored where unsupported
    return block;
}

}  // namespace
#endif

void* allocateZeroedBlock(std::size_t bytes)
{
#ifndef ZORV_BLOCKS_FROM_CALLOC
    if (bytes >= kMappedFrom) {
        if (bytes > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
        return mapAligned(mappedLength(bytes));
    }
#endif
    void* block = std::calloc(bytes ? bytes : 1, 1);
    if (!block) throw std::bad_alloc();
    return block;
}

void freeZeroedBlock(void* block, std::size_t bytes) noexcept
{
    if (!block) return;
#ifndef ZORV_BLOCKS_FROM_CALLOC
    if (bytes >= kMappedFrom) {
        munmap(block, mappedLength(bytes));
        return;
    }
#endif
    (void)bytes;
    std::free(block);
}

}  // namespace detail
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
