#pragma once

// Library-internal: whether memory is there now, for engines that fail
// quietly (or crash) when an allocation of theirs fails, so that their
// work is begun or accepted only while blocks can be had.

#include <cstddef>
#include <cstdlib>

namespace ZELUNMemory {

// True when blocks of the sizes the engines ask for can be had now, from
// the allocator they use: a small one, one above SQLite's 4 KiB pages and
// one of PROJ's 100,000-byte message buffer. A probe of small blocks alone
// misses an allocator that fails only large ones.
inline bool available()
{
    static constexpr std::size_t kProbes[] = {64, 4096 + 256, 100000};
    for (std::size_t bytes : kProbes) {
        void* block = std::malloc(bytes);
        if (!block) return false;
        std::free(block);
    }
    return true;
}

}  // namespace ZELUNMemory
