#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include <sched.h>

#include "support/RecordingProgress.h"
#include "zorvsupport/platform/ZELUNMatrix3D.h"
#include "zorvsupport/platform/ZELUNSystem.h"
#include "zorvsupport/platform/ZELUNVector3D.h"

using ZELUNCompGeom::ZELUNMatrix3D;
using ZELUNCompGeom::ZELUNVector3D;

TEST(ZELUNMatrix3D, ConstructionAndIndexing)
{
    ZELUNMatrix3D const zero;
    ZELUNMatrix3D const m(1, 2, 3, 4, 5, 6, 7, 8, 9);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(zero(r, c), 0.0);
            EXPECT_EQ(m(r, c), 3 * r + c + 1);
        }
    }
    ZELUNVector3D const v;
    EXPECT_EQ(v.x, 0.0);
    EXPECT_EQ(v.y, 0.0);
    EXPECT_EQ(v.z, 0.0);
}

// The sums run ((a0 b0 + a1 b1) + a2 b2): with terms 1e16, -1e16 and 1 any
// other order loses the 1.
TEST(ZELUNMatrix3D, SumsInAFixedOrder)
{
    ZELUNMatrix3D const m(1e16, -1e16, 1, 0, 0, 0, 1e16, 1, -1e16);
    ZELUNVector3D const r = m * ZELUNVector3D(1, 1, 1);
    EXPECT_EQ(r.x, 1.0);
    EXPECT_EQ(r.y, 0.0);
    EXPECT_EQ(r.z, 0.0);  // (1e16 + 1) rounds to 1e16 before -1e16

    ZELUNMatrix3D const b(1, 0, 0, 1, 0, 0, 1, 0, 0);
    ZELUNMatrix3D const c = m * b;
    EXPECT_EQ(c(0, 0), 1.0);
    EXPECT_EQ(c(2, 0), 0.0);
    EXPECT_EQ(c(0, 1), 0.0);

    // A translation after a scaling, on a point.
    ZELUNMatrix3D const translate(1, 0, 10, 0, 1, 20, 0, 0, 1);
    ZELUNMatrix3D const scale(2, 0, 0, 0, 3, 0, 0, 0, 1);
    ZELUNVector3D const p = (translate * scale) * ZELUNVector3D(1, 1, 1);
    EXPECT_EQ(p.x, 12.0);
    EXPECT_EQ(p.y, 23.0);
    EXPECT_EQ(p.z, 1.0);
}

TEST(ZELUNSystem, ProcessorCountFollowsTheAffinityMask)
{
    cpu_set_t set;
    ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
    unsigned const all = static_cast<unsigned>(CPU_COUNT(&set));
    EXPECT_EQ(ZELUNSystem::processorCount(), all);

    // A thread pinned to one processor sees one.
    unsigned seen = 0;
    std::thread([&] {
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int i = 0; i < CPU_SETSIZE; ++i) {
            if (CPU_ISSET(i, &set)) {
                CPU_SET(i, &one);
                break;
            }
        }
        if (sched_setaffinity(0, sizeof one, &one) == 0) seen = ZELUNSystem::processorCount();
    }).join();
    EXPECT_EQ(seen, 1u);
}

TEST(ZELUNProgress, HostOverridesAreCalledThroughTheInterface)
{
    zorvtest::RecordingProgress recorder(2);
    ZELUNProgress& p = recorder;
    p.setMax(10);
    p.setText("stage");
    EXPECT_TRUE(p.increment());
    EXPECT_TRUE(p.update(5));
    EXPECT_FALSE(p.increment());
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"setMax 10", "setText stage", "increment", "update 5",
                                                        "increment"}));
}
