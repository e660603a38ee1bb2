#include "zorvsupport/datavector/ZlibStreams.h"

#include <cstring>
#include <memory>

#include <libdeflate.h>
#include <zlib.h>

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace detail {

namespace {

// Below this many value bytes zlib's one-call compressor is as fast and
// needs no per-thread state.
constexpr std::size_t kLibdeflateFrom = 8192;

// One compressor and one decompressor per thread, made on first use: never
// shared between threads, and not rebuilt on every call.
struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

libdeflate_compressor* threadCompressor()
{
    thread_local std::unique_ptr<libdeflate_compressor, CompressorFree> compressor;
    if (!compressor) compressor.reset(libdeflate_alloc_compressor(1));
    return compressor.get();
}

libdeflate_decompressor* threadDecompressor()
{
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor;
    if (!decompressor) decompressor.reset(libdeflate_alloc_decompressor());
    return decompressor.get();
}

std::size_t zlibCompress(unsigned char const* src, std::size_t n, unsigned char* out, std::size_t room)
{
    // Sizes beyond zlib's uLong do not occur: values stay below 4 GiB.
    uLongf length = static_cast<uLongf>(room);
    if (compress2(out, &length, n ? src : nullptr, static_cast<uLong>(n), 1) != Z_OK) return 0;
    return length;
}

}  // namespace

std::size_t deflateZlibStream(unsigned char const* src, std::size_t n, unsigned char* out, std::size_t room)
{
    if (!out || room == 0) return 0;
    if (n >= kLibdeflateFrom) {
        libdeflate_compressor* compressor = threadCompressor();
        if (!compressor) return 0;
        if (std::size_t length = libdeflate_zlib_compress(compressor, src, n, out, room)) return length;
    }
    return zlibCompress(src, n, out, room);
}

InflateResult inflateZlibStream(unsigned char const* in, std::size_t length, unsigned char* out, std::size_t room,
                                std::size_t& produced)
{
    produced = 0;
    libdeflate_decompressor* decompressor = threadDecompressor();
    if (!decompressor || length == 0) return InflateResult::kFailed;
    unsigned char none = 0;  // a valid address for an empty room
    switch (libdeflate_zlib_decompress(decompressor, in, length, out ? out : &none, out ? room : 0, &produced)) {
    case LIBDEFLATE_SUCCESS:
        if (produced < room) std::memset(out + produced, 0, room - produced);
        return InflateResult::kDone;
    case LIBDEFLATE_INSUFFICIENT_SPACE: produced = 0; return InflateResult::kNoRoom;
    default: produced = 0; return InflateResult::kFailed;
    }
}

}  // namespace detail
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
