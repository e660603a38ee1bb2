#pragma once

#include <vector>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/surface/NodeIterator.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Kind of designation of a sounding; the values are the host's.
enum DesignatedType : int {};

// A node iterator over designated soundings. The derived class fills the
// original depths (a one-dimensional float64 buffer) and the designation
// kinds, both indexed by the current index.
class ZORV_EXPORT DesignatedIterator : public NodeIterator {
public:
    DesignatedIterator();
    ~DesignatedIterator() override;

    virtual void reserved6() = 0;
    virtual void reserved7() = 0;
    virtual void reserved8() = 0;
    virtual void reserved9() = 0;
    virtual void reserved10() = 0;

    // The current node's kind; DesignatedType{} when the index is not below
    // the number of kinds.
    DesignatedType getType() const;
    // The current node's original depth; NaN when the depths buffer is
    // missing, is not a one-dimensional float64 vector or holds no value at
    // the current index.
    double getOriginalDepth() const;

protected:
    boost::shared_ptr<DataVector> m_depths;
    std::vector<DesignatedType> m_types;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
