#include "zorvsupport/platform/ZELUNUString.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
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
#include "zorvsupport/platform/MemoryProbe.h"
#include "zorvsupport/platform/ThreadSlot.h"

namespace {

using ZORV_3_13_0_::DataSet::kErrNumberToTextFailed;
using ZORV_3_13_0_::DataSet::kErrTextNotNumber;
using ZORV_3_13_0_::DataSet::kSuccess;

// ICU makes much of its process-wide state on first use and keeps a failure
// to make it for good (every later number format then fails, or ICU reads
// through a null locale table). That state is made here, when the library is
// loaded, so that a later shortage is only ever a passing one. Nothing that
// depends on the host's settings (default locale, time zone) is touched.
struct IcuWarmUp {
    IcuWarmUp()
    {
        UErrorCode status = U_ZERO_ERROR;
        icu::DecimalFormatSymbols symbols(icu::Locale::getRoot(), status);
        if (U_FAILURE(status)) return;
        std::unique_ptr<icu::DecimalFormat> format(new icu::DecimalFormat(u"0.0#", symbols, status));
        if (!format || U_FAILURE(status)) return;
        icu::UnicodeString text;
        icu::FieldPosition field;
        format->format(1.5, text, field, status);
        icu::Formattable result;
        icu::ParsePosition where(0);
        format->parse(text, result, where);
    }
};

IcuWarmUp const gIcuWarmUp;

// The decimal format of `pattern` with the root locale's symbols; null for a
// pattern ICU refuses. Throws std::bad_alloc when it cannot be made.
std::unique_ptr<icu::DecimalFormat> makeFormat(icu::UnicodeString const& pattern)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::DecimalFormatSymbols symbols(icu::Locale::getRoot(), status);
    if (status == U_MEMORY_ALLOCATION_ERROR) throw std::bad_alloc();
    if (U_FAILURE(status)) return nullptr;
    // ICU's operator new returns null instead of throwing.
    std::unique_ptr<icu::DecimalFormat> format(new icu::DecimalFormat(pattern, symbols, status));
    if (!format || status == U_MEMORY_ALLOCATION_ERROR) throw std::bad_alloc();
    if (U_FAILURE(status)) return nullptr;
    // ICU keeps the symbols in the formatter it builds, and loses them
    // without a status when their copy cannot be made (a parse would then
    // read through a null pointer).
    if (!format->getDecimalFormatSymbols()) throw std::bad_alloc();
    return format;
}

// Formatting: the decimal format of the last pattern used on a thread.
// Building a format costs far more than using it, and the XML forms use one
// pattern for every element of a vector.
struct FormatCache {
    icu::UnicodeString pattern;
    std::unique_ptr<icu::DecimalFormat> format;
};

ZELUNThread::ThreadSlot<FormatCache> gFormatCache;

// The thread's format of `pattern`; null for a pattern ICU refuses. Throws
// std::bad_alloc when the format or the thread's cache cannot be made.
icu::DecimalFormat const* threadFormat(icu::UnicodeString const& pattern)
{
    FormatCache* cache = gFormatCache.get();
    if (!cache) throw std::bad_alloc();
    if (cache->format && cache->pattern == pattern) return cache->format.get();
    cache->format.reset();
    std::unique_ptr<icu::DecimalFormat> format = makeFormat(pattern);
    if (!format) return nullptr;
    cache->pattern = pattern;
    if (cache->pattern.isBogus()) throw std::bad_alloc();
    cache->format = std::move(format);
    return cache->format.get();
}

// A format that ran short of memory while it formatted may keep that
// failure in its own state: the thread's next call builds a new one.
[[noreturn]] void dropThreadFormatAndThrow()
{
    if (FormatCache* cache = gFormatCache.find()) cache->format.reset();
    throw std::bad_alloc();
}

// Parsing: one format of the last pattern parsed, for the whole process,
// one parse at a time. ICU builds a format's parser on its first parse and
// writes through a null pointer when the parser cannot be allocated, which
// no status can stop; so parsers are few, each made once while memory is
// there (and the library's own pattern's when the library is loaded).
struct SharedParser {
    std::mutex mutex;
    icu::UnicodeString pattern;
    std::unique_ptr<icu::DecimalFormat> format;
};

SharedParser& sharedParser()
{
    static SharedParser parser;
    return parser;
}

// The shared format of `pattern` with its parser made; null for a pattern
// ICU refuses. Called with the mutex held. Throws std::bad_alloc when the
// format cannot be made, and while memory is short before its first parse.
icu::DecimalFormat const* parserFormat(SharedParser& shared, icu::UnicodeString const& pattern)
{
    if (shared.format && shared.pattern == pattern) return shared.format.get();
    shared.format.reset();
    std::unique_ptr<icu::DecimalFormat> format = makeFormat(pattern);
    if (!format) return nullptr;
    if (!ZELUNMemory::available()) throw std::bad_alloc();
    icu::Formattable probe;
    icu::ParsePosition at(0);
    format->parse(icu::UnicodeString(u'0'), probe, at);
    if (at.getIndex() != 1) throw std::bad_alloc();
    shared.pattern = pattern;
    if (shared.pattern.isBogus()) throw std::bad_alloc();
    shared.format = std::move(format);
    return shared.format.get();
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
    icu::DecimalFormat const* format = threadFormat(pattern);
    if (!format) return kErrNumberToTextFailed;
    // One text for every NaN, whatever its sign bit.
    if (std::isnan(value)) value = std::numeric_limits<double>::quiet_NaN();
    icu::UnicodeString out;
    icu::FieldPosition field;
    UErrorCode status = U_ZERO_ERROR;
    format->format(value, out, field, status);
    if (status == U_MEMORY_ALLOCATION_ERROR || (out.isBogus() && U_SUCCESS(status))) dropThreadFormatAndThrow();
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
    icu::Formattable result;
    icu::ParsePosition where(start);
    {
        SharedParser& shared = sharedParser();
        std::lock_guard<std::mutex> lock(shared.mutex);
        icu::DecimalFormat const* format = parserFormat(shared, pattern);
        if (!format) return 0.0;
        format->parse(*this, result, where);
    }
    // A parse that fails marks where; one that leaves the position alone and
    // marks nothing could not run (ICU's only sign of a shortage there).
    if (where.getErrorIndex() < 0 && where.getIndex() == start && start < length()) throw std::bad_alloc();
    // The parse reads the longest number it can; without a position to hand
    // back, anything left over makes the text no number.
    if (where.getErrorIndex() >= 0 || where.getIndex() == start) return 0.0;
    if (!pos && where.getIndex() != length()) return 0.0;
    // ICU hands a parsed number over in a decimal quantity it allocates
    // (NaN, the infinities and -0.0 are set as doubles); when that copy
    // fails the result silently stays 0.
    if (result.getType() != icu::Formattable::kDouble && !result.getDecimalQuantity()) throw std::bad_alloc();
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
