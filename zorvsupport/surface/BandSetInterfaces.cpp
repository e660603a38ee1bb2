#include "zorvsupport/surface/IBand.h"
#include "zorvsupport/surface/IBandSet.h"
#include "zorvsupport/surface/IGeoBandSet.h"
#include "zorvsupport/surface/IMutableBandset.h"
#include "zorvsupport/surface/IVersionable.h"
#include "zorvsupport/surface/Lockable.h"
#include "zorvsupport/surface/MetaDataBase.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// The shells hold no data: construction, copy and assignment do nothing.
#define ZORV_INTERFACE_SHELL(Shell)                              \
    Shell::Shell() = default;                                   \
    Shell::Shell(Shell const&) = default;                       \
    Shell& Shell::operator=(Shell const&) = default;            \
    Shell::~Shell() = default;
ZORV_INTERFACE_SHELL(IBand)
ZORV_INTERFACE_SHELL(IBandSet)
ZORV_INTERFACE_SHELL(IGeoBandSet)
ZORV_INTERFACE_SHELL(IMutableBandset)
ZORV_INTERFACE_SHELL(IVersionable)
ZORV_INTERFACE_SHELL(MetaDataBase)
#undef ZORV_INTERFACE_SHELL

Lockable::Lockable() = default;
// A fresh mutex; nothing of the source's is copied or shared.
Lockable::Lockable(Lockable const&) : m_mutex() {}
Lockable::~Lockable() = default;

Lockable volatile& Lockable::operator=(Lockable const&) volatile
{
    return *this;
}

Lockable& Lockable::operator=(Lockable const&)
{
    return *this;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
