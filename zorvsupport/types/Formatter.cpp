#include "zorvsupport/types/Formatter.h"

#include <locale>
#include <new>
#include <sstream>
#include <string>
#include <type_traits>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNUString.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Lets the element walk below reach the protected conversions.
struct FormatterAccess {
    static long formatDouble(Formatter const& f, double value, ZELUNUString& text) { return f.formatDouble(value, text); }
    static long formatInt(Formatter const& f, long long value, ZELUNUString& text) { return f.formatInt(value, text); }
};

namespace {

using Vec3 = ::HPGEOM_3_13_0::ZELUNVec3<double>;

ZELUNUString const& separator()
{
    static ZELUNUString const text(", ");
    return text;
}

// Any exception out of formatInt but a shortage of memory empties the text
// it was writing; std::bad_alloc goes on to the caller.
long guardedFormatInt(Formatter const& f, long long value, ZELUNUString& text)
{
    try {
        return FormatterAccess::formatInt(f, value, text);
    } catch (std::bad_alloc const&) {
        throw;
    } catch (...) {
        text.remove();
        return kErrFormatOverflow;
    }
}

// One element of kind E into `text`.
template <class E>
long formatElement(Formatter const& f, E const& value, ZELUNUString& text)
{
    if constexpr (std::is_same_v<E, Vec3>) {
        text.remove();
        ZELUNUString part;
        double const components[3] = {value.x, value.y, value.z};
        for (int i = 0; i < 3; ++i) {
            if (long st = FormatterAccess::formatDouble(f, components[i], part)) return st;
            if (i > 0) text.append(separator());
            text.append(part);
        }
        return kSuccess;
    } else if constexpr (std::is_floating_point_v<E>) {
        return FormatterAccess::formatDouble(f, static_cast<double>(value), text);
    } else if constexpr (std::is_same_v<E, unsigned long long>) {
        if (value > 9223372036854775807ULL) {
            text.remove();
            return kErrFormatOverflow;
        }
        return guardedFormatInt(f, static_cast<long long>(value), text);
    } else {
        // Signed kinds sign-extend, unsigned ones zero-extend.
        return guardedFormatInt(f, static_cast<long long>(value), text);
    }
}

struct ToStringVisitor {
    Formatter const& formatter;
    ConstVariantRef const& value;
    ZELUNUString& text;

    template <int k>
    long accept(TDataType<k> const& tag) const
    {
        auto const* p = value.getTypedPtr(tag);
        if (p == nullptr) return kSuccess;
        return formatElement(formatter, *p, text);
    }

    template <int k>
    long accept(TTupleDataType<TDataType<k>> const& tag) const
    {
        text.remove();
        auto const* p = value.getTypedPtr(tag);
        if (p == nullptr) return kSuccess;
        ZELUNUString part;
        for (unsigned i = 0; i < tag.getLength(); ++i) {
            if (long st = formatElement(formatter, p[i], part)) return st;
            if (i > 0) text.append(separator());
            text.append(part);
        }
        return kSuccess;
    }
};

}  // namespace

Formatter::Formatter() = default;
Formatter::~Formatter() = default;

long Formatter::toString(ConstVariantRef value, ZELUNUString& text) const
{
    return value.getDataType().applyVisitor(ToStringVisitor{*this, value, text});
}

long Formatter::formatDouble(double value, ZELUNUString& text) const
{
    return m_doubleFormat.toString(value, text);
}

long Formatter::formatInt(long long value, ZELUNUString& text) const
{
    std::ostringstream os;
    // A shortage inside the stream leaves it as std::bad_alloc, not as a
    // silently empty text.
    os.exceptions(std::ios::badbit);
    // The classic locale keeps the digits plain whatever global locale the
    // host installed.
    os.imbue(std::locale::classic());
    os << value;
    text = ZELUNUString(os.str());
    return kSuccess;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
