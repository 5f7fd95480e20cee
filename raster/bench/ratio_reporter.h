// A console reporter that also keeps each benchmark's real time, so that a
// benchmark can be reported as a ratio to its baseline from the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Prints `label` with how many times the time of `slow` is that of `fast`.
  void PrintRatio(const std::string& slow, const std::string& fast, const char* label) const {
    const auto s = times_.find(slow), f = times_.find(fast);
    if (s == times_.end() || f == times_.end() || f->second <= 0) return;
    std::printf("%s %.2fx\n", label, s->second / f->second);
  }

 private:
  std::map<std::string, double> times_;
};
