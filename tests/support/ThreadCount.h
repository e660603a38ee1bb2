#pragma once

// The row driver's process-wide thread count, set for one scope.

#include "zorvsupport/warp/WarpUtils.h"

namespace zorvtest {

// Sets the count while alive (set() changes it again) and puts back 0, the
// state of a fresh process (the next call asks for the processor count),
// however the scope is left: an assertion that ends a test early leaves no
// count behind for the tests after it.
class ThreadCountScope {
public:
    explicit ThreadCountScope(unsigned count) { set(count); }
    ~ThreadCountScope() { ZORV_3_13_0_::DataSet::WarpUtils::setNumThreads(0); }
    ThreadCountScope(ThreadCountScope const&) = delete;
    ThreadCountScope& operator=(ThreadCountScope const&) = delete;

    void set(unsigned count) const { ZORV_3_13_0_::DataSet::WarpUtils::setNumThreads(count); }
};

}  // namespace zorvtest
