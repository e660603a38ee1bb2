#include <set>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include "support/FakeBandSet.h"
#include "support/FakeDesignatedManager.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/surface/GeoBandSet.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::FakeBandSet;
using zorvtest::FakeDesignatedManager;

namespace {

std::set<ZELUNUString> names(std::vector<char const*> const& list)
{
    std::set<ZELUNUString> out;
    for (char const* n : list) out.insert(ZELUNUString(n));
    return out;
}

struct ListingCase {
    char const* label;
    // One entry per band: a name, or null for a null band; a leading '~'
    // marks a hidden band.
    std::vector<char const*> bands;
    std::vector<unsigned> idsWithHidden;
    std::vector<unsigned> idsVisible;
    std::vector<char const*> namesWithHidden;
    std::vector<char const*> namesVisible;
};

void addBands(FakeBandSet& set, std::vector<char const*> const& bands)
{
    for (char const* b : bands) {
        if (!b)
            set.addNullBand();
        else if (b[0] == '~')
            set.addBand(ZELUNUString(b + 1), BandType(), true);
        else
            set.addBand(ZELUNUString(b), BandType());
    }
}

}  // namespace

TEST(GeoBandSet, BandListings)
{
    ListingCase const cases[] = {
        {"no bands", {}, {}, {}, {}, {}},
        {"second band hidden", {"A", "~B", "C"}, {0, 1, 2}, {0, 2}, {"A", "B", "C"}, {"A", "C"}},
        {"a null band", {"A", nullptr, "C"}, {0, 1, 2}, {0, 2}, {"A", "C"}, {"A", "C"}},
        {"two bands of one name", {"A", "A"}, {0, 1}, {0, 1}, {"A"}, {"A"}},
    };
    for (ListingCase const& c : cases) {
        SCOPED_TRACE(c.label);
        FakeBandSet set;
        addBands(set, c.bands);

        EXPECT_EQ(set.getBandIDs(true), c.idsWithHidden);
        EXPECT_EQ(set.getBandCalls, 0) << "getBandIDs(true) never asks for a band";
        EXPECT_EQ(set.getBandIDs(false), c.idsVisible);
        EXPECT_EQ(set.getBandNames(true), names(c.namesWithHidden));
        EXPECT_EQ(set.getBandNames(false), names(c.namesVisible));
    }
}

TEST(GeoBandSet, BandCountIsAskedOnEveryTurn)
{
    FakeBandSet set;
    addBands(set, {"A", "B", "C"});
    set.numBandsScript = {3, 3, 1};
    EXPECT_EQ(set.getBandIDs(true), (std::vector<unsigned>{0, 1}));
    EXPECT_EQ(set.getNumBandsCalls, 3);

    FakeBandSet names;
    addBands(names, {"A", "B", "C"});
    names.numBandsScript = {3, 1};
    EXPECT_EQ(names.getBandNames(true), std::set<ZELUNUString>{ZELUNUString("A")});
}

TEST(GeoBandSet, RemoveHiddenBandsKeepsOrderAndRepeats)
{
    FakeBandSet set;
    addBands(set, {"~A", "B", "C", nullptr});
    std::vector<unsigned> ids{2, 0, 2};
    set.removeHiddenBandsFromList(ids);
    EXPECT_EQ(ids, (std::vector<unsigned>{2, 2}));

    std::vector<unsigned> withMissing{3, 1, 0xFFFFFFFFu, 7, 1};
    set.removeHiddenBandsFromList(withMissing);
    EXPECT_EQ(withMissing, (std::vector<unsigned>{1, 1}));
}

TEST(GeoBandSet, HasDesignated)
{
    FakeBandSet empty;
    EXPECT_FALSE(empty.hasDesignated());
    EXPECT_EQ(empty.calls, 1) << "only getDesignatedManager is called";
    EXPECT_EQ(empty.getDesignatedManagerCalls, 1);

    for (bool designated : {false, true}) {
        auto manager = boost::make_shared<FakeDesignatedManager>(designated);
        FakeBandSet set;
        set.setDesignatedManager(manager);
        EXPECT_EQ(set.hasDesignated(), designated);
        EXPECT_EQ(manager->hasDesignatedCalls, 1);
    }

    // An overriding getDesignatedManager is honoured; the member stays empty.
    auto manager = boost::make_shared<FakeDesignatedManager>(true);
    FakeBandSet overriding;
    overriding.managerOverride = manager;
    EXPECT_TRUE(overriding.hasDesignated());
    EXPECT_EQ(overriding.getDesignatedManagerCalls, 1);
    EXPECT_EQ(manager->hasDesignatedCalls, 1);
}

TEST(GeoBandSet, CopiesShareTheDesignatedManager)
{
    auto manager = boost::make_shared<FakeDesignatedManager>(true);
    FakeBandSet source;
    source.setDesignatedManager(manager);

    FakeBandSet copy(source);
    EXPECT_EQ(copy.GeoBandSet::getDesignatedManager().get(), manager.get());

    FakeBandSet assigned;
    static_cast<GeoBandSet&>(assigned) = source;
    EXPECT_EQ(assigned.GeoBandSet::getDesignatedManager().get(), manager.get());
    EXPECT_EQ(manager.use_count(), 4);
}

TEST(GeoBandSet, ComputedBandsAreNotImplemented)
{
    FakeBandSet set;
    addBands(set, {"A"});
    EXPECT_EQ(set.addComputedBand(ZELUNUString("B"), BandType(), ZELUNUString("A * 2"), ZELUNUnit::kUp,
                                  ZELUNUnit::kDown),
              700028);
    EXPECT_EQ(set.calls, 0);
    EXPECT_EQ(set.getBandIDs(true), (std::vector<unsigned>{0}));
}

TEST(GeoBandSet, WellKnownBandNames)
{
    EXPECT_EQ(kDepthBandName, ZELUNUString("Depth"));
    EXPECT_EQ(kStatusBandName, ZELUNUString("Status"));
    EXPECT_EQ(kIndexBandName, ZELUNUString("Index"));
    EXPECT_EQ(kDesignatedBandName, ZELUNUString("Designated"));
}
