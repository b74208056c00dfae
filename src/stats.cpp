// Per-variable moments and the covariance and correlation matrices, computed
// from the loaded data matrix dd. The order statistics live in orderstats.cpp,
// the writers of the results in statsout.cpp, matrixout.cpp and tetrad.cpp.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <vector>

#include "messages.h"
#include "stats.h"
#include "vantor.h"

namespace {

// Variance given to a variable that shows none, so that its standard
// deviation is 0.01 and the later divisions stay finite.
constexpr double kZeroVarianceSubstitute = 0.0001;

// Running sums of x and x^2 per variable, walking dd row by row; each
// variable's sums still receive their terms in observation order.
void sum_columns(uint32_t n, uint32_t m, std::vector<double> &sum, std::vector<double> &sumsq) {
  double *__restrict s = sum.data();
  double *__restrict s2 = sumsq.data();
  for (uint32_t k = 0; k < n; ++k) {
    const double *__restrict x = dd[k];
    for (uint32_t i = 0; i < m; ++i) {
      s[i] = s[i] + x[i];
      s2[i] = s2[i] + x[i] * x[i];
    }
  }
}

// Mean, the one-pass variance (sumsq - sum*sum/n) / (n - 1) and the standard
// deviation. A variance of zero or below is replaced and the variable listed
// in the warning line; a NaN variance is left alone. Returns true when the
// warning was begun.
bool set_mean_and_variance(uint32_t n, uint32_t m, const std::vector<double> &sum,
                           const std::vector<double> &sumsq) {
  const double nd = n;
  const double n1 = static_cast<double>(n - 1);
  bool warned = false;
  for (uint32_t i = 0; i < m; ++i) {
    VariableStats &s = v[i];
    s.mean = sum[i] / nd;
    s.variance = (sumsq[i] - sum[i] * sum[i] / nd) / n1;
    if (s.variance <= 0) {
      if (!warned) std::printf("\nWARNING! Variable(s)\a");
      warned = true;
      std::printf(" %d", static_cast<int>(i + 1));
      s.variance = kZeroVarianceSubstitute;
    }
    s.stddev = std::sqrt(s.variance);
  }
  return warned;
}

// One observation's deviations from the means into the third and fourth
// power sums (d3 = (d*d)*d, d4 = d3*d) and into the running means of the
// products, c = c + (di*dj - c) / k, kept in the upper triangle of ccov.
// Walking all pairs of a row before the next row gives every pair its terms
// in observation order, so the sums equal those of a pair-by-pair loop bit
// for bit while dd is read once, in storage order; the inner loop runs over
// contiguous j so it vectorises.
void add_observation(uint32_t k, uint32_t m, const double *__restrict mean, double *__restrict d,
                     double *__restrict s3, double *__restrict s4) {
  const double *__restrict x = dd[k];
  for (uint32_t i = 0; i < m; ++i) d[i] = x[i] - mean[i];
  for (uint32_t i = 0; i < m; ++i) {
    const double d3 = (d[i] * d[i]) * d[i];
    const double d4 = d3 * d[i];
    s3[i] = s3[i] + d3;
    s4[i] = s4[i] + d4;
  }
  const double count = static_cast<double>(k + 1);
  for (uint32_t i = 0; i < m; ++i) {
    double *__restrict acc = ccov[i];
    const double di = d[i];
    for (uint32_t j = i; j < m; ++j) acc[j] = acc[j] + (di * d[j] - acc[j]) / count;
  }
}

// Mirrors the covariances into the lower triangle and forms the correlations
// c / (stddev_j * stddev_i).
void finish_matrices(uint32_t m) {
  for (uint32_t i = 0; i < m; ++i) {
    for (uint32_t j = i; j < m; ++j) {
      const double c = ccov[i][j];
      ccov[j][i] = c;
      const double r = c / (v[j].stddev * v[i].stddev);
      cc[i][j] = r;
      cc[j][i] = r;
    }
  }
}

}  // namespace

void find_extremes(uint32_t n, uint32_t m) {
  for (uint32_t i = 0; i < m; ++i) {
    v[i].min = DBL_MAX;
    v[i].max = -DBL_MAX;
  }
  if (n == 0) fatal("Too few variables\n");
  for (uint32_t k = 0; k < n; ++k) {
    const double *x = dd[k];
    for (uint32_t i = 0; i < m; ++i) {
      if (x[i] < v[i].min) v[i].min = x[i];
      if (x[i] > v[i].max) v[i].max = x[i];
    }
  }
}

void compute_moments(uint32_t n, uint32_t m) {
  if (m == 0) return;
  std::vector<double> sum(m, 0.0), sumsq(m, 0.0);
  sum_columns(n, m, sum, sumsq);
  const bool warned = set_mean_and_variance(n, m, sum, sumsq);

  std::vector<double> mean(m), s3(m, 0.0), s4(m, 0.0);
  for (uint32_t i = 0; i < m; ++i) mean[i] = v[i].mean;
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = i; j < m; ++j) ccov[i][j] = 0.0;
  std::vector<double> dev(m);
  for (uint32_t k = 0; k < n; ++k) add_observation(k, m, mean.data(), dev.data(), s3.data(), s4.data());

  // Skewness m3 / s^3 and excess curtosis m4 / s^4 - 3, where the central
  // moments divide by n and s comes from the n - 1 variance.
  const double nd = n;
  for (uint32_t i = 0; i < m; ++i) {
    VariableStats &s = v[i];
    s.skewness = s3[i] / (nd * s.variance * s.stddev);
    s.curtosis = s4[i] / (nd * s.variance * s.variance) - 3;
  }
  finish_matrices(m);
  for (uint32_t i = 0; i < m; ++i) v[i].no = i + 1;
  if (warned) std::printf(" has no Std.Dev. Modifies...\n");
}

void set_unit_diagonal(uint32_t m) {
  for (uint32_t i = 0; i < m; ++i) cc[i][i] = 1.0;
}
