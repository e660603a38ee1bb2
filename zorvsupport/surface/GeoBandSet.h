#pragma once

#include <set>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNUnit.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class Band;
class BandType;
class DesignatedManager;
class NodeIterator;

// Names of the bands that hosts share: "Depth", "Status", "Index" and
// "Designated".
extern ZORV_EXPORT ZELUNUString const kDepthBandName;
extern ZORV_EXPORT ZELUNUString const kStatusBandName;
extern ZORV_EXPORT ZELUNUString const kIndexBandName;
extern ZORV_EXPORT ZELUNUString const kDesignatedBandName;

// A georeferenced set of bands over the nodes of a host surface. The host
// implements the pure operations; the library implements the band listings,
// designated-sounding access and the default of computed bands. Band ids are
// 0 to getNumBands() - 1; 0xFFFFFFFF names no band.
//
// Copies share one designated manager.
class ZORV_EXPORT GeoBandSet {
public:
    GeoBandSet(GeoBandSet const& other);
    GeoBandSet& operator=(GeoBandSet const& other);

    virtual ZELUNCoordSystem const& getCoordSystem() const = 0;
    virtual ZELUNCover getCover() const = 0;
    virtual void reserved1() = 0;
    virtual void reserved2() = 0;
    virtual void reserved3() = 0;
    virtual void reserved4() = 0;
    virtual void reserved5() = 0;
    // The band of an id; null when the id names no band.
    virtual Band const* getBand(unsigned bandId) const = 0;
    virtual Band* getBand(unsigned bandId) = 0;
    virtual unsigned getNumBands() const = 0;
    // Id of the band with this name; 0xFFFFFFFF when there is none.
    virtual unsigned getBandID(ZELUNUString const& name) const = 0;
    // Ids in ascending order. With includeHidden every id is listed without
    // asking for its band; otherwise only ids of existing, visible bands.
    // The band count is asked again after every id.
    virtual std::vector<unsigned> getBandIDs(bool includeHidden) const;
    // Names of the existing bands (visible ones only unless includeHidden);
    // equal names collapse.
    virtual std::set<ZELUNUString> getBandNames(bool includeHidden) const;
    // False when getDesignatedManager() gives no manager; else the manager's
    // answer.
    virtual bool hasDesignated() const;
    virtual boost::shared_ptr<DesignatedManager> getDesignatedManager() const;
    virtual void reserved6() = 0;
    // Not supported by the base: kErrNotImplemented, nothing changed.
    virtual long addComputedBand(ZELUNUString const& name, BandType const& type, ZELUNUString const& expression,
                                 ZELUNUnit::LengthDirection direction, ZELUNUnit::LengthDirection requested);
    virtual void reserved7() = 0;
    virtual void reserved8() = 0;
    virtual void reserved9() = 0;
    // The node query: a new iterator over the nodes in `area` holding a
    // buffer for each id of `bandIds` (in that order; ids may repeat or be
    // 0xFFFFFFFF), or null. The caller owns and deletes the iterator. Buffers
    // may stay empty when fetchValues is false. `status` receives the host's
    // status; `hostData` is passed as null by the library.
    virtual NodeIterator* getNodeIterator(ZELUNCover const& area, std::vector<unsigned> const& bandIds,
                                          bool fetchValues, long& status, void* hostData) = 0;
    virtual void reserved10() = 0;
    virtual void reserved11() = 0;
    virtual void reserved12() = 0;
    virtual void reserved13() = 0;
    virtual void reserved14() = 0;

    // Keeps, in order and with repeats, the ids whose band exists and is not
    // hidden.
    void removeHiddenBandsFromList(std::vector<unsigned>& ids) const;

protected:
    GeoBandSet();
    virtual ~GeoBandSet();

    boost::shared_ptr<DesignatedManager> m_designatedManager;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
