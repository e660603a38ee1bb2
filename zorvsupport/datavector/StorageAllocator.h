#pragma once

#include <cstddef>
#include <new>
#include <type_traits>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNVec3.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorImp {

// `count` values of `size` bytes, all zero; throws std::bad_alloc when the
// memory cannot be had. Released with deallocateStorage and the same sizes.
ZORV_EXPORT void* allocateStorage(std::size_t count, std::size_t size);
ZORV_EXPORT void deallocateStorage(void* block, std::size_t count, std::size_t size) noexcept;

// True when the zero of E is all-zero bits, so that zero bytes already are
// zero values: every number (IEEE +0.0 included) and the 3-vector of doubles.
template <class E>
struct ZeroIsAllZeroBits : std::is_arithmetic<E> {};
template <>
struct ZeroIsAllZeroBits<ZELUNVec3<double>> : std::true_type {};

// Allocator of vector value storage. Fresh blocks are already zero (large
// ones are fresh huge-page mappings, small ones come from calloc), so default
// construction writes nothing and a new block of any size costs no extra
// pass. Code that reuses capacity after a shrink must zero the reused tail
// itself.
template <class E>
struct ZORV_EXPORT StorageAllocator {
    using value_type = E;

    StorageAllocator() = default;
    template <class U>
    StorageAllocator(StorageAllocator<U> const&) noexcept
    {
    }

    E* allocate(std::size_t n) { return static_cast<E*>(allocateStorage(n, sizeof(E))); }
    void deallocate(E* p, std::size_t n) noexcept { deallocateStorage(p, n, sizeof(E)); }

    // Default-initialise: the block's bytes are zero already, which for the
    // element kinds is their zero value, so nothing is stored (a 3-vector's
    // member initialisers would write every new block once more).
    template <class U>
    void construct(U* p) noexcept
    {
        if constexpr (!ZeroIsAllZeroBits<U>::value) ::new (static_cast<void*>(p)) U;
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
