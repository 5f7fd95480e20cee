// A console reporter that also keeps each benchmark's real times, so that a
// benchmark can be reported as a ratio to its baseline from the same run,
// with or without --benchmark_repetitions (and with aggregates only).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // The name without "/repeats:N" or an aggregate's suffix: every repetition counts under it.
      std::string name = run.run_name.function_name;
      if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
      if (run.run_type == Run::RT_Iteration) times_[name].push_back(run.GetAdjustedRealTime());
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") medians_[name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Prints `label` with how many times the median time of `slow` is that of `fast`.
  void PrintRatio(const std::string& slow, const std::string& fast, const char* label) const {
    const double s = Median(slow), f = Median(fast);
    if (s <= 0 || f <= 0) return;
    std::printf("%s %.2fx\n", label, s / f);
  }

 private:
  double Median(const std::string& name) const {
    if (const auto m = medians_.find(name); m != medians_.end()) return m->second;
    const auto t = times_.find(name);
    if (t == times_.end() || t->second.empty()) return 0;
    std::vector<double> v = t->second;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }

  std::map<std::string, std::vector<double>> times_;
  std::map<std::string, double> medians_;
};
