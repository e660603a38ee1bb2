#include "zorvsupport/platform/ZELUNUString.h"

#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <ostream>
#include <string>

#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/parsepos.h>

#include "zorvsupport/StatusCodes.h"

namespace {

using ZORV_3_13_0_::DataSet::kErrNumberToTextFailed;
using ZORV_3_13_0_::DataSet::kErrTextNotNumber;
using ZORV_3_13_0_::DataSet::kSuccess;

// The decimal format of the last pattern used on this thread, with the root
// locale's symbols. Building a format costs far more than using it, and the
// XML forms use one pattern for every element of a vector.
icu::DecimalFormat const* patternFormat(icu::UnicodeString const& pattern)
{
    struct Cache {
        icu::UnicodeString pattern;
        std::unique_ptr<icu::DecimalFormat> format;
    };
    thread_local Cache cache;
    if (cache.format && cache.pattern == pattern) return cache.format.get();
    cache.format.reset();
    UErrorCode status = U_ZERO_ERROR;
    icu::DecimalFormatSymbols symbols(icu::Locale::getRoot(), status);
    if (U_FAILURE(status)) return nullptr;
    // ICU's operator new returns null instead of throwing.
    std::unique_ptr<icu::DecimalFormat> format(new icu::DecimalFormat(pattern, symbols, status));
    if (!format || U_FAILURE(status)) return nullptr;
    cache.pattern = pattern;
    cache.format = std::move(format);
    return cache.format.get();
}

// Longest text parsed as a number: more than the real-number pattern ever
// writes and than any double needs. The decimal parser's time grows with the
// square of the length, so longer texts are refused before it sees them.
constexpr int32_t kMaxNumberTextLength = 1100;

// ISO-8859-1 text as UTF-16. A length the string class cannot hold (2^31
// units or more, or more than it can allocate) gives the bogus string: empty,
// with isBogus() true.
icu::UnicodeString latin1(char const* s, std::size_t n)
{
    icu::UnicodeString out;
    char16_t* buf = n <= std::size_t(INT32_MAX) ? out.getBuffer(static_cast<int32_t>(n)) : nullptr;
    if (!buf) {
        out.setToBogus();
        return out;
    }
    for (std::size_t i = 0; i < n; ++i) buf[i] = static_cast<unsigned char>(s[i]);
    out.releaseBuffer(static_cast<int32_t>(n));
    return out;
}

}  // namespace

ZELUNUString::ZELUNUString(char const* narrow)
    : icu::UnicodeString(narrow ? latin1(narrow, std::char_traits<char>::length(narrow)) : icu::UnicodeString())
{
}

ZELUNUString::ZELUNUString(std::string const& narrow) : icu::UnicodeString(latin1(narrow.data(), narrow.size())) {}

ZELUNUString::ZELUNUString(char const* bytes, int32_t length, char const* encoding)
    : icu::UnicodeString(bytes, length, encoding)
{
}

ZELUNUString::ZELUNUString(ZELUNArray<char> const& bytes, char const* encoding)
    : icu::UnicodeString(bytes.data(), static_cast<int32_t>(bytes.size()), encoding)
{
}

ZELUNUString::~ZELUNUString() = default;

ZELUNUString& ZELUNUString::operator=(ZELUNUString const& other)
{
    icu::UnicodeString::operator=(other);
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

ZELUNUString ZELUNUString::fromUtf8(char const* bytes, std::size_t length)
{
    if (length > std::size_t(INT32_MAX)) {
        ZELUNUString bogus;
        bogus.setToBogus();
        return bogus;
    }
    return ZELUNUString(icu::UnicodeString::fromUTF8(icu::StringPiece(bytes, static_cast<int32_t>(length))));
}

std::string ZELUNUString::toUtf8() const
{
    std::string out;
    toUTF8String(out);
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
    if (U_FAILURE(status) || out.isBogus()) return kErrNumberToTextFailed;
    icu::UnicodeString::operator=(out);
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
    // The parse reads the longest number it can; without a position to hand
    // back, anything left over makes the text no number.
    if (where.getErrorIndex() >= 0 || where.getIndex() == start) return 0.0;
    if (!pos && where.getIndex() != length()) return 0.0;
    UErrorCode err = U_ZERO_ERROR;
    double const value = result.getDouble(err);
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

namespace ZELUNPP_3_13_0 {

std::ostream& operator<<(std::ostream& os, ZELUNUString const& s)
{
    return os << s.toNarrow();
}

}  // namespace ZELUNPP_3_13_0
