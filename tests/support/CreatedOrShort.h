#pragma once

// The vector a creation (DataVector::create from a buffer or XML) handed back
// while allocations failed: none after std::bad_alloc or kErrOutOfMemory,
// else status 0 and a vector that `check` accepts.

#include <boost/shared_ptr.hpp>
#include <gtest/gtest.h>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavector/DataVector.h"

namespace zorvtest {

template <class Check>
void expectCreatedOrShort(boost::shared_ptr<ZORV_3_13_0_::DataSet::DataVector> const& made, long status, bool threw,
                          Check const& check)
{
    using namespace ZORV_3_13_0_::DataSet;
    EXPECT_TRUE(status == kSuccess || status == kErrOutOfMemory || threw) << status;
    if (threw || status == kErrOutOfMemory) {
        EXPECT_FALSE(made);
        return;
    }
    ASSERT_TRUE(made);
    check(*made);
}

}  // namespace zorvtest
