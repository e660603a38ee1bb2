#include <cmath>
#include <limits>
#include <typeinfo>

#include "datavectorutils/VectorOpsSupport.h"
#include "support/SimdTargets.h"

using namespace vectorops;

namespace {

using P1 = ZELUNnPoint<unsigned, 1>;
using P3 = ZELUNnPoint<unsigned, 3>;

struct RangeCase {
    unsigned size, first, last;
    long status;
    bool writes;  // [first, last) written when the status is 0
};

}  // namespace

TEST(Fill, RangeBoundariesForEveryWidth)
{
    RangeCase const cases[] = {
        {4, 2, 2, kSuccess, false},           // first = last
        {4, 4, 4, kSuccess, false},           // first = last = size
        {4, 0, 4, kSuccess, true},            // last = size writes the last element
        {4, 1, 3, kSuccess, true},
        {4, 1, 5, kErrFillOutOfRange, false}, // size + 1
        {3, 10, 5, kErrFillOutOfRange, false},// last checked before first
        {4, 4, 2, kSuccess, false},           // first > last
        {0, 0, 0, kSuccess, false},
        {0, 0, 1, kErrFillOutOfRange, false},
    };
    for (DataType t : widthKinds()) {
        for (RangeCase const& c : cases) {
            SCOPED_TRACE(nameOf(t) + " size " + std::to_string(c.size) + " [" + std::to_string(c.first) + ", " +
                         std::to_string(c.last) + ")");
            auto v = DataVectorND<1>::create(t, P1(c.size));
            markBytes(*v, 3);
            Bytes const before = bytesOf(*v);
            Variant const value = valueOf(t, 0x40);
            EXPECT_EQ(DataVectorUtils::fill(*v, c.first, c.last, value), c.status);
            EXPECT_EQ(bytesOf(*v), c.writes ? withRun(before, c.first, c.last, value, widthOf(t)) : before);
        }
    }
}

TEST(Fill, EmptyTwoDimensionalVectors)
{
    for (P2 dims : {P2(0, 3), P2(3, 0)}) {
        auto v = DataVectorND<2>::create(DataType(DataType::kFloat32), dims);
        ASSERT_EQ(v->getDataPtr(), nullptr);
        EXPECT_EQ(DataVectorUtils::fill(*v, 0, 0, Variant(1.0f)), kSuccess);
        EXPECT_EQ(DataVectorUtils::fillSubsection(*v, P2(0, 0), dims, Variant(1.0f)), kSuccess);
    }
}

TEST(Fill, RunCrossesRowsAndPlanes)
{
    // 3 × 2 × 2: elements 2 .. 9 span the end of row 0, row 1 and plane 1.
    for (DataType t : widthKinds()) {
        SCOPED_TRACE(nameOf(t));
        auto v = DataVectorND<3>::create(t, P3(3, 2, 2));
        markBytes(*v, 11);
        Bytes const before = bytesOf(*v);
        Variant const value = valueOf(t, 0x20);
        EXPECT_EQ(DataVectorUtils::fill(*v, 2, 10, value), kSuccess);
        EXPECT_EQ(bytesOf(*v), withRun(before, 2, 10, value, widthOf(t)));
    }
}

TEST(Fill, ValueOfAnotherTypeIsRefused)
{
    auto v = DataVectorND<1>::create(DataType(DataType::kUInt16, 3), P1(4));
    markBytes(*v, 5);
    Bytes const before = bytesOf(*v);
    for (DataType other : {DataType(DataType::kUInt16, 2), DataType(DataType::kUInt16), DataType(DataType::kInt16, 3)}) {
        EXPECT_EQ(DataVectorUtils::fill(*v, 0, 4, valueOf(other, 1)), kErrValueTypeMismatch);
        EXPECT_EQ(DataVectorUtils::fillSubsection(*DataVectorND<2>::create(DataType(DataType::kUInt16, 3), P2(2, 2)),
                                                  P2(0, 0), P2(2, 2), valueOf(other, 1)),
                  kErrValueTypeMismatch);
    }
    EXPECT_EQ(bytesOf(*v), before);
}

TEST(Fill, NaNIsStoredBitForBit)
{
    std::uint32_t const fbits = 0x7FC12345u;
    std::uint64_t const dbits = 0xFFF8000000000123ull;
    float f;
    double d;
    std::memcpy(&f, &fbits, 4);
    std::memcpy(&d, &dbits, 8);
    auto vf = DataVectorND<1>::create(DataType(DataType::kFloat32), P1(37));
    auto vd = DataVectorND<1>::create(DataType(DataType::kFloat64), P1(37));
    EXPECT_EQ(DataVectorUtils::fill(*vf, 0, 37, Variant(f)), kSuccess);
    EXPECT_EQ(DataVectorUtils::fill(*vd, 0, 37, Variant(d)), kSuccess);
    for (unsigned i = 0; i < 37; ++i) {
        std::uint32_t fb;
        std::uint64_t db;
        std::memcpy(&fb, static_cast<float const*>(vf->getConstDataPtr()) + i, 4);
        std::memcpy(&db, static_cast<double const*>(vd->getConstDataPtr()) + i, 8);
        EXPECT_EQ(fb, fbits);
        EXPECT_EQ(db, dbits);
    }
}

// Values whose bytes are all equal, wide tuples and fills large enough to
// bypass the cache each take their own path through the fill.
TEST(Fill, EveryValueShapeAndSizeOnEveryTarget)
{
    forEachSimdTarget([] {
        struct Case {
            DataType type;
            unsigned size, first, last;
            unsigned char firstByte;
        } const cases[] = {
            {DataType(DataType::kInt32), 1000, 3, 997, 0},           // all bytes zero
            {DataType(DataType::kUInt16, 3), 1000, 1, 999, 9},       // small tuple from a cached pattern
            {DataType(DataType::kFloat64, 300), 20, 2, 19, 4},       // tuple wider than the pattern block
            {DataType(DataType::kFloat32), 3u << 20, 5, (3u << 20) - 3, 0x40},  // 12 MiB
            {DataType(DataType::kUInt8, 3), 4u << 20, 7, (4u << 20) - 1, 0x10}, // 12 MiB of tuples
            {DataType(DataType::kVec3), 1u << 20, 1, (1u << 20) - 1, 0x30},     // 24 MiB of 3-vectors
        };
        for (Case const& c : cases) {
            SCOPED_TRACE(nameOf(c.type) + " size " + std::to_string(c.size));
            auto v = DataVectorND<1>::create(c.type, P1(c.size));
            markBytes(*v, 1);
            Bytes const before = bytesOf(*v);
            Variant const value = c.firstByte ? valueOf(c.type, c.firstByte) : Variant(c.type);
            EXPECT_EQ(DataVectorUtils::fill(*v, c.first, c.last, value), kSuccess);
            EXPECT_TRUE(bytesOf(*v) == withRun(before, c.first, c.last, value, widthOf(c.type)));
        }
    });
}

namespace {

struct BlockCase {
    P2 origin, size;
    long status;
};

}  // namespace

TEST(FillSubsection, BlockBoundariesForEveryWidth)
{
    unsigned const d0 = 5, d1 = 4;
    BlockCase const cases[] = {
        {P2(5, 0), P2(0, 4), kSuccess},                 // w = 0 at x = dimension 0
        {P2(0, 4), P2(5, 0), kSuccess},                 // h = 0 at y = dimension 1
        {P2(0, 0), P2(5, 4), kSuccess},                 // the full block
        {P2(1, 1), P2(3, 2), kSuccess},
        {P2(0, 1), P2(5, 2), kSuccess},                 // whole rows
        {P2(4, 3), P2(1, 1), kSuccess},                 // the last element
        {P2(1, 0), P2(5, 1), kErrFillOutOfRange},       // one column too many
        {P2(0, 1), P2(1, 4), kErrFillOutOfRange},       // one row too many
        {P2(0xFFFFFFFFu, 0), P2(2, 1), kErrFillOutOfRange},  // would wrap to x + w = 1
        {P2(0, 0xFFFFFFFFu), P2(1, 2), kErrFillOutOfRange},
    };
    for (DataType t : widthKinds()) {
        for (BlockCase const& c : cases) {
            SCOPED_TRACE(nameOf(t) + " origin " + std::to_string(c.origin[0]) + "," + std::to_string(c.origin[1]) +
                         " size " + std::to_string(c.size[0]) + "," + std::to_string(c.size[1]));
            auto v = marked2D(t, d0, d1, 9);
            Bytes expected = bytesOf(*v);
            Variant const value = valueOf(t, 0x60);
            if (c.status == kSuccess)
                for (unsigned r = 0; r < c.size[1]; ++r) {
                    std::size_t const e = std::size_t(c.origin[1] + r) * d0 + c.origin[0];
                    expected = withRun(expected, e, e + c.size[0], value, widthOf(t));
                }
            EXPECT_EQ(DataVectorUtils::fillSubsection(*v, c.origin, c.size, value), c.status);
            EXPECT_EQ(bytesOf(*v), expected);
        }
    }
}

// Blocks large enough to bypass the cache, in long rows (streamed) and in
// rows under 4 KiB (ordinary stores), for several widths and rows of one
// element; everything outside the block keeps its bytes.
TEST(FillSubsection, LargeBlocksOnEveryTarget)
{
    struct Case {
        DataType type;
        unsigned d0, d1;
        P2 origin, size;
    } const cases[] = {
        {DataType(DataType::kFloat32), 2048, 2048, P2(3, 7), P2(2000, 2000)},     // rows of 8000 bytes
        {DataType(DataType::kFloat32), 4096, 3000, P2(5, 1), P2(1000, 2999)},     // rows of 4000 bytes
        {DataType(DataType::kUInt8, 3), 3000, 3000, P2(1, 1), P2(1365, 2999)},    // rows of 4095 bytes
        {DataType(DataType::kVec3), 200, 2100, P2(7, 50), P2(170, 2000)},         // rows of 4080 bytes
        {DataType(DataType::kUInt16, 3), 1000, 2000, P2(99, 3), P2(900, 1990)},   // rows of 5400 bytes
        {DataType(DataType::kFloat64), 3, 1200000, P2(1, 5), P2(1, 1100000)},     // rows of one element
    };
    forEachSimdTarget([&] {
        for (Case const& c : cases) {
            SCOPED_TRACE(nameOf(c.type) + " " + std::to_string(c.size[0]) + " x " + std::to_string(c.size[1]));
            auto v = marked2D(c.type, c.d0, c.d1, 5);
            Bytes expected = bytesOf(*v);
            Variant const value = valueOf(c.type, 0x41);
            std::size_t const w = widthOf(c.type);
            for (unsigned r = 0; r < c.size[1]; ++r)
                for (unsigned x = 0; x < c.size[0]; ++x)
                    std::memcpy(expected.data() + ((std::size_t(c.origin[1]) + r) * c.d0 + c.origin[0] + x) * w,
                                value.getPtr(), w);
            EXPECT_EQ(DataVectorUtils::fillSubsection(*v, c.origin, c.size, value), kSuccess);
            EXPECT_TRUE(bytesOf(*v) == expected);
        }
    });
}

TEST(FillAndFillSubsection, ForeignClassThrowsWithNothingWritten)
{
    float data[4] = {7, 7, 7, 7};
    ForeignDataVector flat(DataType(DataType::kFloat32), {4});
    flat.setDataPtr(data);
    ForeignVector v(DataType(DataType::kFloat32), 2, 2, data);
    EXPECT_THROW(DataVectorUtils::fill(flat, 0, 4, Variant(1.0f)), std::bad_cast);
    EXPECT_THROW(DataVectorUtils::fill(v, 0, 4, Variant(1.0f)), std::bad_cast);
    EXPECT_THROW(DataVectorUtils::fillSubsection(v, P2(0, 0), P2(2, 2), Variant(1.0f)), std::bad_cast);
    for (float f : data) EXPECT_EQ(f, 7.0f);

    // A type code without an element type: nothing to dispatch to.
    ForeignVector odd(DataType(DataType::Type(10)), 2, 2, data);
    ForeignDataVector oddFlat(DataType(DataType::Type(10)), {4});
    oddFlat.setDataPtr(data);
    Variant const value{DataType(DataType::Type(10))};
    EXPECT_EQ(DataVectorUtils::fill(oddFlat, 0, 4, value), kSuccess);
    EXPECT_EQ(DataVectorUtils::fillSubsection(odd, P2(0, 0), P2(2, 2), value), kSuccess);
    for (float f : data) EXPECT_EQ(f, 7.0f);
}
