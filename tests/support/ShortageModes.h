#pragma once

// The ways the allocation-failure sweeps take memory away, shared by the
// sweeps of every layer: a countdown to the n-th allocation (that one alone,
// or it and all later ones; every block or only large ones; on the calling
// thread, every thread, or the threads a call starts), or one allocation in
// a thousand at random from seed n.

#include <memory>

#include "support/FailingAllocation.h"
#include "support/ForkedTrial.h"

namespace zorvtest {

struct ShortageMode {
    char const* name;
    enum Kind { kCountdown, kRandom } kind;
    FailingAllocation::Extent extent;
    FailingAllocation::Threads threads;
    FailingAllocation::Blocks blocks;
};

inline constexpr ShortageMode kOneFailure{"the n-th allocation alone", ShortageMode::kCountdown,
                                          FailingAllocation::kOnlyThat, FailingAllocation::kThisThread,
                                          FailingAllocation::kAnyBlock};
inline constexpr ShortageMode kMemoryGone{"memory gone from the n-th allocation on", ShortageMode::kCountdown,
                                          FailingAllocation::kThatAndLater, FailingAllocation::kThisThread,
                                          FailingAllocation::kAnyBlock};
inline constexpr ShortageMode kLargeBlocksGone{"large blocks gone from the n-th on, on every thread",
                                               ShortageMode::kCountdown, FailingAllocation::kThatAndLater,
                                               FailingAllocation::kAnyThread, FailingAllocation::kLargeBlocks};
inline constexpr ShortageMode kOneInAThousand{"one allocation in a thousand on every thread", ShortageMode::kRandom,
                                              FailingAllocation::kOnlyThat, FailingAllocation::kAnyThread,
                                              FailingAllocation::kAnyBlock};
inline constexpr ShortageMode kOtherThreadsGone{"memory gone on the threads the call starts",
                                                ShortageMode::kCountdown, FailingAllocation::kThatAndLater,
                                                FailingAllocation::kOtherThreads, FailingAllocation::kAnyBlock};

// The random draws' seeds: trials 1 to kShortageSeeds.
inline constexpr unsigned long kShortageSeeds = 12;

// The failure point after n in a sparse sweep: the first 16, then every
// sixteenth part further on.
inline unsigned long nextSparseFailurePoint(unsigned long n)
{
    return n < 16 ? n + 1 : n + n / 16;
}

// While alive, memory fails as `mode` says for trial n.
class ArmedShortage {
public:
    ArmedShortage(ShortageMode const& mode, unsigned long n)
    {
        if (mode.kind == ShortageMode::kRandom)
            m_random = std::make_unique<RandomAllocationFailure>(1000, n, mode.threads, mode.blocks);
        else
            m_countdown = std::make_unique<FailingAllocation>(n, mode.extent, mode.threads, mode.blocks);
    }
    // Whether the trial reached its failure point (random draws always do:
    // the sweep ends after kShortageSeeds seeds).
    bool reached() const { return m_countdown ? m_countdown->reached() : true; }

private:
    std::unique_ptr<FailingAllocation> m_countdown;
    std::unique_ptr<RandomAllocationFailure> m_random;
};

// Sweeps body(n), each a forked trial, over the failure points of `mode`:
// the first 16, then every sixteenth part further on, until body answers
// kTrialBeyondTheLast; or seeds 1 to kShortageSeeds of the random draws.
// judge(n, end) sees every other end. Returns the trials run.
template <class Body, class Judge>
unsigned sweepShortage(ShortageMode const& mode, Body body, Judge judge)
{
    if (mode.kind != ShortageMode::kRandom) return sweepForkedTrials(1, nextSparseFailurePoint, body, judge);
    return sweepForkedTrials(
        1, [](unsigned long seed) { return seed + 1; },
        [&](unsigned long seed) { return seed > kShortageSeeds ? kTrialBeyondTheLast : body(seed); }, judge);
}

}  // namespace zorvtest
