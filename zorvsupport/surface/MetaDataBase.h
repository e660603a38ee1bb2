#pragma once

#include "zorvsupport/Export.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Interface shell of host metadata: the public destructor first, then two
// operations that are the host's and never called by the library.
class ZORV_EXPORT MetaDataBase {
public:
    MetaDataBase();
    MetaDataBase(MetaDataBase const& other);
    MetaDataBase& operator=(MetaDataBase const& other);
    virtual ~MetaDataBase();

    virtual void reserved1() = 0;
    virtual void reserved2() = 0;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
