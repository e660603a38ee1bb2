#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNUString.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class BandType;
class Variant;

// A band of a band set, implemented by the host. The library reads a band's
// name and type; the other pure operations are for the host's own use.
class ZORV_EXPORT Band {
public:
    Band(Band const& other);
    Band& operator=(Band const& other);

    bool isHidden() const { return m_hidden; }
    void setIsHidden(bool hidden) { m_hidden = hidden; }

    virtual ZELUNUString const& getName() const = 0;
    virtual BandType const& getBandType() const = 0;
    virtual ZELUNUString const& getDescription() const = 0;
    virtual long setName(ZELUNUString const& name) = 0;
    virtual long setDescription(ZELUNUString const& description) = 0;
    virtual bool isReadOnly() const = 0;
    // Smallest and largest value held by the band; returns a status.
    virtual long getMinValue(Variant& value) const = 0;
    virtual long getMaxValue(Variant& value) const = 0;
    // True when the band's values are stored with the band set rather than
    // computed on demand.
    virtual bool isPersistent() const = 0;
    // True when getComputedBandExpression() gives a non-empty text.
    virtual bool isComputedBand() const;
    // The expression of a computed band; empty for a stored band.
    virtual ZELUNUString getComputedBandExpression() const;

protected:
    Band();
    virtual ~Band();

private:
    bool m_hidden;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
