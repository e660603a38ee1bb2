#pragma once

// A test body run in a forked child, for failure points at which the
// coordinate engine may end the process: how the child ended, and whether a
// crash or a hang is one of the engine's known faults.

#include <chrono>
#include <functional>
#include <string>

namespace zorvtest {

// How a trial ended.
struct TrialEnd {
    enum Kind {
        kPassed,  // the body returned 0
        kFailed,  // the body returned another value, or the child exited with one (a sanitizer's report)
        kCrashed, // a signal (a failed assertion's SIGABRT among them) or std::terminate ended it
        kHung,    // still running at the timeout: stopped
        kNotRun,  // no child could be made
    };
    Kind kind = kNotRun;
    int exitCode = -1;         // kPassed, kFailed: the child's exit status
    int signal = 0;            // kCrashed: the signal, 0 for std::terminate
    // A crash or a hang judged to be a known fault of the engine: the
    // exported PROJ function it is known in, else null.
    char const* knownFault = nullptr;
    // How the child ended, with its stacks (the crashing or hung threads',
    // and the last injected allocation failure of each).
    std::string report;

    // Passed, or ended by a known fault of the engine.
    bool acceptable() const { return kind == kPassed || knownFault != nullptr; }
};

// Runs body() in a forked child, which exits with its result (0: passed).
// A child still running after `timeout` is a hang: its threads' stacks are
// taken, then it is killed. A crash or a hang is the engine's known fault
// only when (a) the last allocation failure injected on the thread that
// crashed or hung (FailingAllocation's hook, recorded where it failed) was
// asked for inside the engine or a library it calls (libproj, libsqlite3,
// libtiff, libcurl, or the C and C++ runtimes called from them), and (b)
// that thread's stack passes through one of the engine's exported functions
// known to end the process in that way when memory fails (the list lives in
// ForkedTrial.cpp). Anything else that crashes or hangs is not acceptable.
// The child installs the failure hook; the caller arms the failures inside
// body().
TrialEnd runForkedTrial(std::function<int()> const& body,
                        std::chrono::milliseconds timeout = std::chrono::milliseconds(60000));

// The exit code of a trial whose armed failure was never reached: its call
// asks for fewer allocations than the one armed.
inline constexpr int kTrialBeyondTheLast = 3;

// Failure points n = first, next(first), next(next(first)), ... each in a
// trial of its own: body(n) arms the failure and returns 0,
// kTrialBeyondTheLast when the failure was not reached, or any other value
// for a failed outcome; the sweep ends at the first trial beyond the last
// point. Every other end goes to judge(n, end). Returns the trials run.
template <class Body, class Next, class Judge>
unsigned sweepForkedTrials(unsigned long first, Next next, Body body, Judge judge)
{
    unsigned trials = 0;
    for (unsigned long n = first;; n = next(n)) {
        TrialEnd const end = runForkedTrial([&] { return body(n); });
        ++trials;
        if (end.kind == TrialEnd::kFailed && end.exitCode == kTrialBeyondTheLast) return trials;
        judge(n, end);
    }
}

}  // namespace zorvtest
