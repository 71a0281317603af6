// The console table of Google Benchmark, followed by ratios of times per
// iteration between benchmarks of the same run, both wall-clock and CPU.
// Machines here are shared and noisy; only ratios measured side by side are
// worth comparing across runs. With --benchmark_repetitions the table shows
// each benchmark's median and coefficient of variation (not mean and
// standard deviation) and the ratios use the medians; add
// --benchmark_enable_random_interleaving so that noise falls on both sides
// alike. A ratio whose benchmarks did not both run (filtered out, failed) is
// left out.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace kdbench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Counters in columns; colours only on a terminal.
  RatioReporter();

  // Reports time(numerator) / time(denominator) under `label`, followed by
  // `goal` (for example "<= 3"), the bound the wall-clock ratio should keep.
  // Names are benchmark names as printed without an aggregate suffix, e.g.
  // "BM_FolderSave/4096/real_time". A denominator "A + B" is the sum of
  // the two benchmarks' medians, for work a peer does in two parts.
  void AddRatio(std::string label, std::string numerator, std::string denominator, std::string goal = {});

  void ReportRuns(const std::vector<Run>& reports) override;
  void Finalize() override;

 private:
  struct Ratio {
    std::string label;
    std::string numerator;
    std::string denominator;
    std::string goal;
  };
  // Seconds per iteration.
  struct Times {
    std::vector<double> wall;
    std::vector<double> cpu;
    double medianWall = 0;  // from a "median" aggregate, when one was reported
    double medianCpu = 0;
  };
  static bool Median(const Times& times, double& wall, double& cpu);
  // Sum of the medians of "A" or "A + B"; false when one did not run.
  bool SumOfMedians(const std::string& names, double& wall, double& cpu) const;

  std::vector<Ratio> ratios_;
  std::map<std::string, Times> times_;
};

// Hands the command line to Google Benchmark, runs the benchmarks it selects
// with this reporter and shuts it down. 1 for an option it does not know.
int RunAll(int argc, char** argv, RatioReporter& reporter);

}  // namespace kdbench
