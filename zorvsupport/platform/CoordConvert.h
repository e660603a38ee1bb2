#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNType.h"
#include "zorvsupport/platform/ZELUNUString.h"

// Text forms of coordinate systems. Every member returns 0 on success.
//
// One string (format kDefinitionFormat): the definition exactly as given.
// Only a valid system without a name has it.
// Three strings: "proj", the definition, the name (possibly empty). Every
// valid system has them, unless its name holds U+0000 or an unpaired
// surrogate: such a name would not come back unchanged from a stored text.
// A system without the form asked for gives kErrNotConvertible, and the
// output texts are left as they were.
//
// Reading: coordFromString takes any text that makes a valid system and
// gives that system with an empty name; coordFromStrings wants exactly
// "proj", a valid definition and a name that survives UTF-8. Anything else
// gives kErrNotConvertible, a format other than kDefinitionFormat
// kErrNotSupported. On success the holder owns a new system (whatever it held
// before is destroyed); on failure it is left empty. Written texts read back
// into a system equal to the one written.
class ZORV_EXPORT CoordConvert {
public:
    enum CoordFormat : int { kDefinitionFormat = 0 };

    static long coordToString(ZELUNCoordSystem const& system, CoordFormat format, ZELUNUString& text);
    static long coordToStrings(ZELUNCoordSystem const& system, ZELUNUString& first, ZELUNUString& second,
                               ZELUNUString& third);
    static long coordFromString(ZELUNUString const& text, CoordFormat format, ZELUNType<ZELUNCoordSystem>& holder);
    static long coordFromStrings(ZELUNUString const& first, ZELUNUString const& second, ZELUNUString const& third,
                                 ZELUNType<ZELUNCoordSystem>& holder);
};
