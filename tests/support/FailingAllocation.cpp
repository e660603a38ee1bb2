// Replaceable allocation functions of the test program: operator new and
// delete in all their forms, and malloc, calloc, realloc and free, which
// glibc lets a program replace for every library it loads. Each forwards to
// the allocator underneath (glibc's, or the sanitizer's in a sanitizer
// build) after asking whether this allocation is one to fail
// (FailingAllocation). Linked into the test program only.
#include "support/FailingAllocation.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <new>

// The allocation functions run before a sanitizer's runtime is ready (it
// allocates while it starts), so none of this file is instrumented.
#define ZORV_UNINSTRUMENTED __attribute__((no_sanitize("address", "thread", "undefined")))

namespace {

using zorvtest::FailingAllocation;

// ---- the allocator underneath ----

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZORV_FORWARD_BY_DLSYM 1
#endif

#ifdef ZORV_FORWARD_BY_DLSYM
// The sanitizer's functions, found after ours in the lookup order. dlsym may
// allocate while it looks them up; such requests are served from a small
// arena that is never freed.
using MallocFn = void* (*)(std::size_t);
using CallocFn = void* (*)(std::size_t, std::size_t);
using ReallocFn = void* (*)(void*, std::size_t);
using FreeFn = void (*)(void*);

MallocFn g_malloc = nullptr;
CallocFn g_calloc = nullptr;
ReallocFn g_realloc = nullptr;
FreeFn g_free = nullptr;
thread_local bool t_resolving = false;

alignas(std::max_align_t) char g_arena[1 << 16];
std::size_t g_arenaUsed = 0;
constexpr std::size_t kArenaHeader = alignof(std::max_align_t);

ZORV_UNINSTRUMENTED bool inArena(void const* p)
{
    auto const* c = static_cast<char const*>(p);
    return c >= g_arena && c < g_arena + sizeof g_arena;
}

ZORV_UNINSTRUMENTED void* arenaAllocate(std::size_t n)
{
    std::size_t const size = (n + kArenaHeader + kArenaHeader - 1) / kArenaHeader * kArenaHeader;
    std::size_t const at = __atomic_fetch_add(&g_arenaUsed, size, __ATOMIC_RELAXED);
    if (at + size > sizeof g_arena) return nullptr;
    std::memcpy(g_arena + at, &n, sizeof n);
    return g_arena + at + kArenaHeader;
}

ZORV_UNINSTRUMENTED std::size_t arenaSize(void const* p)
{
    std::size_t n;
    std::memcpy(&n, static_cast<char const*>(p) - kArenaHeader, sizeof n);
    return n;
}

// Looks the four functions up once; false while a lookup is under way on
// this thread (the caller then uses the arena).
ZORV_UNINSTRUMENTED bool resolve()
{
    if (__atomic_load_n(&g_free, __ATOMIC_ACQUIRE)) return true;
    if (t_resolving) return false;
    t_resolving = true;
    __atomic_store_n(&g_malloc, reinterpret_cast<MallocFn>(dlsym(RTLD_NEXT, "malloc")), __ATOMIC_RELAXED);
    __atomic_store_n(&g_calloc, reinterpret_cast<CallocFn>(dlsym(RTLD_NEXT, "calloc")), __ATOMIC_RELAXED);
    __atomic_store_n(&g_realloc, reinterpret_cast<ReallocFn>(dlsym(RTLD_NEXT, "realloc")), __ATOMIC_RELAXED);
    __atomic_store_n(&g_free, reinterpret_cast<FreeFn>(dlsym(RTLD_NEXT, "free")), __ATOMIC_RELEASE);
    t_resolving = false;
    return true;
}

ZORV_UNINSTRUMENTED void* realMalloc(std::size_t n)
{
    return resolve() ? g_malloc(n) : arenaAllocate(n);
}
ZORV_UNINSTRUMENTED void* realCalloc(std::size_t n, std::size_t size)
{
    if (resolve()) return g_calloc(n, size);
    if (size && n > static_cast<std::size_t>(-1) / size) return nullptr;
    return arenaAllocate(n * size);  // the arena is zero and never reused
}
ZORV_UNINSTRUMENTED void* realRealloc(void* p, std::size_t n)
{
    if (p && inArena(p)) {
        void* q = realMalloc(n);
        if (q) std::memcpy(q, p, arenaSize(p) < n ? arenaSize(p) : n);
        return q;
    }
    return resolve() ? g_realloc(p, n) : arenaAllocate(n);
}
ZORV_UNINSTRUMENTED void realFree(void* p)
{
    if (!p || inArena(p)) return;
    if (resolve()) g_free(p);
}
#else
}  // namespace
// glibc's own allocator, under the names it exports for this purpose.
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);
namespace {
ZORV_UNINSTRUMENTED void* realMalloc(std::size_t n)
{
    return __libc_malloc(n);
}
ZORV_UNINSTRUMENTED void* realCalloc(std::size_t n, std::size_t size)
{
    return __libc_calloc(n, size);
}
ZORV_UNINSTRUMENTED void* realRealloc(void* p, std::size_t n)
{
    return __libc_realloc(p, n);
}
ZORV_UNINSTRUMENTED void realFree(void* p)
{
    __libc_free(p);
}
#endif

// ---- which allocations fail ----

// The calling thread's armed failure.
thread_local unsigned long t_countdown = 0;  // 0: nothing armed
thread_local bool t_reached = false;
thread_local bool t_persistent = false;
thread_local bool t_largeOnly = false;
thread_local bool t_inHook = false;  // the hook's own allocations never fail

// The failure armed for other threads: a countdown, or random draws.
bool g_armed = false;  // read before a sanitizer is ready: builtins only
std::atomic<bool> g_random{false};
std::atomic<unsigned long> g_countdown{0};
std::atomic<bool> g_reached{false};
std::atomic<bool> g_persistent{false};
std::atomic<bool> g_largeOnly{false};
std::atomic<bool> g_othersOnly{false};
std::atomic<pthread_t> g_armingThread{};
std::atomic<unsigned> g_oneIn{0};
std::atomic<std::uint64_t> g_seed{0};
std::atomic<std::uint64_t> g_drawn{0};
std::atomic<unsigned long> g_failures{0};

void (*g_hook)() = nullptr;

ZORV_UNINSTRUMENTED std::uint64_t splitMix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

ZORV_UNINSTRUMENTED bool sharedFails(std::size_t n)
{
    if (g_largeOnly.load(std::memory_order_relaxed) && n <= FailingAllocation::kLargeBlockBytes) return false;
    if (g_othersOnly.load(std::memory_order_relaxed) &&
        pthread_equal(pthread_self(), g_armingThread.load(std::memory_order_relaxed)))
        return false;
    if (g_random.load(std::memory_order_relaxed)) {
        std::uint64_t const k = g_drawn.fetch_add(1, std::memory_order_relaxed);
        if (splitMix(g_seed.load(std::memory_order_relaxed) + k) % g_oneIn.load(std::memory_order_relaxed) != 0)
            return false;
        g_failures.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    if (g_persistent.load(std::memory_order_relaxed) && g_reached.load(std::memory_order_relaxed)) return true;
    unsigned long c = g_countdown.load(std::memory_order_relaxed);
    while (c != 0 && !g_countdown.compare_exchange_weak(c, c - 1, std::memory_order_relaxed)) {
    }
    if (c != 1) return false;
    g_reached.store(true, std::memory_order_relaxed);
    return true;
}

#ifdef ZORV_FORWARD_BY_DLSYM
// Whether the request comes from glibc's pthread_getattr_np: the
// sanitizer's runtime reads each thread's attributes whenever a program
// throws or leaves a function that does not return, and stops the program
// when that fails. Such requests are never failed: the failure goes to the
// next one. Asked only of a request about to fail.
ZORV_UNINSTRUMENTED bool forTheSanitizer()
{
    void* frames[8];
    int const n = backtrace(frames, 8);
    for (int i = 0; i < n; ++i) {
        Dl_info info;
        if (dladdr(frames[i], &info) && info.dli_sname && std::strstr(info.dli_sname, "pthread_getattr_np"))
            return true;
    }
    return false;
}
#endif

// True when this request of n bytes is one to fail.
ZORV_UNINSTRUMENTED bool failThisOne(std::size_t n) noexcept
{
    if (t_inHook) return false;
    bool byThisThread = false;
    if (t_countdown != 0 && (!t_largeOnly || n > FailingAllocation::kLargeBlockBytes)) {
        if (t_reached && t_persistent) {
            byThisThread = true;
        } else if (--t_countdown == 0) {
            t_reached = true;
            if (t_persistent) t_countdown = 1;  // stays armed
            byThisThread = true;
        }
    }
    bool const fail = byThisThread || (__atomic_load_n(&g_armed, __ATOMIC_ACQUIRE) && sharedFails(n));
    if (!fail) return false;
    t_inHook = true;  // what follows allocates freely
#ifdef ZORV_FORWARD_BY_DLSYM
    if (forTheSanitizer()) {
        // A countdown passes its failure on to the next request.
        if (byThisThread && !t_persistent) {
            t_countdown = 1;
            t_reached = false;
        } else if (!byThisThread && !g_persistent.load(std::memory_order_relaxed) &&
                   !g_random.load(std::memory_order_relaxed)) {
            g_countdown.store(1);
            g_reached.store(false);
        }
        t_inHook = false;
        return false;
    }
#endif
    if (void (*hook)() = __atomic_load_n(&g_hook, __ATOMIC_RELAXED)) hook();
    t_inHook = false;
    return true;
}

ZORV_UNINSTRUMENTED void* allocate(std::size_t n, std::size_t alignment) noexcept
{
    if (failThisOne(n)) return nullptr;
    if (n == 0) n = 1;
    if (alignment <= alignof(std::max_align_t)) return realMalloc(n);
    void* p = nullptr;
    return posix_memalign(&p, alignment, n) == 0 ? p : nullptr;
}

ZORV_UNINSTRUMENTED void* allocateOrThrow(std::size_t n, std::size_t alignment)
{
    void* p = allocate(n, alignment);
    if (!p) throw std::bad_alloc();
    return p;
}

void armShared(bool random, FailingAllocation::Threads threads, FailingAllocation::Blocks blocks)
{
    __atomic_store_n(&g_armed, false, __ATOMIC_SEQ_CST);
    g_random.store(random);
    g_reached.store(false);
    g_largeOnly.store(blocks == FailingAllocation::kLargeBlocks);
    g_othersOnly.store(threads == FailingAllocation::kOtherThreads);
    g_armingThread.store(pthread_self());
    __atomic_store_n(&g_armed, true, __ATOMIC_RELEASE);
}

}  // namespace

namespace zorvtest {

FailingAllocation::FailingAllocation(unsigned long n, Extent extent, Threads threads, Blocks blocks)
    : m_threads(threads)
{
    bool const persistent = extent == kThatAndLater;
    if (threads == kThisThread) {
        t_reached = false;
        t_persistent = persistent;
        t_largeOnly = blocks == kLargeBlocks;
        t_countdown = n;
    } else {
        g_persistent.store(persistent);
        g_countdown.store(n);
        armShared(false, threads, blocks);
    }
}

FailingAllocation::~FailingAllocation()
{
    if (m_threads == kThisThread) {
        t_countdown = 0;
    } else {
        __atomic_store_n(&g_armed, false, __ATOMIC_SEQ_CST);
        g_countdown.store(0);
    }
}

bool FailingAllocation::reached() const
{
    return m_threads == kThisThread ? t_reached : g_reached.load();
}

void FailingAllocation::setFailureHook(void (*hook)())
{
    __atomic_store_n(&g_hook, hook, __ATOMIC_SEQ_CST);
}

RandomAllocationFailure::RandomAllocationFailure(unsigned oneIn, std::uint64_t seed,
                                                 FailingAllocation::Threads threads,
                                                 FailingAllocation::Blocks blocks)
{
    g_oneIn.store(oneIn ? oneIn : 1);
    g_seed.store(seed);
    g_drawn.store(0);
    g_failures.store(0);
    // The arming thread's own allocations count here too unless excluded.
    armShared(true, threads == FailingAllocation::kOtherThreads ? threads : FailingAllocation::kAnyThread,
              blocks);
}

RandomAllocationFailure::~RandomAllocationFailure()
{
    __atomic_store_n(&g_armed, false, __ATOMIC_SEQ_CST);
    g_random.store(false);
}

unsigned long RandomAllocationFailure::failures() const
{
    return g_failures.load();
}

}  // namespace zorvtest

// ---- the C allocation functions, for every library of the process ----

extern "C" {

// An injected failure sets errno to ENOMEM as a real one does: glibc asserts
// it where it cannot get memory for a new thread.
ZORV_UNINSTRUMENTED static void* failed()
{
    errno = ENOMEM;
    return nullptr;
}

ZORV_UNINSTRUMENTED void* malloc(std::size_t n)
{
    return failThisOne(n) ? failed() : realMalloc(n);
}

ZORV_UNINSTRUMENTED void* calloc(std::size_t n, std::size_t size)
{
    std::size_t const bytes = size && n > static_cast<std::size_t>(-1) / size ? static_cast<std::size_t>(-1) : n * size;
    return failThisOne(bytes) ? failed() : realCalloc(n, size);
}

ZORV_UNINSTRUMENTED void* realloc(void* p, std::size_t n)
{
    // A request of 0 bytes frees the block; it never fails.
    if (n != 0 && failThisOne(n)) return failed();
    return realRealloc(p, n);
}

ZORV_UNINSTRUMENTED void free(void* p)
{
    realFree(p);
}

}  // extern "C"

// ---- operator new and delete ----

constexpr std::size_t kDefaultAlignment = alignof(std::max_align_t);

ZORV_UNINSTRUMENTED void* operator new(std::size_t n) { return allocateOrThrow(n, kDefaultAlignment); }
ZORV_UNINSTRUMENTED void* operator new[](std::size_t n) { return allocateOrThrow(n, kDefaultAlignment); }
ZORV_UNINSTRUMENTED void* operator new(std::size_t n, std::align_val_t a) { return allocateOrThrow(n, std::size_t(a)); }
ZORV_UNINSTRUMENTED void* operator new[](std::size_t n, std::align_val_t a) { return allocateOrThrow(n, std::size_t(a)); }
ZORV_UNINSTRUMENTED void* operator new(std::size_t n, std::nothrow_t const&) noexcept { return allocate(n, kDefaultAlignment); }
ZORV_UNINSTRUMENTED void* operator new[](std::size_t n, std::nothrow_t const&) noexcept { return allocate(n, kDefaultAlignment); }
ZORV_UNINSTRUMENTED void* operator new(std::size_t n, std::align_val_t a, std::nothrow_t const&) noexcept
{
    return allocate(n, std::size_t(a));
}
ZORV_UNINSTRUMENTED void* operator new[](std::size_t n, std::align_val_t a, std::nothrow_t const&) noexcept
{
    return allocate(n, std::size_t(a));
}

ZORV_UNINSTRUMENTED void operator delete(void* p) noexcept { realFree(p); }
ZORV_UNINSTRUMENTED void operator delete[](void* p) noexcept { realFree(p); }
ZORV_UNINSTRUMENTED void operator delete(void* p, std::size_t) noexcept { realFree(p); }
ZORV_UNINSTRUMENTED void operator delete[](void* p, std::size_t) noexcept { realFree(p); }
ZORV_UNINSTRUMENTED void operator delete(void* p, std::align_val_t) noexcept { realFree(p); }
ZORV_UNINSTRUMENTED void operator delete[](void* p, std::align_val_t) noexcept { realFree(p); }
ZORV_UNINSTRUMENTED void operator delete(void* p, std::size_t, std::align_val_t) noexcept { realFree(p); }
ZORV_UNINSTRUMENTED void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { realFree(p); }
ZORV_UNINSTRUMENTED void operator delete(void* p, std::nothrow_t const&) noexcept { realFree(p); }
ZORV_UNINSTRUMENTED void operator delete[](void* p, std::nothrow_t const&) noexcept { realFree(p); }
ZORV_UNINSTRUMENTED void operator delete(void* p, std::align_val_t, std::nothrow_t const&) noexcept { realFree(p); }
ZORV_UNINSTRUMENTED void operator delete[](void* p, std::align_val_t, std::nothrow_t const&) noexcept { realFree(p); }

// Under AddressSanitizer a failed allocation returns null (and the operators
// above throw std::bad_alloc) instead of ending the program, so that the
// address-space limit of AllocationLimit works in every build.
extern "C" __attribute__((visibility("default"), used)) char const* __asan_default_options()
{
    return "allocator_may_return_null=1";
}
