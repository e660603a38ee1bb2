#include "zorvsupport/datavector/ZlibStreams.h"

#include <cstring>
#include <new>

#include <libdeflate.h>
#include <zlib.h>

#include "zorvsupport/platform/ThreadSlot.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace detail {

namespace {

// Below this many value bytes zlib's one-call compressor is as fast and
// needs no per-thread state.
constexpr std::size_t kLibdeflateFrom = 8192;

// One compressor and one decompressor per thread, made on first use: never
// shared between threads, and not rebuilt on every call.
struct ThreadCoders {
    libdeflate_compressor* compressor = nullptr;
    libdeflate_decompressor* decompressor = nullptr;
    ~ThreadCoders()
    {
        if (compressor) libdeflate_free_compressor(compressor);
        if (decompressor) libdeflate_free_decompressor(decompressor);
    }
};

ZELUNThread::ThreadSlot<ThreadCoders> gCoders;

// The thread's coders; throws std::bad_alloc when they cannot be made (the
// thread's next call tries again).
ThreadCoders& threadCoders()
{
    ThreadCoders* coders = gCoders.get();
    if (!coders) throw std::bad_alloc();
    return *coders;
}

libdeflate_compressor* threadCompressor()
{
    ThreadCoders& coders = threadCoders();
    if (!coders.compressor) coders.compressor = libdeflate_alloc_compressor(1);
    if (!coders.compressor) throw std::bad_alloc();
    return coders.compressor;
}

libdeflate_decompressor* threadDecompressor()
{
    ThreadCoders& coders = threadCoders();
    if (!coders.decompressor) coders.decompressor = libdeflate_alloc_decompressor();
    if (!coders.decompressor) throw std::bad_alloc();
    return coders.decompressor;
}

std::size_t zlibCompress(unsigned char const* src, std::size_t n, unsigned char* out, std::size_t room)
{
    // Sizes beyond zlib's uLong do not occur: values stay below 4 GiB.
    uLongf length = static_cast<uLongf>(room);
    int const result = compress2(out, &length, n ? src : nullptr, static_cast<uLong>(n), 1);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK) return 0;
    return length;
}

}  // namespace

std::size_t deflateZlibStream(unsigned char const* src, std::size_t n, unsigned char* out, std::size_t room)
{
    if (!out || room == 0) return 0;
    if (n >= kLibdeflateFrom) {
        libdeflate_compressor* compressor = threadCompressor();
        if (std::size_t length = libdeflate_zlib_compress(compressor, src, n, out, room)) return length;
    }
    return zlibCompress(src, n, out, room);
}

InflateResult inflateZlibStream(unsigned char const* in, std::size_t length, unsigned char* out, std::size_t room,
                                std::size_t& produced)
{
    produced = 0;
    if (length == 0) return InflateResult::kFailed;
    libdeflate_decompressor* decompressor = threadDecompressor();
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
