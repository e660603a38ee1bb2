#pragma once

#include <vector>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCover.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class NodeIterator;

// The host's access to the designated soundings of a band set, held by the
// band set through a shared pointer.
class ZORV_EXPORT DesignatedManager {
public:
    virtual bool hasDesignated() const = 0;
    virtual void reserved1() = 0;
    virtual void reserved2() = 0;
    virtual void reserved3() = 0;
    virtual void reserved4() = 0;
    virtual void reserved5() = 0;
    // A new iterator over the designated soundings in `area`, or null; the
    // arguments are those of GeoBandSet::getNodeIterator.
    virtual NodeIterator* getIterator(ZELUNCover const& area, std::vector<unsigned> const& bandIds,
                                      bool fetchValues, long& status, void* hostData) = 0;

protected:
    DesignatedManager();
    virtual ~DesignatedManager();
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
