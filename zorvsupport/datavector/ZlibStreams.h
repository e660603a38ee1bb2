#pragma once

// Library-internal: one-call zlib streams (RFC 1950) of a vector's value
// bytes, through libdeflate with zlib where libdeflate cannot serve.

#include <cstddef>

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace detail {

// Deflates bytes [src, src + n) at level 1 into out[0..room) as one zlib
// stream; returns its length, or 0 when it does not fit. Throws
// std::bad_alloc when no compressor can be had. Values below 8 KiB go to
// zlib (which keeps the 8-byte stream of no data), larger ones to
// libdeflate, and to zlib again when libdeflate reports no room (it needs a
// few bytes beyond its stream).
std::size_t deflateZlibStream(unsigned char const* src, std::size_t n, unsigned char* out, std::size_t room);

enum class InflateResult {
    kDone,           // the stream ended within the room; `produced` bytes written
    kNoRoom,         // a valid stream so far, longer than the room
    kFailed          // damaged, truncated or empty stream
};

// Inflates the zlib stream in [in, in + length) into out[0..room). Input
// bytes behind the stream's end are ignored. Throws std::bad_alloc when no
// decompressor can be had. On kDone, out[produced..room) is zero (libdeflate
// promises nothing about the bytes behind its output, so that tail is
// cleared); on anything else the contents of `out` are unspecified.
InflateResult inflateZlibStream(unsigned char const* in, std::size_t length, unsigned char* out, std::size_t room,
                                std::size_t& produced);

}  // namespace detail
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
