// Benchmark of the rank correlations alone, as pandas' DataFrame.corr and
// R's cor time them: `rank_phase FILE spearman|kendall [THREADS [REPEATS]]`
// loads the white-space table FILE first, then reports the median wall time
// of the rank correlation matrix with its tie sums.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/messages.h"
#include "machine/workers.h"
#include "pipeline.h"
#include "stats/rankcorr.h"

int main(int argc, char **argv) {
  const std::string method = argc > 2 ? argv[2] : "";
  if (argc < 3 || (method != "spearman" && method != "kendall")) {
    std::fprintf(stderr, "usage: rank_phase FILE spearman|kendall [THREADS [REPEATS]]\n");
    return 2;
  }
  const uint32_t threads = argc > 3 ? static_cast<uint32_t>(std::atoi(argv[3])) : 2;
  const int repeats = argc > 4 ? std::atoi(argv[4]) : 3;
  try {
    Switches sw;
    sw.run.no_log = true;
    RunState run = make_run_state(sw);
    const Console quiet{nullptr, nullptr, true};
    Analysis a = load_data_file(argv[1], sw, run, quiet);
    Workers workers(threads);
    const RankMethod rank = method == "spearman" ? RankMethod::spearman : RankMethod::kendall;
    std::vector<double> seconds;
    for (int r = 0; r < repeats; ++r) {
      const auto start = std::chrono::steady_clock::now();
      make_rank_correlation(a, rank, workers);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      seconds.push_back(took.count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%.3f\n", seconds[seconds.size() / 2]);
  } catch (const RunEnd &end) {
    std::fprintf(stderr, "rank_phase: %s", end.message.c_str());
    return 1;
  }
  return 0;
}
