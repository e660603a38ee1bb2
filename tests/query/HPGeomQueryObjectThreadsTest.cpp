#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "support/HPGeom.h"
#include "support/Points.h"
#include "support/Threads.h"
#include "zorvsupport/platform/GeosThreadCache.h"
#include "zorvsupport/query/ExtrudedPoly.h"
#include "zorvsupport/query/HPGeomQueryObject.h"

using namespace ZORV_3_13_0_::DataSet;
using P3 = ZELUNnPoint<double, 3>;

namespace {

struct Answers {
    std::vector<char> points, lists, boxes, prism;
    unsigned long long builds = 0;
    bool operator==(Answers const& o) const
    {
        return points == o.points && lists == o.lists && boxes == o.boxes && prism == o.prism;
    }
};

}  // namespace

// Eight threads share one shape around a surface, and one extruded polygon
// over the same outer ring, and must answer as one thread does; each
// prepares the surface's engine form exactly once (the engine's insides are
// out of the sanitizer's sight, so the count shows it).
TEST(HPGeomQueryObjectThreads, SharedSurface)
{
    auto const f = testsupport::hpFactory();
    // A wavy 1,000-vertex ring around the origin with a square hole.
    auto const outer = testsupport::wavyRing(0, 0, 800, 150);
    auto const surface = testsupport::surface(*f, outer, {testsupport::rect(-100, -100, 100, 100)});
    ASSERT_TRUE(surface);
    HPGeomQueryObject const shape(surface);
    ExtrudedPoly const prism(outer, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, true);

    std::mt19937_64 random(21);
    std::uniform_real_distribution<double> coord(-1000, 1000);
    std::vector<ZELUNVec3<double>> positions(3000);
    for (auto& p : positions) p = ZELUNVec3<double>(coord(random), coord(random), coord(random));

    auto run = [&](Answers& out) {
        for (auto const& p : positions) {
            out.points.push_back(shape.contains(p));
            out.prism.push_back(prism.contains(p));
        }
        for (std::size_t i = 0; i + 3 <= positions.size(); i += 30) {
            ZELUNArray<ZELUNArray<double>> list(3);
            for (std::size_t k = 0; k < 3; ++k) {
                auto const& p = positions[i + k];
                list[k] = testsupport::point({p.x / 4, p.y / 4, p.z});
            }
            out.lists.push_back(shape.contains(list));
            out.lists.push_back(shape.interacts(list));
        }
        for (std::size_t i = 0; i < positions.size(); i += 15) {
            auto const& p = positions[i];
            ZELUNnBox<double, 3> const b(P3(p.x, p.y, 0), P3(p.x + 60, p.y + 60, 1));
            out.boxes.push_back(shape.contains(b));
            out.boxes.push_back(shape.interacts(b));
            out.prism.push_back(prism.contains(b));
            out.prism.push_back(prism.interacts(b));
        }
        out.builds = ZELUNGeos::preparedBuildCount();
    };

    Answers const single = testsupport::onOwnThread<Answers>(run);
    ASSERT_EQ(single.builds, 1u);
    std::size_t partial = 0;
    for (std::size_t i = 0; i < single.boxes.size(); i += 2) partial += !single.boxes[i] && single.boxes[i + 1];
    ASSERT_GT(partial, 0u);  // some boxes cross the boundary
    // Outside the hole the prism and the surface locate a position alike.
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (std::fabs(positions[i].x) > 100 || std::fabs(positions[i].y) > 100) {
            ASSERT_EQ(single.prism[i], single.points[i]) << i;
        }
    }

    for (Answers const& a : testsupport::onThreadsAtOnce<Answers>(8, run)) {
        EXPECT_TRUE(a == single);
        EXPECT_EQ(a.builds, 1u);
    }
}
