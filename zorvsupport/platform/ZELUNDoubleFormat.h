#pragma once

#include "zorvsupport/Export.h"

class ZELUNUString;

// Text of real numbers in fixed notation: an optional '-', the integer
// digits, and, when the precision is above 0, '.' and exactly `precision`
// fraction digits, rounded to nearest (ties as the C library rounds the
// binary value). No grouping, no exponent, '.' whatever the process locale.
// A value that rounds to zero is written without a sign ("0.00", never
// "-0.00"). NaN is written "NaN", the infinities "∞" and "-∞".
class ZORV_EXPORT ZELUNDoubleFormat {
public:
    static constexpr unsigned kDefaultPrecision = 6;
    static constexpr unsigned kMaxPrecision = 20;

    ZELUNDoubleFormat() = default;

    // Precisions above kMaxPrecision are stored as kMaxPrecision.
    void setPrecision(unsigned precision) { m_precision = precision > kMaxPrecision ? kMaxPrecision : precision; }
    unsigned getPrecision() const { return m_precision; }

    // Replaces the whole text by the value's text; returns 0, or
    // kErrNumberToTextFailed (text unchanged) when no text could be made.
    // Throws std::bad_alloc when memory runs out.
    long toString(double value, ZELUNUString& text) const;

private:
    unsigned m_precision = kDefaultPrecision;
};
