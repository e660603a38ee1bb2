// Exhaustive sweeps of the element conversion against the reference rule:
// every float32 bit pattern to the ten types, every int32 and uint32 value
// to float32 and the narrower integers, on every vector target. Under the
// sanitizers they take every 4099th pattern instead.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "datavectorutils/ConvertReference.h"
#include "support/SimdTargets.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace zorvtest;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t kStride = 4099;
#else
constexpr std::uint64_t kStride = 1;
#endif
// Slices small enough that a thread's source, outputs and reference stay in
// its cache: the patterns are generated, and each slice's reference is kept
// as one checksum per destination, so no phase streams through memory.
constexpr std::size_t kSlice = std::size_t(1) << 16;
constexpr unsigned kThreads = 4;

// Runs job(i, thread) for i in [0, count) on kThreads threads.
template <class Job>
void parallelFor(std::size_t count, Job&& job)
{
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (std::size_t i; (i = next++) < count;) job(i, t);
        });
    for (auto& th : threads) th.join();
}

// Position-dependent checksum of a byte run (a multiple of 8 bytes long):
// any single changed word changes it.
std::uint64_t checksum(void const* p, std::size_t bytes)
{
    std::uint64_t acc = 0;
    auto const* b = static_cast<unsigned char const*>(p);
    for (std::size_t i = 0; i < bytes / 8; ++i) {
        std::uint64_t w;
        std::memcpy(&w, b + 8 * i, 8);
        acc += w * (2 * i + 1);
    }
    return acc;
}

// One destination type of a sweep, for one thread: a reference buffer and a
// destination vector reused from slice to slice.
template <class S>
struct Checker {
    virtual ~Checker() = default;
    virtual std::uint64_t referenceChecksum(S const* src, std::size_t n, S noData) = 0;
    virtual std::uint64_t convertedChecksum(DataVector const& src, S noData) = 0;
    // The first element where the conversion and the reference differ.
    virtual std::string firstDifference(DataVector const& src, S noData) = 0;
};

template <class S, class D>
struct TypedChecker : Checker<S> {
    D const dstNoData = D(7);
    std::vector<D> want;
    boost::shared_ptr<DataVectorND<1>> dst = DataVectorND<1>::create(typeOf<D>(), ZELUNnPoint<unsigned, 1>(0));

    std::uint64_t referenceChecksum(S const* src, std::size_t n, S noData) override
    {
        want.resize(n);
        for (std::size_t i = 0; i < n; ++i) want[i] = reference(src[i], noData, dstNoData);
        return checksum(want.data(), n * sizeof(D));
    }
    std::uint64_t convertedChecksum(DataVector const& src, S noData) override
    {
        long const status = DataVectorUtils::convertVector(*dst, ConstVariantRef(typeOf<D>(), &dstNoData), src,
                                                           ConstVariantRef(typeOf<S>(), &noData));
        if (status != kSuccess || dst->size() != src.size()) return ~checksum(nullptr, 0);
        return checksum(dst->getConstDataPtr(), dst->size() * sizeof(D));
    }
    std::string firstDifference(DataVector const& src, S noData) override
    {
        S const* in = static_cast<S const*>(src.getConstDataPtr());
        referenceChecksum(in, src.size(), noData);
        convertedChecksum(src, noData);
        if (dst->size() != src.size()) return "length " + std::to_string(dst->size());
        D const* out = static_cast<D const*>(dst->getConstDataPtr());
        for (std::size_t i = 0; i < want.size(); ++i)
            if (!sameBits(out[i], want[i]))
                return std::string(typeid(D).name()) + ": source " + bitsOf(in[i]) + " gave " + bitsOf(out[i]) +
                       ", want " + bitsOf(want[i]);
        return "checksums differ";
    }
};

template <class S, class... D>
std::vector<std::unique_ptr<Checker<S>>> checkers()
{
    std::vector<std::unique_ptr<Checker<S>>> v;
    (v.push_back(std::make_unique<TypedChecker<S, D>>()), ...);
    return v;
}

// Sweeps `count` source patterns, pattern(i) giving the bits of the i-th,
// through every destination D... on every vector target: first the reference
// checksums of every slice, then one parallel phase per target, the target
// set between the phases (the threads share the library's dispatch).
template <class S, class... D, class Pattern>
void sweep(std::uint64_t count, Pattern pattern, S noData)
{
    std::size_t const slices = static_cast<std::size_t>((count + kSlice - 1) / kSlice);
    std::vector<std::vector<std::unique_ptr<Checker<S>>>> workers;
    std::vector<boost::shared_ptr<DataVectorND<1>>> sources;
    for (unsigned t = 0; t < kThreads; ++t) {
        workers.push_back(checkers<S, D...>());
        sources.push_back(DataVectorND<1>::create(typeOf<S>(), ZELUNnPoint<unsigned, 1>(0)));
    }
    std::size_t const kinds = sizeof...(D);
    auto fillSlice = [&](std::size_t slice, unsigned t) -> DataVector const& {
        std::uint64_t const first = std::uint64_t(slice) * kSlice;
        auto const n = static_cast<unsigned>(std::min<std::uint64_t>(kSlice, count - first));
        sources[t]->resize(ZELUNnPoint<unsigned, 1>(n), false);
        auto* p = static_cast<S*>(sources[t]->getDataPtr());
        for (unsigned i = 0; i < n; ++i) {
            auto const bits = pattern(first + i);
            std::memcpy(p + i, &bits, sizeof(S));
        }
        return *sources[t];
    };

    std::vector<std::uint64_t> sums(slices * kinds);
    parallelFor(slices, [&](std::size_t slice, unsigned t) {
        DataVector const& src = fillSlice(slice, t);
        for (std::size_t k = 0; k < kinds; ++k)
            sums[slice * kinds + k] = workers[t][k]->referenceChecksum(
                static_cast<S const*>(src.getConstDataPtr()), src.size(), noData);
    });
    forEachSimdTarget([&] {
        std::mutex failureLock;
        std::string failure;
        parallelFor(slices, [&](std::size_t slice, unsigned t) {
            DataVector const& src = fillSlice(slice, t);
            for (std::size_t k = 0; k < kinds; ++k) {
                if (workers[t][k]->convertedChecksum(src, noData) == sums[slice * kinds + k]) continue;
                std::string const what = workers[t][k]->firstDifference(src, noData);
                std::lock_guard<std::mutex> lock(failureLock);
                if (failure.empty()) failure = what;
            }
        });
        EXPECT_EQ(failure, "");
    });
}

std::uint32_t stridedPattern(std::uint64_t i)
{
    return static_cast<std::uint32_t>(i * kStride);
}

std::uint64_t const kStridedCount = ((std::uint64_t(1) << 32) + kStride - 1) / kStride;

}  // namespace

TEST(ConvertExhaustive, EveryFloat32PatternToEveryType)
{
    sweep<float, float, double, signed char, unsigned char, short, unsigned short, int, unsigned int, long long,
          unsigned long long>(kStridedCount, stridedPattern, 1.5f);
}

TEST(ConvertExhaustive, EveryInt32ToFloat32AndNarrowerIntegers)
{
    sweep<int, float, signed char, unsigned char, short, unsigned short>(kStridedCount, stridedPattern, 1000);
}

TEST(ConvertExhaustive, EveryUInt32ToFloat32AndNarrowerIntegers)
{
    sweep<unsigned int, float, signed char, unsigned char, short, unsigned short>(kStridedCount, stridedPattern,
                                                                                  1000u);
}

// 2^32 random float64 patterns to each integer type (ctest label "long").
TEST(ConvertLong, RandomFloat64PatternsToIntegers)
{
    auto splitMix = [](std::uint64_t i) {
        std::uint64_t z = (i + 1) * 0x9E3779B97F4A7C15ull;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    };
    sweep<double, signed char, unsigned char, short, unsigned short, int, unsigned int, long long,
          unsigned long long>(kStridedCount, splitMix, 0.25);
}
