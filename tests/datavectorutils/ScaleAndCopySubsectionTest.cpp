#include <random>
#include <typeinfo>

#include "datavectorutils/GridValues.h"
#include "support/SimdTargets.h"

using namespace gridvalues;

namespace {

long scale(DataVectorND<2>& dst, Box const& dstBox, DataVectorND<2> const& src, Box const& srcBox,
           Variant const& noData, InterpolationMethod method, bool fallback = false)
{
    return DataVectorUtils::scaleAndCopySubsection(dst, dstBox, src, srcBox, noData, method, fallback);
}

template <class E>
boost::shared_ptr<DataVectorND<2>> filled(unsigned d0, unsigned d1, E value)
{
    return grid<E>(d0, d1, std::vector<E>(std::size_t(d0) * d1, value));
}

// A row vector of the given values.
template <class E>
boost::shared_ptr<DataVectorND<2>> row(std::vector<E> const& values)
{
    return grid<E>(unsigned(values.size()), 1, values);
}

// Resamples the row `src` into a new row of n elements.
template <class E>
std::vector<E> resampleRow(std::vector<E> const& src, unsigned n, E noData, InterpolationMethod method)
{
    auto s = row(src);
    auto d = filled<E>(n, 1, E(99));
    EXPECT_EQ(scale(*d, box(0, 0, n, 1), *s, box(0, 0, unsigned(src.size()), 1), Variant(noData), method), kSuccess);
    return valuesOf<E>(*d);
}

constexpr int kSentinel = -77;

}  // namespace

TEST(ScaleAndCopySubsection, ChecksInOrder)
{
    auto src = grid<int>(4, 3, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    auto floats = filled<float>(4, 3, 0.0f);
    DataType const tuple(DataType::kInt32, 2);
    auto tupleSrc = grid(tuple, 2, 1, std::vector<int>{1, 2, 3, 4});
    auto vec3Src = grid<Vec3>(2, 1, {Vec3(1, 2, 3), Vec3(4, 5, 6)});
    Variant const nd(-1), tupleNd = tupleValue<int>(DataType::kInt32, {-1, -1}), vec3Nd(Vec3(0, 0, 0));
    auto const bad = InterpolationMethod(7);
    struct {
        char const* name;
        DataVectorND<2> const* source;
        Variant const* noData;
        Box dstBox, srcBox;
        InterpolationMethod method;
        bool fallback;
        long status;
        std::vector<int> expected;  // destination row 0 of 4 when written
    } const cases[] = {
        {"types before no-data and box", floats.get(), &nd, box(0, 0, 9, 1), box(0, 0, 1, 1), bad, false,
         kErrDataTypesDiffer, {}},
        {"no-data before equal extents", src.get(), &tupleNd, box(0, 0, 2, 1), box(0, 0, 2, 1), kHold, false,
         kErrValueTypeMismatch, {}},
        {"equal extents, method 2", src.get(), &nd, box(1, 0, 3, 1), box(2, 2, 4, 3), kBilinearHoldNoData, false,
         kSuccess, {kSentinel, 10, 11, kSentinel}},
        {"equal extents, unknown method", src.get(), &nd, box(0, 0, 1, 1), box(3, 0, 4, 1), bad, false, kSuccess,
         {3, kSentinel, kSentinel, kSentinel}},
        {"equal inverted boxes", src.get(), &nd, box(2, 0, 1, 1), box(2, 0, 1, 1), kHold, false,
         kErrSubsectionOutOfRange, {}},
        {"equal extents beyond the source", src.get(), &nd, box(0, 0, 2, 1), box(3, 0, 5, 1), kHold, false,
         kErrSubsectionOutOfRange, {}},
        {"destination box before method", src.get(), &nd, box(0, 0, 5, 1), box(0, 0, 1, 1), bad, false,
         kErrSubsectionOutOfRange, {}},
        {"destination inverted", src.get(), &nd, box(0, 1, 4, 0), box(0, 0, 1, 1), kHold, false,
         kErrSubsectionOutOfRange, {}},
        {"source beyond on axis 1", src.get(), &nd, box(0, 0, 4, 1), box(0, 0, 1, 4), kHold, false,
         kErrSubsectionOutOfRange, {}},
        {"source inverted", src.get(), &nd, box(0, 0, 4, 1), box(2, 0, 1, 1), kHold, false,
         kErrSubsectionOutOfRange, {}},
        {"method 2, extents differ", src.get(), &nd, box(0, 0, 4, 1), box(0, 0, 2, 1), kBilinearHoldNoData, false,
         kErrUnknownInterpolationMethod, {}},
        {"unknown method", src.get(), &nd, box(0, 0, 4, 1), box(0, 0, 2, 1), bad, false,
         kErrUnknownInterpolationMethod, {}},
        {"hold", src.get(), &nd, box(0, 0, 4, 1), box(0, 0, 2, 1), kHold, false, kSuccess, {0, 0, 1, 1}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        auto dst = filled<int>(4, 3, kSentinel);
        EXPECT_EQ(scale(*dst, c.dstBox, *c.source, c.srcBox, *c.noData, c.method, c.fallback), c.status);
        std::vector<int> expected(12, kSentinel);
        std::copy(c.expected.begin(), c.expected.end(), expected.begin());
        EXPECT_EQ(valuesOf<int>(*dst), expected);
    }

    // Tuples: bilinear with the fallback is hold, without it refused; the
    // flag does nothing for the scalar 3-vector.
    auto tupleDst = grid(tuple, 4, 1, std::vector<int>(8, kSentinel));
    EXPECT_EQ(scale(*tupleDst, box(0, 0, 4, 1), *tupleSrc, box(0, 0, 2, 1), tupleNd, kBilinear), kErrInterpolationNotSupported);
    EXPECT_EQ(valuesOf<int>(*tupleDst), std::vector<int>(8, kSentinel));
    EXPECT_EQ(scale(*tupleDst, box(0, 0, 4, 1), *tupleSrc, box(0, 0, 2, 1), tupleNd, kBilinear, true), kSuccess);
    EXPECT_EQ(valuesOf<int>(*tupleDst), (std::vector<int>{1, 2, 1, 2, 3, 4, 3, 4}));
    // Equal extents copy whatever the method.
    auto tupleCopy = grid(tuple, 2, 1, std::vector<int>(4, kSentinel));
    EXPECT_EQ(scale(*tupleCopy, box(0, 0, 2, 1), *tupleSrc, box(0, 0, 2, 1), tupleNd, kBilinear), kSuccess);
    EXPECT_EQ(valuesOf<int>(*tupleCopy), (std::vector<int>{1, 2, 3, 4}));

    auto vec3Dst = grid<Vec3>(3, 1, std::vector<Vec3>(3, Vec3(9, 9, 9)));
    EXPECT_EQ(scale(*vec3Dst, box(0, 0, 3, 1), *vec3Src, box(0, 0, 2, 1), vec3Nd, kBilinear, true),
              kErrInterpolationNotSupported);
    EXPECT_EQ(scale(*vec3Dst, box(0, 0, 3, 1), *vec3Src, box(0, 0, 2, 1), vec3Nd, kBilinearHoldNoData, true),
              kErrUnknownInterpolationMethod);
    EXPECT_TRUE(valuesOf<Vec3>(*vec3Dst)[0] == Vec3(9, 9, 9));
    EXPECT_EQ(scale(*vec3Dst, box(0, 0, 3, 1), *vec3Src, box(0, 0, 2, 1), vec3Nd, kHold), kSuccess);
    auto const v3 = valuesOf<Vec3>(*vec3Dst);
    EXPECT_TRUE(v3[0] == Vec3(1, 2, 3) && v3[1] == Vec3(1, 2, 3) && v3[2] == Vec3(4, 5, 6));
}

TEST(ScaleAndCopySubsection, Hold)
{
    forEachSimdTarget([] {
        EXPECT_EQ(resampleRow<int>({10, 11, 12, 13}, 2, -1, kHold), (std::vector<int>{10, 12}));
        EXPECT_EQ(resampleRow<int>({10, 11}, 4, -1, kHold), (std::vector<int>{10, 10, 11, 11}));
        EXPECT_EQ(resampleRow<int>({10, 11, 12}, 1, -1, kHold), (std::vector<int>{10}));
        // 49 × (2 / 98) is just below 1 in double: column 0, not 49 × 2 / 98 = 1.
        std::vector<int> const wide = resampleRow<int>({10, 11}, 98, -1, kHold);
        EXPECT_EQ(wide[48], 10);
        EXPECT_EQ(wide[49], 10);
        EXPECT_EQ(wide[50], 11);

        // Blocks away from the origin: source 4 × 2 at (1, 1) of a 5 × 4 vector
        // into destination 2 × 4 at (2, 1) of a 5 × 6 vector; columns {0, 2},
        // rows {0, 0, 1, 1} of the box.
        std::vector<int> values(20);
        for (int i = 0; i < 20; ++i) values[i] = 100 + i;
        auto src = grid<int>(5, 4, values);
        auto dst = filled<int>(5, 6, kSentinel);
        EXPECT_EQ(scale(*dst, box(2, 1, 4, 5), *src, box(1, 1, 5, 3), Variant(-1), kHold), kSuccess);
        std::vector<int> expected(30, kSentinel);
        int const at[2][2] = {{106, 108}, {111, 113}};  // (1 + {0, 2}, 1 + {0, 1}) → 100 + x + 5y
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 2; ++j) expected[(1 + i) * 5 + 2 + j] = at[i / 2][j];
        EXPECT_EQ(valuesOf<int>(*dst), expected);
    });
}

TEST(ScaleAndCopySubsection, BilinearMeansAndRounding)
{
    forEachSimdTarget([] {
        // 2 × 2 into 3 × 3: corners, edge midpoints and the centre.
        auto d = filled<double>(3, 3, 99.0);
        EXPECT_EQ(scale(*d, box(0, 0, 3, 3), *grid<double>(2, 2, {0, 2, 4, 8}), box(0, 0, 2, 2), Variant(-1.0), kBilinear),
                  kSuccess);
        EXPECT_EQ(valuesOf<double>(*d), (std::vector<double>{0, 1, 2, 2, 3.5, 5, 4, 6, 8}));
        // int16: 15, 20, 25.25, 30.5 and 35.5 rounded half away from zero.
        auto s = filled<short>(3, 3, 99);
        EXPECT_EQ(scale(*s, box(0, 0, 3, 3), *grid<short>(2, 2, {10, 20, 30, 41}), box(0, 0, 2, 2), Variant(short(-1)),
                        kBilinear),
                  kSuccess);
        EXPECT_EQ(valuesOf<short>(*s), (std::vector<short>{10, 15, 20, 20, 25, 31, 30, 36, 41}));

        EXPECT_EQ(resampleRow<short>({1, 2}, 3, -9, kBilinear), (std::vector<short>{1, 2, 2}));
        EXPECT_EQ(resampleRow<short>({-1, -2}, 3, -9, kBilinear), (std::vector<short>{-1, -2, -2}));
        // float32 arithmetic: ratio 1/3 and the weights in float.
        EXPECT_EQ(resampleRow<float>({1, 2}, 4, -9, kBilinear), (std::vector<float>{1.0f, 1.33333325f, 1.66666675f, 2.0f}));
        // 64-bit results at the top of the range saturate.
        long long const top = std::numeric_limits<long long>::max();
        EXPECT_EQ(resampleRow<long long>({top, top}, 3, 0, kBilinear), (std::vector<long long>{top, top, top}));
        unsigned long long const utop = std::numeric_limits<unsigned long long>::max();
        EXPECT_EQ(resampleRow<unsigned long long>({utop, utop}, 3, 0, kBilinear),
                  (std::vector<unsigned long long>{utop, utop, utop}));
    });
}

TEST(ScaleAndCopySubsection, BilinearNoData)
{
    forEachSimdTarget([] {
        // All four neighbours missing.
        auto d = filled<double>(3, 3, 99.0);
        EXPECT_EQ(scale(*d, box(0, 0, 3, 3), *filled<double>(2, 2, -5.0), box(0, 0, 2, 2), Variant(-5.0), kBilinear),
                  kSuccess);
        EXPECT_EQ(valuesOf<double>(*d), std::vector<double>(9, -5.0));

        // One valid neighbour of weight share fx = j / 20000: no-data up to
        // 0.0001, above it that neighbour's value (S / M).
        std::vector<short> const ints = resampleRow<short>({-9, 37}, 20001, -9, kBilinear);
        EXPECT_EQ(ints[1], -9);  // 0.00005
        EXPECT_EQ(ints[3], 37);  // 0.00015
        double const v = 0.1, nd = -9;
        std::vector<double> const reals = resampleRow<double>({nd, v}, 20001, nd, kBilinear);
        double const ratio = 1.0 / 20000.0, fx = 3.0 * ratio;
        double const S = 0.0 * (fx * v + 0.0 * nd) + (1.0 - 0.0) * (fx * v + 0.0 * nd);
        double const M = 0.0 * (0.0 + fx) + (1.0 - 0.0) * (0.0 + fx);
        EXPECT_EQ(reals[1], nd);
        EXPECT_EQ(bitsOf(std::vector<double>{reals[3]}), bitsOf(std::vector<double>{S / M}));

        // A NaN neighbour of weight 0 still makes NaN; a NaN no-data matches
        // nothing.
        EXPECT_TRUE(std::isnan(resampleRow<double>({1, nan()}, 3, -1, kBilinear)[0]));
        std::vector<double> const nanNoData = resampleRow<double>({nan(), 2}, 3, nan(), kBilinear);
        EXPECT_TRUE(std::isnan(nanNoData[1]));
        EXPECT_EQ(nanNoData[2], 2.0);

        // An infinite no-data value leaves the mean of the valid neighbours.
        double const inf = std::numeric_limits<double>::infinity();
        EXPECT_EQ(resampleRow<double>({-inf, 4}, 3, -inf, kBilinear), (std::vector<double>{-inf, 4, 4}));
        float const finf = std::numeric_limits<float>::infinity();
        EXPECT_EQ(resampleRow<float>({6, finf}, 3, finf, kBilinear), (std::vector<float>{6, 6, finf}));
        // A valid infinite neighbour of weight 0 still gives NaN.
        EXPECT_TRUE(std::isnan(resampleRow<double>({4, inf}, 3, -1, kBilinear)[0]));
    });
}

// float32 positions: the row (or column) and its fraction come from one
// float product, and the last destination row and column still blend in
// the next source row or column.
TEST(ScaleAndCopySubsection, Float32PositionsNameTheirNeighbours)
{
    forEachSimdTarget([] {
        // 8 × 8 holding 10y + x into 11 × 11: 10 × float(0.7) is 7 in float but
        // just below 7 in double, so row 10 is source row 7, not 6.
        std::vector<float> values(64);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) values[y * 8 + x] = float(10 * y + x);
        auto d = filled<float>(11, 11, -1.0f);
        EXPECT_EQ(scale(*d, box(0, 0, 11, 11), *grid<float>(8, 8, values), box(0, 0, 8, 8), Variant(-9.0f), kBilinear),
                  kSuccess);
        std::vector<float> const out = valuesOf<float>(*d);
        EXPECT_EQ(out[120], 77.0f);
        for (int k = 0; k < 11; ++k) {
            SCOPED_TRACE(k);
            EXPECT_NEAR(out[110 + k], out[k] + 70.0f, 1e-4);    // last row: source row 7
            EXPECT_NEAR(out[k * 11 + 10], out[k * 11] + 7.0f, 1e-4);  // last column: source column 7
        }

        // 2 → 42: the last position is 41 × float(1/41) = 1 − 2^-24, blended
        // with the second source row (column) into 2 − 2^-24, which rounds to 2.
        auto column = grid<float>(1, 2, {1.0f, 2.0f});
        auto tall = filled<float>(1, 42, -1.0f);
        EXPECT_EQ(scale(*tall, box(0, 0, 1, 42), *column, box(0, 0, 1, 2), Variant(-9.0f), kBilinear), kSuccess);
        EXPECT_EQ(valuesOf<float>(*tall)[41], 2.0f);
        EXPECT_EQ(resampleRow<float>({1.0f, 2.0f}, 42, -9.0f, kBilinear)[41], 2.0f);
        // An extent of 1 takes the first column alone: the NaN beside it is not read.
        EXPECT_EQ(resampleRow<float>({3.0f, nanf()}, 1, -9.0f, kBilinear), std::vector<float>{3.0f});

    });

    // Every destination row lies between the source rows below and above its
    // exact position i × (srcH − 1) / (dstH − 1); the source holds its row
    // numbers. The same along a row.
    unsigned const maxSrc = 300, maxDst = 600;
    std::vector<float> ramp(maxSrc);
    for (unsigned r = 0; r < maxSrc; ++r) ramp[r] = float(r);
    auto srcColumn = grid<float>(1, maxSrc, ramp), srcRow = grid<float>(maxSrc, 1, ramp);
    auto dstColumn = filled<float>(1, maxDst, -1.0f), dstRow = filled<float>(maxDst, 1, -1.0f);
    float const* col = static_cast<float const*>(dstColumn->getConstDataPtr());
    float const* row = static_cast<float const*>(dstRow->getConstDataPtr());
    unsigned wrong = 0;
    for (unsigned sh = 2; sh <= maxSrc; ++sh)
        for (unsigned dh = 2; dh <= maxDst; ++dh) {
            if (sh == dh) continue;
            ASSERT_EQ(scale(*dstColumn, box(0, 0, 1, dh), *srcColumn, box(0, 0, 1, sh), Variant(-9.0f), kBilinear),
                      kSuccess);
            ASSERT_EQ(scale(*dstRow, box(0, 0, dh, 1), *srcRow, box(0, 0, sh, 1), Variant(-9.0f), kBilinear),
                      kSuccess);
            for (unsigned i = 0; i < dh; ++i) {
                std::uint64_t const num = std::uint64_t(i) * (sh - 1), den = dh - 1;
                double const below = double(num / den), above = double((num + den - 1) / den);
                for (float v : {col[i], row[i]})
                    if (!(v >= below - 1e-3 && v <= above + 1e-3) && ++wrong <= 5)
                        ADD_FAILURE() << sh << " -> " << dh << ", position " << i << ": " << v;
            }
        }
    EXPECT_EQ(wrong, 0u);
}

namespace {

// Element (j, i) of a bilinear resampling of the srcW × srcH values `s`
// into dstW × dstH, formed alone from the rule: positions, neighbours,
// weights, no-data, the threshold and rounding to the nearest integer.
template <class E, class F>
E bilinearElement(std::vector<E> const& s, std::size_t srcW, std::size_t srcH, std::size_t dstW, std::size_t dstH,
                  std::size_t j, std::size_t i, E nd)
{
    F const ratioY = dstH > 1 ? F(srcH - 1) / F(dstH - 1) : F(0);
    F const ratioX = dstW > 1 ? F(srcW - 1) / F(dstW - 1) : F(0);
    F const cy = F(i) * ratioY, cx = F(j) * ratioX;
    std::size_t const r = std::size_t(cy), c = std::size_t(cx);
    F const fy = cy - F(r), fx = cx - F(c), gy = F(1) - fy, gx = F(1) - fx;
    std::size_t const ru = std::min(r, srcH - 1), rl = std::min(r + (dstH > 1), srcH - 1);
    std::size_t const cl = std::min(c, srcW - 1), cr = std::min(c + (dstW > 1), srcW - 1);
    E const v[4] = {s[ru * srcW + cl], s[ru * srcW + cr], s[rl * srcW + cl], s[rl * srcW + cr]};  // UL UR LL LR
    F const weight[4] = {gx, fx, gx, fx};
    bool any = false;
    F w[4], x[4];
    for (int k = 0; k < 4; ++k) {
        bool const missing = v[k] == nd;
        any = any || missing;
        w[k] = missing ? F(0) : weight[k];
        x[k] = missing && std::isinf(double(nd)) ? F(0) : F(v[k]);
    }
    F result = fy * (w[3] * x[3] + w[2] * x[2]) + gy * (w[1] * x[1] + w[0] * x[0]);
    if (any) {
        F const m = fy * (w[2] + w[3]) + gy * (w[0] + w[1]);
        if (!(m > F(0.0001))) return nd;
        result = result / m;
    }
    if constexpr (std::is_floating_point_v<E>)
        return E(result);
    else
        return E(result > 0 ? (long long)(double(result) + 0.5) : (long long)(double(result) - 0.5));
}

template <class E>
bool sameValue(E a, E b)
{
    if constexpr (std::is_floating_point_v<E>)
        if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Resamples a block of random values with no-data and (for floats) NaN
// neighbours, wide enough for whole SIMD runs, into blocks away from the
// origin of larger vectors, and compares every element with the rule.
template <class E>
void checkAgainstTheRule(unsigned srcW, unsigned srcH, unsigned dstW, unsigned dstH, E nd, E other, unsigned seed)
{
    using F = std::conditional_t<std::is_same_v<E, float>, float, double>;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(-1000, 1000), pick(0, 99);
    std::vector<E> block(std::size_t(srcW) * srcH), whole(std::size_t(srcW + 3) * (srcH + 2), E(5));
    for (E& e : block) {
        int const p = pick(random);
        e = p < 3 ? nd : p < 4 ? other : E(value(random)) / E(std::is_floating_point_v<E> ? 8 : 1);
    }
    for (unsigned y = 0; y < srcH; ++y)
        std::copy_n(block.data() + std::size_t(y) * srcW, srcW, whole.data() + std::size_t(y + 1) * (srcW + 3) + 2);
    auto src = grid<E>(srcW + 3, srcH + 2, whole);
    for (InterpolationMethod method : {kBilinear, kHold}) {
        SCOPED_TRACE(method);
        auto dst = filled<E>(dstW + 1, dstH + 1, E(7));
        ASSERT_EQ(scale(*dst, box(1, 1, dstW + 1, dstH + 1), *src, box(2, 1, srcW + 2, srcH + 1), Variant(nd), method),
                  kSuccess);
        std::vector<E> const out = valuesOf<E>(*dst);
        unsigned wrong = 0;
        for (std::size_t i = 0; i < dstH; ++i)
            for (std::size_t j = 0; j < dstW; ++j) {
                E expected;
                if (method == kBilinear) {
                    expected = bilinearElement<E, F>(block, srcW, srcH, dstW, dstH, j, i, nd);
                } else {
                    std::size_t const c = std::size_t(double(j) * (double(srcW) / double(dstW)));
                    std::size_t const r = std::size_t(double(i) * (double(srcH) / double(dstH)));
                    expected = block[r * srcW + c];
                }
                E const got = out[(i + 1) * (dstW + 1) + j + 1];
                if (!sameValue(got, expected) && ++wrong <= 3)
                    ADD_FAILURE() << "(" << j << ", " << i << "): " << double(got) << " instead of " << double(expected);
            }
        EXPECT_EQ(wrong, 0u);
        for (std::size_t j = 0; j <= dstW; ++j) EXPECT_EQ(out[j], E(7));  // row 0 and column 0 untouched
        for (std::size_t i = 0; i <= dstH; ++i) EXPECT_EQ(out[i * (dstW + 1)], E(7));
    }
}

}  // namespace

TEST(ScaleAndCopySubsection, WideBlocksFollowTheRuleOnEveryTarget)
{
    float const inf = std::numeric_limits<float>::infinity();
    forEachSimdTarget([&] {
        // Enlarging (runs from one load), shrinking (element by element) and
        // odd widths with tails, for float32, float64 and integers.
        checkAgainstTheRule<float>(200, 9, 457, 21, -9999.0f, nanf(), 1);
        checkAgainstTheRule<float>(301, 7, 97, 13, -9999.0f, -0.0f, 2);
        checkAgainstTheRule<float>(130, 5, 261, 11, inf, 3.0f, 3);
        checkAgainstTheRule<float>(130, 5, 261, 11, nanf(), 3.0f, 4);
        checkAgainstTheRule<double>(150, 8, 333, 17, -9999.0, nan(), 5);
        checkAgainstTheRule<short>(150, 8, 333, 17, short(-32768), short(1), 6);
        checkAgainstTheRule<unsigned char>(150, 8, 333, 17, 255, 0, 7);
        checkAgainstTheRule<int>(99, 6, 200, 9, -1, 0, 8);
        checkAgainstTheRule<long long>(99, 6, 200, 9, -1, 0, 9);
        // Columns of one element and rows of one element.
        checkAgainstTheRule<float>(1, 40, 1, 77, -9999.0f, 2.0f, 10);
        checkAgainstTheRule<float>(40, 1, 77, 1, -9999.0f, 2.0f, 11);
        // A destination of 8 MiB and more, written around the cache.
        checkAgainstTheRule<float>(700, 700, 1500, 1500, -9999.0f, nanf(), 12);
        checkAgainstTheRule<double>(400, 300, 1100, 1000, -9999.0, nan(), 13);
    });
}

TEST(ScaleAndCopySubsection, SourceBlocksAtTheEdges)
{
    forEachSimdTarget([] {
        // An empty source block: no-data, nothing read (the source has no storage).
        auto none = DataVectorND<2>::create(DataType(DataType::kInt32), P2(0, 0));
        for (InterpolationMethod m : {kHold, kBilinear}) {
            auto dst = filled<int>(3, 3, kSentinel);
            EXPECT_EQ(scale(*dst, box(1, 1, 3, 3), *none, box(0, 0, 0, 0), Variant(-1), m), kSuccess);
            EXPECT_EQ(valuesOf<int>(*dst), (std::vector<int>{kSentinel, kSentinel, kSentinel, kSentinel, -1, -1,
                                                             kSentinel, -1, -1}));
        }
        auto tall = grid<int>(3, 2, {1, 2, 3, 4, 5, 6});
        auto dst = filled<int>(2, 2, kSentinel);
        EXPECT_EQ(scale(*dst, box(0, 0, 2, 2), *tall, box(3, 0, 3, 2), Variant(-1), kBilinear), kSuccess);
        EXPECT_EQ(valuesOf<int>(*dst), std::vector<int>(4, -1));

        // Extent 1 at the last column and row of the source vector: the second
        // neighbour is the first.
        auto src = grid<float>(4, 3, {0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 7});
        auto f = filled<float>(3, 3, -1.0f);
        EXPECT_EQ(scale(*f, box(0, 0, 3, 3), *src, box(3, 2, 4, 3), Variant(-9.0f), kBilinear), kSuccess);
        EXPECT_EQ(valuesOf<float>(*f), std::vector<float>(9, 7.0f));
        auto g = filled<float>(2, 3, -1.0f);
        EXPECT_EQ(scale(*g, box(0, 0, 2, 3), *src, box(3, 1, 4, 3), Variant(-9.0f), kBilinear), kSuccess);
        EXPECT_EQ(valuesOf<float>(*g), (std::vector<float>{5, 5, 6, 6, 7, 7}));
    });
}

TEST(ScaleAndCopySubsection, NeighboursStayInsideTheSourceBox)
{
    // Float positions reach the box's last column early: column dstW - 2
    // reads column 1 twice, never the NaN behind the box.
    {
        unsigned const n = 13103686;
        auto src = grid<float>(3, 1, {1, 2, nanf()});
        auto dst = filled<float>(n, 1, -1.0f);
        EXPECT_EQ(scale(*dst, box(0, 0, n, 1), *src, box(0, 0, 2, 1), Variant(-9.0f), kBilinear), kSuccess);
        float const* out = static_cast<float const*>(dst->getConstDataPtr());
        EXPECT_EQ(out[n - 2], 2.0f);
        EXPECT_EQ(out[n - 1], 2.0f);
    }
    // A source box wider than 2^24: the rounded ratio puts the last column's
    // left neighbour past the box.
    unsigned const w = (1u << 24) + 5;
    std::vector<float> values(w, 1.0f);
    values[w - 2] = 7.0f;
    values[w - 1] = nanf();
    {
        auto src = grid<float>(w, 1, values);
        auto dst = filled<float>(2, 1, -1.0f);
        EXPECT_EQ(scale(*dst, box(0, 0, 2, 1), *src, box(0, 0, w - 1, 1), Variant(-9.0f), kBilinear), kSuccess);
        EXPECT_EQ(valuesOf<float>(*dst), (std::vector<float>{1.0f, 7.0f}));
    }
    {
        auto src = grid<float>(1, w, values);
        auto dst = filled<float>(1, 2, -1.0f);
        EXPECT_EQ(scale(*dst, box(0, 0, 1, 2), *src, box(0, 0, 1, w - 1), Variant(-9.0f), kBilinear), kSuccess);
        EXPECT_EQ(valuesOf<float>(*dst), (std::vector<float>{1.0f, 7.0f}));
    }
}

TEST(ScaleAndCopySubsection, OverlappingBoxesOfOneVector)
{
    forEachSimdTarget([] {
        // The source block is read as it was before the call.
        auto v = grid<int>(6, 2, {0, 1, 2, 3, 4, 5, 10, 11, 12, 13, 14, 15});
        EXPECT_EQ(scale(*v, box(1, 0, 5, 2), *v, box(0, 0, 2, 2), Variant(-1), kHold), kSuccess);
        EXPECT_EQ(valuesOf<int>(*v), (std::vector<int>{0, 0, 0, 1, 1, 5, 10, 10, 10, 11, 11, 15}));
        auto f = grid<double>(4, 1, {0, 3, 6, 9});
        EXPECT_EQ(scale(*f, box(0, 0, 4, 1), *f, box(2, 0, 4, 1), Variant(-1.0), kBilinear), kSuccess);
        EXPECT_EQ(valuesOf<double>(*f), (std::vector<double>{6, 7, 8, 9}));
    });
}

TEST(ScaleAndCopySubsection, VectorsOutsideTheLibrary)
{
    int data[4] = {1, 2, 3, 4};
    ForeignVector foreign(DataType(DataType::kInt32), 2, 2, data);
    auto dst = filled<int>(3, 3, kSentinel);
    EXPECT_THROW(scale(*dst, box(0, 0, 3, 3), foreign, box(0, 0, 2, 2), Variant(-1), kHold), std::bad_cast);
    EXPECT_EQ(valuesOf<int>(*dst), std::vector<int>(9, kSentinel));
    DataType const ten(DataType::Type(10), 0);
    ForeignVector odd(ten, 2, 2, data), oddDst(ten, 1, 1, data);
    EXPECT_EQ(scale(oddDst, box(0, 0, 1, 1), odd, box(0, 0, 2, 2), Variant(ten), kHold), kSuccess);
    EXPECT_EQ(data[0], 1);
}
