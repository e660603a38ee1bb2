#pragma once

#include <functional>
#include <vector>

#include "FakeQuery.h"
#include "zorvsupport/surface/DesignatedManager.h"
#include "zorvsupport/surface/NodeIterator.h"

namespace zorvtest {

// A host designated manager: answers hasDesignated() as told, records its
// queries and hands out the iterators its factory makes (null without one).
class FakeDesignatedManager : public ZORV_3_13_0_::DataSet::DesignatedManager {
public:
    using NodeIterator = ZORV_3_13_0_::DataSet::NodeIterator;

    explicit FakeDesignatedManager(bool designated = true) : designated(designated) {}
    ~FakeDesignatedManager() override = default;

    bool designated;
    long queryStatus = 0;
    std::function<NodeIterator*(FakeQuery const&)> factory;
    mutable int hasDesignatedCalls = 0;
    std::vector<FakeQuery> queries;

    bool hasDesignated() const override
    {
        ++hasDesignatedCalls;
        return designated;
    }
    void reserved1() override {}
    void reserved2() override {}
    void reserved3() override {}
    void reserved4() override {}
    void reserved5() override {}
    NodeIterator* getIterator(ZELUNCover const& area, std::vector<unsigned> const& bandIds, bool fetchValues,
                              long& status, void* hostData) override
    {
        queries.push_back(FakeQuery{area, bandIds, fetchValues, hostData});
        status = queryStatus;
        return factory ? factory(queries.back()) : nullptr;
    }
};

}  // namespace zorvtest
