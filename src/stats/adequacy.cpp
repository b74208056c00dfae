// Bartlett's test and the KMO measures from the Cholesky factor of the
// correlation matrix: ln|R| from its diagonal, the partial correlations
// from the inverse it gives. The sums run in index order (no long double),
// so the figures are the same bits on every machine.
#include "stats/adequacy.h"

#include "stats/distributions.h"

#include <cmath>
#include <string>

#include "stats/cholesky.h"

namespace {

// A pivot at most this share of its diagonal is a variable that the others
// make up: a singular matrix, whose inverse would be rounding noise.
constexpr double kSingular = 1e-12;

// Chi-square = -ln|R| (n - 1 - (2m + 5) / 6), upper tail with m (m - 1) / 2
// degrees of freedom; a negative statistic (n too small) has p = 1, as R's
// pchisq gives.
void bartlett(SamplingAdequacy &s, double log_det, uint32_t m) {
  const double factor = static_cast<double>(s.n) - 1 - (2.0 * m + 5) / 6;
  s.chi_square = -log_det * factor + 0.0;  // + 0.0: no -0 for a unit matrix
  if (!(s.chi_square > 0)) {
    s.p_value = std::isnan(s.chi_square) ? s.chi_square : 1.0;
    return;
  }
  const boost::math::chi_squared dist(static_cast<double>(s.df));
  s.p_value = boost::math::cdf(boost::math::complement(dist, s.chi_square));
}

// psych's KMO: the inverse Q scaled to unit diagonal (cov2cor), then for
// the off-diagonal cells MSA = sum r^2 / (sum r^2 + sum q^2), overall and
// per column.
void kaiser_meyer_olkin(SamplingAdequacy &s, const std::vector<double> &r,
                        const std::vector<double> &q, uint32_t m) {
  std::vector<double> is(m);
  for (uint32_t i = 0; i < m; ++i) is[i] = std::sqrt(1 / q[uint64_t{i} * m + i]);
  double all_r = 0, all_q = 0;
  for (uint32_t j = 0; j < m; ++j) {
    double col_r = 0, col_q = 0;
    for (uint32_t i = 0; i < m; ++i) {
      if (i == j) continue;
      const uint64_t at = uint64_t{i} * m + j;
      const double partial = is[i] * q[at] * is[j];
      col_r += r[at] * r[at];
      col_q += partial * partial;
    }
    s.msa[j] = col_r / (col_r + col_q);
    all_r += col_r;
    all_q += col_q;
  }
  s.kmo = all_r / (all_r + all_q);
}

// Why the matrix gives no figures, or empty.
std::string refusal(const Analysis &a) {
  if (a.m < 2) return "one variable: nothing is correlated";
  for (uint32_t i = 0; i < a.m; ++i) {
    const std::string column = std::to_string(a.variable_to_file[i] + 1);
    if (a.stats[i].constant) return "the variable in column " + column + " is constant";
    for (uint32_t j = 0; j < a.m; ++j)
      if (std::isnan(a.correlation[i][j]))
        return "a correlation of the variable in column " + column + " is not a number";
  }
  return "";
}

}  // namespace

SamplingAdequacy sampling_adequacy(const Analysis &a) {
  const uint32_t m = a.m;
  SamplingAdequacy s;
  s.n = stated_sample_size(a);
  s.df = uint64_t{m} * (m - (m > 0 ? 1 : 0)) / 2;
  s.chi_square = s.p_value = s.kmo = std::nan("");
  s.msa.assign(m, std::nan(""));
  s.reason = refusal(a);
  if (!s.reason.empty()) return s;
  std::vector<double> r(uint64_t{m} * m);
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = 0; j < m; ++j) r[uint64_t{i} * m + j] = a.correlation[i][j];
  const std::vector<double> lower = cholesky(r, m, kSingular);
  if (lower.empty()) {
    s.reason = "the correlation matrix is singular or not positive definite";
    return s;
  }
  bartlett(s, log_determinant(lower, m), m);
  std::vector<double> unit(uint64_t{m} * m, 0.0);
  for (uint32_t i = 0; i < m; ++i) unit[uint64_t{i} * m + i] = 1;
  kaiser_meyer_olkin(s, r, cholesky_solve(lower, m, std::move(unit), m), m);
  if (std::isnan(s.kmo)) s.reason = "no variable is correlated with another: no KMO measure";
  return s;
}
