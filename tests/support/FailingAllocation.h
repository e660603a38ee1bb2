#pragma once

#include <new>

namespace zorvtest {

// While alive, the n-th allocation through operator new or new[] on the
// calling thread (n = 1: the next one) throws std::bad_alloc; the nothrow
// forms return null instead. Optionally every later allocation fails too
// (memory that has run out), and the allocations of every thread count
// (shared by all threads; only one such failure is armed at a time). The
// replaceable operators live in the test program only
// (FailingAllocation.cpp), never in the library.
class FailingAllocation {
public:
    // Which allocations fail: the n-th alone, or it and all that follow.
    enum Extent { kOnlyThat, kThatAndLater };
    // Whose allocations are counted: the calling thread's, or all threads'.
    enum Threads { kThisThread, kAnyThread };

    explicit FailingAllocation(unsigned long n, Extent extent = kOnlyThat, Threads threads = kThisThread);
    ~FailingAllocation();
    FailingAllocation(FailingAllocation const&) = delete;
    FailingAllocation& operator=(FailingAllocation const&) = delete;

    // True once the failing allocation has been asked for.
    bool reached() const;

private:
    Threads m_threads;
};

// For n = 1, 2, ...: makes a fresh state with `setup()`, runs `attempt(state)`
// with its n-th allocation failing and hands the state and whether
// std::bad_alloc came out to `check(state, threw)` (which allocates freely);
// stops after the first run that did not reach its failing allocation.
// Returns the number of failures injected.
template <class Setup, class Attempt, class Check>
unsigned forEachAllocationFailure(Setup setup, Attempt attempt, Check check,
                                  FailingAllocation::Extent extent = FailingAllocation::kOnlyThat,
                                  FailingAllocation::Threads threads = FailingAllocation::kThisThread)
{
    for (unsigned long n = 1;; ++n) {
        auto state = setup();
        bool threw = false;
        bool reached = false;
        {
            FailingAllocation failing(n, extent, threads);
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
