#pragma once

#include "zorvsupport/Export.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Interface shell of a versioned host object. It holds no data; its
// operations are the host's and are never called by the library.
class ZORV_EXPORT IVersionable {
public:
    IVersionable();
    IVersionable(IVersionable const& other);
    IVersionable& operator=(IVersionable const& other);

    virtual void reserved1() = 0;
    virtual void reserved2() = 0;
    virtual void reserved3() = 0;
    virtual void reserved4() = 0;

protected:
    virtual ~IVersionable();
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
