// Fuzz target: arbitrary bytes as a data file read under the rules of CSV,
// --names, --missing and --numbers-only. The first byte picks the rules
// (bit 0 CSV, bit 1 names, bit 2 the missing word "NA", bit 3 numbers
// only); the rest is the file, taken through examination, loading and every
// statistic without writing result files. With bit 4 set the file is
// instead loaded in one pass and in parts of a few bytes by two workers,
// and any difference in rows, counts, messages or error is a finding.
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "examine.h"
#include "load.h"
#include "messages.h"
#include "pipeline.h"
#include "workarrays.h"

namespace {

// What loading gave: every byte said, the error, the counts, the rows' bits.
struct Loaded {
  std::string out, err, fatal;
  uint32_t n = 0, m = 0;
  uint64_t left_out = 0;
  std::vector<uint64_t> bits;
  bool operator==(const Loaded &) const = default;
};

// The text of a memory stream; closing it sets its buffer and size.
std::string take_stream(FILE *f, char *const &buf, const size_t &size) {
  std::fclose(f);
  std::string s(buf, size);
  std::free(buf);
  return s;
}

// The driver's loading steps on `path` with the workers `w`.
Loaded load_once(const std::string &path, const Switches &sw, Workers &w, uint64_t min_part) {
  Loaded o;
  char *out_buf = nullptr, *err_buf = nullptr;
  size_t out_size = 0, err_size = 0;
  FILE *out = open_memstream(&out_buf, &out_size), *err = open_memstream(&err_buf, &err_size);
  FILE *in = std::fopen(path.c_str(), "rb");
  if (out == nullptr || err == nullptr || in == nullptr) std::abort();
  const Console con{out, err, false};
  try {
    const RowRules rules = row_rules(sw);
    GrowableLine line = make_examination_buffer();
    const Examination e = examine_data(in, line, rules, con);
    std::rewind(in);
    const uint32_t R = count_data_lines(in, line, w, min_part);
    std::rewind(in);
    MemoryTally tally;
    Analysis a = make_analysis(R, e.columns, WorkArraySettings{5, false}, tally, con);
    build_column_maps(a, sw, con);
    if (rules.plain() && !e.has_names)
      load_data(in, a, con, w, min_part);
    else
      load_records(in, a, rules, e.has_names, con, w, min_part);
    o.n = a.n;
    o.m = a.m;
    o.left_out = a.rows_left_out;
    for (uint32_t k = 0; k < a.n; ++k)
      for (uint32_t j = 0; j < a.m; ++j) {
        uint64_t b;
        std::memcpy(&b, &a.data[k][j], sizeof b);
        o.bits.push_back(b);
      }
  } catch (const RunEnd &end) {
    o.fatal = end.message;
  }
  std::fclose(in);
  o.out = take_stream(out, out_buf, out_size);
  o.err = take_stream(err, err_buf, err_size);
  return o;
}

}  // namespace

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
  if (rules & 16) {
    static Workers pair(2);
    const uint64_t min_part = 1 + (rules >> 5);
    if (!(load_once(path, sw, serial_workers(), 1) == load_once(path, sw, pair, min_part)))
      __builtin_trap();
    return 0;
  }
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
