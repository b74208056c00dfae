// Fuzz target: arbitrary bytes as a data file read under the rules of CSV,
// --names, --missing, --numbers-only, --separator and --comma-decimals. The
// first byte picks the rules (bit 0 CSV, bit 1 names, bit 2 the missing word
// "NA", bit 3 numbers only; without bit 4, bit 5 a separator, bit 6 tab
// rather than ';', bit 7 decimal commas); the rest is the file, taken
// through examination, loading and every statistic without writing result
// files. With bit 4 set the file is
// instead loaded in one pass and in parts of a few bytes by two workers,
// and any difference in rows, counts, messages or error is a finding.
// Lengths that are multiples of seven, under listwise deletion, compare the
// file analysed in memory with the same file analysed in passes
// (--max-memory=1, one row a block; even multiples 4096, a few rows a block
// and room for short NaN columns; loaded in batches by two workers): any difference in a statistic's bits, a
// matrix, a count or the error is a finding, but for the refusals of that
// mode.
// The input's length picks the rest, so that mutations reach every mix:
// odd lengths keep rows with missing values (--use=pairwise), lengths that
// are multiples of three take --conventional, separated files of a length
// that is a multiple of five leave column 2 out (--skip-columns=2), and
// multiples of eleven group the rows by their first column (--by=1), whose
// group of each row the comparisons take too.
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/load_steps.h"
#include "base/messages.h"
#include "pipeline.h"

namespace {

void append_bits(std::string &out, const void *p, size_t bytes) {
  out.append(static_cast<const char *>(p), bytes);
}

// Everything the statistics of the file come to, as bytes, or the error
// that ended the analysis.
std::string analysed(const std::string &path, const Switches &sw, const Console &con,
                     Workers *workers = nullptr) {
  std::string out;
  try {
    RunState run = make_run_state(sw);
    run.workers = workers;
    Analysis a = load_data_file(path.c_str(), sw, run, con);
    compute_statistics(a, sw.analysis, con, workers != nullptr ? *workers : serial_workers());
    append_bits(out, &a.n, sizeof a.n);
    append_bits(out, &a.m, sizeof a.m);
    append_bits(out, &a.rows_left_out, sizeof a.rows_left_out);
    if (!a.group_column.empty()) {
      for (const std::string &value : a.group_texts) {
        out += value;
        out += '\n';
      }
      append_bits(out, a.group_of_row.data(), a.n * sizeof(int32_t));
    }
    for (uint32_t i = 0; i < a.m; ++i) {
      append_bits(out, &a.stats[i], offsetof(VariableStats, constant));
      out += a.stats[i].constant ? 'c' : '-';
      append_bits(out, a.covariance[i], a.m * sizeof(double));
      append_bits(out, a.correlation[i], a.m * sizeof(double));
      for (uint32_t b = 0; b < a.bins; ++b) append_bits(out, &a.histogram[b][i], sizeof(int32_t));
    }
  } catch (const RunEnd &end) {
    out = "error: " + end.message;
  }
  return out;
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
  sw.run.quiet = 1;
  sw.analysis.bins = 5;
  sw.read.csv = rules & 1;
  sw.read.names = (rules >> 1) & 1;
  if (rules & 4) sw.read.missing = {"NA"};
  sw.read.numbers_only = (rules >> 3) & 1;
  // Without the split comparison its bits pick the separators too.
  if (!(rules & 16)) {
    if (rules & 32) sw.read.separator = (rules & 64) ? '\t' : ';';
    sw.read.comma_decimals = (rules & 128) && (sw.read.separator != 0 || !sw.read.csv);
  }
  if (size % 2 == 1) sw.analysis.use = MissingUse::pairwise;
  if (size % 3 == 0) {
    sw.analysis.conventional = true;
    sw.analysis.pearson = true;
  }
  // The ranks are taken over complete rows only.
  if (size % 4 == 0 && sw.analysis.use == MissingUse::complete)
    sw.analysis.rank = size % 8 == 0 ? RankChoice::kendall : RankChoice::spearman;
  if (size % 5 == 0 && (sw.read.csv || sw.read.separator != 0)) {
    sw.read.pick = ColumnPick::unlisted;
    sw.read.pick_list.assign(1, '2');  // not "= \"2\"", which g++ 12 warns about wrongly
  }
  if (size % 11 == 0) sw.analysis.by.assign(1, '1');  // as pick_list above
  if (rules & 16) {
    static Workers pair(2);
    const uint64_t min_part = 1 + (rules >> 5);
    FILE *in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) return 0;
    const RowRules rules_of_file = row_rules(sw.read, sw.analysis);
    const bool same = load_steps(in, rules_of_file, serial_workers(), 1) ==
                      load_steps(in, rules_of_file, pair, min_part);
    std::fclose(in);
    if (!same) __builtin_trap();
    return 0;
  }
  const Console con{stdout, stderr, true};
  if (size % 7 == 0) {
    Switches passes = sw;
    passes.read.max_memory = size % 14 == 0 ? 4096 : 1;
    const std::string in_memory = analysed(path, sw, con);
    static Workers pair(2);  // the passes load in batches on two workers
    const std::string in_passes = analysed(path, passes, con, &pair);
    const bool refused = in_passes.find("needs the whole table in memory") != std::string::npos ||
                         in_passes.find("holds NaN: its median") != std::string::npos;
    if (!refused && in_memory != in_passes)
      __builtin_trap();
    return 0;
  }
  try {
    RunState run = make_run_state(sw);
    Analysis a = load_data_file(path.c_str(), sw, run, con);
    compute_statistics(a, sw.analysis, con);
    if (a.m <= 50) compute_components(a);
  } catch (const RunEnd &) {
  }
  return 0;
}
