#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "support/Points.h"
#include "support/Threads.h"
#include "zorvsupport/platform/GeosThreadCache.h"
#include "zorvsupport/platform/ZELUNAreaGeometry.h"
#include "zorvsupport/query/AxisBox.h"
#include "zorvsupport/query/GeomFilter.h"

using namespace ZORV_3_13_0_::DataSet;
using P2 = ZELUNnPoint<double, 2>;
using P3 = ZELUNnPoint<double, 3>;

namespace {

struct Answers {
    std::vector<char> points, boxes, vectors;
    unsigned long long builds = 0;
    bool operator==(Answers const& o) const { return points == o.points && boxes == o.boxes && vectors == o.vectors; }
};

}  // namespace

// Eight threads share one geometry filter and one box with both systems set
// and must answer as one thread does. Each thread builds its own prepared
// geometry of the area, exactly once.
TEST(QueryThreads, SharedFilterAndBox)
{
    ZELUNCoordSystem const utm("EPSG:32633");
    ZELUNCoordSystem const geographic("EPSG:4326");

    // A wavy 1,000-vertex ring around (500000, 0).
    auto const ring = testsupport::wavyRing(500000, 0, 80000, 15000);
    GeomFilter const filter(ZELUNAreaGeometry(utm, ring, 1000, ZELUN::kRotateAsGiven, false, false, false, false, false));
    ASSERT_EQ(filter.setInputCoordSystem(geographic), 0);

    AxisBox box(P3(450000, -50000, -5), P3(550000, 50000, 5));
    box.setCoordSystem(geographic);
    box.setPointsCoordSystem(utm);

    std::mt19937_64 random(8);
    std::uniform_real_distribution<double> lon(13.9, 16.1), lat(-1.1, 1.1), z(-6, 6);
    std::vector<P2> positions(2000);
    for (P2& p : positions) p = P2(lon(random), lat(random));
    auto vectors = testsupport::vectorList(3000);
    for (std::size_t i = 0; i < 3000; ++i) testsupport::valuesOf(*vectors)[i] = ZELUNVec3<double>(lon(random), lat(random), z(random));

    auto run = [&](Answers& out) {
        for (P2 const& p : positions) out.points.push_back(filter.checkPoint(p));
        for (std::size_t i = 0; i + 1 < positions.size(); i += 10) {
            P2 const& p = positions[i];
            out.boxes.push_back(filter.checkBox(ZELUNnBox<double, 2>(p, P2(p[0] + 0.05, p[1] + 0.05))));
        }
        for (std::size_t i = 0; i < 3000; i += 100) {
            auto window = testsupport::vectorList(100);
            for (std::size_t k = 0; k < 100; ++k) testsupport::valuesOf(*window)[k] = testsupport::valuesOf(*vectors)[i + k];
            out.vectors.push_back(box.contains(*window));
            out.vectors.push_back(box.interacts(*window));
        }
        for (std::size_t i = 0; i < 3000; i += 7) out.vectors.push_back(box.contains(testsupport::valuesOf(*vectors)[i]));
        out.builds = ZELUNGeos::preparedBuildCount();
    };

    Answers const single = testsupport::onOwnThread<Answers>(run);
    ASSERT_EQ(single.builds, 1u);
    std::size_t partial = 0;
    for (char b : single.boxes) partial += b == kPartiallyCovered;
    ASSERT_GT(partial, 0u);  // the engine's path was taken

    for (Answers const& a : testsupport::onThreadsAtOnce<Answers>(8, run)) {
        EXPECT_TRUE(a == single);
        EXPECT_EQ(a.builds, 1u);
    }
}
