#pragma once
// A console reporter that keeps the time of every repetition of each benchmark, so a benchmark
// program can end with each figure as the median of its repetitions (with the fastest and the
// slowest) and with ratios of two medians measured in the same run. On a shared machine one
// repetition can be off by a factor of two or more; the median of several, taken in a shuffled
// order so that a busy spell falls on both sides of a ratio alike, is not.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hx::bench {

// Starts the benchmark library with `repetitions` repetitions of every benchmark, run in a
// shuffled order, unless the command line sets either itself. Returns false (after saying why)
// when the command line holds something the library does not know.
inline bool initialize(int argc, char** argv, int repetitions = 5) {
    static std::vector<std::string> added;
    auto given = [&](const char* flag) {
        for (int i = 1; i < argc; ++i)
            if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) return true;
        return false;
    };
    if (!given("--benchmark_repetitions"))
        added.push_back("--benchmark_repetitions=" + std::to_string(repetitions));
    if (!given("--benchmark_enable_random_interleaving"))
        added.push_back("--benchmark_enable_random_interleaving=true");
    static std::vector<char*> arguments;
    arguments.assign(argv, argv + argc);
    for (auto& flag : added) arguments.push_back(flag.data());
    int count = int(arguments.size());
    arguments.push_back(nullptr);
    benchmark::Initialize(&count, arguments.data());
    return !benchmark::ReportUnrecognizedArguments(count, arguments.data());
}

// The real time of one benchmark over its repetitions, in seconds.
struct Figure {
    double median = 0, min = 0, max = 0;
    size_t repetitions = 0;
};

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const std::string name = run.benchmark_name();
            seconds_[name].push_back(run.GetAdjustedRealTime() /
                                     benchmark::GetTimeUnitMultiplier(run.time_unit));
        }
    }

    // `name` as registered; the "/real_time" that UseRealTime() adds may be left out.
    std::optional<Figure> figure(const std::string& name) const {
        auto found = seconds_.find(name);
        if (found == seconds_.end()) found = seconds_.find(name + "/real_time");
        if (found == seconds_.end() || found->second.empty()) return std::nullopt;
        std::vector<double> times = found->second;
        std::sort(times.begin(), times.end());
        const size_t n = times.size();
        Figure figure;
        figure.median = n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
        figure.min = times.front();
        figure.max = times.back();
        figure.repetitions = n;
        return figure;
    }

    // One line per benchmark that ran: the median real time with the fastest and slowest.
    void printFigures() const {
        std::printf(
            "\nMedian real time of each benchmark over its repetitions (fastest - slowest):\n");
        for (const auto& [name, times] : seconds_) printFigure(name, nullptr);
    }

    // The median of one benchmark next to its target, if it ran.
    void printFigure(const std::string& name, const char* target) const {
        auto f = figure(name);
        if (!f) return;
        std::printf("  %-48s %s  (%s - %s, %zu runs)", name.c_str(), format(f->median).c_str(),
                    format(f->min).c_str(), format(f->max).c_str(), f->repetitions);
        if (target != nullptr) std::printf("  (target: %s)", target);
        std::printf("\n");
    }

    // Prints median(ours) / median(reference), if both ran.
    void printRatio(const std::string& ours, const std::string& reference,
                    const char* target) const {
        auto a = figure(ours), b = figure(reference);
        if (!a || !b || b->median <= 0) return;
        std::printf("  %-32s %6.2f x %-36s (target: %s)\n", ours.c_str(), a->median / b->median,
                    reference.c_str(), target);
    }

  private:
    static std::string format(double seconds) {
        char text[32];
        if (seconds >= 1)
            std::snprintf(text, sizeof text, "%8.3f s ", seconds);
        else if (seconds >= 1e-3)
            std::snprintf(text, sizeof text, "%8.3f ms", seconds * 1e3);
        else
            std::snprintf(text, sizeof text, "%8.3f us", seconds * 1e6);
        return text;
    }

    std::map<std::string, std::vector<double>> seconds_;  // every repetition, by name
};

}  // namespace hx::bench
