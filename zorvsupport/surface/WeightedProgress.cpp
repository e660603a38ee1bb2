#include "zorvsupport/surface/WeightedProgress.h"

#include "zorvsupport/types/NumericConversion.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

WeightedProgress::WeightedProgress(ZELUNProgress* target)
    : m_resolution(1000), m_pos(0), m_max(1), m_stage(0), m_completedWeight(0.0), m_totalWeight(1.0), m_target(target)
{
    if (m_target) m_target->setMax(m_resolution);
}

WeightedProgress::~WeightedProgress() = default;

void WeightedProgress::addStage(double weight)
{
    // The sum of the weights in the order added, from 0.0: the construction
    // value 1.0 stands only until the first stage.
    m_totalWeight = (m_weights.empty() ? 0.0 : m_totalWeight) + weight;
    m_weights.push_back(weight);
}

void WeightedProgress::incrementStage()
{
    if (m_stage <= m_weights.size()) {
        if (m_stage > 0) m_completedWeight += m_weights[m_stage - 1];
        ++m_stage;
    }
    m_max = m_resolution;
    update(0);
}

void WeightedProgress::setMax(unsigned max) { m_max = max; }

void WeightedProgress::setText(ZELUNUString const& text)
{
    if (m_target) m_target->setText(text);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-qualifiers"  // the interface's bool const
bool const WeightedProgress::increment() { return update(m_pos + 1); }

bool const WeightedProgress::update(unsigned position)
{
    m_pos = position;
    return m_target && m_target->update(scaledPosition());
}
#pragma GCC diagnostic pop

unsigned WeightedProgress::scaledPosition() const
{
    if (!(m_totalWeight > 0.0)) return 0;
    bool const inStage = m_stage > 0 && m_stage <= m_weights.size();
    double const weight = inStage ? m_weights[m_stage - 1] : 0.0;
    double const fraction = m_max > 0 ? double(m_pos) / double(m_max) : 0.0;
    double const value = (fraction * weight + m_completedWeight) / m_totalWeight * m_resolution;
    return NumericDetail::truncateAndSaturate<unsigned>(value);
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
