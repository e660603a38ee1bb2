#include "zorvsupport/platform/ZELUNUnit.h"

#include "zorvsupport/StatusCodes.h"

namespace {

struct UnitRegistry {
    ZELUNUnit units[7] = {
        ZELUNUnit("m", ZELUNUnit::kLength, 1.0),
        ZELUNUnit("km", ZELUNUnit::kLength, 1000.0),
        ZELUNUnit("ft", ZELUNUnit::kLength, 0.3048),
        ZELUNUnit("us-ft", ZELUNUnit::kLength, 1200.0 / 3937.0),
        ZELUNUnit("fathom", ZELUNUnit::kLength, 1.8288),
        ZELUNUnit("rad", ZELUNUnit::kAngle, 1.0),
        ZELUNUnit("deg", ZELUNUnit::kAngle, 3.14159265358979323846 / 180.0),
    };
};

// Built on first use, so a lookup made while other libraries are still being
// initialised finds the units; thread-safe by the rules of local statics.
UnitRegistry const& registry()
{
    static UnitRegistry const instance;
    return instance;
}

}  // namespace

ZELUNUnit::ZELUNUnit(ZELUNUString const& key, Dimension dimension, double factor)
    : m_key(key), m_dimension(dimension), m_factor(factor)
{
}

ZELUNUnit const* ZELUNUnit::get(ZELUNUString const& key)
{
    for (ZELUNUnit const& unit : registry().units)
        if (unit.m_key == key) return &unit;
    return nullptr;
}

char const* ZELUNUnit::getDirectionId(LengthDirection direction)
{
    switch (direction) {
    case kNoDirection: return "none";
    case kHorizontal: return "horizontal";
    case kUp: return "up";
    case kDown: return "down";
    }
    return "unknown";
}

bool ZELUNUnit::isOpposite(LengthDirection a, LengthDirection b)
{
    return (a == kUp && b == kDown) || (a == kDown && b == kUp);
}

double ZELUNUnit::convert(double value, ZELUNUnit const* from, long& status) const
{
    if (from == nullptr || from->m_dimension != m_dimension) {
        status = ZORV_3_13_0_::DataSet::kErrNotConvertible;
        return value;
    }
    status = ZORV_3_13_0_::DataSet::kSuccess;
    if (from == this || from->m_factor == m_factor) return value;
    return value * from->m_factor / m_factor;
}
