#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/types/DataType.h"

struct _xmlNode;
class ZELUNUString;

namespace ZORV_3_13_0_ {
namespace DataSet {

// Text and XML-attribute forms of single values: one member per value type.
// Each returns 0 or a status; the target is written only on success unless
// the member's rule says otherwise. A shortage of memory throws
// std::bad_alloc; it is never reported as a conversion or attribute status.
template <class T>
long valueToText(T value, ZELUNUString& text);
template <class T>
long textToValue(ZELUNUString const& text, T& value);
template <class T>
long setXMLAttribute(_xmlNode& node, ZELUNUString const& name, T const& value);
template <class T>
long getXMLAttribute(_xmlNode const& node, ZELUNUString const& name, T& value);

// Type codes as type names (kTypeNameTable).
template <>
ZORV_EXPORT long valueToText<DataType::Type>(DataType::Type code, ZELUNUString& text);
template <>
ZORV_EXPORT long textToValue<DataType::Type>(ZELUNUString const& text, DataType::Type& code);
template <>
ZORV_EXPORT long setXMLAttribute<DataType::Type>(_xmlNode& node, ZELUNUString const& name, DataType::Type const& value);
template <>
ZORV_EXPORT long getXMLAttribute<DataType::Type>(_xmlNode const& node, ZELUNUString const& name, DataType::Type& value);

// Every element value type.
// - uint32: decimal (also the form of dimensions and tuple lengths).
// - float, double, and each component of a 3-vector ("x,y,z"): the decimal
//   pattern "##############0.0################" with '.' as decimal point, no
//   grouping, no exponent, one to seventeen fraction digits; "NaN", "∞" and
//   "-∞" for the non-finite values. Reading takes the whole text as one number
//   and stores the parsed value whatever the status (0 on failure). A float is
//   written as its double value; a parsed double beyond the float range gives
//   the largest float of that sign (infinities stay infinite). A 3-vector text
//   without two commas gives kErrTextNotNumber and stores nothing.
// - int8, uint8: one character whose code is the byte (ISO-8859-1 for int8,
//   so every value survives); empty text reads as 0 (int8 0 is written so).
// - int32: ZELUNUString::formatLong / parseLong; the parsed value is stored
//   whatever the status (0 on failure).
// - int16, uint16, int64, uint64: decimal; no leading white space, trailing
//   white space allowed, unsigned types refuse a minus sign, and the value is
//   written only on success.
#define ZORV_DECLARE_TEXT_FORMS(k, T, kindName)                                                                  \
    template <>                                                                                    \
    ZORV_EXPORT long valueToText<T>(T value, ZELUNUString & text);                                \
    template <>                                                                                    \
    ZORV_EXPORT long textToValue<T>(ZELUNUString const& text, T& value);                          \
    template <>                                                                                    \
    ZORV_EXPORT long setXMLAttribute<T>(_xmlNode & node, ZELUNUString const& name, T const& value); \
    template <>                                                                                    \
    ZORV_EXPORT long getXMLAttribute<T>(_xmlNode const& node, ZELUNUString const& name, T& value);

ZORV_FOR_EACH_ELEMENT_KIND(ZORV_DECLARE_TEXT_FORMS)
#undef ZORV_DECLARE_TEXT_FORMS

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
