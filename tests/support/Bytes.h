#pragma once

#include <vector>

#include "zorvsupport/types/IOBuffer.h"

namespace zorvtest {

using Bytes = std::vector<unsigned char>;

// A buffer holding `bytes` (and `extra` zero bytes behind them) with the
// given swap flag, positioned at its start.
inline ZORV_3_13_0_::DataSet::IOBuffer bufferOf(Bytes const& bytes, bool swap = false, unsigned extra = 0)
{
    using ZORV_3_13_0_::DataSet::IOBuffer;
    IOBuffer b(static_cast<unsigned>(bytes.size()) + extra, swap, IOBuffer::AllocatorHandle());
    if (!bytes.empty()) b.write(bytes.data(), static_cast<unsigned>(bytes.size()));
    b.seek(0);
    return b;
}

// The bytes of a buffer in front of its position: what was written so far.
inline Bytes written(ZORV_3_13_0_::DataSet::IOBuffer const& b)
{
    return b.tell() ? Bytes(b.getStartPtr(), b.getStartPtr() + b.tell()) : Bytes();
}

// The 28-byte header of a stored vector, little-endian: type code, tuple
// length, dimension count, compression method, a reserved 0 and four
// dimensions (0 beyond those given).
inline Bytes vectorHeader(unsigned code, unsigned tuple, unsigned short n, unsigned char compression,
                          std::vector<unsigned> const& dims)
{
    using ZORV_3_13_0_::DataSet::IOBuffer;
    IOBuffer b(28, false, IOBuffer::AllocatorHandle());
    b.write(code);
    b.write(tuple);
    b.write(n);
    b.write(compression);
    b.write(static_cast<unsigned char>(0));
    for (std::size_t i = 0; i < 4; ++i) b.write(i < dims.size() ? dims[i] : 0u);
    return written(b);
}

}  // namespace zorvtest
