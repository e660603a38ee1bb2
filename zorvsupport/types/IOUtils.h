#pragma once

#include <string>

#include "zorvsupport/Export.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNType.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/types/IOBuffer.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Binary forms of texts and coordinate systems in an IOBuffer.
//
// A text is a u32 byte count n in the buffer's byte order followed by n
// bytes, never swapped and without terminator: for a ZELUNUString its UTF-8
// form up to (not including) its first NUL, for a std::string its characters
// as they are. Reading refuses a count above kMaxStoredStringBytes
// (kErrStringTooLong) and a count larger than the bytes left
// (kErrBufferExhausted), both before anything is allocated and with the four
// count bytes consumed; the target is then unchanged.
//
// A coordinate system is stored as the one-string text of
// CoordConvert::coordToString when it has one, else as the three texts of
// CoordConvert::coordToStrings; nothing marks which. Reading takes a second
// and a third text when both can be read and uses coordFromStrings; otherwise,
// or when coordFromStrings fails but the first text alone is a system
// (coordFromString), it puts the position back just behind the first text, so
// what the caller stored behind a one-string system is left to the caller.
// When both conversions fail after three texts were read, the status of
// coordFromStrings is returned and the three texts stay consumed; when only
// the first text could be read, the status of coordFromString. On failure the
// holder is left empty.
namespace IOUtils {

// Longest text a reader accepts, in bytes (16 MiB).
inline constexpr unsigned kMaxStoredStringBytes = 16777216u;

ZORV_EXPORT long writeToBinary(IOBuffer& buffer, ZELUNUString const& text);
ZORV_EXPORT long readFromBinary(IOBuffer const& buffer, ZELUNUString& text);
ZORV_EXPORT unsigned int getSerializedSize(ZELUNUString const& text);

ZORV_EXPORT long writeToBinary(IOBuffer& buffer, std::string const& text);
ZORV_EXPORT long readFromBinary(IOBuffer const& buffer, std::string& text);
ZORV_EXPORT unsigned int getSerializedSize(std::string const& text);

ZORV_EXPORT long writeToBinary(IOBuffer& buffer, ZELUNCoordSystem const& system);
ZORV_EXPORT long readFromBinary(IOBuffer const& buffer, ZELUNType<ZELUNCoordSystem>& holder);
// 0 when the system has neither text form.
ZORV_EXPORT unsigned int getSerializedSize(ZELUNCoordSystem const& system);

}  // namespace IOUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
