// Fill, block copy, transpose and min/max of 64 Mi float32 values (8192 x
// 8192 for the two-dimensional cases), each beside a plain baseline over the
// same bytes.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "HugePageBlock.h"
#include "RatioReporter.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

constexpr unsigned kSide = 8192;
constexpr unsigned kBlock = 4096;
constexpr std::size_t kCount = std::size_t(kSide) * kSide;
using P1 = ZELUNnPoint<unsigned, 1>;
using P2 = ZELUNnPoint<unsigned, 2>;

// A touched vector of `count` elements of type t, every byte `byte`.
boost::shared_ptr<DataVectorND<1>> flat(DataType t, std::size_t count, int byte = 1)
{
    auto v = DataVectorND<1>::create(t, P1(unsigned(count)));
    std::memset(v->getDataPtr(), byte, v->getSizeInBytes());
    return v;
}

boost::shared_ptr<DataVectorND<2>> grid(DataType t, unsigned d0, unsigned d1)
{
    auto v = DataVectorND<2>::create(t, P2(d0, d1));
    std::memset(v->getDataPtr(), 1, v->getSizeInBytes());
    return v;
}

// A touched plain block of `bytes`, on the same kind of pages as a vector's
// storage.
struct Block {
    explicit Block(std::size_t n) : bytes(n), pages(n), data(pages.data()) { std::memset(data, 1, n); }
    std::size_t bytes;
    zorvbench::HugePageBlock pages;
    unsigned char* data;
};

void done(benchmark::State& state, std::size_t bytes)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// --- fill -------------------------------------------------------------------

void fillOurs(benchmark::State& state, DataType t, Variant const& value)
{
    auto v = flat(t, kCount);
    for (auto _ : state) benchmark::DoNotOptimize(DataVectorUtils::fill(*v, 0, unsigned(kCount), value));
    done(state, v->getSizeInBytes());
}

void memsetBaseline(benchmark::State& state, std::size_t bytes)
{
    Block b(bytes);
    for (auto _ : state) {
        std::memset(b.data, 0x3F, b.bytes);
        benchmark::ClobberMemory();
    }
    done(state, b.bytes);
}

unsigned char const kRgb[3] = {10, 20, 30};

void FillFloatOurs(benchmark::State& state) { fillOurs(state, DataType(DataType::kFloat32), Variant(1.5f)); }
void FillFloatBaseline(benchmark::State& state) { memsetBaseline(state, kCount * 4); }
void FillTuplesOurs(benchmark::State& state)
{
    fillOurs(state, DataType(DataType::kUInt8, 3),
             Variant(TTupleDataType<TDataType<3>>(3), ConstTupleProxy<TTupleDataType<TDataType<3>>>(kRgb, 3)));
}
void FillTuplesBaseline(benchmark::State& state) { memsetBaseline(state, kCount * 3); }

void FillSubsectionOurs(benchmark::State& state)
{
    auto v = grid(DataType(DataType::kFloat32), kSide, kSide);
    Variant const value(1.5f);
    for (auto _ : state)
        benchmark::DoNotOptimize(DataVectorUtils::fillSubsection(*v, P2(1024, 1024), P2(kBlock, kBlock), value));
    done(state, std::size_t(kBlock) * kBlock * 4);
}

void FillSubsectionBaseline(benchmark::State& state)
{
    Block b(kCount * 4);
    for (auto _ : state) {
        for (std::size_t y = 0; y < kBlock; ++y) std::memset(b.data + ((1024 + y) * kSide + 1024) * 4, 0x3F, kBlock * 4);
        benchmark::ClobberMemory();
    }
    done(state, std::size_t(kBlock) * kBlock * 4);
}

// 16 MiB in rows of 2 KiB (512 float32 of an 8192-wide grid), beside the
// same rows filled with ordinary stores.
constexpr unsigned kShortRow = 512;

void FillShortRowsOurs(benchmark::State& state)
{
    auto v = grid(DataType(DataType::kFloat32), kSide, kSide);
    Variant const value(1.5f);
    for (auto _ : state)
        benchmark::DoNotOptimize(DataVectorUtils::fillSubsection(*v, P2(1000, 0), P2(kShortRow, kSide), value));
    done(state, std::size_t(kShortRow) * kSide * 4);
}

void FillShortRowsBaseline(benchmark::State& state)
{
    auto v = grid(DataType(DataType::kFloat32), kSide, kSide);
    float* p = static_cast<float*>(v->getDataPtr());
    for (auto _ : state) {
        for (std::size_t y = 0; y < kSide; ++y) std::fill_n(p + y * kSide + 1000, kShortRow, 1.5f);
        benchmark::ClobberMemory();
    }
    done(state, std::size_t(kShortRow) * kSide * 4);
}

// --- block copy ---------------------------------------------------------------

void CopySubsectionOurs(benchmark::State& state)
{
    auto dst = grid(DataType(DataType::kFloat32), kSide, kSide);
    auto src = grid(DataType(DataType::kFloat32), kSide, kSide);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            DataVectorUtils::copySubsection(*dst, P2(2048, 1024), *src, P2(1024, 2048), P2(kBlock, kBlock)));
    done(state, std::size_t(kBlock) * kBlock * 4);
}

void CopySubsectionBaseline(benchmark::State& state)
{
    Block dst(kCount * 4), src(kCount * 4);
    for (auto _ : state) {
        for (std::size_t y = 0; y < kBlock; ++y)
            std::memcpy(dst.data + ((1024 + y) * kSide + 2048) * 4, src.data + ((2048 + y) * kSide + 1024) * 4,
                        kBlock * 4);
        benchmark::ClobberMemory();
    }
    done(state, std::size_t(kBlock) * kBlock * 4);
}

// Scrolls a block one row down and one column right inside one grid.
void CopyOverlapOurs(benchmark::State& state)
{
    auto v = grid(DataType(DataType::kFloat32), kSide, kSide);
    for (auto _ : state)
        benchmark::DoNotOptimize(DataVectorUtils::copySubsection(*v, P2(1025, 1025), *v, P2(1024, 1024), P2(kBlock, kBlock)));
    done(state, std::size_t(kBlock) * kBlock * 4);
}

void CopyOverlapBaseline(benchmark::State& state)
{
    Block b(kCount * 4);
    for (auto _ : state) {
        for (std::size_t y = kBlock; y-- > 0;)
            std::memmove(b.data + ((1025 + y) * kSide + 1025) * 4, b.data + ((1024 + y) * kSide + 1024) * 4,
                         kBlock * 4);
        benchmark::ClobberMemory();
    }
    done(state, std::size_t(kBlock) * kBlock * 4);
}

// --- transpose ------------------------------------------------------------------
// Run for at least 2 s: the first non-square call also pays the first touch
// of the process's huge pages, which later blocks reuse.

void transposeOurs(benchmark::State& state, unsigned d0, unsigned d1)
{
    auto v = grid(DataType(DataType::kFloat32), d0, d1);
    for (auto _ : state) benchmark::DoNotOptimize(DataVectorUtils::transpose(*v));
    done(state, v->getSizeInBytes());
}

void transposeBaseline(benchmark::State& state, std::size_t count)
{
    Block dst(count * 4), src(count * 4);
    for (auto _ : state) {
        std::memcpy(dst.data, src.data, dst.bytes);
        benchmark::ClobberMemory();
    }
    done(state, dst.bytes);
}

// Non-square grids of about 256 MiB for each element width: 1, 2, 4, 8 and
// 24 bytes, and tuples of 3 and 16 bytes; odd sides. The last is far from
// square (4 : 1), which moves into a new block rather than in place.
struct Oblong {
    DataType type;
    unsigned d0, d1;
};
Oblong const kOblongs[] = {
    {DataType(DataType::kUInt8), 16385, 16383},    {DataType(DataType::kInt16), 11587, 11583},
    {DataType(DataType::kFloat32), 8193, 8191},    {DataType(DataType::kFloat64), 5793, 5791},
    {DataType(DataType::kVec3), 3345, 3343},       {DataType(DataType::kUInt8, 3), 9459, 9457},
    {DataType(DataType::kFloat64, 2), 4097, 4095}, {DataType(DataType::kFloat32), 16385, 4097},
};

void transposeOblongOurs(benchmark::State& state, int k)
{
    Oblong const& o = kOblongs[k];
    auto v = grid(o.type, o.d0, o.d1);
    for (auto _ : state) benchmark::DoNotOptimize(DataVectorUtils::transpose(*v));
    done(state, v->getSizeInBytes());
}

void transposeOblongBaseline(benchmark::State& state, int k)
{
    Oblong const& o = kOblongs[k];
    std::size_t const width = o.type.getLength() * (o.type.getType() == DataType::kVec3      ? 24
                                                     : o.type.getType() == DataType::kFloat64 ? 8
                                                     : o.type.getType() == DataType::kFloat32 ? 4
                                                     : o.type.getType() == DataType::kInt16   ? 2
                                                                                              : 1);
    transposeBaseline(state, std::size_t(o.d0) * o.d1 * width / 4);
}

void TransposeSquareOurs(benchmark::State& state) { transposeOurs(state, kSide, kSide); }
void TransposeSquareBaseline(benchmark::State& state) { transposeBaseline(state, kCount); }
void TransposeOblongOurs(benchmark::State& state) { transposeOurs(state, kSide - 1, kSide + 1); }
void TransposeOblongBaseline(benchmark::State& state) { transposeBaseline(state, std::size_t(kSide - 1) * (kSide + 1)); }
void TransposeRowOurs(benchmark::State& state) { transposeOurs(state, 1, 10000000); }
void TransposeRowBaseline(benchmark::State& state) { transposeBaseline(state, 10000000); }
// Small squares, cache-resident: what the per-call tile buffers cost.
void TransposeSmallOurs(benchmark::State& state) { transposeOurs(state, unsigned(state.range(0)), unsigned(state.range(0))); }
void TransposeSmallBaseline(benchmark::State& state)
{
    transposeBaseline(state, std::size_t(state.range(0)) * std::size_t(state.range(0)));
}

// --- min/max ----------------------------------------------------------------------

// Min/max of 256 MiB of type t, no-data present, beside memchr for a byte
// that does not occur.
void minMaxOurs(benchmark::State& state, DataType t, Variant const& noData)
{
    auto v = flat(t, kCount * 4 / elementSizeOf(t.getType()), 1);
    Variant min, max;
    for (auto _ : state) benchmark::DoNotOptimize(DataVectorUtils::calcMinMax(*v, noData, min, max));
    done(state, v->getSizeInBytes());
}

void MinMaxBaseline(benchmark::State& state)
{
    Block b(kCount * 4);
    for (auto _ : state) benchmark::DoNotOptimize(std::memchr(b.data, 7, b.bytes));
    done(state, b.bytes);
}

void MinMaxFloatOurs(benchmark::State& state) { minMaxOurs(state, DataType(DataType::kFloat32), Variant(-9999.0f)); }
void MinMaxInt16Ours(benchmark::State& state) { minMaxOurs(state, DataType(DataType::kInt16), Variant(short(-32768))); }
void MinMaxUInt8Ours(benchmark::State& state)
{
    minMaxOurs(state, DataType(DataType::kUInt8), Variant((unsigned char)255));
}

// Rasters as they come: 1 element in 17 no-data, the others uniform over
// [0, 1000) (reals without an exact zero, integers in whole steps), in a
// flat vector of `count` elements; `zeros` puts (index, value) pairs in.
template <class E>
boost::shared_ptr<DataVectorND<1>> raster(std::size_t count, E noData, bool empty = false,
                                          std::vector<std::pair<std::size_t, E>> const& zeros = {})
{
    DataType const t = Variant(E()).getDataType();
    auto v = DataVectorND<1>::create(t, P1(unsigned(count)));
    E* p = static_cast<E*>(v->getDataPtr());
    std::uint64_t state = 88172645463325252ull;
    for (std::size_t i = 0; i < count; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        if (empty || i % 17 == 0)
            p[i] = noData;
        else if constexpr (std::is_floating_point_v<E>)
            p[i] = E(double(state % 999999 + 1) * 0.001);
        else
            p[i] = E(state % (std::numeric_limits<E>::max() < 1000 ? 255 : 1000));
    }
    for (auto const& [index, value] : zeros) p[index] = value;
    return v;
}

void minMaxOf(benchmark::State& state, boost::shared_ptr<DataVectorND<1>> const& v, Variant const& noData)
{
    Variant min, max;
    for (auto _ : state) benchmark::DoNotOptimize(DataVectorUtils::calcMinMax(*v, noData, min, max));
    done(state, v->getSizeInBytes());
}

// 256 MiB of float32 or float64 beside memchr of as many bytes: without a
// zero, with a +0.0 in the middle, with one near the end, and with a -0.0
// and a +0.0 near the end (the sign of the first one decides).
template <class E>
void registerRealRasters(char const* name)
{
    std::size_t const count = kCount * 4 / sizeof(E);
    E const nd = E(-9999);
    using Zeros = std::vector<std::pair<std::size_t, E>>;
    struct Case {
        char const* label;
        Zeros zeros;
    };
    for (Case const& c : {Case{"", {}}, Case{"_zero", {{count / 2, E(0)}}},
                          Case{"_zero_near_end", {{count - 100, E(0)}}},
                          Case{"_zeros_near_end", {{count - 1000, -E(0)}, {count - 100, E(0)}}}}) {
        std::string const base = std::string("calcMinMax_") + name + "_raster" + c.label;
        Zeros const zeros = c.zeros;
        benchmark::RegisterBenchmark((base + "/ours").c_str(),
                                     [=](benchmark::State& s) { minMaxOf(s, raster<E>(count, nd, false, zeros), Variant(nd)); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((base + "/baseline").c_str(), MinMaxBaseline)->Unit(benchmark::kMillisecond);
    }
}

// A 4096 x 4096 tile that is all no-data, and one whose minimum 0.0 comes
// last (or -0.0 then +0.0 last), each beside the same tile with data.
template <class E>
void registerTiles(char const* name)
{
    std::size_t const count = std::size_t(4096) * 4096;
    E const nd = std::is_floating_point_v<E> ? E(-9999) : std::numeric_limits<E>::max();
    auto ordinary = [=](benchmark::State& s) { minMaxOf(s, raster<E>(count, nd), Variant(nd)); };
    std::string const base = std::string("calcMinMax_tile_") + name;
    benchmark::RegisterBenchmark((base + "_empty/ours").c_str(),
                                 [=](benchmark::State& s) { minMaxOf(s, raster<E>(count, nd, true), Variant(nd)); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((base + "_empty/baseline").c_str(), ordinary)->Unit(benchmark::kMillisecond);
    if constexpr (std::is_floating_point_v<E>) {
        using Zeros = std::vector<std::pair<std::size_t, E>>;
        Zeros const last = {{count - 1, E(0)}}, lastTwo = {{count - 2, -E(0)}, {count - 1, E(0)}};
        benchmark::RegisterBenchmark((base + "_zero_last/ours").c_str(), [=](benchmark::State& s) {
            minMaxOf(s, raster<E>(count, nd, false, last), Variant(nd));
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((base + "_zero_last/baseline").c_str(), ordinary)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((base + "_zeros_last/ours").c_str(), [=](benchmark::State& s) {
            minMaxOf(s, raster<E>(count, nd, false, lastTwo), Variant(nd));
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((base + "_zeros_last/baseline").c_str(), ordinary)->Unit(benchmark::kMillisecond);
    }
}

int const minMaxRastersRegistered = [] {
    registerRealRasters<float>("float32");
    registerRealRasters<double>("float64");
    registerTiles<float>("float32");
    registerTiles<short>("int16");
    registerTiles<unsigned char>("uint8");
    return 0;
}();

}  // namespace

BENCHMARK(FillFloatOurs)->Name("fill_float32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(FillFloatBaseline)->Name("fill_float32/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(FillTuplesOurs)->Name("fill_uint8x3/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(FillTuplesBaseline)->Name("fill_uint8x3/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(FillSubsectionOurs)->Name("fillSubsection_4096/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(FillSubsectionBaseline)->Name("fillSubsection_4096/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(FillShortRowsOurs)->Name("fillSubsection_rows_of_2KiB/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(FillShortRowsBaseline)->Name("fillSubsection_rows_of_2KiB/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(CopySubsectionOurs)->Name("copySubsection_4096/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(CopySubsectionBaseline)->Name("copySubsection_4096/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(CopyOverlapOurs)->Name("copySubsection_overlap/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(CopyOverlapBaseline)->Name("copySubsection_overlap/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(TransposeSquareOurs)->Name("transpose_8192x8192/ours")->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(TransposeSquareBaseline)->Name("transpose_8192x8192/baseline")->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(TransposeOblongOurs)->Name("transpose_8191x8193/ours")->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(TransposeOblongBaseline)->Name("transpose_8191x8193/baseline")->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(TransposeRowOurs)->Name("transpose_1x10e7/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(TransposeRowBaseline)->Name("transpose_1x10e7/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(TransposeSmallOurs)->Name("transpose_16x16/ours")->Arg(16)->Unit(benchmark::kNanosecond);
BENCHMARK(TransposeSmallBaseline)->Name("transpose_16x16/baseline")->Arg(16)->Unit(benchmark::kNanosecond);
BENCHMARK(TransposeSmallOurs)->Name("transpose_64x64/ours")->Arg(64)->Unit(benchmark::kNanosecond);
BENCHMARK(TransposeSmallBaseline)->Name("transpose_64x64/baseline")->Arg(64)->Unit(benchmark::kNanosecond);
#define ZORV_OBLONG(k, name)                                                                                 \
    BENCHMARK_CAPTURE(transposeOblongOurs, k, k)->Name("transpose_" name "/ours")->Unit(benchmark::kMillisecond)->MinTime(2); \
    BENCHMARK_CAPTURE(transposeOblongBaseline, k, k)                                                         \
        ->Name("transpose_" name "/baseline")                                                               \
        ->Unit(benchmark::kMillisecond)                                                                     \
        ->MinTime(2);
ZORV_OBLONG(0, "uint8_16385x16383")
ZORV_OBLONG(1, "int16_11587x11583")
ZORV_OBLONG(2, "float32_8193x8191")
ZORV_OBLONG(3, "float64_5793x5791")
ZORV_OBLONG(4, "vec3_3345x3343")
ZORV_OBLONG(5, "uint8x3_9459x9457")
ZORV_OBLONG(6, "float64x2_4097x4095")
ZORV_OBLONG(7, "float32_16385x4097")
#undef ZORV_OBLONG
BENCHMARK(MinMaxFloatOurs)->Name("calcMinMax_float32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(MinMaxBaseline)->Name("calcMinMax_float32/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(MinMaxInt16Ours)->Name("calcMinMax_int16/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(MinMaxBaseline)->Name("calcMinMax_int16/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(MinMaxUInt8Ours)->Name("calcMinMax_uint8/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(MinMaxBaseline)->Name("calcMinMax_uint8/baseline")->Unit(benchmark::kMillisecond);

ZORV_BENCH_MAIN()
