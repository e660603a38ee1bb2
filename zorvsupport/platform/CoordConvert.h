#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNType.h"
#include "zorvsupport/platform/ZELUNUString.h"

// Text forms of coordinate systems. Every member returns 0 on success.
//
// A system is described by three texts:
//   kind:       "geographic", "tmerc", "utm", "merc", "webmerc" or "localgrid";
//   parameters: "zone=Z;cm=C;lat0=L;k=K;fe=E;fn=N;unit=U", always in this
//               order, Z a decimal integer, the others decimal numbers,
//               written in the shortest form that reads back exactly: plain
//               decimals up to 24 characters, exponent notation beyond;
//   name:       the name as it is.
// The one-string form (format kDefinitionFormat) joins them as
//   "<kind>;<parameters>;name=<name>"
// (the name is last and runs to the end, so it may hold any character).
//
// Which form a system has:
// - Only valid systems (ZELUNCoordSystem::isValid) have a text form; for any
//   other both coordToString and coordToStrings return kErrNotConvertible.
// - coordToString also refuses (kErrNotConvertible) a name longer than
//   kMaxCompactNameLength UTF-16 units; such a system has only the
//   three-string form, which carries a name of any length.
// A bare kind is not a one-string text, so the first of the three texts never
// reads as a system on its own, and a one-string text is not a kind.
//
// Reading: every text must follow the form exactly (numbers as std::from_chars
// reads them, nothing else around them) and describe a valid system; other
// texts give kErrNotConvertible, a format other than kDefinitionFormat
// kErrNotSupported. On success the holder owns a new system (whatever it held
// before is destroyed); on failure it is left empty. Written texts read back
// into a system equal to the one written, and vice versa.
class ZORV_EXPORT CoordConvert {
public:
    enum CoordFormat : int { kDefinitionFormat = 0 };

    // Longest name, in UTF-16 units, that the one-string form carries.
    static constexpr int kMaxCompactNameLength = 64;

    static long coordToString(ZELUNCoordSystem const& system, CoordFormat format, ZELUNUString& text);
    static long coordToStrings(ZELUNCoordSystem const& system, ZELUNUString& first, ZELUNUString& second,
                               ZELUNUString& third);
    static long coordFromString(ZELUNUString const& text, CoordFormat format, ZELUNType<ZELUNCoordSystem>& holder);
    static long coordFromStrings(ZELUNUString const& first, ZELUNUString const& second, ZELUNUString const& third,
                                 ZELUNType<ZELUNCoordSystem>& holder);
};
