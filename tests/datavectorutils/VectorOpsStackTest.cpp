// The stack the heavy vector operations take of their caller's: hosts call
// them on threads of small stacks, so each keeps under 16 KiB (tile buffers
// and working tables live on the heap). Each call runs on a thread of its
// own whose stack is painted first; the sanitizers pad every frame, so under
// them the use is printed and the results checked, but the limit is asserted
// in release builds only.
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "datavectorutils/GridValues.h"
#include "surface/SmallStack.h"

using namespace gridvalues;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kByteLimit = false;
constexpr std::size_t kThreadStack = std::size_t(1) << 20;
#else
constexpr bool kByteLimit = true;
constexpr std::size_t kThreadStack = std::size_t(256) << 10;
#endif
constexpr std::size_t kLimit = 16 * 1024;

// Whether v holds at (x, y) the element of `before` at (y, x).
::testing::AssertionResult isTransposeOf(DataVectorND<2> const& v, DataVectorND<2> const& before)
{
    unsigned const d0 = before.getDimension(0), d1 = before.getDimension(1);
    if (v.getDimensions() != P2(d1, d0)) return ::testing::AssertionFailure() << "dimensions";
    std::size_t const w = widthOf(before.getDataType());
    auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
    auto const* q = static_cast<unsigned char const*>(before.getConstDataPtr());
    for (std::size_t y = 0; y < d0; ++y)
        for (std::size_t x = 0; x < d1; ++x)
            if (std::memcmp(p + (y * d1 + x) * w, q + (x * d0 + y) * w, w) != 0)
                return ::testing::AssertionFailure() << "element (" << x << ", " << y << ")";
    return ::testing::AssertionSuccess();
}

struct Case {
    std::string name;
    // Runs the call (on the small stack) and returns its status.
    std::function<long()> call;
    // Checks what the call left.
    std::function<void()> check;
};

Case transposeCase(DataType t, unsigned d0, unsigned d1)
{
    auto v = marked2D(t, d0, d1, 9);
    boost::shared_ptr<DataVectorND<2>> const before = boost::dynamic_pointer_cast<DataVectorND<2>>(v->clone());
    return {"transpose " + nameOf(t) + " " + std::to_string(d0) + " x " + std::to_string(d1),
            [v] { return DataVectorUtils::transpose(*v); }, [v, before] { EXPECT_TRUE(isTransposeOf(*v, *before)); }};
}

// Hold from a source whose element (c, r) is c + 1000 r: destination (j, i)
// takes column j × srcW / dstW and row i × srcH / dstH, truncated.
Case holdCase(unsigned srcW, unsigned srcH, unsigned dstW, unsigned dstH)
{
    std::vector<float> values(std::size_t(srcW) * srcH);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = float(i % srcW + 1000 * (i / srcW));
    auto src = grid<float>(srcW, srcH, values);
    auto dst = marked2D(DataType(DataType::kFloat32), dstW, dstH, 4);
    return {"hold float32 to " + std::to_string(dstW) + " x " + std::to_string(dstH),
            [=] {
                return DataVectorUtils::scaleAndCopySubsection(*dst, box(0, 0, dstW, dstH), *src,
                                                               box(0, 0, srcW, srcH), Variant(-1.0f), kHold, false);
            },
            [=] {
                auto const out = valuesOf<float>(*dst);
                std::size_t wrong = 0;
                for (std::size_t i = 0; i < dstH; ++i)
                    for (std::size_t j = 0; j < dstW; ++j) {
                        auto const c = std::size_t(double(j) * (double(srcW) / double(dstW)));
                        auto const r = std::size_t(double(i) * (double(srcH) / double(dstH)));
                        wrong += out[i * dstW + j] != float(c + 1000 * r);
                    }
                EXPECT_EQ(wrong, 0u);
            }};
}

// Bilinear over a source of ones with one row of no-data: every weighted
// mean of ones is one, so each element is 1 or, where the kept weight is
// too small, the no-data value; rows far from the no-data row are all 1.
Case bilinearCase(unsigned srcW, unsigned srcH, unsigned dstW, unsigned dstH, unsigned noDataRow)
{
    float const nd = -9999.0f;
    std::vector<float> values(std::size_t(srcW) * srcH, 1.0f);
    std::fill_n(values.begin() + std::size_t(noDataRow) * srcW, srcW, nd);
    auto src = grid<float>(srcW, srcH, values);
    auto dst = marked2D(DataType(DataType::kFloat32), dstW, dstH, 4);
    return {"bilinear float32 to " + std::to_string(dstW) + " x " + std::to_string(dstH),
            [=] {
                return DataVectorUtils::scaleAndCopySubsection(*dst, box(0, 0, dstW, dstH), *src,
                                                               box(0, 0, srcW, srcH), Variant(nd), kBilinear, false);
            },
            [=] {
                auto const out = valuesOf<float>(*dst);
                std::size_t other = 0, ones = 0;
                for (float v : out) other += v != 1.0f && v != nd;
                for (std::size_t i = 0; i < dstH / 4; ++i)
                    for (std::size_t j = 0; j < dstW; ++j) ones += out[i * dstW + j] == 1.0f;
                EXPECT_EQ(other, 0u);
                EXPECT_EQ(ones, std::size_t(dstH / 4) * dstW);
            }};
}

}  // namespace

TEST(VectorOpsStack, HeavyEntriesKeepUnder16KiB)
{
    DataType const f32(DataType::kFloat32);
    Case const cases[] = {
        // Square tile pairs (1-byte tiles are the largest), a square of one
        // tile, near-square wide and tall, far from square, a 16-byte tuple.
        transposeCase(f32, 300, 300),
        transposeCase(f32, 20, 20),
        transposeCase(DataType(DataType::kUInt8), 1000, 1000),
        transposeCase(f32, 300, 241),
        transposeCase(DataType(DataType::kUInt8), 241, 300),
        transposeCase(f32, 300, 7),
        transposeCase(DataType(DataType::kFloat64, 2), 90, 70),
        // Hold through the lane kernel; bilinear written around the cache.
        holdCase(700, 400, 2100, 1100),
        bilinearCase(700, 400, 2100, 1100, 300),
        bilinearCase(90, 50, 201, 77, 20),
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        long status = -1;
        std::size_t const used = zorvtest::runOnSmallStack(kThreadStack, [&] { status = c.call(); });
        EXPECT_EQ(status, kSuccess);
        c.check();
        EXPECT_GT(used, 0u);
        std::printf("%s: %zu bytes of stack\n", c.name.c_str(), used);
        if (kByteLimit) {
            EXPECT_LT(used, kLimit);
        }
    }
}
