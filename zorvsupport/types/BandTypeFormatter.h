#pragma once

#include <unicode/datefmt.h>

#include "zorvsupport/Export.h"
#include "zorvsupport/types/BandType.h"
#include "zorvsupport/types/Formatter.h"

class ZELUNUnit;
class ZELUNUString;

namespace ZORV_3_13_0_ {
namespace DataSet {

// The text a user sees for one value of a band: "N/A" for a missing or
// no-data value, the text of string bands, the string-table entry of index
// bands, dates and times through ICU date formats, and numbers scaled by a
// factor and converted into a display unit.
//
// Dates, times and date-times use three ICU formats shared by the whole
// process: medium style, ICU's default locale at their first use, GMT. Each
// is created once, on the first formatting that needs it, and calls into the
// formats are serialised, so formatters may be used on several threads.
//
// A shortage of memory, ICU's included, throws std::bad_alloc, never a
// status or a partial text; a date format that could not be created is tried
// again by the next formatting.
class ZORV_EXPORT BandTypeFormatter : public Formatter {
public:
    // `displayUnit` may be null and is not owned: it must outlive the
    // formatter. `precision` is that of the held double format (taken as
    // unsigned, then clamped by the format); `scale` multiplies every number.
    BandTypeFormatter(BandType const& bandType, ZELUNUnit const* displayUnit, int precision, double scale);
    ~BandTypeFormatter() override;

    // In this order: `text` is cleared; a value of another DataType than the
    // band type gives kErrFormatTypeMismatch; a view without a value, and a
    // value equal to the no-data value, give "N/A"; then by category:
    // string bands (uint16 tuple, up to the first 0 unit), string-table bands
    // (kErrNoStringTable without a table, else the table's entry and status),
    // date, time and date-time bands (float64 milliseconds since 1970 UTC);
    // a data type that does not fit the category gives kErrNotFormattable.
    // Every other category is formatted by Formatter::toString with this
    // class's number conversions.
    long toString(ConstVariantRef value, ZELUNUString& text) const override;

protected:
    // value * scale, converted from the band's unit into the display unit
    // when both are known, written by the double format.
    long formatDouble(double value, ZELUNUString& text) const override;
    // Plain decimal text without scale and unit. Otherwise scaled and
    // converted like formatDouble; a result within 0.5 * 10^-precision of a
    // whole number prints as that integer (kErrFormatOverflow, text empty,
    // when it lies outside the 64-bit range or is NaN), any other through the
    // double format.
    long formatInt(long long value, ZELUNUString& text) const override;
    // The shared format for the band type's category: the date format for
    // kDate, the time format for kTime, the date-time format otherwise.
    virtual icu::DateFormat const& getOrCreateDateFormat() const;

private:
    long scaleAndConvert(double& value) const;

    BandType m_bandType;
    ZELUNUnit const* m_displayUnit;
    double m_scale;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
