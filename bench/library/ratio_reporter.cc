#include "ratio_reporter.h"

#include <cstdio>
#include <ostream>
#include <utility>

#include <unistd.h>

namespace kdbench {

RatioReporter::RatioReporter()
    : ConsoleReporter(::isatty(STDOUT_FILENO) ? OutputOptions(OO_Tabular | OO_Color) : OO_Tabular) {}

void RatioReporter::AddRatio(std::string label, std::string numerator, std::string denominator) {
  ratios_.push_back({std::move(label), std::move(numerator), std::move(denominator)});
}

void RatioReporter::ReportRuns(const std::vector<Run>& reports) {
  for (const Run& run : reports) {
    if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0) continue;
    secondsPerIteration_[run.benchmark_name()] = run.real_accumulated_time / static_cast<double>(run.iterations);
  }
  ConsoleReporter::ReportRuns(reports);
}

void RatioReporter::Finalize() {
  ConsoleReporter::Finalize();
  std::ostream& out = GetOutputStream();
  bool header = false;
  for (const Ratio& ratio : ratios_) {
    const auto top = secondsPerIteration_.find(ratio.numerator);
    const auto bottom = secondsPerIteration_.find(ratio.denominator);
    if (top == secondsPerIteration_.end() || bottom == secondsPerIteration_.end() || bottom->second <= 0) continue;
    if (!header) {
      out << "\nRatios of wall-clock time per iteration, this run:\n";
      header = true;
    }
    char line[512];
    std::snprintf(line, sizeof line, "  %-44s %8.2f   (%s / %s)\n", ratio.label.c_str(), top->second / bottom->second,
                  ratio.numerator.c_str(), ratio.denominator.c_str());
    out << line;
  }
  out.flush();
}

}  // namespace kdbench
