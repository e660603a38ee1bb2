// Shaded relief of a synthetic elevation model, written as a PNG.
//
// A 2048 x 2048 float32 height grid with 30 m pixels in UTM zone 33 N
// (EPSG:32633) near 15 E 46 N: ridges and valleys from a few octaves of
// gradient noise, with a few lakes as NaN no-data. computeNormals derives its
// surface normals; reprojectBuffer brings the heights onto an RGBA image in
// geographic coordinates (EPSG:4326) over the same ground, where a colour
// ramp paints them; shadeBuffer shades the image by the normals, through the
// mesh transform on all cores, with the light from the north-west at 45
// degrees. The PNG is written north up; every stage prints its time.
//
//   hillshade [output.png [image side [model side]]]
//
// Defaults: hillshade.png, 1024, 2048. Exits with 1 on any failure.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <png.h>

#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/types/Variant.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using Heights = TDataVector2D<TDataType<0>>;
using Mask = TDataVector2D<TDataType<3>>;
using Normals = TDataVector2D<TTupleDataType<TDataType<0>>>;
using Image = TDataVector2D<TTupleDataType<TDataType<3>>>;
using Clock = std::chrono::steady_clock;

constexpr double kPixel = 30.0;                         // metres
constexpr double kCentreX = 500000.0, kCentreY = 5094700.0;  // 15 E 46 N in zone 33 N
float const kNaN = std::nanf("");

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Gradient noise in about [-1, 1] on a unit lattice: a pseudo-random unit
// gradient per lattice point, blended with the quintic fade.
float gradientNoise(float x, float y, std::uint32_t seed)
{
    auto dotGradient = [seed](std::int32_t ix, std::int32_t iy, float dx, float dy) {
        std::uint32_t v = static_cast<std::uint32_t>(ix) * 374761393u + static_cast<std::uint32_t>(iy) * 668265263u +
                          seed * 2246822519u;
        v = (v ^ (v >> 13)) * 1274126177u;
        float const angle = static_cast<float>((v ^ (v >> 16)) & 0xFFFF) * (6.2831853f / 65536.0f);
        return std::cos(angle) * dx + std::sin(angle) * dy;
    };
    auto fade = [](float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); };
    float const fx = std::floor(x), fy = std::floor(y);
    auto const ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy);
    float const tx = x - fx, ty = y - fy;
    float const a = dotGradient(ix, iy, tx, ty), b = dotGradient(ix + 1, iy, tx - 1, ty);
    float const c = dotGradient(ix, iy + 1, tx, ty - 1), d = dotGradient(ix + 1, iy + 1, tx - 1, ty - 1);
    float const u = fade(tx), v = fade(ty);
    float const low = a + (b - a) * u, high = c + (d - c) * u;
    return 1.4f * (low + (high - low) * v);
}

// Heights in metres: a ridged multifractal (sharp crests, each octave
// weighted by the one before) over gently rolling ground, rotated from
// octave to octave, and a few lakes filled to a level in the lower ground.
boost::shared_ptr<Heights> makeModel(unsigned side)
{
    auto grid = Heights::create(TDataType<0>(), Heights::Index(side, side));
    auto* z = static_cast<float*>(grid->getDataPtr());
    float const scale = 2048.0f / static_cast<float>(side);  // the same terrain at any size
    float const cosA = 0.8f, sinA = 0.6f;                    // about 37 degrees per octave
    for (unsigned r = 0; r < side; ++r)
        for (unsigned c = 0; c < side; ++c) {
            float x = static_cast<float>(c) * scale / 700.0f, y = static_cast<float>(r) * scale / 700.0f;
            float ridge = 0.0f, weight = 1.0f, amplitude = 1.0f;
            for (std::uint32_t octave = 0; octave < 4; ++octave) {
                float signal = 1.0f - std::fabs(gradientNoise(x, y, octave));
                signal = signal * signal * weight;
                weight = std::clamp(signal * 1.6f, 0.0f, 1.0f);
                ridge += signal * amplitude;
                amplitude *= 0.5f;
                float const rx = 2.03f * (cosA * x - sinA * y), ry = 2.03f * (sinA * x + cosA * y);
                x = rx + 3.1f;
                y = ry + 1.7f;
            }
            float const rolling = gradientNoise(c * scale / 1500.0f, r * scale / 1500.0f, 99);
            z[c + std::size_t(r) * side] = 250.0f + 1100.0f * ridge + 350.0f * rolling;
        }
    // Each lake: the lowest point of a window, filled up to 40 m above it
    // within a radius.
    float const seeds[][2] = {{0.25f, 0.3f}, {0.7f, 0.25f}, {0.55f, 0.7f}, {0.18f, 0.78f}, {0.85f, 0.6f}};
    long const window = static_cast<long>(side / 10), radius = static_cast<long>(side / 14);
    auto at = [&](long c, long r) -> float& { return z[static_cast<std::size_t>(c) + std::size_t(r) * side]; };
    auto inside = [&](long c, long r) { return c >= 0 && r >= 0 && c < long(side) && r < long(side); };
    for (auto const& seed : seeds) {
        long const sc = static_cast<long>(seed[0] * side), sr = static_cast<long>(seed[1] * side);
        long lc = sc, lr = sr;
        for (long r = sr - window; r <= sr + window; ++r)
            for (long c = sc - window; c <= sc + window; ++c)
                if (inside(c, r) && !std::isnan(at(c, r)) && at(c, r) < at(lc, lr)) lc = c, lr = r;
        float const level = at(lc, lr) + 40.0f;
        for (long r = lr - radius; r <= lr + radius; ++r)
            for (long c = lc - radius; c <= lc + radius; ++c)
                if (inside(c, r) && (c - lc) * (c - lc) + (r - lr) * (r - lr) <= radius * radius && at(c, r) < level)
                    at(c, r) = kNaN;
    }
    return grid;
}

// A hypsometric ramp: green lowland, yellow-brown slopes, grey rock, snow.
void colourOf(float h, std::uint8_t* rgba)
{
    struct Stop {
        float height;
        float r, g, b;
    } static const stops[] = {{100, 60, 120, 65},   {500, 120, 165, 85},  {900, 200, 195, 125},
                              {1300, 165, 125, 85}, {1700, 145, 135, 130}, {2100, 250, 250, 250}};
    constexpr std::size_t n = sizeof stops / sizeof stops[0];
    std::size_t i = 1;
    while (i + 1 < n && h > stops[i].height) ++i;
    float t = (h - stops[i - 1].height) / (stops[i].height - stops[i - 1].height);
    t = std::clamp(t, 0.0f, 1.0f);
    rgba[0] = static_cast<std::uint8_t>(stops[i - 1].r + (stops[i].r - stops[i - 1].r) * t);
    rgba[1] = static_cast<std::uint8_t>(stops[i - 1].g + (stops[i].g - stops[i - 1].g) * t);
    rgba[2] = static_cast<std::uint8_t>(stops[i - 1].b + (stops[i].b - stops[i - 1].b) * t);
    rgba[3] = 255;
}

// Writes the image as an RGB PNG, its last row (the cover's maxY) first;
// transparent pixels become white. Colours keep 5 bits per channel, which
// the eye does not miss in shaded relief and which keeps the file small.
bool writePng(std::string const& path, Image const& image)
{
    unsigned const w = image.getDimension(0), h = image.getDimension(1);
    FILE* const file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<std::uint8_t> row(std::size_t(w) * 3);
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        auto const* pixels = static_cast<std::uint8_t const*>(image.getConstDataPtr());
        for (unsigned r = h; r-- > 0;) {
            std::uint8_t const* p = pixels + std::size_t(r) * w * 4;
            for (unsigned c = 0; c < w; ++c, p += 4)
                for (unsigned k = 0; k < 3; ++k) row[3 * c + k] = p[3] ? static_cast<std::uint8_t>(p[k] & 0xF8) : 255;
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

int fail(char const* what, long status)
{
    std::fprintf(stderr, "hillshade: %s failed with status %ld\n", what, status);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string const path = argc > 1 ? argv[1] : "hillshade.png";
    unsigned const imageSide = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 1024;
    unsigned const modelSide = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : 2048;
    if (imageSide == 0 || modelSide == 0) {
        std::fprintf(stderr, "usage: hillshade [output.png [image side [model side]]]\n");
        return 2;
    }

    double const half = modelSide * kPixel / 2;
    ZELUNCover const modelCover(ZELUNCoordSystem("EPSG:32633"), kCentreX - half, kCentreY - half, kCentreX + half,
                                kCentreY + half);
    long status = 0;
    ZELUNCover const imageCover = modelCover.transformTo(ZELUNCoordSystem("EPSG:4326"), status);
    if (status) return fail("the cover's transformation", status);

    auto start = Clock::now();
    auto const model = makeModel(modelSide);
    std::printf("model      %5u x %-5u float32, 30 m, EPSG:32633   %8.1f ms\n", modelSide, modelSide,
                millisecondsSince(start));

    start = Clock::now();
    auto normals = Normals::create(TTupleDataType<TDataType<0>>(3), Normals::Index(0, 0));
    float const up[3] = {0.0f, 0.0f, 1.0f};
    ConstTupleProxy<TTupleDataType<TDataType<0>>> const upView(up, 3);
    status = WarpUtils::computeNormals(*normals, upView, *model, kNaN, kPixel, kPixel, 1.0f);
    if (status) return fail("computeNormals", status);
    std::printf("normals    %5u x %-5u float32 x 3                 %8.1f ms\n", modelSide, modelSide,
                millisecondsSince(start));

    // The heights on the image grid; a mask tells the ground of the model
    // from the corners of the geographic box that lie beyond it.
    start = Clock::now();
    auto heights = Heights::create(TDataType<0>(), Heights::Index(imageSide, imageSide));
    status = WarpUtils::reprojectBuffer(*heights, imageCover, *model, modelCover, Variant(kNaN),
                                        kMeshReprojection, kBilinearHoldNoData, false);
    if (status) return fail("reprojectBuffer of the heights", status);
    auto inside = Mask::create(TDataType<3>(), Mask::Index(modelSide, modelSide));
    auto ground = Mask::create(TDataType<3>(), Mask::Index(imageSide, imageSide));
    std::fill_n(static_cast<std::uint8_t*>(inside->getDataPtr()), inside->size(), std::uint8_t(1));
    status = WarpUtils::reprojectBuffer(*ground, imageCover, *inside, modelCover, Variant(TDataType<3>(), 0),
                                        kMeshReprojection, kHold, false);
    if (status) return fail("reprojectBuffer of the mask", status);
    std::printf("reproject  %5u x %-5u EPSG:4326                   %8.1f ms\n", imageSide, imageSide,
                millisecondsSince(start));

    // Colours; lakes (NaN heights) get water blue with alpha 0, so the
    // shading leaves them flat, and outside the model stays transparent.
    start = Clock::now();
    auto image = Image::create(TTupleDataType<TDataType<3>>(4), Image::Index(imageSide, imageSide));
    auto* rgba = static_cast<std::uint8_t*>(image->getDataPtr());
    auto const* h = static_cast<float const*>(heights->getConstDataPtr());
    auto const* g = static_cast<std::uint8_t const*>(ground->getConstDataPtr());
    for (std::size_t i = 0; i < std::size_t(imageSide) * imageSide; ++i) {
        std::uint8_t* const p = rgba + 4 * i;
        if (!g[i]) {
            p[0] = p[1] = p[2] = p[3] = 0;
        } else if (std::isnan(h[i])) {
            p[0] = 90, p[1] = 140, p[2] = 200, p[3] = 0;
        } else {
            colourOf(h[i], p);
        }
    }
    std::printf("colour     %5u x %-5u uint8 x 4                   %8.1f ms\n", imageSide, imageSide,
                millisecondsSince(start));

    start = Clock::now();
    float const light[3] = {-0.5f, 0.5f, 0.7071f};  // azimuth 315, altitude 45
    std::uint8_t const transparent[4] = {0, 0, 0, 0};
    status = WarpUtils::shadeBuffer(*image, imageCover, ConstTupleProxy<TTupleDataType<TDataType<3>>>(transparent, 4),
                                    *normals, modelCover, upView, ConstTupleProxy<TTupleDataType<TDataType<0>>>(light, 3),
                                    kMeshReprojection);
    if (status) return fail("shadeBuffer", status);
    std::printf("shade      %5u x %-5u mesh, all cores             %8.1f ms\n", imageSide, imageSide,
                millisecondsSince(start));

    // The lakes become opaque for the picture.
    for (std::size_t i = 0; i < std::size_t(imageSide) * imageSide; ++i)
        if (g[i]) rgba[4 * i + 3] = 255;
    start = Clock::now();
    if (!writePng(path, *image)) {
        std::fprintf(stderr, "hillshade: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("png        %-30s        %8.1f ms\n", path.c_str(), millisecondsSince(start));
    std::printf("wrote %s\n", path.c_str());
    return 0;
}
