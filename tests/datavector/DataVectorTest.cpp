#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "support/ElementKinds.h"
#include "zorvsupport/datavector/StorageTestHooks.h"
#include "zorvsupport/datavector/TDataVector.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using zorvtest::allElementTypes;

std::string nameOf(DataType const& t)
{
    return std::to_string(t.getType()) + "/" + std::to_string(t.getTupleLength());
}

template <int N>
ZELUNnPoint<unsigned, N> dimsOf(std::initializer_list<unsigned> d)
{
    ZELUNnPoint<unsigned, N> p;
    int i = 0;
    for (unsigned v : d) p[i++] = v;
    return p;
}

// True when `v` is exactly the leaf class of the visited element type.
template <int N>
struct IsLeafOf {
    DataVector const* v;
    template <class T>
    bool accept(T const&) const
    {
        return dynamic_cast<TDataVectorLeaf<T, N> const*>(v) != nullptr;
    }
};

// Fills the storage with a byte pattern and checks it survives.
void fillPattern(DataVector& v, unsigned seed)
{
    auto* p = static_cast<unsigned char*>(v.getDataPtr());
    for (unsigned i = 0; i < v.getSizeInBytes(); ++i) p[i] = static_cast<unsigned char>(i * 7 + seed);
}
bool hasPattern(DataVector const& v, unsigned seed)
{
    auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
    for (unsigned i = 0; i < v.getSizeInBytes(); ++i)
        if (p[i] != static_cast<unsigned char>(i * 7 + seed)) return false;
    return true;
}
bool allZero(DataVector const& v)
{
    auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
    for (unsigned i = 0; i < v.getSizeInBytes(); ++i)
        if (p[i]) return false;
    return true;
}

template <int N>
void checkCreation(DataType const& t, ZELUNnPoint<unsigned, N> dims, unsigned count)
{
    SCOPED_TRACE(nameOf(t) + " N=" + std::to_string(N));
    auto v = DataVectorND<N>::create(t, dims);
    ASSERT_TRUE(v);
    EXPECT_EQ(v.use_count(), 1);
    EXPECT_TRUE(t.applyVisitor(IsLeafOf<N>{v.get()}));
    EXPECT_EQ(v->getDataType(), t);
    EXPECT_EQ(v->getNumDimensions(), unsigned(N));
    EXPECT_EQ(v->getDimensions(), dims);
    EXPECT_EQ(v->size(), count);
    EXPECT_TRUE(v->isResizeable());
    EXPECT_EQ(v->getCompressionMethod(), kCompressionNone);
    EXPECT_EQ(v->getElementsSizeInBytes(count), count * t.getTypeSize());
    EXPECT_EQ(v->getSizeInBytes(), count * t.getTypeSize());
    EXPECT_EQ(v->capacity(), count);
    EXPECT_EQ(v->getDataPtr(), v->getConstDataPtr());
    EXPECT_TRUE(allZero(*v));
    EXPECT_EQ(v->getDimension(-1), 0u);
    EXPECT_EQ(v->getDimension(N), 0u);
}

}  // namespace

TEST(DataVectorCreation, EveryElementTypeAndDimensionCount)
{
    for (DataType const& t : allElementTypes()) {
        checkCreation<1>(t, dimsOf<1>({7}), 7);
        checkCreation<2>(t, dimsOf<2>({3, 5}), 15);
        checkCreation<3>(t, dimsOf<3>({4, 5, 6}), 120);
        checkCreation<4>(t, dimsOf<4>({3, 5, 7, 2}), 210);
    }
}

TEST(DataVectorCreation, TypesWithoutClassGiveEmptyHandle)
{
    for (int code : {-1, 10, 12, -5}) {
        EXPECT_FALSE(DataVectorND<4>::create(DataType(static_cast<DataType::Type>(code), 0), dimsOf<4>({1, 1, 1, 1})));
        EXPECT_FALSE(DataVectorND<1>::create(DataType(static_cast<DataType::Type>(code), 2), dimsOf<1>({3})));
    }
}

TEST(DataVectorCreation, TupleLengthOneIsTupleClass)
{
    auto scalar = DataVectorND<1>::create(DataType(DataType::kFloat64, 0), dimsOf<1>({7}));
    auto tuple = DataVectorND<1>::create(DataType(DataType::kFloat64, 1), dimsOf<1>({7}));
    EXPECT_NE(dynamic_cast<TDataVector1D<TDataType<1>>*>(scalar.get()), nullptr);
    EXPECT_NE(dynamic_cast<TDataVector1D<TTupleDataType<TDataType<1>>>*>(tuple.get()), nullptr);
    EXPECT_NE(scalar->getDataType(), tuple->getDataType());
    EXPECT_EQ(tuple->getSizeInBytes(), 56u);
}

TEST(DataVectorCreation, ZeroDimensionsStoreNothing)
{
    auto v = DataVectorND<3>::create(DataType(DataType::kVec3, 0), dimsOf<3>({0, 0, 0}));
    EXPECT_EQ(v->getDataPtr(), nullptr);
    EXPECT_EQ(v->capacity(), 0u);
    auto w = DataVectorND<2>::create(DataType(DataType::kInt32, 0), dimsOf<2>({0, 9}));
    EXPECT_EQ(w->getDimensions(), dimsOf<2>({0, 9}));
    EXPECT_EQ(w->size(), 0u);
    EXPECT_EQ(w->getConstDataPtr(), nullptr);
    EXPECT_EQ(w->getSizeInBytes(), 0u);
}

// Creation has no status: values that cannot be allocated are std::bad_alloc,
// never a vector of other dimensions than those asked for.
TEST(DataVectorCreation, FailedAllocationThrows)
{
    DataVectorImp::failNextStorageAllocations(1);
    EXPECT_THROW(DataVectorND<2>::create(DataType(DataType::kFloat32, 0), dimsOf<2>({4, 4})), std::bad_alloc);
    DataVectorImp::failNextStorageAllocations(0);
    // Dimensions whose value count no storage can hold.
    EXPECT_THROW(DataVectorND<2>::create(DataType(DataType::kFloat64, 0), dimsOf<2>({65536, 65536})),
                 std::bad_alloc);
    auto v = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), dimsOf<2>({4, 4}));
    EXPECT_EQ(v->getDimensions(), dimsOf<2>({4, 4}));
}

TEST(DataVectorStorage, ConstructorsAndStorageOperations)
{
    TDataVector2D<TDataType<1>> d(TDataType<1>(), dimsOf<2>({3, 2}));
    EXPECT_EQ(d.capacity(), 6u);
    EXPECT_EQ(d.getElementsSizeInBytes(6), 48u);
    EXPECT_EQ(d.getDataType(), DataType(DataType::kFloat64, 0));
    EXPECT_NE(d.getDataPtr(), nullptr);

    TDataVector1D<TTupleDataType<TDataType<5>>> t(TTupleDataType<TDataType<5>>(3), 4u);
    EXPECT_EQ(t.capacity(), 4u);
    EXPECT_EQ(t.getElementsSizeInBytes(4), 24u);
    EXPECT_EQ(t.getDataType(), DataType(DataType::kUInt16, 3));

    TDataVector2D<TDataType<11>> v3(TDataType<11>(), dimsOf<2>({2, 2}));
    EXPECT_EQ(v3.getElementsSizeInBytes(4), 96u);
    for (unsigned j = 0; j < 2; ++j)
        for (unsigned i = 0; i < 2; ++i) EXPECT_EQ(v3.element(i, j), ZELUNVec3<double>(0, 0, 0));

    // The element byte count wraps in 32 bits, as the interface says.
    TDataVector1D<TDataType<0>> f(TDataType<0>(), 0u);
    EXPECT_EQ(f.getElementsSizeInBytes(0), 0u);
    EXPECT_EQ(f.getElementsSizeInBytes(1u << 30), 0u);
}

// The tuple storage on its own: number x L zero values in one block.
TEST(DataVectorStorage, TupleStorageFromTupleCount)
{
    using U16x = TTupleDataType<TDataType<5>>;
    struct Storage : DataVectorImp::TDataVector<U16x> {
        using DataVectorImp::TDataVector<U16x>::TDataVector;
        using DataVectorImp::TDataVector<U16x>::values;
    };
    Storage s(U16x(3), 4);
    EXPECT_EQ(s.valueCount(), 12u);
    EXPECT_EQ(s.valueCapacity(), 12u);
    EXPECT_EQ(s.getElementType().getDataType(), DataType(DataType::kUInt16, 3));
    ASSERT_NE(s.getDataPtr(), nullptr);
    EXPECT_EQ(std::vector<unsigned short>(s.getDataPtr(), s.getDataPtr() + 12), std::vector<unsigned short>(12, 0));
    int tuples = 0;
    for (auto t : s) {
        (void)t;
        ++tuples;
    }
    EXPECT_EQ(tuples, 4);
    Storage none(U16x(3), 0);
    EXPECT_EQ(none.getDataPtr(), nullptr);
}

TEST(DataVectorStorage, Reserve)
{
    TDataVector1D<TDataType<0>> f(TDataType<0>(), 0u);
    EXPECT_EQ(f.reserve(10), kSuccess);
    EXPECT_EQ(f.capacity(), 10u);
    EXPECT_EQ(f.size(), 0u);
    EXPECT_EQ(f.getDataPtr(), nullptr);

    TDataVector1D<TDataType<6>> g(TDataType<6>(), 10u);
    void* before = g.getDataPtr();
    EXPECT_EQ(g.reserve(5), kSuccess);
    EXPECT_EQ(g.capacity(), 10u);
    EXPECT_EQ(g.getDataPtr(), before);
    g.element(9) = 99;
    EXPECT_EQ(g.reserve(40), kSuccess);
    EXPECT_EQ(g.capacity(), 40u);
    EXPECT_EQ(g.element(9), 99);

    TDataVector1D<TTupleDataType<TDataType<3>>> t(TTupleDataType<TDataType<3>>(3), 0u);
    EXPECT_EQ(t.reserve(5), kSuccess);
    EXPECT_EQ(t.capacity(), 5u);

    EXPECT_THROW(f.reserve(1u << 30), std::length_error);
    EXPECT_EQ(f.capacity(), 10u);
    TDataVector1D<TDataType<3>> bytes(TDataType<3>(), 0u);
    EXPECT_EQ(bytes.reserve(1u << 30), kSuccess);
    // A tuple request whose value count exceeds the limit, never wrapped.
    TDataVector1D<TTupleDataType<TDataType<5>>> wide(TTupleDataType<TDataType<5>>(4), 0u);
    EXPECT_THROW(wide.reserve(1u << 30), std::length_error);
}

TEST(DataVectorStorage, ValueCountsAreCheckedIn64Bits)
{
    using U16x4 = TTupleDataType<TDataType<5>>;
    // 2^30 uint16 4-tuples: 2^32 values would wrap to 0 in 32 bits.
    EXPECT_THROW((TDataVector1D<U16x4>(U16x4(4), 1u << 30)), std::length_error);
    EXPECT_THROW((TDataVector2D<TDataType<3>>(TDataType<3>(), dimsOf<2>({1u << 16, 1u << 16}))), std::length_error);

    auto v = DataVectorND<1>::create(DataType(DataType::kUInt16, 4), dimsOf<1>({2}));
    EXPECT_EQ(v->resize(1u << 30), kErrOutOfMemory);
    EXPECT_EQ(v->getDimension(0), 2u);
    EXPECT_EQ(v->resize(dimsOf<1>({1u << 30}), false), kErrOutOfMemory);
    EXPECT_EQ(v->size(), 2u);
    auto w = DataVectorND<4>::create(DataType(DataType::kUInt8, 0), dimsOf<4>({2, 2, 2, 2}));
    EXPECT_EQ(w->resize(dimsOf<4>({1u << 16, 1u << 16, 1, 1}), true), kErrOutOfMemory);
    EXPECT_EQ(w->getDimensions(), dimsOf<4>({2, 2, 2, 2}));
}

TEST(DataVectorLayout, FirstIndexFastest)
{
    TDataVector2D<TDataType<4>> v2(TDataType<4>(), dimsOf<2>({3, 5}));
    EXPECT_EQ(v2.offsetOf(dimsOf<2>({2, 4})), 14u);
    TDataVector3D<TDataType<4>> v3(TDataType<4>(), dimsOf<3>({3, 5, 7}));
    EXPECT_EQ(v3.offsetOf(dimsOf<3>({1, 2, 3})), 52u);
    TDataVector4D<TDataType<4>> v4(TDataType<4>(), dimsOf<4>({3, 5, 7, 2}));
    EXPECT_EQ(v4.offsetOf(dimsOf<4>({1, 2, 3, 1})), 157u);
    EXPECT_EQ(v4.offsetOf(dimsOf<4>({2, 4, 6, 1})), 209u);
    v4.element(1u, 2u, 3u, 1u) = -5;
    EXPECT_EQ(static_cast<short const*>(v4.getConstDataPtr())[157], -5);

    using T3 = TTupleDataType<TDataType<6>>;
    TDataVector2D<T3> t(T3(3), dimsOf<2>({2, 2}));
    auto proxy = t.tuple(1u, 1u);
    EXPECT_EQ(proxy.data(), static_cast<int*>(t.getDataPtr()) + 9);
}

TEST(DataVectorTuples, IteratorsWalkStorageOrder)
{
    using T2 = TTupleDataType<TDataType<7>>;
    TDataVector2D<T2> empty(T2(2), dimsOf<2>({0, 3}));
    EXPECT_TRUE(empty.begin() == empty.end());

    TDataVector2D<T2> v(T2(2), dimsOf<2>({3, 2}));
    auto* raw = static_cast<unsigned*>(v.getDataPtr());
    for (unsigned i = 0; i < 12; ++i) raw[i] = i;
    unsigned steps = 0;
    for (auto it = v.begin(); it != v.end(); ++it, ++steps) {
        auto tup = *it;
        EXPECT_EQ(tup.length(), 2u);
        EXPECT_EQ(tup[0], 2 * steps);
        EXPECT_EQ(tup[1], 2 * steps + 1);
    }
    EXPECT_EQ(steps, 6u);
    auto from = v.tupleIterator(1, 1);  // element 4 in storage order
    EXPECT_EQ((*from)[0], 8u);
    ++from;
    EXPECT_EQ((*from)[0], 10u);
    EXPECT_TRUE(ConstTupleIterator<T2>(2, raw) == ConstTupleIterator<T2>(5, raw));
}

TEST(DataVectorSwap, ExchangesEverythingOfTheSameKind)
{
    auto a = DataVectorND<2>::create(DataType(DataType::kFloat64, 0), dimsOf<2>({3, 2}));
    auto b = DataVectorND<2>::create(DataType(DataType::kFloat64, 0), dimsOf<2>({5, 5}));
    fillPattern(*a, 1);
    fillPattern(*b, 2);
    b->reserve(40);
    a->setResizeable(false);
    b->setCompressionMethod(kCompressionZlib);
    void* aData = a->getDataPtr();
    EXPECT_EQ(a->swap(*b), kSuccess);
    EXPECT_EQ(a->getDimensions(), dimsOf<2>({5, 5}));
    EXPECT_EQ(b->getDimensions(), dimsOf<2>({3, 2}));
    EXPECT_TRUE(hasPattern(*a, 2));
    EXPECT_TRUE(hasPattern(*b, 1));
    EXPECT_EQ(b->getDataPtr(), aData);
    EXPECT_EQ(a->capacity(), 40u);
    EXPECT_TRUE(a->isResizeable());
    EXPECT_FALSE(b->isResizeable());
    EXPECT_EQ(a->getCompressionMethod(), kCompressionZlib);
    EXPECT_EQ(b->getCompressionMethod(), kCompressionNone);
    EXPECT_EQ(a->swap(*a), kSuccess);
    EXPECT_TRUE(hasPattern(*a, 2));
}

TEST(DataVectorSwap, RefusedAcrossKinds)
{
    struct Case {
        DataType other;
        int n;
    };
    const Case cases[] = {
        {DataType(DataType::kFloat64, 0), 1},
        {DataType(DataType::kFloat32, 0), 2},
        {DataType(DataType::kFloat64, 1), 2},
    };
    for (auto const& c : cases) {
        auto a = DataVectorND<2>::create(DataType(DataType::kFloat64, 0), dimsOf<2>({2, 2}));
        a->setResizeable(false);
        fillPattern(*a, 3);
        boost::shared_ptr<DataVector> b;
        if (c.n == 1)
            b = DataVectorND<1>::create(c.other, dimsOf<1>({3}));
        else
            b = DataVectorND<2>::create(c.other, dimsOf<2>({3, 1}));
        b->setCompressionMethod(kCompressionZlib);
        EXPECT_EQ(a->swap(*b), kErrSwapTypeMismatch);
        EXPECT_EQ(b->swap(*a), kErrSwapTypeMismatch);
        EXPECT_TRUE(hasPattern(*a, 3));
        EXPECT_FALSE(a->isResizeable());
        EXPECT_EQ(a->getCompressionMethod(), kCompressionNone);
        EXPECT_EQ(b->getCompressionMethod(), kCompressionZlib);
        EXPECT_EQ(a->getDimension(0), 2u);
    }
    auto t2 = DataVectorND<2>::create(DataType(DataType::kUInt16, 2), dimsOf<2>({1, 1}));
    auto t3 = DataVectorND<2>::create(DataType(DataType::kUInt16, 3), dimsOf<2>({1, 1}));
    EXPECT_EQ(t2->swap(*t3), kErrSwapTypeMismatch);
}

TEST(DataVectorClone, IndependentDeepCopy)
{
    for (DataType const& t : allElementTypes()) {
        SCOPED_TRACE(nameOf(t));
        auto v = DataVectorND<3>::create(t, dimsOf<3>({2, 3, 2}));
        fillPattern(*v, 5);
        v->reserve(100);
        v->setCompressionMethod(kCompressionZlib);
        v->setResizeable(false);
        boost::shared_ptr<DataVector> c = v->clone();
        EXPECT_TRUE(t.applyVisitor(IsLeafOf<3>{c.get()}));
        EXPECT_EQ(c->getDataType(), t);
        EXPECT_EQ(c->capacity(), 12u);
        EXPECT_EQ(c->getDimension(1), 3u);
        EXPECT_FALSE(c->isResizeable());
        EXPECT_EQ(c->getCompressionMethod(), kCompressionZlib);
        EXPECT_NE(c->getConstDataPtr(), v->getConstDataPtr());
        EXPECT_TRUE(hasPattern(*c, 5));
        fillPattern(*c, 9);
        EXPECT_TRUE(hasPattern(*v, 5));
    }
    auto empty = DataVectorND<2>::create(DataType(DataType::kInt8, 0), dimsOf<2>({0, 4}));
    auto ec = empty->clone();
    EXPECT_EQ(ec->getConstDataPtr(), nullptr);
    EXPECT_EQ(ec->getDimension(1), 4u);
}

// New storage is not written value by value: its zero bytes must already be
// the zero of every element kind.
template <class E>
class StorageZero : public ::testing::Test {};
TYPED_TEST_SUITE(StorageZero, zorvtest::ElementValueTypes);

TYPED_TEST(StorageZero, ZeroOfEveryKindIsAllZeroBits)
{
    static_assert(DataVectorImp::ZeroIsAllZeroBits<TypeParam>::value, "every element kind skips the store");
    TypeParam const zero{};
    unsigned char const none[sizeof(TypeParam)] = {};
    EXPECT_EQ(std::memcmp(&zero, none, sizeof(TypeParam)), 0);
}
