// Binary form of a 4096 x 4096 float32 vector: writing it into a buffer and
// reading it back into an existing vector, raw, raw with the byte-swap flag
// and zlib-compressed, and DataVector::create of a new vector; each beside a
// plain baseline over the same bytes (memcpy for the raw forms, compress2 and
// uncompress at level 1 for zlib, calloc + memcpy for create).
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "RatioReporter.h"
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/types/IOBuffer.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

constexpr unsigned kSide = 4096;
constexpr std::size_t kValueBytes = std::size_t(kSide) * kSide * sizeof(float);
constexpr unsigned kHeaderBytes = 28;
using P2 = ZELUNnPoint<unsigned, 2>;

// A smooth synthetic terrain, so that zlib has something to find.
boost::shared_ptr<DataVectorND<2>> makeGrid()
{
    auto v = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), P2(kSide, kSide));
    auto* z = static_cast<float*>(v->getDataPtr());
    for (unsigned y = 0; y < kSide; ++y)
        for (unsigned x = 0; x < kSide; ++x)
            z[x + std::size_t(kSide) * y] = static_cast<float>(
                std::round((120.0 * std::sin(x * 0.0015) * std::cos(y * 0.0012) + 35.0 * std::sin((x + 2.0 * y) * 0.005)) *
                           100.0) /
                100.0);
    return v;
}

DataVectorND<2> const& grid()
{
    static boost::shared_ptr<DataVectorND<2>> const g = makeGrid();
    return *g;
}

// The grid's binary form in the given byte order and compression.
IOBuffer storedForm(bool swap, CompressionMethod method)
{
    boost::shared_ptr<DataVector> v = grid().clone();
    v->setCompressionMethod(method);
    IOBuffer buffer(v->getHeaderSizeInBytes() + v->getSizeInBytes(), swap);
    if (v->writeToBinary(buffer) != kSuccess) std::abort();
    return buffer;
}

void setBytes(benchmark::State& state)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kValueBytes));
}

// --- raw, with and without swap ----------------------------------------------

void WriteRawOurs(benchmark::State& state, bool swap)
{
    DataVectorND<2> const& v = grid();
    IOBuffer buffer(v.getHeaderSizeInBytes() + v.getSizeInBytes(), swap);
    for (auto _ : state) {
        buffer.seek(0);
        if (v.writeToBinary(buffer) != kSuccess) state.SkipWithError("writeToBinary failed");
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void ReadRawOurs(benchmark::State& state, bool swap)
{
    IOBuffer const buffer = storedForm(swap, kCompressionNone);
    boost::shared_ptr<DataVector> target = grid().clone();
    for (auto _ : state) {
        buffer.seek(0);
        if (target->readFromBinary(buffer) != kSuccess) state.SkipWithError("readFromBinary failed");
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// The same value bytes copied between two touched blocks.
void MemcpyBaseline(benchmark::State& state)
{
    std::vector<unsigned char> src(kValueBytes + kHeaderBytes), dst(kValueBytes + kHeaderBytes);
    std::memcpy(src.data() + kHeaderBytes, grid().getConstDataPtr(), kValueBytes);
    for (auto _ : state) {
        std::memcpy(dst.data() + kHeaderBytes, src.data() + kHeaderBytes, kValueBytes);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// --- zlib -------------------------------------------------------------------

void WriteZlibOurs(benchmark::State& state)
{
    boost::shared_ptr<DataVector> v = grid().clone();
    v->setCompressionMethod(kCompressionZlib);
    IOBuffer buffer(v->getHeaderSizeInBytes() + v->getSizeInBytes(), false);
    for (auto _ : state) {
        buffer.seek(0);
        if (v->writeToBinary(buffer) != kSuccess) state.SkipWithError("writeToBinary failed");
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void WriteZlibBaseline(benchmark::State& state)
{
    std::vector<unsigned char> dst(compressBound(kValueBytes));
    auto const* src = static_cast<Bytef const*>(grid().getConstDataPtr());
    for (auto _ : state) {
        uLongf length = dst.size();
        if (compress2(dst.data(), &length, src, kValueBytes, 1) != Z_OK) state.SkipWithError("compress2 failed");
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void ReadZlibOurs(benchmark::State& state)
{
    IOBuffer const buffer = storedForm(false, kCompressionZlib);
    boost::shared_ptr<DataVector> target = grid().clone();
    target->setCompressionMethod(kCompressionZlib);
    for (auto _ : state) {
        buffer.seek(0);
        if (target->readFromBinary(buffer) != kSuccess) state.SkipWithError("readFromBinary failed");
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void ReadZlibBaseline(benchmark::State& state)
{
    IOBuffer const stored = storedForm(false, kCompressionZlib);
    unsigned length = 0;
    stored.seek(kHeaderBytes);
    stored.read(length);
    Bytef const* stream = stored.getCurPtr();
    std::vector<unsigned char> dst(kValueBytes);
    for (auto _ : state) {
        uLongf produced = dst.size();
        if (uncompress(dst.data(), &produced, stream, length) != Z_OK) state.SkipWithError("uncompress failed");
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// --- create: a new, zero-filled vector, then the values ------------------------

void CreateOurs(benchmark::State& state)
{
    IOBuffer const buffer = storedForm(false, kCompressionNone);
    for (auto _ : state) {
        buffer.seek(0);
        long status = 0;
        boost::shared_ptr<DataVector> v = DataVector::create(buffer, status);
        if (status != kSuccess) state.SkipWithError("create failed");
        benchmark::DoNotOptimize(v.get());
    }
    setBytes(state);
}

void CreateBaseline(benchmark::State& state)
{
    IOBuffer const buffer = storedForm(false, kCompressionNone);
    unsigned char const* values = buffer.getStartPtr() + kHeaderBytes;
    for (auto _ : state) {
        void* v = std::calloc(kValueBytes, 1);
        std::memcpy(v, values, kValueBytes);
        benchmark::DoNotOptimize(v);
        std::free(v);
    }
    setBytes(state);
}

}  // namespace

BENCHMARK_CAPTURE(WriteRawOurs, noswap, false)->Name("writeRaw_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyBaseline)->Name("writeRaw_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadRawOurs, noswap, false)->Name("readRaw_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyBaseline)->Name("readRaw_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteRawOurs, swap, true)->Name("writeRawSwapped_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyBaseline)->Name("writeRawSwapped_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadRawOurs, swap, true)->Name("readRawSwapped_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyBaseline)->Name("readRawSwapped_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(WriteZlibOurs)->Name("writeZlib_4096sq_f32/ours")->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(WriteZlibBaseline)->Name("writeZlib_4096sq_f32/baseline")->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ReadZlibOurs)->Name("readZlib_4096sq_f32/ours")->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ReadZlibBaseline)->Name("readZlib_4096sq_f32/baseline")->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(CreateOurs)->Name("create_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(CreateBaseline)->Name("create_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);

ZORV_BENCH_MAIN()
