#pragma once

// Library-internal: the per-cell normal rule, the fast inverse square root
// and the literal scalar normal loop that the fast path must match bit for
// bit.

#include <cstdint>
#include <cstring>

#include "zorvsupport/datavector/TDataVector.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// The neighbours of a cell that lie inside the grid, as bits.
enum NeighbourBits : unsigned {
    kRightInGrid = 1u,
    kDownInGrid = 2u,
    kLeftInGrid = 4u,
    kUpInGrid = 8u,
    kAllInGrid = 15u,
};

// A height holds data unless it equals noData; with a NaN noData, unless
// it is NaN.
inline bool holdsData(float h, float noData)
{
    return noData == noData ? h != noData : h == h;
}

// The bit-level inverse square root approximation and one Newton step, in
// float32, in this order of operations.
inline float invSqrt(float g)
{
    std::int32_t b;
    std::memcpy(&b, &g, sizeof b);
    std::int32_t const bits = 0x5F3759DF - (b >> 1);
    float y0;
    std::memcpy(&y0, &bits, sizeof y0);
    return y0 * (1.5f - ((0.5f * g) * y0) * y0);
}

// The normal of one cell into (nx, ny, nz), zeroed first. False when the
// cell takes the default normal: the centre has no data, or fewer than two
// neighbours that lie in the grid (`inGrid`) hold data. Each valid pair of
// a horizontal and a vertical neighbour adds one term; all in float32, each
// running component stored after every step.
inline bool computeCellNormal(float centre, float right, float down, float left, float up, float& nx, float& ny,
                              float& nz, float sx, float sy, float noData, unsigned inGrid = kAllInGrid)
{
    nx = 0.0f;
    ny = 0.0f;
    nz = 0.0f;
    if (!holdsData(centre, noData)) return false;
    bool const vr = (inGrid & kRightInGrid) && holdsData(right, noData);
    bool const vd = (inGrid & kDownInGrid) && holdsData(down, noData);
    bool const vl = (inGrid & kLeftInGrid) && holdsData(left, noData);
    bool const vu = (inGrid & kUpInGrid) && holdsData(up, noData);
    if (int(vr) + int(vd) + int(vl) + int(vu) < 2) return false;
    float const r = right - centre;
    float const d = down - centre;
    float const l = left - centre;
    float const u = up - centre;
    if (vr && vd) {
        nx += -r;
        ny += -d;
        nz += 1.0f;
    }
    if (vr && vu) {
        nx += -r;
        ny += u;
        nz += 1.0f;
    }
    if (vl && vd) {
        nx += l;
        ny += -d;
        nz += 1.0f;
    }
    if (vl && vu) {
        nx += l;
        ny += u;
        nz += 1.0f;
    }
    nx = sx * nx;
    ny = sy * ny;
    nz = (sx * nz) * sy;
    float const g = nz * nz + ny * ny + nx * nx;
    float const y = invSqrt(g);
    nx = nx * y;
    ny = ny * y;
    nz = nz * y;
    return true;
}

// The normal of cell (j, i) of a width x height grid by the rule above,
// reading only neighbours inside the grid; the default normal where the rule
// gives none. `out` holds three floats per cell.
inline void cellNormal(float const* heights, float* out, std::size_t width, std::size_t height, std::size_t j,
                       std::size_t i, float sx, float sy, float noData, float const defaultNormal[3])
{
    std::size_t const at = j + i * width;
    unsigned inGrid = 0;
    float right = noData, down = noData, left = noData, up = noData;
    if (j + 1 < width) {
        inGrid |= kRightInGrid;
        right = heights[at + 1];
    }
    if (i + 1 < height) {
        inGrid |= kDownInGrid;
        down = heights[at + width];
    }
    if (j > 0) {
        inGrid |= kLeftInGrid;
        left = heights[at - 1];
    }
    if (i > 0) {
        inGrid |= kUpInGrid;
        up = heights[at - width];
    }
    float* const n = out + 3 * at;
    if (!computeCellNormal(heights[at], right, down, left, up, n[0], n[1], n[2], sx, sy, noData, inGrid)) {
        n[0] = defaultNormal[0];
        n[1] = defaultNormal[1];
        n[2] = defaultNormal[2];
    }
}

// sx = factorX * (1 / divisor) and sy = (1 / divisor) * factorY, in float32.
inline float scaleX(float factorX, float divisor)
{
    return factorX * (1.0f / divisor);
}
inline float scaleY(float factorY, float divisor)
{
    return (1.0f / divisor) * factorY;
}

// The literal loop: every cell in storage order through cellNormal. The
// reference that the fast path is tested against.
void computeNormalsScalar(float const* heights, float* out, std::size_t width, std::size_t height,
                                      float noData, float sx, float sy, float const defaultNormal[3]);

// The fast loop: the interior in SIMD vectors, the border and the cells a
// vector cannot take through cellNormal. Bit for bit the scalar loop.
void computeNormalsFast(float const* heights, float* out, std::size_t width, std::size_t height,
                                    float noData, float sx, float sy, float const defaultNormal[3]);

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
