#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNUnit.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// A source of vertical shifts in a coordinate system and direction, with a
// dummy value for places without a shift. The library neither makes nor
// calls one; hosts derive from it.
class ZORV_EXPORT ShiftSource {
public:
    virtual void reserved1() = 0;
    virtual void reserved2() = 0;
    virtual void reserved3() = 0;
    virtual ZELUNUnit::LengthDirection getDirection() const;
    virtual double getDummyValue() const;
    virtual ZELUNCoordSystem const& getCoordSystem() const;
    virtual void setDummyValue(double const& dummyValue);

protected:
    ShiftSource(ZELUNCoordSystem const& coordSystem, ZELUNUnit::LengthDirection direction, double const& dummyValue);
    virtual ~ShiftSource();

private:
    double m_dummyValue;
    ZELUNCoordSystem m_coordSystem;
    ZELUNUnit::LengthDirection m_direction;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
