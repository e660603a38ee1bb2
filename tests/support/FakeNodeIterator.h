#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/datavector/DataVector.h"
#include "zorvsupport/surface/DesignatedIterator.h"
#include "zorvsupport/surface/GeoBandSet.h"
#include "zorvsupport/surface/NodeIterator.h"
#include "zorvsupport/surface/StateCheckNodeIterator.h"
#include "zorvsupport/types/Band.h"
#include "zorvsupport/types/BandType.h"

namespace zorvtest {

// A host node iterator over buffers the test supplies. It walks a list of
// node indices (the current index takes each in turn) and records what the
// library asks of it. Base is NodeIterator, StateCheckNodeIterator or
// DesignatedIterator.
template <class Base>
class FakeIteratorOf : public Base {
public:
    using NodeIterator = ZORV_3_13_0_::DataSet::NodeIterator;
    using GeoBandSet = ZORV_3_13_0_::DataSet::GeoBandSet;
    using BandType = ZORV_3_13_0_::DataSet::BandType;
    using DataVector = ZORV_3_13_0_::DataSet::DataVector;

    // Walks `path` over the buffers of `bandIds` (set with setBuffer);
    // `live`, when given, counts the iterators alive.
    FakeIteratorOf(GeoBandSet const& bandSet, std::vector<unsigned> bandIds = {},
                   std::vector<unsigned> path = {0}, int* live = nullptr)
        : m_bandSet(bandSet), m_bandIds(std::move(bandIds)), m_path(std::move(path)), m_live(live)
    {
        if (m_live) ++*m_live;
        position(0);
    }
    ~FakeIteratorOf() override
    {
        if (m_live) --*m_live;
    }

    // Set-up.
    void setBuffer(unsigned bandId, boost::shared_ptr<DataVector> buffer) { this->m_buffers[bandId] = buffer; }
    void setCurrentIndex(unsigned index) { this->m_currentIndex = index; }
    void setHasCurrentNode(bool has) { this->m_hasCurrentNode = has; }
    void setNumStates(unsigned n) { this->m_numStates = n; }
    // The band type reported for a band, before the band set's.
    void setBandType(unsigned bandId, BandType const& type) { m_bandTypes[bandId] = type; }
    // The state reported for a key (false when not set).
    void setState(unsigned key, bool state) { m_states[key] = state; }
    // Node positions by node index (not owned); getPosition fails for
    // indices in failingPositions and for indices without a position.
    std::vector<ZELUNVec3<double>> const* positions = nullptr;
    std::set<unsigned> failingPositions;
    long positionFailure = ZORV_3_13_0_::DataSet::kErrNotImplemented;

    // What the library asked.
    int nextCalls = 0;
    int refreshCalls = 0;
    std::vector<unsigned> stateQueries;

    // NodeIterator.
    void next() override
    {
        ++nextCalls;
        position(m_step + 1);
    }
    void refresh() override { ++refreshCalls; }
    bool getState(unsigned key) override
    {
        stateQueries.push_back(key);
        auto const it = m_states.find(key);
        return it != m_states.end() && it->second;
    }
    void reserved1() override {}
    void reserved2() override {}
    void reserved3() override {}
    long getPosition(ZELUNVec3<double>& out, unsigned) override
    {
        unsigned const i = this->m_currentIndex;
        if (!positions || i >= positions->size() || failingPositions.count(i)) return positionFailure;
        out = (*positions)[i];
        return 0;
    }
    void reserved4() override {}
    void reserved5() override {}
    BandType getBandType(unsigned bandId) const override
    {
        auto const it = m_bandTypes.find(bandId);
        if (it != m_bandTypes.end()) return it->second;
        auto const* band = m_bandSet.getBand(bandId);
        return band ? band->getBandType() : BandType();
    }
    std::vector<unsigned> const& getBandIDs() const override { return m_bandIds; }
    GeoBandSet const& getBandSet() const override { return m_bandSet; }

private:
    void position(std::size_t step)
    {
        m_step = step;
        bool const has = step < m_path.size();
        this->m_hasCurrentNode = has;
        this->setDone(!has);
        if (has) this->m_currentIndex = m_path[step];
    }

    GeoBandSet const& m_bandSet;
    std::vector<unsigned> m_bandIds;
    std::vector<unsigned> m_path;
    std::size_t m_step = 0;
    int* m_live;
    std::map<unsigned, BandType> m_bandTypes;
    std::map<unsigned, bool> m_states;
};

using FakeNodeIterator = FakeIteratorOf<ZORV_3_13_0_::DataSet::NodeIterator>;

// Records the state checks as they arrive; passesStateCheck is public.
class FakeStateCheckNodeIterator : public FakeIteratorOf<ZORV_3_13_0_::DataSet::StateCheckNodeIterator> {
public:
    using FakeIteratorOf::FakeIteratorOf;

    std::vector<std::pair<unsigned, bool>> checksAdded;

    long addCheck(unsigned key, bool required) override
    {
        checksAdded.emplace_back(key, required);
        return FakeIteratorOf::addCheck(key, required);
    }
    using FakeIteratorOf::passesStateCheck;
    std::map<unsigned, bool> const& stateChecks() const { return m_stateChecks; }
};

// Designated soundings: the original depths and kinds are set directly.
class FakeDesignatedIterator : public FakeIteratorOf<ZORV_3_13_0_::DataSet::DesignatedIterator> {
public:
    using FakeIteratorOf::FakeIteratorOf;

    void setDepths(boost::shared_ptr<DataVector> depths) { m_depths = depths; }
    void setTypes(std::vector<ZORV_3_13_0_::DataSet::DesignatedType> types) { m_types = std::move(types); }

    void reserved6() override {}
    void reserved7() override {}
    void reserved8() override {}
    void reserved9() override {}
    void reserved10() override {}
};

}  // namespace zorvtest
