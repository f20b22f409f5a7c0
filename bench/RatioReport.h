// Runs benchmarks, then prints each measured one's time as a multiple of a
// baseline from the same run, against a goal.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kvobench {

class CapturingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration) times[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

// Runs the benchmarks whose names match the regular expression `filter`
// (empty: the command line's --benchmark_filter), then the comparison.
inline void RunAndCompare(const std::string& filter, const std::string& baseline,
                          const std::vector<std::string>& measured, double goal) {
  CapturingReporter reporter;
  if (filter.empty())
    benchmark::RunSpecifiedBenchmarks(&reporter);
  else
    benchmark::RunSpecifiedBenchmarks(&reporter, filter);
  const auto base = reporter.times.find(baseline);
  if (base == reporter.times.end() || measured.empty()) return;
  std::printf("\nratio to %s (goal: at most %.1f):\n", baseline.c_str(), goal);
  for (const std::string& name : measured) {
    const auto it = reporter.times.find(name);
    if (it == reporter.times.end()) continue;
    const double ratio = it->second / base->second;
    std::printf("  %-44s %8.2f  %s\n", name.c_str(), ratio, ratio <= goal ? "meets the goal" : "MISSES the goal");
  }
  std::printf("\n");
}

}  // namespace kvobench
