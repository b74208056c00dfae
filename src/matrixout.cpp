// The correlation file ".cor" (lower triangle, optionally made square with
// mirrored values or zeroes) and the covariance file ".cov". The matrices are
// computed with the moments in stats.cpp.
#include <cstdio>

#include "naming.h"
#include "stats.h"
#include "vantor.h"

void write_cor_file(uint32_t m) {
  OutputFile out = open_output(output_name(".cor"));
  announce_output(out);
  for (uint32_t i = 0; i < m; ++i) {
    for (uint32_t j = 0; j <= i; ++j) std::fprintf(out.fp, " %- .6f", shown(cc[j][i]));
    if (sw.square == 2)
      for (uint32_t j = i + 1; j < m; ++j) std::fprintf(out.fp, " %- .6f", shown(cc[j][i]));
    else if (sw.square == 1)
      for (uint32_t j = i + 1; j < m; ++j) std::fprintf(out.fp, " %- .6f", 0.0);
    std::fputc('\n', out.fp);
  }
  close_output(out);
}

// The same three opening lines as the ".inp" file, then the lower triangle
// of the covariances with divisor n.
void write_cov_file(uint32_t n, uint32_t m) {
  OutputFile out = open_output(output_name(".cov"));
  announce_output(out);
  std::fputs("/Covariance\n", out.fp);
  std::fprintf(out.fp, "%u\n", n);
  for (uint32_t i = 0; i < m; ++i) std::fprintf(out.fp, "x%d ", sortarr1[i] + 1);
  std::fputc('\n', out.fp);
  for (uint32_t i = 0; i < m; ++i) {
    for (uint32_t j = 0; j <= i; ++j) std::fprintf(out.fp, "%- .6f ", shown(ccov[j][i]));
    std::fputc('\n', out.fp);
  }
  close_output(out);
}
