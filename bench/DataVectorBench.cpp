// Intersection copy and contents-keeping resize of 4096 x 4096 float32
// vectors, each beside a plain baseline over the same bytes.
#include <cstdlib>
#include <cstring>

#include "RatioReporter.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

constexpr unsigned kSide = 4096;
using P2 = ZELUNnPoint<unsigned, 2>;

void CopyIntersectionOurs(benchmark::State& state)
{
    auto dst = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), P2(kSide, kSide));
    auto src = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), P2(kSide, kSide));
    std::memset(src->getDataPtr(), 1, src->getSizeInBytes());
    for (auto _ : state) {
        benchmark::DoNotOptimize(DataVectorUtils::copyIntersection(*dst, *src));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * src->getSizeInBytes());
}

void CopyIntersectionBaseline(benchmark::State& state)
{
    std::size_t bytes = std::size_t(kSide) * kSide * sizeof(float);
    auto* dst = static_cast<char*>(std::calloc(bytes, 1));
    auto* src = static_cast<char*>(std::malloc(bytes));
    std::memset(src, 1, bytes);
    std::memset(dst, 0, bytes);  // touch the pages, as the vectors' are
    for (auto _ : state) {
        std::memcpy(dst, src, bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
    std::free(dst);
    std::free(src);
}

// Grows a kSide x kSide vector by one column and one row, keeping contents.
void ResizePreserveOurs(benchmark::State& state)
{
    std::size_t bytes = std::size_t(kSide) * kSide * sizeof(float);
    for (auto _ : state) {
        state.PauseTiming();
        auto v = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), P2(kSide, kSide));
        std::memset(v->getDataPtr(), 1, v->getSizeInBytes());
        state.ResumeTiming();
        benchmark::DoNotOptimize(v->resize(P2(kSide + 1, kSide + 1), true));
        state.PauseTiming();
        v.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void ResizePreserveBaseline(benchmark::State& state)
{
    std::size_t const rowIn = std::size_t(kSide) * sizeof(float);
    std::size_t const rowOut = std::size_t(kSide + 1) * sizeof(float);
    std::size_t bytes = rowIn * kSide;
    for (auto _ : state) {
        state.PauseTiming();
        auto* src = static_cast<char*>(std::malloc(bytes));
        std::memset(src, 1, bytes);
        state.ResumeTiming();
        auto* dst = static_cast<char*>(std::calloc(std::size_t(kSide + 1) * (kSide + 1), sizeof(float)));
        for (unsigned y = 0; y < kSide; ++y) std::memcpy(dst + y * rowOut, src + y * rowIn, rowIn);
        std::free(src);
        benchmark::DoNotOptimize(dst);
        state.PauseTiming();
        std::free(dst);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

}  // namespace

BENCHMARK(CopyIntersectionOurs)->Name("copyIntersection_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(CopyIntersectionBaseline)->Name("copyIntersection_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(ResizePreserveOurs)->Name("resizePreserve_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(ResizePreserveBaseline)->Name("resizePreserve_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);

ZORV_BENCH_MAIN()
