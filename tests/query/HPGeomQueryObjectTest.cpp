#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/HPGeom.h"
#include "support/RecordingFactory.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/query/GeomUtils.h"
#include "zorvsupport/query/HPGeomQueryObject.h"

using namespace ZORV_3_13_0_::DataSet;
using testsupport::point;
using testsupport::pointList;
using testsupport::rect;
using P3 = ZELUNnPoint<double, 3>;
using Box = ZELUNnBox<double, 3>;
namespace hp = HPGEOM_3_13_0;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();

// A subclass, so the protected per-point test can be asked directly.
class Shape : public HPGeomQueryObject {
public:
    using HPGeomQueryObject::HPGeomQueryObject;
    using HPGeomQueryObject::contains;
    bool containsPoint(ZELUNArray<double> const& p) const { return contains(p); }
};

Box box(double x0, double y0, double z0, double x1, double y1, double z1)
{
    return Box(P3(x0, y0, z0), P3(x1, y1, z1));
}

struct BoxRow {
    char const* name;
    Box b;
    bool contains, interacts;
};

// The square (0, 0)-(10, 10) with the hole (4, 4)-(6, 6).
std::vector<BoxRow> const kSquareBoxes = {
    {"inside, any z", box(1, 1, -5, 3, 3, 5), true, true},
    {"around the hole", box(3, 3, 0, 7, 7, 1), false, true},
    {"in the hole", box(4.5, 4.5, 0, 5.5, 5.5, 1), false, false},
    {"zero width inside", box(5, 1, 0, 5, 3, 1), true, true},
    {"zero width across the edge", box(5, 8, 0, 5, 12, 1), false, true},
    {"a point on the hole's edge", box(5, 4, 0, 5, 4, 0), true, true},
    {"outside", box(20, 20, 0, 30, 30, 1), false, false},
    {"NaN corner", box(kNaN, 1, 0, 3, 3, 1), false, false},
};

// Every kind of query against the square with the hole, and its answers.
void expectSquareAnswers(Polyhedron const& s, std::string const& what)
{
    EXPECT_TRUE(s.contains(ZELUNVec3<double>(1, 1, 100))) << what;
    EXPECT_TRUE(s.contains(ZELUNVec3<double>(5, 4, 0))) << what;
    EXPECT_FALSE(s.contains(ZELUNVec3<double>(5, 5, 0))) << what;
    for (BoxRow const& r : kSquareBoxes) {
        EXPECT_EQ(s.contains(r.b), r.contains) << what << ": " << r.name;
        EXPECT_EQ(s.interacts(r.b), r.interacts) << what << ": " << r.name;
    }
    auto const inside = pointList({{1, 1, 0}, {5, 4, 9}, {9, 9}});
    auto const mixed = pointList({{1, 1, 0}, {5, 5, 0}});
    EXPECT_TRUE(s.contains(inside)) << what;
    EXPECT_FALSE(s.contains(mixed)) << what;
    EXPECT_TRUE(s.interacts(mixed)) << what;
    EXPECT_FALSE(s.interacts(pointList({{5, 5, 0}, {11, 1, 0}}))) << what;
    auto const vectors = testsupport::vectorList({{1, 1, 0}, {2, 8, -3}});
    auto const hole = testsupport::vectorList({{5, 5, 0}, {2, 8, -3}});
    EXPECT_TRUE(s.contains(*vectors)) << what;
    EXPECT_FALSE(s.contains(*hole)) << what;
    EXPECT_TRUE(s.interacts(*hole)) << what;
}

}  // namespace

TEST(HPGeomQueryObject, SurfaceWithHole)
{
    auto const f = testsupport::hpFactory();
    HPGeomQueryObject const s(testsupport::squareWithHole(*f));
    expectSquareAnswers(s, "surface");

    // The matrix and the coordinate systems of the base change nothing.
    HPGeomQueryObject moved(testsupport::squareWithHole(*f));
    std::vector<double> m = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1};
    ASSERT_EQ(moved.setMatrix(m), 0);
    moved.setCoordSystem(ZELUNCoordSystem("EPSG:4326"));
    expectSquareAnswers(moved, "translated");

    ZELUNType<Polyhedron> const copy = s.newCopy();
    expectSquareAnswers(*copy, "copy");
}

TEST(HPGeomQueryObject, MultiSurfaceAnswersAsItsSurfaces)
{
    auto const f = testsupport::hpFactory();
    long status = 0;
    auto const multi = f->createMultiSurface(
        {testsupport::squareWithHole(*f), testsupport::surface(*f, rect(20, 0, 30, 10))}, status, false, 0);
    HPGeomQueryObject const s(multi);
    EXPECT_TRUE(s.contains(ZELUNVec3<double>(25, 5, 0)));
    EXPECT_FALSE(s.contains(ZELUNVec3<double>(5, 5, 0)));
    EXPECT_TRUE(s.contains(box(21, 1, 0, 29, 9, 0)));
    EXPECT_FALSE(s.contains(box(9, 1, 0, 21, 9, 0)));
    EXPECT_TRUE(s.interacts(box(9, 1, 0, 21, 9, 0)));
    EXPECT_TRUE(s.contains(pointList({{1, 1, 0}, {25, 5, 0}})));
}

// A surface is asked in x and y alone: z is always +inf.
TEST(HPGeomQueryObject, SurfaceSeesInfiniteZ)
{
    auto const spy = boost::make_shared<testsupport::SpySurface>(testsupport::hpFactory());
    Shape const s(spy);
    EXPECT_TRUE(s.contains(ZELUNVec3<double>(1, 2, 3)));
    EXPECT_TRUE(s.containsPoint(point({4, 5})));
    EXPECT_TRUE(s.containsPoint(point({6, 7, -8, 9})));
    ASSERT_EQ(spy->asked.size(), 3u);
    double const inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(spy->asked[0], ZELUNVec3<double>(1, 2, inf));
    EXPECT_EQ(spy->asked[1], ZELUNVec3<double>(4, 5, inf));
    EXPECT_EQ(spy->asked[2], ZELUNVec3<double>(6, 7, inf));
}

TEST(HPGeomQueryObject, MultiPointObject)
{
    auto const f = testsupport::hpFactory();
    long status = 0;
    auto const multi = f->createMultiPoint(
        {f->createPoint(point({1, 1}), status, false, 0), f->createPoint(point({2, 2}), status, false, 0)}, status,
        false, 0);
    Shape const s(multi);
    EXPECT_TRUE(s.contains(ZELUNVec3<double>(1, 1, 7)));
    EXPECT_FALSE(s.contains(ZELUNVec3<double>(1, 2, 0)));
    EXPECT_FALSE(s.contains(ZELUNVec3<double>(kNaN, 1, 0)));  // the factory refuses the point
    EXPECT_FALSE(s.containsPoint(point({1})));
    EXPECT_TRUE(s.contains(pointList({{1, 1}, {2, 2, 5}})));
    EXPECT_TRUE(s.interacts(pointList({{1, 1}, {3, 3}})));
    EXPECT_FALSE(s.contains(box(0, 0, 0, 3, 3, 0)));
    EXPECT_TRUE(s.interacts(box(0, 0, 0, 3, 3, 0)));
}

// Lists with a point the factory refuses, and empty lists, answer false.
TEST(HPGeomQueryObject, RefusedAndEmptyLists)
{
    auto const f = testsupport::hpFactory();
    HPGeomQueryObject const s(testsupport::squareWithHole(*f));
    ZELUNArray<ZELUNArray<double>> const lists[] = {
        pointList({{1, 1, 0}, {kNaN, 1, 0}}),
        pointList({{1, 1, 0}, {2}}),
        ZELUNArray<ZELUNArray<double>>(),
    };
    for (auto const& l : lists) {
        EXPECT_FALSE(s.contains(l));
        EXPECT_FALSE(s.interacts(l));
    }
    auto const empty = testsupport::vectorList(0);
    EXPECT_FALSE(s.contains(*empty));
    EXPECT_FALSE(s.interacts(*empty));
    auto const refused = testsupport::vectorList({{1, 1, 0}, {kNaN, 1, 0}});
    EXPECT_FALSE(s.contains(*refused));
    EXPECT_FALSE(s.interacts(*refused));
}

TEST(HPGeomQueryObject, PointsCoordSystem)
{
    auto const f = testsupport::hpFactory("EPSG:32633");
    // 20 km around (500000, 0), which is (15, 0) in degrees, with a 2 km hole.
    auto const object = testsupport::surface(*f, rect(490000, -10000, 510000, 10000), {rect(499000, -1000, 501000, 1000)});
    HPGeomQueryObject s(object);
    ZELUNType<Polyhedron> const before = s.newCopy();
    s.setPointsCoordSystem(ZELUNCoordSystem("EPSG:4326"));
    EXPECT_TRUE(s.contains(ZELUNVec3<double>(15.05, 0.05, 0)));
    EXPECT_FALSE(s.contains(ZELUNVec3<double>(15, 0, 0)));
    EXPECT_FALSE(s.contains(ZELUNVec3<double>(500000, 0, 0)));
    EXPECT_TRUE(s.contains(pointList({{15.05, 0.05}, {14.95, -0.05}})));
    EXPECT_TRUE(s.contains(box(15.02, 0.02, 0, 15.05, 0.05, 0)));
    EXPECT_TRUE(s.interacts(box(14.99, -0.01, 0, 15.01, 0.01, 0)));
    EXPECT_FALSE(s.contains(box(14.99, -0.01, 0, 15.01, 0.01, 0)));
    // The copy made before keeps the object in its own system.
    EXPECT_TRUE(before->contains(ZELUNVec3<double>(505000, 5000, 0)));
}

// A conversion that fails drops the object; a shape without one answers
// false to everything.
TEST(HPGeomQueryObject, NoObjectAnswersFalse)
{
    auto const geo = testsupport::hpFactory("EPSG:4326");
    long status = 0;
    auto const polar = geo->createMultiPoint({geo->createPoint(point({15, 95}), status, false, 0)}, status, false, 0);
    ASSERT_EQ(status, 0);

    HPGeomQueryObject failed(polar);
    EXPECT_TRUE(failed.contains(ZELUNVec3<double>(15, 95, 0)));
    failed.setPointsCoordSystem(ZELUNCoordSystem("EPSG:32633"));
    HPGeomQueryObject invalid(testsupport::squareWithHole(*geo));
    invalid.setPointsCoordSystem(ZELUNCoordSystem("no such system"));
    HPGeomQueryObject none(nullptr);
    none.setPointsCoordSystem(ZELUNCoordSystem("EPSG:4326"));

    for (HPGeomQueryObject const* s : {&failed, &invalid, &none}) {
        EXPECT_FALSE(s->contains(ZELUNVec3<double>(15, 95, 0)));
        EXPECT_FALSE(s->contains(ZELUNVec3<double>(1, 1, 0)));
        EXPECT_FALSE(s->contains(pointList({{1, 1, 0}})));
        EXPECT_FALSE(s->interacts(pointList({{1, 1, 0}})));
        EXPECT_FALSE(s->contains(box(1, 1, 0, 2, 2, 0)));
        EXPECT_FALSE(s->interacts(box(1, 1, 0, 2, 2, 0)));
        auto const v = testsupport::vectorList({{1, 1, 0}});
        EXPECT_FALSE(s->contains(*v));
        EXPECT_FALSE(s->interacts(*v));
        EXPECT_FALSE(s->newCopy()->contains(ZELUNVec3<double>(1, 1, 0)));
    }
}

// An outline with a hole of four points on one meridian (as country outlines
// carry them) answers every query as the outline without that hole.
TEST(HPGeomQueryObject, ZeroAreaHoleAnswersAsWithoutIt)
{
    using ZELUNCompGeom::ZELUNVector2D;
    auto const ring = [](std::initializer_list<ZELUNVector2D> vertices) {
        ZELUNArray<ZELUNVector2D> r(vertices.size());
        std::size_t i = 0;
        for (ZELUNVector2D const& v : vertices) r[i++] = v;
        return r;
    };
    double const x = 12.4543;
    ZELUNArray<ZELUNVector2D> const outline = ring({{12, 41.5}, {13, 41.5}, {13, 42.5}, {12.2, 42.3}});
    ZELUNArray<ZELUNVector2D> const lake = ring({{12.6, 41.7}, {12.8, 41.7}, {12.8, 41.9}, {12.6, 41.9}});
    ZELUNArray<ZELUNVector2D> const line = ring({{x, 41.90}, {x, 41.91}, {x, 41.92}, {x, 41.90}});

    auto const f = testsupport::hpFactory("EPSG:4326");
    long status = -1;
    auto const withLine =
        GeomUtils::compGeomToHPGeom(*f, ZELUNCompGeom::ZELUNPolygonPrimitive(outline, {line, lake}), status);
    ASSERT_TRUE(withLine);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(withLine->getBoundary().getNumHoles(), 1u);
    auto const without = GeomUtils::compGeomToHPGeom(*f, ZELUNCompGeom::ZELUNPolygonPrimitive(outline, {lake}), status);
    ASSERT_TRUE(without);
    HPGeomQueryObject const shape(withLine), reference(without);

    // On the line, beside it, in the lake, outside.
    std::vector<ZELUNVec3<double>> const positions = {
        {x, 41.90, 0}, {x, 41.905, 0}, {x, 41.92, 0}, {x + 1e-9, 41.91, 0}, {12.7, 41.8, 0}, {12.5, 41.6, 0},
        {14, 42, 0}};
    for (ZELUNVec3<double> const& p : positions)
        EXPECT_EQ(shape.contains(p), reference.contains(p)) << p.x << " " << p.y;
    EXPECT_TRUE(shape.contains(ZELUNVec3<double>(x, 41.91, 0)));

    std::vector<Box> const boxes = {box(x - 0.01, 41.89, 0, x + 0.01, 41.93, 0), box(x, 41.90, 0, x, 41.92, 0),
                                    box(x, 41.8, 0, x + 0.2, 41.95, 0), box(12.65, 41.75, 0, 12.75, 41.85, 0),
                                    box(12.9, 42, 0, 13.5, 42.1, 0)};
    for (Box const& b : boxes) {
        EXPECT_EQ(shape.contains(b), reference.contains(b)) << b.low[0] << " " << b.low[1];
        EXPECT_EQ(shape.interacts(b), reference.interacts(b)) << b.low[0] << " " << b.low[1];
    }
    EXPECT_TRUE(shape.contains(boxes[0]));

    auto const onLine = pointList({{x, 41.90}, {x, 41.91}, {x, 41.92}});
    auto const intoLake = pointList({{x, 41.91}, {12.7, 41.8}});
    for (auto const* l : {&onLine, &intoLake}) {
        EXPECT_EQ(shape.contains(*l), reference.contains(*l));
        EXPECT_EQ(shape.interacts(*l), reference.interacts(*l));
    }
    EXPECT_TRUE(shape.contains(onLine));
}

// What an object that is no surface is asked, in order, through a recording
// factory: the factory's flag (false for contains, true for interacts),
// interpolation types 1 and last arguments 0; covers only after contains
// answered false; and the predicates' statuses never consulted.
TEST(HPGeomQueryObject, FactoryAndPredicateCalls)
{
    using testsupport::RecordingFactory;
    using testsupport::RecordingObject;
    using Query = std::function<bool(HPGeomQueryObject const&)>;
    using Calls = std::vector<std::string>;
    Query const point3 = [](HPGeomQueryObject const& s) { return s.contains(ZELUNVec3<double>(1, 2, 3)); };
    Query const containsList = [](HPGeomQueryObject const& s) { return s.contains(pointList({{1, 2}, {3, 4, 5}})); };
    Query const interactsList = [](HPGeomQueryObject const& s) { return s.interacts(pointList({{1, 2}})); };
    Query const containsVectors = [](HPGeomQueryObject const& s) {
        return s.contains(*testsupport::vectorList({{1, 2, 3}}));
    };
    Query const containsBox = [](HPGeomQueryObject const& s) { return s.contains(box(0, 0, 0, 1, 1, 1)); };
    Query const interactsBox = [](HPGeomQueryObject const& s) { return s.interacts(box(0, 0, 0, 1, 1, 1)); };
    Calls const boxFalse = {"createRing 1 false 0", "createSurfaceBoundary null false 0", "createSurface 1 false 0"};
    Calls const boxTrue = {"createRing 1 true 0", "createSurfaceBoundary null true 0", "createSurface 1 true 0"};
    auto const plus = [](Calls a, Calls const& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };

    struct Row {
        char const* name;
        Query query;
        RecordingObject::Script script;  // contains, covers, intersects, status
        bool answer;
        Calls calls;
    };
    std::vector<Row> const rows = {
        {"point, contained", point3, {true, false, false, 0}, true, {"createPoint 3 false 0", "contains 0"}},
        {"point, covered", point3, {false, true, false, 0}, true, {"createPoint 3 false 0", "contains 0", "covers 0"}},
        {"point, neither", point3, {false, false, true, 0}, false, {"createPoint 3 false 0", "contains 0", "covers 0"}},
        {"point, status ignored", point3, {true, false, false, 4711}, true, {"createPoint 3 false 0", "contains 0"}},
        {"list, covered", containsList, {false, true, false, 0}, true,
         {"createPoint 2 false 0", "createPoint 3 false 0", "createMultiPoint false 0", "contains 0", "covers 0"}},
        {"list, intersects", interactsList, {false, false, true, 0}, true,
         {"createPoint 2 false 0", "createMultiPoint false 0", "intersects 0"}},
        {"list, intersects, status ignored", interactsList, {false, false, true, 4711}, true,
         {"createPoint 2 false 0", "createMultiPoint false 0", "intersects 0"}},
        {"vectors, contained", containsVectors, {true, false, false, 0}, true,
         {"createPoint 3 false 0", "createMultiPoint false 0", "contains 0"}},
        {"box, contained", containsBox, {true, false, true, 0}, true, plus(boxFalse, {"contains 0"})},
        {"box, covered after a failing contains", containsBox, {false, true, false, 4711}, true,
         plus(boxFalse, {"contains 0", "covers 0"})},
        {"box, intersects", interactsBox, {true, true, true, 0}, true, plus(boxTrue, {"intersects 0"})},
        {"box, disjoint", interactsBox, {true, true, false, 0}, false, plus(boxTrue, {"intersects 0"})},
    };
    for (Row const& r : rows) {
        auto const f = RecordingFactory::make();
        HPGeomQueryObject const s(boost::make_shared<RecordingObject const>(f, r.script));
        EXPECT_EQ(r.query(s), r.answer) << r.name;
        EXPECT_EQ(f->log.calls, r.calls) << r.name;
    }
}
