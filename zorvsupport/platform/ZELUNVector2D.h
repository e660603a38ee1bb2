#pragma once

namespace ZELUNCompGeom {

// A 2-D vector of doubles: x, then y, zero by default.
struct ZELUNVector2D {
    double x = 0.0;
    double y = 0.0;

    ZELUNVector2D() = default;
    ZELUNVector2D(double x_, double y_) : x(x_), y(y_) {}
};

}  // namespace ZELUNCompGeom
