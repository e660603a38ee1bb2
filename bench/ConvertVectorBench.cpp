// Vector conversion of 64 Mi-element one-dimensional vectors, 1 % of the
// source equal to its no-data value, each pair beside a memcpy of the larger
// of the two buffers. float64 -> float32 runs again with NaN destination
// no-data values beside the same conversion with -1. float32 -> int16 runs
// once more with the vector targets switched off, so the scalar rule's own
// speed shows beside them.
#include <hwy/targets.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include "HugePageBlock.h"
#include "RatioReporter.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/types/ConstVariantRef.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

constexpr unsigned kElements = 64u << 20;
using P1 = ZELUNnPoint<unsigned, 1>;

template <class T>
DataType typeOf()
{
#define ZORV_TYPE_OF(k, E, name) \
    if constexpr (std::is_same_v<T, E>) return DataType(static_cast<DataType::Type>(k), 0);
    ZORV_FOR_EACH_NUMERIC_KIND(ZORV_TYPE_OF)
#undef ZORV_TYPE_OF
    return DataType();
}

// Reals spread over +-62500 in sixteenths (rounding and saturation both
// happen), integers over all their bits; every 100th element is no-data.
template <class S>
void fillSource(S* p, S noData)
{
    std::uint64_t state = 88172645463325252ull;
    for (unsigned i = 0; i < kElements; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        if (i % 100 == 0)
            p[i] = noData;
        else if constexpr (std::is_floating_point_v<S>)
            p[i] = static_cast<S>(static_cast<double>(state % 2000001) * 0.0625 - 62500.0);
        else
            p[i] = static_cast<S>(state);
    }
}

template <class S, class D>
void convertOurs(benchmark::State& state, bool scalarOnly, D const dstNoData = D(-1))
{
    S const srcNoData = S(3);
    auto src = DataVectorND<1>::create(typeOf<S>(), P1(kElements));
    auto dst = DataVectorND<1>::create(typeOf<D>(), P1(kElements));
    fillSource(static_cast<S*>(src->getDataPtr()), srcNoData);
    if (scalarOnly) hwy::SetSupportedTargetsForTest(HWY_STATIC_TARGET);
    auto run = [&] {
        return DataVectorUtils::convertVector(*dst, ConstVariantRef(typeOf<D>(), &dstNoData), *src,
                                              ConstVariantRef(typeOf<S>(), &srcNoData));
    };
    if (run() != kSuccess) state.SkipWithError("convertVector failed");  // touches the destination
    for (auto _ : state) {
        benchmark::DoNotOptimize(run());
        benchmark::ClobberMemory();
    }
    if (scalarOnly) hwy::SetSupportedTargetsForTest(0);
    state.SetItemsProcessed(int64_t(state.iterations()) * kElements);
}

// memcpy of the larger of the two buffers, both touched before the loop and
// on the same kind of pages as a vector's storage.
template <class S, class D>
void copyBaseline(benchmark::State& state)
{
    std::size_t const bytes = std::size_t(kElements) * (sizeof(S) > sizeof(D) ? sizeof(S) : sizeof(D));
    zorvbench::HugePageBlock srcBlock(bytes), dstBlock(bytes);
    unsigned char* const src = srcBlock.data();
    unsigned char* const dst = dstBlock.data();
    std::memset(src, 1, bytes);
    std::memcpy(dst, src, bytes);
    for (auto _ : state) {
        std::memcpy(dst, src, bytes);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kElements);
}

template <class S, class D>
void registerPair(std::string const& name)
{
    benchmark::RegisterBenchmark((name + "/ours").c_str(), [](benchmark::State& s) { convertOurs<S, D>(s, false); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/baseline").c_str(), copyBaseline<S, D>)->Unit(benchmark::kMillisecond);
}

int const registered = [] {
    registerPair<float, short>("float32_to_int16");
    registerPair<float, unsigned char>("float32_to_uint8");
    registerPair<double, int>("float64_to_int32");
    registerPair<float, double>("float32_to_float64");
    registerPair<double, float>("float64_to_float32");
    registerPair<short, float>("int16_to_float32");
    registerPair<unsigned char, float>("uint8_to_float32");
    registerPair<int, short>("int32_to_int16");
    // A NaN destination no-data value (quiet, then signalling) beside the
    // same conversion with -1.
    auto withNoData = [](char const* name, float nd) {
        benchmark::RegisterBenchmark((std::string(name) + "/ours").c_str(),
                                     [nd](benchmark::State& s) { convertOurs<double, float>(s, false, nd); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string(name) + "/baseline").c_str(),
                                     [](benchmark::State& s) { convertOurs<double, float>(s, false); })
            ->Unit(benchmark::kMillisecond);
    };
    withNoData("float64_to_float32_nan_nodata", std::numeric_limits<float>::quiet_NaN());
    withNoData("float64_to_float32_snan_nodata", std::numeric_limits<float>::signaling_NaN());
    benchmark::RegisterBenchmark("float32_to_int16_scalar_rule/ours",
                                 [](benchmark::State& s) { convertOurs<float, short>(s, true); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("float32_to_int16_scalar_rule/baseline", copyBaseline<float, short>)
        ->Unit(benchmark::kMillisecond);
    return 0;
}();

}  // namespace

ZORV_BENCH_MAIN()
