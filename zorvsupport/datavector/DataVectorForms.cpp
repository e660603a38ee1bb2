// Binary form of data vectors: a 28-byte header, then the values as one raw
// block or as a u32 length and a zlib stream (level 1), and the buffer's
// block transfers of a vector's values.
#include <cstring>
#include <new>

#include "zorvsupport/datavector/DataVector.h"
#include "zorvsupport/datavector/DataVectorHeader.h"
#include "zorvsupport/datavector/LargeBlocks.h"
#include "zorvsupport/datavector/VectorReading.h"
#include "zorvsupport/datavector/ZlibStreams.h"
#include "zorvsupport/types/ByteSwap.h"
#include "zorvsupport/types/IOBuffer.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

// No deflate stream inflates to more than 1032 times its length; the zlib
// header and check value and the shortest streams get a fixed allowance.
constexpr unsigned long long kMaxInflateRatio = 1032;
constexpr unsigned long long kInflateAllowance = 64;

bool isKnownCompression(CompressionMethod m)
{
    return m == kCompressionNone || m == kCompressionZlib;
}

// Reads the length of the zlib stream behind it and checks that the stream
// lies within the buffer; the position is then at the stream.
long readStreamLength(IOBuffer const& buffer, unsigned& length)
{
    if (long st = buffer.read(length)) return st;
    return length > buffer.getSizeInBytes() - buffer.tell() ? kErrCompressedLengthTooLong : kSuccess;
}

// What a record behind a header can at most hold, decided before anything
// is allocated for it: raw values must be in the buffer, and a zlib stream
// must lie in the buffer and be long enough to inflate to the declared
// values. Returns 0 when the record is plausible, else the status the value
// read would give, with the position where that read would leave it.
long checkRecordFits(DataVectorHeader const& header, IOBuffer const& buffer)
{
    unsigned long long bytes = header.declaredValueBytes();
    if (header.m_compression != kCompressionZlib)
        return bytes > buffer.getSizeInBytes() - buffer.tell() ? kErrBufferExhausted : kSuccess;
    unsigned const start = buffer.tell();
    unsigned length = 0;
    if (long st = readStreamLength(buffer, length)) return st;
    if (bytes > length * kMaxInflateRatio + kInflateAllowance) return kErrDecompressFailed;
    return buffer.seek(start);  // the value read takes the length again
}

// A zero-filled block of scratch bytes for one call: the uncompressed
// values of a zlib read, or the swapped values of a zlib write. Large
// blocks come from huge pages, whose fresh pages are zero without a pass.
class ScratchBlock {
public:
    // Throws std::bad_alloc when the block cannot be had.
    explicit ScratchBlock(std::size_t bytes)
        : m_bytes(bytes ? bytes : 1), m_data(static_cast<unsigned char*>(detail::allocateZeroedBlock(m_bytes)))
    {
    }
    ~ScratchBlock() { detail::freeZeroedBlock(m_data, m_bytes); }
    ScratchBlock(ScratchBlock const&) = delete;
    ScratchBlock& operator=(ScratchBlock const&) = delete;

    unsigned char* data() const { return m_data; }

private:
    std::size_t m_bytes;
    unsigned char* m_data;
};

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

    // The stream goes 4 bytes behind the position, into the rest of the
    // buffer; the values are deflated in the buffer's byte order.
    unsigned left = buffer.getSizeInBytes() - buffer.tell();
    std::size_t room = left > 4 ? left - 4 : 0;
    unsigned char* out = room ? buffer.getCurPtr() + 4 : nullptr;
    std::size_t bytes = getSizeInBytes();
    auto const* values = static_cast<unsigned char const*>(getConstDataPtr());
    std::size_t length = 0;
    unsigned width = componentWidthOf(*this);
    if (buffer.getSwap() && width > 1 && bytes) {
        ScratchBlock swapped(bytes);
        byteSwapCopy(swapped.data(), values, bytes, width);
        length = detail::deflateZlibStream(swapped.data(), bytes, out, room);
    } else {
        length = detail::deflateZlibStream(values, bytes, out, room);
    }
    if (length == 0) return kErrCompressFailed;
    unsigned stored = static_cast<unsigned>(length);
    if (long st = buffer.write(stored)) return st;
    return buffer.seek(buffer.tell() + stored);
}

long DataVector::readBinaryValues(IOBuffer const& buffer)
{
    if (m_compression != kCompressionZlib) return buffer.read(*this);

    unsigned length = 0;
    if (long st = readStreamLength(buffer, length)) return st;
    // Inflate aside and copy in only on success, so that a damaged stream
    // leaves the values as they were. The scratch block has the room of the
    // values and the compression overhead: a stream that ends early leaves
    // the rest 0, extra bytes up to the overhead are dropped.
    std::size_t bytes = getSizeInBytes();
    ScratchBlock raw(bytes + getMaxCompressionOverhead());
    std::size_t produced = 0;
    if (detail::inflateZlibStream(buffer.getCurPtr(), length, raw.data(), bytes + getMaxCompressionOverhead(),
                                  produced) != detail::InflateResult::kDone)
        return kErrDecompressFailed;
    buffer.seek(buffer.tell() + length);
    transferValues(static_cast<unsigned char*>(getDataPtr()), raw.data(), bytes, buffer.getSwap(),
                   componentWidthOf(*this));
    return kSuccess;
}

long DataVector::readFreshBinaryValues(IOBuffer const& buffer)
{
    if (m_compression != kCompressionZlib) return buffer.read(*this);
    unsigned length = 0;
    if (long st = readStreamLength(buffer, length)) return st;
    // Straight into the new values; a stream that ends early leaves the rest 0. One that is longer than the values goes again through a
    // scratch block with the room of the compression overhead.
    auto* values = static_cast<unsigned char*>(getDataPtr());
    std::size_t bytes = getSizeInBytes();
    std::size_t produced = 0;
    detail::InflateResult result = detail::inflateZlibStream(buffer.getCurPtr(), length, values, bytes, produced);
    if (result == detail::InflateResult::kNoRoom) {
        std::size_t room = bytes + getMaxCompressionOverhead();
        ScratchBlock raw(room);
        result = detail::inflateZlibStream(buffer.getCurPtr(), length, raw.data(), room, produced);
        if (result == detail::InflateResult::kDone && bytes) std::memcpy(values, raw.data(), bytes);
    }
    if (result != detail::InflateResult::kDone) return kErrDecompressFailed;
    buffer.seek(buffer.tell() + length);
    if (buffer.getSwap() && bytes) byteSwapBlock(values, bytes, componentWidthOf(*this));
    return kSuccess;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
