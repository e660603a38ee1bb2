// In-place transpose of two-dimensional vectors. Elements move as whole
// blocks of bytes, in cache-sized square tiles: each tile is read row by row
// into a local buffer already transposed, then written out row by row, so
// neither side walks memory with a large (often power-of-two) stride per
// element. Square vectors exchange tile pairs in place. Near-square shapes
// transpose their square part in place and set the rest aside in a small
// block; any other shape is written in one pass into one new block of its
// own size.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/datavectorutils/Transpose.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "zorvsupport/simd/Simd.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

HWY_BEFORE_NAMESPACE();
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET != HWY_SCALAR
// Index i with its log2(n) low bits reversed.
constexpr std::size_t bitReversed(std::size_t i, std::size_t n)
{
    std::size_t r = 0;
    for (std::size_t b = 1; b < n; b *= 2, i /= 2) r = r * 2 + (i & 1);
    return r;
}

// One stage of the in-register transpose: v[2i], v[2i + 1] become the
// lower and upper interleaves, in lanes of W bytes, of v[i] and v[i + n/2]
// (within each 16-byte block of a wider vector).
template <std::size_t W, class D, std::size_t N, class V>
HWY_INLINE void interleaveStage(D d8, V (&v)[N])
{
    hn::Repartition<hwy::UnsignedFromSize<W>, D> const dw;
    V next[N];
    for (std::size_t i = 0; i < N / 2; ++i) {
        auto const a = hn::BitCast(dw, v[i]), b = hn::BitCast(dw, v[i + N / 2]);
        next[2 * i] = hn::BitCast(d8, hn::InterleaveLower(dw, a, b));
        next[2 * i + 1] = hn::BitCast(d8, hn::InterleaveUpper(dw, a, b));
    }
    for (std::size_t i = 0; i < N; ++i) v[i] = next[i];
}

template <class T, class D, std::size_t N, class V>
HWY_INLINE void interleaveAll(D d8, V (&v)[N])
{
    if constexpr (sizeof(T) <= 1) interleaveStage<1>(d8, v);
    if constexpr (sizeof(T) <= 2) interleaveStage<2>(d8, v);
    if constexpr (sizeof(T) <= 4) interleaveStage<4>(d8, v);
    interleaveStage<8>(d8, v);
}

// Transposes a square of 16 / sizeof(T) rows of one 16-byte vector each:
// rows taken in bit-reversed order, then one interleave stage per doubling
// of the lane width.
template <class T>
HWY_INLINE void transposeMicro(unsigned char* out, std::size_t outStride, unsigned char const* in,
                               std::size_t inStride)
{
    constexpr std::size_t kSide = 16 / sizeof(T);
    hn::Full128<std::uint8_t> const d8;
    hn::Vec128<std::uint8_t> v[kSide];
    for (std::size_t i = 0; i < kSide; ++i) v[i] = hn::LoadU(d8, in + bitReversed(i, kSide) * inStride);
    interleaveAll<T>(d8, v);
    for (std::size_t i = 0; i < kSide; ++i) hn::StoreU(v[i], d8, out + i * outStride);
}

#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX2
constexpr bool kPairedMicro = true;
// Two adjacent squares of transposeMicro at once, one in each half of a
// 32-byte vector: half the shuffles for the same bytes.
template <class T>
HWY_INLINE void transposeMicroPair(unsigned char* out, std::size_t outStride, unsigned char const* in,
                                   std::size_t inStride)
{
    constexpr std::size_t kSide = 16 / sizeof(T);
    hn::Full256<std::uint8_t> const d8;
    hn::Full128<std::uint8_t> const dh;
    hn::Vec256<std::uint8_t> v[kSide];
    for (std::size_t i = 0; i < kSide; ++i) v[i] = hn::LoadU(d8, in + bitReversed(i, kSide) * inStride);
    interleaveAll<T>(d8, v);
    for (std::size_t i = 0; i < kSide; ++i) {
        hn::StoreU(hn::LowerHalf(dh, v[i]), dh, out + i * outStride);
        hn::StoreU(hn::UpperHalf(dh, v[i]), dh, out + (kSide + i) * outStride);
    }
}
#else
constexpr bool kPairedMicro = false;
template <class T>
HWY_INLINE void transposeMicroPair(unsigned char*, std::size_t, unsigned char const*, std::size_t)
{
}
#endif
#endif

// buf element (c, r) = src element (r, c) for r < rows, c < cols, elements
// of sizeof(T) bytes: src rows srcStride bytes apart, buf rows bufStride.
// Square micro-blocks of one 16-byte vector a row are transposed in
// registers; the edges move element by element.
template <class T>
void loadTransposedRun(unsigned char* buf, std::size_t bufStride, unsigned char const* src, std::size_t srcStride,
                       std::size_t rows, std::size_t cols)
{
    std::size_t r0 = 0, c0 = 0;
#if HWY_TARGET != HWY_SCALAR
    constexpr std::size_t kSide = 16 / sizeof(T);
    r0 = rows / kSide * kSide;
    c0 = cols / kSide * kSide;
    for (std::size_t r = 0; r < r0; r += kSide) {
        std::size_t c = 0;
        if constexpr (kPairedMicro)
            for (; c + 2 * kSide <= c0; c += 2 * kSide)
                transposeMicroPair<T>(buf + c * bufStride + r * sizeof(T), bufStride,
                                      src + r * srcStride + c * sizeof(T), srcStride);
        for (; c < c0; c += kSide)
            transposeMicro<T>(buf + c * bufStride + r * sizeof(T), bufStride, src + r * srcStride + c * sizeof(T),
                              srcStride);
    }
#endif
    // The columns right of the micro-blocks, then the rows below them.
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = r < r0 ? c0 : 0; c < cols; ++c)
            std::memcpy(buf + c * bufStride + r * sizeof(T), src + r * srcStride + c * sizeof(T), sizeof(T));
}

void loadTransposed1(unsigned char* buf, std::size_t bufStride, unsigned char const* src, std::size_t srcStride,
                     std::size_t rows, std::size_t cols)
{
    loadTransposedRun<std::uint8_t>(buf, bufStride, src, srcStride, rows, cols);
}

void loadTransposed2(unsigned char* buf, std::size_t bufStride, unsigned char const* src, std::size_t srcStride,
                     std::size_t rows, std::size_t cols)
{
    loadTransposedRun<std::uint16_t>(buf, bufStride, src, srcStride, rows, cols);
}

// 3-byte elements: squares of 4 x 4, each source row read as 16 bytes,
// spread to 4-byte lanes, transposed as 32-bit lanes and packed back. Each
// store writes 4 bytes past its 12; the next square down that row, or the
// edge pass after them, writes those again. Reads and writes stay inside
// the rows and columns given.
void loadTransposed3(unsigned char* buf, std::size_t bufStride, unsigned char const* src, std::size_t srcStride,
                     std::size_t rows, std::size_t cols)
{
    std::size_t r0 = 0, c0 = 0;
#if HWY_TARGET != HWY_SCALAR
    if (rows >= 6 && cols >= 6) {
        r0 = (rows - 2) / 4 * 4;
        c0 = (cols - 2) / 4 * 4;
    }
    hn::Full128<std::uint8_t> const d8;
    alignas(16) static constexpr std::uint8_t kSpread[16] = {0, 1, 2, 2, 3, 4, 5, 5, 6, 7, 8, 8, 9, 10, 11, 11};
    alignas(16) static constexpr std::uint8_t kPack[16] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 15, 15, 15, 15};
    auto const spread = hn::Load(d8, kSpread), pack = hn::Load(d8, kPack);
    for (std::size_t r = 0; r < r0; r += 4)
        for (std::size_t c = 0; c < c0; c += 4) {
            hn::Vec128<std::uint8_t> v[4];
            for (std::size_t i = 0; i < 4; ++i)
                v[i] = hn::TableLookupBytes(hn::LoadU(d8, src + (r + bitReversed(i, 4)) * srcStride + c * 3), spread);
            interleaveAll<std::uint32_t>(d8, v);
            for (std::size_t i = 0; i < 4; ++i)
                hn::StoreU(hn::TableLookupBytes(v[i], pack), d8, buf + (c + i) * bufStride + r * 3);
        }
#endif
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = r < r0 ? c0 : 0; c < cols; ++c)
            std::memcpy(buf + c * bufStride + r * 3, src + r * srcStride + c * 3, 3);
}

void loadTransposed4(unsigned char* buf, std::size_t bufStride, unsigned char const* src, std::size_t srcStride,
                     std::size_t rows, std::size_t cols)
{
    loadTransposedRun<std::uint32_t>(buf, bufStride, src, srcStride, rows, cols);
}

void loadTransposed8(unsigned char* buf, std::size_t bufStride, unsigned char const* src, std::size_t srcStride,
                     std::size_t rows, std::size_t cols)
{
    loadTransposedRun<std::uint64_t>(buf, bufStride, src, srcStride, rows, cols);
}

}  // namespace HWY_NAMESPACE
}  // namespace simd
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include <algorithm>
#include <memory>
#include <new>

#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/datavectorutils/OperationFrame.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
HWY_EXPORT(loadTransposed1);
HWY_EXPORT(loadTransposed2);
HWY_EXPORT(loadTransposed3);
HWY_EXPORT(loadTransposed4);
HWY_EXPORT(loadTransposed8);
}  // namespace simd

namespace DataVectorUtils {
namespace {

// Bytes of one tile buffer.
constexpr std::size_t kTileBytes = 8192;

// Moves elements of W bytes (W = 0: a width known only at run time).
template <std::size_t W>
struct Mover {
    static constexpr std::size_t kWidth = W;
    std::size_t runtimeWidth;
    std::size_t width() const { return W ? W : runtimeWidth; }
    void move(unsigned char* dst, unsigned char const* src) const { std::memcpy(dst, src, width()); }
};

// Side of the tile: the largest power of two whose square of elements fits
// kTileBytes, doubled further while a tile row is at most one cache line
// (1-byte elements): memory serves line pairs far better than single lines
// scattered over many rows.
constexpr std::size_t tileSide(std::size_t width)
{
    std::size_t t = 1;
    while (4 * t * t * width <= kTileBytes || 2 * t * width <= 128) t *= 2;
    return t;
}

// The tile buffers of one call, obtained before anything is written, so that
// a shortage leaves the vector as it was. Buffers of a few KiB (small
// vectors) are part of this object; larger ones come from the heap, so that
// the caller's stack (perhaps a small host thread's) never holds them.
class TileBuffers {
public:
    static constexpr std::size_t kAlign = 64, kLocalBytes = 4096;
    // False when the bytes cannot be had.
    bool obtain(std::size_t bytes)
    {
        if (bytes <= kLocalBytes) {
            m_data = m_local;
            return true;
        }
        m_block.reset(new (std::nothrow) unsigned char[bytes + kAlign - 1]);
        if (!m_block) return false;
        auto const at = reinterpret_cast<std::uintptr_t>(m_block.get());
        m_data = m_block.get() + (kAlign - at % kAlign) % kAlign;
        return true;
    }
    unsigned char* data() const { return m_data; }

private:
    std::unique_ptr<unsigned char[]> m_block;
    unsigned char* m_data = nullptr;
    alignas(kAlign) unsigned char m_local[kLocalBytes];
};

constexpr std::size_t roundToLine(std::size_t bytes)
{
    return (bytes + TileBuffers::kAlign - 1) / TileBuffers::kAlign * TileBuffers::kAlign;
}

// Bytes of one tile buffer of an n × n transpose: rows of a whole tile
// side, as many as the tile has.
constexpr std::size_t squareTileBytes(std::size_t w, std::size_t n)
{
    return roundToLine(std::min(tileSide(w), n) * tileSide(w) * w);
}

// Bytes the tile buffers of transposeSquare need: a second buffer only when
// there is more than one tile band.
constexpr std::size_t squareBufferBytes(std::size_t w, std::size_t n)
{
    return (n > tileSide(w) ? 2 : 1) * squareTileBytes(w, n);
}

// buf element (c, r) = src element (r, c) for r < rows, c < cols: src rows
// are `stride` bytes apart, buf rows `side` elements long.
template <class M>
void loadTransposed(M m, unsigned char* buf, std::size_t side, unsigned char const* src, std::size_t stride,
                    std::size_t rows, std::size_t cols)
{
    std::size_t const w = m.width();
    if constexpr (M::kWidth == 1)
        HWY_DYNAMIC_DISPATCH(simd::loadTransposed1)(buf, side * w, src, stride, rows, cols);
    else if constexpr (M::kWidth == 2)
        HWY_DYNAMIC_DISPATCH(simd::loadTransposed2)(buf, side * w, src, stride, rows, cols);
    else if constexpr (M::kWidth == 3)
        HWY_DYNAMIC_DISPATCH(simd::loadTransposed3)(buf, side * w, src, stride, rows, cols);
    else if constexpr (M::kWidth == 4)
        HWY_DYNAMIC_DISPATCH(simd::loadTransposed4)(buf, side * w, src, stride, rows, cols);
    else if constexpr (M::kWidth == 8)
        HWY_DYNAMIC_DISPATCH(simd::loadTransposed8)(buf, side * w, src, stride, rows, cols);
    else
        for (std::size_t r = 0; r < rows; ++r, src += stride)
            for (std::size_t c = 0; c < cols; ++c) m.move(buf + (c * side + r) * w, src + c * w);
}

// Writes `rows` rows of `rowBytes` from buf (rows side × width apart) to dst
// (rows stride apart).
void storeRows(unsigned char* dst, std::size_t stride, unsigned char const* buf, std::size_t bufStride,
               std::size_t rows, std::size_t rowBytes)
{
    for (std::size_t r = 0; r < rows; ++r) std::memcpy(dst + r * stride, buf + r * bufStride, rowBytes);
}

// storeRows for rows of B bytes (B = 0: any length), copied inline.
template <std::size_t B>
void storeRowsOf(unsigned char* dst, std::size_t stride, unsigned char const* buf, std::size_t bufStride,
                 std::size_t rows, std::size_t rowBytes)
{
    if (B && rowBytes == B)
        for (std::size_t r = 0; r < rows; ++r) std::memcpy(dst + r * stride, buf + r * bufStride, B);
    else
        storeRows(dst, stride, buf, bufStride, rows, rowBytes);
}

// Asks for the lines of a tile, for writing, ahead of its use: the rows of a
// tile lie far apart with few lines each, too short for the hardware's
// stream detection. Into the second-level cache only: the first holds the
// two tiles and their buffers already.
void prefetchTile(unsigned char const* p, std::size_t stride, std::size_t rows, std::size_t rowBytes)
{
    for (std::size_t r = 0; r < rows; ++r, p += stride) {
        for (std::size_t b = 0; b < rowBytes; b += 64) __builtin_prefetch(p + b, 1, 2);
        __builtin_prefetch(p + rowBytes - 1, 1, 2);
    }
}

// Transposes an n × n block of elements in place, tile pair by tile pair;
// its rows lie `stride` bytes apart. `buffers` holds squareBufferBytes(w, n).
template <class M>
void transposeSquare(M m, unsigned char* data, std::size_t n, std::size_t stride, unsigned char* buffers)
{
    constexpr std::size_t kRow = M::kWidth ? M::kWidth * tileSide(M::kWidth) : 0;
    std::size_t const w = m.width(), side = tileSide(w), bufStride = side * w;
    unsigned char* const a = buffers;
    unsigned char* const b = buffers + squareTileBytes(w, n);
    for (std::size_t i = 0; i < n; i += side) {
        std::size_t const ri = std::min(side, n - i);
        for (std::size_t j = 0; j <= i; j += side) {
            std::size_t const cj = std::min(side, n - j);
            // The next pair: (i, j + side), else the first of the next band.
            std::size_t const ni = j + side <= i ? i : i + side, nj = j + side <= i ? j + side : 0;
            if (ni < n) {
                std::size_t const nri = std::min(side, n - ni), ncj = std::min(side, n - nj);
                prefetchTile(data + ni * stride + nj * w, stride, nri, ncj * w);
                if (ni != nj) prefetchTile(data + nj * stride + ni * w, stride, ncj, nri * w);
            }
            unsigned char* tij = data + i * stride + j * w;  // rows i.., columns j..
            unsigned char* tji = data + j * stride + i * w;  // rows j.., columns i..
            loadTransposed(m, a, side, tij, stride, ri, cj);
            if (i != j) {
                loadTransposed(m, b, side, tji, stride, cj, ri);
                storeRowsOf<kRow>(tij, stride, b, bufStride, ri, cj * w);
            }
            storeRowsOf<kRow>(tji, stride, a, bufStride, cj, ri * w);
        }
    }
}

// The tile of transposeInto for elements of w bytes: `tall` source rows (a
// run of at most kRunBytes of each destination row) by `wide` source
// columns, in a buffer of rows of tall elements.
constexpr std::size_t kIntoTileBytes = 4 * kTileBytes, kRunBytes = 256;
constexpr std::size_t intoTall(std::size_t w)
{
    return std::max<std::size_t>(1, kRunBytes / w);
}
constexpr std::size_t intoWide(std::size_t w)
{
    return std::max<std::size_t>(1, kIntoTileBytes / (intoTall(w) * w));
}

// Bytes the buffer of transposeInto needs for a source of `cols` columns.
constexpr std::size_t intoBufferBytes(std::size_t w, std::size_t cols)
{
    return roundToLine(std::max<std::size_t>(1, std::min(intoWide(w), cols)) * intoTall(w) * w);
}

// Writes the transpose of src (rows × cols elements) into dst (cols × rows),
// through `buffer` of intoBufferBytes(w, cols). A tile spans four cache
// lines of each destination row and as many source columns as the buffer
// holds: few source rows at a time, since row strides near a power of two
// map the rows of a tall tile onto a few cache sets.
template <class M>
void transposeInto(M m, unsigned char* dst, std::size_t dstStride, unsigned char const* src, std::size_t srcStride,
                   std::size_t rows, std::size_t cols, unsigned char* buffer)
{
    unsigned char* const a = buffer;
    std::size_t const w = m.width();
    std::size_t const tall = intoTall(w), bufStride = tall * w, wide = intoWide(w);
    for (std::size_t i = 0; i < rows; i += tall) {
        std::size_t const ri = std::min(tall, rows - i);
        for (std::size_t j = 0; j < cols; j += wide) {
            std::size_t const cj = std::min(wide, cols - j);
            loadTransposed(m, a, tall, src + i * srcStride + j * w, srcStride, ri, cj);
            storeRows(dst + j * dstStride + i * w, dstStride, a, bufStride, cj, ri * w);
        }
    }
}

template <class M>
void transposeInto(M m, unsigned char* dst, unsigned char const* src, std::size_t rows, std::size_t cols,
                   unsigned char* buffer)
{
    transposeInto(m, dst, rows * m.width(), src, cols * m.width(), rows, cols, buffer);
}

// Bytes the tile buffers of transposeInPlace need: the larger of what its
// strip and its square need, which use them one after the other.
constexpr std::size_t inPlaceBufferBytes(std::size_t w, std::size_t rows, std::size_t cols)
{
    return std::max(intoBufferBytes(w, rows > cols ? cols : cols - rows), squareBufferBytes(w, std::min(rows, cols)));
}

// Transposes a rows × cols block (rows != cols, both above 1) in place: the
// square of the shorter side is transposed in place, and only the strip
// beyond it goes through `strip` (|rows - cols| × min elements). The rows
// move once to their new length. No fresh block of the whole size is
// faulted in, which costs as much as the transpose itself. `buffers` holds
// inPlaceBufferBytes(w, rows, cols).
template <class M>
void transposeInPlace(M m, unsigned char* data, std::size_t rows, std::size_t cols, unsigned char* strip,
                      unsigned char* buffers)
{
    std::size_t const w = m.width();
    if (rows > cols) {
        // Tall: the last r rows become the last r columns of each new row.
        std::size_t const r = rows - cols;
        transposeInto(m, strip, data + cols * cols * w, r, cols, buffers);
        transposeSquare(m, data, cols, cols * w, buffers);
        // New row c (rows elements) = square row c, then strip row c; from
        // the last row back, so no row is overwritten before it moved.
        for (std::size_t c = cols; c-- > 0;) {
            std::memmove(data + c * rows * w, data + c * cols * w, cols * w);
            std::memcpy(data + (c * rows + cols) * w, strip + c * r * w, r * w);
        }
    } else {
        // Wide: the last r columns become the last r rows.
        std::size_t const r = cols - rows;
        transposeInto(m, strip, rows * w, data + rows * w, cols * w, rows, r, buffers);
        transposeSquare(m, data, rows, cols * w, buffers);
        for (std::size_t i = 1; i < rows; ++i) std::memmove(data + i * rows * w, data + i * cols * w, rows * w);
        std::memcpy(data + rows * rows * w, strip, r * rows * w);
    }
}

// Elements wider than a tile buffer move one by one.
void transposeSquareWide(unsigned char* data, std::size_t n, std::size_t w)
{
    for (std::size_t y = 1; y < n; ++y)
        for (std::size_t x = 0; x < y; ++x)
            std::swap_ranges(data + (y * n + x) * w, data + (y * n + x + 1) * w, data + (x * n + y) * w);
}

void transposeIntoWide(unsigned char* dst, unsigned char const* src, std::size_t rows, std::size_t cols,
                       std::size_t w)
{
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < cols; ++c) std::memcpy(dst + (c * rows + r) * w, src + (r * cols + c) * w, w);
}

// Returns f(mover) with the mover for an element width: fixed widths for
// the scalar kinds and the tuples that match them (so that the tile sizes
// are constants), a run-time width otherwise.
template <class F>
long withMover(std::size_t w, F&& f)
{
    switch (w) {
    case 1: return f(Mover<1>{0});
    case 2: return f(Mover<2>{0});
    case 3: return f(Mover<3>{0});
    case 4: return f(Mover<4>{0});
    case 6: return f(Mover<6>{0});
    case 8: return f(Mover<8>{0});
    case 12: return f(Mover<12>{0});
    case 16: return f(Mover<16>{0});
    case 24: return f(Mover<24>{0});
    default: return f(Mover<0>{w});
    }
}

struct TransposeVisitor {
    DataVectorND<2>* vector;

    template <class T>
    long accept(T const&) const
    {
        auto& v = dynamic_cast<TDataVector2D<T>&>(*vector);
        std::size_t const d0 = v.getDimension(0), d1 = v.getDimension(1);
        std::size_t const w = sizeof(typename T::element_type) * v.getTupleLength();
        auto* data = static_cast<unsigned char*>(v.getDataPtr());
        TileBuffers buffers;
        if (d0 == d1) {
            if (!data || d0 < 2) return kSuccess;
            if (w > kTileBytes) return transposeSquareWide(data, d0, w), kSuccess;
            return withMover(w, [&](auto m) -> long {
                if (!buffers.obtain(squareBufferBytes(m.width(), d0))) return kErrOutOfMemory;
                transposeSquare(m, data, d0, d0 * w, buffers.data());
                return kSuccess;
            });
        }
        if (!v.isResizeable()) return kErrNotResizeable;
        typename TDataVector2D<T>::Index const target{unsigned(d1), unsigned(d0)};
        // A single row or column keeps its storage order.
        if (d0 <= 1 || d1 <= 1 || !data) return v.reshape(target), kSuccess;
        std::size_t const lo = std::min(d0, d1), hi = std::max(d0, d1);
        if (w <= kTileBytes && 4 * (hi - lo) <= hi) {
            // Near-square: in place, with a scratch block for the strip only.
            typename TDataVector2D<T>::Storage::storage_type strip;
            try {
                strip.resize((hi - lo) * lo * v.getTupleLength());
            } catch (std::bad_alloc const&) {
                return kErrOutOfMemory;
            }
            auto* s = reinterpret_cast<unsigned char*>(strip.data());
            long const status = withMover(w, [&](auto m) -> long {
                if (!buffers.obtain(inPlaceBufferBytes(m.width(), d1, d0))) return kErrOutOfMemory;
                transposeInPlace(m, data, d1, d0, s, buffers.data());
                return kSuccess;
            });
            if (status == kSuccess) v.reshape(target);
            return status;
        }
        typename TDataVector2D<T>::Storage::storage_type block;
        try {
            block.resize(d0 * d1 * v.getTupleLength());
        } catch (std::bad_alloc const&) {
            return kErrOutOfMemory;
        }
        auto* out = reinterpret_cast<unsigned char*>(block.data());
        long status = kSuccess;
        if (w > kTileBytes) {
            transposeIntoWide(out, data, d1, d0, w);
        } else {
            status = withMover(w, [&](auto m) -> long {
                if (!buffers.obtain(intoBufferBytes(m.width(), d0))) return kErrOutOfMemory;
                transposeInto(m, out, data, d1, d0, buffers.data());
                return kSuccess;
            });
        }
        if (status == kSuccess) v.reshape(target, &block);
        return status;
    }
};

}  // namespace

long transpose(DataVectorND<2>& vector)
{
    return vector.getDataType().applyVisitor(TransposeVisitor{&vector});
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_

#endif  // HWY_ONCE
