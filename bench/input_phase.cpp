// Runs only the data-input phases of the tool on one file, as the driver
// does (examination, row count, work arrays, column maps, loading), so the
// benchmark can time them apart from the statistics.
#include <cstdio>

#include "input.h"
#include "messages.h"
#include "vantor.h"

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: input_phase FILE\n");
    return 2;
  }
  sw.quiet = 1;
  try {
    alloc_line_buffer();
    FILE *in = std::fopen(argv[1], "r");
    if (in == nullptr) fatal("Can't read file %s\n", argv[1]);
    const uint32_t c = examine_first_line(in);
    std::fclose(in);
    in = std::fopen(argv[1], "r");
    if (in == nullptr) fatal("Can't read file %s\n", argv[1]);
    const uint32_t R = count_data_lines(in);
    std::fclose(in);
    in = std::fopen(argv[1], "r");
    if (in == nullptr) fatal("Can't read file %s\n", argv[1]);
    alloc_work_arrays(R, c);
    build_column_maps(c);
    const LoadResult loaded = load_data(in, c, R);
    std::fclose(in);
    double sum = 0;
    for (uint32_t r = 0; r < loaded.n; ++r)
      for (uint32_t k = 0; k < loaded.m; ++k) sum += dd[r][k];
    std::printf("%u rows, %u variables, sum %.17g\n", loaded.n, loaded.m, sum);
    free_work_arrays();
    release_line_buffer();
  } catch (const RunEnd &end) {
    std::fprintf(stderr, "\nError: %s", end.message.c_str());
    return end.status;
  }
  return 0;
}
