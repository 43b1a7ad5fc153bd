#pragma once
// A console reporter that also prints each benchmark's time as a ratio to a
// baseline benchmark measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace kx::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::string baseline) : baseline_(std::move(baseline)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration)
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto base = times_.find(baseline_);
        if (base == times_.end() || base->second <= 0)
            return;
        std::printf("\nTime as a multiple of %s (same run):\n", baseline_.c_str());
        for (const auto& [name, time] : times_)
            std::printf("  %-40s %8.2fx\n", name.c_str(), time / base->second);
    }

private:
    std::string baseline_;
    std::map<std::string, double> times_;
};

inline int RunWithRatios(int argc, char** argv, const std::string& baseline)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(baseline);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace kx::bench
