#include <typeinfo>

#include "datavectorutils/VectorOpsSupport.h"
#include "support/AllocationLimit.h"
#include "support/SimdTargets.h"
#include "zorvsupport/datavector/StorageTestHooks.h"

using namespace vectorops;

namespace {

// True when v holds, at (x, y), the element of `before` at (y, x), with the
// dimensions swapped.
::testing::AssertionResult isTransposeOf(DataVectorND<2> const& v, DataVectorND<2> const& before)
{
    unsigned const d0 = before.getDimension(0), d1 = before.getDimension(1);
    if (v.getDimensions() != P2(d1, d0))
        return ::testing::AssertionFailure() << "dimensions " << v.getDimension(0) << " x " << v.getDimension(1);
    std::size_t const w = widthOf(before.getDataType());
    for (unsigned y = 0; y < d0; ++y)
        for (unsigned x = 0; x < d1; ++x)
            if (std::memcmp(v.get(P2(x, y)).getPtr(), before.get(P2(y, x)).getPtr(), w) != 0)
                return ::testing::AssertionFailure() << "element (" << x << ", " << y << ")";
    return ::testing::AssertionSuccess();
}

boost::shared_ptr<DataVectorND<2>> copyOf(DataVectorND<2> const& v)
{
    return boost::dynamic_pointer_cast<DataVectorND<2>>(v.clone());
}

}  // namespace

namespace {

void checkShapes()
{
    // Near-square shapes (sides within a quarter) move in place, the rest
    // into a new block: both kinds, wide and tall, over several tiles.
    P2 const shapes[] = {P2(2, 2),  P2(3, 2),   P2(2, 3),   P2(1, 9),   P2(9, 1),   P2(0, 0),
                         P2(0, 5),  P2(5, 0),   P2(17, 33), P2(64, 64), P2(65, 63), P2(130, 129),
                         P2(1, 1),  P2(259, 131), P2(131, 517), P2(300, 7), P2(7, 300), P2(5, 4),
                         P2(4, 5),  P2(300, 241), P2(241, 300)};
    // Tuples of 16 and 8 bytes move like wide scalars; 3 and 12 bytes element by element.
    std::vector<DataType> kinds = widthKinds();
    kinds.insert(kinds.end(), {DataType(DataType::kFloat64, 2), DataType(DataType::kInt32, 2), DataType(DataType::kUInt8, 3),
                               DataType(DataType::kInt32, 3)});
    for (DataType t : kinds) {
        for (P2 s : shapes) {
            SCOPED_TRACE(nameOf(t) + " " + std::to_string(s[0]) + " x " + std::to_string(s[1]));
            auto v = marked2D(t, s[0], s[1], 17);
            auto const before = copyOf(*v);
            EXPECT_EQ(DataVectorUtils::transpose(*v), kSuccess);
            EXPECT_TRUE(isTransposeOf(*v, *before));
            EXPECT_EQ(DataVectorUtils::transpose(*v), kSuccess);
            EXPECT_EQ(bytesOf(*v), bytesOf(*before));
            EXPECT_EQ(v->getDimensions(), s);
        }
    }
}

}  // namespace

TEST(Transpose, ShapesForEveryWidthOnEveryTarget)
{
    forEachSimdTarget(checkShapes);
}

TEST(Transpose, WorkedExample)
{
    // (0,0)=a (1,0)=b (0,1)=c (1,1)=d becomes a c / b d.
    auto v = DataVectorND<2>::create(DataType(DataType::kInt32), P2(2, 2));
    int* p = static_cast<int*>(v->getDataPtr());
    p[0] = 1, p[1] = 2, p[2] = 3, p[3] = 4;
    EXPECT_EQ(DataVectorUtils::transpose(*v), kSuccess);
    EXPECT_EQ((std::vector<int>(p, p + 4)), (std::vector<int>{1, 3, 2, 4}));
}

TEST(Transpose, ElementsWiderThanATile)
{
    // Tuples of 3000 doubles: 24000 bytes an element.
    for (P2 s : {P2(3, 3), P2(3, 2)}) {
        auto v = marked2D(DataType(DataType::kFloat64, 3000), s[0], s[1], 2);
        auto const before = copyOf(*v);
        EXPECT_EQ(DataVectorUtils::transpose(*v), kSuccess);
        EXPECT_TRUE(isTransposeOf(*v, *before));
    }
}

TEST(Transpose, ResizeableFlag)
{
    auto square = marked2D(DataType(DataType::kFloat32), 3, 3, 1);
    auto const squareBefore = copyOf(*square);
    square->setResizeable(false);
    EXPECT_EQ(DataVectorUtils::transpose(*square), kSuccess);
    EXPECT_TRUE(isTransposeOf(*square, *squareBefore));

    for (P2 s : {P2(3, 2), P2(1, 4), P2(0, 4)}) {
        auto v = marked2D(DataType(DataType::kFloat32), s[0], s[1], 1);
        Bytes const before = bytesOf(*v);
        v->setResizeable(false);
        EXPECT_EQ(DataVectorUtils::transpose(*v), kErrNotResizeable);
        EXPECT_EQ(v->getDimensions(), s);
        EXPECT_EQ(bytesOf(*v), before);
    }
}

TEST(Transpose, AllocationFailureLeavesTheVectorUnchanged)
{
    // A new block (5 x 3) or the scratch of a near-square shape (9 x 8, 8 x 9).
    for (DataType t : widthKinds())
        for (P2 s : {P2(5, 3), P2(9, 8), P2(8, 9)}) {
            SCOPED_TRACE(nameOf(t) + " " + std::to_string(s[0]) + " x " + std::to_string(s[1]));
            auto v = marked2D(t, s[0], s[1], 4);
            auto const before = copyOf(*v);
            DataVectorImp::failNextStorageAllocations(1);
            long const status = DataVectorUtils::transpose(*v);
            DataVectorImp::failNextStorageAllocations(0);
            EXPECT_EQ(status, kErrOutOfMemory);
            EXPECT_EQ(v->getDimensions(), s);
            EXPECT_EQ(bytesOf(*v), bytesOf(*before));
            // The hook is off again: the same call now succeeds.
            EXPECT_EQ(DataVectorUtils::transpose(*v), kSuccess);
            EXPECT_TRUE(isTransposeOf(*v, *before));
        }
}

TEST(Transpose, NonSquareNeedsOnlyItsOwnSize)
{
    // A square detour would need 10^10 and 2^32 elements.
    zorvtest::AllocationLimit const limit(64ull << 20);
    auto row = DataVectorND<2>::create(DataType(DataType::kFloat32), P2(1, 100000));
    auto* p = static_cast<float*>(row->getDataPtr());
    for (unsigned i = 0; i < 100000; ++i) p[i] = float(i);
    EXPECT_EQ(DataVectorUtils::transpose(*row), kSuccess);
    EXPECT_EQ(row->getDimensions(), P2(100000, 1));
    p = static_cast<float*>(row->getDataPtr());
    for (unsigned i = 0; i < 100000; i += 999) EXPECT_EQ(p[i], float(i));

    auto tall = marked2D(DataType(DataType::kUInt8), 65536, 2, 3);
    auto const before = copyOf(*tall);
    EXPECT_EQ(DataVectorUtils::transpose(*tall), kSuccess);
    EXPECT_TRUE(isTransposeOf(*tall, *before));
}

TEST(Transpose, ForeignClassThrowsBeforeTheFlagIsRead)
{
    float data[6] = {1, 2, 3, 4, 5, 6};
    ForeignVector v(DataType(DataType::kFloat32), 3, 2, data);
    v.setResizeable(false);
    EXPECT_THROW(DataVectorUtils::transpose(v), std::bad_cast);
    EXPECT_EQ(v.getDimensions(), P2(3, 2));
    EXPECT_EQ(data[1], 2.0f);

    ForeignVector odd(DataType(DataType::Type(10)), 3, 2, data);
    EXPECT_EQ(DataVectorUtils::transpose(odd), kSuccess);
    EXPECT_EQ(odd.getDimensions(), P2(3, 2));
}
