// The forked trial itself: how it tells the ends of a child apart, and that
// a crash or a hang outside the engine is never taken for its known fault.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <thread>

#include "support/FailingAllocation.h"
#include "support/ForkedTrial.h"

using namespace zorvtest;

namespace {

TEST(ForkedTrial, TellsHowTheChildEnded)
{
    struct Row {
        char const* what;
        int (*body)();
        TrialEnd::Kind kind;
        int exitCode;
        int signal;
    } const rows[] = {
        {"returns 0", [] { return 0; }, TrialEnd::kPassed, 0, 0},
        {"returns 5", [] { return 5; }, TrialEnd::kFailed, 5, 0},
        {"null dereference",
         [] {
             raise(SIGSEGV);
             return 0;
         },
         TrialEnd::kCrashed, -1, SIGSEGV},
        {"abort", []() -> int { std::abort(); }, TrialEnd::kCrashed, -1, SIGABRT},
        {"std::terminate", []() -> int { std::terminate(); }, TrialEnd::kCrashed, -1, 0},
        {"hangs on a thread",
         [] {
             std::thread([] { std::this_thread::sleep_for(std::chrono::seconds(30)); }).join();
             return 0;
         },
         TrialEnd::kHung, -1, 0},
        {"crashes after an injected failure of its own",
         [] {
             {
                 FailingAllocation failing(1);
                 void* volatile p = std::malloc(64);
                 if (p) return 1;
             }
             raise(SIGSEGV);
             return 0;
         },
         TrialEnd::kCrashed, -1, SIGSEGV},
    };
    for (Row const& r : rows) {
        TrialEnd const end = runForkedTrial(r.body, std::chrono::milliseconds(500));
        EXPECT_EQ(end.kind, r.kind) << r.what << "\n" << end.report;
        EXPECT_EQ(end.exitCode, r.exitCode) << r.what;
        EXPECT_EQ(end.signal, r.signal) << r.what;
        EXPECT_EQ(end.knownFault, nullptr) << r.what << ": not the engine";
        EXPECT_EQ(end.acceptable(), r.kind == TrialEnd::kPassed) << r.what;
        if (r.kind == TrialEnd::kHung) {
            EXPECT_NE(end.report.find("stack of thread"), std::string::npos) << end.report;
        }
    }
}

}  // namespace
