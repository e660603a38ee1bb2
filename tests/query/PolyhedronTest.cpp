#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/Points.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/query/AxisBox.h"

using namespace ZORV_3_13_0_::DataSet;
using testsupport::point;
using testsupport::pointList;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kMax = 1.7976931348623157e308;

// The base's protected operations, opened up; the unit cube as its test.
class OpenShape : public Polyhedron {
public:
    using Polyhedron::changeCoordSys;
    using Polyhedron::contains;
    using Polyhedron::getBBArray;
    using Polyhedron::getMinMaxValues;
    using Polyhedron::interacts;
    using Polyhedron::isIdentityMatrix;
    using Polyhedron::project;
    using Polyhedron::transform;

    OpenShape() = default;
    OpenShape(OpenShape const&) = default;
    OpenShape& operator=(OpenShape const& other)
    {
        Polyhedron::operator=(other);
        return *this;
    }

    bool contains(ZELUNArray<double> const& p) const override
    {
        return p[0] >= 0 && p[0] <= 1 && p[1] >= 0 && p[1] <= 1 && p[2] >= 0 && p[2] <= 1;
    }
    bool contains(ZELUNnBox<double, 3> const&) const override { return false; }
    bool contains(ZELUNVec3<double> const& v) const override
    {
        ZELUNArray<double> p = point({v.x, v.y, v.z});
        return !transform(p) && contains(p);
    }
    bool interacts(ZELUNnBox<double, 3> const&) const override { return false; }
    ZELUNType<Polyhedron> newCopy() const override { return ZELUNType<Polyhedron>(new OpenShape(*this)); }
};

std::vector<double> identityWith(int index, double value)
{
    std::vector<double> m = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    m[index] = value;
    return m;
}

void expectPoint(ZELUNArray<double> const& p, std::vector<double> const& want, char const* label)
{
    ASSERT_EQ(p.size(), want.size()) << label;
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(p[i], want[i]) << label << " value " << i;
}

}  // namespace

TEST(Polyhedron, ProjectTable)
{
    struct Row {
        char const* label;
        int index;  // matrix entry changed from the identity (-1: none)
        double value;
        std::vector<double> in;
        long status;
        std::vector<double> out;
    } const rows[] = {
        {"identity keeps the point", -1, 0, {1, 2, 3}, 0, {1, 2, 3}},
        {"identity still counts values", -1, 0, {1, 2}, kErrBadPointDimension, {1, 2}},
        {"four values", -1, 0, {1, 2, 3, 4}, kErrBadPointDimension, {1, 2, 3, 4}},
        {"translation m[12] = 10", 12, 10, {1, 2, 3}, 0, {11, 2, 3}},
        {"w = 2 halves", 15, 2, {1, 2, 3}, 0, {0.5, 1, 1.5}},
        {"translation, 2 values", 12, 10, {1, 2}, kErrBadPointDimension, {1, 2}},
    };
    for (Row const& r : rows) {
        OpenShape s;
        if (r.index >= 0) {
            ASSERT_EQ(s.setMatrix(identityWith(r.index, r.value)), 0);
        }
        ZELUNArray<double> p(r.in.size());
        for (std::size_t i = 0; i < r.in.size(); ++i) p[i] = r.in[i];
        EXPECT_EQ(s.project(p), r.status) << r.label;
        expectPoint(p, r.out, r.label);
    }
}

// A point projected through a general matrix gets the sums in written order
// and the products with 1/w: 1/3 is inexact, so dividing would differ.
TEST(Polyhedron, ProjectMultipliesByTheReciprocal)
{
    OpenShape s;
    ASSERT_EQ(s.setMatrix(identityWith(15, 3)), 0);
    ZELUNArray<double> p = point({1, 5, 7});
    ASSERT_EQ(s.project(p), 0);
    double const r = 1.0 / 3.0;
    expectPoint(p, {1 * r, 5 * r, 7 * r}, "w = 3");
    EXPECT_NE(5 * r, 5.0 / 3.0);  // the case tells the two apart
}

TEST(Polyhedron, IdentityMatrixTest)
{
    OpenShape s;
    EXPECT_TRUE(s.isIdentityMatrix());
    ASSERT_EQ(s.setMatrix(identityWith(1, -0.0)), 0);
    EXPECT_TRUE(s.isIdentityMatrix());
    ASSERT_EQ(s.setMatrix(identityWith(1, kNaN)), 0);
    EXPECT_FALSE(s.isIdentityMatrix());
    ASSERT_EQ(s.setMatrix(identityWith(5, kNaN)), 0);
    EXPECT_FALSE(s.isIdentityMatrix());
    ASSERT_EQ(s.setMatrix(identityWith(12, 1e-300)), 0);
    EXPECT_FALSE(s.isIdentityMatrix());
}

TEST(Polyhedron, SetMatrixKeepsTheOldOneOnBadSizes)
{
    OpenShape s;
    ASSERT_EQ(s.setMatrix(identityWith(12, 10)), 0);
    for (std::size_t n : {0u, 15u, 17u}) {
        EXPECT_EQ(s.setMatrix(std::vector<double>(n, 0.0)), kErrBadMatrixSize) << n;
        ZELUNArray<double> p = point({1, 2, 3});
        ASSERT_EQ(s.project(p), 0);
        expectPoint(p, {11, 2, 3}, "old translation");
        EXPECT_TRUE(s.contains(ZELUNVec3<double>(-9.5, 0.5, 0.5)));
    }
}

TEST(Polyhedron, MinMaxValues)
{
    OpenShape s;
    double out[6];
    auto run = [&](ZELUNArray<ZELUNArray<double>> const& pts) {
        for (double& v : out) v = 42;  // canary
        return s.getMinMaxValues(pts, out[0], out[1], out[2], out[3], out[4], out[5]);
    };
    EXPECT_EQ(run(ZELUNArray<ZELUNArray<double>>()), kErrNoPoints);
    for (double v : out) EXPECT_EQ(v, 42);
    EXPECT_EQ(run(pointList({{1}, {1, 2, 3}})), kErrBadPointDimension);
    for (double v : out) EXPECT_EQ(v, 42);

    ASSERT_EQ(run(pointList({{1, 2, 3}, {4, 0}})), 0);
    EXPECT_EQ(out[0], 1);      // minX
    EXPECT_EQ(out[1], 0);      // minY
    EXPECT_EQ(out[2], -kMax);  // minZ
    EXPECT_EQ(out[3], 4);      // maxX
    EXPECT_EQ(out[4], 2);      // maxY
    EXPECT_EQ(out[5], kMax);   // maxZ

    ASSERT_EQ(run(pointList({{1, 2, 3}, {kNaN, -1, 7}, {0, 5, 2}})), 0);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], -1);
    EXPECT_EQ(out[2], 2);
    EXPECT_EQ(out[3], 1);
    EXPECT_EQ(out[4], 5);
    EXPECT_EQ(out[5], 7);
}

TEST(Polyhedron, BoxCornerOrder)
{
    OpenShape s;
    ZELUNArray<ZELUNArray<double>> corners;
    ZELUNnBox<double, 3> const box(ZELUNnPoint<double, 3>(0, 0, 0), ZELUNnPoint<double, 3>(1, 2, 3));
    ASSERT_EQ(s.getBBArray(corners, box), 0);
    double const want[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 2, 0}, {1, 2, 3}, {0, 2, 3}, {0, 0, 3}, {1, 0, 3}, {0, 2, 0}};
    ASSERT_EQ(corners.size(), 8u);
    for (int c = 0; c < 8; ++c) expectPoint(corners[c], {want[c][0], want[c][1], want[c][2]}, "corner");
}

TEST(Polyhedron, CoordinateSystemsCopiesAndHolders)
{
    ZELUNCoordSystem const geographic("EPSG:4326");
    ZELUNCoordSystem const utm("EPSG:32633");

    OpenShape one;
    one.setCoordSystem(geographic);  // the other one unset: no change
    ZELUNArray<double> p = point({15, 0, 0});
    EXPECT_EQ(one.changeCoordSys(p), 0);
    expectPoint(p, {15, 0, 0}, "one system");

    OpenShape both;
    both.setCoordSystem(geographic);
    both.setPointsCoordSystem(utm);
    OpenShape const copy(both);
    ZELUNArray<ZELUNArray<double>> list = pointList({{15, 0, 7}});
    ASSERT_EQ(copy.changeCoordSys(list), 0);
    EXPECT_NEAR(list[0][0], 500000, 1e-6);
    EXPECT_NEAR(list[0][1], 0, 1e-6);
    EXPECT_EQ(list[0][2], 7);

    both = OpenShape();  // assignment from a shape without systems clears them
    p = point({15, 0, 0});
    EXPECT_EQ(both.transform(p), 0);
    expectPoint(p, {15, 0, 0}, "systems cleared");

    ZELUNType<Polyhedron> a = copy.newCopy();
    ZELUNType<Polyhedron> b = a;
    EXPECT_TRUE(a.isNull());
    ASSERT_FALSE(b.isNull());
    EXPECT_TRUE(b->contains(pointList({{15, 0, 0}})) == false);  // converted far from the unit cube
    b = ZELUNType<Polyhedron>();
    EXPECT_TRUE(b.isNull());
}

TEST(Polyhedron, BaseListRules)
{
    OpenShape s;
    auto empty = testsupport::vectorList(0);
    EXPECT_TRUE(s.contains(ZELUNArray<ZELUNArray<double>>()));
    EXPECT_FALSE(s.interacts(ZELUNArray<ZELUNArray<double>>()));
    EXPECT_TRUE(s.contains(*empty));
    EXPECT_FALSE(s.interacts(*empty));

    auto const mixed = pointList({{0.5, 0.5, 0.5}, {0.5, 0.5}, {0.2, 0.2, 0.2}});
    EXPECT_FALSE(s.contains(mixed));
    EXPECT_FALSE(s.interacts(mixed));
    EXPECT_TRUE(s.interacts(pointList({{5, 5, 5}, {0.5, 0.5, 0.5}})));
    EXPECT_FALSE(s.contains(pointList({{5, 5, 5}, {0.5, 0.5, 0.5}})));
}
