#pragma once

// Internal helpers of the text forms: decimal conversion through narrow
// string streams in the classic locale, and the attribute pattern shared by
// every getXMLAttribute / setXMLAttribute member. A shortage of memory is no
// conversion failure: std::bad_alloc goes to the caller.

#include <istream>
#include <locale>
#include <new>
#include <sstream>
#include <string>
#include <type_traits>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNXMLDocument.h"
#include "zorvsupport/types/TextForms.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// The value's stream insertion text; the string is cut at the first NUL
// (an int8 0 therefore gives empty text).
template <class T>
long lexicalToText(T value, ZELUNUString& text)
{
    try {
        std::ostringstream os;
        // A stream that runs out of memory would only set badbit; with badbit
        // in its mask it lets the std::bad_alloc out.
        os.exceptions(std::ios::badbit);
        os.imbue(std::locale::classic());
        os << value;
        if (!os) return kErrNumberToTextFailed;
        std::string s = os.str();
        s.resize(s.find('\0') == std::string::npos ? s.size() : s.find('\0'));
        text = ZELUNUString(s);
        return kSuccess;
    } catch (std::bad_alloc const&) {
        throw;
    } catch (...) {
        return kErrNumberToTextFailed;
    }
}

// One value by stream extraction without skipping leading white space; only
// white space may follow. Unsigned types refuse a minus sign rather than
// wrapping it. Text with a unit above U+00FF has no narrow form and is
// refused. `value` is written only on success.
template <class T>
long lexicalFromText(ZELUNUString const& text, T& value)
{
    try {
        if (!text.isNarrow()) return kErrTextNotNumber;
        std::string s = text.toNarrow();
        if constexpr (std::is_unsigned_v<T>) {
            if (!s.empty() && s[0] == '-') return kErrTextNotNumber;
        }
        std::istringstream is(s);
        is.exceptions(std::ios::badbit);
        is.imbue(std::locale::classic());
        T tmp{};
        is >> std::noskipws >> tmp;
        if (!is) return kErrTextNotNumber;
        is >> std::ws;
        if (!is.eof() && is.peek() != std::char_traits<char>::eof()) return kErrTextNotNumber;
        value = tmp;
        return kSuccess;
    } catch (std::bad_alloc const&) {
        throw;
    } catch (...) {
        return kErrTextNotNumber;
    }
}

// Builds the whole text first, so a failed conversion sets nothing.
template <class T>
long setAttributeWith(_xmlNode& node, ZELUNUString const& name, T const& value)
{
    ZELUNUString text;
    if (long st = valueToText<T>(value, text)) return st;
    return ZELUNXMLDocument::setProperty(node, name, &text) ? kSuccess : kErrXmlAttributeWriteFailed;
}

// A missing attribute never reaches the conversion.
template <class T>
long getAttributeWith(_xmlNode const& node, ZELUNUString const& name, T& value)
{
    ZELUNUString text;
    if (!ZELUNXMLDocument::getProperty(node, name, text)) return kErrXmlAttributeMissing;
    return textToValue<T>(text, value);
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
