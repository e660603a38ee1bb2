#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include "SmallStack.h"
#include "support/FakeBandSet.h"
#include "support/FakeDesignatedManager.h"
#include "support/FakeNodeIterator.h"
#include "support/FreshThreadSweep.h"
#include "support/NodeBuffers.h"
#include "support/StdoutCapture.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNScaler.h"
#include "zorvsupport/surface/ExpressionEvaluator.h"
#include "zorvsupport/surface/ShiftSource.h"
#include "zorvsupport/surface/SoundingSource.h"
#include "zorvsupport/types/BandType.h"

using namespace ZORV_3_13_0_::DataSet;
using ZLTIN_3_13_0::ZELUNSuppressedSoundings;
using zorvtest::FakeBandSet;
using zorvtest::FakeDesignatedIterator;
using zorvtest::FakeDesignatedManager;
using zorvtest::FakeQuery;
using zorvtest::FakeStateCheckNodeIterator;
using zorvtest::makeBuffer;
using zorvtest::StdoutCapture;
using Record = ZELUNSuppressedSoundings::SoundingRecord;
using Ids = std::vector<unsigned>;

namespace {

constexpr unsigned kNoBand = 0xFFFFFFFFu;
ZELUNCoordSystem const kUtm("EPSG:32633");
ZELUNnBox<double, 2> const kBox(ZELUNnPoint<double, 2>(0.0, 0.0), ZELUNnPoint<double, 2>(10.0, 10.0));

BandType scalarBand(DataType::Type type, ZELUNUnit::LengthDirection direction = ZELUNUnit::kNoDirection)
{
    return BandType::createScalar(DataType(type), ZELUNUString("m"), direction, Variant());
}

// Five nodes: node i at (i + 1, i + 1), Depth 10 (i + 1) (direction up),
// Height i, Index 100 + i. Nodes 1 and 3 are the designated soundings.
struct Host {
    explicit Host(ZELUNUnit::LengthDirection depthDirection = ZELUNUnit::kUp, bool indexBand = true)
        : set(kUtm, ZELUNCover(kUtm, 5, -5, 20, 5))
    {
        depth = set.addBand("Depth", scalarBand(DataType::kFloat64, depthDirection));
        height = set.addBand("Height", scalarBand(DataType::kFloat64));
        set.columns[depth] = makeBuffer(TDataType<1>(), {10.0, 20.0, 30.0, 40.0, 50.0});
        set.columns[height] = makeBuffer(TDataType<1>(), {0.0, 1.0, 2.0, 3.0, 4.0});
        if (indexBand) {
            index = set.addBand("Index", scalarBand(DataType::kUInt64));
            set.columns[index] = makeBuffer(TDataType<9>(), {100ull, 101ull, 102ull, 103ull, 104ull});
        }
        for (double i = 1; i <= 5; ++i) set.positions.emplace_back(i, i, 0.0);
        set.liveIterators = &live;
        manager->factory = [this](FakeQuery const& q) {
            return set.makeIterator<FakeDesignatedIterator>(q, &designatedNodes);
        };
        set.setDesignatedManager(manager);
    }
    ~Host() { EXPECT_EQ(live, 0) << "every iterator deleted"; }

    FakeBandSet set;
    unsigned depth = kNoBand, height = kNoBand, index = kNoBand;
    int live = 0;
    std::set<unsigned> designatedNodes{1, 3};
    boost::shared_ptr<FakeDesignatedManager> manager = boost::make_shared<FakeDesignatedManager>();
};

std::vector<Record> fetch(SoundingSource const& source, unsigned long group, long& status,
                          ZELUNScaler const& scaler = ZELUNScaler(), ZELUNnBox<double, 2> const& area = kBox)
{
    ZELUNSuppressedSoundings::SoundingSet set(scaler);
    status = source.getSoundings(group, area, set);
    return set.getRecords();
}

ZELUNnBox<double, 2> box(double minX, double minY, double maxX, double maxY)
{
    return ZELUNnBox<double, 2>(ZELUNnPoint<double, 2>(minX, minY), ZELUNnPoint<double, 2>(maxX, maxY));
}

// Records of nodes `nodes` of the host, unscaled, with the given ids.
std::vector<Record> recordsOf(std::vector<std::pair<int, std::uint64_t>> const& nodes)
{
    std::vector<Record> out;
    for (auto const& n : nodes) out.push_back(Record{n.first + 1, n.first + 1, 10 * (n.first + 1), n.second});
    return out;
}

}  // namespace

// Found by argument-dependent lookup from the standard containers.
namespace ZLTIN_3_13_0 {
bool operator==(ZELUNSuppressedSoundings::SoundingRecord const& a, ZELUNSuppressedSoundings::SoundingRecord const& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.id == b.id;
}
std::ostream& operator<<(std::ostream& os, ZELUNSuppressedSoundings::SoundingRecord const& r)
{
    return os << '{' << r.x << ", " << r.y << ", " << r.z << ", " << r.id << '}';
}
}  // namespace ZLTIN_3_13_0

TEST(SoundingSource, QueryArguments)
{
    struct Case {
        char const* filter;
        bool useIndex;
        Ids countIds;
        bool countFetches;
        Ids fetchIds;
    };
    Host host;
    unsigned const d = host.depth, h = host.height, x = host.index;
    Case const cases[] = {
        {"", false, {d}, false, {d}},
        {"", true, {d}, false, {d, x}},
        {"Depth > 15 and Depth < 45", false, {d, d}, true, {d}},
        {"Height > 0 and Depth > 0", true, {d, d, h}, true, {d, x, h}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.filter);
        SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, c.useIndex);
        source.setFilterExpression(c.filter, ZELUNUnit::kNoDirection);
        host.set.queries.clear();
        long status = -1;
        source.getSoundingCount(kBox, status);
        fetch(source, 1, status);
        EXPECT_EQ(status, 0);
        ASSERT_EQ(host.set.queries.size(), 2u);
        FakeQuery const& count = host.set.queries[0];
        FakeQuery const& fetched = host.set.queries[1];
        EXPECT_EQ(count.bandIds, c.countIds);
        EXPECT_EQ(count.fetchValues, c.countFetches);
        EXPECT_EQ(fetched.bandIds, c.fetchIds);
        EXPECT_TRUE(fetched.fetchValues);
        for (FakeQuery const* q : {&count, &fetched}) {
            EXPECT_EQ(q->hostData, nullptr);
            EXPECT_TRUE(q->area.getCoordSystem() == kUtm);
            EXPECT_EQ(q->area.getMinX(), 0.0);
            EXPECT_EQ(q->area.getMinY(), 0.0);
            EXPECT_EQ(q->area.getMaxX(), 10.0);
            EXPECT_EQ(q->area.getMaxY(), 10.0);
        }
    }
}

TEST(SoundingSource, FilterNamingNoBand)
{
    Host host;
    SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
    source.setFilterExpression("Nope > 1", ZELUNUnit::kNoDirection);
    StdoutCapture capture;
    long status = -1;
    EXPECT_EQ(source.getSoundingCount(kBox, status), 0u);
    EXPECT_EQ(status, kErrInvalidExpression);
    std::vector<Record> const records = fetch(source, 1, status);
    EXPECT_EQ(status, kErrInvalidExpression);
    EXPECT_TRUE(records.empty());
    std::string const message = "Unable to validate the input.  Unknown variable: Nope\n";
    EXPECT_EQ(capture.text(), message + message);
    ASSERT_EQ(host.set.queries.size(), 2u);
    EXPECT_EQ(host.set.queries[0].bandIds, (Ids{host.depth, kNoBand}));
    EXPECT_EQ(host.set.queries[1].bandIds, (Ids{host.depth, kNoBand}));
}

TEST(SoundingSource, IndexBandMissingFailsBeforeQuerying)
{
    Host host(ZELUNUnit::kUp, false);
    SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, true);
    long status = 0;
    EXPECT_TRUE(fetch(source, 1, status).empty());
    EXPECT_EQ(status, kErrNoIndexBand);
    EXPECT_TRUE(host.set.queries.empty());
}

TEST(SoundingSource, Selections)
{
    using S = SoundingSource;
    struct Case {
        S::eSourceSelection selection;
        bool useIndex;
        unsigned long group;
        std::vector<std::pair<int, std::uint64_t>> nodes;
    } const cases[] = {
        {S::kSelectAllNodes, false, 1, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}}},
        {S::kSelectAllNodes, true, 1, {{0, 100}, {1, 101}, {2, 102}, {3, 103}, {4, 104}}},
        {S::kSelectAllNodes, false, 2, {{0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}}},
        {S::kSelectDesignated, false, 1, {{1, 1}, {3, 1}}},
        {S::kSelectAllAndDesignated, false, 1, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}}},
        {S::kSelectAllAndDesignated, false, 2, {{1, 2}, {3, 2}}},
        {S::kSelectAllAndDesignated, true, 1, {{0, 100}, {1, 101}, {2, 102}, {3, 103}, {4, 104}}},
        {S::kSelectAllAndDesignated, true, 2, {{1, 101}, {3, 103}}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(testing::Message() << "selection " << c.selection << " index " << c.useIndex << " group "
                                        << c.group);
        Host host;
        S source(host.set, "Depth", c.selection, nullptr, c.useIndex);
        EXPECT_EQ(source.getNumSoundingGroups(), c.selection == S::kSelectAllAndDesignated ? 2u : 1u);
        long status = -1;
        EXPECT_EQ(fetch(source, c.group, status), recordsOf(c.nodes));
        EXPECT_EQ(status, 0);
        // The count of kSelectAllAndDesignated counts every node.
        EXPECT_EQ(source.getSoundingCount(kBox, status), c.selection == S::kSelectDesignated ? 2u : 5u);
        EXPECT_EQ(status, 0);
    }
}

TEST(SoundingSource, DesignatedWithoutDesignatedSoundings)
{
    Host host;
    host.manager->designated = false;
    SoundingSource source(host.set, "Depth", SoundingSource::kSelectDesignated, nullptr, false);
    long status = -1;
    EXPECT_EQ(source.getSoundingCount(kBox, status), 0u);
    EXPECT_EQ(status, 0);
    ZELUNSuppressedSoundings::SoundingSet set{ZELUNScaler()};
    set.getRecords().assign(2, Record{7, 7, 7, 7});
    EXPECT_EQ(source.getSoundings(1, kBox, set), 0);
    EXPECT_EQ(set.getRecords(), std::vector<Record>(2, Record{7, 7, 7, 7}));
    EXPECT_TRUE(host.manager->queries.empty());
}

TEST(SoundingSource, IndexBandOfAnotherTypeFails)
{
    Host host(ZELUNUnit::kUp, false);
    unsigned const index = host.set.addBand("Index", scalarBand(DataType::kInt64));
    host.set.columns[index] = makeBuffer(TDataType<8>(), {100ll, 101ll, 102ll, 103ll, 104ll});
    SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, true);
    long status = 0;
    fetch(source, 1, status);
    EXPECT_EQ(status, kErrAttributeTypeMismatch);
}

TEST(SoundingSource, RecordsGoThroughTheScaler)
{
    Host host;
    host.set.positions[4] = ZELUNVec3<double>(9.0, 1e12, 0.0);  // y saturates
    SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, true);
    long status = -1;
    ZELUNScaler const quarter(0.0, 0.0, 0.0, 0.25, 0.25, 0.25);
    ZELUNnBox<double, 2> const tall(ZELUNnPoint<double, 2>(0.0, 0.0), ZELUNnPoint<double, 2>(10.0, 1e13));
    std::vector<Record> const records = fetch(source, 1, status, quarter, tall);
    EXPECT_EQ(status, 0);
    std::vector<Record> const expected = {{4, 4, 40, 100},
                                          {8, 8, 80, 101},
                                          {12, 12, 120, 102},
                                          {16, 16, 160, 103},
                                          {36, std::numeric_limits<std::int32_t>::max(), 200, 104}};
    EXPECT_EQ(records, expected);
}

TEST(SoundingSource, FetchOverwritesTheFirstRecordsOnly)
{
    Host host;
    SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
    source.setFilterExpression("Depth < 35", ZELUNUnit::kNoDirection);
    ZELUNSuppressedSoundings::SoundingSet set{ZELUNScaler()};
    set.getRecords().assign(5, Record{-1, -1, -1, 99});
    EXPECT_EQ(source.getSoundings(1, kBox, set), 0);
    std::vector<Record> expected = recordsOf({{0, 1}, {1, 1}, {2, 1}});
    expected.resize(5, Record{-1, -1, -1, 99});
    EXPECT_EQ(set.getRecords(), expected);
}

TEST(SoundingSource, NodeHandling)
{
    // A node whose position cannot be read is skipped.
    {
        Host host;
        host.set.factory = [](FakeBandSet& s, FakeQuery const& q) {
            auto* it = s.makeIterator<zorvtest::FakeNodeIterator>(q);
            it->failingPositions = {1};
            return it;
        };
        SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
        long status = -1;
        EXPECT_EQ(fetch(source, 1, status), recordsOf({{0, 1}, {2, 1}, {3, 1}, {4, 1}}));
        EXPECT_EQ(status, 0);
    }
    // A failing depth read ends the fetch; the records written stay.
    {
        Host host;
        host.set.columns[host.depth] = makeBuffer(TDataType<1>(), {10.0, 20.0, 30.0});
        SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
        long status = 0;
        EXPECT_EQ(fetch(source, 1, status), recordsOf({{0, 1}, {1, 1}, {2, 1}}));
        EXPECT_EQ(status, kErrNotConvertible);
    }
}

TEST(SoundingSource, StateChecksGoInAscendingOrder)
{
    Host host;
    std::vector<std::pair<unsigned, bool>> added;
    host.set.factory = [&added](FakeBandSet& s, FakeQuery const& q) {
        struct Logging : FakeStateCheckNodeIterator {
            using FakeStateCheckNodeIterator::FakeStateCheckNodeIterator;
            std::vector<std::pair<unsigned, bool>>* log = nullptr;
            long addCheck(unsigned key, bool required) override
            {
                log->emplace_back(key, required);
                return FakeStateCheckNodeIterator::addCheck(key, required);
            }
        };
        auto* it = s.makeIterator<Logging>(q);
        it->log = &added;
        return it;
    };
    SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
    source.setStateCheck({{9, true}, {2, false}, {5, true}});
    long status = -1;
    source.getSoundingCount(kBox, status);
    fetch(source, 1, status);
    using Check = std::pair<unsigned, bool>;
    std::vector<Check> const once = {{2, false}, {5, true}, {9, true}};
    std::vector<Check> expected = once;
    expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(added, expected);

    // A plain node iterator takes no checks and is walked as it is.
    host.set.factory = nullptr;
    EXPECT_EQ(source.getSoundingCount(kBox, status), 5u);
}

TEST(SoundingSource, Covers)
{
    Host host;
    ZELUNCover const restrict(kUtm, 0, 0, 10, 10);
    SoundingSource restricted(host.set, "Depth", SoundingSource::kSelectAllNodes, &restrict, false);
    EXPECT_EQ(restricted.getCover(), box(5, 0, 10, 5));
    // A cover that cannot be transformed leaves no restriction.
    ZELUNCover const undefined(ZELUNCoordSystem(), 0, 0, 10, 10);
    SoundingSource unrestricted(host.set, "Depth", SoundingSource::kSelectAllNodes, &undefined, false);
    EXPECT_EQ(unrestricted.getCover(), box(5, -5, 20, 5));
    EXPECT_TRUE(unrestricted.getCoordSystem() == kUtm);
}

TEST(SoundingSource, Filters)
{
    struct Case {
        char const* filter;
        ZELUNUnit::LengthDirection direction;
        std::vector<std::pair<int, std::uint64_t>> nodes;
    } const cases[] = {
        {"Depth > 15 and Depth < 45", ZELUNUnit::kNoDirection, {{1, 1}, {2, 1}, {3, 1}}},
        {"Height = 4 or Depth < 15", ZELUNUnit::kUp, {{0, 1}, {4, 1}}},
        // Read downwards, the upward depths are negated.
        {"Depth < -35", ZELUNUnit::kDown, {{3, 1}, {4, 1}}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.filter);
        Host host;
        SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
        source.setFilterExpression(c.filter, c.direction);
        long status = -1;
        std::vector<Record> const records = fetch(source, 1, status);
        EXPECT_EQ(records, recordsOf(c.nodes));
        EXPECT_EQ(source.getSoundingCount(kBox, status), records.size());
        EXPECT_EQ(status, 0);
    }
    Host host;
    SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
    source.setFilterExpression("Depth > 45", ZELUNUnit::kNoDirection);
    long status = -1;
    EXPECT_EQ(fetch(source, 1, status).size(), 1u);
    source.setFilterExpression("", ZELUNUnit::kNoDirection);
    EXPECT_EQ(fetch(source, 1, status).size(), 5u);
    EXPECT_EQ(source.getSoundingCount(kBox, status), 5u);
}

// Filters at the bounds of a text, fetched and counted on a thread whose
// stack is as small as a host's pool may give: one OR chain as long as a
// text may be, and a condition in as many parentheses as may be nested.
TEST(SoundingSource, FiltersAtTheBoundsOnASmallStack)
{
    std::string chain = "Depth = 30";
    while (chain.size() + 28 <= 2047) chain += " OR Height = 9";
    chain += " OR Height = 0";
    chain += std::string(2047 - chain.size(), '0');  // Height = 00...0
    ASSERT_EQ(chain.size(), 2047u);
    unsigned const depth = ExpressionEvaluator::kMaxNesting;
    std::string const nested = std::string(depth, '(') + "Depth > 15 and Depth < 45" + std::string(depth, ')');
    struct Case {
        std::string filter;
        std::vector<std::pair<int, std::uint64_t>> nodes;
    } const cases[] = {
        {chain, {{0, 1}, {2, 1}}},
        {nested, {{1, 1}, {2, 1}, {3, 1}}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.filter.substr(0, 40));
        long status = -1, countStatus = -1;
        unsigned long count = 0;
        std::vector<Record> records;
        Host host;
        std::size_t const used = zorvtest::runOnSmallStack(zorvtest::kSmallStack, [&] {
            SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
            source.setFilterExpression(ZELUNUString(c.filter), ZELUNUnit::kNoDirection);
            records = fetch(source, 1, status);
            count = source.getSoundingCount(kBox, countStatus);
        });
        EXPECT_EQ(status, 0);
        EXPECT_EQ(countStatus, 0);
        EXPECT_EQ(records, recordsOf(c.nodes));
        EXPECT_EQ(count, c.nodes.size());
        EXPECT_GT(used, 0u);
    }
}

TEST(SoundingSource, DepthFlip)
{
    struct Case {
        ZELUNUnit::LengthDirection band;
        ZELUNUnit::LengthDirection requested;
        bool negated;
    } const cases[] = {
        // One source through the first four rows: a later call clears the flip.
        {ZELUNUnit::kUp, ZELUNUnit::kDown, true},
        {ZELUNUnit::kUp, ZELUNUnit::kUp, false},
        {ZELUNUnit::kUp, ZELUNUnit::kHorizontal, false},
        {ZELUNUnit::kUp, ZELUNUnit::kNoDirection, false},
        {ZELUNUnit::kNoDirection, ZELUNUnit::kDown, false},
    };
    Host up(ZELUNUnit::kUp);
    Host none(ZELUNUnit::kNoDirection);
    SoundingSource upSource(up.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
    SoundingSource noneSource(none.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
    for (auto const& c : cases) {
        SCOPED_TRACE(testing::Message() << "band " << c.band << " requested " << c.requested);
        SoundingSource& source = c.band == ZELUNUnit::kUp ? upSource : noneSource;
        source.setDepthDirection(c.requested);
        long status = -1;
        std::vector<Record> const records = fetch(source, 1, status);
        ASSERT_EQ(records.size(), 5u);
        EXPECT_EQ(records[0].z, c.negated ? -10 : 10);
        EXPECT_EQ(records[4].z, c.negated ? -50 : 50);
    }
}

TEST(SoundingSource, CopiesKeepTheFilter)
{
    Host host;
    SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
    source.setFilterExpression("Depth > 35", ZELUNUnit::kDown);
    source.setFilterExpression("Depth < -35", ZELUNUnit::kDown);
    source.setDepthDirection(ZELUNUnit::kDown);
    std::unique_ptr<ZLTIN_3_13_0::ZELUNSoundingSource> const copy(source.newCopy());
    auto const& typed = dynamic_cast<SoundingSource const&>(*copy);
    EXPECT_EQ(typed.getFilterExpression(), ZELUNUString("Depth < -35"));
    EXPECT_EQ(typed.getFilterLengthDirection(), ZELUNUnit::kDown);
    EXPECT_EQ(&typed.getSurface(), &host.set);
    ZELUNSuppressedSoundings::SoundingSet set{ZELUNScaler()};
    EXPECT_EQ(copy->getSoundings(1, kBox, set), 0);
    EXPECT_EQ(set.getRecords(), (std::vector<Record>{{4, 4, -40, 1}, {5, 5, -50, 1}}));
}

TEST(SoundingSource, HostStatus)
{
    Host host;
    host.set.queryStatus = 77;
    SoundingSource source(host.set, "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
    long status = 0;
    EXPECT_TRUE(fetch(source, 1, status).empty());
    EXPECT_EQ(status, 77);
    // The count keeps the host's status over the filter's success.
    source.setFilterExpression("Depth > 25", ZELUNUnit::kNoDirection);
    EXPECT_EQ(source.getSoundingCount(kBox, status), 3u);
    EXPECT_EQ(status, 77);
}

TEST(ShiftSource, KeepsWhatItWasGiven)
{
    struct Shift : ShiftSource {
        Shift() : ShiftSource(kUtm, ZELUNUnit::kDown, -9999.0) {}
        void reserved1() override {}
        void reserved2() override {}
        void reserved3() override {}
    } shift;
    EXPECT_EQ(shift.getDirection(), ZELUNUnit::kDown);
    EXPECT_EQ(shift.getDummyValue(), -9999.0);
    EXPECT_TRUE(shift.getCoordSystem() == kUtm);
    shift.setDummyValue(1.5);
    EXPECT_EQ(shift.getDummyValue(), 1.5);
}

// A restricting cover that cannot be converted into the band set's system
// for want of memory: the source is not made (std::bad_alloc), rather than
// made without its restriction. On new threads, with memory running out at
// each point of the construction; each thread converts the restriction once
// with memory first (the engine's own search for an operation is the
// coordinate layer's to survive).
TEST(SoundingSourceThreads, RestrictionWithoutMemory)
{
    ZELUNCoordSystem const utm("EPSG:32633");
    FakeBandSet bands(utm, ZELUNCover(utm, 0, -9000000, 1000000, 9000000));
    ZELUNCover const restriction(ZELUNCoordSystem("EPSG:4326"), 14, -1, 16, 1);
    std::unique_ptr<SoundingSource> source;
    unsigned const n = zorvtest::firstUseSweep(
        [&] {
            long status = -1;
            restriction.transformTo(utm, status);
            source.reset();
        },
        [&] { source.reset(new SoundingSource(bands, "Depth", SoundingSource::kSelectAllNodes, &restriction, false)); },
        [&](bool threw) {
            ASSERT_EQ(bool(source), !threw);
            if (!source) return;
            // The restriction's image, about 14 to 16 degrees east.
            ZELUNnBox<double, 2> const c = source->getCover();
            EXPECT_GT(c.low[0], 380000);
            EXPECT_LT(c.high[0], 620000);
        });
    EXPECT_GT(n, 0u);
}
