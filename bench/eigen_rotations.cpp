// Benchmark helper: `eigen_rotations FILE` loads FILE as vantor does, forms
// its correlation matrix and decomposes it twice, with the textbook
// column-wise rotation and with the row-wise routine of the program, and
// reports the time and rotations of each and whether the results agree bit
// for bit.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "support/jacobi_textbook.h"
#include "cpu_time.h"
#include "eigen/jacobi.h"
#include "base/messages.h"
#include "pipeline.h"

namespace {

struct Square {
  std::vector<double> block;
  std::vector<double *> rows;
  explicit Square(uint32_t m) : block(uint64_t{m} * m), rows(m) {
    for (uint32_t i = 0; i < m; ++i) rows[i] = block.data() + uint64_t{i} * m;
  }
  // A copy points into its own block.
  Square(const Square &o) : Square(static_cast<uint32_t>(o.rows.size())) { block = o.block; }
};

// The symmetrised correlation matrix of the file, as the eigen phase sees it.
Square correlation_of(const char *name, uint32_t &m) {
  Switches sw;
  sw.run.quiet = 1;
  const Console con{stdout, stderr, true};
  RunState run = make_run_state(sw);
  Analysis a = load_data_file(name, sw, run, con);
  compute_statistics(a, sw.analysis, con);
  m = a.m;
  Square sq(m);
  for (uint32_t r = 0; r < m; ++r)
    for (uint32_t k = 0; k < m; ++k)
      sq.rows[r][k] = r <= k ? a.correlation[r][k] : a.correlation[k][r];
  return sq;
}


}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: eigen_rotations FILE\n");
    return 2;
  }
  try {
    uint32_t m = 0;
    const Square input = correlation_of(argv[1], m);

    Square slow = input, slow_v(m);
    double start = cpu_seconds();
    const uint64_t slow_rotations = textbook_jacobi(slow.rows.data(), slow_v.rows.data(), m);
    const double slow_time = cpu_seconds() - start;

    Square fast = input, fast_v(m);
    start = cpu_seconds();
    const JacobiCounts counts = jacobi_decompose(fast.rows.data(), fast_v.rows.data(), m);
    const double fast_time = cpu_seconds() - start;

    const bool same = std::memcmp(slow.block.data(), fast.block.data(),
                                  slow.block.size() * sizeof(double)) == 0 &&
                      std::memcmp(slow_v.block.data(), fast_v.block.data(),
                                  slow_v.block.size() * sizeof(double)) == 0;
    std::printf("variables: %u\n", m);
    std::printf("textbook (columns): %.2f s cpu, %llu rotations\n", slow_time,
                static_cast<unsigned long long>(slow_rotations));
    std::printf("row-wise:           %.2f s cpu, %llu rotations, %llu sweeps\n", fast_time,
                static_cast<unsigned long long>(counts.rotations),
                static_cast<unsigned long long>(counts.sweeps));
    std::printf("bit-identical: %s\n", same ? "yes" : "NO");
    return same && slow_rotations == counts.rotations ? 0 : 1;
  } catch (const RunEnd &end) {
    std::fprintf(stderr, "\nError: %s", end.message.c_str());
    return end.status;
  }
}
