#include "zorvsupport/platform/ZELUNCoordSystem.h"

#include <cmath>

#include <unicode/utf16.h>

ZELUNCoordSystem::ZELUNCoordSystem() = default;
ZELUNCoordSystem::ZELUNCoordSystem(ZELUNCoordSystem const& other) = default;
ZELUNCoordSystem& ZELUNCoordSystem::operator=(ZELUNCoordSystem const& other) = default;
ZELUNCoordSystem::~ZELUNCoordSystem() = default;

ZELUNCoordSystem ZELUNCoordSystem::utm(int zone, ZELUNUString const& name)
{
    ZELUNCoordSystem cs;
    cs.m_kind = kUTM;
    cs.m_zone = zone;
    int absZone = zone < 0 ? -zone : zone;
    cs.m_centralMeridian = 6.0 * absZone - 183.0;
    cs.m_scale = 0.9996;
    cs.m_falseEasting = 500000.0;
    cs.m_falseNorthing = zone < 0 ? 10000000.0 : 0.0;
    cs.m_name = name;
    return cs;
}

bool ZELUNCoordSystem::operator==(ZELUNCoordSystem const& other) const
{
    return m_kind == other.m_kind && m_zone == other.m_zone && m_centralMeridian == other.m_centralMeridian &&
           m_originLatitude == other.m_originLatitude && m_scale == other.m_scale &&
           m_falseEasting == other.m_falseEasting && m_falseNorthing == other.m_falseNorthing &&
           m_unitFactor == other.m_unitFactor && m_name == other.m_name;
}

bool ZELUNCoordSystem::isValid() const
{
    if (m_kind < kGeographic || m_kind > kLocalGrid) return false;
    if (m_kind == kUTM && (m_zone < -60 || m_zone > 60 || m_zone == 0)) return false;
    double const numbers[] = {m_centralMeridian, m_originLatitude, m_scale, m_falseEasting, m_falseNorthing,
                              m_unitFactor};
    for (double v : numbers)
        if (!std::isfinite(v)) return false;
    if (!(m_scale > 0.0) || !(m_unitFactor > 0.0)) return false;
    // The name travels as UTF-8 cut at the first NUL: anything that would not
    // come back unchanged is refused.
    int32_t n = m_name.length();
    for (int32_t i = 0; i < n; ++i) {
        char16_t u = m_name.charAt(i);
        if (u == 0) return false;
        if (U16_IS_LEAD(u)) {
            if (i + 1 >= n || !U16_IS_TRAIL(m_name.charAt(i + 1))) return false;
            ++i;
        } else if (U16_IS_TRAIL(u)) {
            return false;
        }
    }
    return true;
}
