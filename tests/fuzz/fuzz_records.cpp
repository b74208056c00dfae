// Fuzz target: arbitrary bytes as a data file read under the rules of CSV,
// --names, --missing and --numbers-only. The first byte picks the rules
// (bit 0 CSV, bit 1 names, bit 2 the missing word "NA", bit 3 numbers
// only); the rest is the file, taken through examination, loading and every
// statistic without writing result files.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "messages.h"
#include "pipeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1 || size > 65536) return 0;
  const uint8_t rules = data[0];
  char path[] = "/tmp/vantor-fuzz-records-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return 0;
  FILE *f = fdopen(fd, "wb");
  if (f == nullptr) {
    close(fd);
    unlink(path);
    return 0;
  }
  std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);

  Switches sw;
  sw.quiet = 1;
  sw.bins = 5;
  sw.csv = rules & 1;
  sw.names = (rules >> 1) & 1;
  if (rules & 4) sw.missing = {"NA"};
  sw.numbers_only = (rules >> 3) & 1;
  const Console con{stdout, stderr, true};
  try {
    RunState run = make_run_state(sw);
    Analysis a = load_data_file(path, sw, run, con);
    const Moments moments = compute_statistics(a, sw, con);
    if (a.m <= 50) compute_components(a, moments);
  } catch (const RunEnd &) {
  }
  unlink(path);
  return 0;
}
