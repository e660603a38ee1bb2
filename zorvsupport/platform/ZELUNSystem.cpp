#include "zorvsupport/platform/ZELUNSystem.h"

#include <sched.h>
#include <unistd.h>

namespace ZELUNSystem {

unsigned processorCount()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        int n = CPU_COUNT(&set);
        if (n > 0) return static_cast<unsigned>(n);
    }
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1u;
}

}  // namespace ZELUNSystem
