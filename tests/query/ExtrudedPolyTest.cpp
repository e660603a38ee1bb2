#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "support/Points.h"
#include "support/ShapeFrames.h"
#include "zorvsupport/platform/ZELUNCompGeom.h"
#include "zorvsupport/query/ExtrudedPoly.h"

using namespace ZORV_3_13_0_::DataSet;
using ZELUNCompGeom::ZELUNVector2D;
using testsupport::box;
using testsupport::identityMatrix;
using testsupport::pointList;
using testsupport::translationMatrix;
using testsupport::vectorList;
using V = ZELUNVec3<double>;
using Box = ZELUNnBox<double, 3>;
using Points = ZELUNArray<ZELUNArray<double>>;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kInf = std::numeric_limits<double>::infinity();

Points unitSquare(bool closed)
{
    return closed ? pointList({{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}) : pointList({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
}

// A host's subclass: the shape must call its per-point test for every
// element instead of running its own inline test.
class CountingPoly : public ExtrudedPoly {
public:
    CountingPoly(Points const& ring, bool is2D) : ExtrudedPoly(ring, identityMatrix(), is2D) {}
    using ExtrudedPoly::contains;
    mutable int pointCalls = 0;

protected:
    bool contains(ZELUNArray<double> const& p) const override
    {
        ++pointCalls;
        return ExtrudedPoly::contains(p);
    }
};

}  // namespace

// The unit square extruded over 0 <= z <= 1 (and over all z when 2-D), the
// ring given open and closed; the subclass takes the element-by-element
// path and must answer alike.
TEST(ExtrudedPoly, FiguresTable)
{
    for (bool closed : {false, true}) {
        ExtrudedPoly const solid(unitSquare(closed), identityMatrix(), false);
        ExtrudedPoly const flat(unitSquare(closed), identityMatrix(), true);
        CountingPoly const solidSub(unitSquare(closed), false);
        CountingPoly const flatSub(unitSquare(closed), true);
        EXPECT_FALSE(solid.getIs2D());
        EXPECT_TRUE(flat.getIs2D());

        struct Row {
            char const* label;
            V point;
            bool solid, flat;
        } const points[] = {
            {"centre", V(0.5, 0.5, 0.5), true, true},
            {"above", V(0.5, 0.5, 1.5), false, true},
            {"below", V(0.5, 0.5, -0.1), false, true},
            {"on the floor", V(0.5, 0.5, 0), true, true},
            {"on the roof", V(0.5, 0.5, 1), true, true},
            {"far above", V(0.5, 0.5, 99), false, true},
            {"on an edge", V(1, 0.5, 0.5), true, true},
            {"on a vertex", V(0, 0, 0), true, true},
            {"on the closing edge", V(0, 0.5, 0.5), true, true},
            {"beside", V(1.0000001, 0.5, 0.5), false, false},
            {"NaN z", V(0.5, 0.5, kNaN), false, true},
            {"NaN x", V(kNaN, 0.5, 0.5), false, false},
            {"infinite y", V(0.5, kInf, 0.5), false, false},
        };
        for (Row const& r : points) {
            EXPECT_EQ(solid.contains(r.point), r.solid) << r.label << closed;
            EXPECT_EQ(flat.contains(r.point), r.flat) << r.label << closed;
            EXPECT_EQ(solidSub.contains(r.point), r.solid) << r.label << closed;
            EXPECT_EQ(flatSub.contains(r.point), r.flat) << r.label << closed;
            auto const list = pointList({{r.point.x, r.point.y, r.point.z}});
            EXPECT_EQ(solid.contains(list), r.solid) << r.label << closed;
            EXPECT_EQ(solid.interacts(list), r.solid) << r.label << closed;
            EXPECT_EQ(flat.contains(*vectorList({r.point})), r.flat) << r.label << closed;
            EXPECT_EQ(solidSub.interacts(list), r.solid) << r.label << closed;
        }

        struct BoxRow {
            char const* label;
            Box b;
            bool solidContains, solidInteracts, flatContains, flatInteracts;
        } const boxes[] = {
            {"across the whole height", box(0.2, 0.2, -1, 0.8, 0.8, 2), false, true, true, true},
            {"wholly above", box(0.2, 0.2, 1.5, 0.8, 0.8, 2), false, false, true, true},
            {"touching the roof", box(0.2, 0.2, 1, 0.8, 0.8, 2), false, true, true, true},
            {"touching the floor from below", box(0.2, 0.2, -2, 0.8, 0.8, 0), false, true, true, true},
            {"apart", box(2, 2, 0, 3, 3, 1), false, false, false, false},
            {"sharing a corner", box(1, 1, 1, 2, 2, 2), false, true, false, true},
            {"inside", box(0.2, 0.2, 0.2, 0.8, 0.8, 0.8), true, true, true, true},
            {"the prism itself", box(0, 0, 0, 1, 1, 1), true, true, true, true},
        };
        for (BoxRow const& r : boxes) {
            EXPECT_EQ(solid.contains(r.b), r.solidContains) << r.label << closed;
            EXPECT_EQ(solid.interacts(r.b), r.solidInteracts) << r.label << closed;
            EXPECT_EQ(flat.contains(r.b), r.flatContains) << r.label << closed;
            EXPECT_EQ(flat.interacts(r.b), r.flatInteracts) << r.label << closed;
            EXPECT_EQ(solidSub.contains(r.b), r.solidContains) << r.label << closed;
            EXPECT_EQ(flatSub.contains(r.b), r.flatContains) << r.label << closed;
        }
    }
    CountingPoly const counting(unitSquare(true), false);
    EXPECT_TRUE(counting.contains(box(0.2, 0.2, 0.2, 0.8, 0.8, 0.8)));
    EXPECT_EQ(counting.pointCalls, 8);  // the corners, one at a time
}

// Over a concave ring only the bounding rectangle limits interacts.
TEST(ExtrudedPoly, ConcaveHollowInteractsButIsNotContained)
{
    // A U open at the top: the hollow is 1 < x < 2, 1 < y <= 3.
    ExtrudedPoly const u(pointList({{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}}), identityMatrix(),
                         false);
    Box const hollow = box(1.2, 1.5, 0.2, 1.8, 2.5, 0.8);
    EXPECT_TRUE(u.interacts(hollow));
    EXPECT_FALSE(u.contains(hollow));
    EXPECT_FALSE(u.contains(V(1.5, 2, 0.5)));
    EXPECT_TRUE(u.contains(V(1.5, 1, 0.5)));  // the hollow's floor is on the ring
    EXPECT_TRUE(u.contains(V(0.5, 2, 0.5)));
    EXPECT_TRUE(u.contains(box(0.2, 0.2, 0, 2.8, 0.8, 1)));
}

// Points exactly on the edge (0, 0)-(1024, 3) are inside, and the doubles
// one ulp below them in y are outside.
TEST(ExtrudedPoly, ExactEdge)
{
    Points const triangle = pointList({{0, 0}, {1024, 3}, {0, 3}});
    ExtrudedPoly const shape(triangle, identityMatrix(), false);
    CountingPoly const sub(triangle, false);
    Points on, below;
    for (int k : {1, 3, 341, 512, 683, 1000, 1023}) {
        double const y = 3.0 * k / 1024;  // exact: (k, y) lies on the edge
        double const under = std::nextafter(y, -kInf);
        EXPECT_TRUE(shape.contains(V(k, y, 0.5))) << k;
        EXPECT_FALSE(shape.contains(V(k, under, 0.5))) << k;
        EXPECT_TRUE(sub.contains(V(k, y, 0.5))) << k;
        EXPECT_FALSE(sub.contains(V(k, under, 0.5))) << k;
        on.append(testsupport::point({double(k), y, 0.5}));
        below.append(testsupport::point({double(k), under, 0.5}));
    }
    EXPECT_TRUE(shape.contains(on));
    EXPECT_FALSE(shape.interacts(below));
    EXPECT_TRUE(sub.contains(on));
    EXPECT_FALSE(sub.interacts(below));
    EXPECT_TRUE(shape.contains(V(1024, 3, 0)));  // a vertex
}

// The inline test answers as isPointInRing(x, y, ring, 0, true, calc) does,
// on rings open and closed, convex, concave, self-crossing and degenerate,
// at random points, at vertices, on edges and one ulp beside them.
TEST(ExtrudedPoly, AnswersAsIsPointInRing)
{
    std::mt19937_64 random(21);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<Points> rings = {
        pointList({{0, 0}, {4, 0}, {4, 4}, {0, 4}}),
        pointList({{0, 0}, {4, 4}, {4, 0}, {0, 4}, {0, 0}}),                    // a bow tie
        pointList({{0, 0}, {2, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 2}, {0, 2}}),    // collinear and repeated vertices
        pointList({{0, 0}, {4, 0}, {0, 0}}),                                    // no area
        pointList({{0, 0}, {4, 0}}),                                            // too short
        pointList({{0, 0}, {4, 0}, {kNaN, 2}, {0, 4}}),                         // a NaN vertex
    };
    Points star;  // a spiky ring
    for (int i = 0; i < 60; ++i) {
        double const a = 2 * M_PI * i / 60, r = 1 + 3 * unit(random);
        star.append(testsupport::point({2 + r * std::cos(a), 2 + r * std::sin(a)}));
    }
    rings.push_back(star);

    for (Points const& ring : rings) {
        ExtrudedPoly const shape(ring, identityMatrix(), true);
        ZELUNArray<ZELUNVector2D> ring2(ring.size());
        for (std::size_t i = 0; i < ring.size(); ++i) ring2[i] = ZELUNVector2D(ring[i][0], ring[i][1]);
        std::vector<std::pair<double, double>> probes;
        for (int i = 0; i < 2000; ++i) probes.emplace_back(-1 + 6 * unit(random), -1 + 6 * unit(random));
        for (std::size_t i = 0; i < ring.size(); ++i) {
            double const x0 = ring[i][0], y0 = ring[i][1];
            double const x1 = ring[(i + 1) % ring.size()][0], y1 = ring[(i + 1) % ring.size()][1];
            for (double t : {0.0, 0.25, 0.5}) {
                double const x = x0 + t * (x1 - x0), y = y0 + t * (y1 - y0);
                for (double dx : {-1.0, 0.0, 1.0})
                    for (double dy : {-1.0, 0.0, 1.0})
                        probes.emplace_back(dx == 0 ? x : std::nextafter(x, dx * kInf),
                                            dy == 0 ? y : std::nextafter(y, dy * kInf));
            }
        }
        ZELUNCompGeom::ZELUNExactCalc const calc;
        auto vectors = vectorList(probes.size());
        bool all = true, some = false;
        for (std::size_t i = 0; i < probes.size(); ++i) {
            auto const [x, y] = probes[i];
            bool const expected = ZELUNCompGeom::isPointInRing(x, y, ring2, 0.0, true, &calc);
            ASSERT_EQ(shape.contains(V(x, y, 0)), expected) << ring.size() << ": " << x << ", " << y;
            testsupport::valuesOf(*vectors)[i] = V(x, y, 0);
            auto one = vectorList({V(x, y, 0)});
            ASSERT_EQ(shape.interacts(*one), expected);
            all = all && expected;
            some = some || expected;
        }
        EXPECT_EQ(shape.contains(*vectors), all);
        EXPECT_EQ(shape.interacts(*vectors), some);
    }
}

TEST(ExtrudedPoly, ConstructionSetAndCopies)
{
    // A matrix without 16 values leaves the identity.
    ExtrudedPoly const twelve(unitSquare(true), std::vector<double>(12, 0.0), false);
    EXPECT_TRUE(twelve.contains(V(0.5, 0.5, 0.5)));
    ExtrudedPoly moved(unitSquare(true), translationMatrix(10), false);
    EXPECT_TRUE(moved.contains(V(-9.5, 0.5, 0.5)));
    EXPECT_FALSE(moved.contains(V(0.5, 0.5, 0.5)));

    // set from 3-value points keeps x and y.
    moved.set(pointList({{0, 0, 7}, {2, 0, 7}, {2, 2, 7}, {0, 2, 7}}));
    EXPECT_TRUE(moved.contains(V(-8.5, 1.5, 0.5)));
    ZELUNArray<ZELUNVector2D> small(3);
    small[0] = ZELUNVector2D(0, 0);
    small[1] = ZELUNVector2D(1, 0);
    small[2] = ZELUNVector2D(0, 1);
    ExtrudedPoly other(Points(), identityMatrix(), true);
    other.set(small);
    EXPECT_TRUE(other.contains(V(0.2, 0.2, 50)));
    EXPECT_FALSE(other.contains(V(0.6, 0.6, 0)));

    // Copies carry the ring, the flag and the matrix.
    ExtrudedPoly copy(moved);
    EXPECT_TRUE(copy.contains(V(-8.5, 1.5, 0.5)));
    copy = other;
    EXPECT_TRUE(copy.getIs2D());
    EXPECT_TRUE(copy.contains(V(0.2, 0.2, 50)));
    EXPECT_FALSE(copy.contains(V(1.5, 1.5, 0)));
    copy.setIs2D(false);
    EXPECT_FALSE(copy.contains(V(0.2, 0.2, 50)));
    ZELUNType<Polyhedron> const held = moved.newCopy();
    EXPECT_TRUE(held->contains(V(-8.5, 1.5, 0.5)));
    EXPECT_TRUE(held->interacts(box(-9, 1, 0, -8, 3, 1)));
    EXPECT_FALSE(held->interacts(box(1, 1, 0, 2, 3, 1)));
}

// An empty ring contains nothing and interacts with no box, infinite and NaN
// corners included; a point with fewer than 2 values leaves the ring empty.
TEST(ExtrudedPoly, EmptyRing)
{
    ExtrudedPoly empty(Points(), identityMatrix(), true);
    ExtrudedPoly shortPoint(pointList({{0, 0}, {1, 0}, {1}, {0, 1}}), identityMatrix(), true);
    ExtrudedPoly reset(unitSquare(true), identityMatrix(), true);
    reset.set(pointList({{0, 0}, {1, 0}, {1, 1}, {0}}));
    for (ExtrudedPoly const* s : {&empty, &shortPoint, &reset}) {
        EXPECT_FALSE(s->contains(V(0.5, 0.5, 0.5)));
        EXPECT_FALSE(s->contains(V(1, 0, 0)));
        EXPECT_FALSE(s->contains(box(0.2, 0.2, 0.2, 0.8, 0.8, 0.8)));
        EXPECT_FALSE(s->interacts(pointList({{0.5, 0.5, 0.5}})));
        for (Box const& b : {box(-1e300, -1e300, -1e300, 1e300, 1e300, 1e300),
                             box(-kInf, -kInf, -kInf, kInf, kInf, kInf), box(kNaN, kNaN, kNaN, kNaN, kNaN, kNaN),
                             box(0, 0, 0, kNaN, kNaN, kNaN), box(0.2, 0.2, 0.2, 0.8, 0.8, 0.8)})
            EXPECT_FALSE(s->interacts(b));
    }
    // A ring is required only to have points; one with too few still has a
    // bounding rectangle for interacts.
    ExtrudedPoly const segment(pointList({{0, 0}, {1, 1}}), identityMatrix(), true);
    EXPECT_FALSE(segment.contains(V(0.5, 0.5, 0)));
    EXPECT_TRUE(segment.interacts(box(0.4, 0.4, 0, 0.6, 0.6, 0)));
}

namespace {

// Holds (15, 0) both as given and converted to UTM zone 33 (500000, 0), so
// a position whose conversion fails would pass if tested unconverted.
ExtrudedPoly wideColumn()
{
    ExtrudedPoly p(pointList({{0, -1e7}, {1e6, -1e7}, {1e6, 1e7}, {0, 1e7}}), identityMatrix(), true);
    p.setCoordSystem(ZELUNCoordSystem("EPSG:4326"));
    p.setPointsCoordSystem(ZELUNCoordSystem("EPSG:32633"));
    return p;
}

}  // namespace

TEST(ExtrudedPoly, FailedConversionAnswersFalse)
{
    ExtrudedPoly const p = wideColumn();
    CountingPoly sub(pointList({{0, -1e7}, {1e6, -1e7}, {1e6, 1e7}, {0, 1e7}}), true);
    sub.setCoordSystem(ZELUNCoordSystem("EPSG:4326"));
    sub.setPointsCoordSystem(ZELUNCoordSystem("EPSG:32633"));
    for (ExtrudedPoly const* s : {&p, static_cast<ExtrudedPoly const*>(&sub)}) {
        EXPECT_TRUE(s->contains(V(15, 0, 0)));
        EXPECT_FALSE(s->contains(V(15, 95, 0)));
        EXPECT_FALSE(s->contains(pointList({{15, 0, 0}, {15, 95, 0}})));
        EXPECT_FALSE(s->interacts(pointList({{15, 0, 0}, {15, 95, 0}})));
        EXPECT_TRUE(s->interacts(pointList({{15, 0, 0}})));
        EXPECT_FALSE(s->interacts(*vectorList({V(15, 95, 0)})));
        EXPECT_TRUE(s->interacts(*vectorList({V(15, 95, 0), V(15, 0, 0)})));
        EXPECT_FALSE(s->interacts(box(14, -1, -1, 16, 95, 1)));
        EXPECT_FALSE(s->contains(box(14, -1, -1, 16, 95, 1)));
        EXPECT_TRUE(s->interacts(box(14, -1, -1, 16, 1, 1)));
        EXPECT_TRUE(s->contains(box(14, -1, -1, 16, 1, 1)));
    }
}
