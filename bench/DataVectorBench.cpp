// Intersection copy, creation and contents-keeping resize of 4096 x 4096
// float32 vectors, each beside a plain baseline over the same bytes, and the
// machine's first-touch cost of a fresh 64 MiB block on 4 KiB pages (calloc)
// and on transparent huge pages (aligned mapping advised MADV_HUGEPAGE). The
// kernel's transparent-huge-page settings are printed in the context: with
// `enabled` at never there is no gain; with `defrag` at madvise a fault may
// compact memory synchronously.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <sys/mman.h>

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
    std::memset(dst->getDataPtr(), 0, dst->getSizeInBytes());  // touch the pages, as the baseline's
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
    std::memset(dst, 0, bytes);  // touch the pages, as the vector's
    for (auto _ : state) {
        std::memcpy(dst, src, bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
    std::free(dst);
    std::free(src);
}

// A fresh vector whose every value is then written once: allocation, zero
// pages and first touch.
void CreateOurs(benchmark::State& state)
{
    for (auto _ : state) {
        auto v = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), P2(kSide, kSide));
        std::memset(v->getDataPtr(), 1, v->getSizeInBytes());
        benchmark::DoNotOptimize(v->getDataPtr());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * int64_t(sizeof(float)));
}

void CreateBaseline(benchmark::State& state)
{
    std::size_t bytes = std::size_t(kSide) * kSide * sizeof(float);
    for (auto _ : state) {
        auto* p = static_cast<char*>(std::calloc(bytes, 1));
        std::memset(p, 1, bytes);
        benchmark::DoNotOptimize(p);
        benchmark::ClobberMemory();
        std::free(p);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// First touch of a fresh 64 MiB block, one write per 4 KiB page.
constexpr std::size_t kTouchBytes = std::size_t(64) << 20;

void touchPages(char* p)
{
    for (std::size_t i = 0; i < kTouchBytes; i += 4096) p[i] = 1;
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
}

void FirstTouchSmallPages(benchmark::State& state)
{
    for (auto _ : state) {
        auto* p = static_cast<char*>(std::calloc(kTouchBytes, 1));
        touchPages(p);
        state.PauseTiming();
        std::free(p);
        state.ResumeTiming();
    }
}

void FirstTouchHugePages(benchmark::State& state)
{
    constexpr std::size_t kAlign = std::size_t(2) << 20;
    for (auto _ : state) {
        state.PauseTiming();
        void* raw = mmap(nullptr, kTouchBytes + kAlign, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) {
            state.SkipWithError("mmap failed");
            break;
        }
        auto* p = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(raw) + kAlign - 1) & ~(kAlign - 1));
        madvise(p, kTouchBytes, MADV_HUGEPAGE);
        state.ResumeTiming();
        touchPages(p);
        state.PauseTiming();
        munmap(raw, kTouchBytes + kAlign);
        state.ResumeTiming();
    }
}

std::string firstLine(char const* path)
{
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) line = "(unavailable)";
    return line;
}

// Puts the kernel's huge-page settings into the run's context lines.
struct HugePageContext {
    HugePageContext()
    {
        benchmark::AddCustomContext("thp_enabled", firstLine("/sys/kernel/mm/transparent_hugepage/enabled"));
        benchmark::AddCustomContext("thp_defrag", firstLine("/sys/kernel/mm/transparent_hugepage/defrag"));
    }
} const hugePageContext;

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
BENCHMARK(CreateOurs)->Name("createTouched_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(CreateBaseline)->Name("createTouched_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(FirstTouchHugePages)->Name("firstTouch_64MiB/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(FirstTouchSmallPages)->Name("firstTouch_64MiB/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(ResizePreserveOurs)->Name("resizePreserve_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(ResizePreserveBaseline)->Name("resizePreserve_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);

ZORV_BENCH_MAIN()
