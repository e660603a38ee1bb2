#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "zorvsupport/platform/ZELUNnBoxOps.h"

using namespace ZELUNnOps;

namespace {

constexpr long long kMax = std::numeric_limits<long long>::max();
constexpr long long kMin = std::numeric_limits<long long>::min();

}  // namespace

TEST(ZELUNnBoxOps, SaturatingSumsAndDifferences)
{
    struct Row {
        long long a, b, sum, difference;
    } const rows[] = {
        {3, 4, 7, -1},
        {kMax, 1, kMax, kMax - 1},
        {kMax, kMax, kMax, 0},
        {kMin, -1, kMin, kMin + 1},
        {kMin, 1, kMin + 1, kMin},
        {0, kMin, kMin, kMax},
        {-1, kMin, kMin, kMax},
        {-2, kMax, kMax - 2, kMin},
        {kMin, kMax, -1, kMin},
    };
    for (Row const& r : rows) {
        EXPECT_EQ(saturatingAdd(r.a, r.b), r.sum) << r.a << " + " << r.b;
        EXPECT_EQ(saturatingSubtract(r.a, r.b), r.difference) << r.a << " - " << r.b;
    }
    EXPECT_EQ(saturatingAdd(~0ull, 1ull), ~0ull);
    EXPECT_EQ(saturatingSubtract(1ull, 2ull), 0ull);

    using P = ZELUNnPoint<long long, 2>;
    EXPECT_TRUE(saturatingAdd(P(kMax, -3), P(1, 5)) == P(kMax, 2));
    EXPECT_TRUE(saturatingSubtract(P(kMin, 0), P(1, kMin)) == P(kMin, kMax));
}

TEST(ZELUNnBoxOps, DivideUp)
{
    struct Row {
        long long a, d, q;
    } const rows[] = {
        {0, 4, 0}, {1, 4, 1}, {4, 4, 1}, {5, 4, 2}, {10, 4, 3}, {kMax, 1, kMax}, {kMax, 2, (kMax >> 1) + 1},
        {kMax, kMax, 1}, {kMax - 1, kMax, 1}, {kMax, 1LL << 62, 2},
    };
    for (Row const& r : rows) EXPECT_EQ(divideUp(r.a, r.d), r.q) << r.a << " / " << r.d;
}

TEST(ZELUNnBoxOps, ClampInto)
{
    using B = ZELUNnBox<long long, 2>;
    using P = ZELUNnPoint<long long, 2>;
    B const limits(P(0, -5), P(10, 5));
    EXPECT_TRUE(clampInto(B(P(-3, -9), P(12, 9)), limits) == limits);
    EXPECT_TRUE(clampInto(B(P(2, 3), P(4, 4)), limits) == B(P(2, 3), P(4, 4)));
    EXPECT_TRUE(clampInto(B(P(11, kMin), P(kMax, -6)), limits) == B(P(10, -5), P(10, -5)));
}
