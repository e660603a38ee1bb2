#pragma once

#include <cstdio>
#include <sys/resource.h>

namespace zorvtest {

// While alive, caps the address space at its current size plus `headroom`
// bytes, so that a large allocation fails with std::bad_alloc instead of
// succeeding or being killed (under AddressSanitizer the test program asks
// its allocator to return null, see FailingAllocation.cpp). active() is
// false when the limit could not be set.
class AllocationLimit {
public:
    explicit AllocationLimit(unsigned long long headroom = 256ull << 20)
    {
        if (getrlimit(RLIMIT_AS, &m_saved) != 0) return;
        unsigned long long pages = 0;
        if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%llu", &pages) != 1) pages = 0;
            std::fclose(f);
        }
        if (pages == 0) return;
        rlimit capped = m_saved;
        capped.rlim_cur = pages * 4096ull + headroom;
        if (m_saved.rlim_max != RLIM_INFINITY && capped.rlim_cur > m_saved.rlim_max) return;
        m_active = setrlimit(RLIMIT_AS, &capped) == 0;
    }
    ~AllocationLimit()
    {
        if (m_active) setrlimit(RLIMIT_AS, &m_saved);
    }
    AllocationLimit(AllocationLimit const&) = delete;
    AllocationLimit& operator=(AllocationLimit const&) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    bool m_active = false;
};

}  // namespace zorvtest
