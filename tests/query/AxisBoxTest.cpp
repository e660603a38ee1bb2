#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

#include "support/Points.h"
#include "zorvsupport/query/AxisBox.h"
#include "zorvsupport/query/XYAxisBox.h"

using namespace ZORV_3_13_0_::DataSet;
using testsupport::pointList;
using testsupport::valuesOf;
using testsupport::vectorList;
using V = ZELUNVec3<double>;
using P3 = ZELUNnPoint<double, 3>;
using P2 = ZELUNnPoint<double, 2>;
using Box = ZELUNnBox<double, 3>;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();

AxisBox unitBox()
{
    return AxisBox(P3(0, 0, 0), P3(1, 1, 1));
}

XYAxisBox unitColumn()
{
    return XYAxisBox(P2(1, 1), P2(0, 0), 0);
}

Box box(double x0, double y0, double z0, double x1, double y1, double z1)
{
    return Box(P3(x0, y0, z0), P3(x1, y1, z1));
}

std::vector<double> translation(double dx)
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, dx, 0, 0, 1};
}

}  // namespace

// Each row asks one shape one question; all answers from the figures of the
// boxes' definitions.
TEST(AxisBox, FiguresTable)
{
    // The constructor orders each axis: (1, 5, 0) and (3, 2, 4) span
    // x 1..3, y 2..5, z 0..4.
    AxisBox const swapped(P3(1, 5, 0), P3(3, 2, 4));
    AxisBox const unit = unitBox();
    XYAxisBox const column = unitColumn();
    AxisBox translated = unitBox();
    ASSERT_EQ(translated.setMatrix(translation(10)), 0);

    struct Row {
        char const* label;
        Polyhedron const& shape;
        V point;
        bool contains;
    } const points[] = {
        {"swapped: low corner", swapped, V(1, 2, 0), true},
        {"swapped: high corner", swapped, V(3, 5, 4), true},
        {"swapped: centre", swapped, V(2, 3.5, 2), true},
        {"swapped: below x", swapped, V(0.999, 3, 2), false},
        {"swapped: above y", swapped, V(2, 5.001, 2), false},
        {"face", unit, V(1, 0.5, 0.5), true},
        {"edge", unit, V(1, 1, 0.5), true},
        {"corner", unit, V(0, 0, 0), true},
        {"NaN x", unit, V(kNaN, 0.5, 0.5), false},
        {"NaN z", unit, V(0.5, 0.5, kNaN), false},
        {"column: far above", column, V(0.5, 0.5, 1e300), true},
        {"column: just below", column, V(0.5, 0.5, -1e-9), false},
        {"column: on the floor", column, V(0.5, 0.5, 0), true},
        {"column: beside", column, V(1.5, 0.5, 5), false},
        {"column: NaN z", column, V(0.5, 0.5, kNaN), false},
        {"translated: moved in", translated, V(-9.5, 0.5, 0.5), true},
        {"translated: moved out", translated, V(0.5, 0.5, 0.5), false},
    };
    for (Row const& r : points) EXPECT_EQ(r.shape.contains(r.point), r.contains) << r.label;

    struct BoxRow {
        char const* label;
        Polyhedron const& shape;
        Box b;
        bool contains;
        bool interacts;
    } const boxes[] = {
        {"shared corner", unit, box(1, 1, 1, 2, 2, 2), false, true},
        {"apart", unit, box(1.5, 0, 0, 2, 1, 1), false, false},
        {"sticking out", unit, box(0.5, 0.5, 0.5, 1.5, 0.8, 0.8), false, true},
        {"inside", unit, box(0.2, 0.2, 0.2, 0.8, 0.8, 0.8), true, true},
        {"the box itself", unit, box(0, 0, 0, 1, 1, 1), true, true},
        {"given high corner first", unit, box(0.8, 0.8, 0.8, 0.2, 0.2, 0.2), true, true},
        {"column: above", column, box(0.2, 0.2, 5, 0.8, 0.8, 6), true, true},
        {"column: wholly below", column, box(0.2, 0.2, -6, 0.8, 0.8, -5), false, false},
        {"column: across the floor", column, box(0.2, 0.2, -1, 0.8, 0.8, 1), false, true},
        {"column: beside", column, box(2, 0, 0, 3, 1, 1), false, false},
        {"translated: moved in", translated, box(-9.8, 0.2, 0.2, -9.2, 0.8, 0.8), true, true},
        {"translated: moved out", translated, box(0.2, 0.2, 0.2, 0.8, 0.8, 0.8), false, false},
    };
    for (BoxRow const& r : boxes) {
        EXPECT_EQ(r.shape.contains(r.b), r.contains) << r.label;
        EXPECT_EQ(r.shape.interacts(r.b), r.interacts) << r.label;
    }
}

TEST(AxisBox, CopiesAndSet)
{
    AxisBox a = unitBox();
    ASSERT_EQ(a.setMatrix(translation(10)), 0);
    a.set(P3(3, 3, 3), P3(2, 2, 2));
    EXPECT_TRUE(a.contains(V(-7.5, 2.5, 2.5)));  // new bounds, matrix kept

    AxisBox b = unitBox();
    b = a;
    EXPECT_TRUE(b.contains(V(-7.5, 2.5, 2.5)));
    ZELUNType<Polyhedron> c = b.newCopy();
    EXPECT_TRUE(c->contains(V(-7.5, 2.5, 2.5)));
    EXPECT_FALSE(c->contains(V(2.5, 2.5, 2.5)));

    XYAxisBox x = unitColumn();
    x.set(P2(0, 0), P2(-1, -1), 5);
    XYAxisBox y(x);
    EXPECT_TRUE(y.contains(V(-0.5, -0.5, 5)));
    EXPECT_FALSE(y.contains(V(-0.5, -0.5, 4)));
}

TEST(AxisBox, Lists)
{
    AxisBox const unit = unitBox();
    XYAxisBox const column = unitColumn();
    for (Polyhedron const* s : {static_cast<Polyhedron const*>(&unit), static_cast<Polyhedron const*>(&column)}) {
        auto empty = vectorList(0);
        EXPECT_TRUE(s->contains(ZELUNArray<ZELUNArray<double>>()));
        EXPECT_FALSE(s->interacts(ZELUNArray<ZELUNArray<double>>()));
        EXPECT_TRUE(s->contains(*empty));
        EXPECT_FALSE(s->interacts(*empty));

        auto const mixed = pointList({{0.5, 0.5, 0.5}, {0.5, 0.5}, {0.2, 0.2, 0.2}});
        EXPECT_FALSE(s->contains(mixed));
        EXPECT_FALSE(s->interacts(mixed));
        // A short point after the first one inside still makes interacts false.
        EXPECT_FALSE(s->interacts(pointList({{0.5, 0.5, 0.5}, {9, 9, 9, 9}})));
        EXPECT_TRUE(s->interacts(pointList({{9, 9, 9}, {0.5, 0.5, 0.5}})));
        EXPECT_FALSE(s->contains(pointList({{9, 9, 9}, {0.5, 0.5, 0.5}})));
        EXPECT_TRUE(s->contains(pointList({{0, 0, 0}, {0.5, 0.5, 0.5}})));

        auto some = vectorList({V(9, 9, 9), V(0.5, 0.5, 0.5)});
        EXPECT_FALSE(s->contains(*some));
        EXPECT_TRUE(s->interacts(*some));
    }
}

// Lists longer than one chunk of the driver: the answer turns on the last
// element, or on one short point far down the list.
TEST(AxisBox, ListsAcrossChunks)
{
    AxisBox const unit = unitBox();
    std::size_t const n = 2500;
    ZELUNArray<ZELUNArray<double>> points(n);
    auto vectors = vectorList(n);
    for (std::size_t i = 0; i < n; ++i) {
        points[i] = testsupport::point({0.5, 0.5, 0.5});
        valuesOf(*vectors)[i] = V(0.5, 0.5, 0.5);
    }
    EXPECT_TRUE(unit.contains(points));
    EXPECT_TRUE(unit.contains(*vectors));
    points[n - 1] = testsupport::point({2, 0.5, 0.5});
    valuesOf(*vectors)[n - 1] = V(2, 0.5, 0.5);
    EXPECT_FALSE(unit.contains(points));
    EXPECT_FALSE(unit.contains(*vectors));
    EXPECT_TRUE(unit.interacts(points));
    EXPECT_TRUE(unit.interacts(*vectors));
    points[2000] = testsupport::point({0.5, 0.5});
    EXPECT_FALSE(unit.interacts(points));
    EXPECT_EQ(points[2000].size(), 2u);  // the caller's list is left alone
}

namespace {

// A host's subclass that counts its tests: the box must call it for every
// element instead of running its own inline test.
class CountingBox : public AxisBox {
public:
    CountingBox() : AxisBox(P3(0, 0, 0), P3(1, 1, 1)) {}
    using AxisBox::contains;

    bool contains(V const& v) const override
    {
        ++vectorCalls;
        return AxisBox::contains(v);
    }
    mutable int vectorCalls = 0;
    mutable int pointCalls = 0;

protected:
    bool contains(ZELUNArray<double> const& p) const override
    {
        ++pointCalls;
        return AxisBox::contains(p);
    }
};

}  // namespace

TEST(AxisBox, HostSubclassIsCalledPerElement)
{
    CountingBox counting;
    auto inside = vectorList({V(0.1, 0.1, 0.1), V(0.2, 0.2, 0.2), V(0.3, 0.3, 0.3), V(0.4, 0.4, 0.4)});
    EXPECT_TRUE(counting.contains(*inside));
    EXPECT_EQ(counting.vectorCalls, 4);
    auto outside = vectorList({V(5, 5, 5), V(6, 6, 6), V(7, 7, 7)});
    EXPECT_FALSE(counting.interacts(*outside));
    EXPECT_EQ(counting.vectorCalls, 7);

    counting.pointCalls = 0;
    EXPECT_TRUE(counting.contains(pointList({{0.1, 0.1, 0.1}, {0.9, 0.9, 0.9}})));
    EXPECT_EQ(counting.pointCalls, 2);
    EXPECT_TRUE(counting.contains(box(0.1, 0.1, 0.1, 0.2, 0.2, 0.2)));
    EXPECT_EQ(counting.pointCalls, 10);  // the 8 corners
}

namespace {

// Holds (15, 0) both raw and converted to UTM zone 33 (500000, 0).
AxisBox wideBox()
{
    AxisBox b(P3(0, -1e7, -10), P3(1e6, 1e7, 10));
    b.setCoordSystem(ZELUNCoordSystem("EPSG:4326"));
    b.setPointsCoordSystem(ZELUNCoordSystem("EPSG:32633"));
    return b;
}

}  // namespace

TEST(AxisBox, FailedConversionAnswersFalse)
{
    AxisBox const b = wideBox();
    EXPECT_TRUE(b.contains(V(15, 0, 0)));
    EXPECT_FALSE(b.contains(V(15, 95, 0)));
    EXPECT_FALSE(b.contains(pointList({{15, 0, 0}, {15, 95, 0}})));
    EXPECT_FALSE(b.interacts(pointList({{15, 0, 0}, {15, 95, 0}})));
    EXPECT_TRUE(b.interacts(pointList({{15, 0, 0}})));
    EXPECT_FALSE(b.interacts(*vectorList({V(15, 95, 0)})));
    EXPECT_TRUE(b.interacts(*vectorList({V(15, 95, 0), V(15, 0, 0)})));
    EXPECT_FALSE(b.contains(*vectorList({V(15, 0, 0), V(15, 95, 0)})));
    EXPECT_FALSE(b.interacts(box(14, 94, -1, 16, 96, 1)));
    EXPECT_FALSE(b.contains(box(14, 94, -1, 16, 96, 1)));
    EXPECT_TRUE(b.interacts(box(14, -1, -1, 16, 1, 1)));
    EXPECT_TRUE(b.contains(box(14, -1, -1, 16, 1, 1)));
}

TEST(AxisBox, VectorListsAgreeWithSingleAnswers)
{
    AxisBox b(P3(400000, -300000, -10), P3(600000, 300000, 10));
    b.setCoordSystem(ZELUNCoordSystem("EPSG:4326"));
    b.setPointsCoordSystem(ZELUNCoordSystem("EPSG:32633"));
    ASSERT_EQ(b.setMatrix(translation(1000)), 0);

    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> lon(12, 18), lat(-4, 4), z(-12, 12), pick(0, 1);
    std::size_t const n = 100000;
    auto all = vectorList(n);
    V* v = valuesOf(*all);
    for (std::size_t i = 0; i < n; ++i) v[i] = V(lon(random), pick(random) < 0.01 ? 91 + lat(random) : lat(random), z(random));
    std::vector<char> single(n);
    for (std::size_t i = 0; i < n; ++i) single[i] = b.contains(v[i]);

    // Windows of several lengths, across chunk boundaries.
    for (std::size_t len : {1u, 3u, 1023u, 1025u, 3000u}) {
        for (std::size_t start = 0; start + len <= n; start += 7919) {
            auto window = vectorList(len);
            ZELUNArray<ZELUNArray<double>> points(len);
            bool every = true, some = false, anyFailed = false;
            for (std::size_t i = 0; i < len; ++i) {
                V const& e = v[start + i];
                valuesOf(*window)[i] = e;
                points[i] = testsupport::point({e.x, e.y, e.z});
                every = every && single[start + i];
                some = some || single[start + i];
                anyFailed = anyFailed || e.y > 90;
            }
            ASSERT_EQ(b.contains(*window), every) << start << "+" << len;
            ASSERT_EQ(b.interacts(*window), some) << start << "+" << len;
            // In a point list one failed conversion makes both answers false.
            ASSERT_EQ(b.contains(points), every) << start << "+" << len;
            ASSERT_EQ(b.interacts(points), some && !anyFailed) << start << "+" << len;
        }
    }
}
