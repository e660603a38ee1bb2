// Forked trials: the child records, into memory shared with the parent, the
// stack of every injected allocation failure (the last few per process),
// the stack of a crash and, when the parent finds it hung, the stack of each
// of its threads; the parent judges them against the engine's known faults.
#include "support/ForkedTrial.h"

#include <dirent.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>

#include "support/FailingAllocation.h"

namespace zorvtest {

namespace {

// ---- The engine's known faults (PROJ 9.1) ----

// How a known fault ends the process.
// A corruption is a signal in the engine at a later call, after a failure
// injected inside the entry point (the fault's damage outlives its call).
enum EndBy : unsigned { kBySignal = 1, kByTerminate = 2, kByHang = 4, kByCorruption = 8 };

struct KnownFault {
    char const* entryPoint;  // the exported PROJ function the stack passes through
    unsigned endsBy;
    char const* what;
};

// Faults found by earlier sweeps, each at an allocation PROJ cannot make.
KnownFault const kKnownFaults[] = {
    {"proj_is_equivalent_to_with_ctx", kByTerminate, "std::terminate from a noexcept function"},
    {"proj_normalize_for_visualization", kBySignal, "a null object used"},
    {"proj_create_crs_to_crs_from_pj", kBySignal | kByHang, "a failed assertion; a self-deadlock on its mutex"},
    {"proj_create", kBySignal | kByCorruption, "heap corruption in the PROJ-string parser after one failing allocation"},
};

// The engine and the libraries it calls.
char const* const kEngineLibraries[] = {"libproj.so", "libsqlite3.so", "libtiff.so", "libcurl.so"};
// Runtimes any code calls: they decide nothing about whose allocation it was.
char const* const kRuntimeLibraries[] = {"libc.so",   "libstdc++.so", "libgcc_s.so", "libm.so",
                                         "ld-linux",  "libasan.so",   "libubsan.so", "libtsan.so",
                                         "libpthread"};

// ---- What the child records ----

constexpr int kFrames = 64;
constexpr unsigned kRing = 64;     // the last injected failures kept
constexpr unsigned kThreads = 64;  // threads whose stacks a hang keeps
constexpr int kExitCrashed = 97;

struct Stack {
    std::atomic<unsigned> sequence;  // 0: empty; else the order it was written in, + 1
    long tid;
    int depth;
    void* frames[kFrames];
};

struct Shared {
    std::atomic<unsigned> failures;  // injected failures recorded
    Stack failure[kRing];
    std::atomic<int> endBy;  // 0, kBySignal or kByTerminate, once
    int signal;
    Stack end;
    std::atomic<unsigned> hung;  // stacks taken at the timeout
    Stack threads[kThreads];
};

Shared* g_shared = nullptr;  // the child's view (a fresh mapping for each trial)

// What runs in the child at a failure, a crash or a hang is not
// instrumented: a sanitizer's runtime would ask for memory there (to
// unpoison the stack before a call that does not return), which may be gone.
#define ZORV_CHILD_SIDE __attribute__((no_sanitize("address", "thread", "undefined")))

ZORV_CHILD_SIDE long currentTid()
{
    return static_cast<long>(syscall(SYS_gettid));
}

ZORV_CHILD_SIDE void take(Stack& s, unsigned sequence)
{
    s.tid = currentTid();
    s.depth = backtrace(s.frames, kFrames);
    s.sequence.store(sequence + 1, std::memory_order_release);
}

// The failure hook: runs inside the allocator, allocates nothing.
ZORV_CHILD_SIDE void recordFailure()
{
    if (!g_shared) return;
    unsigned const k = g_shared->failures.fetch_add(1, std::memory_order_relaxed);
    take(g_shared->failure[k % kRing], k);
}

[[noreturn]] ZORV_CHILD_SIDE void ended(int by, int sig)
{
    int expected = 0;
    if (g_shared && g_shared->endBy.compare_exchange_strong(expected, by)) {
        g_shared->signal = sig;
        take(g_shared->end, 0);
    }
    _exit(kExitCrashed);
}

ZORV_CHILD_SIDE void onCrash(int sig)
{
    ended(kBySignal, sig);
}

[[noreturn]] ZORV_CHILD_SIDE void onTerminate()
{
    ended(kByTerminate, 0);
}

// SIGUSR2: a thread adds its own stack to the hang's.
ZORV_CHILD_SIDE void onStackRequest(int)
{
    unsigned const k = g_shared->hung.fetch_add(1, std::memory_order_relaxed);
    if (k < kThreads) take(g_shared->threads[k], k);
}

// SIGUSR1 from the parent at the timeout: every other thread is asked for
// its stack, then this one's is taken. The task list is read with raw
// system calls: memory may be gone.
ZORV_CHILD_SIDE void onHang(int sig)
{
    long const self = currentTid();
    int const fd = open("/proc/self/task", O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        alignas(8) char buffer[4096];
        for (;;) {
            long const n = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (n <= 0) break;
            for (long at = 0; at < n;) {
                struct Entry {
                    unsigned long long ino;
                    long long off;
                    unsigned short reclen;
                    unsigned char type;
                    char name[1];
                };
                auto const* e = reinterpret_cast<Entry const*>(buffer + at);
                long tid = 0;
                for (char const* c = e->name; *c >= '0' && *c <= '9'; ++c) tid = tid * 10 + (*c - '0');
                if (tid > 0 && tid != self) syscall(SYS_tgkill, getpid(), tid, SIGUSR2);
                at += e->reclen;
            }
        }
        close(fd);
    }
    onStackRequest(sig);
}

void install(int sig, void (*handler)(int))
{
    struct sigaction a;
    std::memset(&a, 0, sizeof a);
    a.sa_handler = handler;
    a.sa_flags = SA_ONSTACK | SA_NODEFER;
    sigemptyset(&a.sa_mask);
    sigaction(sig, &a, nullptr);
}

alignas(16) char g_altStack[1 << 16];

void prepareChild(Shared* shared)
{
    g_shared = shared;
    void* warm[4];
    backtrace(warm, 4);  // loads the unwinder before memory is taken away
    stack_t s;
    std::memset(&s, 0, sizeof s);
    s.ss_sp = g_altStack;
    s.ss_size = sizeof g_altStack;
    sigaltstack(&s, nullptr);  // the calling thread's: a stack overflow still reports
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) install(sig, onCrash);
    install(SIGUSR1, onHang);
    install(SIGUSR2, onStackRequest);
    std::set_terminate(onTerminate);
    FailingAllocation::setFailureHook(recordFailure);
}

// ---- The parent's judgement ----

bool inLibrary(char const* file, char const* const* names, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (std::strstr(file, names[i])) return true;
    return false;
}

enum class Owner { kProgram, kRuntime, kEngine, kOther };

Owner ownerOf(void* frame)
{
    static void* const program = [] {
        Dl_info self;
        return dladdr(reinterpret_cast<void*>(&ownerOf), &self) ? self.dli_fbase : nullptr;
    }();
    Dl_info info;
    if (!dladdr(frame, &info) || !info.dli_fname) return Owner::kOther;
    if (info.dli_fbase == program) return Owner::kProgram;
    if (inLibrary(info.dli_fname, kEngineLibraries, std::size(kEngineLibraries))) return Owner::kEngine;
    if (inLibrary(info.dli_fname, kRuntimeLibraries, std::size(kRuntimeLibraries))) return Owner::kRuntime;
    return Owner::kOther;
}

// Whether the allocation whose failure recorded `s` was asked for by the
// engine: past a sanitizer's frames of the backtrace itself, the frames of
// this program that lead to the hook (the hook and the replaced allocation
// functions) and the runtimes they were called from, the first frame lies in
// the engine or a library it calls. An allocation of the library under test
// (linked into this program) meets a frame of the program first.
bool engineAllocation(Stack const& s)
{
    int k = 0;
    while (k < s.depth && ownerOf(s.frames[k]) == Owner::kRuntime) ++k;
    while (k < s.depth && ownerOf(s.frames[k]) == Owner::kProgram) ++k;
    while (k < s.depth && ownerOf(s.frames[k]) == Owner::kRuntime) ++k;
    return k < s.depth && ownerOf(s.frames[k]) == Owner::kEngine;
}

// The known fault that `s` passes through, for an end of kind `by`.
KnownFault const* knownFaultOn(Stack const& s, unsigned by)
{
    for (int k = 0; k < s.depth; ++k) {
        if (ownerOf(s.frames[k]) != Owner::kEngine) continue;
        Dl_info info;
        if (!dladdr(s.frames[k], &info) || !info.dli_sname) continue;
        for (KnownFault const& f : kKnownFaults)
            if ((f.endsBy & by) && std::strcmp(info.dli_sname, f.entryPoint) == 0) return &f;
    }
    return nullptr;
}

// Whether any frame of `s` lies in the engine.
bool passesEngine(Stack const& s)
{
    for (int k = 0; k < s.depth; ++k)
        if (ownerOf(s.frames[k]) == Owner::kEngine) return true;
    return false;
}

// The last injected failure recorded on thread `tid`.
Stack const* lastFailureOn(Shared const& shared, long tid)
{
    Stack const* last = nullptr;
    for (Stack const& f : shared.failure) {
        unsigned const q = f.sequence.load(std::memory_order_acquire);
        if (q && f.tid == tid && (!last || q > last->sequence.load())) last = &f;
    }
    return last;
}

std::string describe(Stack const& s)
{
    std::string out;
    for (int k = 0; k < s.depth; ++k) {
        Dl_info info;
        char line[512];
        if (dladdr(s.frames[k], &info) && info.dli_fname) {
            char const* file = std::strrchr(info.dli_fname, '/');
            std::snprintf(line, sizeof line, "  #%d %p %s(%s+0x%lx)\n", k, s.frames[k], file ? file + 1 : info.dli_fname,
                          info.dli_sname ? info.dli_sname : "?",
                          static_cast<unsigned long>(static_cast<char*>(s.frames[k]) -
                                                     static_cast<char*>(info.dli_sname ? info.dli_saddr : info.dli_fbase)));
        } else {
            std::snprintf(line, sizeof line, "  #%d %p\n", k, s.frames[k]);
        }
        out += line;
    }
    return out;
}

// Judges one thread's end: its stack and its last injected failure.
char const* judge(Shared const& shared, Stack const& end, unsigned by, std::string& report)
{
    report += "stack of thread " + std::to_string(end.tid) + ":\n" + describe(end);
    Stack const* failure = lastFailureOn(shared, end.tid);
    if (!failure) {
        report += "no allocation failure was injected on that thread\n";
        return nullptr;
    }
    bool const engine = engineAllocation(*failure);
    report += std::string("its last injected allocation failure (") + (engine ? "the engine's" : "not the engine's") +
              "):\n" + describe(*failure);
    KnownFault const* fault = knownFaultOn(end, by);
    if (!fault && by == kBySignal && passesEngine(end)) fault = knownFaultOn(*failure, kByCorruption);
    if (fault) report += std::string("known engine fault: ") + fault->entryPoint + ", " + fault->what + "\n";
    return engine && fault ? fault->entryPoint : nullptr;
}

}  // namespace

TrialEnd runForkedTrial(std::function<int()> const& body, std::chrono::milliseconds timeout)
{
    TrialEnd end;
    void* const mapping = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        end.report = "no shared memory for the trial";
        return end;
    }
    auto* shared = new (mapping) Shared();
    std::fflush(nullptr);
    pid_t const pid = fork();
    if (pid == 0) {
        prepareChild(shared);
        int const code = body();
        std::fflush(nullptr);
        _exit(code);
    }
    if (pid < 0) {
        munmap(mapping, sizeof(Shared));
        end.report = "no child process";
        return end;
    }
    int status = 0;
    bool exited = false;
    auto const deadline = std::chrono::steady_clock::now() + timeout;
    while (!(exited = waitpid(pid, &status, WNOHANG) == pid) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (!exited) {
        // Every thread's stack, then the end.
        kill(pid, SIGUSR1);
        unsigned seen = 0;
        for (int i = 0; i < 100; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            unsigned const now = shared->hung.load();
            if (now != 0 && now == seen) break;
            seen = now;
        }
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        end.kind = TrialEnd::kHung;
        end.report = "hung: stopped after " + std::to_string(timeout.count()) + " ms\n";
        unsigned const n = std::min(shared->hung.load(), kThreads);
        if (n == 0) end.report += "no thread gave its stack\n";
        for (unsigned k = 0; k < n && !end.knownFault; ++k)
            if (shared->threads[k].sequence.load())
                end.knownFault = judge(*shared, shared->threads[k], kByHang, end.report);
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kExitCrashed && shared->endBy.load()) {
        end.kind = TrialEnd::kCrashed;
        end.signal = shared->signal;
        unsigned const by = static_cast<unsigned>(shared->endBy.load());
        end.report = by == kByTerminate ? std::string("ended by std::terminate\n")
                                        : "ended by signal " + std::to_string(end.signal) + " (" +
                                              strsignal(end.signal) + ")\n";
        end.knownFault = judge(*shared, shared->end, by, end.report);
    } else if (WIFEXITED(status)) {
        end.exitCode = WEXITSTATUS(status);
        end.kind = end.exitCode == 0 ? TrialEnd::kPassed : TrialEnd::kFailed;
        if (end.exitCode) end.report = "exited with " + std::to_string(end.exitCode) + "\n";
    } else {
        end.kind = TrialEnd::kCrashed;
        end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        end.report = "ended by signal " + std::to_string(end.signal) + " without a stack\n";
    }
    shared->~Shared();
    munmap(mapping, sizeof(Shared));
    return end;
}

}  // namespace zorvtest
