#pragma once

#include <new>

namespace zorvtest {

// While alive, the n-th allocation through operator new or new[] on the
// calling thread (n = 1: the next one) throws std::bad_alloc; the nothrow
// forms return null instead. The replaceable operators live in the test
// program only (FailingAllocation.cpp), never in the library.
class FailingAllocation {
public:
    explicit FailingAllocation(unsigned long n);
    ~FailingAllocation();
    FailingAllocation(FailingAllocation const&) = delete;
    FailingAllocation& operator=(FailingAllocation const&) = delete;

    // True once the failing allocation has been asked for.
    bool reached() const;
};

// For n = 1, 2, ...: makes a fresh state with `setup()`, runs `attempt(state)`
// with its n-th allocation failing and hands the state and whether
// std::bad_alloc came out to `check(state, threw)` (which allocates freely);
// stops after the first run that did not reach its failing allocation.
// Returns the number of failures injected.
template <class Setup, class Attempt, class Check>
unsigned forEachAllocationFailure(Setup setup, Attempt attempt, Check check)
{
    for (unsigned long n = 1;; ++n) {
        auto state = setup();
        bool threw = false;
        bool reached = false;
        {
            FailingAllocation failing(n);
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
