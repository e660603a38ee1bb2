#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "support/Points.h"
#include "support/ShapeFrames.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/query/PlanarPoly.h"

using namespace ZORV_3_13_0_::DataSet;
using ZELUNCompGeom::ZELUNPlane;
using testsupport::box;
using testsupport::identityMatrix;
using testsupport::pointList;
using testsupport::translationMatrix;
using testsupport::vectorList;
using V = ZELUNVec3<double>;
using Box = ZELUNnBox<double, 3>;
using Planes = std::vector<ZELUNPlane>;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kInf = std::numeric_limits<double>::infinity();

// A host's subclass: reaches transformPlane, and counts the per-point tests
// that the element-by-element path makes.
class ExposedPoly : public PlanarPoly {
public:
    explicit ExposedPoly(Planes const& planes) : PlanarPoly(planes) {}
    using PlanarPoly::contains;
    using PlanarPoly::transformPlane;
    mutable int pointCalls = 0;

protected:
    bool contains(ZELUNArray<double> const& p) const override
    {
        ++pointCalls;
        return PlanarPoly::contains(p);
    }
};

}  // namespace

// The region's figures, asked of the shape as built (planes as given), after
// setMatrix with the identity (unit normals, scaled offsets), and of a
// subclass, which takes the element-by-element path.
TEST(PlanarPoly, FiguresTable)
{
    Planes const none;
    Planes const above2 = {ZELUNPlane(0, 0, 1, 2)};                          // z >= 2
    Planes const above2Scaled = {ZELUNPlane(0, 0, 2, 4)};                    // the same half-space
    Planes const wedge = {ZELUNPlane(-1, 1, 0, 0), ZELUNPlane(1, 1, 0, 0)};  // y >= |x|
    // An odd count: the last plane has no partner.
    Planes const octant = {ZELUNPlane(1, 0, 0, 0), ZELUNPlane(0, 1, 0, 0), ZELUNPlane(0, 0, 1, 0)};

    struct Row {
        char const* label;
        Planes const& planes;
        V point;
        bool contains;
    } const points[] = {
        {"no planes", none, V(1e300, -5, 3), true},
        {"no planes, NaN", none, V(kNaN, kNaN, kNaN), true},
        {"on the plane", above2, V(0, 0, 2), true},
        {"above", above2, V(0, 0, 5), true},
        {"below", above2, V(0, 0, 1), false},
        {"NaN z rejects nothing", above2, V(0, 0, kNaN), true},
        {"scaled: on the plane", above2Scaled, V(7, -3, 2), true},
        {"scaled: below", above2Scaled, V(0, 0, 1.9999999), false},
        {"wedge: inside", wedge, V(0, 1, 0), true},
        {"wedge: on a side", wedge, V(0.5, 0.5, 0), true},
        {"wedge: apex", wedge, V(0, 0, 0), true},
        {"wedge: outside", wedge, V(1, 0.5, 0), false},
        {"infinities against one plane", above2, V(kInf, -kInf, 3), true},
        {"octant: inside", octant, V(1, 2, 3), true},
        {"octant: the last plane rejects", octant, V(1, 1, -1), false},
        {"octant: infinite x", octant, V(kInf, 1, 1), true},
        {"octant: infinite z", octant, V(1, 1, kInf), true},
        {"octant: minus infinite z", octant, V(1, 1, -kInf), false},
    };
    struct BoxRow {
        char const* label;
        Planes const& planes;
        Box b;
        bool contains, interacts;
    } const boxes[] = {
        {"no planes", none, box(-1e300, -1, -1, 1e300, 1, 1), true, true},
        {"wholly below", above2, box(0, 0, 0, 1, 1, 1), false, false},
        {"across", above2, box(0, 0, 1, 1, 1, 3), false, true},
        {"touching", above2, box(0, 0, 0, 1, 1, 2), false, true},
        {"above", above2, box(0, 0, 2, 1, 1, 3), true, true},
        {"wedge: beside both sides", wedge, box(-1, -2, 0, 1, -0.5, 1), false, true},  // conservative
        {"wedge: beyond one side", wedge, box(2, -1, 0, 3, 1, 1), false, false},
        {"wedge: inside", wedge, box(-0.5, 1, 0, 0.5, 2, 1), true, true},
        {"octant: below the last plane", octant, box(0, 0, -2, 1, 1, -1), false, false},
        {"octant: unbounded", octant, box(0, 0, 0, kInf, kInf, kInf), true, true},
    };
    for (int stage = 0; stage < 3; ++stage) {
        auto make = [stage](Planes const& planes) {
            PlanarPoly* s = stage == 2 ? new ExposedPoly(planes) : new PlanarPoly(planes);
            if (stage == 1) {
                EXPECT_EQ(s->setMatrix(identityMatrix()), 0);
            }
            return ZELUNType<Polyhedron>(s);
        };
        for (Row const& r : points) {
            ZELUNType<Polyhedron> const s = make(r.planes);
            EXPECT_EQ(s->contains(r.point), r.contains) << r.label << " stage " << stage;
            auto const list = pointList({{r.point.x, r.point.y, r.point.z}});
            EXPECT_EQ(s->contains(list), r.contains) << r.label << " stage " << stage;
            EXPECT_EQ(s->interacts(list), r.contains) << r.label << " stage " << stage;
            EXPECT_EQ(s->interacts(*vectorList({r.point})), r.contains) << r.label << " stage " << stage;
        }
        for (BoxRow const& r : boxes) {
            ZELUNType<Polyhedron> const s = make(r.planes);
            EXPECT_EQ(s->contains(r.b), r.contains) << r.label << " stage " << stage;
            EXPECT_EQ(s->interacts(r.b), r.interacts) << r.label << " stage " << stage;
        }
    }
}

TEST(PlanarPoly, TransformPlane)
{
    ExposedPoly shape(Planes{});
    ZELUNPlane out;
    ASSERT_EQ(shape.transformPlane(ZELUNPlane(0, 0, 2, 4), out), 0);
    EXPECT_EQ(out.getNormal().x, 0.0);
    EXPECT_EQ(out.getNormal().y, 0.0);
    EXPECT_EQ(out.getNormal().z, 1.0);
    EXPECT_EQ(out.getOffset(), 2.0);

    // The plane times the matrix itself: x' = a + m[12]·d = 11, w' = d = 1,
    // and the offset is w' over the length before unitising.
    ASSERT_EQ(shape.setMatrix(translationMatrix(10)), 0);
    ASSERT_EQ(shape.transformPlane(ZELUNPlane(1, 0, 0, 1), out), 0);
    EXPECT_EQ(out.getNormal().x, 1.0);
    EXPECT_EQ(out.getNormal().y, 0.0);
    EXPECT_EQ(out.getNormal().z, 0.0);
    EXPECT_EQ(out.getOffset(), 1.0 / 11.0);

    // A zero normal stays zero (it is no longer than the tolerance) and the
    // offset is d over zero.
    ASSERT_EQ(shape.setMatrix(identityMatrix()), 0);
    ASSERT_EQ(shape.transformPlane(ZELUNPlane(0, 0, 0, 3), out), 0);
    EXPECT_EQ(out.getNormal().x, 0.0);
    EXPECT_EQ(out.getNormal().z, 0.0);
    EXPECT_EQ(out.getOffset(), kInf);
}

// The matrix maps the planes and positions get only the coordinate change,
// box corners included: under m[12] = 10 the plane (1, 0, 0), d = 1 becomes
// x >= 1/11.
TEST(PlanarPoly, MatrixActsOnceThroughThePlanes)
{
    PlanarPoly shape({ZELUNPlane(1, 0, 0, 1)});
    ASSERT_EQ(shape.setMatrix(translationMatrix(10)), 0);
    ExposedPoly sub({ZELUNPlane(1, 0, 0, 1)});
    ASSERT_EQ(sub.setMatrix(translationMatrix(10)), 0);
    for (Polyhedron const* s : {static_cast<Polyhedron const*>(&shape), static_cast<Polyhedron const*>(&sub)}) {
        Box const straddling = box(0.05, 0, 0, 0.2, 1, 1);
        EXPECT_FALSE(s->contains(straddling));
        EXPECT_TRUE(s->interacts(straddling));
        EXPECT_TRUE(s->contains(box(0.1, 0, 0, 0.2, 1, 1)));
        EXPECT_FALSE(s->interacts(box(0.05, 0, 0, 0.09, 1, 1)));
        EXPECT_TRUE(s->contains(V(1.0 / 11.0, 0, 0)));
        EXPECT_FALSE(s->contains(V(0.09, 0, 0)));
        EXPECT_TRUE(s->contains(pointList({{0.1, 5, 5}, {0.2, -5, -5}})));
        EXPECT_FALSE(s->interacts(*vectorList({V(0.05, 0, 0), V(-9, 0, 0)})));
    }
}

TEST(PlanarPoly, ListChanges)
{
    PlanarPoly shape({ZELUNPlane(0, 0, 1, 2)});
    ASSERT_EQ(shape.setMatrix(translationMatrix(10)), 0);
    // Under m[12] = 10 the plane (0, 0, 1), d = 2 becomes 20x + z >= 2. A
    // wrong size leaves the matrix and both lists.
    EXPECT_EQ(shape.setMatrix(std::vector<double>(15, 0.0)), kErrBadMatrixSize);
    EXPECT_EQ(shape.setMatrix({}), kErrBadMatrixSize);
    EXPECT_TRUE(shape.contains(V(0, 0, 2)));
    EXPECT_FALSE(shape.contains(V(0, 0, 1)));
    EXPECT_TRUE(shape.contains(V(0.1, 0, 0)));
    // A plane added later goes through the matrix too: x >= 1/11.
    shape.addPlane(ZELUNPlane(1, 0, 0, 1));
    EXPECT_TRUE(shape.contains(V(0.1, 0, 3)));
    EXPECT_FALSE(shape.contains(V(0.09, 0, 3)));

    PlanarPoly copy(shape);
    EXPECT_FALSE(copy.contains(V(0.09, 0, 3)));
    ZELUNType<Polyhedron> const held = shape.newCopy();
    EXPECT_FALSE(held->contains(V(0.09, 0, 3)));
    EXPECT_TRUE(held->contains(V(0.1, 0, 3)));

    // Assignment brings the other shape's matrix and planes.
    PlanarPoly assigned({ZELUNPlane(0, 1, 0, 100)});
    assigned = shape;
    EXPECT_TRUE(assigned.contains(V(0.1, 0, 3)));
    EXPECT_FALSE(assigned.contains(V(0.09, 0, 3)));

    // set takes new planes through the current matrix.
    shape.set({ZELUNPlane(2, 0, 0, 2)});  // (2 + 10·2)·x >= 2
    EXPECT_TRUE(shape.contains(V(1.0 / 11.0, 0, -50)));
    EXPECT_FALSE(shape.contains(V(0.09, 0, -50)));

    shape.clear();
    EXPECT_TRUE(shape.contains(V(-1e300, 0, -1e300)));
    EXPECT_TRUE(shape.interacts(box(-5, -5, -5, -4, -4, -4)));
    EXPECT_TRUE(assigned.contains(V(0.1, 0, 3)));  // copies are their own
    EXPECT_FALSE(copy.contains(V(0.1, 0, -1)));
}

// Points need x, y and z: one with fewer values makes both list answers
// false; one with more is tested on its first three.
TEST(PlanarPoly, PointValueCounts)
{
    PlanarPoly const shape({ZELUNPlane(0, 0, 1, 2)});
    ExposedPoly const sub({ZELUNPlane(0, 0, 1, 2)});
    for (Polyhedron const* s : {static_cast<Polyhedron const*>(&shape), static_cast<Polyhedron const*>(&sub)}) {
        EXPECT_FALSE(s->contains(pointList({{0, 0, 3}, {0, 0}})));
        EXPECT_FALSE(s->interacts(pointList({{0, 0, 3}, {0, 0}})));
        EXPECT_FALSE(s->interacts(pointList({{0, 0}, {0, 0, 3}})));
        EXPECT_FALSE(s->contains(pointList({{}})));
        EXPECT_TRUE(s->contains(pointList({{0, 0, 3, -100}, {0, 0, 2}})));
        EXPECT_FALSE(s->contains(pointList({{0, 0, 1, 100}})));
        EXPECT_TRUE(s->interacts(pointList({{0, 0, 1, 100}, {0, 0, 3, -100}})));
        EXPECT_TRUE(s->contains(pointList({})));
        EXPECT_FALSE(s->interacts(pointList({})));
    }
    EXPECT_EQ(sub.pointCalls, 5);
}

// A zero normal: s = −d for every finite point, so d > 0 rejects all and
// d <= 0 none, whether the plane is as given or carried through the matrix.
TEST(PlanarPoly, ZeroNormal)
{
    for (bool carried : {false, true}) {
        for (double d : {1.0, 1e-300, 0.0, -0.0, -1.0}) {
            PlanarPoly shape({ZELUNPlane(0, 0, 0, d)});
            if (carried) {
                ASSERT_EQ(shape.setMatrix(identityMatrix()), 0);
            }
            bool const all = !(d > 0);
            EXPECT_EQ(shape.contains(V(1e300, -3, 7)), all) << d << carried;
            EXPECT_EQ(shape.contains(V(0, 0, 0)), all) << d << carried;
            EXPECT_EQ(shape.contains(box(-1, -1, -1, 1, 1, 1)), all) << d << carried;
            EXPECT_EQ(shape.interacts(box(-1, -1, -1, 1, 1, 1)), all) << d << carried;
        }
    }
}

namespace {

// Planes x >= 0, x <= 1e6, |y| <= 1e7: hold (15, 0) both as given and
// converted to UTM zone 33 (500000, 0), so a position whose conversion
// failed would pass if tested unconverted.
Planes widePlanes()
{
    return {ZELUNPlane(1, 0, 0, 0), ZELUNPlane(-1, 0, 0, -1e6), ZELUNPlane(0, 1, 0, -1e7),
            ZELUNPlane(0, -1, 0, -1e7)};
}

}  // namespace

TEST(PlanarPoly, FailedConversionAnswersFalse)
{
    PlanarPoly shape(widePlanes());
    ExposedPoly sub(widePlanes());
    for (PlanarPoly* s : {&shape, static_cast<PlanarPoly*>(&sub)}) {
        s->setCoordSystem(ZELUNCoordSystem("EPSG:4326"));
        s->setPointsCoordSystem(ZELUNCoordSystem("EPSG:32633"));
        EXPECT_TRUE(s->contains(V(15, 0, 0)));
        EXPECT_FALSE(s->contains(V(15, 95, 0)));
        EXPECT_FALSE(s->contains(V(-200, 0, 0)));  // converts to x < 0
        EXPECT_FALSE(s->contains(pointList({{15, 0, 0}, {15, 95, 0}})));
        EXPECT_FALSE(s->interacts(pointList({{15, 0, 0}, {15, 95, 0}})));
        EXPECT_TRUE(s->interacts(pointList({{15, 0, 0}})));
        EXPECT_FALSE(s->interacts(*vectorList({V(15, 95, 0)})));
        EXPECT_TRUE(s->interacts(*vectorList({V(15, 95, 0), V(15, 0, 0)})));
        EXPECT_FALSE(s->contains(*vectorList({V(15, 0, 0), V(15, 95, 0)})));
        EXPECT_FALSE(s->interacts(box(14, -1, -1, 16, 95, 1)));
        EXPECT_FALSE(s->contains(box(14, -1, -1, 16, 95, 1)));
        EXPECT_TRUE(s->interacts(box(14, -1, -1, 16, 1, 1)));
        EXPECT_TRUE(s->contains(box(14, -1, -1, 16, 1, 1)));
    }
}
