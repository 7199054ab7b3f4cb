#pragma once
// The figures every benchmark prints the same way: a median of several runs
// with its spread, our code next to its peer measured in the same run, and
// one machine-readable line per row that scripts/bench gathers into a table:
//   ROW <tab> what <tab> ours median <tab> spread <tab> peer <tab> peer median <tab> spread <tab> unit
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

struct TTiming {
  double median = 0;  // seconds per run
  double spread = 0;  // (slowest - fastest) / median
};

template <class F>
TTiming Measure(F run, int runs = 5) {
  std::vector<double> seconds;
  for (int i = 0; i < std::max(1, runs); ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  TTiming timing;
  timing.median = seconds[seconds.size() / 2];
  timing.spread = timing.median > 0 ? (seconds.back() - seconds.front()) / timing.median : 0;
  return timing;
}

// `scale` turns seconds per run into the unit shown (1e3 for ms per run,
// 1e9 / n for ns per item...).
inline void Row(const std::string& what, TTiming ours, const std::string& peer, TTiming reference, double scale,
                const char* unit) {
  std::printf("ROW\t%s\t%.4g\t%.3f\t%s\t%.4g\t%.3f\t%s\n", what.c_str(), ours.median * scale, ours.spread,
              peer.c_str(), reference.median * scale, reference.spread, unit);
  std::fflush(stdout);
}

}  // namespace bench
