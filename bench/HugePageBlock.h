#pragma once

// A zero-filled block placed as the library places large value storage: a
// 2 MiB-aligned anonymous mapping advised for transparent huge pages. Lets a
// baseline touch the same kind of pages as the library's side of a ratio.

#include <cstddef>
#include <cstdint>
#include <new>

#include <sys/mman.h>

namespace zorvbench {

class HugePageBlock {
public:
    explicit HugePageBlock(std::size_t bytes) : m_span(bytes + kAlign)
    {
        m_raw = mmap(nullptr, m_span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m_raw == MAP_FAILED) throw std::bad_alloc();
        m_data = reinterpret_cast<unsigned char*>((reinterpret_cast<std::uintptr_t>(m_raw) + kAlign - 1) &
                                                  ~std::uintptr_t(kAlign - 1));
        (void)madvise(m_data, bytes, MADV_HUGEPAGE);
    }
    HugePageBlock(HugePageBlock const&) = delete;
    HugePageBlock& operator=(HugePageBlock const&) = delete;
    ~HugePageBlock() { munmap(m_raw, m_span); }

    unsigned char* data() const { return m_data; }

private:
    static constexpr std::size_t kAlign = std::size_t(2) << 20;
    std::size_t m_span;
    void* m_raw;
    unsigned char* m_data;
};

}  // namespace zorvbench
