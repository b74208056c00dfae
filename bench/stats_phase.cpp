// Benchmark of the statistics phase alone: `stats_phase ROWS COLS [REPEATS
// [SHAPE]]` fills the work arrays with seeded numbers (no file is read) and
// reports the best CPU time of the extremes, the moments with both matrices,
// and the median and quartiles. SHAPE: uniform (the default, uniform in
// -100..100), ties (three values), sorted or reverse (ascending or
// descending down every column).
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "cpu_time.h"
#include "stats/orderstats.h"
#include "stats/stats.h"
#include "record/workarrays.h"

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: stats_phase ROWS COLS [REPEATS [uniform|ties|sorted|reverse]]\n");
    return 2;
  }
  const uint32_t n = std::strtoul(argv[1], nullptr, 10), m = std::strtoul(argv[2], nullptr, 10);
  const int repeats = argc > 3 ? std::atoi(argv[3]) : 3;
  const std::string shape = argc > 4 ? argv[4] : "uniform";
  if (shape != "uniform" && shape != "ties" && shape != "sorted" && shape != "reverse") {
    std::fprintf(stderr, "stats_phase: unknown shape %s\n", shape.c_str());
    return 2;
  }
  const Console con{stdout, stderr, true};
  MemoryTally tally;
  Analysis a = make_analysis(n, m, WorkArraySettings{30, false}, tally, con);
  a.n = n;
  a.m = m;
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> u(-100, 100);
  for (uint32_t k = 0; k < n; ++k)
    for (uint32_t i = 0; i < m; ++i) {
      if (shape == "ties")
        a.data[k][i] = static_cast<double>(rng() % 3);
      else if (shape == "sorted")
        a.data[k][i] = 0.001 * k + i;
      else if (shape == "reverse")
        a.data[k][i] = -0.001 * k + i;
      else
        a.data[k][i] = u(rng);
    }
  Extremes extremes;
  const double te = best_time(repeats, [&] { extremes = find_extremes(a); });
  const double tm = best_time(repeats, [&] { compute_moments(a, extremes); });
  const double to = best_time(repeats, [&] { compute_order_stats(a); });
  std::printf("%u x %u %s: extremes %.3f s, moments and matrices %.3f s, quartiles %.3f s\n", n, m,
              shape.c_str(), te, tm, to);
  return 0;
}
