#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "support/Points.h"
#include "support/RecordingFactory.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/query/GeomUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using ZELUNCompGeom::ZELUNPolygonPrimitive;
using ZELUNCompGeom::ZELUNVector2D;
using testsupport::pointList;
using testsupport::RecordingFactory;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();

ZELUNArray<ZELUNVector2D> ring(std::initializer_list<ZELUNVector2D> vertices)
{
    ZELUNArray<ZELUNVector2D> r(vertices.size());
    std::size_t i = 0;
    for (ZELUNVector2D const& v : vertices) r[i++] = v;
    return r;
}

ZELUNArray<ZELUNVector2D> square(double x0, double y0, double x1, double y1)
{
    return ring({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

}  // namespace

TEST(GeomUtils, Vector2DToZELUNArray)
{
    ZELUNArray<ZELUNArray<double>> points = pointList({{9, 9, 9}, {9, 9, 9}, {9, 9, 9}, {9, 9, 9}, {9, 9, 9}});
    GeomUtils::vector2DToZELUNArray(ring({{0, 0}, {2, 0}, {2, 1}}), points);
    ASSERT_EQ(points.size(), 3u);
    double const expected[3][2] = {{0, 0}, {2, 0}, {2, 1}};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(points[i].size(), 2u);
        EXPECT_EQ(points[i][0], expected[i][0]);
        EXPECT_EQ(points[i][1], expected[i][1]);
    }
}

TEST(GeomUtils, SequenceOfRingIsClosed)
{
    auto const open = GeomUtils::compGeomToHPGeom(ring({{0, 0}, {2, 0}, {2, 1}}));
    ASSERT_EQ(open->getCount(), 4u);
    EXPECT_EQ(open->getCoord(3, 0), 0.0);
    EXPECT_EQ(open->getCoord(3, 1), 0.0);
    EXPECT_EQ(GeomUtils::compGeomToHPGeom(ring({{0, 0}, {2, 0}, {2, 1}, {0, 0}}))->getCount(), 4u);
    EXPECT_EQ(GeomUtils::compGeomToHPGeom(ZELUNArray<ZELUNVector2D>())->getCount(), 0u);
}

TEST(GeomUtils, Surfaces)
{
    auto const f = RecordingFactory::make();
    long status = -1;

    // No holes: the boundary gets an empty hole list, not a null one.
    auto const plain = GeomUtils::compGeomToHPGeom(*f, ZELUNPolygonPrimitive(square(0, 0, 10, 10)), status);
    ASSERT_TRUE(plain);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(f->log.holesNull, std::vector<bool>{false});
    EXPECT_EQ(f->log.holeCounts, std::vector<std::size_t>{0});
    EXPECT_EQ(f->log.ringCounts, std::vector<std::size_t>{5});

    // Interpolation types 1; the bool false but for the surface.
    f->log = {};
    auto const holed = GeomUtils::compGeomToHPGeom(
        *f, ZELUNPolygonPrimitive(square(0, 0, 10, 10), {square(4, 4, 6, 6)}), status);
    ASSERT_TRUE(holed);
    EXPECT_EQ(f->log.calls, (std::vector<std::string>{"createRing 1 false 0", "createRing 1 false 0",
                                                      "createSurfaceBoundary 1 false 0", "createSurface 1 true 0"}));
    EXPECT_EQ(holed->getBoundary().getNumHoles(), 1u);
    EXPECT_FALSE(holed->containsPoint(ZELUNVec3<double>(5, 5, 0), status));
    EXPECT_TRUE(holed->containsPoint(ZELUNVec3<double>(5, 4, 0), status));

    // A NaN hole stops before the boundary is asked for.
    f->log = {};
    auto const bad = GeomUtils::compGeomToHPGeom(
        *f, ZELUNPolygonPrimitive(square(0, 0, 10, 10), {ring({{1, 1}, {2, 1}, {kNaN, 2}}), square(4, 4, 6, 6)}),
        status);
    EXPECT_FALSE(bad);
    EXPECT_EQ(status, kErrGeomInvalid);
    EXPECT_EQ(f->log.rings, 2);
    EXPECT_EQ(f->log.boundaries, 0);
    EXPECT_EQ(f->log.surfaces, 0);

    // Multi-surfaces stop at the first polygon that fails.
    f->log = {};
    std::vector<ZELUNPolygonPrimitive> const two = {ZELUNPolygonPrimitive(square(0, 0, 1, 1)),
                                                    ZELUNPolygonPrimitive(square(2, 0, 3, 1))};
    auto const multi = GeomUtils::compGeomToHPGeom(*f, two, status);
    ASSERT_TRUE(multi);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(multi->getNumSurfaces(), 2u);
    EXPECT_EQ(f->log.calls.back(), "createMultiSurface false 0");
    f->log = {};
    std::vector<ZELUNPolygonPrimitive> const failing = {ZELUNPolygonPrimitive(ring({{0, 0}, {kNaN, 0}, {1, 1}})),
                                                        ZELUNPolygonPrimitive(square(2, 0, 3, 1))};
    EXPECT_FALSE(GeomUtils::compGeomToHPGeom(*f, failing, status));
    EXPECT_EQ(status, kErrGeomInvalid);
    EXPECT_EQ(f->log.rings, 1);
    EXPECT_EQ(f->log.multiSurfaces, 0);
}

TEST(GeomUtils, MultiPoints)
{
    auto const f = RecordingFactory::make();
    long status = -1;

    // Empty: the factory's multi-point of no points.
    auto const empty = GeomUtils::createMultiPoint(*f, ZELUNArray<ZELUNArray<double>>(), status);
    ASSERT_TRUE(empty);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(empty->getNumPoints(), 0u);
    EXPECT_EQ(f->log.multiPoints, 1);

    // x, y and z of each point reach the factory.
    f->log = {};
    auto const three = GeomUtils::createMultiPoint(*f, pointList({{1, 2, 3}, {4, 5, 6, 7}}), status);
    ASSERT_TRUE(three);
    EXPECT_EQ(three->getNumPoints(), 2u);
    EXPECT_EQ(f->log.points, (std::vector<ZELUNPoint<double>>{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(f->log.calls,
              (std::vector<std::string>{"createPoint xyz false 0", "createPoint xyz false 0", "createMultiPoint false 0"}));
    std::vector<ZELUNVec3<double>> const vectors = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    f->log = {};
    auto const fromVectors = GeomUtils::createMultiPoint(*f, vectors.begin() + 1, vectors.end(), status);
    ASSERT_TRUE(fromVectors);
    EXPECT_EQ(f->log.points, (std::vector<ZELUNPoint<double>>{{4, 5, 6}, {7, 8, 9}}));

    // The factory refuses the second point: the third is never offered.
    f->log = {};
    f->refusePoint = 2;
    EXPECT_FALSE(GeomUtils::createMultiPoint(*f, pointList({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), status));
    EXPECT_EQ(status, f->refuseStatus);
    EXPECT_EQ(f->log.points.size(), 2u);
    EXPECT_EQ(f->log.multiPoints, 0);
    f->log = {};
    EXPECT_FALSE(GeomUtils::createMultiPoint(*f, vectors.begin(), vectors.end(), status));
    EXPECT_EQ(status, f->refuseStatus);
    EXPECT_EQ(f->log.points.size(), 2u);
    f->refusePoint = 0;

    // A point of 2 values stops before the factory is asked for it.
    f->log = {};
    EXPECT_FALSE(GeomUtils::createMultiPoint(*f, pointList({{1, 2, 3}, {4, 5}, {7, 8, 9}}), status));
    EXPECT_EQ(status, kErrBadPointDimension);
    EXPECT_EQ(f->log.points.size(), 1u);
}

TEST(GeomUtils, AreaToExtrudedPolyIgnoresZ)
{
    ZELUNCoordSystem const system("EPSG:32633");
    ZELUNAreaGeometry const area(system, pointList({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), 4, ZELUN::kRotateAsGiven, false,
                                 false, false, false, false);
    ExtrudedPoly const prism = GeomUtils::areaGeom2DToExtrudedPoly(area);
    EXPECT_TRUE(prism.getIs2D());
    EXPECT_TRUE(prism.contains(ZELUNVec3<double>(0.5, 0.5, 1000)));
    EXPECT_TRUE(prism.contains(ZELUNVec3<double>(1, 1, -1e300)));  // a vertex: the ring's bound is inside
    EXPECT_FALSE(prism.contains(ZELUNVec3<double>(1.5, 0.5, 0)));
}
