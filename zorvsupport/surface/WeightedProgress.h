#pragma once

#include <vector>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNProgress.h"
#include "zorvsupport/platform/ZELUNUString.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Progress of work in weighted stages, reported to one target on a scale of
// 1000. Each stage reports its own steps (setMax, update, increment) as if it
// were the only one; the target receives
//   ((pos / max) * weight of the stage + weights of the finished stages)
//   / sum of all weights * 1000.
// Use: addStage once per stage, then per stage incrementStage, optionally
// setMax(steps), and update or increment while it runs.
//
// Before the first stage and after the last the stage counts with weight 0,
// a maximum of 0 counts as fraction 0, and a sum of weights that is not
// greater than 0 (or NaN) reports 0. Reported values are truncated toward
// zero, NaN and negative values giving 0 and values from 2^32 on the
// largest unsigned. A null target receives nothing; update and increment then
// answer false.
class ZORV_EXPORT WeightedProgress : public ZELUNProgress {
public:
    // Sets the target's maximum to 1000; the target is not owned.
    explicit WeightedProgress(ZELUNProgress* target);
    ~WeightedProgress() override;

    void addStage(double weight);
    // Finishes the current stage (if any), starts the next one with a
    // maximum of 1000 and reports its start through update(0). Beyond the
    // last stage only the maximum is reset and the report repeated.
    void incrementStage();
    unsigned getMax() const { return m_max; }

    // The number of steps of the current stage; never reaches the target.
    void setMax(unsigned max) override;
    void setText(ZELUNUString const& text) override;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-qualifiers"  // the interface's bool const
    // update(pos + 1).
    bool const increment() override;
    // Reports position `position` of the current stage; the target's answer.
    bool const update(unsigned position) override;
#pragma GCC diagnostic pop

private:
    unsigned scaledPosition() const;

    unsigned m_resolution;
    unsigned m_pos;
    unsigned m_max;
    unsigned m_stage;
    double m_completedWeight;
    double m_totalWeight;
    std::vector<double> m_weights;
    ZELUNProgress* m_target;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
