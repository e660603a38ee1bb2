#pragma once

// Library-internal: the threads of the row driver and of the mesh
// construction. Room for every thread is taken before any starts, a guard
// joins every started thread however the caller leaves, and each thread
// keeps the exception that ended its task for the caller.

#include <exception>
#include <memory>
#include <new>
#include <utility>

#include <boost/function.hpp>
#include <boost/thread/thread.hpp>

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// The thread count of one call, never 0: the process-wide count, read
// once; where it is 0, the processor count, stored for later calls.
unsigned acquireThreadCount();

// Band k of n over the rows [first, end): equal bands of (end - first) / n
// rows, the last one taking the remainder.
inline std::pair<unsigned, unsigned> splitRows(unsigned first, unsigned end, unsigned n, unsigned k)
{
    unsigned const chunk = (end - first) / n;
    unsigned const lo = first + k * chunk;
    return {lo, k + 1 == n ? end : lo + chunk};
}

// Starts `task` on a new thread held by `slot`; the default start hook.
// A start hook must either leave `slot` empty or hold the started thread in
// it, and may throw in either case.
struct CreateThread {
    void operator()(boost::thread& slot, boost::function0<void> const& task) const { slot = boost::thread(task); }
};

namespace ThreadDetail {

// One thread and the exception that ended its task.
struct WorkerSlot {
    boost::thread thread;
    std::exception_ptr error;
};

// Joins every started thread when it goes out of scope.
class JoinGuard {
public:
    JoinGuard(WorkerSlot* slots, unsigned count) : m_slots(slots), m_count(count) {}
    ~JoinGuard() { joinAll(); }
    JoinGuard(JoinGuard const&) = delete;
    JoinGuard& operator=(JoinGuard const&) = delete;

    void joinAll() noexcept
    {
        // A host thread that is being interrupted must still wait here.
        boost::this_thread::disable_interruption noInterruption;
        for (unsigned k = 0; k < m_count; ++k)
            if (m_slots[k].thread.joinable()) m_slots[k].thread.join();
    }

private:
    WorkerSlot* m_slots;
    unsigned m_count;
};

// What a thread runs: task k, its exception kept in the slot, never let out
// of the thread. Small and trivially copied, so wrapping it allocates nothing.
template <class Task>
struct SlotTask {
    Task const* task;
    unsigned k;
    std::exception_ptr* error;

    void operator()() const
    {
        try {
            (*task)(k);
        } catch (...) {
            *error = std::current_exception();
        }
    }
};

}  // namespace ThreadDetail

// Runs task(k) for k = 0 .. n - 1. Tasks from `firstStarted` on each get a
// thread of their own, started in order through `start` until a start
// fails; the caller's thread then runs the tasks below `firstStarted` and
// those whose thread did not start, in order (all of them when there is no
// room for the threads). Every started thread is joined before this returns
// or lets an exception out: a caller's task's exception first (its later
// tasks are not run), else the first thread's, in the order of k.
template <class Task, class Start>
void runTasks(unsigned n, unsigned firstStarted, Task const& task, Start start)
{
    std::unique_ptr<ThreadDetail::WorkerSlot[]> slots(new (std::nothrow) ThreadDetail::WorkerSlot[n]);
    unsigned started = firstStarted;  // tasks [firstStarted, started) have their thread
    {
        ThreadDetail::JoinGuard guard(slots.get(), slots ? n : 0);
        while (slots && started < n) {
            bool failed = false;
            try {
                start(slots[started].thread,
                      boost::function0<void>(ThreadDetail::SlotTask<Task>{&task, started, &slots[started].error}));
            } catch (...) {
                failed = true;  // no more threads
            }
            bool const running = slots[started].thread.joinable();  // even if the hook then threw
            if (running) ++started;
            if (failed || !running) break;
        }
        for (unsigned k = 0; k < firstStarted && k < n; ++k) task(k);
        for (unsigned k = started; k < n; ++k) task(k);
        guard.joinAll();
    }
    for (unsigned k = firstStarted; k < started; ++k)
        if (slots[k].error) std::rethrow_exception(slots[k].error);
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
