// Searches, value replacement, block comparison and scaled block copy over
// 64 Mi-element vectors, each beside a plain baseline over the same bytes:
// memchr for an absent byte for the scans, memcmp per row for the block
// comparison, memcpy for replacement and the scaled copy.
#include <cstdlib>
#include <cstring>
#include <random>

#include "RatioReporter.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

constexpr unsigned kSide = 8192;
constexpr std::size_t kCount = std::size_t(kSide) * kSide;
constexpr unsigned kBlock = 4096;
constexpr unsigned kScaled = 8191;
using P1 = ZELUNnPoint<unsigned, 1>;
using P2 = ZELUNnPoint<unsigned, 2>;
using Box = ZELUNnBox<unsigned, 2>;

template <class E>
boost::shared_ptr<DataVectorND<2>> grid(unsigned d0, unsigned d1, E value)
{
    auto v = DataVectorND<2>::create(Variant(E()).getDataType(), P2(d0, d1));
    E* p = static_cast<E*>(v->getDataPtr());
    for (std::size_t i = 0, n = std::size_t(d0) * d1; i < n; ++i) p[i] = value;
    return v;
}

// Every element `value`, the last one `last`.
template <class E>
boost::shared_ptr<DataVectorND<2>> lastDiffers(E value, E last)
{
    auto v = grid<E>(kSide, kSide, value);
    static_cast<E*>(v->getDataPtr())[kCount - 1] = last;
    return v;
}

// Sets every hundredth element, on average, to `value` at random positions.
template <class E>
void sprinkle(DataVector& v, E value)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, v.size() - 1);
    E* p = static_cast<E*>(v.getDataPtr());
    for (std::size_t k = 0; k < v.size() / 100; ++k) p[pick(random)] = value;
}

void done(benchmark::State& state, std::size_t bytes)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// memchr for a byte that the vector does not hold, over its bytes.
void memchrOver(benchmark::State& state, DataVector const& v)
{
    for (auto _ : state) benchmark::DoNotOptimize(std::memchr(v.getConstDataPtr(), 7, v.getSizeInBytes()));
    done(state, v.getSizeInBytes());
}

// --- searches ---------------------------------------------------------------

void FindEqualFloatOurs(benchmark::State& state)
{
    auto v = lastDiffers(1.0f, 2.0f);
    long err = 0;
    for (auto _ : state) benchmark::DoNotOptimize(DataVectorUtils::findFirstEqual(*v, 0, Variant(2.0f), err));
    done(state, v->getSizeInBytes());
}
void FindEqualFloatBaseline(benchmark::State& state) { memchrOver(state, *lastDiffers(1.0f, 2.0f)); }

void FindEqualUInt8Ours(benchmark::State& state)
{
    using U8 = unsigned char;
    auto v = lastDiffers<U8>(1, 2);
    long err = 0;
    for (auto _ : state) benchmark::DoNotOptimize(DataVectorUtils::findFirstEqual(*v, 0, Variant(U8(2)), err));
    done(state, v->getSizeInBytes());
}
void FindEqualUInt8Baseline(benchmark::State& state)
{
    using U8 = unsigned char;
    memchrOver(state, *lastDiffers<U8>(1, 2));
}

void FindNotEqualFloatOurs(benchmark::State& state)
{
    auto v = grid(kSide, kSide, 1.0f);
    long err = 0;
    for (auto _ : state) benchmark::DoNotOptimize(DataVectorUtils::findFirstNotEqual(*v, 0, Variant(1.0f), err));
    done(state, v->getSizeInBytes());
}
void FindNotEqualFloatBaseline(benchmark::State& state) { memchrOver(state, *grid(kSide, kSide, 1.0f)); }

// --- replacement ------------------------------------------------------------

void ReplaceFloatOurs(benchmark::State& state)
{
    auto v = grid(kSide, kSide, 1.0f);
    sprinkle(*v, 3.0f);
    // 3 becomes 4 and back, so every turn replaces the same 1 %.
    Variant const three(3.0f), four(4.0f);
    bool forth = true;
    for (auto _ : state) {
        benchmark::DoNotOptimize(forth ? DataVectorUtils::replaceValue(*v, three, four)
                                       : DataVectorUtils::replaceValue(*v, four, three));
        forth = !forth;
    }
    done(state, v->getSizeInBytes());
}
void ReplaceFloatBaseline(benchmark::State& state)
{
    auto v = grid(kSide, kSide, 1.0f);
    auto w = grid(kSide, kSide, 1.0f);
    for (auto _ : state) {
        std::memcpy(w->getDataPtr(), v->getConstDataPtr(), v->getSizeInBytes());
        benchmark::ClobberMemory();
    }
    done(state, v->getSizeInBytes());
}

// --- block comparison -------------------------------------------------------

void EqualBoxesOurs(benchmark::State& state)
{
    auto a = grid<short>(kBlock, kBlock, 5), b = grid<short>(kBlock, kBlock, 5);
    Box const box(P2(0, 0), P2(kBlock, kBlock));
    long err = 0;
    for (auto _ : state) benchmark::DoNotOptimize(DataVectorUtils::subsectionEqual(*a, box, *b, box, err));
    done(state, a->getSizeInBytes());
}
void EqualBoxesBaseline(benchmark::State& state)
{
    auto a = grid<short>(kBlock, kBlock, 5), b = grid<short>(kBlock, kBlock, 5);
    auto const* p = static_cast<unsigned char const*>(a->getConstDataPtr());
    auto const* q = static_cast<unsigned char const*>(b->getConstDataPtr());
    std::size_t const row = kBlock * sizeof(short);
    for (auto _ : state) {
        bool same = true;
        for (std::size_t y = 0; y < kBlock && same; ++y) same = std::memcmp(p + y * row, q + y * row, row) == 0;
        benchmark::DoNotOptimize(same);
    }
    done(state, a->getSizeInBytes());
}

void EqualValueOurs(benchmark::State& state)
{
    auto v = grid(kSide, kSide, 1.0f);
    Box const box(P2(0, 0), P2(kSide, kSide));
    long err = 0;
    for (auto _ : state) benchmark::DoNotOptimize(DataVectorUtils::subsectionEqual(*v, box, Variant(1.0f), err));
    done(state, v->getSizeInBytes());
}
void EqualValueBaseline(benchmark::State& state) { memchrOver(state, *grid(kSide, kSide, 1.0f)); }

// --- scaled copy ------------------------------------------------------------

void scaleOurs(benchmark::State& state, InterpolationMethod method)
{
    auto src = grid(kBlock, kBlock, 1.0f);
    float* p = static_cast<float*>(src->getDataPtr());
    for (std::size_t i = 0; i < std::size_t(kBlock) * kBlock; ++i) p[i] = float(i % 1000);
    sprinkle(*src, -9999.0f);
    auto dst = grid(kScaled, kScaled, 0.0f);
    Box const srcBox(P2(0, 0), P2(kBlock, kBlock)), dstBox(P2(0, 0), P2(kScaled, kScaled));
    Variant const noData(-9999.0f);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            DataVectorUtils::scaleAndCopySubsection(*dst, dstBox, *src, srcBox, noData, method, false));
    done(state, dst->getSizeInBytes());
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(dst->size()));
}
void ScaleHoldOurs(benchmark::State& state) { scaleOurs(state, kHold); }
void ScaleBilinearOurs(benchmark::State& state) { scaleOurs(state, kBilinear); }
void ScaleBaseline(benchmark::State& state)
{
    auto a = grid(kScaled, kScaled, 1.0f), b = grid(kScaled, kScaled, 0.0f);
    for (auto _ : state) {
        std::memcpy(b->getDataPtr(), a->getConstDataPtr(), a->getSizeInBytes());
        benchmark::ClobberMemory();
    }
    done(state, a->getSizeInBytes());
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(a->size()));
}

}  // namespace

#define ZORV_PAIR(name, ours, baseline)                                                  \
    BENCHMARK(ours)->Name(name "/ours")->Unit(benchmark::kMillisecond)->MinTime(1);     \
    BENCHMARK(baseline)->Name(name "/baseline")->Unit(benchmark::kMillisecond)->MinTime(1);

ZORV_PAIR("findFirstEqual_float32", FindEqualFloatOurs, FindEqualFloatBaseline)
ZORV_PAIR("findFirstEqual_uint8", FindEqualUInt8Ours, FindEqualUInt8Baseline)
ZORV_PAIR("findFirstNotEqual_float32", FindNotEqualFloatOurs, FindNotEqualFloatBaseline)
ZORV_PAIR("replaceValue_float32_1pct", ReplaceFloatOurs, ReplaceFloatBaseline)
ZORV_PAIR("subsectionEqual_int16_4096_boxes", EqualBoxesOurs, EqualBoxesBaseline)
ZORV_PAIR("subsectionEqual_float32_value", EqualValueOurs, EqualValueBaseline)
ZORV_PAIR("scaleAndCopySubsection_hold_4096_to_8191", ScaleHoldOurs, ScaleBaseline)
ZORV_PAIR("scaleAndCopySubsection_bilinear_4096_to_8191", ScaleBilinearOurs, ScaleBaseline)

ZORV_BENCH_MAIN()
