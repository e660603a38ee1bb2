#pragma once

#include <vector>

#include "zorvsupport/platform/ZELUNCover.h"

namespace zorvtest {

// The arguments of one node query, as the host received them.
struct FakeQuery {
    ZELUNCover area;
    std::vector<unsigned> bandIds;
    bool fetchValues;
    void* hostData;
};

}  // namespace zorvtest
