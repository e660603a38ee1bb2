#include "zorvsupport/platform/ZELUNUString.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <ostream>
#include <string>

#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/parsepos.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ThreadSlot.h"

namespace {

using ZORV_3_13_0_::DataSet::kErrNumberToTextFailed;
using ZORV_3_13_0_::DataSet::kErrTextNotNumber;
using ZORV_3_13_0_::DataSet::kSuccess;

// The decimal format of the last pattern used on a thread, with the root
// locale's symbols. Building a format costs far more than using it, and the
// XML forms use one pattern for every element of a vector.
struct FormatCache {
    icu::UnicodeString pattern;
    std::unique_ptr<icu::DecimalFormat> format;
};

ZELUNThread::ThreadSlot<FormatCache> gFormatCache;

// The thread's format of `pattern`; null for a pattern ICU refuses. Throws
// std::bad_alloc when the format or the thread's cache cannot be made.
icu::DecimalFormat const* patternFormat(icu::UnicodeString const& pattern)
{
    FormatCache* cache = gFormatCache.get();
    if (!cache) throw std::bad_alloc();
    if (cache->format && cache->pattern == pattern) return cache->format.get();
    cache->format.reset();
    UErrorCode status = U_ZERO_ERROR;
    icu::DecimalFormatSymbols symbols(icu::Locale::getRoot(), status);
    if (status == U_MEMORY_ALLOCATION_ERROR) throw std::bad_alloc();
    if (U_FAILURE(status)) return nullptr;
    // ICU's operator new returns null instead of throwing.
    std::unique_ptr<icu::DecimalFormat> format(new icu::DecimalFormat(pattern, symbols, status));
    if (!format || status == U_MEMORY_ALLOCATION_ERROR) throw std::bad_alloc();
    if (U_FAILURE(status)) return nullptr;
    cache->pattern = pattern;
    if (cache->pattern.isBogus()) throw std::bad_alloc();
    cache->format = std::move(format);
    return cache->format.get();
}

// Longest text parsed as a number: more than the real-number pattern ever
// writes and than any double needs. The decimal parser's time grows with the
// square of the length, so longer texts are refused before it sees them.
constexpr int32_t kMaxNumberTextLength = 1100;

// `copy` came out bogus from a source that was not: ICU found no memory.
void checkCopy(icu::UnicodeString const& copy, icu::UnicodeString const& source)
{
    if (copy.isBogus() && !source.isBogus()) throw std::bad_alloc();
}

// A writable buffer of n units for `out`; n of 2^31 or more gives null.
// Throws std::bad_alloc when the buffer cannot be had.
char16_t* unitBuffer(icu::UnicodeString& out, std::size_t n)
{
    if (n > std::size_t(INT32_MAX)) return nullptr;
    char16_t* buf = out.getBuffer(static_cast<int32_t>(n));
    if (!buf) throw std::bad_alloc();
    return buf;
}

// ISO-8859-1 text as UTF-16; 2^31 units or more give the bogus string.
icu::UnicodeString latin1(char const* s, std::size_t n)
{
    icu::UnicodeString out;
    char16_t* buf = unitBuffer(out, n);
    if (!buf) {
        out.setToBogus();
        return out;
    }
    for (std::size_t i = 0; i < n; ++i) buf[i] = static_cast<unsigned char>(s[i]);
    out.releaseBuffer(static_cast<int32_t>(n));
    return out;
}

// UTF-8 bytes as UTF-16, ill-formed sequences replaced by U+FFFD; 2^31
// bytes or more give the bogus string.
icu::UnicodeString utf8(char const* bytes, std::size_t n)
{
    icu::UnicodeString out;
    // The UTF-16 text has at most as many units as there are bytes.
    char16_t* buf = unitBuffer(out, n);
    if (!buf) {
        out.setToBogus();
        return out;
    }
    int32_t units = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(buf, out.getCapacity(), &units, n ? bytes : "", static_cast<int32_t>(n), 0xFFFD, nullptr,
                         &status);
    out.releaseBuffer(U_SUCCESS(status) ? units : 0);
    if (U_FAILURE(status)) out.setToBogus();
    return out;
}

bool isUtf8Name(char const* encoding)
{
    return encoding && (std::strcmp(encoding, "utf-8") == 0 || std::strcmp(encoding, "UTF-8") == 0 ||
                        std::strcmp(encoding, "utf8") == 0 || std::strcmp(encoding, "UTF8") == 0);
}

// Bytes in a named encoding; an encoding ICU does not know (or a length of
// 2^31 or more) gives the bogus string.
icu::UnicodeString decoded(char const* bytes, std::size_t n, char const* encoding)
{
    if (isUtf8Name(encoding)) return utf8(bytes, n);
    icu::UnicodeString out;
    if (n > std::size_t(INT32_MAX)) {
        out.setToBogus();
        return out;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, void (*)(UConverter*)> converter(ucnv_open(encoding, &status), ucnv_close);
    if (status == U_MEMORY_ALLOCATION_ERROR) throw std::bad_alloc();
    if (U_FAILURE(status) || !converter) {
        out.setToBogus();
        return out;
    }
    icu::UnicodeString text(n ? bytes : "", static_cast<int32_t>(n), converter.get(), status);
    if (status == U_MEMORY_ALLOCATION_ERROR || (text.isBogus() && U_SUCCESS(status))) throw std::bad_alloc();
    if (U_FAILURE(status)) text.setToBogus();
    return text;
}

}  // namespace

ZELUNUString::ZELUNUString(char const* narrow)
    : icu::UnicodeString(narrow ? latin1(narrow, std::char_traits<char>::length(narrow)) : icu::UnicodeString())
{
}

ZELUNUString::ZELUNUString(std::string const& narrow) : icu::UnicodeString(latin1(narrow.data(), narrow.size())) {}

ZELUNUString::ZELUNUString(char const* bytes, int32_t length, char const* encoding)
    : icu::UnicodeString(decoded(bytes, length > 0 ? std::size_t(length) : 0, encoding))
{
}

ZELUNUString::ZELUNUString(ZELUNArray<char> const& bytes, char const* encoding)
    : icu::UnicodeString(decoded(bytes.data(), bytes.size(), encoding))
{
}

ZELUNUString::ZELUNUString(icu::UnicodeString const& other) : icu::UnicodeString(other)
{
    checkCopy(*this, other);
}

ZELUNUString::ZELUNUString(ZELUNUString const& other) : icu::UnicodeString(other)
{
    checkCopy(*this, other);
}

ZELUNUString::~ZELUNUString() = default;

ZELUNUString& ZELUNUString::operator=(ZELUNUString const& other)
{
    icu::UnicodeString::operator=(other);
    checkCopy(*this, other);
    return *this;
}

ZELUNUString& ZELUNUString::operator=(ZELUNUString&& other) noexcept
{
    icu::UnicodeString::operator=(std::move(other));
    return *this;
}

ZELUNUString& ZELUNUString::operator=(char const* narrow)
{
    return *this = ZELUNUString(narrow);
}

ZELUNUString& ZELUNUString::append(icu::UnicodeString const& text)
{
    bool const wasBogus = isBogus();
    icu::UnicodeString::append(text);
    if (isBogus() && !wasBogus) throw std::bad_alloc();
    return *this;
}

ZELUNUString& ZELUNUString::append(char16_t unit)
{
    bool const wasBogus = isBogus();
    icu::UnicodeString::append(unit);
    if (isBogus() && !wasBogus) throw std::bad_alloc();
    return *this;
}

ZELUNUString& ZELUNUString::setTo(char16_t unit)
{
    icu::UnicodeString::setTo(unit);
    if (isBogus()) throw std::bad_alloc();
    return *this;
}

void ZELUNUString::extract(int32_t start, int32_t length, ZELUNUString& target) const
{
    icu::UnicodeString::extract(start, length, static_cast<icu::UnicodeString&>(target));
    if (target.isBogus() && !isBogus()) throw std::bad_alloc();
}

ZELUNUString ZELUNUString::fromUtf8(char const* bytes, std::size_t length)
{
    return ZELUNUString(utf8(bytes, length));
}

std::string ZELUNUString::toUtf8() const
{
    std::string out;
    if (isEmpty()) return out;
    // Unpaired surrogates become U+FFFD, as ICU's own conversion does.
    int32_t bytes = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(nullptr, 0, &bytes, getBuffer(), length(), 0xFFFD, nullptr, &status);
    out.resize(static_cast<std::size_t>(bytes));
    status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), bytes, &bytes, getBuffer(), length(), 0xFFFD, nullptr, &status);
    return out;
}

std::string ZELUNUString::toNarrow() const
{
    std::string out(static_cast<std::size_t>(length()), '\0');
    for (int32_t i = 0; i < length(); ++i) {
        char16_t u = charAt(i);
        out[static_cast<std::size_t>(i)] = u <= 0xFF ? static_cast<char>(u) : '?';
    }
    return out;
}

bool ZELUNUString::isNarrow() const
{
    for (int32_t i = 0; i < length(); ++i)
        if (charAt(i) > 0xFF) return false;
    return true;
}

char const* ZELUNUString::c_str() const
{
    m_cache = toNarrow();
    return m_cache.c_str();
}

char const* ZELUNUString::utf_8() const
{
    m_cache = toUtf8();
    return m_cache.c_str();
}

long ZELUNUString::formatPattern(double value, ZELUNUString const& pattern, bool)
{
    icu::DecimalFormat const* format = patternFormat(pattern);
    if (!format) return kErrNumberToTextFailed;
    // One text for every NaN, whatever its sign bit.
    if (std::isnan(value)) value = std::numeric_limits<double>::quiet_NaN();
    icu::UnicodeString out;
    icu::FieldPosition field;
    UErrorCode status = U_ZERO_ERROR;
    format->format(value, out, field, status);
    if (status == U_MEMORY_ALLOCATION_ERROR || (out.isBogus() && U_SUCCESS(status))) throw std::bad_alloc();
    if (U_FAILURE(status) || out.isBogus()) return kErrNumberToTextFailed;
    *this = ZELUNUString(out);
    return kSuccess;
}

double ZELUNUString::parsePattern(ZELUNUString const& pattern, long& status, int* pos, bool) const
{
    status = kErrTextNotNumber;
    int32_t const start = pos ? *pos : 0;
    if (start < 0 || start > length()) return 0.0;
    if (length() - start > kMaxNumberTextLength) return 0.0;
    icu::DecimalFormat const* format = patternFormat(pattern);
    if (!format) return 0.0;
    icu::Formattable result;
    icu::ParsePosition where(start);
    format->parse(*this, result, where);
    // A parse that fails marks where; one that leaves the position alone and
    // marks nothing could not run (ICU has no other way of telling that its
    // parser could not be made for want of memory).
    if (where.getErrorIndex() < 0 && where.getIndex() == start && start < length()) throw std::bad_alloc();
    // The parse reads the longest number it can; without a position to hand
    // back, anything left over makes the text no number.
    if (where.getErrorIndex() >= 0 || where.getIndex() == start) return 0.0;
    if (!pos && where.getIndex() != length()) return 0.0;
    UErrorCode err = U_ZERO_ERROR;
    double const value = result.getDouble(err);
    if (err == U_MEMORY_ALLOCATION_ERROR) throw std::bad_alloc();
    if (U_FAILURE(err)) return 0.0;
    if (pos) *pos = where.getIndex();
    status = kSuccess;
    return value;
}

long ZELUNUString::formatLong(int value, bool)
{
    *this = ZELUNUString(std::to_string(value));
    return kSuccess;
}

int ZELUNUString::parseLong(long& status, int* pos, bool) const
{
    status = kErrTextNotNumber;
    int32_t i = pos ? *pos : 0;
    int32_t const n = length();
    if (i < 0 || i > n) return 0;
    bool negative = false;
    if (i < n && (charAt(i) == u'-' || charAt(i) == u'+')) {
        negative = charAt(i) == u'-';
        ++i;
    }
    int32_t const firstDigit = i;
    // Magnitude up to 2^31 (the most negative int); stops growing beyond it.
    constexpr long long kLimit = 2147483648LL;
    long long magnitude = 0;
    for (; i < n && charAt(i) >= u'0' && charAt(i) <= u'9'; ++i) {
        magnitude = magnitude * 10 + (charAt(i) - u'0');
        if (magnitude > kLimit) return 0;
    }
    if (i == firstDigit) return 0;
    if (!pos && i != n) return 0;
    if (!negative && magnitude == kLimit) return 0;
    if (pos) *pos = i;
    status = kSuccess;
    return static_cast<int>(negative ? -magnitude : magnitude);
}

ZELUNUString operator+(ZELUNUString const& a, ZELUNUString const& b)
{
    ZELUNUString sum(a);
    sum.append(b);
    return sum;
}

namespace ZELUNPP_3_13_0 {

std::ostream& operator<<(std::ostream& os, ZELUNUString const& s)
{
    return os << s.toNarrow();
}

}  // namespace ZELUNPP_3_13_0
