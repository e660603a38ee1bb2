// Text and attribute forms of the element value types other than type codes
// and unsigned 32-bit numbers.
#include <cmath>

#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNVec3.h"
#include "zorvsupport/types/LexicalText.h"
#include "zorvsupport/types/NumericConversion.h"
#include "zorvsupport/types/TextForms.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

using Vec3 = ::HPGEOM_3_13_0::ZELUNVec3<double>;

// Built on every call, so no text object is shared between threads.
ZELUNUString realPattern()
{
    return ZELUNUString("##############0.0################");
}

long realToText(double value, ZELUNUString& text)
{
    text.truncate(0);
    return text.formatPattern(value, realPattern(), false);
}

// The parsed value is stored whatever the status.
long realFromText(ZELUNUString const& text, double& value)
{
    long status = kSuccess;
    value = text.parsePattern(realPattern(), status, nullptr, false);
    return status;
}

// The format of the real-number pattern is made ready when the library is
// loaded, while memory is there: ICU cannot finish one safely once memory is
// short.
struct RealNumberWarmUp {
    RealNumberWarmUp()
    {
        try {
            double value = 0.0;
            realFromText(ZELUNUString("0.0"), value);
        } catch (...) {
            // Made by the first parse instead.
        }
    }
};

RealNumberWarmUp const gRealNumberWarmUp;

// One character whose code is the byte; empty text is 0. Nothing else has a
// byte form.
bool byteFromText(ZELUNUString const& text, unsigned char& byte)
{
    if (text.length() == 0) {
        byte = 0;
        return true;
    }
    if (text.length() != 1 || text.charAt(0) > 0xFF) return false;
    byte = static_cast<unsigned char>(text.charAt(0));
    return true;
}

}  // namespace

// Real numbers.

template <>
long valueToText<double>(double value, ZELUNUString& text)
{
    return realToText(value, text);
}

template <>
long textToValue<double>(ZELUNUString const& text, double& value)
{
    return realFromText(text, value);
}

template <>
long valueToText<float>(float value, ZELUNUString& text)
{
    return realToText(static_cast<double>(value), text);
}

template <>
long textToValue<float>(ZELUNUString const& text, float& value)
{
    double parsed = 0.0;
    long const status = realFromText(text, parsed);
    // Finite doubles beyond the float range saturate rather than overflow.
    value = std::isinf(parsed) ? static_cast<float>(parsed) : saturateTo<float>(parsed);
    return status;
}

// int8: the value's byte as one ISO-8859-1 character; 0 is empty text.

template <>
long valueToText<signed char>(signed char value, ZELUNUString& text)
{
    return lexicalToText(value, text);
}

template <>
long textToValue<signed char>(ZELUNUString const& text, signed char& value)
{
    unsigned char byte = 0;
    if (!byteFromText(text, byte)) return kErrTextNotNumber;
    value = static_cast<signed char>(byte);
    return kSuccess;
}

// uint8: one UTF-16 unit whose code is the value.

template <>
long valueToText<unsigned char>(unsigned char value, ZELUNUString& text)
{
    text.setTo(static_cast<char16_t>(value));
    return kSuccess;
}

template <>
long textToValue<unsigned char>(ZELUNUString const& text, unsigned char& value)
{
    unsigned char byte = 0;
    if (!byteFromText(text, byte)) return kErrNotSingleCharacter;
    value = byte;
    return kSuccess;
}

// Decimal integers.

template <>
long valueToText<short>(short value, ZELUNUString& text)
{
    return lexicalToText(value, text);
}

template <>
long textToValue<short>(ZELUNUString const& text, short& value)
{
    return lexicalFromText(text, value);
}

template <>
long valueToText<unsigned short>(unsigned short value, ZELUNUString& text)
{
    return lexicalToText(value, text);
}

template <>
long textToValue<unsigned short>(ZELUNUString const& text, unsigned short& value)
{
    return lexicalFromText(text, value);
}

template <>
long valueToText<long long>(long long value, ZELUNUString& text)
{
    return lexicalToText(value, text);
}

template <>
long textToValue<long long>(ZELUNUString const& text, long long& value)
{
    return lexicalFromText(text, value);
}

template <>
long valueToText<unsigned long long>(unsigned long long value, ZELUNUString& text)
{
    return lexicalToText(value, text);
}

template <>
long textToValue<unsigned long long>(ZELUNUString const& text, unsigned long long& value)
{
    return lexicalFromText(text, value);
}

template <>
long valueToText<int>(int value, ZELUNUString& text)
{
    text.truncate(0);
    return text.formatLong(value, false);
}

// The parsed value is stored whatever the status.
template <>
long textToValue<int>(ZELUNUString const& text, int& value)
{
    long status = kSuccess;
    value = text.parseLong(status, nullptr, false);
    return status;
}

// 3-vectors: "x,y,z".

template <>
long valueToText<Vec3>(Vec3 value, ZELUNUString& text)
{
    ZELUNUString x, y, z;
    if (long st = realToText(value.x, x)) return st;
    if (long st = realToText(value.y, y)) return st;
    if (long st = realToText(value.z, z)) return st;
    ZELUNUString const comma(",");
    text = x + comma + y + comma + z;
    return kSuccess;
}

// x before the first comma, y up to the second, z all the rest. Without two
// commas nothing is stored.
template <>
long textToValue<Vec3>(ZELUNUString const& text, Vec3& value)
{
    int32_t const first = text.indexOf(u',', 0);
    if (first < 0) return kErrTextNotNumber;
    int32_t const second = text.indexOf(u',', first + 1);
    if (second < 0) return kErrTextNotNumber;
    ZELUNUString x, y, z;
    text.extract(0, first, x);
    text.extract(first + 1, second - first - 1, y);
    text.extract(second + 1, text.length() - second - 1, z);
    if (long st = realFromText(x, value.x)) return st;
    if (long st = realFromText(y, value.y)) return st;
    return realFromText(z, value.z);
}

// Attributes.

#define ZORV_DEFINE_ATTRIBUTES(k, T, kindName)                                                          \
    template <>                                                                            \
    long setXMLAttribute<T>(_xmlNode & node, ZELUNUString const& name, T const& value)     \
    {                                                                                      \
        return setAttributeWith(node, name, value);                                        \
    }                                                                                      \
    template <>                                                                            \
    long getXMLAttribute<T>(_xmlNode const& node, ZELUNUString const& name, T& value)      \
    {                                                                                      \
        return getAttributeWith(node, name, value);                                        \
    }

ZORV_FOR_EACH_ELEMENT_KIND(ZORV_DEFINE_ATTRIBUTES)
#undef ZORV_DEFINE_ATTRIBUTES

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
