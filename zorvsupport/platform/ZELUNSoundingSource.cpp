#include "zorvsupport/platform/ZELUNSoundingSource.h"

namespace ZLTIN_3_13_0 {

ZELUNSoundingSource::ZELUNSoundingSource(ZELUNCoordSystem const& system) : m_coordSystem(system) {}

ZELUNSoundingSource::ZELUNSoundingSource(ZELUNSoundingSource const& other)
    : ZELUNObject(other), m_coordSystem(other.m_coordSystem)
{
}

ZELUNSoundingSource::~ZELUNSoundingSource() = default;

ZELUNCoordSystem const& ZELUNSoundingSource::getCoordSystem() const
{
    return m_coordSystem;
}

}  // namespace ZLTIN_3_13_0
