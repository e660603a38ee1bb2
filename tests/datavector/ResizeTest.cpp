#include <gtest/gtest.h>

#include <vector>

#include "zorvsupport/datavector/StorageTestHooks.h"
#include "zorvsupport/datavector/TDataVector.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using F32 = TDataType<0>;
using P2 = ZELUNnPoint<unsigned, 2>;

std::vector<float> valuesOf(DataVector const& v)
{
    auto const* p = static_cast<float const*>(v.getConstDataPtr());
    return p ? std::vector<float>(p, p + v.size()) : std::vector<float>();
}

// The worked example: (3, 2) holding 1 2 3 / 4 5 6.
boost::shared_ptr<DataVectorND<2>> example()
{
    auto v = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), P2(3, 2));
    auto* p = static_cast<float*>(v->getDataPtr());
    for (int i = 0; i < 6; ++i) p[i] = float(i + 1);
    return v;
}

}  // namespace

TEST(DataVectorResize, WorkedExample)
{
    auto v = example();
    EXPECT_EQ(v->resize(P2(2, 3), true), kSuccess);
    EXPECT_EQ(valuesOf(*v), (std::vector<float>{1, 2, 4, 5, 0, 0}));
    EXPECT_EQ(v->capacity(), 6u);

    auto w = example();
    EXPECT_EQ(w->resize(P2(2, 3), false), kSuccess);
    EXPECT_EQ(valuesOf(*w), std::vector<float>(6, 0.0f));

    auto x = example();
    EXPECT_EQ(x->resize(4), kSuccess);
    EXPECT_EQ(x->getDimensions(), P2(3, 4));
    EXPECT_EQ(valuesOf(*x), (std::vector<float>{1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0}));
}

TEST(DataVectorResize, UnchangedDimensionsTouchNothing)
{
    auto v = example();
    void* data = v->getDataPtr();
    EXPECT_EQ(v->resize(P2(3, 2), false), kSuccess);
    EXPECT_EQ(v->getDataPtr(), data);
    EXPECT_EQ(valuesOf(*v), (std::vector<float>{1, 2, 3, 4, 5, 6}));
}

TEST(DataVectorResize, NotResizeableComesFirst)
{
    auto v = example();
    EXPECT_TRUE(v->setResizeable(false));
    EXPECT_EQ(v->resize(5), kErrNotResizeable);
    EXPECT_EQ(v->resize(P2(3, 2), true), kErrNotResizeable);
    EXPECT_EQ(v->resize(P2(9, 9), false), kErrNotResizeable);
    EXPECT_EQ(v->getDimensions(), P2(3, 2));
    // The operations behind the entry points do not look at the flag.
    EXPECT_EQ(v->resizeLastDimension(3), kSuccess);
    EXPECT_EQ(v->getDimensions(), P2(3, 3));
}

TEST(DataVectorResize, OneDimensionInPlace)
{
    auto v = DataVectorND<1>::create(DataType(DataType::kFloat32, 0), ZELUNnPoint<unsigned, 1>(5));
    auto* p = static_cast<float*>(v->getDataPtr());
    for (int i = 0; i < 5; ++i) p[i] = float(i + 1);
    EXPECT_EQ(v->resize(ZELUNnPoint<unsigned, 1>(3), true), kSuccess);
    EXPECT_EQ(valuesOf(*v), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(v->capacity(), 5u);
    // Regrowing into reused capacity brings zeros, not the old values.
    EXPECT_EQ(v->resize(ZELUNnPoint<unsigned, 1>(5), true), kSuccess);
    EXPECT_EQ(valuesOf(*v), (std::vector<float>{1, 2, 3, 0, 0}));
    EXPECT_EQ(v->resize(ZELUNnPoint<unsigned, 1>(3), false), kSuccess);
    EXPECT_EQ(valuesOf(*v), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(v->resize(ZELUNnPoint<unsigned, 1>(5), false), kSuccess);
    EXPECT_EQ(valuesOf(*v), std::vector<float>(5, 0.0f));
}

TEST(DataVectorResize, EmptyAndZeroShapes)
{
    auto v = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), P2(0, 4));
    EXPECT_EQ(v->resize(P2(2, 2), true), kSuccess);
    EXPECT_EQ(valuesOf(*v), std::vector<float>(4, 0.0f));

    auto w = example();
    EXPECT_EQ(w->resize(P2(0, 5), true), kSuccess);
    EXPECT_EQ(w->getDimensions(), P2(0, 5));
    EXPECT_EQ(w->size(), 0u);
    EXPECT_EQ(w->getDataPtr(), nullptr);

    auto x = example();
    EXPECT_EQ(x->resize(0), kSuccess);
    EXPECT_EQ(x->getDimensions(), P2(3, 0));
    EXPECT_EQ(x->getDataPtr(), nullptr);
    EXPECT_EQ(x->resize(2), kSuccess);
    EXPECT_EQ(valuesOf(*x), std::vector<float>(6, 0.0f));
}

TEST(DataVectorResize, TuplesKeepWholeTuples)
{
    using U8x3 = TTupleDataType<TDataType<3>>;
    auto v = DataVectorND<2>::create(DataType(DataType::kUInt8, 3), P2(2, 2));
    auto* p = static_cast<unsigned char*>(v->getDataPtr());
    for (int i = 0; i < 12; ++i) p[i] = static_cast<unsigned char>(i + 1);
    EXPECT_EQ(v->resize(P2(3, 2), true), kSuccess);
    EXPECT_EQ(v->getDataType(), DataType(DataType::kUInt8, 3));
    auto const* q = static_cast<unsigned char const*>(v->getConstDataPtr());
    std::vector<unsigned char> got(q, q + 18);
    EXPECT_EQ(got, (std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 0, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0, 0}));
    (void)sizeof(U8x3);
}

TEST(DataVectorResize, Vec3GrowthIsZero)
{
    auto v = DataVectorND<2>::create(DataType(DataType::kVec3, 0), P2(1, 1));
    static_cast<ZELUNVec3<double>*>(v->getDataPtr())[0] = ZELUNVec3<double>(1, 2, 3);
    EXPECT_EQ(v->resize(P2(2, 2), true), kSuccess);
    EXPECT_EQ(v->resizeLastDimension(3), kSuccess);
    auto const* p = static_cast<ZELUNVec3<double> const*>(v->getConstDataPtr());
    EXPECT_EQ(p[0], ZELUNVec3<double>(1, 2, 3));
    for (int i = 1; i < 6; ++i) EXPECT_EQ(p[i], ZELUNVec3<double>()) << i;
}

TEST(DataVectorResize, PreservedOverlapInEveryDimensionCount)
{
    // uint8 4 x 4 to (2, 8): exactly the elements with i0 < 2 and i1 < 4 stay.
    auto v = DataVectorND<2>::create(DataType(DataType::kUInt8, 0), P2(4, 4));
    auto* p = static_cast<unsigned char*>(v->getDataPtr());
    for (int i = 0; i < 16; ++i) p[i] = static_cast<unsigned char>(i + 1);
    EXPECT_EQ(v->resize(P2(2, 8), true), kSuccess);
    auto const* q = static_cast<unsigned char const*>(v->getConstDataPtr());
    for (unsigned j = 0; j < 8; ++j)
        for (unsigned i = 0; i < 2; ++i) EXPECT_EQ(q[i + 2 * j], j < 4 ? 1 + i + 4 * j : 0) << i << "," << j;

    // 4-D: grow and shrink different dimensions at once.
    using P4 = ZELUNnPoint<unsigned, 4>;
    auto w = DataVectorND<4>::create(DataType(DataType::kInt32, 0), P4(3, 2, 2, 2));
    auto* wp = static_cast<int*>(w->getDataPtr());
    for (int i = 0; i < 24; ++i) wp[i] = i + 1;
    EXPECT_EQ(w->resize(P4(2, 3, 1, 3), true), kSuccess);
    auto const* wq = static_cast<int const*>(w->getConstDataPtr());
    for (unsigned l = 0; l < 3; ++l)
        for (unsigned k = 0; k < 1; ++k)
            for (unsigned j = 0; j < 3; ++j)
                for (unsigned i = 0; i < 2; ++i) {
                    int expected = (j < 2 && l < 2) ? int(1 + i + 3 * (j + 2 * (k + 2 * l))) : 0;
                    EXPECT_EQ(wq[i + 2 * (j + 3 * (k + 1 * l))], expected);
                }
}

TEST(DataVectorResize, AllocationFailureLeavesVectorUnchanged)
{
    struct Step {
        const char* what;
        std::function<long(DataVectorND<2>&)> run;
    };
    const Step steps[] = {
        {"last dimension", [](DataVectorND<2>& v) { return v.resize(40); }},
        {"replace", [](DataVectorND<2>& v) { return v.resize(P2(8, 8), false); }},
        {"copy", [](DataVectorND<2>& v) { return v.resize(P2(8, 8), true); }},
    };
    for (auto const& s : steps) {
        SCOPED_TRACE(s.what);
        auto v = example();
        void* data = v->getDataPtr();
        DataVectorImp::failNextStorageAllocations(1);
        EXPECT_EQ(s.run(*v), kErrOutOfMemory);
        DataVectorImp::failNextStorageAllocations(0);
        EXPECT_EQ(v->getDimensions(), P2(3, 2));
        EXPECT_EQ(v->getDataPtr(), data);
        EXPECT_EQ(valuesOf(*v), (std::vector<float>{1, 2, 3, 4, 5, 6}));
    }
    auto one = DataVectorND<1>::create(DataType(DataType::kFloat32, 0), ZELUNnPoint<unsigned, 1>(2));
    DataVectorImp::failNextStorageAllocations(1);
    EXPECT_EQ(one->resize(ZELUNnPoint<unsigned, 1>(50), true), kErrOutOfMemory);
    DataVectorImp::failNextStorageAllocations(0);
    EXPECT_EQ(one->size(), 2u);
}

TEST(DataVectorResize, FlagsTypeAndClassSurvive)
{
    auto v = example();
    v->setCompressionMethod(kCompressionZlib);
    EXPECT_EQ(v->resize(P2(5, 5), true), kSuccess);
    EXPECT_EQ(v->resize(2), kSuccess);
    EXPECT_EQ(v->getCompressionMethod(), kCompressionZlib);
    EXPECT_TRUE(v->isResizeable());
    EXPECT_EQ(v->getDataType(), DataType(DataType::kFloat32, 0));
    EXPECT_NE(dynamic_cast<TDataVector2D<F32>*>(v.get()), nullptr);
}
