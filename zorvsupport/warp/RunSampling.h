#pragma once

// Library-internal: the source positions of a run of pixels through one
// mesh matrix, and whether a sampler has a run entry of its own.

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {
namespace RowDetail {

// The cell matrix with its y column applied to the row: X = (m00 x + m01y)
// + m02, likewise Y and W, the position (X / W, Y / W) as X and Y times 1 / W.
struct RowMatrix {
    double m00, m01y, m02;
    double m10, m11y, m12;
    double m20, m21y, m22;
};

// The positions of the n pixels from `column` on (x = column + i + 0.5,
// n below 2^31) into px[i * stride] and py[i * stride]: exactly the
// per-pixel product. Where m20 is zero (an affine cell, as every cell of
// equal covers), m20 x is a zero of m20's sign for every x > 0, so W and its
// reciprocal are those of the first pixel for the whole run.
inline void runPositions(RowMatrix const& m, std::size_t column, std::size_t n, double* px, double* py,
                         std::size_t stride = 1)
{
    double const x0 = static_cast<double>(column) + 0.5;
    if (m.m20 == 0.0) {
        double const inv = 1.0 / ((m.m20 * x0 + m.m21y) + m.m22);
        for (std::size_t i = 0; i < n; ++i) {
            // x0 + i is exact as long as the column is below 2^52.
            double const x = x0 + static_cast<double>(static_cast<std::int32_t>(i));
            px[i * stride] = ((m.m00 * x + m.m01y) + m.m02) * inv;
            py[i * stride] = ((m.m10 * x + m.m11y) + m.m12) * inv;
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        double const x = static_cast<double>(column + i) + 0.5;
        double const X = (m.m00 * x + m.m01y) + m.m02;
        double const Y = (m.m10 * x + m.m11y) + m.m12;
        double const W = (m.m20 * x + m.m21y) + m.m22;
        double const inv = 1.0 / W;
        px[i * stride] = X * inv;
        py[i * stride] = Y * inv;
    }
}

// Whether sampler S has a run entry sampleRun(px, py, n, row, column, length).
template <class S, class = void>
struct HasSampleRun : std::false_type {};
template <class S>
struct HasSampleRun<S, std::void_t<decltype(&S::sampleRun)>> : std::true_type {};

}  // namespace RowDetail
}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
