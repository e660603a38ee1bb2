#pragma once

#include <map>

#include "zorvsupport/Export.h"
#include "zorvsupport/surface/NodeIterator.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// A node iterator that keeps the node states a node must have: state key to
// required state. The derived iterator decides where it applies them.
class ZORV_EXPORT StateCheckNodeIterator : public NodeIterator {
public:
    // Requires `required` for the state `stateKey` (replacing an earlier
    // requirement for the key), then calls refresh(). Returns 0.
    virtual long addCheck(unsigned stateKey, bool required);

protected:
    StateCheckNodeIterator();
    ~StateCheckNodeIterator() override;

    // True when getState() agrees with every check, asked in ascending key
    // order up to the first disagreement; true without checks.
    bool passesStateCheck();

    std::map<unsigned, bool> m_stateChecks;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
