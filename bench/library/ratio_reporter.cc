#include "ratio_reporter.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string_view>
#include <utility>

#include <unistd.h>

namespace kdbench {
namespace {

double MedianOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// " met" or " MISSED" for a goal "<= x" or ">= x" (tools/bench.sh gathers
// these lines into its summary); nothing for any other text.
const char* Verdict(const std::string& goal, double ratio) {
  double bound = 0;
  if (goal.size() < 4 || goal[1] != '=' || std::sscanf(goal.c_str() + 2, "%lf", &bound) != 1) return "";
  const bool met = goal[0] == '<' ? ratio <= bound : goal[0] == '>' ? ratio >= bound : false;
  if (goal[0] != '<' && goal[0] != '>') return "";
  return met ? "  met" : "  MISSED";
}

}  // namespace

RatioReporter::RatioReporter()
    : ConsoleReporter(::isatty(STDOUT_FILENO) ? OutputOptions(OO_Tabular | OO_Color) : OO_Tabular) {}

void RatioReporter::AddRatio(std::string label, std::string numerator, std::string denominator, std::string goal) {
  ratios_.push_back({std::move(label), std::move(numerator), std::move(denominator), std::move(goal)});
}

void RatioReporter::ReportRuns(const std::vector<Run>& reports) {
  for (const Run& run : reports) {
    if (run.error_occurred) continue;
    Times& times = times_[run.run_name.str()];
    const double toSeconds = 1.0 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
      times.wall.push_back(run.GetAdjustedRealTime() * toSeconds);
      times.cpu.push_back(run.GetAdjustedCPUTime() * toSeconds);
    } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
               run.aggregate_unit == benchmark::kTime) {
      times.medianWall = run.GetAdjustedRealTime() * toSeconds;
      times.medianCpu = run.GetAdjustedCPUTime() * toSeconds;
    }
  }
  // Of the aggregates of repeated runs only the median and the spread (cv)
  // are shown; the ratios use the median.
  std::vector<Run> shown;
  for (const Run& run : reports) {
    if (run.run_type != Run::RT_Aggregate || run.aggregate_name == "median" || run.aggregate_name == "cv")
      shown.push_back(run);
  }
  if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
}

bool RatioReporter::Median(const Times& times, double& wall, double& cpu) {
  if (times.medianWall > 0) {
    wall = times.medianWall;
    cpu = times.medianCpu;
    return true;
  }
  if (times.wall.empty()) return false;
  wall = MedianOf(times.wall);
  cpu = MedianOf(times.cpu);
  return true;
}

bool RatioReporter::SumOfMedians(const std::string& names, double& wall, double& cpu) const {
  wall = cpu = 0;
  std::string_view rest = names;
  while (!rest.empty()) {
    const size_t plus = rest.find(" + ");
    const std::string name(rest.substr(0, plus));
    rest = plus == std::string_view::npos ? std::string_view() : rest.substr(plus + 3);
    const auto found = times_.find(name);
    double oneWall = 0, oneCpu = 0;
    if (found == times_.end() || !Median(found->second, oneWall, oneCpu)) return false;
    wall += oneWall;
    cpu += oneCpu;
  }
  return true;
}

void RatioReporter::Finalize() {
  ConsoleReporter::Finalize();
  std::ostream& out = GetOutputStream();
  bool header = false;
  for (const Ratio& ratio : ratios_) {
    double topWall = 0, topCpu = 0, bottomWall = 0, bottomCpu = 0;
    if (!SumOfMedians(ratio.numerator, topWall, topCpu) || !SumOfMedians(ratio.denominator, bottomWall, bottomCpu))
      continue;
    if (bottomWall <= 0 || bottomCpu <= 0) continue;
    if (!header) {
      out << "\nRatios of time per iteration, this run (median when repeated):\n"
          << "  " << std::string(44, ' ') << "    wall      cpu  goal (wall)\n";
      header = true;
    }
    char line[200];
    std::snprintf(line, sizeof line, "  %-44s %8.2f %8.2f  %s%s\n", ratio.label.c_str(), topWall / bottomWall,
                  topCpu / bottomCpu, ratio.goal.c_str(), Verdict(ratio.goal, topWall / bottomWall));
    out << line;
  }
  out.flush();
}

int RunAll(int argc, char** argv, RatioReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace kdbench
