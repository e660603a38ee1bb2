#include "zorvsupport/surface/GeoBandSet.h"

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/surface/DesignatedManager.h"
#include "zorvsupport/types/Band.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

ZELUNUString const kDepthBandName("Depth");
ZELUNUString const kStatusBandName("Status");
ZELUNUString const kIndexBandName("Index");
ZELUNUString const kDesignatedBandName("Designated");

GeoBandSet::GeoBandSet() = default;
GeoBandSet::GeoBandSet(GeoBandSet const& other) = default;
GeoBandSet& GeoBandSet::operator=(GeoBandSet const& other) = default;
GeoBandSet::~GeoBandSet() = default;

std::vector<unsigned> GeoBandSet::getBandIDs(bool includeHidden) const
{
    std::vector<unsigned> ids;
    // The count is asked on every turn: the host may change it meanwhile.
    for (unsigned i = 0; i < getNumBands(); ++i) {
        if (includeHidden) {
            ids.push_back(i);
        } else if (Band const* band = getBand(i); band && !band->isHidden()) {
            ids.push_back(i);
        }
    }
    return ids;
}

std::set<ZELUNUString> GeoBandSet::getBandNames(bool includeHidden) const
{
    std::set<ZELUNUString> names;
    for (unsigned i = 0; i < getNumBands(); ++i) {
        Band const* band = getBand(i);
        if (band && (includeHidden || !band->isHidden())) names.insert(band->getName());
    }
    return names;
}

void GeoBandSet::removeHiddenBandsFromList(std::vector<unsigned>& ids) const
{
    std::vector<unsigned> visible;
    visible.reserve(ids.size());
    for (unsigned id : ids) {
        Band const* band = getBand(id);
        if (band && !band->isHidden()) visible.push_back(id);
    }
    ids.swap(visible);
}

bool GeoBandSet::hasDesignated() const
{
    boost::shared_ptr<DesignatedManager> const manager = getDesignatedManager();
    return manager && manager->hasDesignated();
}

boost::shared_ptr<DesignatedManager> GeoBandSet::getDesignatedManager() const
{
    return m_designatedManager;
}

long GeoBandSet::addComputedBand(ZELUNUString const&, BandType const&, ZELUNUString const&,
                                 ZELUNUnit::LengthDirection, ZELUNUnit::LengthDirection)
{
    return kErrNotImplemented;
}

DesignatedManager::DesignatedManager() = default;
DesignatedManager::~DesignatedManager() = default;

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
