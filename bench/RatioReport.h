// Runs the registered benchmarks, then prints each measured one's time as a
// multiple of a baseline from the same run, against a goal.
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

inline int RunWithRatios(int argc, char** argv, const std::string& baseline, const std::vector<std::string>& measured,
                         double goal) {
  benchmark::Initialize(&argc, argv);
  CapturingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto base = reporter.times.find(baseline);
  if (base == reporter.times.end()) return 0;  // filtered out
  std::printf("\nratio to %s (goal: at most %.1f):\n", baseline.c_str(), goal);
  for (const std::string& name : measured) {
    const auto it = reporter.times.find(name);
    if (it == reporter.times.end()) continue;
    const double ratio = it->second / base->second;
    std::printf("  %-44s %8.2f  %s\n", name.c_str(), ratio, ratio <= goal ? "meets the goal" : "MISSES the goal");
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace kvobench
