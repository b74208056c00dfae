// Benchmark helper: `eigen_rotations FILE` loads FILE as vantor does, forms
// its correlation matrix and decomposes it twice, with the textbook
// column-wise rotation and with the row-wise routine of the program, and
// reports the time and rotations of each and whether the results agree bit
// for bit.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "../tests/jacobi_textbook.h"
#include "input.h"
#include "jacobi.h"
#include "messages.h"
#include "stats.h"
#include "vantor.h"

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

FILE *open_or_die(const char *name) {
  FILE *in = std::fopen(name, "r");
  if (in == nullptr) fatal("Can't read file %s\n", name);
  return in;
}

// The symmetrised correlation matrix of the file, as the eigen phase sees it.
Square correlation_of(const char *name, uint32_t &m) {
  FILE *in = open_or_die(name);
  const uint32_t c = examine_first_line(in);
  std::fclose(in);
  in = open_or_die(name);
  const uint32_t R = count_data_lines(in);
  std::fclose(in);
  in = open_or_die(name);
  alloc_work_arrays(R, c);
  build_column_maps(c);
  const LoadResult loaded = load_data(in, c, R);
  std::fclose(in);
  m = loaded.m;
  find_extremes(loaded.n, m);
  compute_moments(loaded.n, m);
  set_unit_diagonal(m);
  Square a(m);
  for (uint32_t r = 0; r < m; ++r)
    for (uint32_t k = 0; k < m; ++k) a.rows[r][k] = r <= k ? cc[r][k] : cc[k][r];
  free_work_arrays();
  return a;
}

// Processor time rather than wall time, so that other work on the machine
// does not count against either routine.
double cpu_seconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: eigen_rotations FILE\n");
    return 2;
  }
  try {
    sw.quiet = 1;
    alloc_line_buffer();
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
    release_line_buffer();
    return same && slow_rotations == counts.rotations ? 0 : 1;
  } catch (const RunEnd &end) {
    std::fprintf(stderr, "\nError: %s", end.message.c_str());
    return end.status;
  }
}
