// Replaceable global allocation functions of the test program: plain malloc
// and free, with allocations made to fail on request (FailingAllocation).
// Linked into the test program only.
#include "support/FailingAllocation.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

// The calling thread's armed failure.
thread_local unsigned long t_countdown = 0;  // 0: nothing armed
thread_local bool t_reached = false;
thread_local bool t_persistent = false;

// The failure armed for every thread.
std::atomic<unsigned long> g_countdown{0};  // 0: nothing armed
std::atomic<bool> g_reached{false};
std::atomic<bool> g_persistent{false};

// True when this allocation is one to fail.
bool failThisOne() noexcept
{
    if (t_countdown != 0) {
        if (t_reached && t_persistent) return true;
        if (--t_countdown == 0) {
            t_reached = true;
            if (t_persistent) t_countdown = 1;  // stays armed
            return true;
        }
    }
    if (g_countdown.load(std::memory_order_relaxed) != 0) {
        if (g_persistent.load(std::memory_order_relaxed) && g_reached.load(std::memory_order_relaxed)) return true;
        unsigned long c = g_countdown.load(std::memory_order_relaxed);
        while (c != 0 && !g_countdown.compare_exchange_weak(c, c - 1, std::memory_order_relaxed)) {
        }
        if (c == 1) {
            g_reached.store(true, std::memory_order_relaxed);
            if (g_persistent.load(std::memory_order_relaxed)) g_countdown.store(1, std::memory_order_relaxed);
            return true;
        }
    }
    return false;
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

FailingAllocation::FailingAllocation(unsigned long n, Extent extent, Threads threads) : m_threads(threads)
{
    bool const persistent = extent == kThatAndLater;
    if (threads == kThisThread) {
        t_reached = false;
        t_persistent = persistent;
        t_countdown = n;
    } else {
        g_reached.store(false);
        g_persistent.store(persistent);
        g_countdown.store(n);
    }
}

FailingAllocation::~FailingAllocation()
{
    if (m_threads == kThisThread)
        t_countdown = 0;
    else
        g_countdown.store(0);
}

bool FailingAllocation::reached() const
{
    return m_threads == kThisThread ? t_reached : g_reached.load();
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
