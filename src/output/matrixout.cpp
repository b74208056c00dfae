// The correlation file ".cor" (lower triangle, optionally made square with
// mirrored values or zeroes), the covariance file ".cov" and the label line
// it shares with ".inp". The matrices are computed with the moments.
#include "output/matrixout.h"

#include <cstdio>

#include "output/naming.h"

void write_variable_labels(FILE *fp, const Analysis &a, bool split, uint32_t per_line) {
  for (uint32_t i = 0; i < a.m; ++i) {
    const int column = a.variable_to_file[i] + 1;
    if (a.names.empty())
      std::fprintf(fp, "x%d ", column);
    else
      std::fprintf(fp, "%s ", name_label(a.names[i], column).c_str());
    if (split && (i + 1) % per_line == 0 && i + 1 < a.m) std::fputc('\n', fp);
  }
  std::fputc('\n', fp);
}

void write_cor_file(const Analysis &a, const OutputPlace &place, CorUpper upper, const Console &con) {
  const uint32_t m = a.m;
  const Table<double> &cc = a.correlation;
  OutputFile out = open_output(place, ".cor");
  announce_output(out, con);
  for (uint32_t i = 0; i < m; ++i) {
    for (uint32_t j = 0; j <= i; ++j) std::fprintf(out.fp, " %- .6f", shown(cc[j][i]));
    if (upper == CorUpper::mirror)
      for (uint32_t j = i + 1; j < m; ++j) std::fprintf(out.fp, " %- .6f", shown(cc[j][i]));
    else if (upper == CorUpper::zeros)
      for (uint32_t j = i + 1; j < m; ++j) std::fprintf(out.fp, " %- .6f", 0.0);
    std::fputc('\n', out.fp);
  }
  close_output(out);
}

// The same three opening lines as the ".inp" file, then the lower triangle
// of the covariances: divisor n, or n - 1 under --conventional, where n is
// the pair's count of common rows under --use=pairwise.
void write_cov_file(const Analysis &a, const OutputPlace &place, const Console &con) {
  OutputFile out = open_output(place, ".cov");
  announce_output(out, con);
  std::fputs("/Covariance\n", out.fp);
  std::fprintf(out.fp, "%llu\n", static_cast<unsigned long long>(stated_sample_size(a)));
  write_variable_labels(out.fp, a, false, 0);
  for (uint32_t i = 0; i < a.m; ++i) {
    for (uint32_t j = 0; j <= i; ++j) std::fprintf(out.fp, "%- .6f ", shown(a.covariance[j][i]));
    std::fputc('\n', out.fp);
  }
  close_output(out);
}
