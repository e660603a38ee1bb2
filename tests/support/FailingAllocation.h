#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace zorvtest {

// While alive, the n-th allocation (n = 1: the next one) fails: operator new
// and new[] throw std::bad_alloc, their nothrow forms and malloc, calloc and
// realloc return null. Every allocation of the process counts, the
// library's and those of the engines it calls (PROJ, SQLite, GEOS, ICU,
// libxml2, zlib) and of glibc itself. Optionally every later allocation
// fails too (memory that has run out), only blocks over kLargeBlockBytes
// count, and the allocations of other threads count (shared by those
// threads; only one such failure is armed at a time). The replacements live
// in the test program only (FailingAllocation.cpp), never in the library.
class FailingAllocation {
public:
    // Which allocations fail: the n-th alone, or it and all that follow.
    enum Extent { kOnlyThat, kThatAndLater };
    // Whose allocations count: the arming thread's, every thread's, or
    // every thread's but the arming one's (the threads a call starts).
    enum Threads { kThisThread, kAnyThread, kOtherThreads };
    // Which requests count: any, or only those over kLargeBlockBytes.
    enum Blocks { kAnyBlock, kLargeBlocks };
    static constexpr std::size_t kLargeBlockBytes = 4096;

    explicit FailingAllocation(unsigned long n, Extent extent = kOnlyThat, Threads threads = kThisThread,
                               Blocks blocks = kAnyBlock);
    ~FailingAllocation();
    FailingAllocation(FailingAllocation const&) = delete;
    FailingAllocation& operator=(FailingAllocation const&) = delete;

    // True once the failing allocation has been asked for.
    bool reached() const;

    // Called on the allocating thread at each injected failure, before the
    // allocation fails; it must not allocate (it may record a backtrace
    // into storage of its own once backtrace() has been primed). Null: no
    // hook. Process-wide; set it before arming.
    static void setFailureHook(void (*hook)());

private:
    Threads m_threads;
};

// While alive, each counted allocation fails with probability 1 / oneIn,
// drawn from `seed` and the number of allocations counted so far, so one
// thread's sequence repeats exactly. One at a time, as FailingAllocation's
// other-thread forms.
class RandomAllocationFailure {
public:
    RandomAllocationFailure(unsigned oneIn, std::uint64_t seed,
                            FailingAllocation::Threads threads = FailingAllocation::kAnyThread,
                            FailingAllocation::Blocks blocks = FailingAllocation::kAnyBlock);
    ~RandomAllocationFailure();
    RandomAllocationFailure(RandomAllocationFailure const&) = delete;
    RandomAllocationFailure& operator=(RandomAllocationFailure const&) = delete;

    unsigned long failures() const;
};

// For n = 1, 2, ...: makes a fresh state with `setup()`, runs `attempt(state)`
// with its n-th allocation failing and hands the state and whether
// std::bad_alloc came out to `check(state, threw)` (which allocates freely);
// stops after the first run that did not reach its failing allocation.
// Returns the number of failures injected.
template <class Setup, class Attempt, class Check>
unsigned forEachAllocationFailure(Setup setup, Attempt attempt, Check check,
                                  FailingAllocation::Extent extent = FailingAllocation::kOnlyThat,
                                  FailingAllocation::Threads threads = FailingAllocation::kThisThread,
                                  FailingAllocation::Blocks blocks = FailingAllocation::kAnyBlock)
{
    for (unsigned long n = 1;; ++n) {
        auto state = setup();
        bool threw = false;
        bool reached = false;
        {
            FailingAllocation failing(n, extent, threads, blocks);
            try {
                attempt(state);
            } catch (std::bad_alloc const&) {
                threw = true;
            }
            reached = failing.reached();
        }
        check(state, threw);
        if (!reached) return static_cast<unsigned>(n - 1);
    }
}

}  // namespace zorvtest
