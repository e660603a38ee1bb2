#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/EngineLeaks.h"
#include "support/FreshThreadSweep.h"
#include "support/Points.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNAreaGeometry.h"
#include "zorvsupport/platform/ZELUNPointGeometry.h"

using namespace ZORV_3_13_0_::DataSet;
using testsupport::pointList;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();

ZELUNCoordSystem const& utm()
{
    static ZELUNCoordSystem const s("EPSG:32633");
    return s;
}

ZELUNAreaGeometry area(ZELUNArray<ZELUNArray<double>> const& ring, ZELUNCoordSystem const& system = utm())
{
    return ZELUNAreaGeometry(system, ring, static_cast<unsigned>(ring.size()), ZELUN::kRotateAsGiven, false, false,
                             false, false, false);
}

ZELUNAreaGeometry rectangle(double x0, double y0, double x1, double y1, ZELUNCoordSystem const& system = utm())
{
    return area(pointList({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}), system);
}

}  // namespace

TEST(ZELUNGeometry, AreaConstruction)
{
    ZELUNArray<ZELUNArray<double>> const square = pointList({{0, 0, 9}, {4, 0}, {4, 3}, {0, 3}});
    struct Row {
        char const* label;
        ZELUNArray<ZELUNArray<double>> points;
        unsigned count;
        long status;
    } const rows[] = {
        {"square, extra values ignored", square, 4, 0},
        {"first three points", square, 3, 0},
        {"two points", square, 2, kErrGeomInvalid},
        {"count beyond the array", square, 5, kErrGeomInvalid},
        {"a point of one value", pointList({{0, 0}, {4}, {4, 3}}), 3, kErrGeomInvalid},
        {"NaN coordinate", pointList({{0, 0}, {4, kNaN}, {4, 3}}), 3, kErrGeomInvalid},
        {"infinite coordinate", pointList({{0, 0}, {4, 0}, {HUGE_VAL, 3}}), 3, kErrGeomInvalid},
        {"collinear", pointList({{0, 0}, {1, 1}, {3, 3}, {2, 2}}), 4, kErrGeomInvalid},
        {"all equal", pointList({{1, 1}, {1, 1}, {1, 1}}), 3, kErrGeomInvalid},
        // One ulp off the line through the others: exact orientation sees it.
        {"barely not collinear", pointList({{0, 0}, {1, 1}, {0.5, std::nextafter(0.5, 1.0)}}), 3, 0},
    };
    for (Row const& r : rows) {
        ZELUNAreaGeometry const a(utm(), r.points, r.count, ZELUN::kRotateClockwise, true, true, true, true, true);
        EXPECT_EQ(a.getStatus(), r.status) << r.label;
        EXPECT_EQ(a.getPoints().size(), r.status ? 0u : r.count) << r.label;
        EXPECT_EQ(std::isnan(a.getMinPoint()[0]), r.status != 0) << r.label;
    }
    // Not closed, each vertex x and y alone (the first point's 9 dropped).
    ZELUNAreaGeometry const a = area(square);
    ZELUNArray<ZELUNArray<double>> const& vertices = a.getPoints();
    double const expected[4][2] = {{0, 0}, {4, 0}, {4, 3}, {0, 3}};
    ASSERT_EQ(vertices.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(vertices[i].size(), 2u) << i;
        EXPECT_EQ(vertices[i][0], expected[i][0]) << i;
        EXPECT_EQ(vertices[i][1], expected[i][1]) << i;
    }
    EXPECT_EQ(ZELUNAreaGeometry(a).getPoints().size(), 4u);
    EXPECT_EQ(a.getMinPoint()[0], 0);
    EXPECT_EQ(a.getMinPoint()[1], 0);
    EXPECT_EQ(a.getMaxPoint()[0], 4);
    EXPECT_EQ(a.getMaxPoint()[1], 3);

    EXPECT_EQ(ZELUNPointGeometry(utm(), 1, 2).getStatus(), 0);
    EXPECT_EQ(ZELUNPointGeometry(utm(), kNaN, 2).getStatus(), kErrGeomInvalid);
    EXPECT_EQ(ZELUNPointGeometry(utm(), 1, -HUGE_VAL).getStatus(), kErrGeomInvalid);
}

TEST(ZELUNGeometry, AreaAndPoints)
{
    ZELUNAreaGeometry const a = rectangle(0, 0, 4, 3);
    struct Row {
        double x, y;
        bool contains, covers;
    } const rows[] = {{2, 1, true, true}, {0, 1, false, true}, {4, 3, false, true}, {5, 1, false, false}};
    for (Row const& r : rows) {
        ZELUNPointGeometry const p(utm(), r.x, r.y);
        long status = -1;
        EXPECT_EQ(a.containsPoint(p, 3, status), r.contains) << r.x << "," << r.y;
        EXPECT_EQ(status, 0);
        status = -1;
        EXPECT_EQ(a.coversPoint(p, 3, status), r.covers) << r.x << "," << r.y;
        EXPECT_EQ(status, 0);
        status = -1;
        EXPECT_EQ(p.isDisjointFromArea(a, 3, status), !r.covers);
        EXPECT_EQ(status, 0);
    }

    // Positions in another system are converted first: (15, 0) is (500000, 0).
    ZELUNAreaGeometry const around = rectangle(499000, -1000, 501000, 1000);
    long status = -1;
    EXPECT_TRUE(around.containsPoint(ZELUNPointGeometry(ZELUNCoordSystem("EPSG:4326"), 15, 0), 3, status));
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(around.coversPoint(ZELUNPointGeometry(ZELUNCoordSystem("EPSG:4326"), 16, 0), 3, status));
    EXPECT_EQ(status, 0);

    // Failures: a point that cannot be converted, an invalid geometry on
    // either side.
    EXPECT_FALSE(around.coversPoint(ZELUNPointGeometry(ZELUNCoordSystem("EPSG:4326"), 15, 95), 3, status));
    EXPECT_NE(status, 0);
    EXPECT_FALSE(around.coversPoint(ZELUNPointGeometry(ZELUNCoordSystem(), 0, 0), 3, status));
    EXPECT_EQ(status, kErrCoordSystemInvalid);
    EXPECT_FALSE(around.coversPoint(ZELUNPointGeometry(utm(), kNaN, 0), 3, status));
    EXPECT_EQ(status, kErrGeomInvalid);
    EXPECT_FALSE(rectangle(0, 0, 0, 3).coversPoint(ZELUNPointGeometry(utm(), 0, 1), 3, status));
    EXPECT_EQ(status, kErrGeomInvalid);

    // A point contains and covers only an equal point, and no area.
    ZELUNPointGeometry const p(utm(), 500000, 0);
    EXPECT_TRUE(p.containsPoint(ZELUNPointGeometry(utm(), 500000, 0), 3, status));
    EXPECT_TRUE(p.coversPoint(ZELUNPointGeometry(utm(), 500000, 0), 3, status));
    EXPECT_FALSE(p.coversPoint(ZELUNPointGeometry(utm(), 500000, 1), 3, status));
    EXPECT_FALSE(p.containsArea(around, 3, status));
    EXPECT_EQ(status, 0);
    ZELUNType<ZELUNGeometry> const copy = p.clone();
    EXPECT_EQ(copy->getMinPoint()[0], 500000);
}

TEST(ZELUNGeometry, AreaAgainstArea)
{
    ZELUNAreaGeometry const a = area(pointList({{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 4}, {0, 4}}));  // an L
    struct Row {
        char const* label;
        ZELUNAreaGeometry other;
        bool contains, disjoint;
    } const rows[] = {
        {"inside", rectangle(0.5, 0.5, 1.5, 3.5), true, false},
        {"on the boundary from inside", rectangle(0, 0, 2, 4), true, false},
        {"the whole L", a, true, false},
        {"in the hollow", rectangle(2.5, 2.5, 3.5, 3.5), false, true},
        {"touching the hollow's corner", rectangle(2, 2, 3, 3), false, false},
        {"across the corner", rectangle(1, 1, 3, 3), false, false},
        {"apart", rectangle(10, 10, 11, 11), false, true},
        {"around it", rectangle(-1, -1, 5, 5), false, false},
    };
    for (Row const& r : rows) {
        long status = -1;
        EXPECT_EQ(a.containsArea(r.other, 3, status), r.contains) << r.label;
        EXPECT_EQ(status, 0) << r.label;
        status = -1;
        EXPECT_EQ(a.isDisjointFromArea(r.other, 3, status), r.disjoint) << r.label;
        EXPECT_EQ(status, 0) << r.label;
    }
    // Another system's vertices are converted.
    ZELUNAreaGeometry const utmSquare = rectangle(400000, -100000, 600000, 100000);
    long status = -1;
    EXPECT_TRUE(utmSquare.containsArea(rectangle(14.9, -0.1, 15.1, 0.1, ZELUNCoordSystem("EPSG:4326")), 3, status));
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(utmSquare.isDisjointFromArea(rectangle(14, -5, 15, 0, ZELUNCoordSystem("EPSG:4326")), 3, status));
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(utmSquare.containsArea(rectangle(14, 89, 15, 95, ZELUNCoordSystem("EPSG:4326")), 3, status));
    EXPECT_NE(status, 0);
    // An invalid area answers false with its status, whichever side it is on.
    ZELUNAreaGeometry const flat = rectangle(0, 0, 0, 3);
    EXPECT_FALSE(a.isDisjointFromArea(flat, 3, status));
    EXPECT_EQ(status, kErrGeomInvalid);
    EXPECT_FALSE(flat.containsArea(a, 3, status));
    EXPECT_EQ(status, kErrGeomInvalid);
    // A self-crossing area is answered or reported as an engine failure,
    // never wrongly reported contained.
    ZELUNAreaGeometry const bowTie = area(pointList({{0, 0}, {2, 2}, {2, 0}, {0, 2}}));
    bool const answer = bowTie.containsArea(rectangle(0.9, 0.1, 1.1, 0.2), 3, status);
    EXPECT_TRUE(status == 0 || status == kErrGeomEngineFailed);
    EXPECT_FALSE(status && answer);
}

// A thread's first area predicate, with its n-th allocation and all later
// ones failing: the engine context and prepared areas it keeps for the thread
// cannot be made. The predicate answers false with kErrOutOfMemory (never
// another status, never the end of the process); its next call, with memory
// back, answers.
TEST(ZELUNGeometryThreads, FirstAreaPredicateWithoutMemory)
{
    ZELUNAreaGeometry const outer = rectangle(0, 0, 10, 10);
    ZELUNAreaGeometry const inner = rectangle(2, 2, 3, 3);
    ZELUNAreaGeometry const apart = rectangle(20, 20, 30, 30);
    bool contains = false, disjoint = false;
    long containsStatus = -1, disjointStatus = -1;
    unsigned const n = zorvtest::firstUseSweep(
        [&] {
            zorvtest::EngineLeaksIgnored engineLeaks;
            contains = outer.containsArea(inner, 3, containsStatus);
            disjoint = outer.isDisjointFromArea(apart, 3, disjointStatus);
        },
        [&](bool threw) {
            EXPECT_FALSE(threw);
            EXPECT_TRUE(containsStatus == kSuccess || containsStatus == kErrOutOfMemory) << containsStatus;
            EXPECT_EQ(contains, containsStatus == kSuccess);
            EXPECT_TRUE(disjointStatus == kSuccess || disjointStatus == kErrOutOfMemory) << disjointStatus;
            EXPECT_EQ(disjoint, disjointStatus == kSuccess);
            long status = -1;
            EXPECT_TRUE(outer.containsArea(inner, 3, status));
            EXPECT_EQ(status, kSuccess);
            EXPECT_FALSE(outer.containsArea(apart, 3, status));
            EXPECT_EQ(status, kSuccess);
            EXPECT_TRUE(outer.isDisjointFromArea(apart, 3, status));
            EXPECT_EQ(status, kSuccess);
        });
    EXPECT_GT(n, 0u);
}
