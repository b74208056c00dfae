// Fuzz target: the entry point on rows held in memory against the same rows
// written as a data file. The first byte picks the options (pairwise,
// conventional, components, groups, labels) and the column count; every
// later 8 bytes is a value, some of them turned into NaN, an infinity, a
// signed zero or a tie. Both analyses must end alike, and agree bit for bit
// in every statistic and matrix when they succeed.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analyse.h"
#include "base/messages.h"

namespace {

double value_of(const uint8_t *p) {
  double x;
  std::memcpy(&x, p, sizeof x);
  switch (p[0] % 16) {
    case 0: return std::nan("");
    case 1: return std::copysign(0.0, (p[1] & 1) ? -1.0 : 1.0);
    case 2: return static_cast<double>(p[1] % 4);  // ties
    case 3: return (p[1] & 1) ? HUGE_VAL : p[2] % 7 - 3.0;
    default: return std::isfinite(x) ? x : p[3] * 0.25 - 8;
  }
}

// The rows as a CSV file under a names line, a missing value as NA, the
// group values in a last column.
std::string file_text(const std::vector<double> &v, uint32_t m, const std::vector<std::string> &groups) {
  std::string text;
  for (uint32_t j = 0; j < m; ++j) text.append(j > 0 ? ",v" : "v").append(std::to_string(j + 1));
  text += groups.empty() ? "\n" : ",g\n";
  char word[40];
  for (size_t k = 0; k < v.size(); ++k) {
    if (std::isnan(v[k])) {
      text += "NA";
    } else {
      std::snprintf(word, sizeof word, "%.17g", v[k]);
      text += word;
    }
    const bool row_end = (k + 1) % m == 0;
    if (row_end && !groups.empty()) text += "," + groups[k / m];
    text += row_end ? "\n" : ",";
  }
  return text;
}

struct Outcome {
  bool ok = false;
  std::string error;
  std::unique_ptr<AnalysisResult> result;
};

Outcome attempt(const TableSource &source, const Switches &options) {
  Outcome o;
  try {
    o.result = analyse(source, options);
    o.ok = true;
  } catch (const RunEnd &end) {
    o.error = end.message;
  }
  return o;
}

[[noreturn]] void fail(const std::string &what) {
  if (const char *log = std::getenv("FUZZ_TABLE_LOG")) {
    FILE *f = std::fopen(log, "a");
    if (f != nullptr) {
      std::fprintf(f, "%s\n", what.c_str());
      std::fclose(f);
    }
  }
  std::abort();
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expect_same(const Analysis &a, const Analysis &b) {
  if (a.n != b.n || a.m != b.m || a.rows_left_out != b.rows_left_out)
    fail("counts " + std::to_string(a.n) + " " + std::to_string(b.n) + " " +
         std::to_string(a.rows_left_out) + " " + std::to_string(b.rows_left_out));
  for (uint32_t i = 0; i < a.m; ++i) {
    const VariableStats &x = a.stats[i], &y = b.stats[i];
    for (auto [p, q] : {std::pair{x.mean, y.mean}, {x.variance, y.variance}, {x.min, y.min},
                        {x.max, y.max}, {x.skewness, y.skewness}, {x.median, y.median},
                        {x.lower_quartile, y.lower_quartile}, {x.upper_quartile, y.upper_quartile}})
      if (!same_bits(p, q)) fail("statistic of variable " + std::to_string(i));
    for (uint32_t j = 0; j < a.m; ++j)
      if (!same_bits(a.correlation[i][j], b.correlation[i][j]) ||
          !same_bits(a.covariance[i][j], b.covariance[i][j]))
        fail("matrices");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 9 || size > 4096) return 0;
  const uint8_t pick = data[0];
  const uint32_t m = 1 + pick % 4;
  const size_t values = (size - 1) / 8 / m * m;
  if (values == 0) return 0;
  std::vector<double> v(values);
  for (size_t k = 0; k < values; ++k) v[k] = value_of(data + 1 + 8 * k);
  const uint64_t rows = values / m;
  bool finite = true;
  for (double x : v) finite = finite && !std::isinf(x);

  Switches options;
  options.run.quiet = true;
  options.run.no_log = true;
  options.run.threads = 1 + (pick >> 7);
  if (pick & 0x10) options.analysis.use = MissingUse::pairwise;
  if (pick & 0x20) options.analysis.conventional = options.analysis.pearson = true;
  if (pick & 0x40) {
    options.analysis.eigenvalues = true;
    options.analysis.scores = 2;
  }
  std::vector<std::string> groups;
  if (pick & 0x08)
    for (uint64_t r = 0; r < rows; ++r) groups.push_back(r % 3 == 0 ? "b" : "a");

  TableRows t;
  for (uint32_t j = 0; j < m; ++j) t.names.push_back(std::string("v").append(std::to_string(j + 1)));
  t.values = v.data();
  t.rows = rows;
  t.columns = m;
  t.group_values = groups;
  if (!groups.empty()) t.group_column.assign(1, 'g');
  const Outcome memory = attempt(TableSource{"", &t, "table"}, options);
  if (memory.ok) (void)json_document(*memory.result);

  // The file holds an infinity as text the loader reads as a number too, so
  // the comparison needs finite values; and a file's column without a single
  // value is skipped as empty, where the caller's rows keep it.
  if (!finite) return 0;
  for (uint32_t j = 0; j < m; ++j) {
    bool any = false;
    for (uint64_t r = 0; r < rows; ++r) any = any || !std::isnan(v[r * m + j]);
    if (!any) return 0;
  }
  char path[] = "/tmp/vantor-fuzz-table-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return 0;
  const std::string text = file_text(v, m, groups);
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  Switches file_options = options;
  file_options.read.csv = true;
  if (!groups.empty()) file_options.analysis.by = t.group_column;
  const Outcome file = written ? attempt(TableSource{path, nullptr, "table"}, file_options) : Outcome{};
  unlink(path);
  if (!written) return 0;
  if (memory.ok != file.ok) fail("outcome: " + memory.error + " / " + file.error);
  if (!memory.ok) return 0;
  expect_same(memory.result->table, file.result->table);
  if (memory.result->groups.size() != file.result->groups.size()) fail("groups");
  for (size_t g = 0; g < memory.result->groups.size(); ++g)
    expect_same(memory.result->groups[g].analysis, file.result->groups[g].analysis);
  return 0;
}
