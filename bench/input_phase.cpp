// Runs only the data-input steps of the tool on one file (examination, row
// count, work arrays, column maps, loading; with --csv as a CSV file), so the
// benchmark can time them apart from the statistics.
#include <cstdio>
#include <cstring>

#include "base/messages.h"
#include "pipeline.h"

int main(int argc, char **argv) {
  Switches sw;
  if (argc == 3 && std::strcmp(argv[1], "--csv") == 0) {
    sw.read.csv = true;
    ++argv;
    --argc;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: input_phase [--csv] FILE\n");
    return 2;
  }
  sw.run.quiet = 1;
  const Console con{stdout, stderr, true};
  try {
    RunState run = make_run_state(sw);
    const Analysis a = load_data_file(argv[1], sw, run, con);
    double sum = 0;
    for (uint32_t r = 0; r < a.n; ++r)
      for (uint32_t k = 0; k < a.m; ++k) sum += a.data[r][k];
    std::printf("%u rows, %u variables, sum %.17g\n", a.n, a.m, sum);
  } catch (const RunEnd &end) {
    std::fprintf(stderr, "\nError: %s", end.message.c_str());
    return end.status;
  }
  return 0;
}
