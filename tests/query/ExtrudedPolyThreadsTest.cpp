#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "support/Points.h"
#include "support/Threads.h"
#include "zorvsupport/query/ExtrudedPoly.h"
#include "zorvsupport/query/PlanarPoly.h"

using namespace ZORV_3_13_0_::DataSet;
using ZELUNCompGeom::ZELUNPlane;
using testsupport::valuesOf;
using V = ZELUNVec3<double>;
using P3 = ZELUNnPoint<double, 3>;
using Box = ZELUNnBox<double, 3>;

// Eight threads share one extruded polygon and one plane-bounded region,
// both converting geographic positions to UTM, and must answer as one
// thread does: single points, point lists, 3-vector lists and boxes.
TEST(ExtrudedPolyThreads, SharedShapesAnswerAsOneThread)
{
    ZELUNCoordSystem const utm("EPSG:32633");
    ZELUNCoordSystem const geographic("EPSG:4326");

    // A wavy 1,000-vertex ring around (500000, 0), standing on z = 0 and
    // reaching z = 10 through the matrix's z scale.
    auto const ring = testsupport::wavyRing(500000, 0, 80000, 15000);
    ExtrudedPoly prism(ring, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.1, 0, 0, 0, 0, 1}, false);
    prism.setCoordSystem(geographic);
    prism.setPointsCoordSystem(utm);

    PlanarPoly slab({ZELUNPlane(1, 0, 0, 450000), ZELUNPlane(-1, 0, 0, -550000), ZELUNPlane(0, 1, 0, -50000),
                     ZELUNPlane(0, -1, 0, -50000), ZELUNPlane(0, 0, 1, -5), ZELUNPlane(0, 0, -1, -5)});
    slab.setCoordSystem(geographic);
    slab.setPointsCoordSystem(utm);

    std::mt19937_64 random(9);
    std::uniform_real_distribution<double> lon(13.9, 16.1), lat(-1.1, 1.1), z(-6, 12);
    std::size_t const n = 3000;
    auto vectors = testsupport::vectorList(n);
    V* v = valuesOf(*vectors);
    for (std::size_t i = 0; i < n; ++i) v[i] = V(lon(random), i % 97 == 0 ? 95 : lat(random), z(random));

    auto run = [&](std::vector<char>& out) {
        for (Polyhedron const* s : {static_cast<Polyhedron const*>(&prism), static_cast<Polyhedron const*>(&slab)}) {
            for (std::size_t i = 0; i < n; i += 3) out.push_back(s->contains(v[i]));
            for (std::size_t i = 0; i < n; i += 100) {
                auto window = testsupport::vectorList(100);
                ZELUNArray<ZELUNArray<double>> points(100);
                for (std::size_t k = 0; k < 100; ++k) {
                    valuesOf(*window)[k] = v[i + k];
                    points[k] = testsupport::point({v[i + k].x, v[i + k].y, v[i + k].z});
                }
                out.push_back(s->contains(*window));
                out.push_back(s->interacts(*window));
                out.push_back(s->contains(points));
                out.push_back(s->interacts(points));
            }
            for (std::size_t i = 0; i < n; i += 11) {
                Box const b(P3(v[i].x, v[i].y, v[i].z), P3(v[i].x + 0.05, v[i].y + 0.05, v[i].z + 2));
                out.push_back(s->contains(b));
                out.push_back(s->interacts(b));
            }
        }
    };

    std::vector<char> const single = testsupport::onOwnThread<std::vector<char>>(run);
    std::size_t inside = 0;
    for (char c : single) inside += c;
    ASSERT_GT(inside, 0u);
    ASSERT_LT(inside, single.size());

    for (std::vector<char> const& a : testsupport::onThreadsAtOnce<std::vector<char>>(8, run))
        EXPECT_TRUE(a == single);
}
