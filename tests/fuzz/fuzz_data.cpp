// Fuzz target: arbitrary bytes as a data file through examination, the work
// arrays, loading and every statistic, with the default switches.
#include <cstdio>
#include <unistd.h>

#include "eigen.h"
#include "fuzz_common.h"
#include "input.h"
#include "messages.h"
#include "stats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 65536) return 0;
  reset_run_state();
  sw.quiet = 1;
  sw.bins = 7;
  if (!line) alloc_line_buffer();
  // A fresh small line buffer each time so that the growth path is exercised.
  release_line_buffer();
  alloc_line_buffer();

  FILE *in = tmpfile();
  if (in == nullptr) return 0;
  std::fwrite(data, 1, size, in);
  try {
    std::rewind(in);
    uint32_t c = examine_first_line(in);
    std::rewind(in);
    std::clearerr(in);
    uint32_t R = count_data_lines(in);
    std::rewind(in);
    std::clearerr(in);
    alloc_work_arrays(R, c);
    build_column_maps(c);
    LoadResult loaded = load_data(in, c, R);
    find_extremes(loaded.n, loaded.m);
    count_histogram(loaded.n, loaded.m);
    if (loaded.m > 0) {
      compute_moments(loaded.n, loaded.m);
      set_unit_diagonal(loaded.m);
      compute_order_stats(loaded.n, loaded.m);
      // The decomposition is cubic in the variables: wide inputs would only
      // measure its running time.
      if (loaded.m <= 100) {
        eigen_decompose(loaded.m);
        order_components(loaded.m);
      }
    }
  } catch (const RunEnd &) {
  }
  std::fclose(in);
  free_work_arrays();
  return 0;
}
