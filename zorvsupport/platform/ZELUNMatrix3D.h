#pragma once

#include "zorvsupport/platform/ZELUNVector3D.h"

namespace ZELUNCompGeom {

// A 3 x 3 matrix of doubles in row order, acting on column vectors. The sums
// are taken in a fixed order, ((a0 b0 + a1 b1) + a2 b2), which the raster
// warp kernels reproduce bit for bit.
class ZELUNMatrix3D {
public:
    ZELUNMatrix3D() = default;
    ZELUNMatrix3D(double m00, double m01, double m02, double m10, double m11, double m12, double m20, double m21,
                  double m22)
        : m{m00, m01, m02, m10, m11, m12, m20, m21, m22}
    {
    }

    double& operator()(int row, int col) { return m[3 * row + col]; }
    double operator()(int row, int col) const { return m[3 * row + col]; }

    ZELUNMatrix3D operator*(ZELUNMatrix3D const& b) const
    {
        ZELUNMatrix3D c;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                c(i, j) = ((*this)(i, 0) * b(0, j) + (*this)(i, 1) * b(1, j)) + (*this)(i, 2) * b(2, j);
        return c;
    }

    ZELUNVector3D operator*(ZELUNVector3D const& v) const
    {
        return ZELUNVector3D((m[0] * v.x + m[1] * v.y) + m[2] * v.z, (m[3] * v.x + m[4] * v.y) + m[5] * v.z,
                             (m[6] * v.x + m[7] * v.y) + m[8] * v.z);
    }

private:
    double m[9] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
};

}  // namespace ZELUNCompGeom
