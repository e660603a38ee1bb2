#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/types/DataType.h"

struct _xmlNode;
class ZELUNUString;

namespace ZORV_3_13_0_ {
namespace DataSet {

// Text and XML-attribute forms of single values: one member per value type.
// Each returns 0 or a status; the target is written only on success unless
// the member's rule says otherwise.
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

// Unsigned 32-bit numbers in decimal.
template <>
ZORV_EXPORT long valueToText<unsigned int>(unsigned int value, ZELUNUString& text);
template <>
ZORV_EXPORT long textToValue<unsigned int>(ZELUNUString const& text, unsigned int& value);
template <>
ZORV_EXPORT long setXMLAttribute<unsigned int>(_xmlNode& node, ZELUNUString const& name, unsigned int const& value);
template <>
ZORV_EXPORT long getXMLAttribute<unsigned int>(_xmlNode const& node, ZELUNUString const& name, unsigned int& value);

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
