#pragma once

// Running a body on a thread with a small stack, as hosts with small thread
// pools give, and measuring how much of it the body used.

#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>

namespace zorvtest {

// The stack the small-stack tests give their threads. Sanitized builds grow
// every frame (redzones, instrumentation), so they get a proportionally
// larger stack.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kSmallStack = 4 * 64 * 1024;
#else
constexpr std::size_t kSmallStack = 64 * 1024;
#endif

namespace detail {

struct SmallStackRun {
    std::function<void()> body;
    std::size_t used = 0;
    bool measured = false;
};

constexpr unsigned char kPattern = 0xA5;

// Paints the unused part of the thread's stack, runs the body, then counts
// from the far end how much of the paint was overwritten. Kept out of line
// so that its own frame sits above the painted region.
__attribute__((noinline)) inline void* runPainted(void* argument)
{
    auto& run = *static_cast<SmallStackRun*>(argument);
    pthread_attr_t attr;
    void* low = nullptr;
    std::size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstack(&attr, &low, &size);
        pthread_attr_destroy(&attr);
    }
    // The stack grows down from here; a margin below this frame is left for
    // memset's own.
    auto const here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    auto* const top = reinterpret_cast<unsigned char*>(here - 512);
    auto* const bottom = static_cast<unsigned char*>(low);
    if (bottom && top > bottom) std::memset(bottom, kPattern, std::size_t(top - bottom));
    run.body();
    if (bottom && top > bottom) {
        unsigned char const* p = bottom;
        while (p < top && *p == kPattern) ++p;
        run.used = std::size_t(here - reinterpret_cast<std::uintptr_t>(p));
        run.measured = true;
    }
    return nullptr;
}

}  // namespace detail

// Runs `body` on a new thread whose stack is `stackBytes` long (set through
// the thread attributes, guard page included); an overflow crashes the test.
// Returns the bytes of stack the thread used below its entry (0 when the
// stack could not be located).
inline std::size_t runOnSmallStack(std::size_t stackBytes, std::function<void()> body)
{
    detail::SmallStackRun run{std::move(body)};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, stackBytes);
    pthread_t thread;
    if (pthread_create(&thread, &attr, &detail::runPainted, &run) != 0) {
        pthread_attr_destroy(&attr);
        return 0;
    }
    pthread_attr_destroy(&attr);
    pthread_join(thread, nullptr);
    return run.measured ? run.used : 0;
}

}  // namespace zorvtest
