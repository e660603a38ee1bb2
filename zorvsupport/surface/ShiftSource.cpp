#include "zorvsupport/surface/ShiftSource.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

ShiftSource::ShiftSource(ZELUNCoordSystem const& coordSystem, ZELUNUnit::LengthDirection direction,
                         double const& dummyValue)
    : m_dummyValue(dummyValue), m_coordSystem(coordSystem), m_direction(direction)
{
}

ShiftSource::~ShiftSource() = default;

ZELUNUnit::LengthDirection ShiftSource::getDirection() const
{
    return m_direction;
}

double ShiftSource::getDummyValue() const
{
    return m_dummyValue;
}

ZELUNCoordSystem const& ShiftSource::getCoordSystem() const
{
    return m_coordSystem;
}

void ShiftSource::setDummyValue(double const& dummyValue)
{
    m_dummyValue = dummyValue;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
