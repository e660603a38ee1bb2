#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "support/SimdTargets.h"
#include "warp/WarpTestSupport.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/SurfaceNormals.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using namespace zorvtest;

namespace {

using F32 = TDataType<0>;
using F32x = TTupleDataType<TDataType<0>>;
using Normal = std::vector<std::uint32_t>;  // the bits of (nx, ny, nz)

float const kNaN = std::numeric_limits<float>::quiet_NaN();
float const kInf = std::numeric_limits<float>::infinity();
// 1 / sqrt(1) after one Newton step, and the same for a flat cell with
// factors 3 (g = 81 * 2^2k).
float const kFlatZ = 0x1.ff221ep-1f;
float const kFlatZ3 = 0x1.ffe234p-1f;
float const kSlope = 0x1.69f2bcp-1f;
float const kDefault[3] = {7.0f, 8.0f, 9.0f};

std::uint32_t bitsOf(float f)
{
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

Normal bitsOf(float x, float y, float z)
{
    return {bitsOf(x), bitsOf(y), bitsOf(z)};
}

boost::shared_ptr<TDataVector2D<F32>> heightsOf(unsigned w, unsigned h, std::vector<float> const& values)
{
    auto g = makeGrid(F32(), w, h);
    std::memcpy(g->getDataPtr(), values.data(), values.size() * sizeof(float));
    return g;
}

// computeNormals into a fresh 0 x 0 output; the normals by cell.
struct Normals {
    long status;
    unsigned w, h;
    std::vector<float> values;
    Normal at(unsigned c, unsigned r) const
    {
        float const* n = values.data() + 3 * (c + r * w);
        return bitsOf(n[0], n[1], n[2]);
    }
};

Normals normalsOf(TDataVector2D<F32> const& heights, float noData, float factorX = 1.0f, float divisor = 1.0f,
                  float factorY = kNaN)
{
    auto out = makeGrid(F32x(3), 0, 0);
    Normals n;
    n.status = computeNormals(*out, ConstTupleProxy<F32x>(kDefault, 3), heights, noData, factorX,
                              factorY == factorY ? factorY : factorX, divisor);
    n.w = out->getDimension(0);
    n.h = out->getDimension(1);
    auto const* p = static_cast<float const*>(out->getConstDataPtr());
    n.values.assign(p, p + 3 * std::size_t(n.w) * n.h);
    return n;
}

Normal const kDefaultBits = bitsOf(kDefault[0], kDefault[1], kDefault[2]);

TEST(ComputeNormals, InvSqrtIsTheBitApproximationWithOneNewtonStep)
{
    EXPECT_EQ(bitsOf(invSqrt(1.0f)), bitsOf(kFlatZ));
    EXPECT_EQ(bitsOf(invSqrt(4.0f)), bitsOf(kFlatZ / 2));
    EXPECT_TRUE(std::isfinite(invSqrt(0.0f)));
}

TEST(ComputeNormals, FlatGridGivesTheSameNormalEverywhere)
{
    auto flat = heightsOf(5, 4, std::vector<float>(20, 12.5f));
    for (auto const& [factor, z] : {std::pair{1.0f, kFlatZ}, std::pair{3.0f, kFlatZ3}}) {
        Normals const n = normalsOf(*flat, -9999.0f, factor);
        ASSERT_EQ(n.status, kSuccess);
        ASSERT_EQ(n.w, 5u);
        ASSERT_EQ(n.h, 4u);
        for (unsigned r = 0; r < 4; ++r)
            for (unsigned c = 0; c < 5; ++c) EXPECT_EQ(n.at(c, r), bitsOf(0, 0, z)) << factor << ": " << c << "," << r;
    }
}

TEST(ComputeNormals, PlaneRisingPerColumn)
{
    std::vector<float> v;
    for (unsigned r = 0; r < 4; ++r)
        for (unsigned c = 0; c < 5; ++c) v.push_back(float(c));
    Normals const n = normalsOf(*heightsOf(5, 4, v), -9999.0f);
    Normal const expected = bitsOf(-kSlope, 0.0f, kSlope);
    EXPECT_EQ(n.at(2, 1), expected);              // four pairs: (-4, 0, 4)
    EXPECT_EQ(n.at(0, 0), expected);              // right and down
    EXPECT_EQ(n.at(4, 3), expected);              // left and up
    EXPECT_EQ(n.at(4, 0), expected);              // left and down
}

// A plane rising by 1 per row: the pairs sum to (0, -4, 4) inside, as the
// column plane's (-4, 0, 4) turned onto y.
TEST(ComputeNormals, PlaneRisingPerRow)
{
    std::vector<float> v;
    for (unsigned r = 0; r < 4; ++r)
        for (unsigned c = 0; c < 5; ++c) v.push_back(float(r));
    Normals const n = normalsOf(*heightsOf(5, 4, v), -9999.0f);
    Normal const expected = bitsOf(0.0f, -kSlope, kSlope);
    EXPECT_EQ(n.at(2, 1), expected);  // four pairs
    EXPECT_EQ(n.at(0, 0), expected);  // right and down
    EXPECT_EQ(n.at(4, 3), expected);  // left and up
    EXPECT_EQ(n.at(3, 3), expected);  // two pairs with up
}

// h = c + 2r with factorX 3, factorY 1 and divisor 2: sx = 1.5, sy = 0.5.
// Inside, the pairs sum to (-4, -8, 4), scaled to (-6, -4, 3), g = 61; on
// the first row the two pairs with down give (-2, -4, 2), scaled to
// (-3, -2, 1.5), g = 15.25 = 61 / 4, so the same unit vector:
// invSqrt(61) = 0x1.05c652p-3 by the bit approximation and one Newton step.
TEST(ComputeNormals, PlaneRisingInBothWithUnequalFactors)
{
    std::vector<float> v;
    for (unsigned r = 0; r < 4; ++r)
        for (unsigned c = 0; c < 5; ++c) v.push_back(float(c) + 2.0f * float(r));
    Normals const n = normalsOf(*heightsOf(5, 4, v), -9999.0f, 3.0f, 2.0f, 1.0f);
    ASSERT_EQ(n.status, kSuccess);
    Normal const expected = bitsOf(-0x1.88a97cp-1f, -0x1.05c652p-1f, 0x1.88a97cp-2f);
    for (unsigned c = 1; c < 4; ++c) {
        EXPECT_EQ(n.at(c, 1), expected) << c;
        EXPECT_EQ(n.at(c, 2), expected) << c;
        EXPECT_EQ(n.at(c, 0), expected) << c;
    }
}

TEST(ComputeNormals, CellsWithoutANormal)
{
    // A no-data centre.
    std::vector<float> v(9, 1.0f);
    v[4] = -9999.0f;
    EXPECT_EQ(normalsOf(*heightsOf(3, 3, v), -9999.0f).at(1, 1), kDefaultBits);
    // A 1 x 1 grid: no neighbour at all.
    EXPECT_EQ(normalsOf(*heightsOf(1, 1, {3.0f}), -9999.0f).at(0, 0), kDefaultBits);
    // One row: left and right only inside (no pair, the zero vector), one
    // neighbour at the ends.
    Normals const row = normalsOf(*heightsOf(4, 1, {1, 2, 4, 8}), -9999.0f);
    EXPECT_EQ(row.at(0, 0), kDefaultBits);
    EXPECT_EQ(row.at(1, 0), bitsOf(0, 0, 0));
    EXPECT_EQ(row.at(2, 0), bitsOf(0, 0, 0));
    EXPECT_EQ(row.at(3, 0), kDefaultBits);
    // One column: up and down only.
    Normals const column = normalsOf(*heightsOf(1, 3, {1, 2, 4}), -9999.0f);
    EXPECT_EQ(column.at(0, 1), bitsOf(0, 0, 0));
}

// The grid of the sloping field with two holes written as `hole`.
std::vector<float> slopeWithHoles(unsigned w, unsigned h, float hole)
{
    std::vector<float> v;
    for (unsigned r = 0; r < h; ++r)
        for (unsigned c = 0; c < w; ++c) v.push_back(0.75f * float(c) - 0.5f * float(r) + float((c * r) % 3));
    for (unsigned r = 3; r < 6; ++r)
        for (unsigned c = 2; c < 5; ++c) v[c + r * w] = hole;
    v[10 + 0 * w] = hole;  // on the border
    return v;
}

// A NaN no-data value: NaN heights are the holes, cells beyond the grid
// never count, exactly as a finite no-data value written into the holes.
TEST(ComputeNormals, NaNNoDataActsAsAFiniteOne)
{
    unsigned const w = 19, h = 11;
    Normals const nan = normalsOf(*heightsOf(w, h, slopeWithHoles(w, h, kNaN)), kNaN, 30.0f);
    Normals const finite = normalsOf(*heightsOf(w, h, slopeWithHoles(w, h, -9999.0f)), -9999.0f, 30.0f);
    ASSERT_EQ(nan.status, kSuccess);
    EXPECT_EQ(nan.values.size(), finite.values.size());
    for (unsigned r = 0; r < h; ++r)
        for (unsigned c = 0; c < w; ++c) EXPECT_EQ(nan.at(c, r), finite.at(c, r)) << c << "," << r;
    // The border is finite and one-sided; the holes take the default.
    for (unsigned c = 0; c < w; ++c) {
        if (c == 10) continue;
        EXPECT_TRUE(std::isfinite(nan.values[3 * c + 2]) && nan.values[3 * c + 2] > 0.5f) << c;
    }
    EXPECT_EQ(nan.at(3, 4), kDefaultBits);
    EXPECT_EQ(nan.at(10, 0), kDefaultBits);
}

// A deterministic fractal height field: octaves of value noise, with
// circular holes of `hole`, a few NaN and infinite heights when asked, and
// heights huge enough that some differences overflow.
std::vector<float> fractal(unsigned w, unsigned h, float hole, bool oddValues)
{
    auto noise = [](std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
        std::uint32_t v = x * 374761393u + y * 668265263u + seed * 2246822519u;
        v = (v ^ (v >> 13)) * 1274126177u;
        return float((v ^ (v >> 16)) & 0xFFFF) / 65535.0f;
    };
    std::vector<float> v(std::size_t(w) * h);
    for (unsigned r = 0; r < h; ++r)
        for (unsigned c = 0; c < w; ++c) {
            float z = 0.0f, amp = 400.0f;
            for (unsigned o = 0, step = 64; o < 5; ++o, step /= 2, amp *= 0.5f) {
                float const fx = float(c % step) / float(step), fy = float(r % step) / float(step);
                std::uint32_t const x0 = c / step, y0 = r / step;
                float const a = noise(x0, y0, o), b = noise(x0 + 1, y0, o);
                float const d = noise(x0, y0 + 1, o), e = noise(x0 + 1, y0 + 1, o);
                z += amp * ((a * (1 - fx) + b * fx) * (1 - fy) + (d * (1 - fx) + e * fx) * fy);
            }
            v[c + r * std::size_t(w)] = z;
        }
    auto hollow = [&](unsigned cx, unsigned cy, unsigned radius) {
        for (unsigned r = 0; r < h; ++r)
            for (unsigned c = 0; c < w; ++c) {
                long const dx = long(c) - long(cx), dy = long(r) - long(cy);
                if (dx * dx + dy * dy <= long(radius * radius)) v[c + r * std::size_t(w)] = hole;
            }
    };
    hollow(w / 3, h / 3, 9);
    hollow(w - 5, h / 2, 6);  // cut by the border
    hollow(w / 2, h - 2, 4);
    v[w + 1] = hole;          // single cells next to the border
    v[2 * w - 2] = hole;
    if (oddValues) {
        v[5 * w + 20] = kNaN;
        v[7 * w + 33] = kInf;
        v[9 * w + 40] = -kInf;
        v[12 * w + 50] = 3e38f;
        v[12 * w + 51] = -3e38f;
        v[20 * w + 17] = -0.0f;
    }
    return v;
}

// The fast loop against the literal one, on every SIMD target, for finite
// and NaN no-data, widths that leave tails, and scales that matter.
TEST(ComputeNormals, FastEqualsScalarBitForBit)
{
    struct Case {
        unsigned w, h;
        float hole, noData;
        bool oddValues;
        float sx, sy;
    } const cases[] = {
        {131, 67, -9999.0f, -9999.0f, true, 30.0f, 30.0f},
        {131, 67, kNaN, kNaN, true, 30.0f, 30.0f},
        {64, 40, kNaN, kNaN, false, 1.0f, 1.0f},
        {97, 45, -9999.0f, -9999.0f, false, 0.5f, 3.0f},
        {70, 30, 0.0f, 0.0f, true, 0.0f, 2.0f},
        {66, 28, kNaN, kNaN, true, kInf, 1.0f},
    };
    for (Case const& k : cases) {
        std::vector<float> const heights = fractal(k.w, k.h, k.hole, k.oddValues);
        std::vector<float> expected(3 * heights.size(), -1.0f);
        computeNormalsScalar(heights.data(), expected.data(), k.w, k.h, k.noData, k.sx, k.sy, kDefault);
        forEachSimdTarget([&] {
            std::vector<float> got(3 * heights.size(), -2.0f);
            computeNormalsFast(heights.data(), got.data(), k.w, k.h, k.noData, k.sx, k.sy, kDefault);
            for (std::size_t i = 0; i < got.size(); ++i)
                ASSERT_EQ(bitsOf(got[i]), bitsOf(expected[i])) << k.w << " x " << k.h << ", value " << i;
        });
    }
    // Small grids: only the border, or one vector's worth of interior.
    for (unsigned w : {1u, 2u, 3u, 4u, 9u, 17u})
        for (unsigned h : {1u, 2u, 3u, 5u}) {
            std::vector<float> heights(std::size_t(w) * h);
            for (std::size_t i = 0; i < heights.size(); ++i) heights[i] = float(i * i % 7);
            std::vector<float> expected(3 * heights.size()), got(3 * heights.size());
            computeNormalsScalar(heights.data(), expected.data(), w, h, 6.0f, 1.0f, 1.0f, kDefault);
            computeNormalsFast(heights.data(), got.data(), w, h, 6.0f, 1.0f, 1.0f, kDefault);
            EXPECT_EQ(std::memcmp(got.data(), expected.data(), got.size() * sizeof(float)), 0) << w << " x " << h;
        }
}

TEST(ComputeNormals, Statuses)
{
    auto heights = heightsOf(3, 2, std::vector<float>(6, 1.0f));
    float const def2[2] = {0, 0};
    struct Case {
        char const* what;
        unsigned length;  // of the output's tuples
        unsigned defaultLength;
        bool resizeable;
        long status;
        bool nullDefault = false;
        float noData = -1.0f;
    } const cases[] = {
        {"4-component output", 4, 3, true, kErrBadNormalBuffer},
        {"2-component default normal", 3, 2, true, kErrBadNormalBuffer},
        // Every height is no-data: every cell would read the default.
        {"null default normal", 3, 3, true, kErrBadNormalBuffer, true, 1.0f},
        {"output not resizeable", 3, 3, false, kErrNotResizeable},
        {"good", 3, 3, true, kSuccess},
    };
    for (Case const& c : cases) {
        auto out = makeGrid(F32x(c.length), 1, 1);
        static_cast<float*>(out->getDataPtr())[0] = 42.0f;
        ASSERT_TRUE(out->setResizeable(c.resizeable));
        ConstTupleProxy<F32x> const def(c.nullDefault ? nullptr : c.defaultLength == 3 ? kDefault : def2,
                                        c.defaultLength);
        EXPECT_EQ(computeNormals(*out, def, *heights, c.noData, 1.0f, 1.0f, 1.0f), c.status) << c.what;
        if (c.status) {
            EXPECT_EQ(out->getDimensions(), (ZELUNnPoint<unsigned, 2>(1, 1))) << c.what;
            EXPECT_EQ(static_cast<float*>(out->getDataPtr())[0], 42.0f) << c.what;
        } else {
            EXPECT_EQ(out->getDimensions(), (ZELUNnPoint<unsigned, 2>(3, 2)));
        }
    }
}

// The default normal may be a view into the output that the resize
// replaces.
TEST(ComputeNormals, DefaultNormalInsideTheOutput)
{
    auto out = makeGrid(F32x(3), 1, 1);
    float* p = static_cast<float*>(out->getDataPtr());
    p[0] = 1.0f, p[1] = 2.0f, p[2] = 3.0f;
    auto heights = heightsOf(40, 30, std::vector<float>(1200, -5.0f));
    ASSERT_EQ(computeNormals(*out, ConstTupleProxy<F32x>(p, 3), *heights, -5.0f, 1, 1, 1), kSuccess);
    auto const* n = static_cast<float const*>(out->getConstDataPtr());
    EXPECT_EQ(bitsOf(n[3 * 1199], n[3 * 1199 + 1], n[3 * 1199 + 2]), bitsOf(1.0f, 2.0f, 3.0f));
}

}  // namespace
