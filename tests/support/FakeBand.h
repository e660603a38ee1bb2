#pragma once

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/types/Band.h"
#include "zorvsupport/types/BandType.h"
#include "zorvsupport/types/Variant.h"

namespace zorvtest {

// A host band: a name, a band type and the hidden flag.
class FakeBand : public ZORV_3_13_0_::DataSet::Band {
public:
    using BandType = ZORV_3_13_0_::DataSet::BandType;
    using Variant = ZORV_3_13_0_::DataSet::Variant;

    FakeBand(ZELUNUString const& name, BandType const& type, bool hidden = false) : m_name(name), m_type(type)
    {
        setIsHidden(hidden);
    }
    ~FakeBand() override = default;

    ZELUNUString const& getName() const override { return m_name; }
    BandType const& getBandType() const override { return m_type; }
    ZELUNUString const& getDescription() const override { return m_description; }
    long setName(ZELUNUString const& name) override
    {
        m_name = name;
        return 0;
    }
    long setDescription(ZELUNUString const& description) override
    {
        m_description = description;
        return 0;
    }
    bool isReadOnly() const override { return false; }
    long getMinValue(Variant&) const override { return ZORV_3_13_0_::DataSet::kErrNotImplemented; }
    long getMaxValue(Variant&) const override { return ZORV_3_13_0_::DataSet::kErrNotImplemented; }
    bool isPersistent() const override { return true; }

private:
    ZELUNUString m_name;
    ZELUNUString m_description;
    BandType m_type;
};

}  // namespace zorvtest
