#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "support/ThreadCount.h"
#include "warp/WarpTestSupport.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/ShadingSampler.h"
#include "zorvsupport/warp/WarpRows.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using namespace zorvtest;

namespace {

using U8x = TTupleDataType<TDataType<3>>;
using F32x = TTupleDataType<TDataType<0>>;
using Pixel = std::vector<int>;

std::uint8_t const kImageNoData[4] = {1, 2, 3, 4};
float const kZeroNormal[3] = {0, 0, 0};
float const kUp[3] = {0, 0, 1};

ConstTupleProxy<U8x> imageNoData()
{
    return ConstTupleProxy<U8x>(kImageNoData, 4);
}
ConstTupleProxy<F32x> view(float const* v, unsigned n = 3)
{
    return ConstTupleProxy<F32x>(v, n);
}

// A w x h image, every pixel `p`.
boost::shared_ptr<TDataVector2D<U8x>> imageOf(unsigned w, unsigned h, Pixel const& p, unsigned length = 4)
{
    auto g = makeGrid(U8x(length), w, h);
    auto* b = static_cast<std::uint8_t*>(g->getDataPtr());
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i)
        for (unsigned k = 0; k < length; ++k) b[i * length + k] = static_cast<std::uint8_t>(p[k % p.size()]);
    return g;
}

// A w x h normal grid, every cell `n`.
boost::shared_ptr<TDataVector2D<F32x>> normalsOf(unsigned w, unsigned h, std::vector<float> const& n,
                                                 unsigned length = 3)
{
    auto g = makeGrid(F32x(length), w, h);
    auto* b = static_cast<float*>(g->getDataPtr());
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i)
        for (unsigned k = 0; k < length; ++k) b[i * length + k] = n[k % n.size()];
    return g;
}

Pixel pixelAt(TDataVector2D<U8x> const& g, unsigned c, unsigned r)
{
    unsigned const l = g.getTupleLength();
    auto const* b = static_cast<std::uint8_t const*>(g.getConstDataPtr()) + (c + std::size_t(r) * g.getDimension(0)) * l;
    return Pixel(b, b + l);
}

std::vector<std::uint8_t> bytesOf(TDataVector2D<U8x> const& g)
{
    auto const* b = static_cast<std::uint8_t const*>(g.getConstDataPtr());
    return std::vector<std::uint8_t>(b, b + std::size_t(g.size()) * g.getTupleLength());
}

// Shading a 2 x 1 image over a 2 x 1 normal grid of one cover.
Pixel shadeOne(Pixel const& pixel, std::vector<float> const& normal, std::vector<float> const& light)
{
    auto image = imageOf(2, 1, pixel);
    auto normals = normalsOf(2, 1, normal);
    ZELUNCover const cover = planeCover(0, 0, 2, 1);
    EXPECT_EQ(shadeBuffer(*image, cover, imageNoData(), *normals, cover, view(kZeroNormal), view(light.data()),
                          kPointReprojection),
              kSuccess);
    return pixelAt(*image, 1, 0);
}

TEST(ShadeBuffer, LambertFactorPerPixel)
{
    struct Case {
        char const* what;
        Pixel pixel;
        std::vector<float> normal, light;
        Pixel expected;
    } const cases[] = {
        {"alpha 0 is left alone", {255, 17, 9, 0}, {0, 0, 1}, {0, 0, 1}, {255, 17, 9, 0}},
        // k = 0.9986457: 255 -> 254.65, 100 -> 99.86
        {"facing the light", {255, 100, 0, 200}, {0, 0, 1}, {0, 0, 1}, {254, 99, 0, 200}},
        // k = kAmbient
        {"facing away", {255, 10, 5, 255}, {0, 0, -1}, {0, 0, 1}, {51, 2, 1, 255}},
        {"a light of length 2 saturates", {255, 200, 50, 7}, {0, 0, 1}, {0, 0, 2}, {255, 255, 89, 7}},
        // A normal that is not a unit vector is renormalised first.
        {"renormalised", {255, 255, 255, 1}, {0, 0, 8}, {0, 0, 1}, {254, 254, 254, 1}},
        {"the zero normal", {200, 255, 0, 1}, {0, 0, 0}, {0, 0, 1}, {40, 51, 0, 1}},
        // 0 * an infinite factor is NaN; the component stays 0.
        {"an infinite light", {0, 255, 3, 9}, {0, 0, 1}, {0, 0, INFINITY}, {0, 255, 255, 9}},
    };
    for (Case const& c : cases) EXPECT_EQ(shadeOne(c.pixel, c.normal, c.light), c.expected) << c.what;
}

// A 4 x 1 image over a 2 x 1 normal grid of the same cover: pixels 1 and 2
// lie at x = 0.75 and 1.25 of the grid, between cell 0 = (0, 0, 1) and
// cell 1 = (1, 0, 0) with the weights (0.75, 0.25) and (0.25, 0.75). The
// blends (0.25, 0, 0.75) and (0.75, 0, 0.25) have g = 0.625, invSqrt(g) =
// 1.2627431 and renormalise to (0.31568578, 0, 0.94705737) and its mirror;
// under the light (0.6, 0, 0.8) dot = 0.94705737 and 0.82078308, k =
// 0.95764589 and 0.85662645: (200, 255, 100) becomes (191.53, 244.20,
// 95.76) and (171.33, 218.44, 85.66).
TEST(ShadeBuffer, BilinearBlendOfTwoNormals)
{
    float const light[3] = {0.6f, 0.0f, 0.8f};
    auto normals = makeGrid(F32x(3), 2, 1);
    float const cells[6] = {0, 0, 1, 1, 0, 0};
    std::memcpy(normals->getDataPtr(), cells, sizeof cells);
    for (ReprojectMethod method : {kPointReprojection, kMeshReprojection}) {
        auto image = imageOf(4, 1, {200, 255, 100, 9});
        ASSERT_EQ(shadeBuffer(*image, planeCover(0, 0, 2, 1), imageNoData(), *normals, planeCover(0, 0, 2, 1),
                              view(kZeroNormal), view(light), method),
                  kSuccess);
        EXPECT_EQ(pixelAt(*image, 1, 0), (Pixel{191, 244, 95, 9})) << method;
        EXPECT_EQ(pixelAt(*image, 2, 0), (Pixel{171, 218, 85, 9})) << method;
    }
}

// Pixels beyond the normal grid sample the no-data normal; with a zero one
// they keep kAmbient of their colour.
TEST(ShadeBuffer, BeyondTheNormalGrid)
{
    auto image = imageOf(4, 1, {255, 255, 255, 255});
    auto normals = normalsOf(2, 1, {0, 0, 1});
    ASSERT_EQ(shadeBuffer(*image, planeCover(0, 0, 4, 1), imageNoData(), *normals, planeCover(0, 0, 2, 1),
                          view(kZeroNormal), view(kUp), kMeshReprojection),
              kSuccess);
    EXPECT_EQ(pixelAt(*image, 0, 0), (Pixel{254, 254, 254, 255}));
    EXPECT_EQ(pixelAt(*image, 3, 0), (Pixel{51, 51, 51, 255}));
}

// Longitudes 0 to 128 cannot all be seen from an orthographic view centred
// on (0, 0).
struct OrthoPair {
    ZELUNCoordSystem sphere{"+proj=longlat +R=6370997"};
    ZELUNCoordSystem ortho{"+proj=ortho +lat_0=0 +lon_0=0 +R=6370997"};
    ZELUNCover imageCover{sphere, 0, 0, 128, 64};
    ZELUNCover normalCover{ortho, -6370997, -6370997, 6370997, 6370997};
};

TEST(ShadeBuffer, PixelWithoutSourcePositionGetsTheImageNoData)
{
    OrthoPair const pair;
    auto image = imageOf(128, 64, {255, 255, 255, 255});
    auto normals = normalsOf(100, 100, {0, 0, 1});
    ASSERT_EQ(shadeBuffer(*image, pair.imageCover, imageNoData(), *normals, pair.normalCover, view(kZeroNormal),
                          view(kUp), kPointReprojection),
              kSuccess);
    EXPECT_EQ(pixelAt(*image, 120, 0), (Pixel{1, 2, 3, 4}));
    EXPECT_EQ(pixelAt(*image, 10, 10), (Pixel{254, 254, 254, 255}));
}

TEST(ShadeBuffer, StatusesLeaveTheImageUntouched)
{
    OrthoPair const pair;
    ZELUNCover const cover = planeCover(0, 0, 8, 8);
    float const two[2] = {0, 1};
    std::uint8_t const three[3] = {1, 2, 3};
    auto good = normalsOf(8, 8, {0, 0, 1});
    auto wide = normalsOf(8, 8, {0, 0, 1, 0}, 4);
    struct Case {
        char const* what;
        unsigned imageLength;
        ConstTupleProxy<U8x> noData;
        TDataVector2D<F32x> const* normals;
        ConstTupleProxy<F32x> normalNoData, light;
        ReprojectMethod method;
        bool ortho;
        long status;
    } const cases[] = {
        {"control", 4, imageNoData(), good.get(), view(kZeroNormal), view(kUp), kMeshReprojection, false, kSuccess},
        {"image of 3-tuples", 3, imageNoData(), good.get(), view(kZeroNormal), view(kUp), kMeshReprojection, false,
         kErrBadShadeBuffer},
        {"image no-data of 3", 4, ConstTupleProxy<U8x>(three, 3), good.get(), view(kZeroNormal), view(kUp),
         kMeshReprojection, false, kErrBadShadeBuffer},
        {"normals of 4-tuples", 4, imageNoData(), wide.get(), view(kZeroNormal), view(kUp), kMeshReprojection, false,
         kErrBadShadeBuffer},
        {"normal no-data of 2", 4, imageNoData(), good.get(), view(two, 2), view(kUp), kMeshReprojection, false,
         kErrBadShadeBuffer},
        {"light of 2", 4, imageNoData(), good.get(), view(kZeroNormal), view(two, 2), kMeshReprojection, false,
         kErrBadShadeBuffer},
        {"type test before the method", 4, imageNoData(), good.get(), view(kZeroNormal), view(two, 2),
         ReprojectMethod(2), false, kErrBadShadeBuffer},
        {"method 2", 4, imageNoData(), good.get(), view(kZeroNormal), view(kUp), ReprojectMethod(2), false,
         kErrUnknownReprojectMethod},
        {"mesh over the horizon", 4, imageNoData(), good.get(), view(kZeroNormal), view(kUp), kMeshReprojection,
         true, kErrCoordTransformFailed},
        {"null image no-data", 4, ConstTupleProxy<U8x>(nullptr, 4), good.get(), view(kZeroNormal), view(kUp),
         kMeshReprojection, false, kErrBadShadeBuffer},
        {"null normal no-data", 4, imageNoData(), good.get(), view(nullptr), view(kUp), kPointReprojection, false,
         kErrBadShadeBuffer},
        {"null light", 4, imageNoData(), good.get(), view(kZeroNormal), view(nullptr), kMeshReprojection, false,
         kErrBadShadeBuffer},
        {"null light before the method", 4, imageNoData(), good.get(), view(kZeroNormal), view(nullptr),
         ReprojectMethod(2), false, kErrBadShadeBuffer},
    };
    for (Case const& c : cases) {
        auto image = imageOf(c.ortho ? 128 : 8, c.ortho ? 64 : 8, {90, 91, 92, 93}, c.imageLength);
        std::vector<std::uint8_t> const before = bytesOf(*image);
        EXPECT_EQ(shadeBuffer(*image, c.ortho ? pair.imageCover : cover, c.noData, *c.normals,
                              c.ortho ? pair.normalCover : cover, c.normalNoData, c.light, c.method),
                  c.status)
            << c.what;
        if (c.status)
            EXPECT_EQ(bytesOf(*image), before) << c.what;
        else
            EXPECT_NE(bytesOf(*image), before) << c.what;
    }
}

// Heights in EPSG:32633 near 15 E 46 N, their normals, and an RGBA image
// over the cover in geographic coordinates, with some transparent pixels.
struct Scene {
    ZELUNCover normalCover;
    ZELUNCover imageCover;
    boost::shared_ptr<TDataVector2D<F32x>> normals = makeGrid(F32x(3), 0, 0);

    explicit Scene(unsigned side)
    {
        ZELUNCoordSystem const utm("EPSG:32633"), geographic("EPSG:4326");
        normalCover = ZELUNCover(utm, 500000, 5094000, 500000 + 30.0 * side, 5094000 + 30.0 * side);
        long status = 0;
        imageCover = normalCover.transformTo(geographic, status);
        EXPECT_EQ(status, 0);
        auto heights = makeGrid(TDataType<0>(), side, side);
        auto* h = static_cast<float*>(heights->getDataPtr());
        for (unsigned r = 0; r < side; ++r)
            for (unsigned c = 0; c < side; ++c)
                h[c + r * side] = 300.0f * std::sin(0.05f * c) * std::cos(0.037f * r) + 0.2f * float((c * r) % 11);
        float const def[3] = {0, 0, 1};
        EXPECT_EQ(computeNormals(*normals, ConstTupleProxy<F32x>(def, 3), *heights, -9999.0f, 30, 30, 1), 0);
    }

    // A w x h image of varied colours, every 13th pixel transparent.
    static boost::shared_ptr<TDataVector2D<U8x>> image(unsigned w, unsigned h)
    {
        auto image = imageOf(w, h, {0, 0, 0, 0});
        auto* b = static_cast<std::uint8_t*>(image->getDataPtr());
        for (std::size_t i = 0; i < std::size_t(w) * h; ++i) {
            b[4 * i] = static_cast<std::uint8_t>(i * 7);
            b[4 * i + 1] = static_cast<std::uint8_t>(255 - i % 200);
            b[4 * i + 2] = 200;
            b[4 * i + 3] = i % 13 ? 255 : 0;
        }
        return image;
    }

    std::vector<std::uint8_t> shade(unsigned w, unsigned h, unsigned threads) const
    {
        auto out = image(w, h);
        float const light[3] = {-0.5f, 0.5f, 0.7071f};
        zorvtest::ThreadCountScope const count(threads);
        long const status = shadeBuffer(*out, imageCover, imageNoData(), *normals, normalCover, view(kZeroNormal),
                                        view(light), kMeshReprojection);
        EXPECT_EQ(status, kSuccess);
        return bytesOf(*out);
    }
};

TEST(ShadeThreads, OneAndEightThreadsGiveTheSameBytes)
{
    Scene const scene(300);
    for (auto const& [w, h] : {std::pair{40u, 25u}, std::pair{512u, 512u}}) {
        std::vector<std::uint8_t> const one = scene.shade(w, h, 1);
        EXPECT_EQ(scene.shade(w, h, 8), one) << w << " x " << h;
        // Shaded where opaque, untouched where transparent.
        std::vector<std::uint8_t> const before = bytesOf(*Scene::image(w, h));
        std::size_t changed = 0;
        for (std::size_t i = 0; i < one.size(); i += 4) {
            if (before[i + 3] == 0)
                EXPECT_TRUE(std::equal(&one[i], &one[i] + 4, &before[i])) << i / 4;
            else
                changed += one[i + 2] != before[i + 2];
        }
        EXPECT_GT(changed, one.size() / 8) << w << " x " << h;
    }
}

// A thread that cannot be started leaves its rows to the caller's thread:
// the shading pair run by the row driver with the third start failing gives
// the bytes of one thread.
TEST(ShadeThreads, StartFailureShadesOnTheCallersThread)
{
    Scene const scene(300);
    std::vector<std::uint8_t> const one = scene.shade(512, 512, 1);
    auto image = Scene::image(512, 512);
    ZELUNnBox<double, 2> const imageBox(ZELUNnPoint<double, 2>(0.0, 0.0), ZELUNnPoint<double, 2>(512.0, 512.0));
    ZELUNnBox<double, 2> const normalBox(ZELUNnPoint<double, 2>(0.0, 0.0), ZELUNnPoint<double, 2>(300.0, 300.0));
    long status = 0;
    MeshReprojectionTransform const mesh(imageBox, scene.imageCover, normalBox, scene.normalCover, kMeshCellSize,
                                         status);
    ASSERT_EQ(status, 0);
    float const light[3] = {-0.5f, 0.5f, 0.7071f};
    ShadingSampler const sampler(BilinearSampler<F32x>(3, scene.normals.get(), view(kZeroNormal)), view(light),
                                 kAmbient, kDiffuse);
    int started = 0;
    auto failThird = [&started](boost::thread& slot, boost::function0<void> const& task) {
        if (started == 2) throw std::runtime_error("no thread");
        slot = boost::thread(task);
        ++started;
    };
    {
        zorvtest::ThreadCountScope const count(8);
        warpRowsThreaded<U8x, ShadingSampler>(*image, mesh, sampler, 0, 512, imageNoData(), failThird);
    }
    EXPECT_EQ(started, 2);
    EXPECT_EQ(bytesOf(*image), one);
}

}  // namespace

// A whole-world geographic normal grid (360 x 181 cells of 1 degree, column 0
// centred on 180 degrees) shades an image across 180 degrees as any other
// place: its columns wrap. Every normal faces the light but those of column 0,
// which face east (lit by the ambient term alone), so the image darkens
// symmetrically towards 180 degrees from both sides; read without the wrap, the
// half-cell west of 180 would keep column 359's full light.
TEST(ShadeBuffer, WholeWorldNormalsWrapAtTheSeam)
{
    auto normals = normalsOf(360, 181, {0, 0, 1});
    auto* n = static_cast<float*>(normals->getDataPtr());
    for (unsigned r = 0; r < 181; ++r) {
        n[std::size_t(r) * 360 * 3 + 0] = 1.0f;
        n[std::size_t(r) * 360 * 3 + 2] = 0.0f;
    }
    ZELUNCover const normalCover(ZELUNCoordSystem("EPSG:4326"), -180.5, -90.5, 179.5, 90.5);
    ZELUNCover const imageCover(ZELUNCoordSystem("EPSG:4326"), 178.0, -4.0, 182.0, 4.0);
    for (ReprojectMethod method : {kPointReprojection, kMeshReprojection}) {
        SCOPED_TRACE(method);
        auto image = imageOf(64, 8, {200, 100, 50, 255});
        ASSERT_EQ(shadeBuffer(*image, imageCover, imageNoData(), *normals, normalCover, view(kZeroNormal), view(kUp),
                              method),
                  kSuccess);
        // Pixel c is centred on 178 + (c + 0.5) / 16 degrees: 0..15 lie a
        // whole cell west of 179 (full light), 31 and 32 closest to 180.
        EXPECT_EQ(pixelAt(*image, 0, 4), (Pixel{199, 99, 49, 255}));
        EXPECT_EQ(pixelAt(*image, 63, 4), (Pixel{199, 99, 49, 255}));
        EXPECT_LT(pixelAt(*image, 31, 4)[0], 60);
        EXPECT_LT(pixelAt(*image, 24, 4)[0], 190);
        for (unsigned c = 0; c < 32; ++c) {
            Pixel const west = pixelAt(*image, c, 4), east = pixelAt(*image, 63 - c, 4);
            for (unsigned k = 0; k < 3; ++k) EXPECT_NEAR(west[k], east[k], 1) << "columns " << c << " and " << 63 - c;
        }
    }
}
