#pragma once
// A console reporter that also keeps each benchmark's time per iteration, so a benchmark
// program can print its results as ratios to reference runs at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace hx::bench {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }

    // Prints ours / reference for two benchmarks measured with UseRealTime(), if both ran.
    void printRatio(const std::string& ours, const std::string& reference,
                    const char* target) const {
        auto a = seconds_.find(ours + "/real_time"), b = seconds_.find(reference + "/real_time");
        if (a == seconds_.end() || b == seconds_.end()) return;
        std::printf("  %-32s %6.2f x %-36s (target: %s)\n", ours.c_str(), a->second / b->second,
                    reference.c_str(), target);
    }

  private:
    std::map<std::string, double> seconds_;
};

}  // namespace hx::bench
