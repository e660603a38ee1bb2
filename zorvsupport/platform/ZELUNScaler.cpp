#include "zorvsupport/platform/ZELUNScaler.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "zorvsupport/StatusCodes.h"

namespace {

// One axis in disk units; false when it saturated or was NaN. The range test
// comes before the cast, so no conversion overflows.
bool toDisk(double value, double origin, double resolution, long& out)
{
    double const r = std::round((value - origin) / resolution);
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    if (!(r >= kMin)) {
        out = std::isnan(r) ? 0 : static_cast<long>(kMin);
        return false;
    }
    if (r > kMax) {
        out = static_cast<long>(kMax);
        return false;
    }
    out = static_cast<long>(r);
    return true;
}

}  // namespace

ZELUNScaler::ZELUNScaler(double originX, double originY, double originZ, double resolutionX, double resolutionY,
                         double resolutionZ)
    : m_origin{originX, originY, originZ}, m_resolution{resolutionX, resolutionY, resolutionZ}
{
}

long ZELUNScaler::userToDisk(double x, double y, double z, long& dx, long& dy, long& dz) const
{
    bool ok = toDisk(x, m_origin[0], m_resolution[0], dx);
    ok &= toDisk(y, m_origin[1], m_resolution[1], dy);
    ok &= toDisk(z, m_origin[2], m_resolution[2], dz);
    return ok ? 0 : ZORV_3_13_0_::DataSet::kErrNotConvertible;
}
