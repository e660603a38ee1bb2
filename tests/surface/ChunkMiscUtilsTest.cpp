#include <cstdint>
#include <limits>
#include <vector>

#include <boost/shared_ptr.hpp>
#include <gtest/gtest.h>

#include "support/AllocationLimit.h"
#include "support/FakeBandSet.h"
#include "support/FakeNodeIterator.h"
#include "support/NodeBuffers.h"
#include "zorvsupport/surface/ChunkMiscUtils.h"
#include "zorvsupport/types/BandType.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::FakeBandSet;
using zorvtest::FakeNodeIterator;
using zorvtest::makeBuffer;

namespace {

using F32 = TDataType<0>;
using F64 = TDataType<1>;
using U16Tuple = TTupleDataType<TDataType<5>>;
using Vec3 = ZELUNVec3<double>;

constexpr unsigned kBand = 3;
float const kNaN = std::numeric_limits<float>::quiet_NaN();

BandType bandOf(DataType const& type, Variant const& noData)
{
    BandType band = BandType::createScalar(type, ZELUNUString("m"), ZELUNUnit::kDown, Variant());
    band.setNoDataValue(noData);
    return band;
}

Variant tuple(std::vector<std::uint16_t> const& values)
{
    unsigned const n = static_cast<unsigned>(values.size());
    return Variant(U16Tuple(n), ConstTupleProxy<U16Tuple>(values.data(), n));
}

struct Case {
    char const* label;
    BandType band;
    boost::shared_ptr<DataVector> buffer;  // null: not buffered
    bool set;
};

}  // namespace

TEST(ChunkMiscUtils, IsAttSet)
{
    DataType const f32(DataType::kFloat32);
    DataType const u16x3(DataType::kUInt16, 3);
    Case const cases[] = {
        {"float32 equal to no-data", bandOf(f32, Variant(5.0f)), makeBuffer(F32(), {1.0f, 5.0f}), false},
        {"float32 different", bandOf(f32, Variant(5.0f)), makeBuffer(F32(), {1.0f, 6.0f}), true},
        {"NaN value", bandOf(f32, Variant(5.0f)), makeBuffer(F32(), {1.0f, kNaN}), true},
        {"NaN no-data", bandOf(f32, Variant(kNaN)), makeBuffer(F32(), {1.0f, kNaN}), true},
        {"no-data of another type", bandOf(f32, Variant(5.0)), makeBuffer(F32(), {1.0f, 5.0f}), true},
        {"no-data without a value", bandOf(f32, Variant()), makeBuffer(F32(), {1.0f, 5.0f}), true},
        {"buffer of another type", bandOf(f32, Variant(5.0f)), makeBuffer(F64(), {1.0, 6.0}), false},
        {"3-vector scalar", bandOf(DataType(DataType::kVec3), Variant(Vec3(0, 0, 0))),
         makeBuffer(TDataType<11>(), {Vec3(1, 2, 3), Vec3(4, 5, 6)}), false},
        {"tuple equal to no-data", bandOf(u16x3, tuple({1, 2, 3})), makeBuffer(U16Tuple(3), {0, 0, 0, 1, 2, 3}),
         false},
        {"tuple unequal to no-data", bandOf(u16x3, tuple({1, 2, 3})), makeBuffer(U16Tuple(3), {0, 0, 0, 1, 2, 4}),
         true},
        {"tuple no-data of another length", bandOf(u16x3, tuple({1, 2})), makeBuffer(U16Tuple(3), {0, 0, 0, 1, 2, 0}),
         true},
        {"unbuffered band", bandOf(f32, Variant(5.0f)), nullptr, false},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.label);
        FakeBandSet set;
        FakeNodeIterator it(set);
        it.setBandType(kBand, c.band);
        if (c.buffer) it.setBuffer(kBand, c.buffer);
        it.setCurrentIndex(1);
        EXPECT_EQ(ChunkMiscUtils::isAttSet(it, kBand), c.set);
    }
}

TEST(ChunkMiscUtils, IsAttSetNeedsACurrentNode)
{
    FakeBandSet set;
    FakeNodeIterator it(set);
    it.setBandType(kBand, bandOf(DataType(DataType::kFloat32), Variant(5.0f)));
    it.setBuffer(kBand, makeBuffer(F32(), {1.0f}));
    EXPECT_TRUE(ChunkMiscUtils::isAttSet(it, kBand));
    it.setHasCurrentNode(false);
    EXPECT_FALSE(ChunkMiscUtils::isAttSet(it, kBand));
    // A band id beyond 32 bits names no band, not band 3.
    it.setHasCurrentNode(true);
    EXPECT_FALSE(ChunkMiscUtils::isAttSet(it, (1ul << 32) + kBand));
}

TEST(ChunkMiscUtils, IsAttSetMakesNoTupleOfTheBandsLength)
{
    // A band type of 2^30 uint16 values over a buffer of 3-tuples: the read
    // fails on the type, and nothing of the band's length is allocated.
    FakeBandSet set;
    FakeNodeIterator it(set);
    // A defined no-data value is kept, so none of the band's length is made.
    it.setBandType(kBand, BandType::createScalar(DataType(DataType::kUInt16, 1u << 30), ZELUNUString("m"),
                                                 ZELUNUnit::kDown, Variant(5.0f)));
    it.setBuffer(kBand, makeBuffer(U16Tuple(3), {1, 2, 3}));
    it.setCurrentIndex(0);

    zorvtest::AllocationLimit const limit(64ull << 20);
    EXPECT_FALSE(ChunkMiscUtils::isAttSet(it, kBand));
}
