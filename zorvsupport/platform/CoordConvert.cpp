#include "zorvsupport/platform/CoordConvert.h"

#include <charconv>
#include <string>
#include <string_view>
#include <system_error>

#include "zorvsupport/StatusCodes.h"

namespace {

using ZORV_3_13_0_::DataSet::kErrNotConvertible;
using ZORV_3_13_0_::DataSet::kErrNotSupported;
using ZORV_3_13_0_::DataSet::kSuccess;

// Indexed by ZELUNCoordSystem::Kind.
constexpr std::string_view kKindNames[] = {"geographic", "tmerc", "utm", "merc", "webmerc", "localgrid"};
constexpr std::string_view kNameKey = ";name=";

void appendNumber(std::string& out, int value)
{
    char text[16];
    std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
}

// The shortest text that reads back exactly: plain decimals while they stay
// short (500000, 0.9996), exponent notation for very large or small values.
void appendNumber(std::string& out, double value)
{
    char text[64];
    std::to_chars_result r = std::to_chars(text, text + 24, value, std::chars_format::fixed);
    if (r.ec != std::errc()) r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
}

// Caller guarantees a valid system.
std::string kindText(ZELUNCoordSystem const& cs)
{
    return std::string(kKindNames[cs.kind()]);
}

std::string parametersText(ZELUNCoordSystem const& cs)
{
    std::string out = "zone=";
    appendNumber(out, cs.zone());
    out += ";cm=";
    appendNumber(out, cs.centralMeridian());
    out += ";lat0=";
    appendNumber(out, cs.originLatitude());
    out += ";k=";
    appendNumber(out, cs.scale());
    out += ";fe=";
    appendNumber(out, cs.falseEasting());
    out += ";fn=";
    appendNumber(out, cs.falseNorthing());
    out += ";unit=";
    appendNumber(out, cs.unitFactor());
    return out;
}

bool parseKind(std::string_view text, ZELUNCoordSystem& cs)
{
    for (int k = 0; k < static_cast<int>(std::size(kKindNames)); ++k) {
        if (text == kKindNames[k]) {
            cs.setKind(static_cast<ZELUNCoordSystem::Kind>(k));
            return true;
        }
    }
    return false;
}

// Consumes "<key><number>" from the front of `rest`; the number runs to the
// next ';' or the end and must be read whole.
template <class T>
bool takeField(std::string_view& rest, std::string_view key, T& value)
{
    if (rest.substr(0, key.size()) != key) return false;
    rest.remove_prefix(key.size());
    std::size_t end = rest.find(';');
    if (end == std::string_view::npos) end = rest.size();
    std::from_chars_result r = std::from_chars(rest.data(), rest.data() + end, value);
    if (r.ec != std::errc() || r.ptr != rest.data() + end) return false;
    rest.remove_prefix(end);
    return true;
}

bool takeSeparator(std::string_view& rest)
{
    if (rest.empty() || rest.front() != ';') return false;
    rest.remove_prefix(1);
    return true;
}

// Consumes the parameters text from the front of `rest`.
bool parseParameters(std::string_view& rest, ZELUNCoordSystem& cs)
{
    int zone = 0;
    double cm = 0, lat0 = 0, k = 0, fe = 0, fn = 0, unit = 0;
    bool ok = takeField(rest, "zone=", zone) && takeSeparator(rest) && takeField(rest, "cm=", cm) &&
              takeSeparator(rest) && takeField(rest, "lat0=", lat0) && takeSeparator(rest) &&
              takeField(rest, "k=", k) && takeSeparator(rest) && takeField(rest, "fe=", fe) &&
              takeSeparator(rest) && takeField(rest, "fn=", fn) && takeSeparator(rest) &&
              takeField(rest, "unit=", unit);
    if (!ok) return false;
    cs.setZone(zone);
    cs.setCentralMeridian(cm);
    cs.setOriginLatitude(lat0);
    cs.setScale(k);
    cs.setFalseEasting(fe);
    cs.setFalseNorthing(fn);
    cs.setUnitFactor(unit);
    return true;
}

long deliver(bool ok, ZELUNCoordSystem const& cs, ZELUNType<ZELUNCoordSystem>& holder)
{
    if (!ok || !cs.isValid()) {
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
    if (!system.isValid() || system.name().length() > kMaxCompactNameLength) return kErrNotConvertible;
    std::string out = kindText(system);
    out += ';';
    out += parametersText(system);
    out += kNameKey;
    out += system.name().toUtf8();
    text = ZELUNUString::fromUtf8(out);
    return kSuccess;
}

long CoordConvert::coordToStrings(ZELUNCoordSystem const& system, ZELUNUString& first, ZELUNUString& second,
                                  ZELUNUString& third)
{
    if (!system.isValid()) return kErrNotConvertible;
    first = ZELUNUString::fromUtf8(kindText(system));
    second = ZELUNUString::fromUtf8(parametersText(system));
    third = system.name();
    return kSuccess;
}

long CoordConvert::coordFromString(ZELUNUString const& text, CoordFormat format, ZELUNType<ZELUNCoordSystem>& holder)
{
    if (format != kDefinitionFormat) {
        holder.reset();
        return kErrNotSupported;
    }
    std::string utf8 = text.toUtf8();
    std::string_view rest = utf8;
    ZELUNCoordSystem cs;
    std::size_t kindEnd = rest.find(';');
    bool ok = kindEnd != std::string_view::npos && parseKind(rest.substr(0, kindEnd), cs);
    if (ok) {
        rest.remove_prefix(kindEnd + 1);
        ok = parseParameters(rest, cs) && rest.substr(0, kNameKey.size()) == kNameKey;
    }
    if (ok) {
        rest.remove_prefix(kNameKey.size());
        cs.setName(ZELUNUString::fromUtf8(rest.data(), rest.size()));
        ok = cs.name().length() <= kMaxCompactNameLength;
    }
    return deliver(ok, cs, holder);
}

long CoordConvert::coordFromStrings(ZELUNUString const& first, ZELUNUString const& second, ZELUNUString const& third,
                                    ZELUNType<ZELUNCoordSystem>& holder)
{
    ZELUNCoordSystem cs;
    std::string parameters = second.toUtf8();
    std::string_view rest = parameters;
    bool ok = parseKind(first.toUtf8(), cs) && parseParameters(rest, cs) && rest.empty();
    if (ok) cs.setName(third);
    return deliver(ok, cs, holder);
}
