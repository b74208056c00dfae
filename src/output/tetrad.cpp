// The correlation matrix as data for the TETRAD causal-modelling program:
// the current format ".inp" and the old one ".da1". Both are written from the
// correlation matrix with its unit diagonal.
#include "output/tetrad.h"

#include <cstdio>

#include "output/matrixout.h"
#include "base/messages.h"
#include "output/naming.h"

namespace {

// Labels per line and values per line of a split ".inp" file.
constexpr uint32_t kSplitLabels = 20;
constexpr uint32_t kSplitValues = 11;

// The old format names a variable with a letter and a digit, a0 to y9.
constexpr uint32_t kOldTetradMaxVariables = 250;

char label_letter(uint32_t i) { return static_cast<char>('a' + i / 10); }
char label_digit(uint32_t i) { return static_cast<char>('0' + i % 10); }

}  // namespace

void write_inp_file(const Analysis &a, const OutputPlace &place, bool split, const Console &con) {
  const uint32_t m = a.m;
  const Table<double> &cc = a.correlation;
  OutputFile out = open_output(place, ".inp");
  announce_output(out, con);
  if (split) say(con, "Using split\n");
  std::fputs("/Covariance\n", out.fp);
  std::fprintf(out.fp, "%llu\n", static_cast<unsigned long long>(stated_sample_size(a)));
  write_variable_labels(out.fp, a, split, kSplitLabels);
  for (uint32_t i = 0; i < m; ++i) {
    for (uint32_t j = 0; j <= i; ++j) {
      std::fprintf(out.fp, " %8.4f", shown(cc[i][j]));
      if (split && (j + 1) % kSplitValues == 0 && j < i) std::fputc('\n', out.fp);
    }
    std::fputc('\n', out.fp);
  }
  close_output(out);
}

void write_da1_file(const Analysis &a, const OutputPlace &place, const Console &con) {
  const uint32_t n = a.n, m = a.m;
  const Table<double> &cc = a.correlation;
  if (m > kOldTetradMaxVariables) fatal("Too many variables for old tetrad");
  OutputFile out = open_output(place, ".da1");
  announce_output(out, con);
  // The value count n * m reaches past 32 bits on large tables.
  std::fprintf(out.fp, "%llu\n", static_cast<unsigned long long>(n) * m);
  for (uint32_t i = 0; i < m; ++i)
    std::fprintf(out.fp, " 1.0 %c%c %c%c\n", label_letter(i), label_digit(i), label_letter(i),
                 label_digit(i));
  for (uint32_t i = 1; i < m; ++i)
    for (uint32_t j = 0; j < i; ++j)
      std::fprintf(out.fp, "%8.5f %c%c %c%c\n", shown(cc[j][i]), label_letter(j), label_digit(j),
                   label_letter(i), label_digit(i));
  close_output(out);
}
