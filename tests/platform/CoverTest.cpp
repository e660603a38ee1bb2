#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "support/FailingAllocation.h"
#include "support/ForkedTrial.h"
#include "support/ShortageModes.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNCover.h"

using namespace ZORV_3_13_0_::DataSet;
using CS = ZELUNCoordSystem;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kInf = std::numeric_limits<double>::infinity();

void expectNull(ZELUNCover const& c, char const* label)
{
    EXPECT_TRUE(c.isNull()) << label;
    EXPECT_EQ(c.status(), 0) << label;
    EXPECT_FALSE(c.getCoordSystem().isValid()) << label;
    EXPECT_EQ(c.getMinX(), 0.0) << label;
    EXPECT_EQ(c.getMaxY(), 0.0) << label;
}

}  // namespace

TEST(ZELUNCover, BoundsAndStatus)
{
    expectNull(ZELUNCover(), "default");

    struct Row {
        char const* label;
        CS system;
        double minX, minY, maxX, maxY;
        long status;
    } const rows[] = {
        {"ordinary", CS("EPSG:32633"), 300000.25, 4900000, 700000, 5300000.5, 0},
        {"zero width and height", CS("EPSG:4326"), 15, 45, 15, 45, 0},
        {"negative zero and subnormal", CS("EPSG:4326"), -0.0, 5e-324, 0.0, 1e-300, 0},
        {"NaN", CS("EPSG:4326"), kNaN, 0, 1, 1, kErrCoverInvalid},
        {"infinite", CS("EPSG:4326"), 0, 0, 1, kInf, kErrCoverInvalid},
        // Finite bounds whose difference overflows to infinity.
        {"infinite width", CS("EPSG:4326"), -1.7e308, 0, 1.7e308, 1, kErrCoverInvalid},
        {"infinite height", CS("EPSG:4326"), 0, -1.7e308, 1, 1.7e308, kErrCoverInvalid},
        {"widest finite width and height", CS("EPSG:4326"), -8.9e307, -8.9e307, 8.9e307, 8.9e307, 0},
        {"minX > maxX", CS("EPSG:4326"), 2, 0, 1, 1, kErrCoverInvalid},
        {"minY > maxY", CS("EPSG:4326"), 0, 2, 1, 1, kErrCoverInvalid},
        {"undefined system", CS(), 0, 0, 1, 1, kErrCoordSystemInvalid},
        {"invalid system, bad bounds", CS("EPSG:4978"), 2, 0, 1, 1, kErrCoordSystemInvalid},
    };
    for (Row const& r : rows) {
        ZELUNCover const c(r.system, r.minX, r.minY, r.maxX, r.maxY);
        EXPECT_FALSE(c.isNull()) << r.label;
        EXPECT_EQ(c.status(), r.status) << r.label;
        EXPECT_TRUE(c.getCoordSystem() == r.system) << r.label;
        // Stored exactly, NaN included.
        double const got[] = {c.getMinX(), c.getMinY(), c.getMaxX(), c.getMaxY()};
        double const want[] = {r.minX, r.minY, r.maxX, r.maxY};
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(std::memcmp(&got[i], &want[i], sizeof(double)) == 0) << r.label << " bound " << i;
        if (r.status == 0) {
            EXPECT_EQ(c.getWidth(), r.maxX - r.minX) << r.label;
            EXPECT_EQ(c.getHeight(), r.maxY - r.minY) << r.label;
        }
        ZELUNCover copy;
        copy = c;
        EXPECT_EQ(copy.status(), r.status) << r.label;
        EXPECT_TRUE(copy.getCoordSystem() == r.system) << r.label;
    }
}

TEST(ZELUNCover, TransformTo)
{
    CS const wgs84("EPSG:4326");
    CS const utm("EPSG:32633");
    CS const sphere("+proj=longlat +R=6370997");
    CS const ortho("+proj=ortho +lat_0=0 +lon_0=0 +R=6370997");

    // Into its own or an equivalent system: the same bounds exactly.
    for (CS const& target : {wgs84, CS("+proj=longlat +datum=WGS84"), CS(u8"EPSG:4326")}) {
        long st = -1;
        ZELUNCover const c = ZELUNCover(wgs84, 0.1, 1e-300, 0.30000000000000004, 0.2).transformTo(target, st);
        EXPECT_EQ(st, 0);
        EXPECT_TRUE(c.getCoordSystem() == target);
        EXPECT_EQ(c.getMinX(), 0.1);
        EXPECT_EQ(c.getMinY(), 1e-300);
        EXPECT_EQ(c.getMaxX(), 0.30000000000000004);
        EXPECT_EQ(c.getMaxY(), 0.2);
    }

    // Into UTM: the bounds hold the UTM points of the four corners.
    {
        long st = -1;
        ZELUNCover const c = ZELUNCover(wgs84, 12, 45, 15, 48).transformTo(utm, st);
        ASSERT_EQ(st, 0);
        EXPECT_TRUE(c.getCoordSystem() == utm);
        for (double lon : {12.0, 15.0}) {
            for (double lat : {45.0, 48.0}) {
                ZELUNArray<double> p(2);
                p[0] = lon;
                p[1] = lat;
                ASSERT_EQ(wgs84.transform(utm, p, p), 0);
                EXPECT_LE(c.getMinX(), p[0] + 1e-6) << lon << ' ' << lat;
                EXPECT_GE(c.getMaxX(), p[0] - 1e-6) << lon << ' ' << lat;
                EXPECT_LE(c.getMinY(), p[1] + 1e-6) << lon << ' ' << lat;
                EXPECT_GE(c.getMaxY(), p[1] - 1e-6) << lon << ' ' << lat;
            }
        }
    }

    // Partly beyond the horizon: the hull of what converts.
    {
        long st = -1;
        ZELUNCover const c = ZELUNCover(sphere, 64, 0, 128, 64).transformTo(ortho, st);
        ASSERT_EQ(st, 0);
        EXPECT_NEAR(c.getMinX(), 2510207.07, 1);
        EXPECT_NEAR(c.getMaxX(), 6363780.82, 1);
        EXPECT_NEAR(c.getMinY(), 0, 1);
        EXPECT_NEAR(c.getMaxY(), 5726214.17, 1);
    }

    // Across the antimeridian: one box, maxX beyond 180.
    {
        long st = -1;
        ZELUNCover const c = ZELUNCover(CS("EPSG:32660"), 700000, 5000000, 900000, 5200000).transformTo(wgs84, st);
        ASSERT_EQ(st, 0);
        EXPECT_NEAR(c.getMinX(), 179.543123, 1e-6);
        EXPECT_NEAR(c.getMaxX(), 182.245552, 1e-6);
        EXPECT_NEAR(c.getMinY(), 45.040405, 1e-6);
        EXPECT_NEAR(c.getMaxY(), 46.923381, 1e-6);
        EXPECT_GT(c.getWidth(), 0);
    }

    // Failures: the null cover, the status written.
    struct Row {
        char const* label;
        ZELUNCover cover;
        CS target;
        long status;
    } const failures[] = {
        {"null cover", ZELUNCover(), wgs84, kErrCoverInvalid},
        {"bad bounds", ZELUNCover(wgs84, 1, 0, 0, 1), utm, kErrCoverInvalid},
        {"infinite width", ZELUNCover(wgs84, -1.7e308, 0, 1.7e308, 1), utm, kErrCoverInvalid},
        // Each bound carried from kilometres to metres stays finite, their
        // difference does not.
        {"carried to an infinite width",
         ZELUNCover(CS("+proj=utm +zone=33 +datum=WGS84 +units=km"), -1.5e305, -1e3, 1.5e305, 1e3),
         CS("+proj=utm +zone=33 +datum=WGS84"), kErrCoverInvalid},
        {"invalid source", ZELUNCover(CS("nonsense"), 0, 0, 1, 1), utm, kErrCoordSystemInvalid},
        {"invalid target", ZELUNCover(wgs84, 0, 0, 1, 1), CS(), kErrCoordSystemInvalid},
        {"no operation", ZELUNCover(CS("IAU_2015:49900"), 0, 0, 1, 1), wgs84, kErrCoordTransformUnavailable},
        {"wholly beyond the horizon", ZELUNCover(sphere, 100, 0, 170, 64), ortho, kErrCoordTransformFailed},
    };
    for (Row const& r : failures) {
        long st = -1;
        ZELUNCover const c = r.cover.transformTo(r.target, st);
        EXPECT_EQ(st, r.status) << r.label;
        expectNull(c, r.label);
    }
}

// A cover carried into another system while memory fails (one allocation,
// all from one on, only large blocks, one in a thousand) gives its bounds or
// kErrOutOfMemory (never a failed or refused transformation), and the next
// call the bounds of a call that never failed. Each trial runs on a thread
// new to the engine, in a child process (the engine may end the process when
// its allocations fail: see ForkedTrial.h).
TEST(ZELUNCover, TransformToUnderAShortage)
{
    using namespace zorvtest;
    long st = -1;
    ZELUNCover const expected = ZELUNCover(CS("EPSG:4326"), 12, 45, 15, 48).transformTo(CS("EPSG:32633"), st);
    ASSERT_EQ(st, 0);
    auto const sameBounds = [&](ZELUNCover const& c) {
        return c.getMinX() == expected.getMinX() && c.getMinY() == expected.getMinY() &&
               c.getMaxX() == expected.getMaxX() && c.getMaxY() == expected.getMaxY() && !c.isNull();
    };
    for (ShortageMode const& mode : {kOneFailure, kMemoryGone, kLargeBlocksGone, kOneInAThousand}) {
        auto const body = [&](unsigned long n) {
            int result = 0;
            std::thread([&] {
                ZELUNCover const cover(CS("EPSG:4326"), 12, 45, 15, 48);
                CS const target("EPSG:32633");
                ZELUNCover carried;
                long status = -1;
                bool reached;
                {
#if defined(__SANITIZE_ADDRESS__)
                    __lsan::ScopedDisabler engineLeaks;
#endif
                    ArmedShortage const failing(mode, n);
                    carried = cover.transformTo(target, status);
                    reached = failing.reached();
                }
                bool const ok = status == kErrOutOfMemory ? carried.isNull() : status == 0 && sameBounds(carried);
                long again = -1;
                bool const next = sameBounds(cover.transformTo(target, again)) && again == 0;
                if (!ok || !next) {
                    std::printf("%s, %lu: status %ld%s\n", mode.name, n, status, next ? "" : ", next call wrong");
                    result = 1;
                } else if (!reached) {
                    result = kTrialBeyondTheLast;
                }
            }).join();
            return result;
        };
        auto const judge = [&](unsigned long n, TrialEnd const& end) {
            EXPECT_TRUE(end.acceptable()) << mode.name << ", " << n << ":\n" << end.report;
        };
        unsigned const trials = sweepShortage(mode, body, judge);
        EXPECT_GT(trials, 1u) << mode.name;
    }
}
