#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/RecordingProgress.h"
#include "zorvsupport/warp/GridBoxIterator.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::RecordingProgress;

namespace {

using Box = ZELUNnBox<long long, 2>;
using Pt = ZELUNnPoint<long long, 2>;

constexpr long long kMax = std::numeric_limits<long long>::max();
constexpr long long kMin = std::numeric_limits<long long>::min();

Box box(long long x0, long long y0, long long x1, long long y1)
{
    return Box(Pt(x0, y0), Pt(x1, y1));
}

std::string text(Box const& b)
{
    return "[" + std::to_string(b.low[0]) + ", " + std::to_string(b.low[1]) + "]-[" + std::to_string(b.high[0]) +
           ", " + std::to_string(b.high[1]) + "]";
}

// Every reported tile of a full walk; stops at `cap` tiles so that a walk
// that does not end fails instead of hanging.
std::vector<Box> walk(GridBoxIterator& it, std::size_t cap = 1000)
{
    std::vector<Box> tiles;
    while (!it.done() && tiles.size() < cap) {
        tiles.push_back(it.getCurrentRegion());
        bool const more = it.next();
        EXPECT_EQ(more, !it.done());
    }
    return tiles;
}

std::vector<std::string> setMaxThenIncrements(unsigned max, std::size_t increments)
{
    std::vector<std::string> calls{"setMax " + std::to_string(max)};
    calls.insert(calls.end(), increments, "increment");
    return calls;
}

}  // namespace

TEST(GridBoxIterator, Walks)
{
    struct Row {
        char const* label;
        Box region;
        Pt overlap;
        Pt tile;
        std::size_t tiles;
        Box first;
        Box last;
    } const rows[] = {
        {"overlapping tiles, last clipped", box(0, 0, 10, 10), Pt(1, 1), Pt(4, 4), 9, box(-1, -1, 5, 5),
         box(7, 7, 11, 11)},
        {"exact multiple", box(0, 0, 8, 8), Pt(0, 0), Pt(4, 4), 4, box(0, 0, 4, 4), box(4, 4, 8, 8)},
        {"tile sizes below 1 taken as 1", box(0, 0, 8, 8), Pt(0, 0), Pt(0, -5), 64, box(0, 0, 1, 1),
         box(7, 7, 8, 8)},
        {"negative overlap shrinks", box(0, 0, 10, 10), Pt(-1, -2), Pt(5, 5), 4, box(1, 2, 4, 3), box(6, 7, 9, 8)},
        {"rows of one tile", box(-5, 3, 2, 9), Pt(0, 1), Pt(100, 2), 3, box(-5, 2, 2, 6), box(-5, 6, 2, 10)},
        {"up to the largest coordinate", box(kMax - 10, kMax - 10, kMax, kMax), Pt(1, 1), Pt(4, 4), 9,
         box(kMax - 11, kMax - 11, kMax - 5, kMax - 5), box(kMax - 3, kMax - 3, kMax, kMax)},
        {"from the smallest coordinate", box(kMin, 0, kMin + 10, 3), Pt(1, 1), Pt(4, 4), 3,
         box(kMin, -1, kMin + 5, 4), box(kMin + 7, -1, kMin + 11, 4)},
        {"overlaps at the limits", box(0, 0, 1, 1), Pt(kMin, kMax), Pt(1, 1), 1, box(kMax, -kMax, kMin + 1, kMax),
         box(kMax, -kMax, kMin + 1, kMax)},
        {"largest tile", box(0, 0, 3, 3), Pt(0, 0), Pt(kMax, kMax), 1, box(0, 0, 3, 3), box(0, 0, 3, 3)},
    };
    for (Row const& r : rows) {
        RecordingProgress progress;
        GridBoxIterator it(r.region, r.overlap, r.tile, &progress);
        EXPECT_TRUE(it.getRegion() == r.region) << r.label;
        EXPECT_TRUE(it.getOverlap() == r.overlap) << r.label;
        std::vector<Box> const tiles = walk(it);
        ASSERT_EQ(tiles.size(), r.tiles) << r.label;
        EXPECT_EQ(text(tiles.front()), text(r.first)) << r.label;
        EXPECT_EQ(text(tiles.back()), text(r.last)) << r.label;
        EXPECT_EQ(progress.calls, setMaxThenIncrements(unsigned(r.tiles), r.tiles)) << r.label;

        // Over: nothing moves and the progress hears nothing more.
        EXPECT_FALSE(it.next()) << r.label;
        EXPECT_TRUE(it.done()) << r.label;
        EXPECT_EQ(progress.calls.size(), r.tiles + 1) << r.label;

        // Without a progress object the walk is the same.
        GridBoxIterator quiet(r.region, r.overlap, r.tile, nullptr);
        std::vector<Box> const again = walk(quiet);
        ASSERT_EQ(again.size(), tiles.size()) << r.label;
        for (std::size_t i = 0; i < tiles.size(); ++i) EXPECT_TRUE(again[i] == tiles[i]) << r.label << ' ' << i;
    }
}

TEST(GridBoxIterator, RowsFromTheMinimumCornerXFastest)
{
    GridBoxIterator it(box(0, 0, 10, 10), Pt(1, 1), Pt(4, 4), nullptr);
    std::vector<std::string> lows;
    for (Box const& b : walk(it)) lows.push_back(std::to_string(b.low[0]) + "," + std::to_string(b.low[1]));
    EXPECT_EQ(lows, (std::vector<std::string>{"-1,-1", "3,-1", "7,-1", "-1,3", "3,3", "7,3", "-1,7", "3,7", "7,7"}));

    // Past the last row: a box of zero height at maxY, grown by the overlap.
    EXPECT_EQ(text(it.getCurrentRegion()), text(box(-1, 9, 5, 11)));
}

TEST(GridBoxIterator, EmptyRegions)
{
    struct Row {
        char const* label;
        Box region;
    } const rows[] = {
        {"maxX = minX", box(3, 0, 3, 10)},
        {"maxY < minY", box(0, 5, 10, 4)},
        {"x extent beyond 64 bits", box(kMin, 0, kMax, 1)},
        {"y extent beyond 64 bits", box(0, -2, 1, kMax)},
    };
    for (Row const& r : rows) {
        RecordingProgress progress;
        GridBoxIterator it(r.region, Pt(1, 1), Pt(4, 4), &progress);
        EXPECT_TRUE(it.done()) << r.label;
        EXPECT_FALSE(it.next()) << r.label;
        EXPECT_TRUE(it.done()) << r.label;
        EXPECT_EQ(progress.calls, std::vector<std::string>{"setMax 0"}) << r.label;
    }
}

TEST(GridBoxIterator, ProgressStopsTheWalk)
{
    RecordingProgress progress(2);  // refuses the third increment
    GridBoxIterator it(box(0, 0, 10, 10), Pt(1, 1), Pt(4, 4), &progress);
    EXPECT_TRUE(it.next());
    EXPECT_TRUE(it.next());
    EXPECT_FALSE(it.next());
    EXPECT_TRUE(it.done());
    EXPECT_EQ(text(it.getCurrentRegion()), text(box(7, -1, 11, 5)));
    EXPECT_FALSE(it.next());
    EXPECT_TRUE(it.done());
    EXPECT_EQ(progress.calls, setMaxThenIncrements(9, 3));
}

TEST(GridBoxIterator, TileCountModulo2To32)
{
    long long const k2To32 = 1LL << 32;
    struct Row {
        char const* label;
        Box region;
        Pt tile;
        unsigned max;
    } const rows[] = {
        {"2^32 + 5 columns", box(0, 0, k2To32 + 5, 1), Pt(1, 1), 5},
        {"2^32 columns", box(0, 0, k2To32, 1), Pt(1, 1), 0},
        {"(2^16 + 1)^2 tiles", box(0, 0, (1 << 16) + 1, (1 << 16) + 1), Pt(1, 1), (1u << 17) + 1},
        {"(3 * 2^32 + 2) x (2^32 + 3) tiles", box(0, 0, 2 * (k2To32 + 3), 3 * k2To32 + 2), Pt(2, 1), 6},
        {"largest extent", box(0, 0, kMax, 1), Pt(1, 1), 0xFFFFFFFFu},
    };
    for (Row const& r : rows) {
        RecordingProgress progress;
        GridBoxIterator it(r.region, Pt(0, 0), r.tile, &progress);
        EXPECT_FALSE(it.done()) << r.label;
        EXPECT_EQ(progress.calls, std::vector<std::string>{"setMax " + std::to_string(r.max)}) << r.label;
    }
}
