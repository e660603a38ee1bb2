#pragma once

// A thread's first use of an operation while memory is gone: the per-thread
// state that operation makes on its first use must then give the shortage
// answer, never end the process, and be made by the thread's next call.

#include <new>
#include <thread>

#include "support/FailingAllocation.h"

namespace zorvtest {

// A new thread runs `prepare()` with memory, then `first()` with its own n-th
// allocation and every later one failing, then `then(threw)` with memory
// back (threw: std::bad_alloc came out of `first`), all on that thread.
// `first` must not allocate outside the operation (gtest's assertions do):
// it records what it saw for `then` to check. Returns whether the failing
// allocation was reached.
template <class Prepare, class First, class Then>
bool onFreshThread(unsigned long n, Prepare const& prepare, First const& first, Then const& then)
{
    bool reached = false;
    std::thread([&] {
        prepare();
        bool threw = false;
        {
            FailingAllocation failing(n, FailingAllocation::kThatAndLater);
            try {
                first();
            } catch (std::bad_alloc const&) {
                threw = true;
            }
            reached = failing.reached();
        }
        then(threw);
    }).join();
    return reached;
}

// onFreshThread for n = 1, 2, ... until the failing allocation is no longer
// reached; returns the number of failures injected.
template <class Prepare, class First, class Then>
unsigned firstUseSweep(Prepare const& prepare, First const& first, Then const& then)
{
    unsigned long n = 1;
    while (onFreshThread(n, prepare, first, then)) ++n;
    return static_cast<unsigned>(n - 1);
}

// The same with nothing to prepare.
template <class First, class Then>
unsigned firstUseSweep(First const& first, Then const& then)
{
    return firstUseSweep([] {}, first, then);
}

}  // namespace zorvtest
