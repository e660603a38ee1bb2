#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <typeinfo>

#include "zorvsupport/types/NumericConversion.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using ll = long long;
using ull = unsigned long long;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();
constexpr float kInff = std::numeric_limits<float>::infinity();
constexpr double kF32Max = 3.4028234663852886e38;
constexpr double kF64Max = 1.7976931348623157e308;
constexpr ll kI64Min = std::numeric_limits<ll>::min();
constexpr ll kI64Max = std::numeric_limits<ll>::max();
constexpr ull kU64Max = std::numeric_limits<ull>::max();
constexpr ull k2p63 = 9223372036854775808ull;

// Expected results of one floating value for the eight integer targets.
struct IntegerRow {
    double x;
    int i8, u8, i16, u16;
    ll i32, u32;
    ll i64;
    ull u64;
};

template <class From>
void expectIntegerRow(IntegerRow const& r, From x)
{
    EXPECT_EQ(roundAndSaturate<signed char>(x), r.i8);
    EXPECT_EQ(roundAndSaturate<unsigned char>(x), r.u8);
    EXPECT_EQ(roundAndSaturate<short>(x), r.i16);
    EXPECT_EQ(roundAndSaturate<unsigned short>(x), r.u16);
    EXPECT_EQ(roundAndSaturate<int>(x), r.i32);
    EXPECT_EQ(roundAndSaturate<unsigned int>(x), r.u32);
    EXPECT_EQ(roundAndSaturate<long long>(x), r.i64);
    EXPECT_EQ(roundAndSaturate<unsigned long long>(x), r.u64);
    // saturateTo from a floating source is the same rule.
    EXPECT_EQ(saturateTo<signed char>(x), r.i8);
    EXPECT_EQ(saturateTo<unsigned char>(x), r.u8);
    EXPECT_EQ(saturateTo<short>(x), r.i16);
    EXPECT_EQ(saturateTo<unsigned short>(x), r.u16);
    EXPECT_EQ(saturateTo<int>(x), r.i32);
    EXPECT_EQ(saturateTo<unsigned int>(x), r.u32);
    EXPECT_EQ(saturateTo<long long>(x), r.i64);
    EXPECT_EQ(saturateTo<unsigned long long>(x), r.u64);
}

std::string show(double x)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", x);
    return buf;
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(NumericConversion, DoubleToIntegerRoundsHalfAwayAndSaturates)
{
    // clang-format off
    const IntegerRow rows[] = {
        //  x                          i8    u8    i16     u16    i32          u32          i64                    u64
        {0.49999999999999994,          1,    1,    1,      1,     1,           1,           1,                     1},
        {0.5,                          1,    1,    1,      1,     1,           1,           1,                     1},
        {-0.5,                         -1,   0,    -1,     0,     -1,          0,           -1,                    0},
        {2.5,                          3,    3,    3,      3,     3,           3,           3,                     3},
        {-2.5,                         -3,   0,    -3,     0,     -3,          0,           -3,                    0},
        {-0.0,                         0,    0,    0,      0,     0,           0,           0,                     0},
        {-0.4,                         0,    0,    0,      0,     0,           0,           0,                     0},
        {-0.6,                         -1,   0,    -1,     0,     -1,          0,           -1,                    0},
        {-1.0,                         -1,   0,    -1,     0,     -1,          0,           -1,                    0},
        {126.4,                        126,  126,  126,    126,   126,         126,         126,                   126},
        {126.5,                        127,  127,  127,    127,   127,         127,         127,                   127},
        {-127.5,                       -128, 0,    -128,   0,     -128,        0,           -128,                  0},
        {254.5,                        127,  255,  255,    255,   255,         255,         255,                   255},
        {255.4,                        127,  255,  255,    255,   255,         255,         255,                   255},
        {1000,                         127,  255,  1000,   1000,  1000,        1000,        1000,                  1000},
        {-1000,                        -128, 0,    -1000,  0,     -1000,       0,           -1000,                 0},
        {65535.5,                      127,  255,  32767,  65535, 65536,       65536,       65536,                 65536},
        {-32768.6,                     -128, 0,    -32768, 0,     -32769,      0,           -32769,                0},
        {2147483646.6,                 127,  255,  32767,  65535, 2147483647,  2147483647,  2147483647,            2147483647},
        {-2147483648.4,                -128, 0,    -32768, 0,     -2147483648, 0,           -2147483648,           0},
        {4294967294.5,                 127,  255,  32767,  65535, 2147483647,  4294967295,  4294967295,            4294967295},
        {-0.5e10,                      -128, 0,    -32768, 0,     -2147483648, 0,           -5000000000,           0},
        {9.3e18,                       127,  255,  32767,  65535, 2147483647,  4294967295,  kI64Max,               9300000000000000000ull},
        {-9.3e18,                      -128, 0,    -32768, 0,     -2147483648, 0,           kI64Min,               0},
        {9223372036854774784.0,        127,  255,  32767,  65535, 2147483647,  4294967295,  9223372036854774784,   9223372036854774784ull},
        {9223372036854775808.0,        127,  255,  32767,  65535, 2147483647,  4294967295,  kI64Max,               k2p63},
        {-9223372036854775808.0,       -128, 0,    -32768, 0,     -2147483648, 0,           kI64Min,               0},
        {1.5e19,                       127,  255,  32767,  65535, 2147483647,  4294967295,  kI64Max,               15000000000000000000ull},
        {18446744073709549568.0,       127,  255,  32767,  65535, 2147483647,  4294967295,  kI64Max,               18446744073709549568ull},
        {18446744073709551616.0,       127,  255,  32767,  65535, 2147483647,  4294967295,  kI64Max,               kU64Max},
        {kF32Max,                      127,  255,  32767,  65535, 2147483647,  4294967295,  kI64Max,               kU64Max},
        {-kF32Max,                     -128, 0,    -32768, 0,     -2147483648, 0,           kI64Min,               0},
        {kInf,                         127,  255,  32767,  65535, 2147483647,  4294967295,  kI64Max,               kU64Max},
        {-kInf,                        -128, 0,    -32768, 0,     -2147483648, 0,           kI64Min,               0},
        {kNaN,                         0,    0,    0,      0,     0,           0,           kI64Min,               k2p63},
        {-kNaN,                        0,    0,    0,      0,     0,           0,           kI64Min,               k2p63},
    };
    // clang-format on
    for (IntegerRow const& r : rows) {
        SCOPED_TRACE(show(r.x));
        expectIntegerRow(r, r.x);
    }
}

TEST(NumericConversion, FloatToIntegerUsesFloatThresholds)
{
    // clang-format off
    const IntegerRow rows[] = {
        //  x (a float)                i8    u8    i16     u16    i32          u32          i64                    u64
        {0.5,                          1,    1,    1,      1,     1,           1,           1,                     1},
        {-0.5,                         -1,   0,    -1,     0,     -1,          0,           -1,                    0},
        {-2.5,                         -3,   0,    -3,     0,     -3,          0,           -3,                    0},
        {-0.3,                         0,    0,    0,      0,     0,           0,           0,                     0},
        {-0.6,                         -1,   0,    -1,     0,     -1,          0,           -1,                    0},
        {126.5,                        127,  127,  127,    127,   127,         127,         127,                   127},
        {254.5,                        127,  255,  255,    255,   255,         255,         255,                   255},
        {2147483520.0,                 127,  255,  32767,  65535, 2147483520,  2147483520,  2147483520,            2147483520},
        {2147483648.0,                 127,  255,  32767,  65535, 2147483647,  2147483648,  2147483648,            2147483648},
        {-2147483648.0,                -128, 0,    -32768, 0,     -2147483648, 0,           -2147483648,           0},
        {4294967296.0,                 127,  255,  32767,  65535, 2147483647,  4294967295,  4294967296,            4294967296},
        {9223372036854775808.0,        127,  255,  32767,  65535, 2147483647,  4294967295,  kI64Max,               k2p63},
        {18446744073709551616.0,       127,  255,  32767,  65535, 2147483647,  4294967295,  kI64Max,               kU64Max},
        {kF32Max,                      127,  255,  32767,  65535, 2147483647,  4294967295,  kI64Max,               kU64Max},
        {kInf,                         127,  255,  32767,  65535, 2147483647,  4294967295,  kI64Max,               kU64Max},
        {-kInf,                        -128, 0,    -32768, 0,     -2147483648, 0,           kI64Min,               0},
        {kNaN,                         0,    0,    0,      0,     0,           0,           kI64Min,               k2p63},
    };
    // clang-format on
    for (IntegerRow const& r : rows) {
        float const x = static_cast<float>(r.x);  // the bounds in this table are exact floats
        SCOPED_TRACE(show(r.x));
        expectIntegerRow(r, x);
    }
}

TEST(NumericConversion, IntegerToIntegerSaturatesExactly)
{
    EXPECT_EQ(saturateTo<unsigned long long>(static_cast<signed char>(-1)), 0u);
    EXPECT_EQ(saturateTo<int>(4294967295u), 2147483647);
    EXPECT_EQ(saturateTo<long long>(k2p63), kI64Max);
    EXPECT_EQ(saturateTo<unsigned short>(70000), 65535);
    EXPECT_EQ(saturateTo<unsigned short>(static_cast<short>(-5)), 0);
    EXPECT_EQ(saturateTo<signed char>(static_cast<unsigned char>(200)), 127);
    EXPECT_EQ(saturateTo<signed char>(-129), -128);
    EXPECT_EQ(saturateTo<signed char>(kU64Max), 127);
    EXPECT_EQ(saturateTo<unsigned char>(kI64Min), 0);
    EXPECT_EQ(saturateTo<int>(kI64Min), -2147483647 - 1);
    EXPECT_EQ(saturateTo<unsigned int>(-1LL), 0u);
    EXPECT_EQ(saturateTo<unsigned int>(4294967296LL), 4294967295u);
    EXPECT_EQ(saturateTo<short>(static_cast<unsigned short>(65535)), 32767);
    EXPECT_EQ(saturateTo<unsigned long long>(kI64Max), static_cast<ull>(kI64Max));
    EXPECT_EQ(saturateTo<unsigned long long>(kI64Min), 0u);
    EXPECT_EQ(saturateTo<long long>(kU64Max), kI64Max);
    EXPECT_EQ(saturateTo<long long>(4294967295u), 4294967295LL);
    EXPECT_EQ(saturateTo<long long>(-5), -5);
    EXPECT_EQ(saturateTo<unsigned long long>(kU64Max), kU64Max);
    EXPECT_EQ(saturateTo<short>(static_cast<signed char>(-128)), -128);
}

TEST(NumericConversion, IntegerToFloatingIsNearestWithoutClamp)
{
    EXPECT_EQ(saturateTo<float>(16777217), 16777216.0f);  // tie: even mantissa
    EXPECT_EQ(saturateTo<float>(16777219), 16777220.0f);
    EXPECT_EQ(saturateTo<float>(kI64Max), 9223372036854775808.0f);
    EXPECT_EQ(saturateTo<float>(kU64Max), 18446744073709551616.0f);
    EXPECT_EQ(saturateTo<double>(kU64Max), 18446744073709551616.0);
    EXPECT_EQ(saturateTo<double>(kI64Min), -9223372036854775808.0);
    EXPECT_EQ(saturateTo<double>(9007199254740993LL), 9007199254740992.0);
    EXPECT_EQ(saturateTo<double>(9007199254740995LL), 9007199254740996.0);
    EXPECT_EQ(saturateTo<float>(static_cast<signed char>(-128)), -128.0f);
}

TEST(NumericConversion, FloatingToFloatingClampsToSharedRange)
{
    float const f32Max = std::numeric_limits<float>::max();
    struct ToFloat {
        double x;
        float expected;
    };
    const ToFloat toFloat[] = {
        {1e39, f32Max},
        {-1e39, -f32Max},
        {kInf, f32Max},
        {-kInf, -f32Max},
        {kF32Max, f32Max},
        {3.4028235677973366e38, f32Max},  // between the float maximum and infinity's rounding point
        {kF64Max, f32Max},
        {0.1, 0.1f},
        {1.0 + 0x1p-24, 1.0f},               // tie: even mantissa
        {1.0 + 3 * 0x1p-24, 1.0f + 0x1p-22f},  // tie: even mantissa
        {-0.0, -0.0f},
    };
    for (ToFloat const& c : toFloat) {
        SCOPED_TRACE(show(c.x));
        EXPECT_TRUE(sameBits(saturateTo<float>(c.x), c.expected));
    }
    EXPECT_TRUE(std::isnan(saturateTo<float>(kNaN)));

    EXPECT_EQ(saturateTo<float>(kInff), f32Max);
    EXPECT_EQ(saturateTo<float>(-kInff), -f32Max);
    EXPECT_TRUE(std::isnan(saturateTo<float>(kNaNf)));
    EXPECT_TRUE(sameBits(saturateTo<float>(-0.0f), -0.0f));

    EXPECT_EQ(saturateTo<double>(kInff), kF32Max);
    EXPECT_EQ(saturateTo<double>(-kInff), -kF32Max);
    EXPECT_EQ(saturateTo<double>(f32Max), kF32Max);
    EXPECT_EQ(saturateTo<double>(0.1f), static_cast<double>(0.1f));
    EXPECT_TRUE(std::isnan(saturateTo<double>(kNaNf)));

    EXPECT_EQ(saturateTo<double>(kInf), kF64Max);
    EXPECT_EQ(saturateTo<double>(-kInf), -kF64Max);
    EXPECT_EQ(saturateTo<double>(kF64Max), kF64Max);
    EXPECT_EQ(saturateTo<double>(1e300), 1e300);
    EXPECT_TRUE(std::isnan(saturateTo<double>(kNaN)));
}

namespace {

using NumericTypes = std::tuple<float, double, signed char, unsigned char, short, unsigned short, int, unsigned int,
                                long long, unsigned long long>;

// The bounds of the range S and D share, in exact (long double) arithmetic.
template <class S, class D>
void expectSharedBounds()
{
    long double const hi = std::min<long double>(std::numeric_limits<S>::max(), std::numeric_limits<D>::max());
    long double const lo = std::max<long double>(std::numeric_limits<S>::lowest(), std::numeric_limits<D>::lowest());
    SCOPED_TRACE(std::string(typeid(S).name()) + " -> " + typeid(D).name());
    EXPECT_EQ(saturateTo<D>(highest<S>()), static_cast<D>(hi));
    EXPECT_EQ(saturateTo<D>(lowest<S>()), static_cast<D>(lo));
    EXPECT_EQ(saturateTo<D>(static_cast<S>(1)), static_cast<D>(1));
    EXPECT_EQ(saturateTo<D>(static_cast<S>(0)), static_cast<D>(0));
}

template <class S, class... D>
void expectRow(std::tuple<D...>*)
{
    (expectSharedBounds<S, D>(), ...);
}

template <class... S>
void expectGrid(std::tuple<S...>*)
{
    (expectRow<S>(static_cast<NumericTypes*>(nullptr)), ...);
}

}  // namespace

TEST(NumericConversion, EveryPairMapsBoundsToSharedRange)
{
    expectGrid(static_cast<NumericTypes*>(nullptr));
}

TEST(NumericConversion, BoundsTable)
{
    EXPECT_EQ(highest<float>(), 3.4028234663852886e38f);
    EXPECT_EQ(lowest<float>(), -3.4028234663852886e38f);
    EXPECT_EQ(highest<double>(), kF64Max);
    EXPECT_EQ(lowest<double>(), -kF64Max);
    EXPECT_EQ(lowest<signed char>(), -128);
    EXPECT_EQ(highest<signed char>(), 127);
    EXPECT_EQ(lowest<unsigned char>(), 0);
    EXPECT_EQ(highest<unsigned char>(), 255);
    EXPECT_EQ(lowest<short>(), -32768);
    EXPECT_EQ(highest<short>(), 32767);
    EXPECT_EQ(lowest<unsigned short>(), 0);
    EXPECT_EQ(highest<unsigned short>(), 65535);
    EXPECT_EQ(lowest<int>(), -2147483647 - 1);
    EXPECT_EQ(highest<int>(), 2147483647);
    EXPECT_EQ(lowest<unsigned int>(), 0u);
    EXPECT_EQ(highest<unsigned int>(), 4294967295u);
    EXPECT_EQ(lowest<long long>(), kI64Min);
    EXPECT_EQ(highest<long long>(), kI64Max);
    EXPECT_EQ(lowest<unsigned long long>(), 0u);
    EXPECT_EQ(highest<unsigned long long>(), kU64Max);
}

TEST(NumericConversion, ClampTestsLowFirst)
{
    EXPECT_EQ(clamp<int>(5, 1, 3), 3);
    EXPECT_EQ(clamp<int>(0, 1, 3), 1);
    EXPECT_EQ(clamp<int>(2, 1, 3), 2);
    EXPECT_EQ(clamp<int>(2, 3, 1), 3);
    EXPECT_EQ(clamp<int>(4, 3, 1), 1);
    EXPECT_TRUE(std::isnan(clamp<double>(kNaN, 0, 1)));
    EXPECT_EQ(clamp<unsigned int>(4294967295u, 0, 7), 7u);
    EXPECT_EQ(clamp<signed char>(-100, -5, 5), -5);
    EXPECT_EQ(clamp<double>(-kInf, -1, 1), -1.0);
}

TEST(NumericConversion, RoundHalfAwayWithoutRangeStillDefined)
{
    // Floating targets take the value as it is.
    EXPECT_EQ(roundHalfAway<float>(2.5f), 2.5f);
    EXPECT_EQ(roundHalfAway<double>(-2.5), -2.5);
    EXPECT_TRUE(std::isnan(roundHalfAway<double>(kNaN)));
    EXPECT_EQ(roundHalfAway<double>(kInf), kInf);

    struct Case {
        double x;
        int i32;
        unsigned u32;
        ll i64;
        ull u64;
        int i8;
    };
    const Case cases[] = {
        {2.5, 3, 3, 3, 3, 3},
        {-2.5, -3, 0, -3, 0, -3},
        {0.0, 0, 0, 0, 0, 0},
        {0.49999999999999994, 1, 1, 1, 1, 1},
        {-0.49999999999999994, -1, 0, -1, 0, -1},
        {1e300, 2147483647, 4294967295u, kI64Max, kU64Max, 127},
        {-1e300, -2147483647 - 1, 0, kI64Min, 0, -128},
        {kInf, 2147483647, 4294967295u, kI64Max, kU64Max, 127},
        {kNaN, 0, 0, kI64Min, k2p63, 0},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(show(c.x));
        EXPECT_EQ(roundHalfAway<int>(c.x), c.i32);
        EXPECT_EQ(roundHalfAway<unsigned int>(c.x), c.u32);
        EXPECT_EQ(roundHalfAway<long long>(c.x), c.i64);
        EXPECT_EQ(roundHalfAway<unsigned long long>(c.x), c.u64);
        EXPECT_EQ(roundHalfAway<signed char>(c.x), c.i8);
    }
}

TEST(NumericConversion, LoopOverRawStorage)
{
    // The way vector conversion uses the rules: one typed loop over a block.
    const double in[] = {-1e10, -128.5, -0.5, 0.0, 0.5, 126.5, 127.4, 1e10, kNaN, kInf};
    const signed char expected[] = {-128, -128, -1, 0, 1, 127, 127, 127, 0, 127};
    signed char out[10];
    for (int i = 0; i < 10; ++i) out[i] = saturateTo<signed char>(in[i]);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(out[i], expected[i]) << i;
}
