// Shared ending of every benchmark program: run the registered benchmarks,
// keep the median time of each, and print one BENCH line per engine/reference
// pair so that runs can be compared by a reader or a script.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace sorv::bench {

struct Pair {
  const char* name;       // what the line is called
  const char* engine;     // benchmark name of the engine's side
  const char* reference;  // benchmark name of the reference
  const char* referenceLabel;
};

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      std::string name = r.benchmark_name();
      // With repetitions, keep the median aggregate; otherwise the single run.
      if (r.run_type == Run::RT_Aggregate) {
        if (r.aggregate_name != "median") continue;
        name = r.run_name.str();
      } else if (r.repetitions > 1) {
        continue;
      }
      double ns = r.GetAdjustedRealTime();  // per iteration, in the run's time unit
      switch (r.time_unit) {
        case benchmark::kNanosecond: break;
        case benchmark::kMicrosecond: ns *= 1e3; break;
        case benchmark::kMillisecond: ns *= 1e6; break;
        case benchmark::kSecond: ns *= 1e9; break;
      }
      times[name] = ns;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

inline int RunAndReport(int argc, char** argv, const std::vector<Pair>& pairs) {
  benchmark::Initialize(&argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const Pair& p : pairs) {
    auto e = reporter.times.find(p.engine);
    auto r = reporter.times.find(p.reference);
    if (e == reporter.times.end() || r == reporter.times.end()) continue;
    std::printf("BENCH %s engine_ns=%.0f reference=%s reference_ns=%.0f ratio=%.3f\n", p.name, e->second,
                p.referenceLabel, r->second, r->second > 0 ? e->second / r->second : 0.0);
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace sorv::bench
