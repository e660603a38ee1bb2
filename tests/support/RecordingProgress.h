#pragma once

#include <string>
#include <vector>

#include "zorvsupport/platform/ZELUNProgress.h"

namespace zorvtest {

// A progress object that records every call in order, as text:
// "setMax 10", "setText <narrow text>", "increment", "update 5". increment
// and update answer true until `stopAfter` of them have been answered
// (never, by default), then false, as a host that cancels.
class RecordingProgress : public ZELUNProgress {
public:
    explicit RecordingProgress(unsigned stopAfter = ~0u) : m_stopAfter(stopAfter) {}

    void setMax(unsigned max) override { calls.push_back("setMax " + std::to_string(max)); }
    void setText(ZELUNUString const& text) override { calls.push_back("setText " + text.toNarrow()); }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-qualifiers"  // the interface's bool const
    bool const increment() override
    {
        calls.push_back("increment");
        return answer();
    }
    bool const update(unsigned position) override
    {
        calls.push_back("update " + std::to_string(position));
        return answer();
    }
#pragma GCC diagnostic pop

    std::vector<std::string> calls;

private:
    bool answer() { return m_answered++ < m_stopAfter; }

    unsigned m_stopAfter;
    unsigned m_answered = 0;
};

}  // namespace zorvtest
