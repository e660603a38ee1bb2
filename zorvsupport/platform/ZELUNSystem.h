#pragma once

#include "zorvsupport/Export.h"

namespace ZELUNSystem {

// Processors this process may run on: the CPU affinity mask (so taskset and
// cpusets count), else the processors online; never below 1.
ZORV_EXPORT unsigned processorCount();

}  // namespace ZELUNSystem
