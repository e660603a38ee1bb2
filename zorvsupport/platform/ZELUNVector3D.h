#pragma once

#include <cmath>

namespace ZELUNCompGeom {

// A 3-vector of doubles; also the homogeneous point (x, y, w) of 2-D maps.
struct ZELUNVector3D {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    ZELUNVector3D() = default;
    ZELUNVector3D(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}

    // Euclidean length, the squares summed in the order x, y, z.
    double length() const { return std::sqrt((x * x + y * y) + z * z); }

    // Scales the vector to unit length and returns its former length when
    // that exceeds `tolerance`; otherwise (also for a NaN length) leaves it
    // unchanged and returns 0.
    double unitize(double tolerance)
    {
        double const len = length();
        if (!(len > tolerance)) return 0.0;
        x /= len;
        y /= len;
        z /= len;
        return len;
    }
};

}  // namespace ZELUNCompGeom
