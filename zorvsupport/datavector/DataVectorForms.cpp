// Binary form of data vectors: a 28-byte header, then the values as one raw
// block or as a u32 length and a zlib stream (level 1).
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <zlib.h>

#include "zorvsupport/datavector/DataVector.h"
#include "zorvsupport/datavector/DataVectorHeader.h"
#include "zorvsupport/datavector/VectorReading.h"
#include "zorvsupport/types/ByteSwap.h"
#include "zorvsupport/types/IOBuffer.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

// Deflate never expands a stream's input by more than about 1032:1, so a
// stored stream of n bytes cannot inflate to more than this.
constexpr unsigned long long kMaxInflateRatio = 1032;

bool isKnownCompression(CompressionMethod m)
{
    return m == kCompressionNone || m == kCompressionZlib;
}

// What a record behind a header can at most hold, given the bytes left.
// Returns 0 when the declared values are plausible, else the status.
long checkRecordFits(DataVectorHeader const& header, IOBuffer const& buffer)
{
    unsigned long long bytes = header.declaredValueBytes();
    unsigned long long left = buffer.getSizeInBytes() - buffer.tell();
    if (header.m_compression == kCompressionZlib) {
        if (left < 4) return kErrBufferExhausted;  // not even the stream length
        if (bytes > (left - 4) * kMaxInflateRatio) return kErrDecompressFailed;
        return kSuccess;
    }
    return bytes > left ? kErrBufferExhausted : kSuccess;
}

// Deflates `bytes` at `src` at level 1 into out[0..room) as one zlib stream,
// reversing every `width`-byte component on the way when `swap` is set
// (through a small scratch block, so the values are never copied whole).
// Returns true and the stream length on success; false when zlib fails or
// the stream does not fit.
bool deflateValues(unsigned char const* src, std::size_t bytes, bool swap, unsigned width, unsigned char* out,
                   std::size_t room, std::size_t& produced)
{
    constexpr std::size_t kChunk = 1 << 16;  // a multiple of every component width
    if (!out || room == 0) return false;     // not even room for the stream header
    z_stream zs{};
    if (deflateInit(&zs, 1) != Z_OK) return false;
    std::vector<unsigned char> scratch(swap && width > 1 ? kChunk : 0);
    zs.next_out = out;
    zs.avail_out = static_cast<uInt>(room);
    std::size_t done = 0;
    int ret = Z_OK;
    do {
        std::size_t chunk = scratch.empty() ? bytes - done : std::min(kChunk, bytes - done);
        if (!scratch.empty()) {
            byteSwapCopy(scratch.data(), src + done, chunk, width);
            zs.next_in = scratch.data();
        } else {
            zs.next_in = const_cast<Bytef*>(chunk ? src + done : nullptr);
        }
        zs.avail_in = static_cast<uInt>(chunk);
        done += chunk;
        bool last = done == bytes;
        ret = deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
        if (!last && zs.avail_in != 0) ret = Z_BUF_ERROR;  // out of room
        if (ret != Z_OK && ret != Z_STREAM_END) break;
    } while (done < bytes);
    produced = zs.total_out;
    deflateEnd(&zs);
    return ret == Z_STREAM_END;
}

// Inflates a zlib stream into dst[0..cap); up to `spill` further bytes are
// accepted and dropped, as a reader into a slightly larger temporary would.
bool inflateValues(unsigned char const* src, unsigned length, unsigned char* dst, std::size_t cap, std::size_t spill,
                   std::size_t* produced = nullptr)
{
    z_stream zs{};
    zs.next_in = const_cast<Bytef*>(src);
    zs.avail_in = length;
    if (inflateInit(&zs) != Z_OK) return false;
    int ret = Z_BUF_ERROR;
    if (dst && cap) {
        zs.next_out = dst;
        zs.avail_out = static_cast<uInt>(cap);
        ret = inflate(&zs, Z_FINISH);
    }
    if (produced) *produced = cap - zs.avail_out;
    if (ret != Z_STREAM_END && zs.avail_out == 0 && spill) {
        std::vector<unsigned char> extra(spill);
        zs.next_out = extra.data();
        zs.avail_out = static_cast<uInt>(spill);
        ret = inflate(&zs, Z_FINISH);
    }
    inflateEnd(&zs);
    return ret == Z_STREAM_END;
}

// Copies n value bytes, reversing every `width`-byte component when `swap`
// is set. The ranges must not overlap.
void transferValues(unsigned char* dst, unsigned char const* src, std::size_t n, bool swap, unsigned width)
{
    if (n == 0) return;
    if (swap)
        byteSwapCopy(dst, src, n, width);
    else
        std::memcpy(dst, src, n);
}

unsigned componentWidthOf(DataVector const& vector)
{
    return componentSizeOf(vector.getDataType().getType());
}

}  // namespace

long IOBuffer::write(DataVector const& vector)
{
    unsigned n = vector.getElementsSizeInBytes(vector.size());
    if (!isSpaceAvailable(n)) return kErrBufferExhausted;
    if (n == 0) return kSuccess;
    transferValues(getCurPtr(), static_cast<unsigned char const*>(vector.getConstDataPtr()), n, getSwap(),
                   componentWidthOf(vector));
    return seek(tell() + n);
}

long IOBuffer::read(DataVector& vector) const
{
    unsigned n = vector.getElementsSizeInBytes(vector.size());
    if (!isSpaceAvailable(n)) return kErrBufferExhausted;
    if (n == 0) return kSuccess;
    transferValues(static_cast<unsigned char*>(vector.getDataPtr()), getCurPtr(), n, getSwap(),
                   componentWidthOf(vector));
    return seek(tell() + n);
}

unsigned DataVector::getMaxCompressionOverhead() const
{
    if (m_compression != kCompressionZlib) return 0;
    unsigned bytes = getSizeInBytes();
    return bytes / 1000 + (bytes % 1000 ? 1 : 0) + 16;
}

unsigned DataVector::getHeaderSizeInBytes() const
{
    return DataType().getSerializedSize() + getMaxCompressionOverhead() + 20;
}

long DataVector::writeToBinary(IOBuffer& buffer) const
{
    // A method no reader accepts is refused before anything is written.
    if (!isKnownCompression(m_compression)) return kErrUnknownCompression;
    if (long st = DataVectorHeader(*this).writeToBinary(buffer)) return st;
    return writeBinaryValues(buffer);
}

long DataVector::readFromBinary(IOBuffer const& buffer)
{
    DataVectorHeader header;
    if (long st = header.readFromBinary(buffer)) return st;
    if (long st = detail::adoptHeader(*this, header, [&] { return checkRecordFits(header, buffer); })) return st;
    m_compression = static_cast<CompressionMethod>(header.m_compression);
    return readBinaryValues(buffer);
}

boost::shared_ptr<DataVector> DataVector::create(IOBuffer const& buffer, long& status)
{
    boost::shared_ptr<DataVector> none;
    DataVectorHeader header;
    if ((status = header.readFromBinary(buffer))) return none;
    boost::shared_ptr<DataVector> v =
        detail::createFromHeader(header, status, [&] { return checkRecordFits(header, buffer); });
    if (!v) return none;
    if ((status = v->readFreshBinaryValues(buffer))) return none;
    return v;
}

long DataVector::writeBinaryValues(IOBuffer& buffer) const
{
    if (!isKnownCompression(m_compression)) return kErrUnknownCompression;
    if (m_compression != kCompressionZlib) return buffer.write(*this);

    unsigned left = buffer.getSizeInBytes() - buffer.tell();
    std::size_t length = 0;
    if (!deflateValues(static_cast<unsigned char const*>(getConstDataPtr()), getSizeInBytes(), buffer.getSwap(),
                       componentSizeOf(getDataType().getType()), left > 4 ? buffer.getCurPtr() + 4 : nullptr, left > 4 ? left - 4 : 0,
                       length))
        return kErrCompressFailed;
    unsigned stored = static_cast<unsigned>(length);
    if (long st = buffer.write(stored)) return st;
    return buffer.seek(buffer.tell() + stored);
}

long DataVector::readBinaryValues(IOBuffer const& buffer)
{
    if (m_compression != kCompressionZlib) return buffer.read(*this);

    unsigned length = 0;
    if (long st = buffer.read(length)) return st;
    if (length > buffer.getSizeInBytes() - buffer.tell()) return kErrCompressedLengthTooLong;
    // Inflate aside, so that a damaged stream leaves the values unchanged; a
    // stream that ends early leaves the rest 0, extra bytes up to the
    // compression overhead are dropped.
    std::size_t bytes = getSizeInBytes();
    std::unique_ptr<unsigned char[]> raw(new unsigned char[bytes ? bytes : 1]);
    std::size_t produced = 0;
    if (!inflateValues(buffer.getCurPtr(), length, raw.get(), bytes, getMaxCompressionOverhead(), &produced))
        return kErrDecompressFailed;
    buffer.seek(buffer.tell() + length);
    if (produced < bytes) std::memset(raw.get() + produced, 0, bytes - produced);
    if (bytes == 0) return kSuccess;
    transferValues(static_cast<unsigned char*>(getDataPtr()), raw.get(), bytes, buffer.getSwap(),
                   componentWidthOf(*this));
    return kSuccess;
}

long DataVector::readFreshBinaryValues(IOBuffer const& buffer)
{
    if (m_compression != kCompressionZlib) return buffer.read(*this);
    unsigned length = 0;
    if (long st = buffer.read(length)) return st;
    if (length > buffer.getSizeInBytes() - buffer.tell()) return kErrCompressedLengthTooLong;
    auto* values = static_cast<unsigned char*>(getDataPtr());
    unsigned bytes = getSizeInBytes();
    if (!inflateValues(buffer.getCurPtr(), length, values, bytes, getMaxCompressionOverhead()))
        return kErrDecompressFailed;
    buffer.seek(buffer.tell() + length);
    if (buffer.getSwap()) byteSwapBlock(values, bytes, componentSizeOf(getDataType().getType()));
    return kSuccess;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
