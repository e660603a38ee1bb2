// Reprojection of a real global grid: the EGM96 15-minute geoid that the
// proj-data package installs, 1440 x 721 cells of 0.25 degrees centred on
// the header's positions, so its geographic cover is one turn wide and ends
// half a cell short of +-180.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "warp/WarpTestSupport.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using namespace zorvtest;

namespace {

using F32 = TDataType<0>;
char const* const kGeoidPath = "/usr/share/proj/egm96_15.gtx";
float const kNoData = -9999.0f;
double const kPi = 3.14159265358979323846;
double const kEarthRadius = 6378137.0;  // of the spherical Mercator

double bigEndianDouble(unsigned char const* p)
{
    std::uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u = (u << 8) | p[i];
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

std::uint32_t bigEndian32(unsigned char const* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// A grid read from a GTX file: a 40-byte big-endian header (lower-left
// latitude and longitude, latitude and longitude steps, rows, columns), then
// float32 rows from south to north, which is our row order (row 0 at minY).
struct Grid {
    boost::shared_ptr<TDataVector2D<F32>> values;
    ZELUNCover cover;
    std::string error;
};

Grid readGtx(char const* path)
{
    Grid g;
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        g.error = std::string(path) + " cannot be opened: install the proj-data package (scripts/install-deps library)";
        return g;
    }
    unsigned char header[40];
    bool ok = std::fread(header, 1, 40, f) == 40;
    double const lat0 = bigEndianDouble(header), lon0 = bigEndianDouble(header + 8);
    double const dLat = bigEndianDouble(header + 16), dLon = bigEndianDouble(header + 24);
    std::uint32_t const rows = bigEndian32(header + 32), columns = bigEndian32(header + 36);
    ok = ok && rows > 0 && columns > 0 && rows < 100000 && columns < 100000;
    std::vector<unsigned char> bytes(ok ? std::size_t(rows) * columns * 4 : 0);
    ok = ok && std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    if (!ok) {
        g.error = std::string(path) + " is not a readable GTX grid";
        return g;
    }
    g.values = makeGrid(F32(), columns, rows);
    float* v = static_cast<float*>(g.values->getDataPtr());
    for (std::size_t i = 0; i < std::size_t(rows) * columns; ++i) {
        std::uint32_t const u = bigEndian32(&bytes[4 * i]);
        std::memcpy(&v[i], &u, 4);
    }
    g.cover = ZELUNCover(ZELUNCoordSystem("EPSG:4326"), lon0 - dLon / 2, lat0 - dLat / 2,
                         lon0 - dLon / 2 + columns * dLon, lat0 - dLat / 2 + rows * dLat);
    return g;
}

Grid const& geoid()
{
    static Grid const g = readGtx(kGeoidPath);
    return g;
}

// The geoid, or a failure of the calling test naming the missing file.
#define REQUIRE_GEOID()                                         \
    do {                                                        \
        ASSERT_TRUE(geoid().error.empty()) << geoid().error;    \
        ASSERT_EQ(geoid().values->getDimension(0), 1440u);      \
        ASSERT_EQ(geoid().values->getDimension(1), 721u);       \
    } while (0)

float geoidAt(int c, int r)
{
    return geoid().values->element(static_cast<unsigned>(c), static_cast<unsigned>(r));
}

// The three output grids of the real-grid figures: the world in EPSG:3857
// within +-80 degrees of latitude (25 km pixels), the south polar EPSG:3031
// within 4000 km of the pole (10 km) and a wide EPSG:32633 area (10 km).
struct Target {
    char const* name;
    char const* system;
    double minX, minY, maxX, maxY;
    unsigned w, h;
};
double const kMercatorHalf = kPi * kEarthRadius;
double const kMercator80 = kEarthRadius * std::log(std::tan(kPi / 4 + 80.0 * kPi / 360.0));
Target const kTargets[] = {
    {"EPSG:3857", "EPSG:3857", -kMercatorHalf, -kMercator80, kMercatorHalf, kMercator80, 1600, 1240},
    {"EPSG:3031", "EPSG:3031", -4000e3, -4000e3, 4000e3, 4000e3, 800, 800},
    {"EPSG:32633", "EPSG:32633", -1500e3, 0, 2500e3, 9000e3, 400, 900},
};

ZELUNCover coverOf(Target const& t)
{
    return ZELUNCover(ZELUNCoordSystem(t.system), t.minX, t.minY, t.maxX, t.maxY);
}

boost::shared_ptr<TDataVector2D<F32>> reproject(Target const& t, ReprojectMethod method, InterpolationMethod how)
{
    auto out = makeGrid(F32(), t.w, t.h);
    EXPECT_EQ(reprojectBuffer(*out, coverOf(t), *geoid().values, geoid().cover, Variant(F32(), kNoData), method, how,
                              false),
              0)
        << t.name;
    return out;
}

std::size_t noDataCount(TDataVector2D<F32> const& g)
{
    auto const* p = static_cast<float const*>(g.getConstDataPtr());
    std::size_t n = 0;
    for (std::size_t i = 0; i < g.size(); ++i) n += p[i] == kNoData;
    return n;
}

// Whole-world Mercator: every pixel has data, the columns beside 180 degrees
// included, and bilinear there is the weighted mean of the last and the
// first geoid column. Expected positions come from the spherical Mercator
// formulas: output column 1599 lies on longitude 179.8875, a quarter cell
// beyond the last column's centre (179.75) towards the first (-180 = 180).
TEST(GeoidReprojection, WholeWorldMercatorHasNoHoleAtTheSeam)
{
    REQUIRE_GEOID();
    Target const& t = kTargets[0];
    for (InterpolationMethod how : {kHold, kBilinear}) {
        auto const out = reproject(t, kPointReprojection, how);
        EXPECT_EQ(noDataCount(*out), 0u) << how;
    }
    auto const out = reproject(t, kPointReprojection, kBilinear);
    auto const hold = reproject(t, kPointReprojection, kHold);
    double const pixelHeight = (t.maxY - t.minY) / t.h;
    for (unsigned r = 0; r < t.h; ++r) {
        double const y = t.minY + (r + 0.5) * pixelHeight;
        double const lat = std::atan(std::sinh(y / kEarthRadius)) * 180.0 / kPi;
        double const inY = (lat + 90.125) / 0.25;
        int const j = static_cast<int>(std::floor(inY - 0.5));
        double const g = (inY - 0.5) - j, f = 0.55;  // x: 0.45 on column 1439, 0.55 on column 0
        double const expected = (1 - f) * (1 - g) * geoidAt(1439, j) + f * (1 - g) * geoidAt(0, j) +
                                (1 - f) * g * geoidAt(1439, j + 1) + f * g * geoidAt(0, j + 1);
        ASSERT_NEAR(out->element(1599u, r), expected, 1e-3) << "row " << r;
        ASSERT_EQ(hold->element(1599u, r), geoidAt(0, static_cast<int>(inY))) << "row " << r;
    }
}

// A grid laid out as the geoid whose values are their centre longitudes,
// read with hold along row 32 of a 64 x 64 EPSG:3031 output across the
// 180-degree meridian.
TEST(GeoidReprojection, SeamRowReadsTheNearSide)
{
    auto in = makeGrid(F32(), 1440, 721);
    for (unsigned r = 0; r < 721; ++r)
        for (unsigned c = 0; c < 1440; ++c) in->element(c, r) = static_cast<float>(-180.0 + 0.25 * c);
    ZELUNCover const inCover(ZELUNCoordSystem("EPSG:4326"), -180.125, -90.125, 179.875, 90.125);
    ZELUNCover const outCover(ZELUNCoordSystem("EPSG:3031"), -320e3, -2320e3, 320e3, -1680e3);
    struct Expected {
        unsigned column;
        float lon;
    } const row32[] = {{0, -171.0f}, {16, -175.5f}, {31, -179.75f}, {32, 179.75f}, {48, 175.25f}, {63, 171.0f}};
    for (ReprojectMethod method : {kPointReprojection}) {
        auto out = makeGrid(F32(), 64, 64);
        ASSERT_EQ(reprojectBuffer(*out, outCover, *in, inCover, Variant(F32(), kNoData), method, kHold, false), 0);
        for (Expected const& e : row32) EXPECT_EQ(out->element(e.column, 32u), e.lon) << method << ", " << e.column;
    }
}

// A geographic input on longitudes 170 to 190 (one box across 180 degrees,
// as ZELUNCover::transformTo gives it), 1-degree cells over latitudes 40
// to 60, read by outputs west of, east of and across 180 degrees. The
// coordinate layer answers longitudes in [-180, 180]; those east of 180
// are read at their image inside the box.
TEST(GeoidReprojection, CoverAcrossTheSeam)
{
    auto in = makeGrid(F32(), 20, 20);
    for (unsigned r = 0; r < 20; ++r)
        for (unsigned c = 0; c < 20; ++c) in->element(c, r) = static_cast<float>(1 + c + 20 * r);
    ZELUNCoordSystem const geo("EPSG:4326");
    ZELUNCover const inCover(geo, 170, 40, 190, 60);
    struct Out {
        char const* system;
        double lon0, lat0, lon1, lat1;  // the geographic box the output covers
    } const outs[] = {
        {"EPSG:32660", 172, 43, 179.5, 57},
        {"EPSG:32601", -179.5, 43, -172, 57},
        {"EPSG:32601", 175, 43, 185, 57},
        {"EPSG:3832", 171, 42, 189, 58},
    };
    for (Out const& o : outs) {
        long status = 0;
        ZELUNCover const outCover = ZELUNCover(geo, o.lon0, o.lat0, o.lon1, o.lat1).transformTo(ZELUNCoordSystem(o.system), status);
        ASSERT_EQ(status, 0) << o.system;
        std::vector<boost::shared_ptr<TDataVector2D<F32>>> results;
        for (ReprojectMethod method : {kPointReprojection, kMeshReprojection}) {
            auto out = makeGrid(F32(), 128, 128);
            ASSERT_EQ(reprojectBuffer(*out, outCover, *in, inCover, Variant(F32(), kNoData), method, kHold, false), 0);
            EXPECT_EQ(noDataCount(*out), 0u) << o.system << " " << o.lon0 << ", method " << method;
            results.push_back(out);
        }

    }
}

}  // namespace
