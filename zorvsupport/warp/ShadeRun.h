#pragma once

// Library-internal: the shading of a run of RGBA pixels from the bilinear
// samples of a float32 x 3 normal grid, whole SIMD vectors of pixels at a
// time; bit for bit ShadingSampler::sample applied to every pixel in turn.

#include <cstddef>
#include <cstdint>

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// What the run kernel reads: the normal grid (three floats per cell, cell
// (c, r) at 3 * (c + r * width)), its no-data normal, the light and the two
// shading terms.
struct ShadeRunGrid {
    float const* normals;
    std::size_t width;
    std::size_t height;
    float noData[3];
    float light[3];
    float ambient;
    float diffuse;
};

// Whether the run kernel can serve a grid of this size: every component
// index fits a 32-bit lane.
inline bool shadeRunFits(std::size_t width, std::size_t height)
{
    constexpr std::size_t kMax = 0x7FFFFFFF;
    return width <= kMax && height <= kMax && (height == 0 || width <= kMax / 3 / height);
}

// Shades the n pixels (4 bytes each, consecutive from `pixels`) at the
// source positions (px[i], py[i]) of the normal grid. False, with nothing
// written, where the running target has no vector path (the caller then
// shades pixel by pixel). The grid must satisfy shadeRunFits.
bool shadeRun(ShadeRunGrid const& grid, double const* px, double const* py, std::size_t n, std::uint8_t* pixels);

// The bilinear normals of the same kernel at the n positions, three floats
// each into `normals`, before any shading: bit for bit the bilinear
// sampler's, but for which NaN a sum of two NaNs carries (the compiler may
// swap the operands of the scalar rule); no shaded byte depends on that.
// False, with nothing written, as above.
bool sampleNormalsRun(ShadeRunGrid const& grid, double const* px, double const* py, std::size_t n, float* normals);

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
