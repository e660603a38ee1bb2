#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "support/FreshThreadSweep.h"
#include "support/Points.h"
#include "support/RecordingGeometry.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/query/CoverFilter.h"
#include "zorvsupport/query/GeomFilter.h"

using namespace ZORV_3_13_0_::DataSet;
using testsupport::pointList;
using P2 = ZELUNnPoint<double, 2>;
using Box2 = ZELUNnBox<double, 2>;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kInf = std::numeric_limits<double>::infinity();

ZELUNCoordSystem const& utm()
{
    static ZELUNCoordSystem const s("EPSG:32633");
    return s;
}

ZELUNCoordSystem const& geographic()
{
    static ZELUNCoordSystem const s("EPSG:4326");
    return s;
}

Box2 rect(double x0, double y0, double x1, double y1)
{
    return Box2(P2(x0, y0), P2(x1, y1));
}

// Around (500000, 0) of UTM zone 33, which is (15, 0) in EPSG:4326.
ZELUNCover const kUtmCover(utm(), 400000, -100000, 600000, 100000);

// A filter over kUtmCover's area, fed geographic positions.
void expectUtmAreaFromGeographic(PositionFilter const& f)
{
    EXPECT_EQ(f.setInputCoordSystem(geographic()), 0);
    EXPECT_TRUE(f.checkPoint(P2(15, 0)));
    EXPECT_FALSE(f.checkPoint(P2(20, 0)));
    EXPECT_FALSE(f.checkPoint(P2(15, 95)));
    EXPECT_EQ(f.checkBox(rect(14.9, -0.1, 15.1, 0.1)), kFullyCovered);
    EXPECT_EQ(f.checkBox(rect(14, -5, 15, 0)), kPartiallyCovered);
    EXPECT_EQ(f.checkBox(rect(30, 30, 31, 31)), kNotCovered);
}

}  // namespace

TEST(CoverFilter, OwnSystemTable)
{
    CoverFilter const inUtm(ZELUNCover(utm(), 0, 0, 10, 10));
    // In the undefined system every conversion fails (710001).
    CoverFilter const undefined(ZELUNCover(ZELUNCoordSystem(), 0, 0, 10, 10));
    struct Row {
        char const* label;
        Box2 box;
        Coverage inUtm, undefined;
    } const rows[] = {
        {"inside", rect(1, 1, 2, 2), kFullyCovered, kPartiallyCovered},
        {"across the corner", rect(-5, -5, 5, 5), kPartiallyCovered, kPartiallyCovered},
        {"touching the right border", rect(10, 0, 11, 1), kPartiallyCovered, kPartiallyCovered},
        {"apart", rect(20, 20, 30, 30), kNotCovered, kNotCovered},
        {"degenerate on the corner", rect(10, 10, 10, 10), kFullyCovered, kPartiallyCovered},
        {"NaN", rect(kNaN, 1, 2, 2), kPartiallyCovered, kPartiallyCovered},
        {"inverted, compared as given", rect(5, 5, 2, 2), kFullyCovered, kPartiallyCovered},
    };
    for (Row const& r : rows) {
        EXPECT_EQ(inUtm.checkBox(r.box), r.inUtm) << r.label;
        EXPECT_EQ(undefined.checkBox(r.box), r.undefined) << r.label;
    }
    struct PointRow {
        P2 p;
        bool inUtm;
    } const points[] = {{P2(10, 10), true}, {P2(10.0001, 5), false}, {P2(0, 0), true}, {P2(kNaN, 5), false},
                        {P2(5, kInf), false}};
    for (PointRow const& r : points) {
        EXPECT_EQ(inUtm.checkPoint(r.p), r.inUtm) << r.p[0] << "," << r.p[1];
        EXPECT_FALSE(undefined.checkPoint(r.p));
    }
    EXPECT_EQ(inUtm.getCover().getMaxX(), 10);
}

TEST(CoverFilter, QueriedInAnotherSystem)
{
    CoverFilter const f(kUtmCover);
    expectUtmAreaFromGeographic(f);
    // The rectangle's own cover is invalid, so its conversion fails.
    EXPECT_EQ(f.checkBox(rect(kNaN, -0.1, 15.1, 0.1)), kPartiallyCovered);
    EXPECT_EQ(f.checkBox(rect(15.1, 0.1, 14.9, -0.1)), kPartiallyCovered);

    // A copy is a value of its own.
    CoverFilter copy(f);
    EXPECT_EQ(copy.setInputCoordSystem(utm()), 0);
    EXPECT_TRUE(copy.checkPoint(P2(500000, 0)));
    EXPECT_TRUE(f.checkPoint(P2(15, 0)));
}

TEST(CoverFilter, NullInvalidAndInfiniteCovers)
{
    CoverFilter const null{ZELUNCover()};
    EXPECT_FALSE(null.checkPoint(P2(0, 0)));
    EXPECT_TRUE(null.getCover().isNull());

    CoverFilter const infinite(ZELUNCover(utm(), -kInf, -kInf, kInf, kInf));
    EXPECT_FALSE(infinite.checkPoint(P2(kInf, 0)));
    EXPECT_TRUE(infinite.checkPoint(P2(5, 5)));

    // An invalid input system leaves a null input cover: positions are then
    // taken in the cover's own system.
    CoverFilter const f(kUtmCover);
    EXPECT_EQ(f.setInputCoordSystem(ZELUNCoordSystem()), kErrCoordSystemInvalid);
    EXPECT_TRUE(f.checkPoint(P2(500000, 0)));
    EXPECT_FALSE(f.checkPoint(P2(15, 0)));
    EXPECT_EQ(f.checkBox(rect(450000, -1, 550000, 1)), kFullyCovered);
}

namespace {

// An L: the square (0, 0)-(4, 4) without its upper right quarter.
ZELUNAreaGeometry lShape()
{
    auto const ring = pointList({{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 4}, {0, 4}});
    return ZELUNAreaGeometry(utm(), ring, 6, ZELUN::kRotateAsGiven, false, false, false, false, false);
}

}  // namespace

TEST(GeomFilter, LShapedArea)
{
    GeomFilter const f(lShape());
    struct Row {
        char const* label;
        Box2 box;
        Coverage want;
    } const rows[] = {
        {"in the hollow", rect(2.5, 2.5, 3.5, 3.5), kNotCovered},
        {"across the inner corner", rect(1, 1, 3, 3), kPartiallyCovered},
        {"inside", rect(0.5, 0.5, 1.5, 3.5), kFullyCovered},
        {"the whole foot", rect(0, 0, 4, 2), kFullyCovered},
        {"apart", rect(10, 10, 11, 11), kNotCovered},
        {"zero size inside", rect(1, 1, 1, 1), kFullyCovered},
        {"zero size on the border", rect(4, 1, 4, 1), kFullyCovered},
        {"zero size in the hollow", rect(3, 3, 3, 3), kNotCovered},
        {"zero width inside", rect(1, 1, 1, 3), kPartiallyCovered},
        {"zero height in the hollow", rect(2.5, 3, 3.5, 3), kPartiallyCovered},
    };
    for (Row const& r : rows) EXPECT_EQ(f.checkBox(r.box), r.want) << r.label;
    EXPECT_TRUE(f.checkPoint(P2(1, 3)));
    EXPECT_TRUE(f.checkPoint(P2(2, 3)));  // on the boundary
    EXPECT_FALSE(f.checkPoint(P2(3, 3)));

    ZELUNCover const c = f.getCover();
    EXPECT_EQ(c.getMinX(), 0);
    EXPECT_EQ(c.getMaxY(), 4);
    EXPECT_TRUE(c.getCoordSystem().isEqual(utm(), false));

    // Copies and assignment copy the geometry; the source keeps its own.
    GeomFilter copy(f);
    GeomFilter assigned(ZELUNPointGeometry(utm(), 0, 0));
    assigned = copy;
    for (GeomFilter const* g : {&f, static_cast<GeomFilter const*>(&copy), static_cast<GeomFilter const*>(&assigned)})
        EXPECT_EQ(g->checkBox(rect(1, 1, 3, 3)), kPartiallyCovered);
}

TEST(GeomFilter, PositionsInAnotherSystem)
{
    auto const ring = pointList({{400000, -100000}, {600000, -100000}, {600000, 100000}, {400000, 100000}});
    GeomFilter const f(ZELUNAreaGeometry(utm(), ring, 4, ZELUN::kRotateAsGiven, false, false, false, false, false));
    expectUtmAreaFromGeographic(f);
    EXPECT_EQ(f.setInputCoordSystem(ZELUNCoordSystem()), kErrCoordSystemInvalid);
    EXPECT_TRUE(f.checkPoint(P2(500000, 0)));  // back to the geometry's own system
}

TEST(GeomFilter, CallsOnTheGeometry)
{
    auto script = std::make_shared<testsupport::GeometryScript>();
    script->min = testsupport::point({0, 0});
    script->max = testsupport::point({1, 1});
    GeomFilter const f(testsupport::RecordingGeometry(utm(), script));
    EXPECT_EQ(script->clones, 1);

    // A new filter rejects nothing early and builds the position in the
    // geometry's own system, unconverted.
    EXPECT_FALSE(f.checkPoint(P2(100, 200)));
    ASSERT_EQ(script->calls.size(), 2u);
    EXPECT_EQ(script->calls[0].name, "containsPoint");
    EXPECT_EQ(script->calls[1].name, "coversPoint");
    for (auto const& c : script->calls) {
        EXPECT_EQ(c.mode, 3);
        EXPECT_EQ(c.system, "EPSG:32633");
        EXPECT_EQ(c.xy, (std::vector<double>{100, 200}));
    }

    script->calls.clear();
    script->containsPoint = true;
    EXPECT_TRUE(f.checkPoint(P2(0.5, 0.5)));
    ASSERT_EQ(script->calls.size(), 1u);  // covers is asked only after a false
    EXPECT_EQ(script->calls[0].name, "containsPoint");

    // A rectangle becomes the open ring of its four corners.
    script->calls.clear();
    EXPECT_EQ(f.checkBox(rect(1, 2, 3, 4)), kPartiallyCovered);
    ASSERT_EQ(script->calls.size(), 2u);
    EXPECT_EQ(script->calls[0].name, "containsArea");
    EXPECT_EQ(script->calls[1].name, "isDisjointFromArea");
    EXPECT_EQ(script->calls[0].mode, 3);
    EXPECT_EQ(script->calls[0].xy, (std::vector<double>{1, 2, 3, 2, 3, 4, 1, 4}));
    script->isDisjointFromArea = true;
    EXPECT_EQ(f.checkBox(rect(1, 2, 3, 4)), kNotCovered);
    script->containsArea = true;
    EXPECT_EQ(f.checkBox(rect(1, 2, 3, 4)), kFullyCovered);

    // After setInputCoordSystem the positions carry the input system.
    EXPECT_EQ(f.setInputCoordSystem(utm()), 0);
    script->calls.clear();
    EXPECT_TRUE(f.checkPoint(P2(0.5, 0.5)));
    ASSERT_EQ(script->calls.size(), 1u);
    EXPECT_EQ(script->calls[0].system, "EPSG:32633");
    // Outside the input cover a rectangle is rejected early; a position
    // is still put to the geometry.
    script->calls.clear();
    EXPECT_EQ(f.checkBox(rect(2, 2, 3, 3)), kNotCovered);
    EXPECT_TRUE(script->calls.empty());
    EXPECT_TRUE(f.checkPoint(P2(2, 0.5)));
    EXPECT_EQ(script->calls.size(), 1u);
}

TEST(GeomFilter, ExtentWithoutTwoValuesGivesTheNullCover)
{
    auto script = std::make_shared<testsupport::GeometryScript>();
    script->min = testsupport::point({0});
    script->max = testsupport::point({1, 1});
    GeomFilter const f(testsupport::RecordingGeometry(utm(), script));
    EXPECT_TRUE(f.getCover().isNull());
    EXPECT_NE(f.setInputCoordSystem(geographic()), 0);
    script->min = ZELUNArray<double>();
    EXPECT_TRUE(f.getCover().isNull());
}

// A thread's first position in another system, with its n-th allocation and
// all later ones failing: the point the filter keeps for the thread cannot be
// made, which is std::bad_alloc, never "outside" or the end of the process.
// The coordinate engine has served the thread before, so only the filter's
// own first use is measured. The next call, with memory back, answers.
TEST(CoverFilterThreads, FirstConvertedPointWithoutMemory)
{
    CoverFilter const f(kUtmCover);
    ASSERT_EQ(f.setInputCoordSystem(geographic()), 0);
    bool inside = false;
    unsigned const n = zorvtest::firstUseSweep(
        [&] {
            ZELUNArray<double> p(2);
            p[0] = 15;
            p[1] = 0;
            geographic().transform(utm(), p, p);
        },
        [&] { inside = f.checkPoint(P2(15, 0)); },
        [&](bool threw) {
            EXPECT_TRUE(threw || inside);
            EXPECT_TRUE(f.checkPoint(P2(15, 0)));
            EXPECT_FALSE(f.checkPoint(P2(20, 0)));
        });
    EXPECT_GT(n, 0u);
}
