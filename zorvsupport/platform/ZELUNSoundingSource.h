#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNObject.h"
#include "zorvsupport/platform/ZELUNSuppressedSoundings.h"
#include "zorvsupport/platform/ZELUNnBox.h"

namespace ZLTIN_3_13_0 {

// A source of soundings for the 3-D tools: the number of soundings in a box,
// then the soundings themselves, group by group, in the source's coordinate
// system.
class ZORV_EXPORT ZELUNSoundingSource : public ZELUNObject {
public:
    explicit ZELUNSoundingSource(ZELUNCoordSystem const& system);
    ZELUNSoundingSource(ZELUNSoundingSource const& other);
    ZELUNSoundingSource& operator=(ZELUNSoundingSource const&) = delete;
    ~ZELUNSoundingSource() override;

    virtual unsigned long getSoundingCount(ZELUNnBox<double, 2> const& box, long& status) const = 0;
    virtual long getSoundings(unsigned long const& group, ZELUNnBox<double, 2> const& box,
                              ZELUNSuppressedSoundings::SoundingSet& set) const = 0;
    virtual ZELUNnBox<double, 2> getCover() const = 0;
    virtual unsigned long getNumSoundingGroups() const = 0;
    virtual ZELUNCoordSystem const& getCoordSystem() const;
    // A new copy that the caller owns.
    virtual ZELUNSoundingSource* newCopy() const = 0;

private:
    ZELUNCoordSystem m_coordSystem;
};

}  // namespace ZLTIN_3_13_0
