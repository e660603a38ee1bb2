#include "zorvsupport/types/IOUtils.h"

#include <limits>

#include "zorvsupport/platform/CoordConvert.h"
#include "zorvsupport/platform/ZELUNArray.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace IOUtils {

namespace {

constexpr unsigned long long kMaxUnsigned = std::numeric_limits<unsigned>::max();

// The stored bytes of a text: its UTF-8 form up to the first NUL.
std::string storedBytes(ZELUNUString const& text)
{
    std::string bytes = text.toUtf8();
    std::string::size_type nul = bytes.find('\0');
    if (nul != std::string::npos) bytes.resize(nul);
    return bytes;
}

unsigned saturated(unsigned long long size)
{
    return size > kMaxUnsigned ? static_cast<unsigned>(kMaxUnsigned) : static_cast<unsigned>(size);
}

long writeBytes(IOBuffer& buffer, char const* bytes, std::size_t n)
{
    // A count that does not fit in u32 could never fit in a buffer either.
    if (n > kMaxUnsigned - 4) return kErrBufferExhausted;
    unsigned count = static_cast<unsigned>(n);
    if (long st = buffer.write(count)) return st;
    return buffer.write(reinterpret_cast<unsigned char const*>(bytes), count);
}

// Reads and checks a stored count; on success the count's bytes are
// guaranteed to be in the buffer behind the position.
long readCount(IOBuffer const& buffer, unsigned& n)
{
    n = 0;
    long st = buffer.read(n);
    if (n > kMaxStoredStringBytes) return kErrStringTooLong;
    if (st) return st;
    if (!buffer.isSpaceAvailable(n)) return kErrBufferExhausted;
    return kSuccess;
}

}  // namespace

long writeToBinary(IOBuffer& buffer, ZELUNUString const& text)
{
    std::string bytes = storedBytes(text);
    return writeBytes(buffer, bytes.data(), bytes.size());
}

long readFromBinary(IOBuffer const& buffer, ZELUNUString& text)
{
    unsigned n = 0;
    if (long st = readCount(buffer, n)) return st;
    ZELUNArray<char> bytes(n);
    if (long st = buffer.read(reinterpret_cast<unsigned char*>(bytes.data()), n)) return st;
    text = ZELUNUString(bytes, "utf-8");
    return kSuccess;
}

unsigned int getSerializedSize(ZELUNUString const& text)
{
    return saturated(4ull + storedBytes(text).size());
}

long writeToBinary(IOBuffer& buffer, std::string const& text)
{
    return writeBytes(buffer, text.data(), text.size());
}

long readFromBinary(IOBuffer const& buffer, std::string& text)
{
    unsigned n = 0;
    if (long st = readCount(buffer, n)) return st;
    text.resize(n);
    return buffer.read(reinterpret_cast<unsigned char*>(text.data()), n);
}

unsigned int getSerializedSize(std::string const& text)
{
    return saturated(4ull + text.size());
}

long writeToBinary(IOBuffer& buffer, ZELUNCoordSystem const& system)
{
    ZELUNUString text;
    if (CoordConvert::coordToString(system, CoordConvert::kDefinitionFormat, text) == kSuccess)
        return writeToBinary(buffer, text);
    ZELUNUString first, second, third;
    if (long st = CoordConvert::coordToStrings(system, first, second, third)) return st;
    if (long st = writeToBinary(buffer, first)) return st;
    if (long st = writeToBinary(buffer, second)) return st;
    return writeToBinary(buffer, third);
}

long readFromBinary(IOBuffer const& buffer, ZELUNType<ZELUNCoordSystem>& holder)
{
    ZELUNUString first;
    if (long st = readFromBinary(buffer, first)) {
        holder.reset();
        return st;
    }
    unsigned behindFirst = buffer.tell();
    ZELUNUString second, third;
    long st;
    if (readFromBinary(buffer, second) == kSuccess && readFromBinary(buffer, third) == kSuccess) {
        st = CoordConvert::coordFromStrings(first, second, third, holder);
        if (st == kSuccess) return kSuccess;
        // The two texts may be the caller's own data behind a one-string
        // system (another system, a name, ...): a first text that is a whole
        // system on its own is taken as one.
        unsigned behindThird = buffer.tell();
        buffer.seek(behindFirst);
        if (CoordConvert::coordFromString(first, CoordConvert::kDefinitionFormat, holder) == kSuccess)
            return kSuccess;
        buffer.seek(behindThird);
    } else {
        // One-string form: whatever follows belongs to the caller.
        buffer.seek(behindFirst);
        st = CoordConvert::coordFromString(first, CoordConvert::kDefinitionFormat, holder);
    }
    if (st) holder.reset();
    return st;
}

unsigned int getSerializedSize(ZELUNCoordSystem const& system)
{
    ZELUNUString text;
    if (CoordConvert::coordToString(system, CoordConvert::kDefinitionFormat, text) == kSuccess)
        return getSerializedSize(text);
    ZELUNUString first, second, third;
    if (CoordConvert::coordToStrings(system, first, second, third) != kSuccess) return 0;
    return saturated(static_cast<unsigned long long>(getSerializedSize(first)) + getSerializedSize(second) +
                     getSerializedSize(third));
}

}  // namespace IOUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
