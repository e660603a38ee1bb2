#include "zorvsupport/platform/ZELUNUString.h"

#include <ostream>

namespace {

icu::UnicodeString latin1(char const* s, std::size_t n)
{
    icu::UnicodeString out;
    char16_t* buf = out.getBuffer(static_cast<int32_t>(n));
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

namespace ZELUNPP_3_13_0 {

std::ostream& operator<<(std::ostream& os, ZELUNUString const& s)
{
    return os << s.toNarrow();
}

}  // namespace ZELUNPP_3_13_0
