#pragma once

// Library-internal: the query operations of shapes and filters answer by
// value and have no status, so a shortage of memory below them
// (kErrOutOfMemory from the coordinate or geometry layer) leaves them as
// std::bad_alloc, never as an answer.

#include <new>

#include "zorvsupport/StatusCodes.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace detail {

// Throws std::bad_alloc for kErrOutOfMemory; any other status is returned.
inline long throwOnShortage(long status)
{
    if (status == kErrOutOfMemory) throw std::bad_alloc();
    return status;
}

}  // namespace detail
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
