// Text and attribute forms of type codes, and the text form of unsigned
// 32-bit numbers.
#include <cstdlib>
#include <string>

#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNXMLDocument.h"
#include "zorvsupport/types/LexicalText.h"
#include "zorvsupport/types/TextForms.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

template <>
long valueToText<DataType::Type>(DataType::Type code, ZELUNUString& text)
{
    for (TypeNameEntry const& row : kTypeNameTable) {
        if (row.code == code) {
            text = ZELUNUString(row.name);
            return kSuccess;
        }
    }
    return kErrUnknownTypeCode;
}

template <>
long textToValue<DataType::Type>(ZELUNUString const& text, DataType::Type& code)
{
    for (TypeNameEntry const& row : kTypeNameTable) {
        if (ZELUNUString(row.name) == text) {
            code = static_cast<DataType::Type>(row.code);
            return kSuccess;
        }
    }
    return kErrUnknownTypeName;
}

template <>
long valueToText<unsigned int>(unsigned int value, ZELUNUString& text)
{
    return lexicalToText(value, text);
}

template <>
long textToValue<unsigned int>(ZELUNUString const& text, unsigned int& value)
{
    return lexicalFromText(text, value);
}

template <>
long setXMLAttribute<DataType::Type>(_xmlNode& node, ZELUNUString const& name, DataType::Type const& value)
{
    return setAttributeWith(node, name, value);
}

template <>
long getXMLAttribute<DataType::Type>(_xmlNode const& node, ZELUNUString const& name, DataType::Type& value)
{
    return getAttributeWith(node, name, value);
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
