// Shapes and filters answer by value and have no status: memory running out
// below them, in a coordinate conversion or in the geometry engine, must come
// out as std::bad_alloc, never as an answer ("outside", "partly covered").
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <string>

#include <boost/make_shared.hpp>

#include "support/FailingAllocation.h"
#include "support/EngineLeaks.h"
#include "support/FreshThreadSweep.h"
#include "support/HPGeom.h"
#include "support/Points.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/datavector/TDataVector1D.h"
#include "zorvsupport/platform/ZELUNAreaGeometry.h"
#include "zorvsupport/query/AxisBox.h"
#include "zorvsupport/query/CoverFilter.h"
#include "zorvsupport/query/GeomFilter.h"
#include "zorvsupport/query/HPGeomQueryObject.h"

using namespace ZORV_3_13_0_::DataSet;
using testsupport::pointList;
using P2 = ZELUNnPoint<double, 2>;
using P3 = ZELUNnPoint<double, 3>;
using Box2 = ZELUNnBox<double, 2>;
using Box3 = ZELUNnBox<double, 3>;

namespace {

// UTM zone 33 and geographic positions: (15, 0) lies at (500000, 0).
char const* const kUtm = "EPSG:32633";
char const* const kGeographic = "EPSG:4326";
char const* const kMercator = "EPSG:3857";

// A box around (500000, 0) of UTM zone 33, in geographic positions.
AxisBox utmBoxForGeographic()
{
    AxisBox box(P3(499000, -1000, -10), P3(501000, 1000, 10));
    box.setCoordSystem(ZELUNCoordSystem(kGeographic));
    box.setPointsCoordSystem(ZELUNCoordSystem(kUtm));
    return box;
}

// The same box through the element-by-element path a subclass takes.
class DerivedBox : public AxisBox {
public:
    DerivedBox() : AxisBox(utmBoxForGeographic()) {}
};

ZELUNArray<ZELUNArray<double>> geographicPoints() { return pointList({{15, 0, 0}, {15.001, 0.001, 1}}); }

// On a new thread: `prepare()` with memory, then `query()` with every
// allocation of that thread failing, then `check(threw)` with memory back.
// The systems a query pairs are new to the thread, so each conversion has to
// make its pair and runs short.
template <class Prepare, class Query, class Check>
void withoutMemory(Prepare const& prepare, Query const& query, Check const& check)
{
    EXPECT_TRUE(zorvtest::onFreshThread(1, prepare, query, check));
}

// The coordinate engine's own per-thread state is made with memory, through
// a pair no test here uses, so that the tests measure the pairs they make.
void touchEngine()
{
    ZELUNArray<double> p(2);
    p[0] = 9;
    p[1] = 45;
    ZELUNCoordSystem("EPSG:4258").transform(ZELUNCoordSystem("EPSG:32632"), p, p);
}

}  // namespace

// Every query of a shape whose positions are converted: list, 3-vector list,
// single 3-vector and boxes, by the shape's own driver and by the element
// path of a subclass.
TEST(QueryShortageThreads, ShapeConversionsWithoutMemory)
{
    AxisBox const own = utmBoxForGeographic();
    DerivedBox const derived;
    ZELUNArray<ZELUNArray<double>> const points = geographicPoints();
    auto vectors = TDataVector1D<TDataType<11>>::create(TDataType<11>(), 2);
    auto* v = static_cast<ZELUNVec3<double>*>(vectors->getDataPtr());
    v[0] = ZELUNVec3<double>(15, 0, 0);
    v[1] = ZELUNVec3<double>(15.001, 0.001, 1);
    Box3 const box(P3(14.999, -0.001, -1), P3(15.001, 0.001, 1));
    struct Row {
        char const* what;
        std::function<bool(Polyhedron const&)> query;
    } const rows[] = {
        {"contains(points)", [&](Polyhedron const& s) { return s.contains(points); }},
        {"interacts(points)", [&](Polyhedron const& s) { return s.interacts(points); }},
        {"contains(vectors)", [&](Polyhedron const& s) { return s.contains(*vectors); }},
        {"interacts(vectors)", [&](Polyhedron const& s) { return s.interacts(*vectors); }},
        {"contains(vector)", [&](Polyhedron const& s) { return s.contains(ZELUNVec3<double>(15, 0, 0)); }},
        {"contains(box)", [&](Polyhedron const& s) { return s.contains(box); }},
        {"interacts(box)", [&](Polyhedron const& s) { return s.interacts(box); }},
    };
    for (Polyhedron const* shape : {static_cast<Polyhedron const*>(&own), static_cast<Polyhedron const*>(&derived)}) {
        for (Row const& r : rows) {
            SCOPED_TRACE(std::string(r.what) + (shape == &own ? ", own driver" : ", subclass"));
            bool answer = false;
            withoutMemory(touchEngine, [&] { answer = r.query(*shape); },
                          [&](bool threw) {
                              EXPECT_TRUE(threw);
                              EXPECT_FALSE(answer);
                              EXPECT_TRUE(r.query(*shape));
                          });
        }
    }
}

// The cover filter: setting the input system reports the shortage and
// keeps the filter; boxes and positions converted into the cover's system
// throw.
TEST(QueryShortageThreads, CoverFilterWithoutMemory)
{
    ZELUNCover const cover(ZELUNCoordSystem(kUtm), 400000, -100000, 600000, 100000);
    CoverFilter const f(cover);
    ASSERT_EQ(f.setInputCoordSystem(ZELUNCoordSystem(kGeographic)), kSuccess);
    long status = kSuccess;
    ZELUNCoordSystem const mercator(kMercator);
    withoutMemory(touchEngine, [&] { status = f.setInputCoordSystem(mercator); },
                  [&](bool threw) {
                      EXPECT_FALSE(threw);
                      EXPECT_EQ(status, kErrOutOfMemory);
                      // Still fed geographic positions.
                      EXPECT_TRUE(f.checkPoint(P2(15, 0)));
                      EXPECT_FALSE(f.checkPoint(P2(20, 0)));
                  });

    Coverage coverage = kNotCovered;
    withoutMemory(touchEngine, [&] { coverage = f.checkBox(Box2(P2(14.9, -0.1), P2(15.1, 0.1))); },
                  [&](bool threw) {
                      EXPECT_TRUE(threw);
                      EXPECT_EQ(f.checkBox(Box2(P2(14.9, -0.1), P2(15.1, 0.1))), kFullyCovered);
                  });

    // The thread's point is made first, by a filter of another pair.
    CoverFilter const other(ZELUNCover(ZELUNCoordSystem(kUtm), 400000, -100000, 600000, 100000));
    ASSERT_EQ(other.setInputCoordSystem(ZELUNCoordSystem(kMercator)), kSuccess);
    bool inside = false;
    withoutMemory(
        [&] {
            touchEngine();
            other.checkPoint(P2(1669792, 0));
        }, [&] { inside = f.checkPoint(P2(15, 0)); },
                  [&](bool threw) {
                      EXPECT_TRUE(threw);
                      EXPECT_FALSE(inside);
                      EXPECT_TRUE(f.checkPoint(P2(15, 0)));
                  });
}

// The geometry filter over a UTM area fed geographic positions: its
// predicates convert, and a shortage there is no "outside".
TEST(QueryShortageThreads, GeomFilterWithoutMemory)
{
    ZELUNAreaGeometry const area(ZELUNCoordSystem(kUtm),
                                 pointList({{400000, -100000}, {600000, -100000}, {600000, 100000}, {400000, 100000}}),
                                 4, ZELUN::kRotateAsGiven, false, false, false, false, false);
    GeomFilter const f(area);
    long status = kSuccess;
    ZELUNCoordSystem const geographic(kGeographic);
    // The extent's own arrays or the conversion run short: either way the
    // filter still takes positions in the geometry's system.
    withoutMemory(touchEngine, [&] { status = f.setInputCoordSystem(geographic); },
                  [&](bool threw) {
                      EXPECT_TRUE(threw || status == kErrOutOfMemory) << status;
                      EXPECT_TRUE(f.checkPoint(P2(500000, 0)));
                  });
    ASSERT_EQ(f.setInputCoordSystem(ZELUNCoordSystem(kGeographic)), kSuccess);
    bool inside = false;
    withoutMemory(touchEngine, [&] { inside = f.checkPoint(P2(15, 0)); },
                  [&](bool threw) {
                      EXPECT_TRUE(threw);
                      EXPECT_FALSE(inside);
                      EXPECT_TRUE(f.checkPoint(P2(15, 0)));
                  });
    Coverage coverage = kNotCovered;
    withoutMemory(touchEngine, [&] { coverage = f.checkBox(Box2(P2(14.9, -0.1), P2(15.1, 0.1))); },
                  [&](bool threw) {
                      EXPECT_TRUE(threw);
                      EXPECT_EQ(f.checkBox(Box2(P2(14.9, -0.1), P2(15.1, 0.1))), kFullyCovered);
                  });
}

// The high-precision shape re-expressed in another system, with memory
// running out at each point of the call: a shortage keeps the object it had.
// The pair of systems is made with memory first (the engine's own search
// for an operation is the coordinate layer's to survive), so the shortages
// are those of the copy and of the conversion's own blocks.
TEST(QueryShortageThreads, HPGeomPointsSystemWithoutMemory)
{
    auto const factory = testsupport::hpFactory(kUtm);
    auto const surface = testsupport::surface(*factory, testsupport::rect(400000, -100000, 600000, 100000));
    ZELUNArray<ZELUNArray<double>> const utmPoints = pointList({{500000, 0, 0}});
    ZELUNArray<ZELUNArray<double>> const geographicPoint = pointList({{15, 0, 0}});
    ZELUNCoordSystem const geographic(kGeographic);
    std::unique_ptr<HPGeomQueryObject> shape;
    unsigned const n = zorvtest::firstUseSweep(
        [&] {
            ZELUNArray<double> p(2);
            p[0] = 500000;
            p[1] = 0;
            factory->getCoordSystem().transform(geographic, p, p);
            shape = std::make_unique<HPGeomQueryObject>(surface);
        },
        [&] { shape->setPointsCoordSystem(geographic); },
        [&](bool threw) {
            if (threw) {
                EXPECT_TRUE(shape->contains(utmPoints));
            } else {
                EXPECT_TRUE(shape->contains(geographicPoint));
            }
        });
    EXPECT_GT(n, 0u);
}

// Queries that ask the geometry engine (areas against areas, the
// high-precision objects' predicates) with every allocation failing in turn
// and all later ones: std::bad_alloc or the right answer, never another.
TEST(QueryShortage, EnginePredicatesUnderFailingAllocations)
{
    ZELUNCoordSystem const utm(kUtm);
    ZELUNAreaGeometry const area(utm,
                                 pointList({{400000, -100000}, {600000, -100000}, {600000, 100000}, {400000, 100000}}),
                                 4, ZELUN::kRotateAsGiven, false, false, false, false, false);
    auto const factory = testsupport::hpFactory(kUtm);
    auto const surface = testsupport::surface(*factory, testsupport::rect(400000, -100000, 600000, 100000),
                                              {testsupport::rect(480000, -20000, 520000, 20000)});
    HPGeomQueryObject const shape(surface);
    struct Row {
        char const* what;
        std::function<int()> ask;
        int answer;
    } const rows[] = {
        {"filter, box inside", [&] { return int(GeomFilter(area).checkBox(Box2(P2(450000, 0), P2(460000, 10000)))); },
         kFullyCovered},
        {"filter, box across", [&] { return int(GeomFilter(area).checkBox(Box2(P2(550000, 0), P2(650000, 10000)))); },
         kPartiallyCovered},
        {"filter, box apart", [&] { return int(GeomFilter(area).checkBox(Box2(P2(700000, 0), P2(710000, 10000)))); },
         kNotCovered},
        {"filter, point", [&] { return int(GeomFilter(area).checkPoint(P2(450000, 5000))); }, 1},
        {"shape, box in the hole", [&] { return int(shape.contains(Box3(P3(490000, -100, 0), P3(491000, 100, 0)))); },
         0},
        {"shape, box inside", [&] { return int(shape.contains(Box3(P3(410000, -100, 0), P3(411000, 100, 0)))); }, 1},
        {"shape, box across the hole",
         [&] { return int(shape.interacts(Box3(P3(470000, -100, 0), P3(490000, 100, 0)))); }, 1},
        {"shape, points", [&] { return int(shape.contains(pointList({{410000, 0, 0}, {590000, 0, 0}}))); }, 1},
        {"shape, points in the hole", [&] { return int(shape.interacts(pointList({{500000, 0, 0}}))); }, 0},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(r.what);
        ASSERT_EQ(r.ask(), r.answer);
        for (auto const extent : {zorvtest::FailingAllocation::kOnlyThat, zorvtest::FailingAllocation::kThatAndLater}) {
            int answer = -1;
            unsigned const n = zorvtest::forEachAllocationFailure(
                [] { return 0; },
                [&](int&) {
                    zorvtest::EngineLeaksIgnored engineLeaks;
                    answer = r.ask();
                },
                [&](int&, bool threw) {
                    if (!threw) {
                        EXPECT_EQ(answer, r.answer);
                    }
                },
                extent);
            EXPECT_GT(n, 0u);
        }
    }
}
