// Binary form of a 4096 x 4096 float32 vector: writing it into a buffer and
// reading it back into an existing vector, raw, raw with the byte-swap flag
// and zlib-compressed, and DataVector::create of a new vector; each beside a
// plain baseline over the same bytes (memcpy for the raw forms, compress2 and
// uncompress at level 1 into a touched block for zlib, a fresh block + memcpy
// for create), its blocks on the same kind of pages as the library's side. The zlib cases run on a smooth terrain and on a smooth terrain
// with centimetre noise (a DEM), and show bare libdeflate beside them.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <libdeflate.h>
#include <zlib.h>

#include "HugePageBlock.h"
#include "RatioReporter.h"
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/types/IOBuffer.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

constexpr unsigned kSide = 4096;
constexpr std::size_t kValueBytes = std::size_t(kSide) * kSide * sizeof(float);
constexpr unsigned kHeaderBytes = 28;
using P2 = ZELUNnPoint<unsigned, 2>;

enum class Terrain { kSmooth, kNoisy };

// A smooth synthetic terrain, so that zlib has something to find; the noisy
// one adds up to +-0.5 m of centimetre noise, as a survey DEM has.
boost::shared_ptr<DataVectorND<2>> makeGrid(Terrain terrain)
{
    auto v = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), P2(kSide, kSide));
    auto* z = static_cast<float*>(v->getDataPtr());
    std::mt19937 gen(42);
    std::uniform_int_distribution<int> noise(-50, 50);
    for (unsigned y = 0; y < kSide; ++y)
        for (unsigned x = 0; x < kSide; ++x) {
            double h = 120.0 * std::sin(x * 0.0015) * std::cos(y * 0.0012) + 35.0 * std::sin((x + 2.0 * y) * 0.005);
            double cm = std::round(h * 100.0) + (terrain == Terrain::kNoisy ? noise(gen) : 0);
            z[x + std::size_t(kSide) * y] = static_cast<float>(cm / 100.0);
        }
    return v;
}

DataVectorND<2> const& grid(Terrain terrain = Terrain::kSmooth)
{
    static boost::shared_ptr<DataVectorND<2>> const smooth = makeGrid(Terrain::kSmooth);
    static boost::shared_ptr<DataVectorND<2>> const noisy = makeGrid(Terrain::kNoisy);
    return terrain == Terrain::kSmooth ? *smooth : *noisy;
}

// The grid's binary form in the given byte order and compression.
IOBuffer storedForm(bool swap, CompressionMethod method, Terrain terrain = Terrain::kSmooth)
{
    boost::shared_ptr<DataVector> v = grid(terrain).clone();
    v->setCompressionMethod(method);
    IOBuffer buffer(v->getHeaderSizeInBytes() + v->getSizeInBytes(), swap);
    if (v->writeToBinary(buffer) != kSuccess) std::abort();
    return buffer;
}

// The zlib stream of a stored form: its bytes and length.
struct Stream {
    IOBuffer stored;
    unsigned length = 0;
    explicit Stream(Terrain terrain) : stored(storedForm(false, kCompressionZlib, terrain))
    {
        stored.seek(kHeaderBytes);
        stored.read(length);
    }
    unsigned char const* data() const { return stored.getStartPtr() + kHeaderBytes + 4; }
};

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

// memcpy of the same value bytes between the very blocks the library's side
// uses (the vector's storage on 2 MiB pages, the buffer's on ordinary pages),
// so that both sides of a ratio touch the same kind of memory.
void MemcpyWriteBaseline(benchmark::State& state)
{
    DataVectorND<2> const& v = grid();
    IOBuffer buffer(v.getHeaderSizeInBytes() + v.getSizeInBytes(), false);
    if (v.writeToBinary(buffer) != kSuccess) std::abort();  // touches the buffer as the library's side does
    unsigned char* const values = buffer.getStartPtr() + kHeaderBytes;
    for (auto _ : state) {
        std::memcpy(values, v.getConstDataPtr(), kValueBytes);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void MemcpyReadBaseline(benchmark::State& state)
{
    IOBuffer const buffer = storedForm(false, kCompressionNone);
    boost::shared_ptr<DataVector> target = grid().clone();
    for (auto _ : state) {
        std::memcpy(target->getDataPtr(), buffer.getStartPtr() + kHeaderBytes, kValueBytes);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// --- zlib -------------------------------------------------------------------

void WriteZlibOurs(benchmark::State& state, Terrain terrain, bool swap)
{
    boost::shared_ptr<DataVector> v = grid(terrain).clone();
    v->setCompressionMethod(kCompressionZlib);
    IOBuffer buffer(v->getHeaderSizeInBytes() + v->getSizeInBytes(), swap);
    for (auto _ : state) {
        buffer.seek(0);
        if (v->writeToBinary(buffer) != kSuccess) state.SkipWithError("writeToBinary failed");
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void WriteZlibBaseline(benchmark::State& state, Terrain terrain)
{
    std::vector<unsigned char> dst(compressBound(kValueBytes));
    auto const* src = static_cast<Bytef const*>(grid(terrain).getConstDataPtr());
    for (auto _ : state) {
        uLongf length = dst.size();
        if (compress2(dst.data(), &length, src, kValueBytes, 1) != Z_OK) state.SkipWithError("compress2 failed");
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void WriteZlibLibdeflate(benchmark::State& state, Terrain terrain)
{
    libdeflate_compressor* c = libdeflate_alloc_compressor(1);
    std::vector<unsigned char> dst(libdeflate_zlib_compress_bound(c, kValueBytes));
    void const* src = grid(terrain).getConstDataPtr();
    for (auto _ : state) {
        if (!libdeflate_zlib_compress(c, src, kValueBytes, dst.data(), dst.size()))
            state.SkipWithError("libdeflate_zlib_compress failed");
        benchmark::ClobberMemory();
    }
    libdeflate_free_compressor(c);
    setBytes(state);
}

void ReadZlibOurs(benchmark::State& state, Terrain terrain)
{
    IOBuffer const buffer = storedForm(false, kCompressionZlib, terrain);
    boost::shared_ptr<DataVector> target = grid(terrain).clone();
    target->setCompressionMethod(kCompressionZlib);
    for (auto _ : state) {
        buffer.seek(0);
        if (target->readFromBinary(buffer) != kSuccess) state.SkipWithError("readFromBinary failed");
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// Bare zlib uncompress of the same stream into a block touched before the loop.
void ReadZlibBaseline(benchmark::State& state, Terrain terrain)
{
    Stream const stream(terrain);
    zorvbench::HugePageBlock dst(kValueBytes);
    std::memset(dst.data(), 0, kValueBytes);
    for (auto _ : state) {
        uLongf produced = kValueBytes;
        if (uncompress(dst.data(), &produced, stream.data(), stream.length) != Z_OK)
            state.SkipWithError("uncompress failed");
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void ReadZlibLibdeflate(benchmark::State& state, Terrain terrain)
{
    Stream const stream(terrain);
    zorvbench::HugePageBlock dst(kValueBytes);
    std::memset(dst.data(), 0, kValueBytes);
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    for (auto _ : state) {
        if (libdeflate_zlib_decompress(d, stream.data(), stream.length, dst.data(), kValueBytes, nullptr) !=
            LIBDEFLATE_SUCCESS)
            state.SkipWithError("libdeflate_zlib_decompress failed");
        benchmark::ClobberMemory();
    }
    libdeflate_free_decompressor(d);
    setBytes(state);
}

// --- create: a new, zero-filled vector, then the values ------------------------

void CreateOurs(benchmark::State& state, CompressionMethod method, Terrain terrain)
{
    IOBuffer const buffer = storedForm(false, method, terrain);
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
        zorvbench::HugePageBlock v(kValueBytes);
        std::memcpy(v.data(), values, kValueBytes);
        benchmark::DoNotOptimize(v.data());
    }
    setBytes(state);
}

}  // namespace

BENCHMARK_CAPTURE(WriteRawOurs, noswap, false)->Name("writeRaw_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyWriteBaseline)->Name("writeRaw_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadRawOurs, noswap, false)->Name("readRaw_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyReadBaseline)->Name("readRaw_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteRawOurs, swap, true)->Name("writeRawSwapped_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyWriteBaseline)->Name("writeRawSwapped_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadRawOurs, swap, true)->Name("readRawSwapped_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyReadBaseline)->Name("readRawSwapped_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);

namespace {

// The zlib cases of one terrain: write, swapped write, readFromBinary and
// create, each beside its baseline, and bare libdeflate beside write and read.
bool registerZlibCases(Terrain terrain, char const* label)
{
    auto add = [&](char const* op, char const* side, auto fn, auto... args) {
        std::string name = std::string(op) + "_4096sq_f32_" + label + "/" + side;
        benchmark::RegisterBenchmark(name.c_str(), fn, args...)->Unit(benchmark::kMillisecond);
    };
    add("writeZlib", "ours", WriteZlibOurs, terrain, false);
    add("writeZlib", "baseline", WriteZlibBaseline, terrain);
    add("writeZlib", "libdeflate", WriteZlibLibdeflate, terrain);
    add("writeZlibSwapped", "ours", WriteZlibOurs, terrain, true);
    add("writeZlibSwapped", "baseline", WriteZlibBaseline, terrain);
    add("readZlib", "ours", ReadZlibOurs, terrain);
    add("readZlib", "baseline", ReadZlibBaseline, terrain);
    add("readZlib", "libdeflate", ReadZlibLibdeflate, terrain);
    add("createZlib", "ours", CreateOurs, kCompressionZlib, terrain);
    add("createZlib", "baseline", ReadZlibBaseline, terrain);
    return true;
}
bool const kZlibCases = registerZlibCases(Terrain::kSmooth, "smooth") && registerZlibCases(Terrain::kNoisy, "dem");

}  // namespace

BENCHMARK_CAPTURE(CreateOurs, raw, kCompressionNone, Terrain::kSmooth)->Name("create_4096sq_f32/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(CreateBaseline)->Name("create_4096sq_f32/baseline")->Unit(benchmark::kMillisecond);

ZORV_BENCH_MAIN()
