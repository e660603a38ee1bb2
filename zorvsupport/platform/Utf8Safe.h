// Library-internal: the check that a text survives a round trip through UTF-8.
#pragma once

#include <unicode/unistr.h>
#include <unicode/utf16.h>

namespace ZELUNUtf8 {

// True when the text comes back unchanged from UTF-8 cut at the first NUL:
// it holds neither U+0000 nor an unpaired surrogate.
inline bool survives(icu::UnicodeString const& text)
{
    int32_t const n = text.length();
    for (int32_t i = 0; i < n; ++i) {
        char16_t const u = text.charAt(i);
        if (u == 0 || U16_IS_TRAIL(u)) return false;
        if (U16_IS_LEAD(u)) {
            if (i + 1 >= n || !U16_IS_TRAIL(text.charAt(i + 1))) return false;
            ++i;
        }
    }
    return true;
}

}  // namespace ZELUNUtf8
