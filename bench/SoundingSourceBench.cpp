// Sounding source fetch over a 4000 x 2500 grid host (10 M nodes): with the
// filter "Depth > 10 and Depth < 20" (about a quarter of the nodes pass) and
// without a filter, each beside a hand-written loop over the same band set and
// iterator that applies the same predicate in C++ and writes the same records
// through the same scaler. Each case reports seconds per node (s_per_node).
// The paired cases run both sides in turn within each iteration and report
// the median of the per-iteration ratios of thread CPU time (median_ratio),
// which holds up better on a loaded machine than the ratio of two separately
// timed runs.
#include <algorithm>
#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "RatioReporter.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/platform/ZELUNScaler.h"
#include "zorvsupport/platform/ZELUNSuppressedSoundings.h"
#include "zorvsupport/surface/GeoBandSet.h"
#include "zorvsupport/surface/NodeIterator.h"
#include "zorvsupport/surface/SoundingSource.h"
#include "zorvsupport/types/Band.h"
#include "zorvsupport/types/BandType.h"

using namespace ZORV_3_13_0_::DataSet;
using ZLTIN_3_13_0::ZELUNSuppressedSoundings;

namespace {

constexpr unsigned kWidth = 4000;
constexpr unsigned kHeight = 2500;
constexpr unsigned kNodes = kWidth * kHeight;
constexpr unsigned kDepthBand = 0;
ZELUNnBox<double, 2> const kBox(ZELUNnPoint<double, 2>(-1.0, -1.0), ZELUNnPoint<double, 2>(kWidth, kHeight));

class GridBand : public Band {
public:
    ZELUNUString const& getName() const override { return m_name; }
    BandType const& getBandType() const override { return m_type; }
    ZELUNUString const& getDescription() const override { return m_name; }
    long setName(ZELUNUString const&) override { return 0; }
    long setDescription(ZELUNUString const&) override { return 0; }
    bool isReadOnly() const override { return true; }
    long getMinValue(Variant&) const override { return kErrNotImplemented; }
    long getMaxValue(Variant&) const override { return kErrNotImplemented; }
    bool isPersistent() const override { return true; }

private:
    ZELUNUString m_name{"Depth"};
    BandType m_type{BandType::createScalar(DataType(DataType::kFloat32), ZELUNUString("m"),
                                           ZELUNUnit::kNoDirection, Variant())};
};

// Walks every node in index order; node i lies at (i mod width, i div width).
class GridIterator : public NodeIterator {
public:
    GridIterator(GeoBandSet const& set, std::vector<unsigned> ids, boost::shared_ptr<DataVector> depths)
        : m_set(set), m_ids(std::move(ids))
    {
        for (unsigned const id : m_ids)
            if (id == kDepthBand) m_buffers[id] = depths;
        m_currentIndex = 0;
        m_hasCurrentNode = true;
        setDone(false);
    }
    void next() override
    {
        if (++m_currentIndex < kNodes) return;
        m_hasCurrentNode = false;
        setDone(true);
    }
    void refresh() override {}
    bool getState(unsigned) override { return true; }
    void reserved1() override {}
    void reserved2() override {}
    void reserved3() override {}
    long getPosition(ZELUNVec3<double>& position, unsigned) override
    {
        position.x = m_currentIndex % kWidth;
        position.y = m_currentIndex / kWidth;
        return 0;
    }
    void reserved4() override {}
    void reserved5() override {}
    BandType getBandType(unsigned id) const override { return m_set.getBand(id)->getBandType(); }
    std::vector<unsigned> const& getBandIDs() const override { return m_ids; }
    GeoBandSet const& getBandSet() const override { return m_set; }

private:
    GeoBandSet const& m_set;
    std::vector<unsigned> m_ids;
};

// One float32 depth band over the grid, spread so that about a quarter of the
// depths lie in (10, 20).
class GridBandSet : public GeoBandSet {
public:
    GridBandSet()
        : m_system("EPSG:32633"),
          m_depths(TDataVector2D<TDataType<0>>::create(TDataType<0>(), ZELUNnPoint<unsigned, 2>(kWidth, kHeight)))
    {
        auto* d = static_cast<float*>(m_depths->getDataPtr());
        for (std::uint32_t i = 0; i < kNodes; ++i) d[i] = float((i * 2654435761u >> 8) % 4000u) / 100.0f;
    }
    ZELUNCoordSystem const& getCoordSystem() const override { return m_system; }
    ZELUNCover getCover() const override { return ZELUNCover(m_system, 0, 0, kWidth - 1, kHeight - 1); }
    void reserved1() override {}
    void reserved2() override {}
    void reserved3() override {}
    void reserved4() override {}
    void reserved5() override {}
    Band const* getBand(unsigned id) const override { return id == kDepthBand ? &m_band : nullptr; }
    Band* getBand(unsigned id) override { return id == kDepthBand ? &m_band : nullptr; }
    unsigned getNumBands() const override { return 1; }
    unsigned getBandID(ZELUNUString const& name) const override
    {
        return name == m_band.getName() ? kDepthBand : 0xFFFFFFFFu;
    }
    void reserved6() override {}
    void reserved7() override {}
    void reserved8() override {}
    void reserved9() override {}
    NodeIterator* getNodeIterator(ZELUNCover const&, std::vector<unsigned> const& bandIds, bool, long& status,
                                  void*) override
    {
        status = 0;
        return new GridIterator(*this, bandIds, m_depths);
    }
    void reserved10() override {}
    void reserved11() override {}
    void reserved12() override {}
    void reserved13() override {}
    void reserved14() override {}

private:
    ZELUNCoordSystem m_system;
    GridBand m_band;
    boost::shared_ptr<DataVector> m_depths;
};

GridBandSet& bandSet()
{
    static GridBandSet set;
    return set;
}

ZELUNScaler const kScaler(0.0, 0.0, 0.0, 0.01, 0.01, 0.01);

void reportPerNode(benchmark::State& state)
{
    state.counters["s_per_node"] =
        benchmark::Counter(double(kNodes), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void fetchOurs(benchmark::State& state, bool filtered)
{
    SoundingSource source(bandSet(), "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
    if (filtered) source.setFilterExpression("Depth > 10 and Depth < 20", ZELUNUnit::kNoDirection);
    ZELUNSuppressedSoundings::SoundingSet set(kScaler);
    source.getSoundings(1, kBox, set);  // sizes the records before timing
    for (auto _ : state) {
        benchmark::DoNotOptimize(source.getSoundings(1, kBox, set));
        benchmark::ClobberMemory();
    }
    reportPerNode(state);
}

long fetchByHand(GeoBandSet& surface, bool filtered, ZELUNSuppressedSoundings::SoundingSet& set)
{
    long status = 0;
    std::unique_ptr<NodeIterator> const it(surface.getNodeIterator(
        ZELUNCover(surface.getCoordSystem(), kBox.low[0], kBox.low[1], kBox.high[0], kBox.high[1]), {kDepthBand},
        true, status, nullptr));
    auto& records = set.getRecords();
    ZELUNScaler const& scaler = set.getScaler();
    std::size_t n = 0;
    for (; !it->done(); it->next()) {
        double z = 0.0;
        if (it->getAsDouble(kDepthBand, z) != 0) return 1;
        if (filtered && !(z > 10 && z < 20)) continue;
        ZELUNVec3<double> p(0.0, 0.0, 0.0);
        if (it->getPosition(p, kDepthBand) != 0) continue;
        long dx = 0, dy = 0, dz = 0;
        scaler.userToDisk(p.x, p.y, z, dx, dy, dz);
        ZELUNSuppressedSoundings::SoundingRecord const r{std::int32_t(dx), std::int32_t(dy), std::int32_t(dz), 1};
        if (n < records.size())
            records[n] = r;
        else
            records.push_back(r);
        ++n;
    }
    return 0;
}

void fetchBaseline(benchmark::State& state, bool filtered)
{
    ZELUNSuppressedSoundings::SoundingSet set(kScaler);
    fetchByHand(bandSet(), filtered, set);
    for (auto _ : state) {
        benchmark::DoNotOptimize(fetchByHand(bandSet(), filtered, set));
        benchmark::ClobberMemory();
    }
    reportPerNode(state);
}

// CPU time of the calling thread: time the thread waited for a core does
// not count.
double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

void fetchPaired(benchmark::State& state, bool filtered)
{
    SoundingSource source(bandSet(), "Depth", SoundingSource::kSelectAllNodes, nullptr, false);
    if (filtered) source.setFilterExpression("Depth > 10 and Depth < 20", ZELUNUnit::kNoDirection);
    ZELUNSuppressedSoundings::SoundingSet ours(kScaler), byHand(kScaler);
    source.getSoundings(1, kBox, ours);  // sizes the records before timing
    fetchByHand(bandSet(), filtered, byHand);
    std::vector<double> ratios;
    for (auto _ : state) {
        double const t0 = threadSeconds();
        benchmark::DoNotOptimize(source.getSoundings(1, kBox, ours));
        benchmark::ClobberMemory();
        double const t1 = threadSeconds();
        benchmark::DoNotOptimize(fetchByHand(bandSet(), filtered, byHand));
        benchmark::ClobberMemory();
        double const t2 = threadSeconds();
        ratios.push_back((t1 - t0) / (t2 - t1));
    }
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    state.counters["median_ratio"] = ratios.empty() ? 0.0 : ratios[ratios.size() / 2];
}

}  // namespace

BENCHMARK_CAPTURE(fetchPaired, filtered, true)->Name("getSoundings_filtered_paired")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetchPaired, all, false)->Name("getSoundings_all_paired")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetchOurs, filtered, true)->Name("getSoundings_filtered/ours")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetchBaseline, filtered, true)->Name("getSoundings_filtered/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetchOurs, all, false)->Name("getSoundings_all/ours")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetchBaseline, all, false)->Name("getSoundings_all/baseline")->Unit(benchmark::kMillisecond);

ZORV_BENCH_MAIN()
