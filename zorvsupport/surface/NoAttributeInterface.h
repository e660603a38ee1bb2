#pragma once

#include <set>

#include "zorvsupport/Export.h"
#include "zorvsupport/surface/AttributeInterface.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Offers no attribute: every name reads 0.0.
class ZORV_EXPORT NoAttributeInterface : public AttributeInterface {
public:
    NoAttributeInterface();
    NoAttributeInterface(NoAttributeInterface const& other);
    NoAttributeInterface& operator=(NoAttributeInterface const& other);
    ~NoAttributeInterface() override;

    double getValue(ZELUNUString const& name) override;
    std::set<ZELUNUString> getAvailableAttributes() override;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
