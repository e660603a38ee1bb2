#include <typeinfo>

#include "datavectorutils/VectorOpsSupport.h"

using namespace vectorops;

namespace {

// `dst` with the block of `size` at dstOrigin taken from `src` at srcOrigin,
// each addressed with its own row length.
Bytes copiedBlock(Bytes dst, unsigned dstD0, P2 dstOrigin, Bytes const& src, unsigned srcD0, P2 srcOrigin, P2 size,
                  std::size_t w)
{
    for (unsigned r = 0; r < size[1]; ++r)
        for (unsigned c = 0; c < size[0]; ++c) {
            std::size_t const d = (std::size_t(dstOrigin[1] + r) * dstD0 + dstOrigin[0] + c) * w;
            std::size_t const s = (std::size_t(srcOrigin[1] + r) * srcD0 + srcOrigin[0] + c) * w;
            std::memcpy(dst.data() + d, src.data() + s, w);
        }
    return dst;
}

struct CopyCase {
    P2 dstOrigin, srcOrigin, size;
    long status;
};

}  // namespace

TEST(CopySubsection, BoundsAndStridesForEveryWidth)
{
    // dst 5 × 4 against src 3 × 7: each vector keeps its own row length.
    CopyCase const cases[] = {
        {P2(0, 0), P2(0, 0), P2(3, 4), kSuccess},
        {P2(2, 0), P2(0, 3), P2(3, 4), kSuccess},                  // dst x + w = 5, src y + h = 7
        {P2(1, 2), P2(1, 1), P2(2, 2), kSuccess},
        {P2(5, 0), P2(0, 0), P2(0, 4), kSuccess},                  // w = 0 at dst x = dimension 0
        {P2(0, 4), P2(0, 7), P2(3, 0), kSuccess},                  // h = 0 at the last row of both
        {P2(3, 0), P2(0, 0), P2(3, 1), kErrSubsectionOutOfRange},  // dst x + w = 6
        {P2(0, 1), P2(0, 0), P2(1, 4), kErrSubsectionOutOfRange},  // dst y + h = 5
        {P2(0, 0), P2(1, 0), P2(3, 1), kErrSubsectionOutOfRange},  // src x + w = 4
        {P2(0, 0), P2(0, 4), P2(1, 4), kErrSubsectionOutOfRange},  // src y + h = 8
        {P2(0xFFFFFFFFu, 0), P2(0, 0), P2(2, 1), kErrSubsectionOutOfRange},
        {P2(0, 0xFFFFFFFFu), P2(0, 0), P2(1, 2), kErrSubsectionOutOfRange},
        {P2(0, 0), P2(0xFFFFFFFEu, 0), P2(3, 1), kErrSubsectionOutOfRange},
        {P2(0, 0), P2(0, 0xFFFFFFFFu), P2(1, 2), kErrSubsectionOutOfRange},
    };
    for (DataType t : widthKinds()) {
        for (CopyCase const& c : cases) {
            SCOPED_TRACE(nameOf(t) + " dst " + std::to_string(c.dstOrigin[0]) + "," + std::to_string(c.dstOrigin[1]) +
                         " src " + std::to_string(c.srcOrigin[0]) + "," + std::to_string(c.srcOrigin[1]) + " size " +
                         std::to_string(c.size[0]) + "," + std::to_string(c.size[1]));
            auto dst = marked2D(t, 5, 4, 1);
            auto src = marked2D(t, 3, 7, 100);
            Bytes const before = bytesOf(*dst), source = bytesOf(*src);
            EXPECT_EQ(DataVectorUtils::copySubsection(*dst, c.dstOrigin, *src, c.srcOrigin, c.size), c.status);
            EXPECT_EQ(bytesOf(*dst), c.status ? before
                                               : copiedBlock(before, 5, c.dstOrigin, source, 3, c.srcOrigin, c.size,
                                                             widthOf(t)));
            EXPECT_EQ(bytesOf(*src), source);
        }
    }
}

TEST(CopySubsection, WholeRowsOfEquallyWideVectors)
{
    auto dst = marked2D(DataType(DataType::kInt16), 6, 5, 1);
    auto src = marked2D(DataType(DataType::kInt16), 6, 4, 50);
    Bytes const before = bytesOf(*dst), source = bytesOf(*src);
    EXPECT_EQ(DataVectorUtils::copySubsection(*dst, P2(0, 2), *src, P2(0, 1), P2(6, 3)), kSuccess);
    EXPECT_EQ(bytesOf(*dst), copiedBlock(before, 6, P2(0, 2), source, 6, P2(0, 1), P2(6, 3), 2));
}

TEST(CopySubsection, TupleLengthsMustMatch)
{
    auto dst = marked2D(DataType(DataType::kUInt16, 3), 2, 2, 1);
    auto src = marked2D(DataType(DataType::kUInt16, 2), 2, 2, 9);
    Bytes const before = bytesOf(*dst);
    EXPECT_EQ(DataVectorUtils::copySubsection(*dst, P2(0, 0), *src, P2(0, 0), P2(1, 1)), kErrDataTypesDiffer);
    EXPECT_EQ(bytesOf(*dst), before);
}

TEST(CopySubsection, EmptyVectors)
{
    for (P2 dims : {P2(0, 3), P2(3, 0)}) {
        auto a = DataVectorND<2>::create(DataType(DataType::kFloat64), dims);
        auto b = DataVectorND<2>::create(DataType(DataType::kFloat64), dims);
        EXPECT_EQ(DataVectorUtils::copySubsection(*a, P2(0, 0), *b, P2(0, 0), dims), kSuccess);
        EXPECT_EQ(DataVectorUtils::copySubsection(*a, P2(0, 0), *a, P2(0, 0), dims), kSuccess);
    }
}

// Within one vector the result is a copy from a snapshot of the source
// block, whichever way the blocks overlap.
TEST(CopySubsection, OverlapInsideOneVectorReadsTheSourceFirst)
{
    struct Shift {
        P2 dst, src, size;
    } const shifts[] = {
        {P2(2, 1), P2(1, 1), P2(4, 3)},  // one column right
        {P2(1, 1), P2(2, 1), P2(4, 3)},  // one column left
        {P2(1, 2), P2(1, 1), P2(4, 3)},  // one row down
        {P2(1, 1), P2(1, 2), P2(4, 3)},  // one row up
        {P2(2, 2), P2(1, 1), P2(4, 3)},  // diagonal
        {P2(1, 1), P2(2, 2), P2(4, 3)},
        {P2(0, 1), P2(0, 0), P2(7, 4)},  // whole rows, one row down
        {P2(0, 0), P2(0, 1), P2(7, 4)},  // whole rows, one row up
        {P2(1, 1), P2(1, 1), P2(4, 3)},  // onto itself
    };
    for (DataType t : widthKinds()) {
        for (Shift const& s : shifts) {
            SCOPED_TRACE(nameOf(t) + " dst " + std::to_string(s.dst[0]) + "," + std::to_string(s.dst[1]) + " src " +
                         std::to_string(s.src[0]) + "," + std::to_string(s.src[1]));
            auto v = marked2D(t, 7, 5, 3);
            Bytes const snapshot = bytesOf(*v);
            EXPECT_EQ(DataVectorUtils::copySubsection(*v, s.dst, *v, s.src, s.size), kSuccess);
            EXPECT_EQ(bytesOf(*v), copiedBlock(snapshot, 7, s.dst, snapshot, 7, s.src, s.size, widthOf(t)));
        }
    }
}

TEST(CopySubsection, ForeignClassThrowsWithNothingWritten)
{
    float data[4] = {7, 7, 7, 7};
    ForeignVector foreign(DataType(DataType::kFloat32), 2, 2, data);
    auto lib = marked2D(DataType(DataType::kFloat32), 2, 2, 5);
    Bytes const before = bytesOf(*lib);
    EXPECT_THROW(DataVectorUtils::copySubsection(foreign, P2(0, 0), *lib, P2(0, 0), P2(2, 2)), std::bad_cast);
    EXPECT_THROW(DataVectorUtils::copySubsection(*lib, P2(0, 0), foreign, P2(0, 0), P2(2, 2)), std::bad_cast);
    EXPECT_EQ(bytesOf(*lib), before);
    for (float f : data) EXPECT_EQ(f, 7.0f);

    ForeignVector odd(DataType(DataType::Type(10)), 2, 2, data);
    EXPECT_EQ(DataVectorUtils::copySubsection(odd, P2(0, 0), odd, P2(1, 0), P2(1, 2)), kSuccess);
    for (float f : data) EXPECT_EQ(f, 7.0f);
}
