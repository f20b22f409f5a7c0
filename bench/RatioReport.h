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
    // Known by its name and arguments ("BM_Open/10000"); one run more than
    // once counts by its median.
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
        times[run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
            run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

// Initialises the benchmark library; when the command line names the
// benchmarks to run, runs them as asked, without the comparisons, and answers true.
// Otherwise the repetitions of the benchmarks compared are run interleaved,
// so that a machine that slows down for a while slows down both sides.
inline bool RunAsAsked(int& argc, char** argv) {
  bool named = false;
  for (int i = 1; i < argc; ++i) named = named || std::string(argv[i]).starts_with("--benchmark_filter");
  std::vector<char*> args(argv, argv + argc);
  static char interleaved[] = "--benchmark_enable_random_interleaving=true";
  if (!named) args.push_back(interleaved);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (named) benchmark::RunSpecifiedBenchmarks();
  return named;
}

// Runs the benchmarks whose names match the regular expression `filter`
// (empty: the command line's --benchmark_filter), then the comparison (with
// no goal when `goal` is 0).
inline void RunAndCompare(const std::string& filter, const std::string& baseline,
                          const std::vector<std::string>& measured, double goal) {
  CapturingReporter reporter;
  if (filter.empty())
    benchmark::RunSpecifiedBenchmarks(&reporter);
  else
    benchmark::RunSpecifiedBenchmarks(&reporter, filter);
  const auto base = reporter.times.find(baseline);
  if (base == reporter.times.end() || measured.empty()) return;
  if (goal > 0)
    std::printf("\nratio to %s (goal: at most %.1f):\n", baseline.c_str(), goal);
  else
    std::printf("\nratio to %s:\n", baseline.c_str());
  for (const std::string& name : measured) {
    const auto it = reporter.times.find(name);
    if (it == reporter.times.end()) continue;
    const double ratio = it->second / base->second;
    std::printf("  %-44s %8.2f  %s\n", name.c_str(), ratio,
                goal <= 0 ? "" : ratio <= goal ? "meets the goal" : "MISSES the goal");
  }
  std::printf("\n");
}

}  // namespace kvobench
