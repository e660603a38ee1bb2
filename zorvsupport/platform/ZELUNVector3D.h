#pragma once

namespace ZELUNCompGeom {

// A 3-vector of doubles; also the homogeneous point (x, y, w) of 2-D maps.
struct ZELUNVector3D {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    ZELUNVector3D() = default;
    ZELUNVector3D(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
};

}  // namespace ZELUNCompGeom
