// The console table of Google Benchmark, followed by ratios of wall-clock
// times per iteration between benchmarks of the same run. Machines here are
// shared and noisy; only ratios measured side by side are worth comparing
// across runs. A ratio whose benchmarks did not both run (filtered out,
// failed) is left out.
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

  // Reports time(numerator) / time(denominator) under `label`. Names are full
  // benchmark names as printed, e.g. "BM_FolderSave/4096".
  void AddRatio(std::string label, std::string numerator, std::string denominator);

  void ReportRuns(const std::vector<Run>& reports) override;
  void Finalize() override;

 private:
  struct Ratio {
    std::string label;
    std::string numerator;
    std::string denominator;
  };
  std::vector<Ratio> ratios_;
  std::map<std::string, double> secondsPerIteration_;
};

}  // namespace kdbench
