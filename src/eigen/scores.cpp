// Factor-score coefficients and component scores, with the run-wide
// adjustment of the scores count. The ".fsc" and ".sco" files that show
// them are written in output/componentsout.cpp.
#include "eigen/scores.h"

#include <algorithm>

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
  const double total = a.eigen.total;
  const double *root = a.eigen.values.get();
  const int32_t *position = a.components.order.get();
  std::vector<double> coef(static_cast<uint64_t>(N) * cols);
  for (uint32_t col = 0; col < cols; ++col) {
    const uint32_t p = static_cast<uint32_t>(position[col]);
    const double share = root[p] / total;
    for (uint32_t j = 0; j < N; ++j)
      coef[j * uint64_t{cols} + col] = a.components.loadings[j * stride + p] / share / 100;
  }
  return coef;
}

uint32_t adjusted_scores_count(uint32_t count, uint32_t N, bool allscores) {
  if (N < count || allscores) count = N;
  return count == 0 ? 3 : count;
}

ScoreBasis score_basis(const Analysis &a, uint32_t N, uint32_t count, bool centre) {
  N = std::min(N, a.m);
  count = std::min(count, N);
  ScoreBasis basis{N, count, centre, score_coefficients(a, N, count), {}, {}};
  for (uint32_t j = 0; j < N; ++j) {
    basis.mean.push_back(a.stats[j].mean);
    basis.stddev.push_back(a.stats[j].stddev);
  }
  return basis;
}

// The sums of one row are formed side by side over the scores, each still
// in order of j, so any count gives every score the same bits.
void observation_scores(const ScoreBasis &basis, const double *row, double *scores) {
  const uint32_t N = basis.variables, nr = basis.count;
  std::fill(scores, scores + nr, 0.0);
  for (uint32_t j = 0; j < N; ++j) {
    const double z = basis.centre ? (row[j] - basis.mean[j]) / basis.stddev[j]
                                  : row[j] / basis.stddev[j];
    const double *cj = basis.coefficients.data() + j * uint64_t{nr};
    for (uint32_t col = 0; col < nr; ++col) scores[col] += cj[col] * z;
  }
}
