// The run entry of the shading sampler against its per-pixel rule, bit for
// bit on every SIMD target: the kernel alone over positions and normals
// chosen to reach every branch of the rule, and the row worker's mesh rows
// against the transform and the sampler called pixel by pixel.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "support/SimdTargets.h"
#include "warp/WarpTestSupport.h"
#include "zorvsupport/warp/ShadeRun.h"
#include "zorvsupport/warp/ShadingSampler.h"
#include "zorvsupport/warp/WarpRows.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using namespace zorvtest;

namespace {

using U8x = TTupleDataType<TDataType<3>>;
using F32x = TTupleDataType<TDataType<0>>;

double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kInf = std::numeric_limits<double>::infinity();
float const kLight[3] = {-0.5f, 0.5f, 0.7071f};

// A small deterministic generator.
struct Lcg {
    std::uint64_t s;
    std::uint32_t next()
    {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(s >> 33);
    }
    double unit() { return next() / 2147483648.0; }  // [0, 1)
};

std::uint32_t bitsOf(float f)
{
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

float floatOfBits(std::uint32_t b)
{
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}

// A w x h normal grid of varied normals; about one cell in six holds the
// no-data normal, and some hold zeros of both signs, infinities, NaNs of
// both signs or components near the float limit (their sums overflow).
boost::shared_ptr<TDataVector2D<F32x>> variedNormals(unsigned w, unsigned h, float const noData[3], Lcg& rng)
{
    auto g = makeGrid(F32x(3), w, h);
    auto* n = static_cast<float*>(g->getDataPtr());
    float const specials[] = {0.0f,     -0.0f,    INFINITY, -INFINITY, floatOfBits(0x7FC00001u),
                              floatOfBits(0xFFC00000u), FLT_MAX, -FLT_MAX, 1e-40f, 3.0e38f};
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i) {
        std::uint32_t const kind = rng.next() % 12;
        for (unsigned k = 0; k < 3; ++k) {
            float v = static_cast<float>(rng.unit() * 2.0 - 1.0);
            if (kind == 0 || kind == 1) v = noData[k];
            if (kind == 2) v = specials[rng.next() % (sizeof specials / sizeof specials[0])];
            n[3 * i + k] = v;
        }
    }
    return g;
}

// Positions that reach every branch of the footprint: random ones around
// the grid, whole rows of cell centres and of centres shifted by a quarter
// (consecutive cells), columns, and the edges of each axis with the values
// that are not numbers or not finite.
void positions(unsigned w, unsigned h, Lcg& rng, std::vector<double>& x, std::vector<double>& y)
{
    for (int i = 0; i < 150; ++i) {
        x.push_back(rng.unit() * (w + 3.0) - 1.5);
        y.push_back(rng.unit() * (h + 3.0) - 1.5);
    }
    for (double shift : {0.5, 0.75, 0.5000001})
        for (unsigned r = 0; r < h; ++r)
            for (unsigned c = 0; c < w; ++c) {
                x.push_back(c + shift);
                y.push_back(r + (shift == 0.75 ? 0.25 : 0.5));
            }
    for (unsigned c = 0; c < w; ++c)
        for (unsigned r = 0; r < h; ++r) {
            x.push_back(c + 0.5);
            y.push_back(r + 0.9);
        }
    auto edges = [](double count) {
        return std::vector<double>{-1.5,      -0.5000001, -0.5,  -0.0, 0.0,        0.4999999, 0.5,
                                   0.5000001, count - 0.5, count, count + 0.5, count + 0.4999999,
                                   count + 7, kNaN,         kInf,  -kInf, 1e300,     -1e300};
    };
    std::vector<double> const ex = edges(w), ey = edges(h);
    for (double a : ex)
        for (double b : ey) {
            x.push_back(a);
            y.push_back(b);
            x.push_back(b);
            y.push_back(rng.unit() * h);
        }
}

// RGBA pixels with every byte value about, one in five transparent.
std::vector<std::uint8_t> variedPixels(std::size_t n, Lcg& rng)
{
    std::vector<std::uint8_t> p(4 * n);
    for (std::size_t i = 0; i < n; ++i) {
        for (unsigned k = 0; k < 4; ++k) p[4 * i + k] = static_cast<std::uint8_t>(rng.next());
        if (rng.next() % 5 == 0) p[4 * i + 3] = 0;
        if (rng.next() % 7 == 0) p[4 * i] = 255;
    }
    return p;
}

// The pixels shaded one by one through sample().
std::vector<std::uint8_t> perPixel(ShadingSampler const& s, double const* x, double const* y, std::size_t n,
                                   std::vector<std::uint8_t> p)
{
    for (std::size_t i = 0; i < n; ++i) s.sample(x[i], y[i], TupleProxy<U8x>(p.data() + 4 * i, 4));
    return p;
}

TEST(ShadeRun, RunsGiveThePixelByPixelBytes)
{
    float const zero[3] = {0, 0, 0}, up[3] = {0, 0, 1};
    float const nanNoData[3] = {NAN, NAN, NAN};
    float const strongLight[3] = {1e30f, -1e30f, 5.0f};
    struct Case {
        unsigned w, h;
        float const* noData;
        float const* light;
    } const cases[] = {
        {7, 5, zero, kLight}, {33, 17, up, kLight}, {1, 1, up, kLight},       {1, 6, zero, kLight},
        {6, 1, zero, kLight}, {0, 4, up, kLight},   {9, 8, nanNoData, kLight}, {12, 7, zero, strongLight},
    };
    forEachSimdTarget([&] {
        bool const vectors = hwy::SupportedTargets() != HWY_SCALAR;
        for (Case const& c : cases) {
            SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
            Lcg rng{c.w * 131u + c.h};
            auto const normals = variedNormals(c.w, c.h, c.noData, rng);
            ShadingSampler const sampler(BilinearSampler<F32x>(3, normals.get(), ConstTupleProxy<F32x>(c.noData, 3)),
                                         ConstTupleProxy<F32x>(c.light, 3), kAmbient, kDiffuse);
            ShadeRunGrid grid{static_cast<float const*>(normals->getConstDataPtr()), c.w, c.h, {}, {},
                              kAmbient, kDiffuse};
            for (unsigned k = 0; k < 3; ++k) {
                grid.noData[k] = c.noData[k];
                grid.light[k] = c.light[k];
            }
            std::vector<double> x, y;
            positions(c.w, c.h, rng, x, y);
            std::vector<std::uint8_t> const pixels = variedPixels(x.size(), rng);
            // Runs of every length up to 40 from varying starts, and the
            // whole list as one run.
            std::size_t at = 0;
            for (std::size_t n = 0; n <= 40 && at + n <= x.size(); at += n, ++n) {
                std::vector<std::uint8_t> const from(pixels.begin() + 4 * at, pixels.begin() + 4 * (at + n));
                std::vector<std::uint8_t> const expected = perPixel(sampler, &x[at], &y[at], n, from);
                std::vector<std::uint8_t> run = from;
                sampler.sampleRun(&x[at], &y[at], n, run.data(), 0, 4);
                ASSERT_EQ(run, expected) << "run of " << n << " from " << at;
                std::vector<std::uint8_t> kernel = from;
                EXPECT_EQ(shadeRun(grid, &x[at], &y[at], n, kernel.data()), vectors);
                if (vectors) {
                    ASSERT_EQ(kernel, expected) << "kernel, run of " << n << " from " << at;
                }
            }
            std::vector<std::uint8_t> run = pixels;
            sampler.sampleRun(x.data(), y.data(), x.size(), run.data(), 0, 4);
            EXPECT_EQ(run, perPixel(sampler, x.data(), y.data(), x.size(), pixels));
            // The sampled normals themselves, before the shading rounds
            // them into bytes, against the bilinear sampler. Which NaN a
            // sum of two NaNs keeps is the compiler's choice (it may swap
            // the operands), so any NaN matches any NaN; the bytes above
            // never depend on it.
            BilinearSampler<F32x> const bilinear(3, normals.get(), ConstTupleProxy<F32x>(c.noData, 3));
            std::vector<float> expected(3 * x.size()), sampled(3 * x.size());
            for (std::size_t i = 0; i < x.size(); ++i) bilinear.sampleInto(x[i], y[i], &expected[3 * i], 3);
            EXPECT_EQ(sampleNormalsRun(grid, x.data(), y.data(), x.size(), sampled.data()), vectors);
            if (vectors) {
                for (std::size_t i = 0; i < expected.size(); ++i) {
                    if (std::isnan(sampled[i]) && std::isnan(expected[i])) continue;
                    ASSERT_EQ(bitsOf(sampled[i]), bitsOf(expected[i]))
                        << "component " << i % 3 << " at (" << x[i / 3] << ", " << y[i / 3] << ")";
                }
            }
        }
    });
}

// A normal grid or no-data normal of another length than 3, and pixels of
// another length than 4, go pixel by pixel with the same bytes.
TEST(ShadeRun, OtherLengthsGoPixelByPixel)
{
    Lcg rng{7};
    float const noData[4] = {0, 0, 1, 0};
    auto wide = makeGrid(F32x(4), 5, 5);
    auto* w = static_cast<float*>(wide->getDataPtr());
    for (std::size_t i = 0; i < 4 * 25; ++i) w[i] = static_cast<float>(rng.unit() - 0.5);
    auto three = variedNormals(5, 5, noData, rng);
    std::vector<double> x, y;
    positions(5, 5, rng, x, y);
    struct Case {
        TDataVector2D<F32x> const* normals;
        unsigned noDataLength, pixelLength;
    } const cases[] = {{wide.get(), 4, 4}, {three.get(), 4, 4}, {three.get(), 3, 5}};
    for (Case const& c : cases) {
        ShadingSampler const sampler(BilinearSampler<F32x>(3, c.normals, ConstTupleProxy<F32x>(noData, c.noDataLength)),
                                     ConstTupleProxy<F32x>(kLight, 3), kAmbient, kDiffuse);
        std::vector<std::uint8_t> const pixels = variedPixels(x.size() * c.pixelLength / 4 + 1, rng);
        std::vector<std::uint8_t> expected = pixels;
        for (std::size_t i = 0; i < x.size(); ++i)
            sampler.sample(x[i], y[i], TupleProxy<U8x>(expected.data() + i * c.pixelLength, c.pixelLength));
        std::vector<std::uint8_t> run = pixels;
        sampler.sampleRun(x.data(), y.data(), x.size(), run.data(), 0, c.pixelLength);
        EXPECT_EQ(run, expected) << c.noDataLength << " " << c.pixelLength;
    }
}

// Whole images through the row worker's mesh rows (runs per cell) against
// the transform and the sampler called pixel by pixel: an image on the
// normals' own cover (consecutive cells), one on a finer cover of the same
// system (blends of four), and one in geographic coordinates over normals
// in UTM (gathers).
TEST(ShadeRun, MeshRowsGiveThePixelByPixelBytes)
{
    ZELUNCoordSystem const utm("EPSG:32633"), geographic("EPSG:4326");
    ZELUNCover const normalCover(utm, 500000, 5094000, 500000 + 30.0 * 150, 5094000 + 30.0 * 90);
    long status = 0;
    ZELUNCover const geoCover = normalCover.transformTo(geographic, status);
    ASSERT_EQ(status, 0);
    float const zero[3] = {0, 0, 0};
    Lcg rng{11};
    auto const normals = variedNormals(150, 90, zero, rng);
    ShadingSampler const sampler(BilinearSampler<F32x>(3, normals.get(), ConstTupleProxy<F32x>(zero, 3)),
                                 ConstTupleProxy<F32x>(kLight, 3), kAmbient, kDiffuse);
    std::uint8_t const noData[4] = {1, 2, 3, 4};
    struct Case {
        char const* what;
        unsigned w, h;
        ZELUNCover cover;
    } const cases[] = {
        {"same cover", 150, 90, normalCover},
        {"finer cover", 331, 203, normalCover},
        {"geographic", 257, 141, geoCover},
    };
    ZELUNnBox<double, 2> const normalBox(ZELUNnPoint<double, 2>(0.0, 0.0), ZELUNnPoint<double, 2>(150.0, 90.0));
    forEachSimdTarget([&] {
        for (Case const& c : cases) {
            ZELUNnBox<double, 2> const imageBox(ZELUNnPoint<double, 2>(0.0, 0.0),
                                                ZELUNnPoint<double, 2>(double(c.w), double(c.h)));
            long built = 0;
            MeshReprojectionTransform const mesh(imageBox, c.cover, normalBox, normalCover, kMeshCellSize, built);
            ASSERT_EQ(built, 0) << c.what;
            auto image = makeGrid(U8x(4), c.w, c.h);
            auto* bytes = static_cast<std::uint8_t*>(image->getDataPtr());
            std::vector<std::uint8_t> expected = variedPixels(std::size_t(c.w) * c.h, rng);
            std::memcpy(bytes, expected.data(), expected.size());
            warpRows<U8x, ShadingSampler>(*image, mesh, sampler, 0, c.h, ConstTupleProxy<U8x>(noData, 4));
            for (unsigned r = 0; r < c.h; ++r)
                for (unsigned col = 0; col < c.w; ++col) {
                    std::uint8_t* p = expected.data() + 4 * (col + std::size_t(r) * c.w);
                    double X, Y;
                    if (mesh.transform(col + 0.5, r + 0.5, X, Y))
                        sampler.sample(X, Y, TupleProxy<U8x>(p, 4));
                    else
                        std::memcpy(p, noData, 4);
                }
            EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + expected.size()), expected) << c.what;
        }
    });
}

}  // namespace

// A normal grid whose columns wrap (a geographic cover one turn wide): runs
// near and past the last column read the first one, exactly as sample() does.
TEST(ShadeRun, WrappingColumnsGiveThePixelByPixelBytes)
{
    float const zero[3] = {0, 0, 0};
    unsigned const w = 9, h = 5;
    Lcg rng{977};
    auto const normals = variedNormals(w, h, zero, rng);
    ShadingSampler const wrapping(BilinearSampler<F32x>(3, normals.get(), ConstTupleProxy<F32x>(zero, 3), true),
                                  ConstTupleProxy<F32x>(kLight, 3), kAmbient, kDiffuse);
    ShadingSampler const plain(BilinearSampler<F32x>(3, normals.get(), ConstTupleProxy<F32x>(zero, 3)),
                               ConstTupleProxy<F32x>(kLight, 3), kAmbient, kDiffuse);
    std::vector<double> x, y;
    for (unsigned i = 0; i < 64; ++i) {
        x.push_back(w - 1.0 + i / 32.0);  // from the last column's centre to one column past the grid
        y.push_back(0.5 + (i % 8) * 0.5);
    }
    for (unsigned i = 0; i < 64; ++i) {  // clear of the wrap: the kernel's own runs
        x.push_back(0.5 + i * (w - 1.0) / 64.0);
        y.push_back(0.25 + (i % 9) * 0.5);
    }
    std::vector<std::uint8_t> const pixels(4 * x.size(), 200);
    forEachSimdTarget([&] {
        // Runs of 16 from every start: across the wrap, near it, and clear of it.
        for (std::size_t at = 0; at + 16 <= x.size(); ++at) {
            std::vector<std::uint8_t> const from(pixels.begin() + 4 * at, pixels.begin() + 4 * (at + 16));
            std::vector<std::uint8_t> run = from;
            wrapping.sampleRun(&x[at], &y[at], 16, run.data(), 0, 4);
            ASSERT_EQ(run, perPixel(wrapping, &x[at], &y[at], 16, from)) << "run from " << at;
        }
    });
    EXPECT_NE(perPixel(wrapping, x.data(), y.data(), x.size(), pixels),
              perPixel(plain, x.data(), y.data(), x.size(), pixels));
}
