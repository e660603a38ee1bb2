#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include <unicode/unistr.h>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNArray.h"

// The string class of every interface: an ICU UnicodeString plus a cache for
// the narrow text handed out by c_str(). Narrow text is ISO-8859-1 in both
// directions, so every byte survives a round trip; units above U+00FF have no
// narrow form and become '?'. Narrow or UTF-8 text of 2^31 bytes or more
// gives the bogus string: empty, with isBogus() true.
//
// Memory: the members declared here, and the free operator+ below, throw
// std::bad_alloc when memory runs out; they never hand out ICU's bogus string
// for a shortage. The other members inherited from UnicodeString keep ICU's
// behaviour (a string that cannot grow turns bogus).
class ZORV_EXPORT ZELUNUString : public icu::UnicodeString {
public:
    ZELUNUString() = default;
    ZELUNUString(char const* narrow);
    ZELUNUString(std::string const& narrow);
    // Bytes in a named encoding ("utf-8", "ISO-8859-1", ...); a length of -1
    // takes the bytes up to the first NUL. An encoding that ICU does not
    // know gives the bogus string.
    ZELUNUString(char const* bytes, int32_t length, char const* encoding);
    ZELUNUString(ZELUNArray<char> const& bytes, char const* encoding);
    ZELUNUString(icu::UnicodeString const& other);
    ZELUNUString(ZELUNUString const& other);
    ZELUNUString(ZELUNUString&& other) noexcept : icu::UnicodeString(std::move(other)) {}
    ~ZELUNUString() override;

    ZELUNUString& operator=(ZELUNUString const& other);
    ZELUNUString& operator=(ZELUNUString&& other) noexcept;
    ZELUNUString& operator=(char const* narrow);

    // Appends a text or one UTF-16 unit.
    using icu::UnicodeString::append;
    ZELUNUString& append(icu::UnicodeString const& text);
    ZELUNUString& append(char16_t unit);
    // Replaces the whole text by one UTF-16 unit.
    using icu::UnicodeString::setTo;
    ZELUNUString& setTo(char16_t unit);
    // `target` becomes the units [start, start + length) (clipped to the text).
    using icu::UnicodeString::extract;
    void extract(int32_t start, int32_t length, ZELUNUString& target) const;

    static ZELUNUString fromUtf8(char const* bytes, std::size_t length);
    static ZELUNUString fromUtf8(std::string const& bytes) { return fromUtf8(bytes.data(), bytes.size()); }

    // UTF-8 text (no terminator beyond std::string's own).
    std::string toUtf8() const;
    // ISO-8859-1 text; units above U+00FF become '?'.
    std::string toNarrow() const;
    // True when every unit has a narrow (ISO-8859-1) form.
    bool isNarrow() const;
    // NUL-terminated narrow text, valid until the string changes or dies.
    char const* c_str() const;
    // NUL-terminated UTF-8 text, valid until the string changes or dies.
    char const* utf_8() const;

    // Number texts. Patterns are ICU decimal patterns applied with fixed
    // symbols: '.' as decimal point, no grouping, "NaN" for every NaN, "∞" and
    // "-∞" for the infinities, whatever the process or ICU default locale.
    // The flag is accepted for interface compatibility and has no effect here.
    // Statuses are the library's: 0, kErrNumberToTextFailed (pattern or
    // formatting failure) or kErrTextNotNumber (parse failure); a shortage
    // of memory, ICU's included, throws std::bad_alloc instead. The formats
    // of the four patterns used last are shared by the whole process, and
    // one text at a time is formatted or parsed.
    //
    // Replaces the text by the value formatted with `pattern`; on failure the
    // text is left as it was.
    long formatPattern(double value, ZELUNUString const& pattern, bool flag);
    // Parses a number written by `pattern` (an exponent is also read, and
    // numbers beyond the double range give infinity). A text longer than
    // 1100 units from the start of the parse is no number. With a null `pos` the
    // whole text must be the number; otherwise parsing starts at *pos, text may
    // follow the number and *pos is moved behind it. On failure returns 0.0,
    // sets kErrTextNotNumber and leaves *pos as it was; 0 on success.
    double parsePattern(ZELUNUString const& pattern, long& status, int* pos, bool flag) const;
    // Replaces the text by the value in decimal ASCII digits, '-' for negative
    // values; returns 0.
    long formatLong(int value, bool flag);
    // Parses an optional '+' or '-' and ASCII decimal digits, nothing before
    // them. With a null `pos` nothing may follow; otherwise parsing starts at
    // *pos and *pos is moved behind the digits. Values outside the int range
    // fail. On failure returns 0, sets kErrTextNotNumber and leaves *pos.
    int parseLong(long& status, int* pos, bool flag) const;

private:
    mutable std::string m_cache;
};

// The two texts one after the other.
ZORV_EXPORT ZELUNUString operator+(ZELUNUString const& a, ZELUNUString const& b);

namespace ZELUNPP_3_13_0 {
// Inserts the narrow (ISO-8859-1) text of the string.
ZORV_EXPORT std::ostream& operator<<(std::ostream& os, ZELUNUString const& s);
}  // namespace ZELUNPP_3_13_0
