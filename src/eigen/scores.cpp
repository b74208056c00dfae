// Factor-score coefficients and component scores: the ".fsc" file (the
// coefficient matrix with eigenvalues, standard deviations and means) and the
// ".sco" file, with the run-wide adjustment of the scores count.
#include "scores.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "naming.h"

namespace {

constexpr char kNumber[] = "% .7e ";

void write_line(FILE *fp, const double *values, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) std::fprintf(fp, kNumber, shown(values[i]));
  std::fputc('\n', fp);
}

}  // namespace

uint32_t score_limit(const Analysis &a, bool four) {
  const uint32_t limit = (four && a.columns > 4) ? 4 : a.columns;
  return limit < a.m ? limit : a.m;
}

// Coefficients of the first N variables on the components position[0] to
// position[cols - 1]: coef[j * cols + col] = loading(j, p) / share(p) / 100
// with p = position[col] and share(p) = root[p] / total, divided in that
// order. A component with eigenvalue 0 has share 0 and gives 0/0.
std::vector<double> score_coefficients(const Analysis &a, uint32_t N, uint32_t cols) {
  const uint64_t stride = a.m;
  const double total = a.eigen_total;
  const double *root = a.eigenvalues.get();
  const int32_t *position = a.component_order.get();
  std::vector<double> coef(static_cast<uint64_t>(N) * cols);
  for (uint32_t col = 0; col < cols; ++col) {
    const uint32_t p = static_cast<uint32_t>(position[col]);
    const double share = root[p] / total;
    for (uint32_t j = 0; j < N; ++j)
      coef[j * uint64_t{cols} + col] = a.loadings[j * stride + p] / share / 100;
  }
  return coef;
}

uint32_t adjusted_scores_count(uint32_t count, uint32_t N, bool allscores) {
  if (N < count || allscores) count = N;
  return count == 0 ? 3 : count;
}

void write_fsc_file(const Analysis &a, uint32_t N, bool section_headers, const Console &con) {
  N = std::min(N, a.m);
  OutputFile out = open_output(a.place, ".fsc");
  announce_output(out, con);
  FILE *fp = out.fp;
  const double *root = a.eigenvalues.get();
  const int32_t *position = a.component_order.get();

  const std::vector<double> coef = score_coefficients(a, N, N);
  if (section_headers) std::fputs("[FSC_SORTED]\n", fp);
  for (uint32_t r = 0; r < N; ++r) write_line(fp, coef.data() + r * uint64_t{N}, N);

  std::vector<double> line(N);
  if (section_headers) std::fputs("[ROOT_SORTED]\n", fp);
  for (uint32_t c = 0; c < N; ++c) line[c] = root[position[c]];
  write_line(fp, line.data(), N);
  if (section_headers) std::fputs("[STD]\n", fp);
  for (uint32_t j = 0; j < N; ++j) line[j] = a.stats[j].stddev;
  write_line(fp, line.data(), N);
  if (section_headers) std::fputs("[MEAN]\n", fp);
  for (uint32_t j = 0; j < N; ++j) line[j] = a.stats[j].mean;
  write_line(fp, line.data(), N);
  close_output(out);
}

// Score col of observation r is the sum over j < N, from 0 and in order of j,
// of coefficient(j, position[col]) * z(r, j), with z the value scaled by the
// standard deviation and, under --scores-mean only, centred first. The sums
// of one row are formed side by side over the scores, each still in order
// of j.
void write_sco_file(const Analysis &a, uint32_t N, uint32_t count, bool centre,
                    const Console &con) {
  N = std::min(N, a.m);
  OutputFile out = open_output(a.place, ".sco");
  if (!con.quiet) say(con, "Writing file: %s %u scores\n", out.name.c_str(), count);
  // The count is at most N except when N is 0, where no component exists.
  const uint32_t nr = std::min(count, N);

  const std::vector<double> coef = score_coefficients(a, N, nr);
  std::vector<double> z(N);
  std::vector<double> score(nr);
  const VariableStats *v = a.stats.get();
  for (uint32_t r = 0; r < a.n; ++r) {
    const double *row = a.data[r];
    for (uint32_t j = 0; j < N; ++j)
      z[j] = centre ? (row[j] - v[j].mean) / v[j].stddev : row[j] / v[j].stddev;
    std::fill(score.begin(), score.end(), 0.0);
    for (uint32_t j = 0; j < N; ++j) {
      const double *cj = coef.data() + j * uint64_t{nr};
      for (uint32_t col = 0; col < nr; ++col) score[col] += cj[col] * z[j];
    }
    write_line(out.fp, score.data(), nr);
  }
  close_output(out);
}
