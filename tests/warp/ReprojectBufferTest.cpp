#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/AllocationLimit.h"
#include "support/ElementKinds.h"
#include "warp/WarpTestSupport.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/Samplers.h"
#include "zorvsupport/warp/TransformSupport.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using namespace zorvtest;

namespace {

std::vector<unsigned char> bytesOf(DataVector const& v)
{
    auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
    std::size_t n = std::size_t(v.size()) * v.getDataType().getTypeSize();
    return p ? std::vector<unsigned char>(p, p + n) : std::vector<unsigned char>();
}

template <class T>
void fillWith(TDataVector2D<T>& g, double value)
{
    for (unsigned r = 0; r < g.getDimension(1); ++r)
        for (unsigned c = 0; c < g.getDimension(0); ++c) setElement(g, c, r, value);
}

TEST(ReprojectBuffer, StatusesAndTheirOrder)
{
    using U8 = TDataType<3>;
    using U8s = TTupleDataType<U8>;
    ZELUNCover const cover = planeCover(0, 0, 64, 64);
    ZELUNCover const badCover(ZELUNCoordSystem(), 0, 0, 64, 64);
    auto in = makeGrid(U8(), 8, 8);
    auto in3 = makeGrid(U8s(3), 8, 8);
    auto inF = makeGrid(TDataType<0>(), 8, 8);
    Variant const nd(U8(), static_cast<unsigned char>(9));
    Variant const nd3 = valueOf(U8s(3), 9), nd2 = valueOf(U8s(2), 9);
    struct Case {
        char const* what;
        bool tuple;  // output of uint8 3-tuples instead of uint8
        DataVectorND<2> const* in;
        Variant const* noData;
        ZELUNCover const* outCover;
        int method, interpolation;
        long status;
    } const cases[] = {
        {"input of another type", false, inF.get(), &nd, &cover, 1, 1, kErrWarpTypeMismatch},
        {"no-data of another tuple length", true, in3.get(), &nd2, &cover, 1, 1, kErrWarpTypeMismatch},
        {"type mismatch before method and interpolation", false, inF.get(), &nd, &badCover, 2, 3,
         kErrWarpTypeMismatch},
        {"unknown method", false, in.get(), &nd, &cover, 2, 1, kErrUnknownReprojectMethod},
        {"unknown method before interpolation", false, in.get(), &nd, &cover, 2, 3, kErrUnknownReprojectMethod},
        {"method -1", false, in.get(), &nd, &cover, -1, 0, kErrUnknownReprojectMethod},
        {"method 257", false, in.get(), &nd, &cover, 257, 0, kErrUnknownReprojectMethod},
        {"interpolation 3", false, in.get(), &nd, &cover, 1, 3, kErrUnknownWarpInterpolation},
        {"interpolation -1", false, in.get(), &nd, &cover, 0, -1, kErrUnknownWarpInterpolation},
        {"interpolation 257", true, in3.get(), &nd3, &cover, 1, 257, kErrUnknownWarpInterpolation},
        {"mesh over an invalid system", false, in.get(), &nd, &badCover, 1, 0, kErrCoordSystemInvalid},
        {"transform status before interpolation", false, in.get(), &nd, &badCover, 1, 3, kErrCoordSystemInvalid},
    };
    for (Case const& k : cases) {
        boost::shared_ptr<DataVectorND<2>> out;
        if (k.tuple) {
            auto g = makeGrid(U8s(3), 8, 8);
            fillWith(*g, 77);
            out = g;
        } else {
            auto g = makeGrid(U8(), 8, 8);
            fillWith(*g, 77);
            out = g;
        }
        std::vector<unsigned char> const before = bytesOf(*out);
        EXPECT_EQ(reprojectBuffer(*out, *k.outCover, *k.in, cover, *k.noData, static_cast<ReprojectMethod>(k.method),
                                  static_cast<InterpolationMethod>(k.interpolation), false),
                  k.status)
            << k.what;
        EXPECT_EQ(bytesOf(*out), before) << k.what << ": output untouched";
    }
    // The point transform over an invalid output system is refused as the
    // mesh is, before any pixel is written.
    auto out = makeGrid(U8(), 8, 8);
    fillWith(*out, 77);
    EXPECT_EQ(reprojectBuffer(*out, badCover, *in, cover, nd, kPointReprojection, kBilinear, false),
              kErrCoordSystemInvalid);
    EXPECT_EQ(bytesOf(*out), std::vector<unsigned char>(64, 77));
}

// A cover whose bounds are finite but whose width or height is not is
// refused on either side, by both methods, in reprojection (before the
// interpolation is looked at) and in shading, before any pixel is written.
TEST(ReprojectBuffer, CoversOfInfiniteExtentLeaveTheOutputUntouched)
{
    using T = TDataType<0>;
    using Pixel = TTupleDataType<TDataType<3>>;
    using Normal = TTupleDataType<TDataType<0>>;
    ZELUNCoordSystem const wgs84("EPSG:4326");
    ZELUNCover const good(wgs84, 10, 40, 12, 42), goodIn(wgs84, 9, 39, 13, 43);
    ZELUNCover const wide(wgs84, -1.7e308, 40, 1.7e308, 42);
    ZELUNCover const tall(wgs84, 10, -1.7e308, 12, 1.7e308);
    struct Row {
        char const* label;
        ZELUNCover const* out;
        ZELUNCover const* in;
        long status;
    } const rows[] = {
        {"valid covers", &good, &goodIn, kSuccess},
        {"output of infinite width", &wide, &goodIn, kErrCoverInvalid},
        {"output of infinite height", &tall, &goodIn, kErrCoverInvalid},
        {"input of infinite width", &good, &wide, kErrCoverInvalid},
        {"input of infinite height", &good, &tall, kErrCoverInvalid},
    };
    auto in = makeGrid(T(), 8, 8);
    fillWith(*in, 5);
    auto normals = makeGrid(Normal(3), 8, 8);
    fillWith(*normals, 0);  // (0, 1, 2): lit from above, every pixel darkens
    std::uint8_t const imageNoData[4] = {1, 2, 3, 4};
    float const zero[3] = {0, 0, 0}, up[3] = {0, 0, 1};
    auto expectStatus = [](long got, long expected, DataVector const& out, std::vector<unsigned char> const& canary) {
        EXPECT_EQ(got, expected);
        if (expected)
            EXPECT_EQ(bytesOf(out), canary);
        else
            EXPECT_NE(bytesOf(out), canary);
    };
    for (Row const& row : rows)
        for (ReprojectMethod method : {kPointReprojection, kMeshReprojection}) {
            for (int interpolation : {0, 1, 3}) {
                SCOPED_TRACE(testing::Message() << row.label << ", method " << method << ", interpolation "
                                                << interpolation);
                auto out = makeGrid(T(), 16, 16);
                fillWith(*out, 1000);
                std::vector<unsigned char> const canary = bytesOf(*out);
                long const status = reprojectBuffer(*out, *row.out, *in, *row.in, Variant(T(), -1.0f), method,
                                                    static_cast<InterpolationMethod>(interpolation), false);
                expectStatus(status, row.status || interpolation != 3 ? row.status : kErrUnknownWarpInterpolation,
                             *out, canary);
            }
            SCOPED_TRACE(testing::Message() << row.label << ", method " << method << ", shading");
            auto image = makeGrid(Pixel(4), 16, 16);
            fillWith(*image, 90);
            std::vector<unsigned char> const canary = bytesOf(*image);
            long const status =
                shadeBuffer(*image, *row.out, ConstTupleProxy<Pixel>(imageNoData, 4), *normals, *row.in,
                            ConstTupleProxy<Normal>(zero, 3), ConstTupleProxy<Normal>(up, 3), method);
            expectStatus(status, row.status, *image, canary);
        }
}

TEST(ReprojectBuffer, EmptyOutputsAndDifferentSizes)
{
    using T = TDataType<4>;
    ZELUNCover const cover = planeCover(0, 0, 64, 64);
    auto in = makeGrid(T(), 4, 8);
    for (unsigned r = 0; r < 8; ++r)
        for (unsigned c = 0; c < 4; ++c) in->element(c, r) = static_cast<short>(c + 10 * r);
    Variant const nd(T(), static_cast<short>(-1));
    for (auto dims : {std::pair<unsigned, unsigned>{0, 5}, {5, 0}, {0, 0}}) {
        auto out = makeGrid(T(), dims.first, dims.second);
        for (int method : {0, 1})
            EXPECT_EQ(reprojectBuffer(*out, cover, *in, cover, nd, ReprojectMethod(method), kHold, false), 0);
        EXPECT_EQ(out->getDimension(0), dims.first);
        EXPECT_EQ(out->getDimension(1), dims.second);
    }
    // Output 8 x 4 over input 4 x 8 on one cover: output (x, y) lies on
    // input (x / 2, 2 y); hold reads column trunc((c + 0.5) / 2), row 2 r + 1.
    for (int method : {0, 1}) {
        auto out = makeGrid(T(), 8, 4);
        ASSERT_EQ(reprojectBuffer(*out, cover, *in, cover, nd, ReprojectMethod(method), kHold, false), 0);
        EXPECT_EQ(out->getDimension(0), 8u);
        EXPECT_EQ(out->getDimension(1), 4u);
        for (unsigned r = 0; r < 4; ++r)
            for (unsigned c = 0; c < 8; ++c) EXPECT_EQ(out->element(c, r), short(c / 2 + 10 * (2 * r + 1)));
    }
}

// Same cover and pixel box on both sides: every method and interpolation
// gives the input back bit for bit. Values are finite, without -0.0, and
// 64-bit integers stay within 2^53; hold also carries infinities, -0.0 and
// the 64-bit extremes.
template <class T>
class IdentityRoundTrip : public ::testing::Test {};
TYPED_TEST_SUITE(IdentityRoundTrip, ElementTags);

template <class T>
void fillRoundTripValues(TDataVector2D<T>& g, bool extremes)
{
    using C = typename Comps<T>::C;
    std::mt19937 rng(7);
    unsigned const n = compsOf(g.getElementType());
    for (unsigned r = 0; r < g.getDimension(1); ++r)
        for (unsigned c = 0; c < g.getDimension(0); ++c) {
            C* p = compsAt(g, c, r);
            for (unsigned k = 0; k < n; ++k) {
                double v = static_cast<double>(rng() % 100 + 1);
                if constexpr (std::is_floating_point_v<C>) v += 0.375 * static_cast<double>(rng() % 8);
                p[k] = static_cast<C>(v);
            }
        }
    C* p = compsAt(g, 5, 3);
    if constexpr (sizeof(C) == 8 && std::is_integral_v<C>) {
        p[0] = static_cast<C>(1ull << 53);
        if constexpr (std::is_signed_v<C>) compsAt(g, 6, 3)[0] = -(1ll << 53);
        if (extremes) {
            compsAt(g, 7, 3)[0] = std::numeric_limits<C>::max();
            compsAt(g, 8, 3)[0] = std::numeric_limits<C>::min();
        }
    }
    if constexpr (std::is_floating_point_v<C>) {
        p[0] = static_cast<C>(1e30);
        if (extremes) {
            compsAt(g, 7, 3)[0] = std::numeric_limits<C>::infinity();
            compsAt(g, 8, 3)[0] = -std::numeric_limits<C>::infinity();
            compsAt(g, 9, 3)[0] = static_cast<C>(-0.0);
        }
    }
}

TYPED_TEST(IdentityRoundTrip, BitForBit)
{
    using T = TypeParam;
    T const tag = tagOf<T>();
    // 128 x 32: two mesh cells per row, one partial row of cells.
    ZELUNCover const cover = planeCover(0, 0, 1024, 256);
    Variant const nd = valueOf(tag, 0);  // never present: values start at 1
    for (InterpolationMethod how : {kHold, kBilinear, kBilinearHoldNoData})
        for (bool extremes : {false, true}) {
            if (extremes && how != kHold) continue;
            auto in = makeGrid(tag, 128, 32);
            fillRoundTripValues(*in, extremes);
            for (ReprojectMethod method : {kPointReprojection, kMeshReprojection}) {
                auto out = makeGrid(tag, 128, 32);
                fillWith(*out, 77);
                ASSERT_EQ(reprojectBuffer(*out, cover, *in, cover, nd, method, how, false), 0);
                EXPECT_EQ(bytesOf(*out), bytesOf(*in)) << "interpolation " << how << ", method " << method;
            }
        }
}

TEST(ReprojectBuffer, TrailingFlagChangesNothing)
{
    using T = TTupleDataType<TDataType<0>>;
    auto in = makeGrid(T(3), 40, 30);
    fillRoundTripValues(*in, false);
    Variant const nd = valueOf(T(3), 0);
    ZELUNCover const inCover = planeCover(0, 0, 40, 30), outCover = planeCover(3.3, -2.1, 41.7, 25.2);
    auto a = makeGrid(T(3), 35, 33), b = makeGrid(T(3), 35, 33);
    EXPECT_EQ(reprojectBuffer(*a, outCover, *in, inCover, nd, kMeshReprojection, kBilinear, false), 0);
    EXPECT_EQ(reprojectBuffer(*b, outCover, *in, inCover, nd, kMeshReprojection, kBilinear, true), 0);
    EXPECT_EQ(bytesOf(*a), bytesOf(*b));
}

// The output may be the input: samples come from the input as it was.
TEST(ReprojectBuffer, InPlaceEqualsOutOfPlace)
{
    using T = TDataType<0>;
    ZELUNCover const inCover = planeCover(0, 0, 64, 64), outCover = planeCover(-8, -4.5, 56, 59.5);
    for (ReprojectMethod method : {kPointReprojection, kMeshReprojection})
        for (InterpolationMethod how : {kHold, kBilinear, kBilinearHoldNoData}) {
            auto g = makeGrid(T(), 64, 64);
            fillRoundTripValues(*g, false);
            auto separate = makeGrid(T(), 64, 64);
            Variant const nd(T(), -1.0f);
            ASSERT_EQ(reprojectBuffer(*separate, outCover, *g, inCover, nd, method, how, false), 0);
            ASSERT_EQ(reprojectBuffer(*g, outCover, *g, inCover, nd, method, how, false), 0);
            EXPECT_EQ(bytesOf(*g), bytesOf(*separate)) << method << ", " << how;
        }
}

// In place, the copy of the input that cannot be had is a status, with the
// grid as it was.
TEST(ReprojectBuffer, InPlaceWithoutMemoryForTheCopy)
{
    using T = TDataType<0>;
    auto g = makeGrid(T(), 4096, 4096);  // 64 MiB
    fillRoundTripValues(*g, false);
    std::vector<unsigned char> const before = bytesOf(*g);
    ZELUNCover const cover = planeCover(0, 0, 64, 64);
    Variant const nd(T(), -1.0f);
    long status = 0;
    {
        AllocationLimit const limit(16ull << 20);
        if (!limit.active()) GTEST_SKIP() << "no address-space limit here";
        status = reprojectBuffer(*g, cover, *g, cover, nd, kPointReprojection, kHold, false);
    }
    EXPECT_EQ(status, kErrOutOfMemory);
    EXPECT_TRUE(bytesOf(*g) == before);
}

// A float64 grid over lon 12-15, lat 45-48 holding each pixel's centre
// longitude, read at one UTM 33N point whose longitude is 13.5.
TEST(ReprojectBuffer, RealPointThroughTheProjection)
{
    using T = TDataType<1>;
    auto in = makeGrid(T(), 300, 300);
    for (unsigned r = 0; r < 300; ++r)
        for (unsigned c = 0; c < 300; ++c) in->element(c, r) = 12.0 + (c + 0.5) * 0.01;
    ZELUNCover const inCover(ZELUNCoordSystem("EPSG:4326"), 12, 45, 15, 48);
    double const x = 384902.837, y = 5150696.346;
    ZELUNCover const outCover(ZELUNCoordSystem("EPSG:32633"), x - 0.5, y - 0.5, x + 0.5, y + 0.5);
    for (ReprojectMethod method : {kPointReprojection, kMeshReprojection}) {
        auto out = makeGrid(T(), 1, 1);
        ASSERT_EQ(reprojectBuffer(*out, outCover, *in, inCover, Variant(T(), -1.0), method, kBilinear, false), 0);
        EXPECT_NEAR(out->element(0u, 0u), 13.5, 1e-7) << method;
    }
}

// The point method carries runs of pixels through the coordinate layer in
// one call; the output equals, bit for bit, a loop that asks
// PointReprojectionTransform::transform pixel by pixel and samples where it
// answers, no-data where it does not (the orthographic pair fails beyond
// its horizon, a pixel at a time inside a run).
TEST(ReprojectBuffer, PointRowsEqualThePerPixelTransform)
{
    using T = TDataType<1>;
    ZELUNCoordSystem const geo("EPSG:4326"), sphere("+proj=longlat +R=6370997");
    ZELUNCover const world(geo, -180, -90, 180, 90);
    struct Case {
        char const* what;
        ZELUNCover in, out;
        unsigned w, h;
    } const cases[] = {
        {"EPSG:3857", world, ZELUNCover(ZELUNCoordSystem("EPSG:3857"), -2e7, -1.5e7, 2e7, 1.5e7), 300, 200},
        {"EPSG:3031", world, ZELUNCover(ZELUNCoordSystem("EPSG:3031"), -4e6, -4e6, 4e6, 4e6), 256, 256},
        {"EPSG:32633", world, ZELUNCover(ZELUNCoordSystem("EPSG:32633"), -1.5e6, 0, 2.5e6, 9e6), 2100, 30},
        {"orthographic", ZELUNCover(ZELUNCoordSystem("+proj=ortho +lat_0=0 +lon_0=0 +R=6370997"), -6370997, -6370997,
                                    6370997, 6370997),
         ZELUNCover(sphere, 0, 0, 128, 64), 128, 64},
    };
    for (Case const& k : cases) {
        auto in = makeGrid(T(), 360, 180);
        fillRoundTripValues(*in, false);
        Variant const nd(T(), -1.0);
        auto out = makeGrid(T(), k.w, k.h);
        ASSERT_EQ(reprojectBuffer(*out, k.out, *in, k.in, nd, kPointReprojection, kBilinear, false), 0);
        ZELUNnBox<double, 2> const outBox = pixelBoxOf(k.w, k.h), inBox = pixelBoxOf(360, 180);
        PointReprojectionTransform const point(outBox, k.out, inBox, k.in);
        BilinearSampler<T> const sampler(in.get(), -1.0, cyclicColumns(k.in));
        std::size_t failed = 0;
        for (unsigned r = 0; r < k.h; ++r)
            for (unsigned c = 0; c < k.w; ++c) {
                double x, y, expected = -1.0;
                if (point.transform(c + 0.5, r + 0.5, x, y)) {
                    sampler.sample(x, y, expected);
                } else {
                    ++failed;
                }
                double const got = out->element(c, r);
                ASSERT_EQ(std::memcmp(&got, &expected, 8), 0) << k.what << " at " << c << ", " << r;
            }
        EXPECT_EQ(failed > 0, std::string(k.what) == "orthographic") << k.what;
    }
}

}  // namespace
