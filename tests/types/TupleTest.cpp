#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "support/AllocationLimit.h"
#include "zorvsupport/types/Tuple.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using U8 = TTupleDataType<TDataType<3>>;
using F32 = TTupleDataType<TDataType<0>>;
using I64 = TTupleDataType<TDataType<8>>;
using U64 = TTupleDataType<TDataType<9>>;
using V3 = TTupleDataType<TDataType<11>>;
using Vec = ZELUNVec3<double>;

template <class T, class E>
ConstTupleProxy<T> view(std::vector<E> const& v)
{
    return ConstTupleProxy<T>(v.data(), static_cast<unsigned>(v.size()));
}

float const kNaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

TEST(Tuple, ConstructionCopiesOrZeroes)
{
    unsigned char const src[3] = {7, 8, 9};
    Tuple<U8> t(U8(3), src);
    EXPECT_EQ(t.length(), 3u);
    EXPECT_NE(t.data(), src);
    EXPECT_EQ((std::vector<unsigned char>(t.begin(), t.end())), (std::vector<unsigned char>{7, 8, 9}));

    Tuple<U8> zeros(U8(3), nullptr);
    EXPECT_EQ((std::vector<unsigned char>(zeros.begin(), zeros.end())), (std::vector<unsigned char>{0, 0, 0}));

    Vec const seed[2] = {Vec(1, 2, 3), Vec(4, 5, 6)};
    Tuple<V3> vz(V3(2), seed);
    vz.set(nullptr, 2);
    EXPECT_EQ(vz[0], Vec(0, 0, 0));
    EXPECT_EQ(vz[1], Vec(0, 0, 0));

    Tuple<U8> copy(t);
    EXPECT_NE(copy.data(), t.data());
    EXPECT_TRUE(copy == t);
}

TEST(Tuple, SetOfLengthZeroAllocatesAnEmptyBlock)
{
    Tuple<U8> t(U8(0), nullptr);
    EXPECT_EQ(t.length(), 0u);
    EXPECT_NE(t.data(), nullptr);
}

TEST(Tuple, SetKeepsTheBlockOnlyForTheSameLength)
{
    std::vector<unsigned char> a{1, 2, 3};
    Tuple<U8> t(U8(3), a.data());
    unsigned char const* before = t.data();
    std::vector<unsigned char> b{4, 5, 6};
    t.set(b.data(), 3);
    EXPECT_EQ(t.data(), before);
    EXPECT_EQ(t[2], 6);
    t.set(b.data(), 2);
    EXPECT_EQ(t.length(), 2u);
    EXPECT_EQ(t[0], 4);
    EXPECT_EQ(t[1], 5);
}

// The source may lie in the tuple's own block, also when the length changes.
TEST(Tuple, SetFromItsOwnElements)
{
    std::vector<unsigned char> a{1, 2, 3, 4};
    Tuple<U8> t(U8(4), a.data());
    t.set(t.data() + 1, 3);
    EXPECT_EQ((std::vector<unsigned char>(t.begin(), t.end())), (std::vector<unsigned char>{2, 3, 4}));
    unsigned char const* block = t.data();
    t.set(t.data(), 3);  // same length: in place, onto itself
    EXPECT_EQ(t.data(), block);
    EXPECT_EQ((std::vector<unsigned char>(t.begin(), t.end())), (std::vector<unsigned char>{2, 3, 4}));
}

TEST(Tuple, FailedAllocationLeavesTheTupleIntact)
{
    Tuple<V3> t(V3(1), nullptr);
    t[0] = Vec(1, 2, 3);
    Vec const* before = t.data();
    zorvtest::AllocationLimit limit;
    if (!limit.active()) GTEST_SKIP() << "address-space limit not available in this build";
    // 96 GiB of 3-vectors: new[] throws before anything changes.
    EXPECT_THROW(t.set(nullptr, std::numeric_limits<unsigned>::max()), std::bad_alloc);
    EXPECT_EQ(t.data(), before);
    EXPECT_EQ(t.length(), 1u);
    EXPECT_EQ(t[0], Vec(1, 2, 3));
}

// Assignment copies the shorter length and zeroes the rest of the target;
// the target keeps its length.
TEST(Tuple, AssignmentCopiesShorterLengthAndZeroesTheRest)
{
    struct Case {
        std::vector<unsigned char> target;
        std::vector<unsigned char> source;
        std::vector<unsigned char> expected;
    };
    std::vector<Case> const cases = {
        {{9, 9, 9}, {1, 2, 3, 4, 5}, {1, 2, 3}},
        {{9, 9, 9, 9}, {1, 2}, {1, 2, 0, 0}},
        {{9, 9}, {}, {0, 0}},
        {{}, {1, 2}, {}},
    };
    for (Case c : cases) {
        std::vector<unsigned char> target = c.target;
        TupleProxy<U8> p(target.data(), static_cast<unsigned>(target.size()));
        p = view<U8>(c.source);
        EXPECT_EQ(target, c.expected);
        EXPECT_EQ(p.length(), c.target.size());
    }

    // Writable views, tuples and 3-vectors take the same rule.
    Vec store[3] = {Vec(9, 9, 9), Vec(9, 9, 9), Vec(9, 9, 9)};
    Vec const one[1] = {Vec(1, 2, 3)};
    Tuple<V3> src(V3(1), one);
    TupleProxy<V3>(store, 3) = src;
    EXPECT_EQ(store[0], Vec(1, 2, 3));
    EXPECT_EQ(store[1], Vec(0, 0, 0));
    EXPECT_EQ(store[2], Vec(0, 0, 0));

    Tuple<U8> longer(U8(4), nullptr);
    std::vector<unsigned char> abc{1, 2, 3};
    Tuple<U8> shorter(U8(3), abc.data());
    longer = shorter;
    EXPECT_EQ(longer.length(), 4u);
    EXPECT_EQ((std::vector<unsigned char>(longer.begin(), longer.end())), (std::vector<unsigned char>{1, 2, 3, 0}));
}

TEST(Tuple, AssignmentBetweenOverlappingViews)
{
    std::vector<unsigned char> s{1, 2, 3, 4, 5};
    TupleProxy<U8>(s.data() + 1, 4) = TupleProxy<U8>(s.data(), 4);
    EXPECT_EQ(s, (std::vector<unsigned char>{1, 1, 2, 3, 4}));
}

TEST(Tuple, Equality)
{
    std::vector<unsigned char> a{1, 2}, b{1, 2, 3}, c{1, 2};
    EXPECT_FALSE(view<U8>(a) == view<U8>(b));
    EXPECT_TRUE(view<U8>(a) != view<U8>(b));
    EXPECT_TRUE(view<U8>(a) == view<U8>(c));

    std::vector<float> n1{1, kNaN}, n2{1, kNaN};
    EXPECT_FALSE(view<F32>(n1) == view<F32>(n2));
    EXPECT_FALSE(view<F32>(n1) == view<F32>(n1));
    std::vector<float> pz{0.0f}, nz{-0.0f};
    EXPECT_TRUE(view<F32>(pz) == view<F32>(nz));

    // Mixed view kinds on either side.
    Tuple<U8> t(U8(2), a.data());
    TupleProxy<U8> w(c.data(), 2);
    EXPECT_TRUE(t == w);
    EXPECT_TRUE(w == view<U8>(a));
    EXPECT_TRUE(view<U8>(a) == t);
}

TEST(Tuple, LexicographicOrder)
{
    struct Case {
        std::vector<float> a;
        std::vector<float> b;
        bool less;
        bool greater;
    };
    std::vector<Case> const cases = {
        {{1, 2}, {1, 2, 0}, true, false},
        {{1, 3}, {1, 2, 5}, false, true},
        {{1, 2}, {1, 2}, false, false},
        {{kNaN, 1}, {kNaN, 2}, true, false},  // the NaN pair is passed over
        {{}, {0}, true, false},
        {{kNaN}, {1}, false, false},  // no pair decides and the lengths are equal
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        Case const& c = cases[i];
        EXPECT_EQ(view<F32>(c.a) < view<F32>(c.b), c.less) << i;
        EXPECT_EQ(view<F32>(c.a) > view<F32>(c.b), c.greater) << i;
    }
}

TEST(Tuple, OrderOfThreeVectorsAndWideIntegers)
{
    std::vector<Vec> a{Vec(5, 0, 1)}, b{Vec(0, 9, 2)};
    EXPECT_TRUE(view<V3>(a) < view<V3>(b));  // z decides first
    std::vector<Vec> c{Vec(1, 2, 3)}, d{Vec(0, 2, 3)};
    EXPECT_FALSE(view<V3>(c) < view<V3>(d));
    EXPECT_TRUE(view<V3>(d) < view<V3>(c));

    std::vector<long long> m1{-1}, zero{0};
    EXPECT_TRUE(view<I64>(m1) < view<I64>(zero));
    std::vector<unsigned long long> big{1ull << 63}, one{1};
    EXPECT_TRUE(view<U64>(one) < view<U64>(big));
    EXPECT_FALSE(view<U64>(big) < view<U64>(one));
}
