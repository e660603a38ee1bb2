#pragma once

#include "zorvsupport/Export.h"

// Maps user coordinates to the integer disk units of a sounding set: per axis
// (value - origin) / resolution, rounded to nearest (halves away from zero).
class ZORV_EXPORT ZELUNScaler {
public:
    ZELUNScaler() = default;
    ZELUNScaler(double originX, double originY, double originZ, double resolutionX, double resolutionY,
                double resolutionZ);

    // Each axis rounded and saturated into the int32 range, NaN giving 0.
    // kErrNotConvertible when any axis saturated or was NaN, otherwise 0;
    // the three outputs are written in either case.
    long userToDisk(double x, double y, double z, long& dx, long& dy, long& dz) const;

private:
    double m_origin[3] = {0.0, 0.0, 0.0};
    double m_resolution[3] = {1.0, 1.0, 1.0};
};
