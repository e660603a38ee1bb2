#pragma once

// Library-internal: the byte-level copy of the overlap box of two vectors.

#include <cstddef>

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace detail {

// Copies the overlap box of two value blocks of one element size, each
// addressed with its own dimensions (padded with 1 beyond their count). One
// row of the box (m0 elements) is contiguous in both, so each row is one
// memcpy. The blocks must not overlap.
void copyOverlapBytes(unsigned char* dst, unsigned const dstDims[4], unsigned char const* src,
                      unsigned const srcDims[4], std::size_t elementBytes);

}  // namespace detail
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
