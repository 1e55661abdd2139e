#pragma once
// A console report of Google Benchmark that keeps each benchmark's times per
// iteration (the mean of its repetitions), so that a benchmark program can
// end with the ratio of two of them measured in the same run.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace kv {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      Times& times = times_[run.run_name.function_name];
      times.real += run.GetAdjustedRealTime();
      times.cpu += run.GetAdjustedCPUTime();
      ++times.runs;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatio(const char* store, const char* other, const char* goal) const {
    const auto a = times_.find(store), b = times_.find(other);
    if (a == times_.end() || b == times_.end()) return;
    const Times x = a->second.Mean(), y = b->second.Mean();
    std::printf("%s / %s (%s):\n  real %.1f ms / %.1f ms = %.2f   cpu %.1f ms / %.1f ms = %.2f\n", store, other, goal,
                x.real, y.real, x.real / y.real, x.cpu, y.cpu, x.cpu / y.cpu);
  }

 private:
  struct Times {
    double real = 0;
    double cpu = 0;
    int runs = 0;
    Times Mean() const { return runs ? Times{real / runs, cpu / runs, 1} : Times{}; }
  };
  std::map<std::string, Times> times_;
};

// One ratio printed at the end: the store's benchmark over the other's,
// with the goal it has.
struct BenchmarkRatio {
  const char* store;
  const char* other;
  const char* goal;
};

// The main of a benchmark program: runs the benchmarks the arguments
// choose, then prints each ratio. 1 for arguments it does not know.
inline int RunBenchmarksWithRatios(int argc, char** argv, std::initializer_list<BenchmarkRatio> ratios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  for (const BenchmarkRatio& ratio : ratios) reporter.PrintRatio(ratio.store, ratio.other, ratio.goal);
  benchmark::Shutdown();
  return 0;
}

}  // namespace kv
