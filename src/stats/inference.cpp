// The correlation tests of every pair and their adjustment over the matrix,
// following R's cor.test and p.adjust step by step so that the figures
// agree to the last digits.
#include "stats/inference.h"

#include "stats/distributions.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "record/rowspill.h"

namespace {

// 2 * min(lower, upper) tail of Student's t at `t`, at most 1.
double two_sided_t(double t, double df) {
  const boost::math::students_t dist(df);
  if (std::isinf(t)) return 0;
  const double lower = boost::math::cdf(dist, t);
  const double upper = boost::math::cdf(boost::math::complement(dist, t));
  return std::min(1.0, 2 * std::min(lower, upper));
}

double two_sided_normal(double z) {
  const boost::math::normal dist;
  if (std::isinf(z)) return 0;
  const double lower = boost::math::cdf(dist, z);
  const double upper = boost::math::cdf(boost::math::complement(dist, z));
  return std::min(1.0, 2 * std::min(lower, upper));
}

bool constant_pair(const Analysis &a, uint32_t i, uint32_t j) {
  return a.stats[i].constant || a.stats[j].constant;
}

}  // namespace

double pearson_p(double r, uint64_t n) {
  if (n < 3 || std::isnan(r)) return std::nan("");
  const double df = static_cast<double>(n - 2);
  return two_sided_t(std::sqrt(df) * r / std::sqrt(1 - r * r), df);
}

double spearman_p(double rho, uint64_t n) {
  if (n < 3 || std::isnan(rho)) return std::nan("");
  // R goes through the statistic q = (n^3 - n)(1 - rho)/6 and back.
  const double nd = static_cast<double>(n);
  const double q = (nd * nd * nd - nd) * (1 - rho) / 6;
  const double r = 1 - q / ((nd * (nd * nd - 1)) / 6);
  return two_sided_t(r / std::sqrt((1 - r * r) / (nd - 2)), nd - 2);
}

double kendall_p(double tau, uint64_t n, const TieSums &x, const TieSums &y) {
  if (n < 3 || std::isnan(tau)) return std::nan("");
  const double nd = static_cast<double>(n);
  const double t0 = nd * (nd - 1) / 2;
  const double s = tau * std::sqrt((t0 - x.pairs) * (t0 - y.pairs));
  const double v0 = nd * (nd - 1) * (2 * nd + 5);
  const double var_s = (v0 - x.v - y.v) / 18 + x.two * y.two / (2 * nd * (nd - 1)) +
                       x.three * y.three / (9 * nd * (nd - 1) * (nd - 2));
  return two_sided_normal(s / std::sqrt(var_s));
}

Interval fisher_interval(double r, uint64_t n, double level) {
  if (n < 4 || std::isnan(r)) return {std::nan(""), std::nan("")};
  const double z = std::atanh(r);
  const double sigma = 1 / std::sqrt(static_cast<double>(n) - 3);
  const double q = boost::math::quantile(boost::math::normal(), (1 + level) / 2);
  return {std::tanh(z + -1 * sigma * q), std::tanh(z + 1 * sigma * q)};
}

// R: o <- order(p); pmin(1, cummax((n - i + 1) * p[o]))[order(o)].
std::vector<double> holm_adjust(const std::vector<double> &p) {
  std::vector<size_t> o;
  for (size_t k = 0; k < p.size(); ++k)
    if (!std::isnan(p[k])) o.push_back(k);
  std::stable_sort(o.begin(), o.end(), [&p](size_t a, size_t b) { return p[a] < p[b]; });
  std::vector<double> out(p.size(), std::nan(""));
  const double n = static_cast<double>(o.size());
  double high = 0;
  for (size_t i = 0; i < o.size(); ++i) {
    high = std::max(high, (n - static_cast<double>(i)) * p[o[i]]);
    out[o[i]] = std::min(1.0, high);
  }
  return out;
}

// R: i <- n:1; o <- order(p, decreasing = TRUE); pmin(1, cummin(n / i * p[o]))[order(o)].
std::vector<double> bh_adjust(const std::vector<double> &p) {
  std::vector<size_t> o;
  for (size_t k = 0; k < p.size(); ++k)
    if (!std::isnan(p[k])) o.push_back(k);
  std::stable_sort(o.begin(), o.end(), [&p](size_t a, size_t b) { return p[a] > p[b]; });
  std::vector<double> out(p.size(), std::nan(""));
  const double n = static_cast<double>(o.size());
  double low = INFINITY;
  for (size_t k = 0; k < o.size(); ++k) {
    const double i = n - static_cast<double>(k);
    low = std::min(low, n / i * p[o[k]]);
    out[o[k]] = std::min(1.0, low);
  }
  return out;
}

std::vector<uint64_t> pair_counts(const Analysis &a) {
  const uint32_t m = a.m;
  std::vector<uint64_t> count(uint64_t{m} * m, 0);
  RowCursor rows = row_cursor(a);
  for (RowRange r; next_rows(rows, r);)
    for (uint64_t k = 0; k < r.count; ++k) {
      const double *row = r[k];
      for (uint32_t i = 0; i < m; ++i) {
        if (std::isnan(row[i])) continue;
        for (uint32_t j = i; j < m; ++j) count[uint64_t{i} * m + j] += std::isnan(row[j]) ? 0 : 1;
      }
    }
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = 0; j < i; ++j) count[uint64_t{i} * m + j] = count[uint64_t{j} * m + i];
  return count;
}

void compute_pair_tests(Analysis &a, const std::vector<uint64_t> &counts,
                        const std::vector<TieSums> &ties) {
  const uint64_t m = a.m, cells = m * m;
  PairTests t;
  t.count = counts.empty() ? std::vector<uint64_t>(cells, a.n) : counts;
  t.p.assign(cells, std::nan(""));
  const bool pearson = a.rank == RankMethod::none;
  if (pearson) {
    t.low.assign(cells, std::nan(""));
    t.high.assign(cells, std::nan(""));
  }
  std::vector<double> upper;  // the p-values of the upper triangle, row by row
  for (uint32_t i = 0; i < m; ++i) {
    for (uint32_t j = i + 1; j < m; ++j) {
      const uint64_t n = t.count[i * m + j];
      const double r = a.correlation[i][j];
      double p = std::nan("");
      if (!constant_pair(a, i, j)) {
        if (a.rank == RankMethod::spearman) p = spearman_p(r, n);
        if (a.rank == RankMethod::kendall) p = kendall_p(r, n, ties[i], ties[j]);
        if (pearson) {
          p = pearson_p(r, n);
          const Interval ci = fisher_interval(r, n, a.level);
          t.low[i * m + j] = t.low[j * m + i] = ci.low;
          t.high[i * m + j] = t.high[j * m + i] = ci.high;
        }
      }
      t.p[i * m + j] = t.p[j * m + i] = p;
      upper.push_back(p);
    }
  }
  const std::vector<double> holm = holm_adjust(upper), bh = bh_adjust(upper);
  t.p_holm.assign(cells, std::nan(""));
  t.p_bh.assign(cells, std::nan(""));
  size_t k = 0;
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = i + 1; j < m; ++j, ++k) {
      t.p_holm[i * m + j] = t.p_holm[j * m + i] = holm[k];
      t.p_bh[i * m + j] = t.p_bh[j * m + i] = bh[k];
    }
  a.tests = std::move(t);
}
