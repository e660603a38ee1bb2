#pragma once

// Matrices and boxes for the query-shape tests.

#include <vector>

#include "zorvsupport/platform/ZELUNnBox.h"
#include "zorvsupport/platform/ZELUNnPoint.h"

namespace testsupport {

// The 4x4 identity, column-major as the shapes take it.
inline std::vector<double> identityMatrix()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

// The identity with m[12] = dx: adds dx to x.
inline std::vector<double> translationMatrix(double dx)
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, dx, 0, 0, 1};
}

inline ZELUNnBox<double, 3> box(double x0, double y0, double z0, double x1, double y1, double z1)
{
    return ZELUNnBox<double, 3>(ZELUNnPoint<double, 3>(x0, y0, z0), ZELUNnPoint<double, 3>(x1, y1, z1));
}

}  // namespace testsupport
