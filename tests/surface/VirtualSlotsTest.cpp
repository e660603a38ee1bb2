#include <cstddef>
#include <cstring>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "zorvsupport/surface/AttributeInterface.h"
#include "zorvsupport/surface/DesignatedIterator.h"
#include "zorvsupport/surface/DesignatedManager.h"
#include "zorvsupport/surface/GeoBandSet.h"
#include "zorvsupport/surface/IBand.h"
#include "zorvsupport/surface/IGeoBandSet.h"
#include "zorvsupport/surface/MetaDataBase.h"
#include "zorvsupport/surface/NodeIterator.h"
#include "zorvsupport/surface/ShiftSource.h"
#include "zorvsupport/surface/SoundingSource.h"
#include "zorvsupport/surface/StateCheckNodeIterator.h"
#include "zorvsupport/surface/SurfaceFactory.h"
#include "zorvsupport/types/Band.h"

using namespace ZORV_3_13_0_::DataSet;

// Hosts are compiled against the virtual tables, so the slot of every
// operation is part of the interface. Under the Itanium C++ ABI a pointer to
// a virtual member function holds 1 + the slot's byte offset, and a virtual
// destructor takes two slots.
namespace {

template <class M>
long slotOf(M member)
{
    struct Representation {
        std::ptrdiff_t ptr;
        std::ptrdiff_t adjustment;
    };
    static_assert(sizeof(M) == sizeof(Representation));
    Representation r;
    std::memcpy(&r, &member, sizeof r);
    EXPECT_EQ(r.ptr % long(sizeof(void*)), 1) << "not a virtual operation";
    return long((r.ptr - 1) / std::ptrdiff_t(sizeof(void*)));
}

}  // namespace

TEST(VirtualSlots, GeoBandSet)
{
    using G = GeoBandSet;
    std::vector<long> const slots = {
        slotOf(&G::getCoordSystem),
        slotOf(&G::getCover),
        slotOf(&G::reserved1),
        slotOf(&G::reserved5),
        slotOf(static_cast<Band const* (G::*)(unsigned) const>(&G::getBand)),
        slotOf(static_cast<Band* (G::*)(unsigned)>(&G::getBand)),
        slotOf(&G::getNumBands),
        slotOf(&G::getBandID),
        slotOf(&G::getBandIDs),
        slotOf(&G::getBandNames),
        slotOf(&G::hasDesignated),
        slotOf(&G::getDesignatedManager),
        slotOf(&G::reserved6),
        slotOf(&G::addComputedBand),
        slotOf(&G::reserved7),
        slotOf(&G::reserved9),
        slotOf(&G::getNodeIterator),
        slotOf(&G::reserved10),
        slotOf(&G::reserved14),
    };
    EXPECT_EQ(slots, (std::vector<long>{0, 1, 2, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 19, 20, 21, 25}));

    using M = DesignatedManager;
    EXPECT_EQ(slotOf(&M::hasDesignated), 0);
    EXPECT_EQ(slotOf(&M::reserved1), 1);
    EXPECT_EQ(slotOf(&M::reserved5), 5);
    EXPECT_EQ(slotOf(&M::getIterator), 6);
}

TEST(VirtualSlots, NodeIterators)
{
    using N = NodeIterator;
    std::vector<long> const slots = {
        slotOf(&N::done),        slotOf(&N::next),      slotOf(&N::refresh),     slotOf(&N::getNumStates),
        slotOf(&N::hasStates),   slotOf(&N::getState),  slotOf(&N::reserved1),   slotOf(&N::reserved3),
        slotOf(&N::isDuplicate), slotOf(&N::getPosition), slotOf(&N::reserved4), slotOf(&N::reserved5),
        slotOf(&N::getBandType), slotOf(&N::getBandIDs), slotOf(&N::getBandSet),
    };
    // Slots 0 and 1 are the destructor.
    EXPECT_EQ(slots, (std::vector<long>{2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17}));
    EXPECT_EQ(slotOf(&StateCheckNodeIterator::addCheck), 18);
    EXPECT_EQ(slotOf(&DesignatedIterator::reserved6), 18);
    EXPECT_EQ(slotOf(&DesignatedIterator::reserved10), 22);
}

TEST(VirtualSlots, ShellsAndAttributes)
{
    EXPECT_EQ(slotOf(&IBand::reserved1), 0);
    EXPECT_EQ(slotOf(&IBand::reserved4), 3);
    EXPECT_EQ(slotOf(&IBandSet::reserved6), 5);
    EXPECT_EQ(slotOf(&IGeoBandSet::reserved7), 8) << "after the six operations and the destructor";
    EXPECT_EQ(slotOf(&IGeoBandSet::reserved9), 10);
    EXPECT_EQ(slotOf(&MetaDataBase::reserved1), 2) << "after the destructor";
    EXPECT_EQ(slotOf(&AttributeInterface::getValue), 2);
    EXPECT_EQ(slotOf(&AttributeInterface::getAvailableAttributes), 3);
}

TEST(VirtualSlots, SurfacePlugin)
{
    using P = SurfaceFactory::SurfaceFactoryPlugin;
    std::vector<long> const slots = {
        slotOf(&P::reserved1),          slotOf(&P::getSurface),         slotOf(&P::hasCoordSys),
        slotOf(&P::getDatasetNames),    slotOf(&P::deleteSurfaceFiles), slotOf(&P::renameSurfaceFiles),
    };
    // Slots 0 and 1 are the destructor.
    EXPECT_EQ(slots, (std::vector<long>{2, 3, 4, 5, 6, 7}));
}

TEST(VirtualSlots, SoundingAndShiftSources)
{
    using S = SoundingSource;
    std::vector<long> const slots = {
        slotOf(&S::print),           slotOf(&S::getSoundingCount), slotOf(&S::getSoundings),
        slotOf(&S::getCover),        slotOf(&S::getNumSoundingGroups), slotOf(&S::getCoordSystem),
        slotOf(&S::newCopy),
    };
    EXPECT_EQ(slots, (std::vector<long>{2, 3, 4, 5, 6, 7, 8})) << "after the destructor";
    EXPECT_EQ(slotOf(&ShiftSource::reserved1), 0);
    EXPECT_EQ(slotOf(&ShiftSource::reserved3), 2);
    EXPECT_EQ(slotOf(&ShiftSource::getDirection), 3);
    EXPECT_EQ(slotOf(&ShiftSource::getDummyValue), 4);
    EXPECT_EQ(slotOf(&ShiftSource::getCoordSystem), 5);
    EXPECT_EQ(slotOf(&ShiftSource::setDummyValue), 6);
}
