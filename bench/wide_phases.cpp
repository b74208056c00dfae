// Benchmark helper: `wide_phases FILE [MATRIX]` runs the phases of `-e` on
// FILE one after another on one thread and reports the processor time of
// each: loading, statistics (the correlation matrix is most of it on wide
// tables), the Jacobi sweeps and the scores of every row. With MATRIX the
// symmetrised correlation matrix is written there (m * m doubles, row by
// row) so that other solvers can be timed on the same matrix.
#include <cstdio>
#include <vector>

#include "base/messages.h"
#include "cpu_time.h"
#include "eigen/scores.h"
#include "pipeline.h"

namespace {

void write_matrix(const Analysis &a, const char *name) {
  FILE *f = std::fopen(name, "wb");
  if (f == nullptr) return;
  std::vector<double> row(a.m);
  for (uint32_t r = 0; r < a.m; ++r) {
    for (uint32_t k = 0; k < a.m; ++k)
      row[k] = r <= k ? a.correlation[r][k] : a.correlation[k][r];
    std::fwrite(row.data(), sizeof(double), a.m, f);
  }
  std::fclose(f);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: wide_phases FILE [MATRIX]\n");
    return 2;
  }
  try {
    Switches sw;
    sw.run.quiet = 1;
    const Console con{stdout, stderr, true};
    RunState run = make_run_state(sw);
    double t0 = cpu_seconds();
    Analysis a = load_data_file(argv[1], sw, run, con);
    const double loading = cpu_seconds() - t0;
    t0 = cpu_seconds();
    compute_statistics(a, sw.analysis, con);
    const double statistics = cpu_seconds() - t0;
    if (argc == 3) write_matrix(a, argv[2]);
    t0 = cpu_seconds();
    compute_components(a);
    const double sweeps = cpu_seconds() - t0;
    t0 = cpu_seconds();
    const uint32_t N = score_limit(a, false);
    const uint32_t count = adjusted_scores_count(run.scores_count, N, false);
    const ScoreBasis basis = score_basis(a, N, count, false);
    std::vector<double> scores(count);
    double sink = 0;  // read below, so the loop cannot be left out
    for (uint32_t r = 0; r < a.n; ++r) {
      observation_scores(basis, a.data[r], scores.data());
      if (count > 0) sink += scores[0];
    }
    const double scoring = cpu_seconds() - t0;
    std::printf("%u x %u: loading %.2f s, statistics %.2f s, sweeps %.2f s (%llu rotations, "
                "%llu sweeps), scores %.2f s%s\n",
                a.n, a.m, loading, statistics, sweeps,
                static_cast<unsigned long long>(a.eigen.counts.rotations),
                static_cast<unsigned long long>(a.eigen.counts.sweeps), scoring,
                sink == sink ? "" : " ");
    return 0;
  } catch (const RunEnd &end) {
    std::fprintf(stderr, "\nError: %s", end.message.c_str());
    return end.status;
  }
}
