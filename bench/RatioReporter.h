#pragma once

// Console reporter that, after the run, prints for every benchmark named
// "<case>/ours" with a sibling "<case>/baseline" the ratio of their times,
// and the same ratio for a sibling "<case>/libdeflate" (a peer's figure).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace zorvbench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(std::vector<Run> const& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (Run const& r : runs)
            if (r.run_type == Run::RT_Iteration) m_times[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nratio (ours / baseline, lower is better):\n");
        for (auto const& [name, t] : m_times) {
            for (char const* side : {"/ours", "/libdeflate"}) {
                auto pos = name.rfind(side);
                if (pos == std::string::npos) continue;
                std::size_t len = std::char_traits<char>::length(side);
                std::string base = name.substr(0, pos) + "/baseline" + name.substr(pos + len);
                auto it = m_times.find(base);
                std::string label = name.substr(0, pos) + (side[1] == 'o' ? "" : " (libdeflate)");
                if (it != m_times.end() && it->second > 0) std::printf("  %-52s %.3f\n", label.c_str(), t / it->second);
            }
        }
    }

private:
    std::map<std::string, double> m_times;
};

}  // namespace zorvbench

#define ZORV_BENCH_MAIN()                                          \
    int main(int argc, char** argv)                                \
    {                                                              \
        benchmark::Initialize(&argc, argv);                        \
        zorvbench::RatioReporter reporter;                         \
        benchmark::RunSpecifiedBenchmarks(&reporter);              \
        benchmark::Shutdown();                                     \
        return 0;                                                  \
    }
