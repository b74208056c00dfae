// Per-variable moments and the covariance and correlation matrices, computed
// from the loaded data matrix. Nothing here prints: the variables the
// zero-variance rule touched go back to the caller.
#include "stats.h"

#include <cfloat>
#include <cmath>

#include "messages.h"

// Every result is meant to be the same bits on every machine, which holds
// only while each double operation rounds to double, not to a wider format.
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must be evaluated in double precision");

namespace {

// Variance given to a variable that shows none, so that its standard
// deviation is 0.01 and the later divisions stay finite.
constexpr double kZeroVarianceSubstitute = 0.0001;

// Running sums of x and x^2 per variable, walking dd row by row; each
// variable's sums still receive their terms in observation order.
void sum_columns(const Analysis &a, std::vector<double> &sum, std::vector<double> &sumsq) {
  const uint32_t n = a.n, m = a.m;
  double *__restrict s = sum.data();
  double *__restrict s2 = sumsq.data();
  for (uint32_t k = 0; k < n; ++k) {
    const double *__restrict x = a.data[k];
    for (uint32_t i = 0; i < m; ++i) {
      s[i] = s[i] + x[i];
      s2[i] = s2[i] + x[i] * x[i];
    }
  }
}

// Mean, the one-pass variance (sumsq - sum*sum/n) / (n - 1) and the standard
// deviation. A variance of zero or below is replaced and the variable
// listed; a NaN variance is left alone.
void set_mean_and_variance(Analysis &a, const std::vector<double> &sum,
                           const std::vector<double> &sumsq, Moments &moments) {
  const uint32_t n = a.n, m = a.m;
  const double nd = n;
  const double n1 = static_cast<double>(n - 1);
  for (uint32_t i = 0; i < m; ++i) {
    VariableStats &s = a.stats[i];
    s.mean = sum[i] / nd;
    s.variance = (sumsq[i] - sum[i] * sum[i] / nd) / n1;
    s.constant = s.variance <= 0;
    if (s.constant) {
      moments.constant.push_back(i);
      s.variance = kZeroVarianceSubstitute;
    }
    s.stddev = std::sqrt(s.variance);
  }
}

// One observation's deviations from the means into the third and fourth
// power sums (d3 = (d*d)*d, d4 = d3*d) and into the running means of the
// products, c = c + (di*dj - c) / k, kept in the upper triangle of the
// covariance matrix.
// Walking all pairs of a row before the next row gives every pair its terms
// in observation order, so the sums equal those of a pair-by-pair loop bit
// for bit while the data are read once, in storage order; the inner loop
// runs over contiguous j so it vectorises.
void add_observation(Analysis &a, uint32_t k, const double *__restrict mean, double *__restrict d,
                     double *__restrict s3, double *__restrict s4) {
  const uint32_t m = a.m;
  const double *__restrict x = a.data[k];
  for (uint32_t i = 0; i < m; ++i) d[i] = x[i] - mean[i];
  for (uint32_t i = 0; i < m; ++i) {
    const double d3 = (d[i] * d[i]) * d[i];
    const double d4 = d3 * d[i];
    s3[i] = s3[i] + d3;
    s4[i] = s4[i] + d4;
  }
  const double count = static_cast<double>(k + 1);
  for (uint32_t i = 0; i < m; ++i) {
    double *__restrict acc = a.covariance[i];
    const double di = d[i];
    for (uint32_t j = i; j < m; ++j) acc[j] = acc[j] + (di * d[j] - acc[j]) / count;
  }
}

// Mirrors the covariances into the lower triangle and forms the correlations
// c / (stddev_j * stddev_i), then sets the correlation diagonal to exactly 1.
void finish_matrices(Analysis &a) {
  const uint32_t m = a.m;
  for (uint32_t i = 0; i < m; ++i) {
    for (uint32_t j = i; j < m; ++j) {
      const double c = a.covariance[i][j];
      a.covariance[j][i] = c;
      const double r = c / (a.stats[j].stddev * a.stats[i].stddev);
      a.correlation[i][j] = r;
      a.correlation[j][i] = r;
    }
  }
  for (uint32_t i = 0; i < m; ++i) a.correlation[i][i] = 1.0;
}

}  // namespace

Extremes find_extremes(Analysis &a) {
  const uint32_t n = a.n, m = a.m;
  Extremes e{std::vector<double>(m, DBL_MAX), std::vector<double>(m, -DBL_MAX)};
  if (n == 0) fatal("Too few variables\n");
  double *__restrict lo = e.min.data();
  double *__restrict hi = e.max.data();
  for (uint32_t k = 0; k < n; ++k) {
    const double *x = a.data[k];
    for (uint32_t i = 0; i < m; ++i) {
      if (x[i] < lo[i]) lo[i] = x[i];
      if (x[i] > hi[i]) hi[i] = x[i];
    }
  }
  for (uint32_t i = 0; i < m; ++i) {
    a.stats[i].min = lo[i];
    a.stats[i].max = hi[i];
  }
  return e;
}

Moments compute_moments(Analysis &a, [[maybe_unused]] const Extremes &extremes) {
  const uint32_t n = a.n, m = a.m;
  Moments moments;
  std::vector<double> sum(m, 0.0), sumsq(m, 0.0);
  sum_columns(a, sum, sumsq);
  set_mean_and_variance(a, sum, sumsq, moments);

  std::vector<double> mean(m), s3(m, 0.0), s4(m, 0.0);
  for (uint32_t i = 0; i < m; ++i) mean[i] = a.stats[i].mean;
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = i; j < m; ++j) a.covariance[i][j] = 0.0;
  std::vector<double> dev(m);
  for (uint32_t k = 0; k < n; ++k) add_observation(a, k, mean.data(), dev.data(), s3.data(), s4.data());

  // Skewness m3 / s^3 and excess curtosis m4 / s^4 - 3, where the central
  // moments divide by n and s comes from the n - 1 variance.
  const double nd = n;
  for (uint32_t i = 0; i < m; ++i) {
    VariableStats &s = a.stats[i];
    s.skewness = s3[i] / (nd * s.variance * s.stddev);
    s.curtosis = s4[i] / (nd * s.variance * s.variance) - 3;
  }
  finish_matrices(a);
  return moments;
}
