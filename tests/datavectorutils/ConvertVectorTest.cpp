#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "datavectorutils/ConvertReference.h"
#include "support/ForeignDataVector.h"
#include "support/SimdTargets.h"
#include "zorvsupport/datavector/StorageTestHooks.h"
#include "zorvsupport/datavectorutils/ConvertElements.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace zorvtest;

namespace {

using P1 = ZELUNnPoint<unsigned, 1>;
using P2 = ZELUNnPoint<unsigned, 2>;
using P3 = ZELUNnPoint<unsigned, 3>;
using P4 = ZELUNnPoint<unsigned, 4>;

using i8 = signed char;
using u8 = unsigned char;
using i16 = short;
using u16 = unsigned short;
using i32 = int;
using u32 = unsigned int;
using i64 = long long;
using u64 = unsigned long long;

constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr float kNaNF = std::numeric_limits<float>::quiet_NaN();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kF32Max = 3.4028234663852886e38f;
constexpr double kF32MaxD = 3.4028234663852886e38;
constexpr double kF64Max = 1.7976931348623157e308;

// One row of the element rule: a source value, and the bits the destination
// must hold. The value is converted as a run of 67 copies so that every
// vector target converts it in its body and the scalar rule in the tail.
struct RuleRow {
    std::string name;
    std::function<std::string()> mismatch;  // empty when the row holds
};

template <class S, class D>
RuleRow rule(S x, D expected)
{
    std::string name = std::string(typeid(S).name()) + " " + bitsOf(x) + " -> " + typeid(D).name();
    return {name, [=]() -> std::string {
                // A no-data value that matches nothing: NaN for reals, x + 1 otherwise.
                S const noData = std::is_floating_point_v<S> ? std::numeric_limits<S>::quiet_NaN() : S(x + 1);
                std::vector<D> out = convertThroughVector(std::vector<S>(67, x), noData, D(0));
                if (out.size() != 67) return "length " + std::to_string(out.size());
                for (D v : out)
                    if (!sameBits(v, expected)) return "got " + bitsOf(v) + ", want " + bitsOf(expected);
                return "";
            }};
}

// Rows for every integer destination: rows(S value, signed result).
template <class S>
void addRoundingRows(std::vector<RuleRow>& rows, S x, long long signedResult)
{
    long long const unsignedResult = signedResult < 0 ? 0 : signedResult;
    rows.push_back(rule(x, i8(signedResult)));
    rows.push_back(rule(x, u8(unsignedResult)));
    rows.push_back(rule(x, i16(signedResult)));
    rows.push_back(rule(x, u16(unsignedResult)));
    rows.push_back(rule(x, i32(signedResult)));
    rows.push_back(rule(x, u32(unsignedResult)));
    rows.push_back(rule(x, i64(signedResult)));
    rows.push_back(rule(x, u64(unsignedResult)));
}

// NaN and the infinities of a real source to all ten types.
template <class S>
void addSpecialRows(std::vector<RuleRow>& rows)
{
    S const nan = std::numeric_limits<S>::quiet_NaN(), inf = std::numeric_limits<S>::infinity();
    double const f64Bound = std::is_same_v<S, float> ? kF32MaxD : kF64Max;
    rows.push_back(rule(nan, kNaNF));
    rows.push_back(rule(nan, kNaN));
    rows.push_back(rule(inf, kF32Max));
    rows.push_back(rule(-inf, -kF32Max));
    rows.push_back(rule(inf, f64Bound));
    rows.push_back(rule(-inf, -f64Bound));
    forEachNumericType([&](auto d) {
        using D = decltype(d);
        if constexpr (std::is_integral_v<D>) {
            rows.push_back(rule(nan, sizeof(D) == 8 ? D(1ull << 63) : D(0)));
            rows.push_back(rule(inf, std::numeric_limits<D>::max()));
            rows.push_back(rule(-inf, std::numeric_limits<D>::lowest()));
        }
    });
    // -0.0 keeps its sign in real destinations and is 0 in integers.
    rows.push_back(rule(S(-0.0), -0.0f));
    rows.push_back(rule(S(-0.0), -0.0));
    addRoundingRows(rows, S(-0.0), 0);
}

std::vector<RuleRow> ruleTable()
{
    std::vector<RuleRow> rows;
    // Infinities clamp to the largest finite values; float32 keeps its bound
    // even into float64.
    rows.push_back(rule(kInfF, kF32Max));
    rows.push_back(rule(kInfF, kF32MaxD));
    rows.push_back(rule(1e300, kF32Max));
    rows.push_back(rule(-kInf, -kF64Max));
    rows.push_back(rule(3.5e38, kF32Max));  // clamped before narrowing
    addSpecialRows<float>(rows);
    addSpecialRows<double>(rows);

    // Half away from zero.
    for (auto const& [x, r] : std::vector<std::pair<double, long long>>{
             {0.5, 1}, {-0.5, -1}, {2.5, 3}, {-2.5, -3}, {0.4, 0}, {-0.4, 0}}) {
        addRoundingRows(rows, float(x), r);
        addRoundingRows(rows, x, r);
    }
    addRoundingRows(rows, 0.49999997f, 0);         // largest float below 0.5
    addRoundingRows(rows, 0.49999999999999994, 1);  // largest double below 0.5: x + 0.5 rounds to 1

    for (auto x : {127.4, 200.0, -128.6, -1e10}) {
        i8 const want = x == 127.4 || x == 200.0 ? 127 : -128;
        rows.push_back(rule(x, want));
        rows.push_back(rule(float(x), want));
    }
    rows.push_back(rule(-0.3, u8(0)));
    rows.push_back(rule(255.7, u8(255)));
    rows.push_back(rule(-0.3f, u8(0)));
    rows.push_back(rule(255.7f, u8(255)));

    rows.push_back(rule(3e9f, i32(2147483647)));
    rows.push_back(rule(-3e9, i32(-2147483647 - 1)));
    rows.push_back(rule(2147483520.0f, i32(2147483520)));  // 2^31 - 128, exact
    rows.push_back(rule(2147483648.0f, i32(2147483647)));
    rows.push_back(rule(-2147483648.0f, i32(-2147483647 - 1)));
    rows.push_back(rule(4294967040.0f, u32(4294967040u)));  // exact
    rows.push_back(rule(4294967296.0f, u32(4294967295u)));
    rows.push_back(rule(2147483648.0f, u32(2147483648u)));
    rows.push_back(rule(2147483647.5, i32(2147483647)));
    rows.push_back(rule(4294967294.5, u32(4294967295u)));
    rows.push_back(rule(4294967294.4, u32(4294967294u)));

    rows.push_back(rule(1e19, u64(10000000000000000000ull)));
    rows.push_back(rule(2e19, u64(18446744073709551615ull)));
    rows.push_back(rule(-5.0, u64(0)));
    rows.push_back(rule(1e19, i64(9223372036854775807ll)));
    rows.push_back(rule(18446744073709549568.0, u64(18446744073709549568ull)));  // largest double below 2^64
    rows.push_back(rule(18446744073709551616.0, u64(18446744073709551615ull)));
    rows.push_back(rule(-9223372036854775808.0, i64(std::numeric_limits<i64>::lowest())));
    rows.push_back(rule(9223372036854774784.0, i64(9223372036854774784ll)));  // largest double below 2^63

    rows.push_back(rule(i32((1 << 25) + 2), float(1 << 25)));  // ties to even
    rows.push_back(rule(u64((1ull << 60) + (1ull << 36) + 1), float(1ull << 60)));  // by way of float64
    rows.push_back(rule(i64((1ll << 60) + (1ll << 36) + 1), float((1ull << 60) + (1ull << 37))));  // one rounding
    rows.push_back(rule(u32(4294967295u), 4294967296.0f));
    rows.push_back(rule(u32(4294967295u), 4294967295.0));
    rows.push_back(rule(u32(16777217u), 16777216.0f));
    rows.push_back(rule(i32(-16777219), -16777220.0f));
    rows.push_back(rule(u64(18446744073709551615ull), 18446744073709551616.0));

    rows.push_back(rule(i16(-5), u16(0)));
    rows.push_back(rule(u32(4294967295u), i32(2147483647)));
    rows.push_back(rule(i32(300), u8(255)));
    rows.push_back(rule(i32(-300), i8(-128)));
    rows.push_back(rule(u16(40000), i16(32767)));
    rows.push_back(rule(u16(200), i8(127)));
    rows.push_back(rule(i16(-1), u8(0)));
    rows.push_back(rule(u32(70000), u16(65535)));
    rows.push_back(rule(i64(-1), u64(0)));
    rows.push_back(rule(u64(18446744073709551615ull), i64(9223372036854775807ll)));
    rows.push_back(rule(i64(-1), i8(-1)));
    rows.push_back(rule(u8(255), i8(127)));
    return rows;
}

}  // namespace

TEST(ConvertVector, RuleTableOnEveryTarget)
{
    std::vector<RuleRow> const rows = ruleTable();
    forEachSimdTarget([&] {
        for (RuleRow const& row : rows) {
            std::string const m = row.mismatch();
            EXPECT_TRUE(m.empty()) << row.name << ": " << m;
        }
    });
}

TEST(ConvertVector, NoDataMapping)
{
    // A NaN no-data value matches no element; NaN elements go on to the rule.
    EXPECT_TRUE(sameBits(convertThroughVector(std::vector<float>{kNaNF}, kNaNF, i16(-9))[0], i16(0)));
    // 0.0 matches -0.0.
    EXPECT_EQ(convertThroughVector(std::vector<double>{-0.0, 1.0}, 0.0, u8(77)), (std::vector<u8>{77, 1}));
    // The destination value is written unchanged, even where the rule could not produce it.
    auto out = convertThroughVector(std::vector<float>{5.0f, 2.0f}, 5.0f, -1e300);
    EXPECT_EQ(out, (std::vector<double>{-1e300, 2.0}));
    // Even a signalling NaN keeps its bits, in the vector body as in the tail.
    float const signalling = std::numeric_limits<float>::signaling_NaN();
    for (float v : convertThroughVector(std::vector<double>(40, 1.0), 1.0, signalling))
        EXPECT_TRUE(sameBits(v, signalling)) << bitsOf(v);
    double const signallingD = std::numeric_limits<double>::signaling_NaN();
    for (double v : convertThroughVector(std::vector<float>(40, 1.0f), 1.0f, signallingD))
        EXPECT_TRUE(sameBits(v, signallingD)) << bitsOf(v);
    // A converted value may equal the destination no-data value.
    EXPECT_EQ(convertThroughVector(std::vector<i32>{0, 4}, 4, i64(0)), (std::vector<i64>{0, 0}));
}

namespace {

// Converts `values` from S to D with convertVector on every vector target
// and compares the bits with the reference; reports the first difference.
template <class S, class D>
void expectReferenceOnEveryTarget(std::vector<S> const& values, S srcNoData, D dstNoData, std::string const& what)
{
    std::vector<D> want(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) want[i] = reference(values[i], srcNoData, dstNoData);
    auto const src = vectorOf(values);
    auto const dst = vectorOf(std::vector<D>(values.size() + 3, D(99)));
    forEachSimdTarget([&] {
        long const status = DataVectorUtils::convertVector(*dst, ConstVariantRef(typeOf<D>(), &dstNoData), *src,
                                                           ConstVariantRef(typeOf<S>(), &srcNoData));
        ASSERT_EQ(status, kSuccess);
        ASSERT_EQ(dst->size(), values.size());
        D const* out = static_cast<D const*>(dst->getConstDataPtr());
        if (values.empty() || std::memcmp(out, want.data(), values.size() * sizeof(D)) == 0) return;
        std::fill_n(static_cast<D*>(dst->getDataPtr()), values.size(), D(99));
        std::size_t i = 0;
        while (sameBits(out[i], want[i])) ++i;
        ADD_FAILURE() << what << ", " << typeid(S).name() << " -> " << typeid(D).name()
                      << ": element " << i << " of " << values.size() << ", source " << bitsOf(values[i])
                      << ": got " << bitsOf(out[i]) << ", want " << bitsOf(want[i]);
    });
}

template <class S>
std::vector<S> everyValue()
{
    std::vector<S> v;
    for (long long x = std::numeric_limits<S>::lowest(); x <= std::numeric_limits<S>::max(); ++x) v.push_back(S(x));
    return v;
}

template <class S>
std::vector<S> randomPatterns(std::size_t n, unsigned seed)
{
    std::mt19937_64 gen(seed);
    std::vector<S> v(n);
    for (S& x : v) {
        unsigned long long bits = gen();
        std::memcpy(&x, &bits, sizeof(S));
    }
    return v;
}

template <class T>
T nextUp(T x, int steps)
{
    for (int i = 0; i < steps; ++i) x = std::nextafter(x, std::numeric_limits<T>::infinity());
    for (int i = 0; i > steps; --i) x = std::nextafter(x, -std::numeric_limits<T>::infinity());
    return x;
}

// Values around every place where the rule changes for a real source:
// each integer bound +- 2 ulps, k +- 0.5 +- 1 ulp near zero and the bounds,
// the powers of two where integers stop being exact, subnormals, zeros,
// infinities and NaN.
template <class S>
std::vector<S> realBoundaries()
{
    std::vector<double> centres = {0.0, 1.0, 2.0, 0.5, 1.5, 2.5, 127.0, 128.0, 255.0, 256.0, 32767.0, 32768.0,
                                   65535.0, 65536.0, 2147483647.0, 2147483648.0, 4294967295.0, 4294967296.0,
                                   9007199254740992.0, 9223372036854775807.0, 18446744073709551615.0,
                                   16777216.0, 3.4028234663852886e38, 1.7976931348623157e308};
    for (double k : {0.0, 1.0, 126.0, 127.0, 254.0, 255.0, 32766.0, 32767.0, 65534.0, 65535.0, 2147483646.0,
                     2147483647.0, 4294967294.0, 4294967295.0}) {
        centres.push_back(k + 0.5);
        centres.push_back(k - 0.5);
    }
    std::vector<S> out;
    for (double c : centres)
        for (double sign : {1.0, -1.0})
            for (int step = -2; step <= 2; ++step) out.push_back(nextUp(S(sign * c), step));
    for (S x : {std::numeric_limits<S>::denorm_min(), std::numeric_limits<S>::min(), S(-0.0),
                std::numeric_limits<S>::infinity(), -std::numeric_limits<S>::infinity(),
                std::numeric_limits<S>::quiet_NaN(), -std::numeric_limits<S>::quiet_NaN()}) {
        out.push_back(x);
        out.push_back(-x);
    }
    return out;
}

// Integer sources: the bounds of every type and 2^31, 2^32, 2^53, 2^63, each +- 2.
template <class S>
std::vector<S> integerBoundaries()
{
    std::vector<S> out;
    std::vector<__int128> centres = {0, 127, 128, 255, 256, 32767, 32768, 65535, 65536, 1ll << 31, 1ll << 32,
                                     1ll << 53, (__int128(1) << 63), (__int128(1) << 64) - 1, 16777216};
    for (__int128 c : centres)
        for (int sign : {1, -1})
            for (int step = -2; step <= 2; ++step) {
                __int128 const v = sign * c + step;
                if (v >= std::numeric_limits<S>::lowest() && v <= std::numeric_limits<S>::max()) out.push_back(S(v));
            }
    return out;
}

// Every destination type, once with a no-data pair drawn from the values.
template <class S>
void expectReferenceForEveryDestination(std::vector<S> const& values, std::string const& what)
{
    S const srcNoData = values[values.size() / 3];
    forEachNumericType([&](auto d) {
        using D = decltype(d);
        expectReferenceOnEveryTarget(values, srcNoData, referenceValue<D>(S(values.size() % 7)), what);
    });
}

}  // namespace

TEST(ConvertVector, EverySmallIntegerToEveryType)
{
    expectReferenceForEveryDestination(everyValue<i8>(), "every value");
    expectReferenceForEveryDestination(everyValue<u8>(), "every value");
    expectReferenceForEveryDestination(everyValue<i16>(), "every value");
    expectReferenceForEveryDestination(everyValue<u16>(), "every value");
}

TEST(ConvertVector, WideSourcesBoundariesAndRandomPatterns)
{
#if defined(__SANITIZE_ADDRESS__)
    std::size_t const randomCount = std::size_t(1) << 16;
#else
    std::size_t const randomCount = std::size_t(1) << 24;
#endif
    expectReferenceForEveryDestination(realBoundaries<double>(), "boundaries");
    expectReferenceForEveryDestination(realBoundaries<float>(), "boundaries");
    expectReferenceForEveryDestination(integerBoundaries<i64>(), "boundaries");
    expectReferenceForEveryDestination(integerBoundaries<u64>(), "boundaries");
    expectReferenceForEveryDestination(integerBoundaries<i32>(), "boundaries");
    expectReferenceForEveryDestination(integerBoundaries<u32>(), "boundaries");
    expectReferenceForEveryDestination(randomPatterns<double>(randomCount, 1), "random");
    expectReferenceForEveryDestination(randomPatterns<i64>(randomCount, 2), "random");
    expectReferenceForEveryDestination(randomPatterns<u64>(randomCount, 3), "random");
}

namespace {

template <class T, class Bits>
T fromBits(Bits bits)
{
    static_assert(sizeof(T) == sizeof(Bits));
    T x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// Quiet and signalling NaNs of both signs, with and without payload bits.
template <class T>
std::vector<T> nanKinds()
{
    if constexpr (std::is_same_v<T, float>)
        return {fromBits<float>(0x7FC00000u), fromBits<float>(0x7FA00000u), fromBits<float>(0xFFC12345u),
                fromBits<float>(0x7F800001u), fromBits<float>(0xFF812345u)};
    else
        return {fromBits<double>(0x7FF8000000000000ull), fromBits<double>(0x7FF4000000000000ull),
                fromBits<double>(0xFFF8123456789ABCull), fromBits<double>(0x7FF0000000000001ull),
                fromBits<double>(0xFFF0000123456789ull)};
}

// Reals with no-data elements (3) among ordinary values, zeros, infinities,
// values beyond the float32 range and NaN elements of every kind.
template <class S>
std::vector<S> realsWithNaNs(std::size_t n)
{
    std::vector<S> pool = {S(1.5), S(-2.25), S(0), S(-0.0), std::numeric_limits<S>::infinity(),
                           -std::numeric_limits<S>::infinity(), std::numeric_limits<S>::max(), S(3)};
    for (S x : nanKinds<S>()) pool.push_back(x);
    std::vector<S> values(n);
    for (std::size_t i = 0; i < n; ++i) values[i] = pool[(i * 7 + i / 13) % pool.size()];
    return values;
}

}  // namespace

TEST(ConvertVector, NaNNoDataValuesKeepTheirBitsOnEveryTarget)
{
    forEachNumericType([&](auto s) {
        using S = decltype(s);
        if constexpr (std::is_floating_point_v<S>) {
            forEachNumericType([&](auto d) {
                using D = decltype(d);
                if constexpr (std::is_floating_point_v<D>) {
                    for (std::size_t n : {1, 67, 1000}) {
                        std::vector<S> const values = realsWithNaNs<S>(n);
                        std::string const what = std::to_string(n) + " elements";
                        // A NaN destination no-data value of every kind, written unchanged.
                        for (D dstNoData : nanKinds<D>())
                            expectReferenceOnEveryTarget(values, S(3), dstNoData, what + ", no-data " + bitsOf(dstNoData));
                        // A NaN source no-data value matches nothing.
                        for (S srcNoData : nanKinds<S>())
                            expectReferenceOnEveryTarget(values, srcNoData, nanKinds<D>()[1],
                                                         what + ", source no-data " + bitsOf(srcNoData));
                    }
                }
            });
        }
    });
}

TEST(ConvertVector, EveryLengthSplitsBodyAndTail)
{
    // Lengths 0..67 with the no-data value at the first, a middle and the last position.
    forEachNumericType([&](auto s) {
        using S = decltype(s);
        std::vector<S> const pool = randomPatterns<S>(67, 99);
        forEachNumericType([&](auto d) {
            using D = decltype(d);
            for (std::size_t n = 0; n <= 67; ++n) {
                std::vector<S> values;
                for (std::size_t i = 0; i < n; ++i) values.push_back(S(pool[i] / S(3)));
                S const noData = S(41);
                for (std::size_t at : {std::size_t(0), n / 2, n - 1})
                    if (at < n) values[at] = noData;
                expectReferenceOnEveryTarget(values, noData, D(23), "length " + std::to_string(n));
            }
        });
    });
}

// ---------------------------------------------------------------------------
// Entry checks, in the order the operation makes them.

namespace {

using zorvtest::ForeignDataVector;
using zorvtest::ForeignDataVectorND;

DataType const kF32(DataType::kFloat32, 0);
DataType const kI16(DataType::kInt16, 0);

struct EntryRow {
    char const* name;
    long expected;
    std::function<long()> call;
};

float const kF32NoData = -1.0f;
short const kI16NoData = -9999;
ConstVariantRef const kF32View(kF32, &kF32NoData);
ConstVariantRef const kI16View(kI16, &kI16NoData);

// Converts into a sentinel-filled 2 x 2 int16 destination, whose values and
// dimensions must survive every failing row.
boost::shared_ptr<DataVectorND<2>> sentinelDestination()
{
    auto v = DataVectorND<2>::create(kI16, P2(2, 2));
    for (unsigned i = 0; i < 4; ++i) static_cast<short*>(v->getDataPtr())[i] = 0x5A5A;
    return v;
}

}  // namespace

TEST(ConvertVector, EntryChecksInOrder)
{
    auto src2 = DataVectorND<2>::create(kF32, P2(3, 2));
    auto src3 = DataVectorND<3>::create(kF32, P3(1, 2, 3));
    auto tuple2 = DataVectorND<2>::create(DataType(DataType::kFloat32, 3), P2(3, 2));
    auto vec3 = DataVectorND<2>::create(DataType(DataType::kVec3, 0), P2(3, 2));
    auto dst = sentinelDestination();
    ConstVariantRef const tupleView(DataType(DataType::kInt16, 2), &kI16NoData);
    ConstVariantRef const wrongView(DataType(DataType::kInt32, 0), &kI16NoData);
    ForeignDataVector five(kF32, {1, 1, 1, 1, 1}), fiveDst(kI16, {1, 1, 1, 1, 1});
    ForeignDataVector notTwoD(kF32, {3, 2});

    std::vector<EntryRow> const rows = {
        {"2-D against 3-D", kErrDimensionCountsDiffer, [&] { return DataVectorUtils::convertVector(*dst, kI16View, *src3, kF32View); }},
        {"2-D against 3-D tuple", kErrDimensionCountsDiffer,
         [&] {
             auto t3 = DataVectorND<3>::create(DataType(DataType::kFloat32, 2), P3(1, 1, 1));
             return DataVectorUtils::convertVector(*dst, kI16View, *t3, kF32View);
         }},
        {"tuple source, wrong no-data view", kErrNotSupported, [&] { return DataVectorUtils::convertVector(*dst, wrongView, *tuple2, wrongView); }},
        {"tuple destination", kErrNotSupported, [&] { return DataVectorUtils::convertVector(*tuple2, kF32View, *src2, kF32View); }},
        {"3-vector source", kErrNotSupported, [&] { return DataVectorUtils::convertVector(*dst, kI16View, *vec3, kF32View); }},
        {"default destination view", kErrValueTypeMismatch, [&] { return DataVectorUtils::convertVector(*dst, ConstVariantRef(), *src2, kF32View); }},
        {"default source view", kErrValueTypeMismatch, [&] { return DataVectorUtils::convertVector(*dst, kI16View, *src2, ConstVariantRef()); }},
        {"view with another tuple length", kErrValueTypeMismatch, [&] { return DataVectorUtils::convertVector(*dst, tupleView, *src2, kF32View); }},
        {"view of another type", kErrValueTypeMismatch, [&] { return DataVectorUtils::convertVector(*dst, kI16View, *src2, kI16View); }},
        {"5-D foreign pair", kErrUnsupportedDimensionCount, [&] { return DataVectorUtils::convertVector(fiveDst, kI16View, five, kF32View); }},
        {"not a 2-D class", kErrVectorClassMismatch, [&] { return DataVectorUtils::convertVector(*dst, kI16View, notTwoD, kF32View); }},
    };
    for (EntryRow const& row : rows) {
        EXPECT_EQ(row.call(), row.expected) << row.name;
        EXPECT_EQ(dst->getDimensions(), P2(2, 2)) << row.name;
        EXPECT_EQ(valuesOf<short>(*dst), std::vector<short>(4, 0x5A5A)) << row.name;
    }
    EXPECT_TRUE(fiveDst.resizeCalls().empty());
}

TEST(ConvertVector, ResizeStatusesAndForeignClasses)
{
    // A clear resizeable flag refuses even when the dimensions already match.
    auto src = DataVectorND<2>::create(kF32, P2(2, 2));
    auto dst = sentinelDestination();
    dst->setResizeable(false);
    EXPECT_EQ(DataVectorUtils::convertVector(*dst, kI16View, *src, kF32View), kErrNotResizeable);
    EXPECT_EQ(valuesOf<short>(*dst), std::vector<short>(4, 0x5A5A));

    // Out of memory in the resize passes through.
    auto big = DataVectorND<2>::create(kF32, P2(50, 50));
    auto dst2 = sentinelDestination();
    DataVectorImp::failNextStorageAllocations(1);
    EXPECT_EQ(DataVectorUtils::convertVector(*dst2, kI16View, *big, kF32View), kErrOutOfMemory);
    DataVectorImp::failNextStorageAllocations(0);

    // A type without an element type: resized, then nothing converted.
    DataType const code10(static_cast<DataType::Type>(10), 0);
    ForeignDataVectorND<2> fsrc(code10, P2(4, 5)), fdst(code10, P2(1, 1));
    ConstVariantRef const view10(code10, nullptr);
    EXPECT_EQ(DataVectorUtils::convertVector(fdst, view10, fsrc, view10), kSuccess);
    ASSERT_EQ(fdst.resizes().size(), 1u);
    EXPECT_EQ(fdst.resizes()[0].dims, P2(4, 5));
    EXPECT_FALSE(fdst.resizes()[0].preserve);

    // A foreign float32 source of the right dimension count: the destination
    // is resized, then the typed cast throws.
    ForeignDataVectorND<2> foreignF32(kF32, P2(3, 7));
    auto dst3 = sentinelDestination();
    EXPECT_THROW(DataVectorUtils::convertVector(*dst3, kI16View, foreignF32, kF32View), std::bad_cast);
    EXPECT_EQ(dst3->getDimensions(), P2(3, 7));
}

// ---------------------------------------------------------------------------
// Whole vectors.

TEST(ConvertVector, TwoDimensionalFloatIntoEmptyInt16)
{
    auto src = DataVectorND<2>::create(kF32, P2(100, 50));
    auto* s = static_cast<float*>(src->getDataPtr());
    for (unsigned i = 0; i < 5000; ++i) s[i] = (float(i) - 2500.0f) * 13.25f;
    s[17] = kF32NoData;
    auto dst = DataVectorND<2>::create(kI16, P2(0, 0));
    ASSERT_EQ(DataVectorUtils::convertVector(*dst, kI16View, *src, kF32View), kSuccess);
    ASSERT_EQ(dst->getDimensions(), P2(100, 50));
    auto const* d = static_cast<short const*>(dst->getConstDataPtr());
    for (unsigned i = 0; i < 5000; ++i) ASSERT_EQ(d[i], reference(s[i], kF32NoData, kI16NoData)) << i;
    EXPECT_EQ(d[17], kI16NoData);
    EXPECT_EQ(d[0], -32768);   // -33125 saturates
    EXPECT_EQ(d[4999], 32767);
}

TEST(ConvertVector, EmptySourceGivesEmptyDestination)
{
    auto src = DataVectorND<2>::create(kF32, P2(0, 7));
    auto dst = sentinelDestination();
    EXPECT_EQ(DataVectorUtils::convertVector(*dst, kI16View, *src, kF32View), kSuccess);
    EXPECT_EQ(dst->getDimensions(), P2(0, 7));
    EXPECT_EQ(dst->size(), 0u);
}

TEST(ConvertVector, ThreeAndFourDimensions)
{
    auto src3 = DataVectorND<3>::create(DataType(DataType::kUInt16, 0), P3(4, 3, 2));
    for (unsigned i = 0; i < 24; ++i) static_cast<u16*>(src3->getDataPtr())[i] = u16(i * 3000);
    auto dst3 = DataVectorND<3>::create(DataType(DataType::kInt8, 0), P3(9, 9, 9));
    u16 const noData16 = 6000;
    i8 const noData8 = -7;
    EXPECT_EQ(DataVectorUtils::convertVector(*dst3, ConstVariantRef(typeOf<i8>(), &noData8), *src3,
                                             ConstVariantRef(typeOf<u16>(), &noData16)),
              kSuccess);
    EXPECT_EQ(dst3->getDimensions(), P3(4, 3, 2));
    std::vector<i8> want3(24, 127);
    want3[0] = 0;
    want3[2] = -7;
    EXPECT_EQ(valuesOf<i8>(*dst3), want3);

    auto src4 = DataVectorND<4>::create(DataType(DataType::kInt64, 0), P4(2, 1, 3, 2));
    for (unsigned i = 0; i < 12; ++i) static_cast<i64*>(src4->getDataPtr())[i] = (i64(i) - 6) * 1000000000000ll;
    auto dst4 = DataVectorND<4>::create(DataType(DataType::kFloat64, 0), P4(1, 1, 1, 1));
    i64 const noData64 = 0;
    double const noDataD = -1.0;
    EXPECT_EQ(DataVectorUtils::convertVector(*dst4, ConstVariantRef(typeOf<double>(), &noDataD), *src4,
                                             ConstVariantRef(typeOf<i64>(), &noData64)),
              kSuccess);
    EXPECT_EQ(dst4->getDimensions(), P4(2, 1, 3, 2));
    std::vector<double> want4;
    for (unsigned i = 0; i < 12; ++i) want4.push_back(i == 6 ? -1.0 : (double(i) - 6) * 1e12);
    EXPECT_EQ(valuesOf<double>(*dst4), want4);
}

TEST(ConvertVector, SameTypeCopyMapsNoDataAndClampsInfinities)
{
    auto src = vectorOf(std::vector<double>{1.0, -kInf, 7.0, kInf, -0.0});
    auto dst = vectorOf(std::vector<double>{});
    double const from = 7.0, to = 8.5;
    EXPECT_EQ(DataVectorUtils::convertVector(*dst, ConstVariantRef(typeOf<double>(), &to), *src,
                                             ConstVariantRef(typeOf<double>(), &from)),
              kSuccess);
    std::vector<double> const out = valuesOf<double>(*dst);
    EXPECT_EQ(out, (std::vector<double>{1.0, -kF64Max, 8.5, kF64Max, -0.0}));
    EXPECT_TRUE(std::signbit(out[4]));
}

TEST(ConvertVector, InPlaceReadsNoDataOnceBeforeTheRun)
{
    // srcNoData views the vector's own first element, which the run overwrites
    // first: every later element equal to the old value must still match it.
    std::vector<float> values(50, 2.0f);
    values[0] = 3.0f;
    values[20] = 3.0f;
    values[49] = 3.0f;
    values[30] = kInfF;
    auto v = vectorOf(values);
    float const to = -5.0f;
    auto* p = static_cast<DataVectorND<1>*>(v.get());
    EXPECT_EQ(DataVectorUtils::convertVector(*v, ConstVariantRef(kF32, &to), *v, p->get(P1(0))), kSuccess);
    std::vector<float> want(50, 2.0f);
    want[0] = want[20] = want[49] = -5.0f;
    want[30] = kF32Max;
    EXPECT_EQ(valuesOf<float>(*v), want);
}

TEST(ConvertVector, DestinationNoDataViewingStorageTheResizeFrees)
{
    // dstNoData points into the destination's own storage, which the resize
    // replaces; the value is taken before, so the run writes 1234.
    auto dst = vectorOf(std::vector<short>{1234, 1, 2});
    auto src = vectorOf(std::vector<float>(40, 1.0f));
    float const from = 1.0f;
    auto* d = static_cast<DataVectorND<1>*>(dst.get());
    EXPECT_EQ(DataVectorUtils::convertVector(*dst, d->get(P1(0)), *src, ConstVariantRef(kF32, &from)), kSuccess);
    EXPECT_EQ(valuesOf<short>(*dst), std::vector<short>(40, 1234));
}

TEST(ConvertVector, ElementLoopDirectly)
{
    float const in[5] = {1.5f, -7.0f, kNaNF, 1e9f, -1e9f};
    short out[6] = {1, 1, 1, 1, 1, 1};
    EXPECT_EQ(DataVectorUtils::convertElements(in, in + 5, out, -7.0f, short(-1)), kSuccess);
    EXPECT_EQ(std::vector<short>(out, out + 6), (std::vector<short>{2, -1, 0, 32767, -32768, 1}));
    EXPECT_EQ(DataVectorUtils::convertElements(in, in, out, 0.0f, short(0)), kSuccess);  // empty run
    EXPECT_EQ(out[0], 2);
}
