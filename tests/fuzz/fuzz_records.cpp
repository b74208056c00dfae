// Fuzz target: arbitrary bytes as a data file read under the rules of CSV,
// --names, --missing and --numbers-only. The first byte picks the rules
// (bit 0 CSV, bit 1 names, bit 2 the missing word "NA", bit 3 numbers
// only); the rest is the file, taken through examination, loading and every
// statistic without writing result files.
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "messages.h"
#include "pipeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1 || size > 65536) return 0;
  const uint8_t rules = data[0];
  // One in-memory file for the whole session, rewritten for every input and
  // opened by name through /proc like any data file; the reader's 1 MiB
  // windows come from the heap instead of a fresh mapping each time. Both
  // only make the target faster.
  static const int fd = [] {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    return memfd_create("vantor-fuzz-records", 0);
  }();
  if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
  const ssize_t written = pwrite(fd, data + 1, size - 1, 0);
  if (written != static_cast<ssize_t>(size - 1)) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);

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
    Analysis a = load_data_file(path.c_str(), sw, run, con);
    const Moments moments = compute_statistics(a, sw, con);
    if (a.m <= 50) compute_components(a, moments);
  } catch (const RunEnd &) {
  }
  return 0;
}
