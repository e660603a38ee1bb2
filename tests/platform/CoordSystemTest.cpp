#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "support/FailingAllocation.h"
#include "support/ForkedTrial.h"
#include "support/ShortageModes.h"
#include "surface/SmallStack.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/platform/ZELUNUString.h"

using namespace ZORV_3_13_0_::DataSet;
using CS = ZELUNCoordSystem;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kInf = std::numeric_limits<double>::infinity();

char const* const kSphere = "+proj=longlat +R=6370997";
// WGS 84 written with the datum's alias "WGS84" (the database's name is
// "World Geodetic System 1984"), and in the first WKT form ("WGS_1984").
char const* const kWgs84AliasWkt2 =
    "GEOGCRS[\"WGS 84\",DATUM[\"WGS84\",ELLIPSOID[\"WGS 84\",6378137,298.257223563,LENGTHUNIT[\"metre\",1]]],"
    "PRIMEM[\"Greenwich\",0,ANGLEUNIT[\"degree\",0.0174532925199433]],CS[ellipsoidal,2],"
    "AXIS[\"geodetic latitude (Lat)\",north,ORDER[1],ANGLEUNIT[\"degree\",0.0174532925199433]],"
    "AXIS[\"geodetic longitude (Lon)\",east,ORDER[2],ANGLEUNIT[\"degree\",0.0174532925199433]]]";
char const* const kWgs84Wkt1 =
    "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],PRIMEM[\"Greenwich\",0],"
    "UNIT[\"degree\",0.0174532925199433]]";
char const* const kUtm33Wkt1 =
    "PROJCS[\"WGS 84 / UTM zone 33N\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,"
    "298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]],"
    "PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"latitude_of_origin\",0],PARAMETER[\"central_meridian\",15],"
    "PARAMETER[\"scale_factor\",0.9996],PARAMETER[\"false_easting\",500000],PARAMETER[\"false_northing\",0],"
    "UNIT[\"metre\",1]]";
char const* const kOrtho = "+proj=ortho +lat_0=0 +lon_0=0 +R=6370997";

ZELUNUString withUnit(char const* text, char16_t unit)
{
    ZELUNUString s = ZELUNUString::fromUtf8(text);
    s.append(unit);
    return s;
}

ZELUNArray<double> point(std::vector<double> const& values)
{
    ZELUNArray<double> a(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) a[i] = values[i];
    return a;
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void expectSameBits(ZELUNArray<double> const& a, ZELUNArray<double> const& b, char const* label)
{
    ASSERT_EQ(a.size(), b.size()) << label;
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_TRUE(sameBits(a[i], b[i])) << label << " value " << i;
}

}  // namespace

TEST(ZELUNCoordSystem, WhichDefinitionsAreValid)
{
    std::string const padded = "EPSG:4326" + std::string(CS::kMaxDefinitionBytes - 9, ' ');
    struct Row {
        char const* label;
        ZELUNUString definition;
        bool valid;
    } const rows[] = {
        {"EPSG geographic", "EPSG:4326", true},
        {"EPSG geographic 3-D", "EPSG:4979", true},
        {"EPSG projected", "EPSG:32633", true},
        {"PROJ string without +type=crs", "+proj=longlat +datum=WGS84", true},
        {"PROJ string with +type=crs", "+proj=utm +zone=33 +datum=WGS84 +type=crs", true},
        {"WKT1", "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],"
                 "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]]",
         true},
        {"bound CRS", "+proj=longlat +ellps=GRS80 +towgs84=0,0,0 +type=crs", true},
        {"compound: projected + vertical", "EPSG:32633+5703", true},
        {"definition of exactly the longest length", ZELUNUString::fromUtf8(padded), true},
        {"one byte longer", ZELUNUString::fromUtf8(padded + " "), false},
        {"empty", "", false},
        {"nonsense", "nonsense", false},
        {"geocentric", "EPSG:4978", false},
        {"vertical only", "EPSG:5703", false},
        {"engineering", "ENGCRS[\"local\",EDATUM[\"x\"],CS[Cartesian,2],AXIS[\"x\",east],AXIS[\"y\",north],"
                        "LENGTHUNIT[\"metre\",1]]",
         false},
        {"holds U+0000", withUnit("EPSG:4326", 0), false},
        {"holds a lone surrogate", withUnit("EPSG:4326", 0xD800), false},
    };
    for (Row const& r : rows) {
        CS const cs(r.definition);
        EXPECT_EQ(cs.isValid(), r.valid) << r.label;
        EXPECT_EQ(cs.definition(), r.definition) << r.label;
        if (!r.valid) {
            EXPECT_EQ(cs.userToMmOnGroundFactor(), 0.0) << r.label;
            EXPECT_EQ(cs.mmOnGroundToUserFactor(), 0.0) << r.label;
            EXPECT_FALSE(cs.isEqual(cs, false)) << r.label;
            EXPECT_FALSE(cs.isEqual(cs, true)) << r.label;
        }
    }
    CS const undefined;
    EXPECT_FALSE(undefined.isValid());
    EXPECT_TRUE(undefined.definition().isEmpty());
    EXPECT_TRUE(undefined.name().isEmpty());
    EXPECT_FALSE(CS(static_cast<char const*>(nullptr)).isValid());
    EXPECT_TRUE(CS("EPSG:32633").isValid());
}

TEST(ZELUNCoordSystem, RefusingADefinitionPrintsNothing)
{
    // A fresh thread makes a fresh engine context, which would read the
    // environment's debug level.
    setenv("PROJ_DEBUG", "3", 1);
    testing::internal::CaptureStderr();
    std::thread([] {
        CS const bad("nonsense");
        CS const worse("+proj=longlat +units=grad");
        EXPECT_FALSE(bad.isValid());
        EXPECT_FALSE(worse.isValid());
        // Nor does failing to find an operation or to convert a point.
        ZELUNArray<double> p = point({1, 2});
        EXPECT_EQ(CS("IAU_2015:49900").transform(CS("EPSG:4326"), p, p), kErrCoordTransformUnavailable);
        p = point({128, 0});
        EXPECT_EQ(CS(kSphere).transform(CS(kOrtho), p, p), kErrCoordTransformFailed);
    }).join();
    std::string const printed = testing::internal::GetCapturedStderr();
    unsetenv("PROJ_DEBUG");
    EXPECT_EQ(printed, "");
}

TEST(ZELUNCoordSystem, EqualityAndEquivalence)
{
    struct Row {
        char const* a;
        char const* b;
        bool equal;
        bool equivalent;
    } const rows[] = {
        {"EPSG:4326", "EPSG:4326", true, true},
        {"EPSG:4326", "+proj=longlat +datum=WGS84", false, true},
        {"EPSG:4326", "+proj=longlat +datum=WGS84 +type=crs", false, true},
        {"EPSG:32633", "+proj=utm +zone=33 +datum=WGS84", false, true},
        // Names the database knows as aliases of one datum, axis order set aside.
        {"EPSG:4326", kWgs84AliasWkt2, false, true},
        {"EPSG:4326", kWgs84Wkt1, false, true},
        {"EPSG:4326", "OGC:CRS84", false, true},
        {"EPSG:32633", kUtm33Wkt1, false, true},
        {kUtm33Wkt1, "+proj=utm +zone=33 +datum=WGS84 +type=crs", false, true},
        {"EPSG:4326", "EPSG:32633", false, false},
        {"EPSG:32633", "EPSG:32632", false, false},
        {kWgs84AliasWkt2, "EPSG:4258", false, false},
        {"EPSG:4326", "nonsense", false, false},
        {"", "", false, false},
    };
    for (Row const& r : rows) {
        CS const a(r.a), b(r.b);
        EXPECT_EQ(a.isEqual(b, false), r.equal) << r.a << " | " << r.b;
        EXPECT_EQ(a.isEqual(b, true), r.equivalent) << r.a << " | " << r.b;
        EXPECT_EQ(b.isEqual(a, true), r.equivalent) << r.b << " | " << r.a;
    }
    EXPECT_FALSE(CS().isEqual(CS(), false));

    // Names never count for isEqual; operator== compares text and name.
    CS const named(ZELUNUString("EPSG:4326"), ZELUNUString("WGS 84"));
    CS const plain("EPSG:4326");
    EXPECT_TRUE(named.isEqual(plain, false));
    EXPECT_FALSE(named == plain);
    EXPECT_TRUE(named != plain);
    EXPECT_TRUE(named == CS(ZELUNUString("EPSG:4326"), ZELUNUString("WGS 84")));
    EXPECT_FALSE(plain == CS("+proj=longlat +datum=WGS84"));
    EXPECT_TRUE(CS() == CS());
    EXPECT_TRUE(CS("nonsense") == CS("nonsense"));
}

TEST(ZELUNCoordSystem, CopiesAndNames)
{
    CS const original(ZELUNUString("EPSG:32633"), ZELUNUString("UTM 33N"));
    CS copy(original);
    copy.setName("renamed");
    EXPECT_EQ(original.name(), ZELUNUString("UTM 33N"));
    EXPECT_EQ(copy.name(), ZELUNUString("renamed"));
    EXPECT_TRUE(copy.isValid());
    EXPECT_TRUE(copy.isEqual(original, false));

    CS assigned;
    assigned = original;
    EXPECT_TRUE(assigned == original);
    assigned = CS();
    EXPECT_FALSE(assigned.isValid());
    EXPECT_TRUE(original.isValid());

    CS undefined;
    undefined.setName("still undefined");
    EXPECT_FALSE(undefined.isValid());
    EXPECT_EQ(undefined.name(), ZELUNUString("still undefined"));
}

TEST(ZELUNCoordSystem, GroundFactors)
{
    CS const utm("EPSG:32633");
    EXPECT_EQ(utm.userToMmOnGroundFactor(), 1000.0);
    EXPECT_EQ(utm.mmOnGroundToUserFactor(), 0.001);
    CS const wgs84("EPSG:4326");
    double const geographic = 0.017453292519943295 * 6378137 * 1000;
    EXPECT_DOUBLE_EQ(wgs84.userToMmOnGroundFactor(), geographic);
    EXPECT_DOUBLE_EQ(wgs84.mmOnGroundToUserFactor(), 1 / geographic);
    // US survey feet: 1200/3937 m.
    CS const feet("+proj=tmerc +lon_0=-120 +datum=NAD83 +units=us-ft +type=crs");
    ASSERT_TRUE(feet.isValid());
    EXPECT_NEAR(feet.userToMmOnGroundFactor(), 1200.0 / 3937.0 * 1000, 1e-9);
}

TEST(ZELUNCoordSystem, ProjectsWithTheEngine)
{
    CS const wgs84("EPSG:4326");
    CS const utm("EPSG:32633");
    struct Row {
        double lon, lat, x, y;
    } const rows[] = {{15, 45, 500000.000, 4982950.400}, {13.5, 46.5, 384902.837, 5150696.346}};

    // In place, with a third value passed through.
    for (Row const& r : rows) {
        ZELUNArray<double> p = point({r.lon, r.lat, -12.5});
        ASSERT_EQ(wgs84.transform(utm, p, p), 0);
        ASSERT_EQ(p.size(), 3u);
        EXPECT_NEAR(p[0], r.x, 1e-3);
        EXPECT_NEAR(p[1], r.y, 1e-3);
        EXPECT_EQ(p[2], -12.5);

        ZELUNArray<double> back;
        ASSERT_EQ(utm.transform(wgs84, p, back), 0);
        EXPECT_NEAR(back[0], r.lon, 1e-9);
        EXPECT_NEAR(back[1], r.lat, 1e-9);
        EXPECT_EQ(back[2], -12.5);
    }

    // The list form: one output point per input point, counts kept.
    ZELUNArray<ZELUNArray<double>> list(2);
    list[0] = point({15, 45});
    list[1] = point({13.5, 46.5, 7, 8});
    ZELUNArray<ZELUNArray<double>> out;
    ASSERT_EQ(wgs84.transform(utm, list, out), 0);
    ASSERT_EQ(out.size(), 2u);
    ASSERT_EQ(out[0].size(), 2u);
    ASSERT_EQ(out[1].size(), 4u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(out[i][0], rows[i].x, 1e-3);
        EXPECT_NEAR(out[i][1], rows[i].y, 1e-3);
    }
    EXPECT_EQ(out[1][2], 7);
    EXPECT_EQ(out[1][3], 8);
    ASSERT_EQ(wgs84.transform(utm, list, list), 0);
    EXPECT_NEAR(list[1][1], rows[1].y, 1e-3);

    // The batch form, stride 3: the third value of each point is untouched.
    double values[] = {15, 45, -1, 13.5, 46.5, -2};
    unsigned char failed[2] = {9, 9};
    ASSERT_EQ(wgs84.transform(utm, values, 2, 3, failed), 0);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(values[3 * i], rows[i].x, 1e-3);
        EXPECT_NEAR(values[3 * i + 1], rows[i].y, 1e-3);
        EXPECT_EQ(values[3 * i + 2], -1.0 - i);
        EXPECT_EQ(failed[i], 0);
    }
    EXPECT_EQ(wgs84.transform(utm, values, 0, 2, nullptr), 0);
}

// Every way a point transformation fails, through the one-point, the list and
// the batch forms; the output is never touched.
TEST(ZELUNCoordSystem, FailuresLeaveTheOutputUnchanged)
{
    struct Row {
        char const* label;
        CS source;
        CS target;
        std::vector<double> in;
        long status;
    } const rows[] = {
        {"undefined source", CS(), CS("EPSG:4326"), {1, 2}, kErrCoordSystemInvalid},
        {"undefined target", CS("EPSG:4326"), CS(), {1, 2}, kErrCoordSystemInvalid},
        {"undefined into undefined", CS(), CS(), {1, 2}, kErrCoordSystemInvalid},
        {"nonsense", CS("nonsense"), CS("EPSG:4326"), {1, 2}, kErrCoordSystemInvalid},
        {"geocentric", CS("EPSG:4978"), CS("EPSG:4326"), {1, 2}, kErrCoordSystemInvalid},
        {"vertical", CS("EPSG:4326"), CS("EPSG:5703"), {1, 2}, kErrCoordSystemInvalid},
        {"U+0000", CS(withUnit("EPSG:4326", 0)), CS("EPSG:4326"), {1, 2}, kErrCoordSystemInvalid},
        {"lone surrogate", CS(withUnit("EPSG:4326", 0xDC00)), CS("EPSG:4326"), {1, 2}, kErrCoordSystemInvalid},
        {"another body", CS("IAU_2015:49900"), CS("EPSG:4326"), {1, 2}, kErrCoordTransformUnavailable},
        {"no inverse", CS("+proj=bertin1953 +type=crs"), CS("EPSG:4326"), {1, 2}, kErrCoordTransformUnavailable},
        {"NaN longitude", CS("EPSG:4326"), CS("EPSG:32633"), {kNaN, 45}, kErrCoordTransformFailed},
        {"infinite latitude", CS("EPSG:4326"), CS("EPSG:32633"), {15, kInf}, kErrCoordTransformFailed},
        {"NaN into the same system", CS("EPSG:4326"), CS("EPSG:4326"), {kNaN, 45}, kErrCoordTransformFailed},
        {"NaN into an equivalent system", CS("EPSG:4326"), CS("+proj=longlat +datum=WGS84"), {15, kNaN},
         kErrCoordTransformFailed},
        {"beyond the horizon, 91", CS(kSphere), CS(kOrtho), {91, 0}, kErrCoordTransformFailed},
        {"beyond the horizon, 128", CS(kSphere), CS(kOrtho), {128, 0}, kErrCoordTransformFailed},
        {"one value", CS("EPSG:4326"), CS("EPSG:32633"), {15}, kErrBadCoordPoint},
        {"no value", CS("EPSG:4326"), CS("EPSG:32633"), {}, kErrBadCoordPoint},
    };
    for (Row const& r : rows) {
        // Whether the pair has a transformation, told without a point.
        bool const pairFails = r.status == kErrCoordSystemInvalid || r.status == kErrCoordTransformUnavailable;
        EXPECT_EQ(r.source.prepareTransform(r.target), pairFails ? r.status : 0) << r.label;
        ZELUNArray<double> const in = point(r.in);
        ZELUNArray<double> out = point({-7, -8, -9});
        EXPECT_EQ(r.source.transform(r.target, in, out), r.status) << r.label;
        expectSameBits(out, point({-7, -8, -9}), r.label);
        ZELUNArray<double> inPlace = in;
        EXPECT_EQ(r.source.transform(r.target, inPlace, inPlace), r.status) << r.label;
        expectSameBits(inPlace, in, r.label);

        // A good point before the bad one does not make it through either.
        ZELUNArray<ZELUNArray<double>> list(2);
        list[0] = point({15, 45});
        list[1] = in;
        ZELUNArray<ZELUNArray<double>> listOut(1);
        listOut[0] = point({-1, -1});
        EXPECT_EQ(r.source.transform(r.target, list, listOut), r.status) << r.label;
        ASSERT_EQ(listOut.size(), 1u) << r.label;
        expectSameBits(listOut[0], point({-1, -1}), r.label);

        if (r.status == kErrBadCoordPoint) continue;
        double values[4] = {15, 45, r.in[0], r.in[1]};
        unsigned char failed[2] = {9, 9};
        EXPECT_EQ(r.source.transform(r.target, values, 2, 2, failed), r.status) << r.label;
        EXPECT_EQ(failed[1], 1) << r.label;
        // Only a failing point is flagged; a status for the whole call flags all.
        EXPECT_EQ(failed[0], r.status == kErrCoordTransformFailed ? 0 : 1) << r.label;
    }

    // The batch form wants at least x and y per point, and an array that
    // fits the address space; otherwise nothing is written, flags included.
    constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
    struct Shape {
        char const* label;
        std::size_t count, stride;
    } const shapes[] = {
        {"stride 1", 1, 1},
        {"stride 2^61: 8-byte steps wrap to 0", 2, std::size_t(1) << 61},
        {"count 2^62", std::size_t(1) << 62, 2},
        {"count SIZE_MAX", kMax, 2},
        {"stride SIZE_MAX", 2, kMax},
        {"count x stride beyond PTRDIFF_MAX bytes", std::size_t(1) << 59, 4},
    };
    for (Shape const& sh : shapes) {
        double values[4] = {15, 45, 16, 46};
        unsigned char failed[2] = {9, 9};
        EXPECT_EQ(CS("EPSG:4326").transform(CS("EPSG:32633"), values, sh.count, sh.stride, failed), kErrBadCoordPoint)
            << sh.label;
        EXPECT_EQ(failed[0], 9) << sh.label;
        EXPECT_EQ(failed[1], 9) << sh.label;
        EXPECT_EQ(values[0], 15) << sh.label;
        EXPECT_EQ(values[1], 45) << sh.label;
        // The same shapes between invalid systems: the array is refused first.
        EXPECT_EQ(CS("not a crs").transform(CS("EPSG:32633"), values, sh.count, sh.stride, failed), kErrBadCoordPoint)
            << sh.label;
        EXPECT_EQ(failed[0], 9) << sh.label;
    }
}

TEST(ZELUNCoordSystem, OrthographicHorizon)
{
    CS const sphere(kSphere), ortho(kOrtho);
    struct Row {
        double lon;
        bool ok;
        double x;
    } const rows[] = {{64, true, 5726214.17}, {90, true, 6370997}, {91, false, 0}, {128, false, 0}};
    double values[8];
    for (int i = 0; i < 4; ++i) {
        ZELUNArray<double> p = point({rows[i].lon, 0});
        long const st = sphere.transform(ortho, p, p);
        EXPECT_EQ(st, rows[i].ok ? 0 : kErrCoordTransformFailed) << rows[i].lon;
        if (rows[i].ok) {
            EXPECT_NEAR(p[0], rows[i].x, 0.01) << rows[i].lon;
            EXPECT_NEAR(p[1], 0, 1e-6) << rows[i].lon;
        }
        values[2 * i] = rows[i].lon;
        values[2 * i + 1] = 0;
    }
    // One batch: each point fails or not on its own.
    unsigned char failed[4];
    EXPECT_EQ(sphere.transform(ortho, values, 4, 2, failed), kErrCoordTransformFailed);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(failed[i], rows[i].ok ? 0 : 1) << rows[i].lon;
        if (rows[i].ok) {
            EXPECT_NEAR(values[2 * i], rows[i].x, 0.01);
        }
    }
    // Without flags only the status tells.
    values[0] = 64;
    values[1] = 0;
    values[2] = 128;
    values[3] = 0;
    EXPECT_EQ(sphere.transform(ortho, values, 2, 2, nullptr), kErrCoordTransformFailed);
}

TEST(ZELUNCoordSystem, EquivalentSystemsCopyBitForBit)
{
    std::vector<double> const awkward = {0.1 + 0.2, -0.0, 5e-324, 1e300, 123.456};
    std::pair<CS, CS> const pairs[] = {
        {CS("EPSG:4326"), CS("EPSG:4326")},
        {CS("EPSG:4326"), CS("+proj=longlat +datum=WGS84")},
        {CS(ZELUNUString("EPSG:32633"), ZELUNUString("a")), CS(ZELUNUString("EPSG:32633"), ZELUNUString("b"))},
    };
    for (auto const& [a, b] : pairs) {
        ZELUNArray<double> p = point(awkward);
        ASSERT_EQ(a.transform(b, p, p), 0);
        expectSameBits(p, point(awkward), "one point");

        ZELUNArray<ZELUNArray<double>> list(1);
        list[0] = point(awkward);
        ZELUNArray<ZELUNArray<double>> out;
        ASSERT_EQ(a.transform(b, list, out), 0);
        expectSameBits(out[0], point(awkward), "list");

        std::vector<double> batch = awkward;
        ASSERT_EQ(a.transform(b, batch.data(), 2, 2, nullptr), 0);
        for (std::size_t i = 0; i < batch.size(); ++i) EXPECT_TRUE(sameBits(batch[i], awkward[i])) << i;
    }
}

// Systems die and new ones take their addresses; the per-thread cache must
// never confuse them.
TEST(ZELUNCoordSystem, ShortLivedSystems)
{
    CS const wgs84("EPSG:4326");
    for (int round = 0; round < 200; ++round) {
        bool const zone33 = round % 2 == 0;
        auto* utm = new CS(zone33 ? "EPSG:32633" : "EPSG:32632");
        ZELUNArray<double> p = point({500000, 4982950.4});
        ASSERT_EQ(utm->transform(wgs84, p, p), 0) << round;
        EXPECT_NEAR(p[0], zone33 ? 15 : 9, 1e-9) << round;
        EXPECT_NEAR(p[1], 45, 1e-8) << round;  // within a millimetre
        delete utm;
    }
}

TEST(ZELUNCoordSystem, HostThreadsTransformAtOnce)
{
    // Made on a thread that is gone before anyone uses it.
    CS fromGoneThread;
    std::thread([&] { fromGoneThread = CS("EPSG:32633"); }).join();

    constexpr int kThreads = 8;
    std::vector<int> errors(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            CS const own(t % 2 ? "EPSG:32632" : "EPSG:32633");
            CS const wgs84("EPSG:4326");
            for (int i = 0; i < 50; ++i) {
                ZELUNArray<double> p = point({500000, 4982950.4});
                if (own.transform(wgs84, p, p) != 0 || std::fabs(p[0] - (t % 2 ? 9 : 15)) > 1e-9) ++errors[t];
                ZELUNArray<double> q = point({15, 45});
                if (wgs84.transform(fromGoneThread, q, q) != 0 || std::fabs(q[0] - 500000) > 1e-3) ++errors[t];
                if (!fromGoneThread.isEqual(CS("+proj=utm +zone=33 +datum=WGS84"), true)) ++errors[t];
            }
        });
    }
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(errors[t], 0) << "thread " << t;
}

namespace {

// The three forms of transform() on one point (x, y) between a pair of
// systems, each with its input made before the call.
struct PointCall {
    std::pair<CS, CS> systems;
    ZELUNArray<double> one;
    ZELUNArray<ZELUNArray<double>> list;
    double batch[2];
    unsigned char failed = 9;

    PointCall(char const* from, char const* to, double x, double y)
        : systems(CS(from), CS(to)), one(point({x, y})), list(1), batch{x, y}
    {
        list[0] = one;
    }
    // The status of one call of the given form (0 one point, 1 list, 2
    // batch); the converted point, when the status is 0, in `xy`.
    long run(int form, double xy[2])
    {
        CS const& a = systems.first;
        CS const& b = systems.second;
        long st;
        if (form == 0) {
            st = a.transform(b, one, one);
            xy[0] = one[0], xy[1] = one[1];
        } else if (form == 1) {
            st = a.transform(b, list, list);
            xy[0] = list[0][0], xy[1] = list[0][1];
        } else {
            st = a.transform(b, batch, 1, 2, &failed);
            xy[0] = batch[0], xy[1] = batch[1];
        }
        return st;
    }
};

char const* const kFormNames[] = {"one point", "list", "batch"};

}  // namespace

namespace {

// One pair of systems and a point to carry between them.
struct PairCase {
    char const* name;
    char const* from;
    char const* to;
    double x, y;
};

// Why a call under failures gave what the header does not allow, or empty:
// the answer of a call that never failed (its status; for 0 its bits), or
// kErrOutOfMemory (the batch form flagging its point).
std::string judgeUnderShortage(PointCall const& call, int form, long status, double const xy[2], long answer,
                               double const expected[2])
{
    if (status == kErrOutOfMemory) return form == 2 && call.failed != 1 ? "kErrOutOfMemory, point not flagged" : "";
    if (status != answer) return "status " + std::to_string(status) + " for " + std::to_string(answer);
    if (status == 0 && !(sameBits(xy[0], expected[0]) && sameBits(xy[1], expected[1]))) return "0 at another position";
    return "";
}

// One trial, in a child: a thread new to the engine makes the pair's first
// conversion (one of the three forms, by n) with memory failing as `mode`
// says, then converts again with memory back.
int pairTrial(PairCase const& c, zorvtest::ShortageMode const& mode, unsigned long n, long answer,
              double const expected[2])
{
    int result = 0;
    std::thread([&] {
        PointCall call(c.from, c.to, c.x, c.y);
        int const form = static_cast<int>(n % 3);
        double xy[2];
        long status;
        bool reached;
        {
#if defined(__SANITIZE_ADDRESS__)
            __lsan::ScopedDisabler engineLeaks;  // the engine's failure paths lose objects
#endif
            zorvtest::ArmedShortage const failing(mode, n);
            status = call.run(form, xy);
            reached = failing.reached();
        }
        std::string why = judgeUnderShortage(call, form, status, xy, answer, expected);
        PointCall again(c.from, c.to, c.x, c.y);
        again.systems = call.systems;
        long const next = again.run(0, xy);
        if (why.empty() && next != answer) why = "the next call gave " + std::to_string(next);
        if (why.empty() && next == 0 && !(sameBits(xy[0], expected[0]) && sameBits(xy[1], expected[1])))
            why = "the next call gave another position";
        if (!why.empty()) {
            std::printf("%s, %s, %lu (%s): %s\n", c.name, mode.name, n, kFormNames[form], why.c_str());
            result = 1;
        } else if (!reached) {
            result = zorvtest::kTrialBeyondTheLast;
        }
    }).join();
    return result;
}

// Sweeps the first conversion of each pair under each way of taking memory
// away, every trial in a child process (the engine may end the process when
// its allocations fail: see ForkedTrial.h and ZELUNCoordSystem.h).
void sweepPairs(std::initializer_list<PairCase> cases)
{
    using namespace zorvtest;
    for (PairCase const& c : cases) {
        double expected[2] = {c.x, c.y};
        long const answer = PointCall(c.from, c.to, c.x, c.y).run(0, expected);
        for (ShortageMode const& mode : {kOneFailure, kMemoryGone, kLargeBlocksGone, kOneInAThousand}) {
            unsigned engineFaults = 0;
            auto const body = [&](unsigned long n) { return pairTrial(c, mode, n, answer, expected); };
            auto const judge = [&](unsigned long n, TrialEnd const& end) {
                engineFaults += end.kind != TrialEnd::kPassed && end.knownFault;
                EXPECT_TRUE(end.acceptable()) << c.name << ", " << mode.name << ", " << n << ":\n" << end.report;
            };
            unsigned const trials = sweepShortage(mode, body, judge);
            std::printf("%s, %s: %u trials, %u ended in a known fault of the engine\n", c.name, mode.name, trials,
                        engineFaults);
        }
    }
}

char const* const kOrthoAmerica = "+proj=ortho +lat_0=40 +lon_0=-100 +ellps=WGS84 +type=crs";

}  // namespace

// A shortage while a thread makes its first conversion of a pair (in the
// library, the engine, its database or glibc; one failing allocation, all
// from one on, only large blocks, or one in a thousand at random) gives
// kErrOutOfMemory or the answer of a call that never failed, bit for bit,
// never a refusal of a pair that converts; the next call with memory back
// gives that answer. Pairs of every kind: projected, equivalent (no
// operation), aliases the database resolves, refused (another body, no
// inverse), and a datum shift through a grid, whose lazy loading a
// shortage can break.
TEST(CoordShortage, ProjectionsAndEquivalentSystems)
{
    sweepPairs({{"EPSG:4326 -> EPSG:32633", "EPSG:4326", "EPSG:32633", 13.5, 46.5},
                {"OGC:CRS84 -> EPSG:4326", "OGC:CRS84", "EPSG:4326", 0.1 + 0.2, -0.0},
                {"EPSG:4326 -> WGS 84 under an alias", "EPSG:4326", kWgs84AliasWkt2, 0.1 + 0.2, -0.0},
                {"orthographic -> EPSG:4326", kOrthoAmerica, "EPSG:4326", 1000, 2000}});
}

TEST(CoordShortage, RefusedPairs)
{
    sweepPairs({{"IAU_2015:49900 -> EPSG:4326", "IAU_2015:49900", "EPSG:4326", 1, 2},
                {"bertin1953 -> EPSG:4326", "+proj=bertin1953 +type=crs", "EPSG:4326", 1, 2}});
}

TEST(CoordShortage, GridShift)
{
    sweepPairs({{"EPSG:4326 -> EPSG:4314", "EPSG:4326", "EPSG:4314", 9, 49}});
}

// A pair whose first transformations all ran short of memory works at once
// when memory is back: a shortage never counts against the pair, whichever
// blocks fail (every block, or only those over 4 KiB, as SQLite's pages and
// the engine's message buffer are), and however many calls it lasted.
TEST(ZELUNCoordSystem, ShortageNeverDelaysThePair)
{
    using zorvtest::FailingAllocation;
    char const* const ortho = "+proj=ortho +lat_0=40 +lon_0=-100 +ellps=WGS84 +type=crs";
    struct Row {
        char const* from;
        char const* to;
        double x, y;
        FailingAllocation::Blocks blocks;
    } const rows[] = {
        {"EPSG:4326", "EPSG:32633", 13.5, 46.5, FailingAllocation::kAnyBlock},
        {"EPSG:4326", "EPSG:32633", 13.5, 46.5, FailingAllocation::kLargeBlocks},
        {ortho, "EPSG:4326", 1000, 2000, FailingAllocation::kAnyBlock},
        {ortho, "EPSG:4326", 1000, 2000, FailingAllocation::kLargeBlocks},
        {"EPSG:4326", "EPSG:4314", 9, 49, FailingAllocation::kLargeBlocks},  // a grid-based datum shift
    };
    for (Row const& r : rows) {
        std::string const label = std::string(r.from) + " -> " + r.to +
                                  (r.blocks == FailingAllocation::kLargeBlocks ? ", blocks over 4 KiB" : ", every block");
        double expected[2] = {r.x, r.y};
        ASSERT_EQ(PointCall(r.from, r.to, r.x, r.y).run(0, expected), 0) << label;
        for (int const shortCalls : {5, 100, 3000}) {
            CS const from(r.from), to(r.to);  // a pair this thread has not seen
            std::vector<ZELUNArray<double>> points(shortCalls + 100, point({r.x, r.y}));
            int shortage = 0;
            {
                FailingAllocation noMemory(1, FailingAllocation::kThatAndLater, FailingAllocation::kThisThread,
                                           r.blocks);
                for (int i = 0; i < shortCalls; ++i)
                    if (from.transform(to, points[i], points[i]) == kErrOutOfMemory) ++shortage;
            }
            EXPECT_EQ(shortage, shortCalls) << label;
            int refused = 0;
            for (std::size_t i = shortCalls; i < points.size(); ++i) {
                if (from.transform(to, points[i], points[i]) != 0) {
                    ++refused;
                    continue;
                }
                EXPECT_TRUE(sameBits(points[i][0], expected[0]) && sameBits(points[i][1], expected[1])) << label;
            }
            EXPECT_EQ(refused, 0) << label << ", after " << shortCalls << " calls short of memory";
        }
    }
}

// A grid file that is missing when a pair is first used refuses the pair
// for that call only: once the file is there, the same thread converts
// through it at once, exactly as a thread that never saw it missing.
TEST(ZELUNCoordSystem, MissingGridIsNotLasting)
{
    char const* const installed = "/usr/share/proj/ntf_r93.gsb";  // proj-data's NTF to RGF93 shift grid
    if (std::FILE* f = std::fopen(installed, "rb"))
        std::fclose(f);
    else
        GTEST_SKIP() << installed << " is not installed";
    char folder[] = "/tmp/zorv-grid-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string const grid = std::string(folder) + "/shift.gsb";
    auto const ntf = [](std::string const& file) {
        return CS(("+proj=longlat +ellps=clrk80ign +nadgrids=" + file + " +type=crs").c_str());
    };
    CS const missing = ntf(grid), wgs84("EPSG:4326");
    ASSERT_TRUE(missing.isValid());
    for (int call = 0; call < 3; ++call) {
        ZELUNArray<double> p = point({2.35, 48.85});
        EXPECT_EQ(missing.prepareTransform(wgs84), kErrCoordTransformUnavailable) << call;
        EXPECT_EQ(missing.transform(wgs84, p, p), kErrCoordTransformUnavailable) << call;
        expectSameBits(p, point({2.35, 48.85}), "refused");
    }

    // The same grid under its installed name gives the expected shift.
    ZELUNArray<double> expected = point({2.35, 48.85});
    ASSERT_EQ(ntf(installed).transform(wgs84, expected, expected), 0);
    EXPECT_GT(std::fabs(expected[0] - 2.35), 1e-5);  // the shift is applied

    {
        std::ifstream in(installed, std::ios::binary);
        std::ofstream out(grid, std::ios::binary);
        out << in.rdbuf();
    }
    ZELUNArray<double> sameThread = point({2.35, 48.85});
    EXPECT_EQ(missing.prepareTransform(wgs84), 0);
    EXPECT_EQ(missing.transform(wgs84, sameThread, sameThread), 0);
    expectSameBits(sameThread, expected, "same thread, grid installed");
    ZELUNArray<double> otherThread = point({2.35, 48.85});
    long otherStatus = -1;
    std::thread([&] { otherStatus = missing.transform(wgs84, otherThread, otherThread); }).join();
    EXPECT_EQ(otherStatus, 0);
    expectSameBits(otherThread, expected, "fresh thread");
    std::remove(grid.c_str());
    rmdir(folder);
}

// The engine's refusals are kept: after the first answer a refused pair is
// answered without the engine, so it allocates nothing. Conversions into an
// output system without an inverse are refused in that direction only.
TEST(ZELUNCoordSystem, RefusalsAreRemembered)
{
    char const* const bertin = "+proj=bertin1953 +type=crs";
    struct Row {
        char const* from;
        char const* to;
    } const refused[] = {
        {"IAU_2015:49900", "EPSG:4326"},
        {"EPSG:4326", "IAU_2015:49900"},
        {bertin, "EPSG:4326"},
    };
    for (Row const& r : refused) {
        CS const from(r.from), to(r.to);
        ASSERT_TRUE(from.isValid() && to.isValid()) << r.from;
        ZELUNArray<double> p = point({1, 2});
        ASSERT_EQ(from.transform(to, p, p), kErrCoordTransformUnavailable) << r.from << " -> " << r.to;
        int allocating = 0;
        for (int i = 0; i < 3000; ++i) {
            double xy[4] = {1, 2, 3, 4};
            unsigned char failed[2] = {0, 0};
            zorvtest::FailingAllocation watch(1);
            EXPECT_EQ(from.prepareTransform(to), kErrCoordTransformUnavailable);
            EXPECT_EQ(from.transform(to, p, p), kErrCoordTransformUnavailable);
            EXPECT_EQ(from.transform(to, xy, 2, 2, failed), kErrCoordTransformUnavailable);
            EXPECT_TRUE(failed[0] == 1 && failed[1] == 1);
            if (watch.reached()) ++allocating;
        }
        EXPECT_EQ(allocating, 0) << r.from << " -> " << r.to;
        expectSameBits(p, point({1, 2}), r.from);
    }
    // The forward direction of the projection exists.
    ZELUNArray<double> p = point({10, 20});
    EXPECT_EQ(CS("EPSG:4326").transform(CS(bertin), p, p), 0);
    EXPECT_EQ(CS("EPSG:4326").prepareTransform(CS(bertin)), 0);
}

// A definition read while memory runs short is read right or the
// constructor throws std::bad_alloc: a shortage never makes a valid text
// invalid (nor an invalid one valid). Each reading on a thread new to the
// engine, in a child process (the engine corrupts its heap at some failing
// allocations inside its reader of PROJ strings: see ForkedTrial.h).
TEST(ZELUNCoordSystem, ReadingUnderAShortage)
{
    using namespace zorvtest;
    // Projected, geocentric (not valid here), WKT, a PROJ string, and text
    // the engine does not read.
    for (char const* definition :
         {"EPSG:32633", "EPSG:4978", kUtm33Wkt1, "+proj=utm +zone=33 +datum=WGS84", "not a system"}) {
        CS const plain(definition);
        for (ShortageMode const& mode : {kOneFailure, kMemoryGone, kLargeBlocksGone, kOneInAThousand}) {
            auto const body = [&](unsigned long n) {
                    int result = 0;
                std::thread([&] {
                    std::unique_ptr<CS> made;
                    bool threw = false, reached;
                    {
#if defined(__SANITIZE_ADDRESS__)
                        __lsan::ScopedDisabler engineLeaks;
#endif
                        ArmedShortage const failing(mode, n);
                        try {
                            made.reset(new CS(definition));
                        } catch (std::bad_alloc const&) {
                            threw = true;
                        }
                        reached = failing.reached();
                    }
                    if (!threw && (made->isValid() != plain.isValid() ||
                                   made->userToMmOnGroundFactor() != plain.userToMmOnGroundFactor() ||
                                   made->fullTurn() != plain.fullTurn())) {
                        std::printf("%s, %s, %lu: read as another system\n", definition, mode.name, n);
                        result = 1;
                    } else if (!reached) {
                        result = kTrialBeyondTheLast;
                    }
                }).join();
                return result;
            };
            auto const judge = [&](unsigned long n, TrialEnd const& end) {
                EXPECT_TRUE(end.acceptable()) << definition << ", " << mode.name << ", " << n << ":\n" << end.report;
            };
            unsigned const trials = sweepShortage(mode, body, judge);
            EXPECT_GT(trials, 1u) << definition << ", " << mode.name;
        }
    }
}

// A host thread whose first coordinate call finds memory gone (every block,
// or only blocks over 4 KiB) is answered kErrOutOfMemory on every form, the
// process goes on (the thread's engine is not a thread_local, whose
// destructor glibc registers with an allocation and ends the process when
// that fails), and the thread's next call with memory back gives the exact
// result. Eight such threads at once.
TEST(CoordSystemThreads, FirstCallOfAThreadUnderAShortage)
{
    using zorvtest::FailingAllocation;
    CS const wgs84("EPSG:4326"), utm("EPSG:32633"), alias(kWgs84AliasWkt2);
    ZELUNArray<double> expected = point({13.5, 46.5});
    ASSERT_EQ(wgs84.transform(utm, expected, expected), 0);
    for (auto const blocks : {FailingAllocation::kAnyBlock, FailingAllocation::kLargeBlocks}) {
        constexpr int kThreads = 8;
        std::vector<std::string> errors(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                std::string& e = errors[t];
                ZELUNArray<double> p = point({13.5, 46.5});
                double xy[2] = {13.5, 46.5};
                unsigned char failed = 0;
                {
                    FailingAllocation noMemory(1, FailingAllocation::kThatAndLater, FailingAllocation::kThisThread,
                                               blocks);
                    if (wgs84.prepareTransform(utm) != kErrOutOfMemory) e += " prepareTransform";
                    if (wgs84.transform(utm, p, p) != kErrOutOfMemory) e += " one point";
                    if (wgs84.transform(utm, xy, 1, 2, &failed) != kErrOutOfMemory || failed != 1) e += " batch";
                    if (wgs84.isEqual(alias, true)) e += " isEqual told without memory";
                    if (!noMemory.reached()) e += " no allocation asked for";
                }
                if (!sameBits(p[0], 13.5) || !sameBits(p[1], 46.5)) e += " point written";
                if (wgs84.transform(utm, p, p) != 0 || !sameBits(p[0], expected[0]) || !sameBits(p[1], expected[1]))
                    e += " next call";
                if (!wgs84.isEqual(alias, true)) e += " next isEqual";
            });
        }
        for (std::thread& th : threads) th.join();
        for (int t = 0; t < kThreads; ++t)
            EXPECT_EQ(errors[t], "") << "thread " << t
                                     << (blocks == FailingAllocation::kLargeBlocks ? ", blocks over 4 KiB" : "");
    }
}

// A host thread with a small stack can make and use pairs: the first calls
// of a thread (its engine made, the engine's operation search run) and the
// database's equivalence test fit in 64 KiB.
TEST(ZELUNCoordSystem, FirstCallsOnASmallStack)
{
    CS const wgs84("EPSG:4326"), utm("EPSG:32633"), dhdn("EPSG:4314"), alias(kWgs84AliasWkt2);
    std::string errors;
    std::size_t const used = zorvtest::runOnSmallStack(zorvtest::kSmallStack, [&] {
        ZELUNArray<double> p = point({13.5, 46.5});
        if (wgs84.prepareTransform(utm) != 0 || wgs84.transform(utm, p, p) != 0) errors += " utm";
        double xy[4] = {9, 49, 10, 50};
        unsigned char failed[2];
        if (wgs84.transform(dhdn, xy, 2, 2, failed) != 0) errors += " grid shift";
        if (!wgs84.isEqual(alias, true) || wgs84.isEqual(utm, true)) errors += " isEqual";
        long st = -1;
        ZELUNCover(wgs84, 12, 45, 15, 48).transformTo(utm, st);
        if (st != 0) errors += " transformTo";
    });
    EXPECT_EQ(errors, "");
    RecordProperty("stackBytes", static_cast<int>(used));
    std::printf("first calls of a thread: %zu bytes of stack\n", used);
}
