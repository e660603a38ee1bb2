// A 1024 x 1024 float32 elevation grid stored in byte buffers and read back:
// raw and zlib-compressed, little- and big-endian. For each form the program
// sizes the buffer from the vector, writes the vector, reads it back as a new
// vector, checks that every value came back bit for bit, and prints the sizes,
// the compression ratio and the times. Exits with 1 on any failure.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/types/IOBuffer.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

constexpr unsigned kSide = 1024;
constexpr int kRepeats = 5;  // each time printed is the best of these

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Synthetic terrain in metres: long ridges, a cross swell and a fine ripple,
// rounded to centimetres as a survey grid would be.
boost::shared_ptr<DataVectorND<2>> makeTerrain()
{
    auto grid = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), ZELUNnPoint<unsigned, 2>(kSide, kSide));
    if (!grid || grid->size() != kSide * kSide) return {};
    auto* z = static_cast<float*>(grid->getDataPtr());
    for (unsigned y = 0; y < kSide; ++y)
        for (unsigned x = 0; x < kSide; ++x) {
            double const h = -40.0 + 120.0 * std::sin(x * 0.0061) * std::cos(y * 0.0047) +
                             35.0 * std::sin((x + 2.0 * y) * 0.021) + 4.0 * std::sin(x * 0.19) * std::sin(y * 0.23);
            z[x + kSide * y] = static_cast<float>(std::round(h * 100.0) / 100.0);
        }
    return grid;
}

bool sameGrid(DataVector const& a, DataVector const& b)
{
    return a.getDataType() == b.getDataType() && a.getNumDimensions() == b.getNumDimensions() &&
           a.getDimension(0) == b.getDimension(0) && a.getDimension(1) == b.getDimension(1) &&
           a.getSizeInBytes() == b.getSizeInBytes() &&
           std::memcmp(a.getConstDataPtr(), b.getConstDataPtr(), a.getSizeInBytes()) == 0;
}

// Writes and reads back one form; false on any failure.
bool roundTrip(DataVector& grid, CompressionMethod method, bool swap)
{
    char const* const name = method == kCompressionZlib ? (swap ? "zlib, swapped" : "zlib") : (swap ? "raw, swapped" : "raw");
    grid.setCompressionMethod(method);
    unsigned const capacity = grid.getHeaderSizeInBytes() + grid.getSizeInBytes();

    double writeMs = 1e300, readMs = 1e300;
    unsigned stored = 0;
    for (int r = 0; r < kRepeats; ++r) {
        // The host's fixed-size buffer with the byte order it chose.
        IOBuffer buffer(capacity, swap);
        Clock::time_point start = Clock::now();
        long status = grid.writeToBinary(buffer);
        writeMs = std::min(writeMs, millisecondsSince(start));
        if (status != kSuccess) {
            std::fprintf(stderr, "%s: writeToBinary failed with %ld\n", name, status);
            return false;
        }
        stored = buffer.tell();

        // With the swap flag every float is stored big-endian.
        if (method == kCompressionNone) {
            unsigned char native[4], expected[4];
            std::memcpy(native, grid.getConstDataPtr(), 4);
            for (int i = 0; i < 4; ++i) expected[i] = swap ? native[3 - i] : native[i];
            if (std::memcmp(buffer.getStartPtr() + 28, expected, 4) != 0) {
                std::fprintf(stderr, "%s: first value stored in the wrong byte order\n", name);
                return false;
            }
        }

        if (buffer.seek(0) != kSuccess) return false;
        start = Clock::now();
        boost::shared_ptr<DataVector> back = DataVector::create(buffer, status);
        readMs = std::min(readMs, millisecondsSince(start));
        if (status != kSuccess || !back) {
            std::fprintf(stderr, "%s: DataVector::create failed with %ld\n", name, status);
            return false;
        }
        if (buffer.tell() != stored || back->getCompressionMethod() != method || !sameGrid(grid, *back)) {
            std::fprintf(stderr, "%s: the vector read back differs from the one written\n", name);
            return false;
        }
    }

    double const values = grid.getSizeInBytes();
    double const mib = values / (1024.0 * 1024.0);
    std::printf("%-14s %10u %10u %8.3f %9.2f %9.2f %11.0f %11.0f\n", name, capacity, stored,
                values / (stored - 28.0 - (method == kCompressionZlib ? 4.0 : 0.0)), writeMs, readMs,
                mib / (writeMs / 1000.0), mib / (readMs / 1000.0));
    return true;
}

}  // namespace

int main()
{
    boost::shared_ptr<DataVectorND<2>> grid = makeTerrain();
    if (!grid) {
        std::fprintf(stderr, "could not make the %u x %u grid\n", kSide, kSide);
        return 1;
    }
    std::printf("float32 grid %u x %u, %u bytes of values; times are the best of %d runs\n\n", kSide, kSide,
                grid->getSizeInBytes(), kRepeats);
    std::printf("%-14s %10s %10s %8s %9s %9s %11s %11s\n", "form", "buffer", "stored", "ratio", "write ms", "read ms",
                "write MiB/s", "read MiB/s");
    bool ok = true;
    for (CompressionMethod method : {kCompressionNone, kCompressionZlib})
        for (bool swap : {false, true}) ok = roundTrip(*grid, method, swap) && ok;
    std::printf("\n%s\n", ok ? "all forms read back bit for bit" : "FAILED");
    return ok ? 0 : 1;
}
