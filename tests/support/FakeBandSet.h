#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "FakeBand.h"
#include "FakeNodeIterator.h"
#include "FakeQuery.h"
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/surface/DesignatedManager.h"
#include "zorvsupport/surface/GeoBandSet.h"

namespace zorvtest {

// A host band set over in-memory bands and nodes. Band entries may be null.
// It counts the calls the library makes and records every node query.
//
// Nodes: `positions` and, per band id, a column holding every node's value
// (`columns`, one- or two-dimensional, element i for node i). The node query
// walks the nodes whose x and y lie in the area (all nodes for a null area),
// with the columns of the requested bands as buffers; when fetchValues is
// false every buffer is left empty, as a host that honours the flag does.
class FakeBandSet : public ZORV_3_13_0_::DataSet::GeoBandSet {
public:
    using GeoBandSet = ZORV_3_13_0_::DataSet::GeoBandSet;
    using Band = ZORV_3_13_0_::DataSet::Band;
    using BandType = ZORV_3_13_0_::DataSet::BandType;
    using DataVector = ZORV_3_13_0_::DataSet::DataVector;
    using DesignatedManager = ZORV_3_13_0_::DataSet::DesignatedManager;
    using NodeIterator = ZORV_3_13_0_::DataSet::NodeIterator;

    explicit FakeBandSet(ZELUNCoordSystem const& system = ZELUNCoordSystem(), ZELUNCover const& cover = ZELUNCover())
        : m_system(system), m_cover(cover)
    {
    }
    FakeBandSet(FakeBandSet const&) = default;
    ~FakeBandSet() override = default;

    // Adds a band (or a null entry) and returns its id.
    unsigned addBand(ZELUNUString const& name, BandType const& type, bool hidden = false)
    {
        bands.push_back(std::make_shared<FakeBand>(name, type, hidden));
        return static_cast<unsigned>(bands.size() - 1);
    }
    unsigned addNullBand()
    {
        bands.push_back(nullptr);
        return static_cast<unsigned>(bands.size() - 1);
    }
    void setDesignatedManager(boost::shared_ptr<DesignatedManager> manager) { m_designatedManager = manager; }

    std::vector<std::shared_ptr<FakeBand>> bands;
    std::vector<ZELUNVec3<double>> positions;
    std::map<unsigned, boost::shared_ptr<DataVector>> columns;
    // Answers of getNumBands in turn; the band count once they run out.
    std::vector<unsigned> numBandsScript;
    // Returned by getDesignatedManager() when set, instead of the member.
    boost::shared_ptr<DesignatedManager> managerOverride;
    // Node query: the status it reports and, when set, the iterator maker
    // used instead of the walk described above.
    long queryStatus = 0;
    std::function<NodeIterator*(FakeBandSet&, FakeQuery const&)> factory;
    int* liveIterators = nullptr;

    // Calls made by the library.
    mutable int calls = 0;
    mutable int getBandCalls = 0;
    mutable int getNumBandsCalls = 0;
    mutable int getDesignatedManagerCalls = 0;
    std::vector<FakeQuery> queries;

    ZELUNCoordSystem const& getCoordSystem() const override
    {
        ++calls;
        return m_system;
    }
    ZELUNCover getCover() const override
    {
        ++calls;
        return m_cover;
    }
    void reserved1() override {}
    void reserved2() override {}
    void reserved3() override {}
    void reserved4() override {}
    void reserved5() override {}
    Band const* getBand(unsigned id) const override
    {
        ++calls;
        ++getBandCalls;
        return id < bands.size() ? bands[id].get() : nullptr;
    }
    Band* getBand(unsigned id) override
    {
        ++calls;
        ++getBandCalls;
        return id < bands.size() ? bands[id].get() : nullptr;
    }
    unsigned getNumBands() const override
    {
        ++calls;
        std::size_t const turn = static_cast<std::size_t>(getNumBandsCalls++);
        return turn < numBandsScript.size() ? numBandsScript[turn] : static_cast<unsigned>(bands.size());
    }
    unsigned getBandID(ZELUNUString const& name) const override
    {
        ++calls;
        for (unsigned i = 0; i < bands.size(); ++i)
            if (bands[i] && bands[i]->getName() == name) return i;
        return 0xFFFFFFFFu;
    }
    boost::shared_ptr<DesignatedManager> getDesignatedManager() const override
    {
        ++calls;
        ++getDesignatedManagerCalls;
        return managerOverride ? managerOverride : GeoBandSet::getDesignatedManager();
    }
    void reserved6() override {}
    void reserved7() override {}
    void reserved8() override {}
    void reserved9() override {}
    NodeIterator* getNodeIterator(ZELUNCover const& area, std::vector<unsigned> const& bandIds, bool fetchValues,
                                  long& status, void* hostData) override
    {
        ++calls;
        queries.push_back(FakeQuery{area, bandIds, fetchValues, hostData});
        status = queryStatus;
        if (factory) return factory(*this, queries.back());
        return makeIterator<FakeNodeIterator>(queries.back());
    }
    void reserved10() override {}
    void reserved11() override {}
    void reserved12() override {}
    void reserved13() override {}
    void reserved14() override {}

    // The walk of a query as an iterator of class It (a FakeIteratorOf);
    // `only`, when given, keeps the walk to those node indices.
    template <class It>
    It* makeIterator(FakeQuery const& query, std::set<unsigned> const* only = nullptr)
    {
        std::vector<unsigned> path;
        for (unsigned i = 0; i < positions.size(); ++i)
            if (inArea(query.area, positions[i]) && (!only || only->count(i))) path.push_back(i);
        auto* it = new It(*this, query.bandIds, path, liveIterators);
        it->positions = &positions;
        for (unsigned const id : query.bandIds) {
            auto const column = columns.find(id);
            if (column == columns.end() || !column->second) continue;
            it->setBuffer(id, query.fetchValues ? column->second : emptyLike(*column->second));
        }
        return it;
    }

private:
    static bool inArea(ZELUNCover const& area, ZELUNVec3<double> const& p)
    {
        return area.isNull() || (p.x >= area.getMinX() && p.x <= area.getMaxX() && p.y >= area.getMinY() &&
                                 p.y <= area.getMaxY());
    }
    static boost::shared_ptr<DataVector> emptyLike(DataVector const& column)
    {
        using namespace ZORV_3_13_0_::DataSet;
        if (column.getNumDimensions() == 2)
            return DataVectorND<2>::create(column.getDataType(), ZELUNnPoint<unsigned, 2>(0u, 0u));
        return DataVectorND<1>::create(column.getDataType(), ZELUNnPoint<unsigned, 1>(0u));
    }

    ZELUNCoordSystem m_system;
    ZELUNCover m_cover;
};

}  // namespace zorvtest
