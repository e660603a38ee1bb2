#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/EngineLeaks.h"
#include "support/FreshThreadSweep.h"
#include "support/HPGeom.h"
#include "zorvsupport/StatusCodes.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace HPGEOM_3_13_0;
using testsupport::point;
using testsupport::pointList;
using testsupport::rect;
template <class T>
using sp = boost::shared_ptr<T>;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kInf = std::numeric_limits<double>::infinity();

// A factory subclass made outside a shared pointer.
class LooseFactory : public ZELUNGMFactory {
public:
    LooseFactory() : ZELUNGMFactory(boost::make_shared<ZELUNCoordSystem const>("EPSG:32633"), kGeomCoord2D) {}
};

using RingList = std::vector<sp<ZELUNGMOrientableRing const>>;

}  // namespace

TEST(ZELUNGMFactory, CreateFactoryRefusesNullSystemAndUnknownType)
{
    EXPECT_FALSE(ZELUNGMFactory::createFactory(nullptr, kGeomCoord2D));
    auto const system = boost::make_shared<ZELUNCoordSystem const>("EPSG:4326");
    EXPECT_FALSE(ZELUNGMFactory::createFactory(system, static_cast<ZELUNGeomCoordDimType>(2)));
    auto const f = ZELUNGMFactory::createFactory(system, kGeomCoord3D);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->getCoordDimType(), kGeomCoord3D);
    EXPECT_TRUE(f->getCoordSystem().isEqual(*system, false));
}

// Every factory operation: the status it writes and whether it made an object.
TEST(ZELUNGMFactory, Statuses)
{
    auto const f = testsupport::hpFactory();
    auto const square = testsupport::ring(*f, rect(0, 0, 10, 10));
    auto const flat = testsupport::ring(*f, pointList({{0, 0}, {1, 1}, {3, 3}}));
    ASSERT_TRUE(square && flat);
    long ignored = 0;
    auto const boundary = f->createSurfaceBoundary(square, nullptr, ignored, false, 0);
    auto const made = f->createSurface(boundary, kGeomSurfacePlanar, ignored, false, 0);
    LooseFactory loose;
    auto seq = [](ZELUNArray<ZELUNArray<double>> const& p, bool close) { return testsupport::sequence(p, close); };

    struct Row {
        std::string name;
        std::function<bool(long&)> make;  // whether an object came back
        long status;
    };
    std::vector<Row> const rows = {
        {"point", [&](long& s) { return !!f->createPoint(point({1, 2}), s, false, 0); }, 0},
        {"point of 3 values", [&](long& s) { return !!f->createPoint(point({1, 2, 3}), s, false, 0); }, 0},
        {"point of 1 value", [&](long& s) { return !!f->createPoint(point({1}), s, false, 0); }, kErrBadCoordPoint},
        {"point NaN x", [&](long& s) { return !!f->createPoint(point({kNaN, 2}), s, false, 0); }, kErrGeomInvalid},
        {"point infinite y", [&](long& s) { return !!f->createPoint(point({1, kInf}), s, false, 0); }, kErrGeomInvalid},
        {"ZELUNPoint NaN y", [&](long& s) { return !!f->createPoint(ZELUNPoint<double>(1, kNaN), s, false, 0); },
         kErrGeomInvalid},
        {"multi-point empty", [&](long& s) { return !!f->createMultiPoint({}, s, false, 0); }, 0},
        {"multi-point null", [&](long& s) { return !!f->createMultiPoint({nullptr}, s, false, 0); },
         kErrGeomNullArgument},
        {"ring", [&](long& s) { return !!f->createRing(seq(rect(0, 0, 1, 1), true), kGeomCurveLinear, s, false, 0); },
         0},
        {"ring null", [&](long& s) { return !!f->createRing(nullptr, kGeomCurveLinear, s, false, 0); },
         kErrGeomNullArgument},
        {"ring interpolation 2",
         [&](long& s) {
             return !!f->createRing(seq(rect(0, 0, 1, 1), true), static_cast<ZELUNGeomCurveInterpType>(2), s, false, 0);
         },
         kErrGeomUnsupported},
        {"ring open",
         [&](long& s) { return !!f->createRing(seq(rect(0, 0, 1, 1), false), kGeomCurveLinear, s, false, 0); },
         kErrGeomInvalid},
        {"ring of 3 points",
         [&](long& s) {
             return !!f->createRing(seq(pointList({{0, 0}, {1, 0}}), true), kGeomCurveLinear, s, false, 0);
         },
         kErrGeomInvalid},
        {"ring NaN",
         [&](long& s) {
             return !!f->createRing(seq(pointList({{0, 0}, {1, 0}, {kNaN, 1}}), true), kGeomCurveLinear, s, false, 0);
         },
         kErrGeomInvalid},
        {"ring collinear",
         [&](long& s) {
             return !!f->createRing(seq(pointList({{0, 0}, {1, 1}, {3, 3}}), true), kGeomCurveLinear, s, false, 0);
         },
         0},
        {"boundary", [&](long& s) { return !!f->createSurfaceBoundary(square, nullptr, s, false, 0); }, 0},
        {"boundary null outer", [&](long& s) { return !!f->createSurfaceBoundary(nullptr, nullptr, s, false, 0); },
         kErrGeomNullArgument},
        {"boundary null hole",
         [&](long& s) {
             return !!f->createSurfaceBoundary(square, boost::make_shared<RingList const>(RingList{nullptr}), s, false,
                                               0);
         },
         kErrGeomNullArgument},
        {"boundary collinear hole (dropped)",
         [&](long& s) {
             auto const b =
                 f->createSurfaceBoundary(square, boost::make_shared<RingList const>(RingList{flat}), s, false, 0);
             return b && b->getNumHoles() == 0;
         },
         0},
        {"boundary null hole after a collinear one",
         [&](long& s) {
             return !!f->createSurfaceBoundary(square, boost::make_shared<RingList const>(RingList{flat, nullptr}), s,
                                               false, 0);
         },
         kErrGeomNullArgument},
        {"boundary collinear outer", [&](long& s) { return !!f->createSurfaceBoundary(flat, nullptr, s, false, 0); },
         0},
        {"surface", [&](long& s) { return !!f->createSurface(boundary, kGeomSurfacePlanar, s, false, 0); }, 0},
        {"surface null", [&](long& s) { return !!f->createSurface(nullptr, kGeomSurfacePlanar, s, false, 0); },
         kErrGeomNullArgument},
        {"surface interpolation 2",
         [&](long& s) {
             return !!f->createSurface(boundary, static_cast<ZELUNGeomSurfaceInterpType>(2), s, false, 0);
         },
         kErrGeomUnsupported},
        {"multi-surface", [&](long& s) { return !!f->createMultiSurface({made}, s, false, 0); }, 0},
        {"multi-surface empty", [&](long& s) { return !!f->createMultiSurface({}, s, false, 0); }, 0},
        {"multi-surface null", [&](long& s) { return !!f->createMultiSurface({nullptr}, s, false, 0); },
         kErrGeomNullArgument},
        {"loose factory point", [&](long& s) { return !!loose.createPoint(point({1, 2}), s, false, 0); },
         kErrGeomNullArgument},
        {"loose factory ring",
         [&](long& s) { return !!loose.createRing(seq(rect(0, 0, 1, 1), true), kGeomCurveLinear, s, false, 0); },
         kErrGeomNullArgument},
    };
    for (Row const& row : rows) {
        long status = -1;
        bool const madeOne = row.make(status);
        EXPECT_EQ(status, row.status) << row.name;
        EXPECT_EQ(madeOne, row.status == 0) << row.name;
    }
}

TEST(ZELUNCoordSequence, SetCoords)
{
    struct Row {
        char const* name;
        ZELUNArray<ZELUNArray<double>> points;
        ZELUNGeomCoordDimType type;
        bool close;
        long status;
        std::vector<double> coords;  // afterwards, starting from (9, 9)
    };
    std::vector<Row> const rows = {
        {"open, closed", pointList({{0, 0}, {1, 0}, {1, 1}}), kGeomCoord2D, true, 0, {0, 0, 1, 0, 1, 1, 0, 0}},
        {"already closed", pointList({{0, 0}, {1, 0}, {0, 0}}), kGeomCoord2D, true, 0, {0, 0, 1, 0, 0, 0}},
        {"left open", pointList({{0, 0}, {1, 0}, {1, 1}}), kGeomCoord2D, false, 0, {0, 0, 1, 0, 1, 1}},
        {"extra values dropped", pointList({{0, 0, 7, 8}, {1, 0, 7}}), kGeomCoord2D, false, 0, {0, 0, 1, 0}},
        {"3-D, z differs", pointList({{0, 0, 1}, {1, 0, 1}, {0, 0, 2}}), kGeomCoord3D, true, 0,
         {0, 0, 1, 1, 0, 1, 0, 0, 2, 0, 0, 1}},
        {"empty", ZELUNArray<ZELUNArray<double>>(), kGeomCoord2D, true, 0, {}},
        {"1-value point", pointList({{0, 0}, {1}}), kGeomCoord2D, true, kErrBadCoordPoint, {9, 9}},
        {"2 values in 3-D", pointList({{0, 0, 0}, {1, 1}}), kGeomCoord3D, false, kErrBadCoordPoint, {9, 9}},
        {"unknown type", pointList({{0, 0}}), static_cast<ZELUNGeomCoordDimType>(4), false, kErrGeomUnsupported,
         {9, 9}},
    };
    for (Row const& row : rows) {
        ZELUNCoordSequence s;
        ASSERT_EQ(s.setCoords(pointList({{9, 9}}), kGeomCoord2D, false), 0);
        EXPECT_EQ(s.setCoords(row.points, row.type, row.close), row.status) << row.name;
        std::vector<double> coords;
        unsigned const d = s.getCoordDimType() == kGeomCoord3D ? 3 : 2;
        for (std::size_t i = 0; i < s.getCount(); ++i)
            for (unsigned a = 0; a < d; ++a) coords.push_back(s.getCoord(i, a));
        EXPECT_EQ(coords, row.coords) << row.name;
    }
    ZELUNCoordSequence s;
    EXPECT_TRUE(std::isnan(s.getCoord(0, 0)));
}

// Points on the hole's edge count, points in the hole do not; z is ignored.
// Holes on one line (four points on x = 2, four coincident points) have no
// area: the boundary keeps the other holes, in order.
TEST(ZELUNGMFactory, ZeroAreaHolesAreDropped)
{
    auto const f = testsupport::hpFactory();
    auto const line = testsupport::ring(*f, pointList({{2, 1}, {2, 2}, {2, 3}, {2, 1}}));
    auto const dot = testsupport::ring(*f, pointList({{3, 3}, {3, 3}, {3, 3}, {3, 3}}));
    auto const first = testsupport::ring(*f, rect(4, 4, 5, 5));
    auto const second = testsupport::ring(*f, rect(6, 6, 7, 7));
    ASSERT_TRUE(line && dot && first && second);
    ASSERT_EQ(line->getCoordSequence().getCount(), 4u);
    long status = -1;
    auto const b = f->createSurfaceBoundary(testsupport::ring(*f, rect(0, 0, 10, 10)),
                                            boost::make_shared<RingList const>(RingList{line, first, dot, second}),
                                            status, false, 0);
    ASSERT_TRUE(b);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(b->getNumHoles(), 2u);
    EXPECT_EQ(&b->getHole(0), first.get());
    EXPECT_EQ(&b->getHole(1), second.get());

    // A collinear outer ring still stands for its linework, whatever its holes.
    auto const flat = testsupport::ring(*f, pointList({{0, 0}, {1, 1}, {3, 3}}));
    status = -1;
    auto const onLine = f->createSurface(
        f->createSurfaceBoundary(flat, boost::make_shared<RingList const>(RingList{line}), status, false, 0),
        kGeomSurfacePlanar, status, false, 0);
    ASSERT_TRUE(onLine);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(onLine->intersects(f->createPoint(point({2, 2}), status, false, 0), status, 0));
    EXPECT_FALSE(onLine->intersects(f->createPoint(point({2, 1}), status, false, 0), status, 0));
}

TEST(ZELUNGMOrientableSurface, ContainsPoint)
{
    auto const f = testsupport::hpFactory();
    auto const s = testsupport::squareWithHole(*f);
    ASSERT_TRUE(s);
    struct Row {
        double x, y, z;
        bool inside;
        long status;
    };
    Row const rows[] = {{1, 1, 0, true, 0},     {0, 5, kNaN, true, 0},   {5, 4, 0, true, 0},
                        {5, 5, 0, false, 0},    {10.5, 5, 0, false, 0}, {kNaN, 1, 0, false, kErrGeomInvalid},
                        {1, kInf, 0, false, kErrGeomInvalid}};
    for (Row const& r : rows) {
        long status = -1;
        EXPECT_EQ(s->containsPoint(ZELUNVec3<double>(r.x, r.y, r.z), status), r.inside) << r.x << " " << r.y;
        EXPECT_EQ(status, r.status) << r.x << " " << r.y;
    }
    long status = -1;
    auto const multi = f->createMultiSurface({s, testsupport::surface(*f, rect(20, 0, 30, 10))}, status, false, 0);
    ASSERT_TRUE(multi);
    EXPECT_TRUE(multi->containsPoint(ZELUNVec3<double>(25, 5, 0), status));
    EXPECT_FALSE(multi->containsPoint(ZELUNVec3<double>(5, 5, 0), status));
    EXPECT_FALSE(multi->containsPoint(ZELUNVec3<double>(kNaN, 5, 0), status));
    EXPECT_EQ(status, kErrGeomInvalid);
}

// The engine's predicates on each kind's form, including the collinear
// ring's linework.
TEST(ZELUNGMGenericObject, Predicates)
{
    auto const f = testsupport::hpFactory();
    long status = 0;
    auto const s = testsupport::squareWithHole(*f);
    auto const pt = [&](double x, double y) -> sp<ZELUNGMGenericObject const> {
        return f->createPoint(point({x, y}), status, false, 0);
    };
    auto const flat = testsupport::ring(*f, pointList({{0, 0}, {2, 0}, {5, 0}}));
    auto const dot = testsupport::ring(*f, pointList({{3, 3}, {3, 3}, {3, 3}, {3, 3}}));
    auto const multi = f->createMultiPoint({f->createPoint(point({1, 1}), status, false, 0),
                                            f->createPoint(point({2, 2}), status, false, 0)},
                                           status, false, 0);
    auto const square = testsupport::ring(*f, rect(0, 0, 10, 10));
    auto const boundary = f->createSurfaceBoundary(square, nullptr, status, false, 0);
    auto const onEdges = f->createMultiPoint({f->createPoint(point({0, 1}), status, false, 0),
                                              f->createPoint(point({4, 5}), status, false, 0)},
                                             status, false, 0);
    auto const straddling = f->createMultiPoint({f->createPoint(point({1, 1}), status, false, 0),
                                                 f->createPoint(point({5, 5}), status, false, 0)},
                                                status, false, 0);
    auto const none = f->createMultiPoint({}, status, false, 0);
    auto const spy = boost::make_shared<testsupport::SpySurface const>(f);
    ASSERT_TRUE(s && flat && dot && multi && boundary && onEdges && straddling && none);

    struct Row {
        char const* name;
        sp<ZELUNGMGenericObject const> self, other;
        bool contains, covers, intersects;
        long status;
    };
    std::vector<Row> const rows = {
        {"surface, inner point", s, pt(1, 1), true, true, true, 0},
        {"surface, edge point", s, pt(0, 5), false, true, true, 0},
        {"surface, hole point", s, pt(5, 5), false, false, false, 0},
        {"surface, flat ring inside", s, testsupport::ring(*f, pointList({{1, 1}, {2, 1}, {3, 1}})), true, true, true,
         0},
        {"surface, multi-point", s, multi, true, true, true, 0},
        {"surface, multi-point on its edges", s, onEdges, false, true, true, 0},
        {"surface, multi-point half in the hole", s, straddling, false, false, true, 0},
        {"surface, empty multi-point", s, none, false, false, false, 0},
        {"ring, empty multi-point", square, none, false, false, false, 0},
        {"flat ring, point on it", flat, pt(4, 0), true, true, true, 0},
        {"flat ring, point beside", flat, pt(4, 1), false, false, false, 0},
        {"coincident ring, its point", dot, pt(3, 3), true, true, true, 0},
        {"multi-point, member", multi, pt(2, 2), true, true, true, 0},
        {"ring, inner point", square, pt(5, 5), false, false, false, 0},
        {"ring, point on it", square, pt(10, 5), true, true, true, 0},
        {"boundary, point on it", boundary, pt(0, 5), true, true, true, 0},
        {"null other", s, nullptr, false, false, false, kErrGeomNullArgument},
        {"other without form", s, spy, false, false, false, kErrGeomUnsupported},
        {"self without form", spy, pt(1, 1), false, false, false, kErrGeomUnsupported},
    };
    for (Row const& r : rows) {
        long st = -1;
        EXPECT_EQ(r.self->contains(r.other, st, 0), r.contains) << r.name;
        EXPECT_EQ(st, r.status) << r.name;
        st = -1;
        EXPECT_EQ(r.self->covers(r.other, st, 0), r.covers) << r.name;
        EXPECT_EQ(st, r.status) << r.name;
        st = -1;
        EXPECT_EQ(r.self->intersects(r.other, st, 0), r.intersects) << r.name;
        EXPECT_EQ(st, r.status) << r.name;
    }
}

// Objects converted into another system, by copy and by predicate.
TEST(ZELUNGMGenericObject, AcrossSystems)
{
    auto const utm = testsupport::hpFactory("EPSG:32633");
    auto const geo = testsupport::hpFactory("EPSG:4326");
    // A square of 20 km around (500000, 0), which is (15, 0) in degrees.
    auto const s = testsupport::surface(*utm, rect(490000, -10000, 510000, 10000), {rect(499000, -1000, 501000, 1000)});
    ASSERT_TRUE(s);
    long status = -1;
    auto const inside = geo->createPoint(point({15.05, 0.05}), status, false, 0);
    auto const hole = geo->createPoint(point({15, 0}), status, false, 0);
    EXPECT_TRUE(s->contains(inside, status, 0));
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(s->contains(hole, status, 0));
    EXPECT_EQ(status, 0);
    auto const far = geo->createPoint(point({15, 89.999}), status, false, 0);
    EXPECT_FALSE(s->intersects(far, status, 0));

    // The copy's vertices are the list conversion of the original's.
    auto const copy = boost::dynamic_pointer_cast<ZELUNGMOrientableSurface const>(s->copyWithFactory(geo, status));
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->getFactory(), geo);
    EXPECT_EQ(copy->getBoundary().getNumHoles(), 1u);
    ZELUNArray<ZELUNArray<double>> corner = pointList({{490000, -10000}}), expected;
    ASSERT_EQ(utm->getCoordSystem().transform(geo->getCoordSystem(), corner, expected), 0);
    EXPECT_EQ(copy->getBoundary().getOuterRing().getCoordSequence().getCoord(0, 0), expected[0][0]);
    EXPECT_EQ(copy->getBoundary().getOuterRing().getCoordSequence().getCoord(0, 1), expected[0][1]);
    EXPECT_TRUE(copy->containsPoint(ZELUNVec3<double>(15.05, 0.05, 0), status));
    EXPECT_FALSE(copy->containsPoint(ZELUNVec3<double>(15, 0, 0), status));

    // Every kind copies as its own kind.
    auto const multi = utm->createMultiPoint({utm->createPoint(point({500000, 0}), status, false, 0)}, status, false, 0);
    auto const multiCopy = boost::dynamic_pointer_cast<ZELUNGMMultiPoint const>(multi->copyWithFactory(geo, status));
    ASSERT_TRUE(multiCopy);
    EXPECT_NEAR(multiCopy->getCoords(0).x, 15, 1e-9);
    auto const surfaces = utm->createMultiSurface({s}, status, false, 0);
    EXPECT_TRUE(boost::dynamic_pointer_cast<ZELUNGMMultiSurface const>(surfaces->copyWithFactory(geo, status)));
    EXPECT_EQ(status, 0);

    // Failures: a null factory, a system the vertices cannot reach, a kind
    // made elsewhere.
    EXPECT_FALSE(s->copyWithFactory(nullptr, status));
    EXPECT_EQ(status, kErrGeomNullArgument);
    EXPECT_FALSE(s->copyWithFactory(testsupport::hpFactory("no such system"), status));
    EXPECT_NE(status, 0);
    auto const polar = geo->createPoint(point({15, 95}), status, false, 0);
    ASSERT_TRUE(polar);
    EXPECT_FALSE(polar->copyWithFactory(utm, status));
    EXPECT_NE(status, 0);
    EXPECT_FALSE(s->contains(polar, status, 0));
    EXPECT_NE(status, 0);
    testsupport::SpySurface const spy(utm);
    EXPECT_FALSE(spy.copyWithFactory(geo, status));
    EXPECT_EQ(status, kErrGeomUnsupported);
}

// Points against a surface are located by the surface's exact locator, and
// against a multi-surface by the engine: the two agree on every position,
// vertices and edges included.
TEST(ZELUNGMGenericObject, PointAnswersMatchTheEngine)
{
    auto const f = testsupport::hpFactory();
    ZELUNArray<ZELUNArray<double>> outer(60);
    for (int i = 0; i < 60; ++i) {
        double const a = 2 * M_PI * i / 60;
        double const r = 8 + 2 * std::sin(5 * a);
        outer[i] = point({std::round(16 * r * std::cos(a)) / 16, std::round(16 * r * std::sin(a)) / 16});
    }
    auto const s = testsupport::surface(*f, outer, {rect(-2, -2, 2, 2)});
    long status = 0;
    auto const engine = f->createMultiSurface({s}, status, false, 0);
    ASSERT_TRUE(s && engine);
    std::vector<ZELUNArray<double>> probes;
    for (int i = 0; i < 60; ++i) {
        ZELUNArray<double> const& a = outer[i];
        ZELUNArray<double> const& b = outer[(i + 1) % 60];
        probes.push_back(a);
        probes.push_back(point({(a[0] + b[0]) / 2, (a[1] + b[1]) / 2}));
    }
    for (double x = -11; x <= 11; x += 0.5)
        for (double y = -11; y <= 11; y += 0.5) probes.push_back(point({x, y}));
    for (ZELUNArray<double> const& p : probes) {
        sp<ZELUNGMGenericObject const> const q = f->createPoint(p, status, false, 0);
        long a = 0, b = 0;
        EXPECT_EQ(s->contains(q, a, 0), engine->contains(q, b, 0)) << p[0] << " " << p[1];
        EXPECT_EQ(s->covers(q, a, 0), engine->covers(q, b, 0)) << p[0] << " " << p[1];
        EXPECT_EQ(a + b, 0);
    }
}

// A thread's first engine predicate, with its n-th allocation and all later
// ones failing: false with kErrOutOfMemory, never another status or the end
// of the process; the next call, with memory back, answers.
TEST(ZELUNGMGenericObjectThreads, FirstPredicateWithoutMemory)
{
    auto const f = testsupport::hpFactory();
    auto const area = testsupport::surface(*f, rect(0, 0, 10, 10), {rect(4, 4, 6, 6)});
    auto const crossing = testsupport::ring(*f, rect(5, 5, 20, 20));
    auto const apart = testsupport::ring(*f, rect(20, 20, 30, 30));
    ASSERT_TRUE(area && crossing && apart);
    bool touches = false, covers = true;
    long touchStatus = -1, coverStatus = -1;
    unsigned const n = zorvtest::firstUseSweep(
        [&] {
            zorvtest::EngineLeaksIgnored engineLeaks;
            touches = area->intersects(crossing, touchStatus, 0);
            covers = area->covers(apart, coverStatus, 0);
        },
        [&](bool threw) {
            EXPECT_FALSE(threw);
            EXPECT_TRUE(touchStatus == kSuccess || touchStatus == kErrOutOfMemory) << touchStatus;
            EXPECT_EQ(touches, touchStatus == kSuccess);
            EXPECT_TRUE(coverStatus == kSuccess || coverStatus == kErrOutOfMemory) << coverStatus;
            EXPECT_FALSE(covers);
            long status = -1;
            EXPECT_TRUE(area->intersects(crossing, status, 0));
            EXPECT_EQ(status, kSuccess);
            EXPECT_FALSE(area->intersects(apart, status, 0));
            EXPECT_EQ(status, kSuccess);
        });
    EXPECT_GT(n, 0u);
}
