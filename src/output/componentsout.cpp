// The files of the principal components: ".eig" (explained shares, a
// reference line, the loadings), ".fsc" (coefficients, eigenvalues,
// standard deviations, means) and ".sco" (scores of every observation).
#include "output/componentsout.h"
#include "record/rowspill.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "output/naming.h"
#include "eigen/scores.h"

namespace {

constexpr char kEigFirst[] = "%- 7.3f";  // first value of a line
constexpr char kEigNext[] = " %- 7.3f";  // every further value
constexpr char kScoreNumber[] = "% .7e ";

void write_line(FILE *fp, const double *values, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) std::fprintf(fp, kScoreNumber, shown(values[i]));
  std::fputc('\n', fp);
}

}  // namespace

void write_eig_file(const Analysis &a, const OutputPlace &place, const Console &con) {
  const uint32_t m = a.m;
  const double total = a.eigen.total;
  const double *root = a.eigen.values.get();
  const int32_t *position = a.components.order.get();
  OutputFile out = open_output(place, ".eig");
  announce_output(out, con);
  FILE *fp = out.fp;

  // Explained variance in percent, largest component first.
  for (uint32_t u = 0; u < m; ++u)
    std::fprintf(fp, kEigNext, shown(100 * (root[position[u]] / total)));
  std::fputc('\n', fp);

  // Reference line falling evenly from 100/m + 1.4 to 100/m - 1.4; a single
  // variable has just its one value.
  const double top = 100.0 / m + 1.4;
  std::fprintf(fp, kEigFirst, shown(top));
  if (m > 1) {
    const double step = 2.8 / (m - 1);
    for (uint32_t k = 1; k < m; ++k) std::fprintf(fp, kEigNext, shown(top - k * step));
  }
  std::fputc('\n', fp);

  // Loadings: variables down, components across in descending order.
  const uint64_t stride = m;
  for (uint32_t r = 0; r < m; ++r) {
    const double *row = a.components.loadings.get() + r * stride;
    std::fprintf(fp, kEigFirst, shown(row[position[0]]));
    for (uint32_t u = 1; u < m; ++u) std::fprintf(fp, kEigNext, shown(row[position[u]]));
    std::fputc('\n', fp);
  }
  close_output(out);
}

void write_fsc_file(const Analysis &a, const OutputPlace &place, uint32_t N, bool section_headers, const Console &con) {
  N = std::min(N, a.m);
  OutputFile out = open_output(place, ".fsc");
  announce_output(out, con);
  FILE *fp = out.fp;
  const double *root = a.eigen.values.get();
  const int32_t *position = a.components.order.get();

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

void write_sco_file(const Analysis &a, const OutputPlace &place, uint32_t N, uint32_t count, bool centre,
                    const Console &con) {
  OutputFile out = open_output(place, ".sco");
  if (!con.quiet) say(con, "Writing file: %s %u scores\n", out.name.c_str(), count);
  // The count is at most N except when N is 0, where no component exists.
  const ScoreBasis basis = score_basis(a, N, count, centre);
  std::vector<double> scores(basis.count);
  RowCursor cursor = row_cursor(a);
  for (RowRange r; next_rows(cursor, r);) {
    for (uint64_t k = 0; k < r.count; ++k) {
      observation_scores(basis, r[k], scores.data());
      write_line(out.fp, scores.data(), basis.count);
    }
  }
  close_output(out);
}
