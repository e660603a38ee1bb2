#include "zorvsupport/platform/ZELUNUString.h"

#include <climits>
#include <cstdint>
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

namespace {

using ZORV_3_13_0_::DataSet::kErrNumberToTextFailed;
using ZORV_3_13_0_::DataSet::kErrTextNotNumber;
using ZORV_3_13_0_::DataSet::kSuccess;

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

// The formats in use, shared by the whole process and used one call at a
// time. ICU builds parts of a format on its first uses: the parser on the
// first parse, and a compiled formatter on the third formatting. A part
// that cannot be allocated there makes ICU write through a null pointer,
// then or in a later call, and no status tells. So formats are few and
// shared, and each is made ready in full (both parts built, while memory is
// there) before it is used; the library's own pattern is made ready when
// the library is loaded.
struct SharedFormats {
    static constexpr std::size_t kFormats = 4;
    struct Entry {
        icu::UnicodeString pattern;
        std::unique_ptr<icu::DecimalFormat> format;
        std::uint64_t lastUse = 0;
    };
    std::mutex mutex;
    Entry entries[kFormats];
    std::uint64_t clock = 0;
};

SharedFormats& sharedFormats()
{
    static SharedFormats formats;
    return formats;
}

// Builds the parts of a new format; false when memory ran short on the way.
bool makeReady(icu::DecimalFormat const& format)
{
    if (!ZELUNMemory::available()) return false;
    icu::Formattable parsed;
    icu::ParsePosition at(0);
    format.parse(icu::UnicodeString(u'0'), parsed, at);
    if (at.getIndex() != 1) return false;
    icu::UnicodeString first;
    for (int i = 0; i < 4; ++i) {
        if (!ZELUNMemory::available()) return false;
        icu::UnicodeString text;
        icu::FieldPosition field;
        UErrorCode status = U_ZERO_ERROR;
        format.format(1.5, text, field, status);
        if (U_FAILURE(status) || text.isBogus() || text.isEmpty() || (i > 0 && text != first)) return false;
        if (i == 0) first = text;
    }
    return ZELUNMemory::available();
}

// The ready format of `pattern`; null for a pattern ICU refuses. Called with
// the mutex held. Throws std::bad_alloc when it cannot be made ready.
icu::DecimalFormat const* readyFormat(SharedFormats& shared, icu::UnicodeString const& pattern)
{
    SharedFormats::Entry* slot = &shared.entries[0];
    for (SharedFormats::Entry& e : shared.entries) {
        if (e.format && e.pattern == pattern) {
            e.lastUse = ++shared.clock;
            return e.format.get();
        }
        if (e.lastUse < slot->lastUse) slot = &e;
    }
    std::unique_ptr<icu::DecimalFormat> format = makeFormat(pattern);
    if (!format) return nullptr;
    if (!makeReady(*format)) throw std::bad_alloc();
    slot->format.reset();
    slot->pattern = pattern;
    if (slot->pattern.isBogus()) throw std::bad_alloc();
    slot->format = std::move(format);
    slot->lastUse = ++shared.clock;
    return slot->format.get();
}

// ICU makes much of its process-wide state on first use and keeps a failure
// to make it for good (every later number format then fails, or ICU reads
// through a null locale table). That state is made here, when the library is
// loaded, so that a later shortage is only ever a passing one. Nothing that
// depends on the host's settings (default locale, time zone) is touched.
struct IcuWarmUp {
    IcuWarmUp()
    {
        try {
            SharedFormats& shared = sharedFormats();
            std::lock_guard<std::mutex> lock(shared.mutex);
            readyFormat(shared, icu::UnicodeString(u"0.0#"));
        } catch (...) {
            // Made by the first use instead.
        }
    }
};

IcuWarmUp const gIcuWarmUp;

// Longest text parsed as a number: more than the real-number pattern ever
// writes and than any double needs. The decimal parser's time grows with the
// square of the length, so longer texts are refused before it sees them.
constexpr int32_t kMaxNumberTextLength = 1100;

// `copy` came out bogus from a source that was not: ICU found no memory.
void checkCopy(icu::UnicodeString const& copy, icu::UnicodeString const& source)
{
    if (copy.isBogus() && !source.isBogus()) throw std::bad_alloc();
}

// A writable buffer of n units for `out`; n of 2^31 or more gives null and
// makes `out` the bogus string. Throws std::bad_alloc when the buffer
// cannot be had.
char16_t* unitBuffer(icu::UnicodeString& out, std::size_t n)
{
    if (n > std::size_t(INT32_MAX)) {
        out.setToBogus();
        return nullptr;
    }
    char16_t* buf = out.getBuffer(static_cast<int32_t>(n));
    if (!buf) throw std::bad_alloc();
    return buf;
}

// ISO-8859-1 text as UTF-16; 2^31 units or more give the bogus string.
icu::UnicodeString latin1(char const* s, std::size_t n)
{
    icu::UnicodeString out;
    char16_t* buf = unitBuffer(out, n);
    if (!buf) return out;
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
    if (!buf) return out;
    int32_t units = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(buf, out.getCapacity(), &units, n ? bytes : "", static_cast<int32_t>(n), 0xFFFD, nullptr,
                         &status);
    out.releaseBuffer(U_SUCCESS(status) ? units : 0);
    if (U_FAILURE(status)) out.setToBogus();
    return out;
}

// A length of -1 (as in ICU) means bytes up to the first NUL.
std::size_t byteCount(char const* bytes, int32_t length)
{
    if (!bytes) return 0;
    if (length < 0) return std::strlen(bytes);
    return static_cast<std::size_t>(length);
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
    if (encoding && *encoding == '\0') {
        // ICU's conversion of invariant characters, which needs no converter.
        icu::UnicodeString text(n ? bytes : "", static_cast<int32_t>(n), encoding);
        if (text.isBogus()) throw std::bad_alloc();
        return text;
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
    : icu::UnicodeString(decoded(bytes, byteCount(bytes, length), encoding))
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
    // One text for every NaN, whatever its sign bit.
    if (std::isnan(value)) value = std::numeric_limits<double>::quiet_NaN();
    icu::UnicodeString out;
    UErrorCode status = U_ZERO_ERROR;
    {
        SharedFormats& shared = sharedFormats();
        std::lock_guard<std::mutex> lock(shared.mutex);
        icu::DecimalFormat const* format = readyFormat(shared, pattern);
        if (!format) return kErrNumberToTextFailed;
        icu::FieldPosition field;
        format->format(value, out, field, status);
    }
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
    icu::Formattable result;
    icu::ParsePosition where(start);
    {
        SharedFormats& shared = sharedFormats();
        std::lock_guard<std::mutex> lock(shared.mutex);
        icu::DecimalFormat const* format = readyFormat(shared, pattern);
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
