#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "support/RecordingProgress.h"
#include "zorvsupport/surface/WeightedProgress.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::RecordingProgress;

namespace {

using Calls = std::vector<std::string>;

double const kNaN = std::numeric_limits<double>::quiet_NaN();

// The interface's results are bool const, which overrides repeat.
template <class F>
struct ResultOf;
template <class R, class C, class... A>
struct ResultOf<R (C::*)(A...)> {
    typedef R type;
};
static_assert(std::is_same<ResultOf<decltype(&ZELUNProgress::increment)>::type, bool const>::value);
static_assert(std::is_same<ResultOf<decltype(&ZELUNProgress::update)>::type, bool const>::value);

}  // namespace

TEST(WeightedProgress, TargetScaleIsSetOnceAndStageMaximaStayLocal)
{
    RecordingProgress target;
    WeightedProgress progress(&target);
    EXPECT_EQ(target.calls, Calls{"setMax 1000"});
    EXPECT_EQ(progress.getMax(), 1u);

    progress.addStage(1);
    progress.setMax(10);
    EXPECT_EQ(progress.getMax(), 10u);
    progress.setText("stage one");
    progress.incrementStage();
    EXPECT_EQ(progress.getMax(), 1000u) << "a new stage starts with 1000 steps";
    EXPECT_EQ(target.calls, (Calls{"setMax 1000", "setText stage one", "update 0"}));
}

TEST(WeightedProgress, ReportsTheWeightedShareOfEachStage)
{
    RecordingProgress target;
    WeightedProgress progress(&target);
    progress.addStage(1);
    progress.addStage(3);
    progress.incrementStage();
    progress.incrementStage();
    progress.update(500);
    EXPECT_EQ(target.calls, (Calls{"setMax 1000", "update 0", "update 250", "update 625"}));

    RecordingProgress halves;
    WeightedProgress two(&halves);
    two.addStage(1);
    two.addStage(1);
    two.incrementStage();
    two.setMax(10);
    two.update(5);
    EXPECT_EQ(halves.calls.back(), "update 250");
}

TEST(WeightedProgress, IncrementAdvancesTheLastPosition)
{
    RecordingProgress target;
    WeightedProgress progress(&target);
    progress.addStage(1);
    progress.incrementStage();
    progress.update(3);
    EXPECT_TRUE(progress.increment());
    EXPECT_EQ(target.calls.back(), "update 4");
}

TEST(WeightedProgress, UpdateAnswersWhatTheTargetAnswers)
{
    RecordingProgress target(1);  // cancels after the first answer
    WeightedProgress progress(&target);
    progress.addStage(1);
    EXPECT_TRUE(progress.update(1));
    EXPECT_FALSE(progress.update(2));
    EXPECT_FALSE(progress.increment());
}

TEST(WeightedProgress, NullTargetReceivesNothing)
{
    WeightedProgress progress(nullptr);
    progress.addStage(1);
    progress.setText("ignored");
    progress.setMax(10);
    progress.incrementStage();
    EXPECT_FALSE(progress.update(5));
    EXPECT_FALSE(progress.increment());
}

// Stage changes and increments report through update, so a subclass sees them.
TEST(WeightedProgress, StageChangesAndIncrementsGoThroughUpdate)
{
    struct Counting : WeightedProgress {
        using WeightedProgress::WeightedProgress;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-qualifiers"  // the interface's bool const
        bool const update(unsigned position) override
        {
            positions.push_back(position);
            return WeightedProgress::update(position);
        }
#pragma GCC diagnostic pop
        std::vector<unsigned> positions;
    };
    RecordingProgress target;
    Counting progress(&target);
    progress.addStage(1);
    progress.incrementStage();
    progress.increment();
    EXPECT_EQ(progress.positions, (std::vector<unsigned>{0, 1}));
}

// Positions outside the stages, a maximum of 0, sums of weights that are not
// positive and values beyond the unsigned range give defined reports.
TEST(WeightedProgress, ReportsAtTheEdges)
{
    struct Row {
        char const* name;
        std::vector<double> weights;
        int stages;                       // incrementStage calls
        std::optional<unsigned> max;      // setMax after the last stage change
        std::optional<unsigned> position; // update after that
        unsigned reported;                // the target's last update
    };
    unsigned const top = std::numeric_limits<unsigned>::max();
    Row const rows[] = {
        {"first stage starts at 0", {1, 3}, 1, {}, {}, 0},
        {"second stage starts after the first", {1, 3}, 2, {}, {}, 250},
        {"middle of the second stage", {1, 3}, 2, {}, 500, 625},
        {"stage maximum", {1, 1}, 1, 10, 5, 250},
        {"before the first stage", {1, 3}, 0, {}, 5, 0},
        {"after the last stage", {1, 3}, 3, {}, {}, 1000},
        {"beyond the last stage", {1, 3}, 4, {}, {}, 1000},
        {"beyond the last stage, updated", {1, 3}, 4, {}, 700, 1000},
        {"weights all zero", {0, 0}, 1, {}, 500, 0},
        {"weights cancelling", {-1, 1}, 1, {}, 500, 0},
        {"weight NaN", {1, kNaN}, 1, {}, 500, 0},
        {"maximum 0", {1, 1}, 2, 0, 5, 500},
        {"beyond the unsigned range", {1}, 1, 1, top, top},
        {"beyond the stage maximum", {1}, 1, {}, 2000, 2000},
        {"negative value", {-1, 2}, 1, {}, 1000, 0},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingProgress target;
        WeightedProgress progress(&target);
        for (double weight : row.weights) progress.addStage(weight);
        for (int i = 0; i < row.stages; ++i) progress.incrementStage();
        if (row.max) progress.setMax(*row.max);
        if (row.position) progress.update(*row.position);
        ASSERT_FALSE(target.calls.empty());
        EXPECT_EQ(target.calls.back(), "update " + std::to_string(row.reported));
    }
}
