#pragma once

// Library-internal: the sampler that hill-shades an RGBA image in place,
// run by the row templates of WarpRows.h.

#include <cstddef>
#include <cstdint>

#include "zorvsupport/warp/Samplers.h"
#include "zorvsupport/warp/ShadeRun.h"
#include "zorvsupport/warp/SurfaceNormals.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

using ImageType = TTupleDataType<TDataType<3>>;
using NormalType = TTupleDataType<TDataType<0>>;

// Scales red, green and blue of a pixel by ambient + diffuse * max(0, n . L),
// n the normal grid's bilinear sample under the pixel, renormalised. A pixel
// with alpha 0 is left alone. The normal sampler is called directly (it is
// final), never through the sampler interface.
class ShadingSampler final : public Sampler<ImageType> {
public:
    ShadingSampler(BilinearSampler<NormalType> const& normals, ConstTupleProxy<NormalType> light, float ambient,
                   float diffuse)
        : m_normals(normals), m_ambient(ambient), m_diffuse(diffuse)
    {
        for (unsigned k = 0; k < kComponents; ++k) m_light[k] = k < light.length() ? light[k] : 0.0f;
        auto const& source = m_normals.source();
        // The run kernel takes grids of three components with a no-data
        // normal of three; anything else goes pixel by pixel.
        m_cyclic = source.cyclic();
        m_runs = m_normals.tupleLength() == kComponents && source.comps() == kComponents &&
                 source.noDataCount() == kComponents && shadeRunFits(source.columns(), source.rows());
        m_grid.normals = source.at(0, 0);
        m_grid.width = source.columns();
        m_grid.height = source.rows();
        for (unsigned k = 0; k < kComponents; ++k) {
            m_grid.noData[k] = m_runs ? source.noData()[k] : 0.0f;
            m_grid.light[k] = m_light[k];
        }
        m_grid.ambient = ambient;
        m_grid.diffuse = diffuse;
    }

    // The n pixels of a row of `length` components from `column` on, at the
    // positions (px[i], py[i]): the same bytes as sample() on each in turn,
    // whole vectors of pixels at a time where the kernel can take them.
    void sampleRun(double const* px, double const* py, std::size_t n, std::uint8_t* row, std::size_t column,
                   unsigned length) const
    {
        std::uint8_t* const first = row + column * length;
        if (m_runs && length == 4 && (!m_cyclic || clearOfTheWrap(px, n)) && shadeRun(m_grid, px, py, n, first))
            return;
        for (std::size_t i = 0; i < n; ++i)
            sample(px[i], py[i], TupleProxy<ImageType>(first + i * length, length));
    }

    void sample(double x, double y, TupleProxy<ImageType> pixel) const override
    {
        std::uint8_t* const p = pixel.data();
        if (p[3] == 0) return;
        float n[kComponents];
        m_normals.sampleInto(x, y, n, kComponents);
        float const g = n[2] * n[2] + n[1] * n[1] + n[0] * n[0];
        float const s = invSqrt(g);
        n[0] = n[0] * s;
        n[1] = n[1] * s;
        n[2] = n[2] * s;
        float dot = n[2] * m_light[2] + n[1] * m_light[1] + n[0] * m_light[0];
        if (!(dot > 0.0f)) dot = 0.0f;
        float const k = dot * m_diffuse + m_ambient;
        for (unsigned c = 0; c < 3; ++c) {
            float const v = static_cast<float>(p[c]) * k;
            // NaN (a zero component under an infinite factor) goes to 0 with
            // the negatives, so the conversion is always defined.
            p[c] = !(v >= 0.0f) ? 0 : v > 255.0f ? 255 : static_cast<std::uint8_t>(v);
        }
    }

private:
    static constexpr unsigned kComponents = 3;

    // Whether every position of a run has both column neighbours inside the
    // grid: there wrapping columns read what plain ones do, so the kernel
    // serves a grid whose columns wrap too.
    bool clearOfTheWrap(double const* px, std::size_t n) const
    {
        double const last = static_cast<double>(m_grid.width) - 0.5;
        for (std::size_t i = 0; i < n; ++i)
            if (!(px[i] >= 0.5 && px[i] < last)) return false;
        return true;
    }

    BilinearSampler<NormalType> m_normals;
    float m_light[kComponents];
    float m_ambient;
    float m_diffuse;
    // The normal grid and the shading terms as the run kernel reads them.
    bool m_runs;
    bool m_cyclic;
    ShadeRunGrid m_grid;
};

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
