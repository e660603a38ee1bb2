#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/surface/IBandSet.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Interface shell of a georeferenced host band set: the band-set shell's
// operations, its destructor, then three operations of its own.
class ZORV_EXPORT IGeoBandSet : public IBandSet {
public:
    IGeoBandSet();
    IGeoBandSet(IGeoBandSet const& other);
    IGeoBandSet& operator=(IGeoBandSet const& other);

protected:
    ~IGeoBandSet() override;

public:
    virtual void reserved7() = 0;
    virtual void reserved8() = 0;
    virtual void reserved9() = 0;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
