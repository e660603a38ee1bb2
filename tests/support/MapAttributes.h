#pragma once

#include <map>
#include <set>
#include <vector>

#include "zorvsupport/surface/AttributeInterface.h"

namespace zorvtest {

// Attributes from a map of name to value; records every getValue call.
class MapAttributes : public ZORV_3_13_0_::DataSet::AttributeInterface {
public:
    MapAttributes() = default;
    explicit MapAttributes(std::map<ZELUNUString, double> values) : values(std::move(values)) {}

    std::map<ZELUNUString, double> values;
    std::vector<ZELUNUString> reads;

    double getValue(ZELUNUString const& name) override
    {
        reads.push_back(name);
        auto const it = values.find(name);
        return it == values.end() ? 0.0 : it->second;
    }
    std::set<ZELUNUString> getAvailableAttributes() override
    {
        std::set<ZELUNUString> names;
        for (auto const& entry : values) names.insert(entry.first);
        return names;
    }
};

}  // namespace zorvtest
