// Replaceable global allocation functions of the test program: plain malloc
// and free, with one allocation made to fail on request (FailingAllocation).
// Linked into the test program only.
#include "support/FailingAllocation.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

thread_local unsigned long t_countdown = 0;  // 0: nothing armed
thread_local bool t_reached = false;

// True when this allocation is the one to fail.
bool failThisOne() noexcept
{
    if (t_countdown == 0 || --t_countdown != 0) return false;
    t_reached = true;
    return true;
}

void* allocate(std::size_t n, std::size_t alignment) noexcept
{
    if (failThisOne()) return nullptr;
    if (n == 0) n = 1;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(n);
    void* p = nullptr;
    return posix_memalign(&p, alignment, n) == 0 ? p : nullptr;
}

void* allocateOrThrow(std::size_t n, std::size_t alignment)
{
    void* p = allocate(n, alignment);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

namespace zorvtest {

FailingAllocation::FailingAllocation(unsigned long n)
{
    t_reached = false;
    t_countdown = n;
}

FailingAllocation::~FailingAllocation()
{
    t_countdown = 0;
}

bool FailingAllocation::reached() const
{
    return t_reached;
}

}  // namespace zorvtest

constexpr std::size_t kDefaultAlignment = alignof(std::max_align_t);

void* operator new(std::size_t n) { return allocateOrThrow(n, kDefaultAlignment); }
void* operator new[](std::size_t n) { return allocateOrThrow(n, kDefaultAlignment); }
void* operator new(std::size_t n, std::align_val_t a) { return allocateOrThrow(n, std::size_t(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocateOrThrow(n, std::size_t(a)); }
void* operator new(std::size_t n, std::nothrow_t const&) noexcept { return allocate(n, kDefaultAlignment); }
void* operator new[](std::size_t n, std::nothrow_t const&) noexcept { return allocate(n, kDefaultAlignment); }
void* operator new(std::size_t n, std::align_val_t a, std::nothrow_t const&) noexcept
{
    return allocate(n, std::size_t(a));
}
void* operator new[](std::size_t n, std::align_val_t a, std::nothrow_t const&) noexcept
{
    return allocate(n, std::size_t(a));
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::nothrow_t const&) noexcept { std::free(p); }
void operator delete[](void* p, std::nothrow_t const&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, std::nothrow_t const&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, std::nothrow_t const&) noexcept { std::free(p); }

// Under AddressSanitizer a failed allocation returns null (and the operators
// above throw std::bad_alloc) instead of ending the program, so that the
// address-space limit of AllocationLimit works in every build.
extern "C" __attribute__((visibility("default"), used)) char const* __asan_default_options()
{
    return "allocator_may_return_null=1";
}
