#pragma once

#include <set>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNUString.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// A source of named values for filter expressions: the names it offers and
// the current value of a name as a double.
class ZORV_EXPORT AttributeInterface {
public:
    AttributeInterface();
    AttributeInterface(AttributeInterface const& other);
    AttributeInterface& operator=(AttributeInterface const& other);
    virtual ~AttributeInterface();

    virtual double getValue(ZELUNUString const& name) = 0;
    virtual std::set<ZELUNUString> getAvailableAttributes() = 0;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
