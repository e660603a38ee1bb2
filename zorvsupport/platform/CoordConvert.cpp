#include "zorvsupport/platform/CoordConvert.h"

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/Utf8Safe.h"

namespace {

using ZORV_3_13_0_::DataSet::kErrNotConvertible;
using ZORV_3_13_0_::DataSet::kErrNotSupported;
using ZORV_3_13_0_::DataSet::kSuccess;

// First of the three texts.
char16_t const kTag[] = u"proj";

long deliver(ZELUNCoordSystem const& cs, ZELUNType<ZELUNCoordSystem>& holder)
{
    if (!cs.isValid()) {
        holder.reset();
        return kErrNotConvertible;
    }
    holder.reset(new ZELUNCoordSystem(cs));
    return kSuccess;
}

}  // namespace

long CoordConvert::coordToString(ZELUNCoordSystem const& system, CoordFormat format, ZELUNUString& text)
{
    if (format != kDefinitionFormat) return kErrNotSupported;
    if (!system.isValid() || !system.name().isEmpty()) return kErrNotConvertible;
    text = system.definition();
    return kSuccess;
}

long CoordConvert::coordToStrings(ZELUNCoordSystem const& system, ZELUNUString& first, ZELUNUString& second,
                                  ZELUNUString& third)
{
    if (!system.isValid() || !ZELUNUtf8::survives(system.name())) return kErrNotConvertible;
    first = ZELUNUString(icu::UnicodeString(kTag));
    second = system.definition();
    third = system.name();
    return kSuccess;
}

long CoordConvert::coordFromString(ZELUNUString const& text, CoordFormat format, ZELUNType<ZELUNCoordSystem>& holder)
{
    if (format != kDefinitionFormat) {
        holder.reset();
        return kErrNotSupported;
    }
    return deliver(ZELUNCoordSystem(text), holder);
}

long CoordConvert::coordFromStrings(ZELUNUString const& first, ZELUNUString const& second, ZELUNUString const& third,
                                    ZELUNType<ZELUNCoordSystem>& holder)
{
    // The tag and the name are checked first: they cost nothing, the
    // definition costs a parse.
    if (first != icu::UnicodeString(kTag) || !ZELUNUtf8::survives(third)) {
        holder.reset();
        return kErrNotConvertible;
    }
    return deliver(ZELUNCoordSystem(second, third), holder);
}
