#pragma once

// Comparison of two data vectors for the round-trip checks: element type,
// dimensions and the value bytes (operator== cannot be used: NaN != NaN).

#include "FuzzSupport.h"

#include "zorvsupport/datavector/DataVector.h"

namespace zorvfuzz {

// Largest value block written back for the round-trip checks; larger vectors
// are read (the readers bound what they allocate) but not copied.
constexpr unsigned long long kMaxValueBytes = 64ull << 20;

inline bool sameVector(ZORV_3_13_0_::DataSet::DataVector const& a, ZORV_3_13_0_::DataSet::DataVector const& b)
{
    if (a.getDataType() != b.getDataType() || a.getNumDimensions() != b.getNumDimensions()) return false;
    for (int i = 0; i < 4; ++i)
        if (a.getDimension(i) != b.getDimension(i)) return false;
    if (a.size() != b.size() || a.getSizeInBytes() != b.getSizeInBytes()) return false;
    return sameBytes(a.getConstDataPtr(), b.getConstDataPtr(), a.getSizeInBytes());
}

}  // namespace zorvfuzz
