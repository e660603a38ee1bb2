#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "zorvsupport/platform/RingLocator.h"
#include "zorvsupport/platform/ZELUNCompGeom.h"

using ZELUNCompGeom::isPointInRing;
using ZELUNCompGeom::RingLocator;
using ZELUNCompGeom::ZELUNExactCalc;
using ZELUNCompGeom::ZELUNVector2D;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kInf = std::numeric_limits<double>::infinity();

ZELUNArray<ZELUNVector2D> ring(std::vector<ZELUNVector2D> const& v)
{
    ZELUNArray<ZELUNVector2D> r(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) r[i] = v[i];
    return r;
}

ZELUNArray<ZELUNVector2D> unitSquare(bool closed)
{
    std::vector<ZELUNVector2D> v = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    if (closed) v.push_back(v[0]);
    return ring(v);
}

}  // namespace

TEST(RingTest, UnitSquareOpenAndClosed)
{
    struct Row {
        double x, y;
        int where;  // 0 outside, 1 on the ring, 2 inside
    } const rows[] = {
        {0.5, 0.5, 2}, {1e-300, 0.5, 2}, {0.5, 0, 1}, {1, 0.5, 1}, {0.5, 1, 1}, {0, 0.5, 1},
        {0, 0, 1},     {1, 0, 1},        {1, 1, 1},   {0, 1, 1},   {-1e-300, 0.5, 0}, {1.5, 0.5, 0},
        {0.5, -0.5, 0}, {0.5, 1.5, 0},   {2, 0, 0},   {-1, 1, 0},  {2, 1, 0},   {-1, 0, 0},
    };
    ZELUNExactCalc const calc;
    for (bool closed : {false, true}) {
        ZELUNArray<ZELUNVector2D> const r = unitSquare(closed);
        RingLocator const locator(r);
        for (Row const& row : rows) {
            for (bool boundaryInside : {false, true}) {
                bool const want = row.where == 2 || (row.where == 1 && boundaryInside);
                EXPECT_EQ(isPointInRing(row.x, row.y, r, 0.0, boundaryInside, &calc), want)
                    << row.x << "," << row.y << " closed " << closed << " boundary " << boundaryInside;
                EXPECT_EQ(isPointInRing(row.x, row.y, r, 0.0, boundaryInside, nullptr), want);
            }
            EXPECT_EQ(static_cast<int>(locator.locate(row.x, row.y)), row.where) << row.x << "," << row.y;
        }
    }
}

// Points on the edge (0, 0)-(1024, 3) of a triangle, and one ulp off it:
// above the edge is outside, below it (or right of it) inside.
TEST(RingTest, ExactNearAnEdge)
{
    ZELUNArray<ZELUNVector2D> const r = ring({{0, 0}, {1024, 3}, {1024, 0}});
    RingLocator const locator(r);
    for (int k = 1; k < 4096; k += 7) {
        double const x = k / 4.0;
        double const y = 3.0 * k / 4096.0;  // exactly on the edge
        EXPECT_TRUE(isPointInRing(x, y, r, 0, true, nullptr)) << k;
        EXPECT_FALSE(isPointInRing(x, y, r, 0, false, nullptr)) << k;
        EXPECT_FALSE(isPointInRing(x, std::nextafter(y, kInf), r, 0, true, nullptr)) << k;
        EXPECT_TRUE(isPointInRing(x, std::nextafter(y, 0.0), r, 0, false, nullptr)) << k;
        EXPECT_TRUE(isPointInRing(std::nextafter(x, kInf), y, r, 0, false, nullptr)) << k;
        EXPECT_FALSE(isPointInRing(std::nextafter(x, 0.0), y, r, 0, true, nullptr)) << k;
        EXPECT_EQ(locator.locate(x, y), RingLocator::kBoundary) << k;
        EXPECT_EQ(locator.locate(x, std::nextafter(y, kInf)), RingLocator::kExterior) << k;
        EXPECT_EQ(locator.locate(std::nextafter(x, kInf), y), RingLocator::kInterior) << k;
    }
}

TEST(RingTest, NonFiniteAndDegenerateInputs)
{
    ZELUNArray<ZELUNVector2D> const square = unitSquare(false);
    for (double bad : {kNaN, kInf, -kInf}) {
        for (bool b : {false, true}) {
            EXPECT_FALSE(isPointInRing(bad, 0.5, square, 0, b, nullptr));
            EXPECT_FALSE(isPointInRing(0.5, bad, square, 0, b, nullptr));
        }
        EXPECT_EQ(RingLocator(square).locate(bad, 0.5), RingLocator::kExterior);
        EXPECT_EQ(RingLocator(square).locate(0.5, bad), RingLocator::kExterior);
        ZELUNArray<ZELUNVector2D> const broken = ring({{0, 0}, {1, 0}, {bad, 1}, {0, 1}});
        EXPECT_FALSE(isPointInRing(0.5, 0.5, broken, 0, true, nullptr));
        EXPECT_EQ(RingLocator(broken).locate(0.5, 0.5), RingLocator::kExterior);
    }
    // Two vertices, closed or not, are no ring; a bow-tie follows even-odd.
    EXPECT_FALSE(isPointInRing(0.5, 0, ring({{0, 0}, {1, 0}}), 0, true, nullptr));
    EXPECT_FALSE(isPointInRing(0.5, 0, ring({{0, 0}, {1, 0}, {0, 0}}), 0, true, nullptr));
    EXPECT_FALSE(isPointInRing(0, 0, ZELUNArray<ZELUNVector2D>(), 0, true, nullptr));
    ZELUNArray<ZELUNVector2D> const bowTie = ring({{0, 0}, {2, 2}, {2, 0}, {0, 2}});
    EXPECT_TRUE(isPointInRing(1.5, 1, bowTie, 0, false, nullptr));
    EXPECT_FALSE(isPointInRing(1, 1.5, bowTie, 0, false, nullptr));
    // Huge coordinates whose differences overflow still answer exactly.
    ZELUNArray<ZELUNVector2D> const huge = ring({{-1e308, -1e308}, {1e308, -1e308}, {1e308, 1e308}, {-1e308, 1e308}});
    EXPECT_TRUE(isPointInRing(0, 0, huge, 0, false, nullptr));
    EXPECT_TRUE(isPointInRing(1e308, 0, huge, 0, true, nullptr));
    EXPECT_FALSE(isPointInRing(1e308, 0, huge, 0, false, nullptr));
}

// Two rings, even-odd: the inner square is a hole.
TEST(RingTest, LocatorOverSeveralRings)
{
    std::vector<ZELUNArray<ZELUNVector2D>> const rings = {
        ring({{0, 0}, {4, 0}, {4, 4}, {0, 4}}), ring({{1, 1}, {3, 1}, {3, 3}, {1, 3}, {1, 1}}), ring({{9, 9}, {9, 9}})};
    RingLocator const locator(rings);
    EXPECT_EQ(locator.locate(0.5, 0.5), RingLocator::kInterior);
    EXPECT_EQ(locator.locate(2, 2), RingLocator::kExterior);
    EXPECT_EQ(locator.locate(1, 2), RingLocator::kBoundary);
    EXPECT_EQ(locator.locate(4, 4), RingLocator::kBoundary);
    EXPECT_EQ(locator.locate(5, 2), RingLocator::kExterior);
}

TEST(RingTest, LocatorAgreesWithTheRingTest)
{
    // A spiky 1,000-vertex ring with vertices on a grid of 1/8, so many
    // random points fall exactly on edges and vertex lines.
    std::mt19937_64 random(4);
    std::uniform_int_distribution<int> radius(8, 800);
    std::vector<ZELUNVector2D> v;
    int const n = 1000;
    for (int i = 0; i < n; ++i) {
        double const a = 2 * M_PI * i / n;
        double const r = radius(random) / 8.0;
        v.emplace_back(std::round(8 * r * std::cos(a)) / 8, std::round(8 * r * std::sin(a)) / 8);
    }
    ZELUNArray<ZELUNVector2D> const r = ring(v);
    RingLocator const locator(r);
    std::uniform_int_distribution<int> grid(-850, 850);
    std::uniform_real_distribution<double> any(-110, 110);
    int boundary = 0;
    for (int i = 0; i < 100000; ++i) {
        bool const onGrid = i % 2 == 0;
        double const x = onGrid ? grid(random) / 8.0 : any(random);
        double const y = onGrid ? grid(random) / 8.0 : any(random);
        bool const in = isPointInRing(x, y, r, 0, false, nullptr);
        bool const cover = isPointInRing(x, y, r, 0, true, nullptr);
        RingLocator::Location const want =
            in ? RingLocator::kInterior : cover ? RingLocator::kBoundary : RingLocator::kExterior;
        ASSERT_EQ(locator.locate(x, y), want) << x << "," << y;
        boundary += want == RingLocator::kBoundary;
    }
    EXPECT_GT(boundary, 0);  // the grid points did reach the ring
}
