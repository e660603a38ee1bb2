#pragma once

// Library-internal: whether memory is there now, for engines that fail
// quietly (or crash) when an allocation of theirs fails, so that their
// work is begun or accepted only while a block can be had.

#include <memory>
#include <new>

namespace ZELUNMemory {

// True when a block of a few KiB can be had now.
inline bool available()
{
    std::unique_ptr<char[]> block(new (std::nothrow) char[4096]);
    return block != nullptr;
}

}  // namespace ZELUNMemory
