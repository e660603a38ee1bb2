#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

#include "zorvsupport/Export.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorImp {

// Testing aid: the next `count` value-storage allocations made on the calling
// thread fail with std::bad_alloc. 0 switches it off.
ZORV_EXPORT void failNextStorageAllocations(unsigned count);
// True (and one failure consumed) when the calling thread has failures pending.
ZORV_EXPORT bool takeStorageAllocationFailure() noexcept;

// Allocator of vector value storage. Blocks come from calloc, so fresh
// memory is already zero; default construction therefore writes nothing and
// a new block of any size costs no extra pass. Code that reuses capacity
// after a shrink must zero the reused tail itself.
template <class E>
struct ZORV_EXPORT StorageAllocator {
    using value_type = E;

    StorageAllocator() = default;
    template <class U>
    StorageAllocator(StorageAllocator<U> const&) noexcept
    {
    }

    E* allocate(std::size_t n)
    {
        if (takeStorageAllocationFailure()) throw std::bad_alloc();
        void* p = std::calloc(n, sizeof(E));
        if (!p) throw std::bad_alloc();
        return static_cast<E*>(p);
    }
    void deallocate(E* p, std::size_t) noexcept { std::free(p); }

    // Default-initialise: calloc has zeroed the bytes already.
    template <class U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... a)
    {
        ::new (static_cast<void*>(p)) U(static_cast<A&&>(a)...);
    }

    template <class U>
    bool operator==(StorageAllocator<U> const&) const noexcept
    {
        return true;
    }
    template <class U>
    bool operator!=(StorageAllocator<U> const&) const noexcept
    {
        return false;
    }
};

}  // namespace DataVectorImp
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
