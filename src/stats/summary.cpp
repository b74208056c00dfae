// Mergeable summaries: one block's sums, the pairwise combination of two and
// the record finished from one. The formulas are those of doc/formats.md,
// "Summaries of parts".
#include "stats/summary.h"

#include <cmath>

#include "stats/stats.h"

Summary empty_summary(uint32_t m) {
  Summary s;
  s.m = m;
  s.min.assign(m, HUGE_VAL);
  s.max.assign(m, -HUGE_VAL);
  s.mean.assign(m, 0.0);
  s.m2.assign(m, 0.0);
  s.m3.assign(m, 0.0);
  s.m4.assign(m, 0.0);
  s.comoment.assign(size_t{m} * m, 0.0);
  return s;
}

Summary summarise_rows(const double *rows, uint64_t n, uint32_t m, uint64_t stride) {
  Summary s = empty_summary(m);
  s.n = n;
  if (n == 0) return s;
  for (uint64_t r = 0; r < n; ++r) {
    const double *x = rows + r * stride;
    for (uint32_t j = 0; j < m; ++j) {
      s.mean[j] += x[j];
      s.min[j] = std::fmin(s.min[j], x[j]);
      s.max[j] = std::fmax(s.max[j], x[j]);
    }
  }
  for (uint32_t j = 0; j < m; ++j) s.mean[j] /= static_cast<double>(n);
  // Deviations from the rounded mean; their own sum c (not quite zero) moves
  // the centre to the exact mean of the block by the binomial shift.
  std::vector<double> d(m), s1(m, 0.0);
  for (uint64_t r = 0; r < n; ++r) {
    const double *x = rows + r * stride;
    for (uint32_t j = 0; j < m; ++j) {
      d[j] = x[j] - s.mean[j];
      const double d2 = d[j] * d[j];
      s1[j] += d[j];
      s.m2[j] += d2;
      s.m3[j] += d2 * d[j];
      s.m4[j] += d2 * d2;
    }
    for (uint32_t i = 0; i < m; ++i) {
      double *row = s.comoment.data() + size_t{i} * m;
      for (uint32_t j = i; j < m; ++j) row[j] += d[i] * d[j];
    }
  }
  const double nd = static_cast<double>(n);
  for (uint32_t j = 0; j < m; ++j) {
    const double c = s1[j] / nd;
    shift_power_sums(c, nd, s.m2[j], s.m3[j], s.m4[j]);
    s.m2[j] = s.m2[j] - nd * c * c;
    s.mean[j] += c;
  }
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = i; j < m; ++j) {
      double &v = s.comoment[size_t{i} * m + j];
      v -= nd * (s1[i] / nd) * (s1[j] / nd);
      s.comoment[size_t{j} * m + i] = v;
    }
  return s;
}

Summary merge_summaries(const Summary &a, const Summary &b) {
  if (b.n == 0) return a;
  if (a.n == 0) return b;
  const uint32_t m = a.m;
  Summary s = empty_summary(m);
  s.n = a.n + b.n;
  const double na = static_cast<double>(a.n), nb = static_cast<double>(b.n);
  const double n = na + nb;
  std::vector<double> delta(m);
  for (uint32_t j = 0; j < m; ++j) {
    const double d = b.mean[j] - a.mean[j];
    const double d2 = d * d;
    delta[j] = d;
    s.min[j] = std::fmin(a.min[j], b.min[j]);
    s.max[j] = std::fmax(a.max[j], b.max[j]);
    s.mean[j] = a.mean[j] + d * (nb / n);
    s.m2[j] = a.m2[j] + b.m2[j] + d2 * (na * nb / n);
    s.m3[j] = a.m3[j] + b.m3[j] + d2 * d * (na * nb * (na - nb) / (n * n)) +
              3 * d * (na * b.m2[j] - nb * a.m2[j]) / n;
    s.m4[j] = a.m4[j] + b.m4[j] +
              d2 * d2 * (na * nb * (na * na - na * nb + nb * nb) / (n * n * n)) +
              6 * d2 * (na * na * b.m2[j] + nb * nb * a.m2[j]) / (n * n) +
              4 * d * (na * b.m3[j] - nb * a.m3[j]) / n;
  }
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = 0; j < m; ++j) {
      const size_t k = size_t{i} * m + j;
      s.comoment[k] = a.comoment[k] + b.comoment[k] + delta[i] * delta[j] * (na * nb / n);
    }
  return s;
}

Moments finish_summary(const Summary &s, Analysis &a) {
  Moments moments;
  const uint32_t m = s.m;
  a.n = static_cast<uint32_t>(s.n);
  a.m = m;
  const double nd = static_cast<double>(s.n);
  const double n1 = static_cast<double>(s.n - 1);
  for (uint32_t j = 0; j < m; ++j) {
    VariableStats &v = a.stats[j];
    v.min = s.min[j];
    v.max = s.max[j];
    v.mean = s.mean[j];
    v.variance = s.m2[j] / n1;
    v.constant = (v.min == v.max && !std::isnan(v.variance)) || v.variance <= 0;
    if (v.constant) {
      moments.constant.push_back(j);
      v.variance = kZeroVarianceSubstitute;
    }
    v.stddev = std::sqrt(v.variance);
    v.skewness = v.constant ? 0 : s.m3[j] / (nd * v.variance * v.stddev);
    v.curtosis = v.constant ? -3 : s.m4[j] / (nd * v.variance * v.variance) - 3;
  }
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = 0; j < m; ++j) {
      const double c = s.comoment[size_t{i} * m + j] / nd;
      a.covariance[i][j] = c;
      a.correlation[i][j] = i == j ? 1.0 : c / (a.stats[j].stddev * a.stats[i].stddev);
    }
  return moments;
}
