// Binary form of data vectors: a 28-byte header, then the values as one raw
// block or as a u32 length and a zlib stream (level 1).
#include <zlib.h>

#include "zorvsupport/datavector/DataVector.h"
#include "zorvsupport/datavector/DataVectorHeader.h"
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

// True when the header's element count and byte size fit the 32-bit rules
// of a vector's storage.
bool fitsStorage(DataVectorHeader const& header)
{
    unsigned long long elements = 1;
    for (int i = 0; i < header.m_numDimensions && i < 4; ++i)
        elements = elements * header.m_dims[i] > 0xFFFFFFFFull ? 0x100000000ull : elements * header.m_dims[i];
    return elements <= 0xFFFFFFFFull && header.declaredValueBytes() <= 0xFFFFFFFFull;
}

// True when the vector has the header's dimensions within its count (a
// created vector whose values could not be allocated has none).
bool hasDimensions(DataVector const& v, DataVectorHeader const& header)
{
    for (int i = 0; i < 4; ++i)
        if (v.getDimension(i) != (i < header.m_numDimensions ? header.m_dims[i] : 0u)) return false;
    return true;
}

// True when all four stored dimension fields equal the vector's (0 beyond
// its count), as reading into an existing vector requires.
bool matchesAllDimensions(DataVector const& v, DataVectorHeader const& header)
{
    for (int i = 0; i < 4; ++i)
        if (v.getDimension(i) != header.m_dims[i]) return false;
    return true;
}

}  // namespace

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
    if (header.m_type != getDataType()) return kErrVectorHeaderMismatch;
    if (header.m_numDimensions != getNumDimensions()) return kErrVectorHeaderMismatch;
    if (!m_resizeable) return kErrNotResizeable;
    // The record must be able to hold what it declares before anything is
    // allocated for it.
    if (long st = checkRecordFits(header, buffer)) return st;
    unsigned n = getNumDimensions();
    if (long st = resizeLastDimension(n >= 1 && n <= 4 ? header.m_dims[n - 1] : 0)) return st;
    if (!matchesAllDimensions(*this, header)) return kErrVectorHeaderMismatch;
    m_compression = static_cast<CompressionMethod>(header.m_compression);
    return readBinaryValues(buffer);
}

boost::shared_ptr<DataVector> DataVector::create(IOBuffer const& buffer, long& status)
{
    DataVectorHeader header;
    status = header.readFromBinary(buffer);
    if (status) return boost::shared_ptr<DataVector>();
    bool creatable = header.m_numDimensions >= 1 && header.m_numDimensions <= 4 &&
                     elementSizeOf(header.m_type.getType()) != 0;
    if (!creatable || !fitsStorage(header)) {
        status = kErrCannotCreateVector;
        return boost::shared_ptr<DataVector>();
    }
    if ((status = checkRecordFits(header, buffer))) return boost::shared_ptr<DataVector>();
    boost::shared_ptr<DataVector> v = header.createDataVector();
    if (!v) {
        status = kErrCannotCreateVector;
        return v;
    }
    if (!hasDimensions(*v, header)) {  // the values could not be allocated
        status = kErrOutOfMemory;
        return boost::shared_ptr<DataVector>();
    }
    status = v->readBinaryValues(buffer);
    if (status) return boost::shared_ptr<DataVector>();
    return v;
}

long DataVector::writeBinaryValues(IOBuffer& buffer) const
{
    if (!isKnownCompression(m_compression)) return kErrUnknownCompression;
    if (m_compression != kCompressionZlib) return buffer.write(*this);

    IOBuffer raw(getSizeInBytes(), buffer.getSwap(), IOBuffer::AllocatorHandle());
    if (long st = raw.write(*this)) return st;
    unsigned left = buffer.getSizeInBytes() - buffer.tell();
    uLongf room = left >= 4 ? left - 4 : 0;
    Bytef* dest = room ? buffer.getCurPtr() + 4 : buffer.getCurPtr();
    if (compress2(dest, &room, raw.getStartPtr(), raw.getSizeInBytes(), 1) != Z_OK) return kErrCompressFailed;
    unsigned length = static_cast<unsigned>(room);
    if (long st = buffer.write(length)) return st;
    return buffer.seek(buffer.tell() + length);
}

long DataVector::readBinaryValues(IOBuffer const& buffer)
{
    if (m_compression != kCompressionZlib) return buffer.read(*this);

    unsigned long long tempSize = static_cast<unsigned long long>(getSizeInBytes()) + getMaxCompressionOverhead();
    if (tempSize > 0xFFFFFFFFull) tempSize = 0xFFFFFFFFull;
    unsigned length = 0;
    if (long st = buffer.read(length)) return st;
    if (length > buffer.getSizeInBytes() - buffer.tell()) return kErrCompressedLengthTooLong;
    IOBuffer raw(static_cast<unsigned>(tempSize), buffer.getSwap(), IOBuffer::AllocatorHandle());
    uLongf produced = raw.getSizeInBytes();
    Bytef scratch = 0;  // uncompress wants a valid destination even for no bytes
    if (uncompress(produced ? raw.getStartPtr() : &scratch, &produced, buffer.getCurPtr(), length) != Z_OK)
        return kErrDecompressFailed;
    buffer.seek(buffer.tell() + length);
    return raw.read(*this);
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
