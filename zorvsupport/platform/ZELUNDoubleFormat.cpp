#include "zorvsupport/platform/ZELUNDoubleFormat.h"

#include <cmath>
#include <locale>
#include <new>
#include <sstream>
#include <string>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNUString.h"

long ZELUNDoubleFormat::toString(double value, ZELUNUString& text) const
{
    using ZORV_3_13_0_::DataSet::kErrNumberToTextFailed;
    using ZORV_3_13_0_::DataSet::kSuccess;
    if (std::isnan(value)) {
        text = ZELUNUString("NaN");
        return kSuccess;
    }
    if (std::isinf(value)) {
        text = ZELUNUString::fromUtf8(value > 0 ? "\xE2\x88\x9E" : "-\xE2\x88\x9E");
        return kSuccess;
    }
    try {
        std::ostringstream os;
        // A shortage in the stream comes out as std::bad_alloc, never as a
        // failed conversion.
        os.exceptions(std::ios::badbit);
        os.imbue(std::locale::classic());
        os.setf(std::ios::fixed, std::ios::floatfield);
        os.precision(static_cast<std::streamsize>(m_precision));
        os << value;
        if (!os) return kErrNumberToTextFailed;
        std::string s = os.str();
        // A negative value that rounds to zero keeps no sign.
        if (!s.empty() && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
        text = ZELUNUString(s);
        return kSuccess;
    } catch (std::bad_alloc const&) {
        throw;
    } catch (...) {
        return kErrNumberToTextFailed;
    }
}
