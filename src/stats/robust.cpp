// Per-variable intervals and robust measures over a column's sorted copy.
// Each follows R's code (quantile type 7, mean(trim =), mad, t.test's
// interval) so that the figures agree to the last digits.
#include "stats/robust.h"

#include "stats/distributions.h"

#include <algorithm>
#include <cmath>

#include "record/rowspill.h"
#include "stats/normality.h"
#include "stats/selection.h"
#include "stats/stats.h"

namespace {

// R's median of ascending values: the middle one, or the mean of the two.
double sorted_median(const std::vector<double> &v) {
  const size_t n = v.size(), half = (n + 1) / 2;
  if (n % 2 == 1) return v[half - 1];
  return r_mean(v.data() + half - 1, 2);
}

// The same median of values in any order, by selection: the middle one, or
// the mean of the two middle ones. Reorders `v`.
double selected_median(std::vector<double> &v) {
  const size_t n = v.size(), half = (n + 1) / 2;
  select_nth(v.data(), v.data() + (half - 1), v.data() + n);
  if (n % 2 == 1) return v[half - 1];
  const double pair[2] = {v[half - 1], *std::min_element(v.begin() + half, v.end())};
  return r_mean(pair, 2);
}

std::vector<double> present_values(const Analysis &a, uint32_t i) {
  std::vector<double> v;
  v.reserve(values_used(a, i));
  RowCursor cursor = row_cursor(a);
  for (RowRange r; next_rows(cursor, r);)
    for (uint64_t k = 0; k < r.count; ++k)
      if (!std::isnan(r[k][i])) v.push_back(r[k][i]);
  return v;
}

}  // namespace

double r_mean(const double *x, size_t n) {
  long double s = 0;
  for (size_t k = 0; k < n; ++k) s += x[k];
  s /= static_cast<long double>(n);
  if (std::isfinite(static_cast<double>(s))) {
    long double t = 0;
    for (size_t k = 0; k < n; ++k) t += x[k] - s;
    s += t / static_cast<long double>(n);
  }
  return static_cast<double>(s);
}

double quantile_type7(const std::vector<double> &sorted, double p) {
  const double index = 1 + static_cast<double>(sorted.size() - 1) * p;
  const double lo = std::floor(index), hi = std::ceil(index);
  const double at_lo = sorted[static_cast<size_t>(lo) - 1];
  const double at_hi = sorted[static_cast<size_t>(hi) - 1];
  if (!(index > lo && at_hi != at_lo)) return at_lo;
  const double h = index - lo;
  return (1 - h) * at_lo + h * at_hi;
}

double trimmed_mean(const std::vector<double> &sorted, double trim) {
  const size_t n = sorted.size();
  const size_t lo = static_cast<size_t>(std::floor(static_cast<double>(n) * trim)) + 1;
  const size_t hi = n + 1 - lo;
  return r_mean(sorted.data() + lo - 1, hi - lo + 1);
}

double median_absolute_deviation(const std::vector<double> &sorted) {
  const double centre = sorted_median(sorted);
  std::vector<double> d(sorted.size());
  for (size_t k = 0; k < d.size(); ++k) d[k] = std::fabs(sorted[k] - centre);
  return 1.4826 * selected_median(d);
}

RobustStats robust_stats(const std::vector<double> &values, double mean, double variance,
                         double level) {
  const double none = std::nan("");
  RobustStats s{none, none, none, none, none, none, none, none, none, none, none};
  const size_t n = values.size();
  if (n == 0) return s;
  if (n >= 2) {
    // t.test: the interval (mean / se -/+ q) * se.
    s.standard_error = std::sqrt(variance / static_cast<double>(n));
    const double q =
        boost::math::quantile(boost::math::students_t(static_cast<double>(n - 1)), (1 + level) / 2);
    const double t = mean / s.standard_error;
    s.mean_low = (t - q) * s.standard_error;
    s.mean_high = (t + q) * s.standard_error;
    if (s.standard_error == 0) s.mean_low = s.mean_high = mean;
  }
  s.trimmed_10 = trimmed_mean(values, 0.1);
  s.trimmed_20 = trimmed_mean(values, 0.2);
  s.mad = median_absolute_deviation(values);
  s.iqr = quantile_type7(values, 0.75) - quantile_type7(values, 0.25);
  s.p1 = quantile_type7(values, 0.01);
  s.p5 = quantile_type7(values, 0.05);
  s.p95 = quantile_type7(values, 0.95);
  s.p99 = quantile_type7(values, 0.99);
  return s;
}

std::vector<size_t> robust_positions(size_t n) {
  std::vector<size_t> at;
  if (n == 0) return at;
  const size_t half = (n + 1) / 2;
  at.push_back(half - 1);
  if (n % 2 == 0) at.push_back(half);
  for (double p : {0.01, 0.05, 0.25, 0.75, 0.95, 0.99}) {
    const double index = 1 + static_cast<double>(n - 1) * p;
    at.push_back(static_cast<size_t>(std::floor(index)) - 1);
    at.push_back(static_cast<size_t>(std::ceil(index)) - 1);
  }
  for (double trim : {0.1, 0.2}) {
    const size_t lo = static_cast<size_t>(std::floor(static_cast<double>(n) * trim)) + 1;
    at.push_back(lo - 1);
    at.push_back(n - lo);
  }
  std::sort(at.begin(), at.end());
  at.erase(std::unique(at.begin(), at.end()), at.end());
  return at;
}

namespace {

// Places the order statistics at positions [first, last) of the ascending
// list, the middle one first, then each side's within its part.
void select_range(double *begin, double *end, const size_t *first, const size_t *last,
                  double *base) {
  if (first == last) return;
  const size_t *middle = first + (last - first) / 2;
  double *at = base + *middle;
  select_nth(begin, at, end);
  select_range(begin, at, first, middle, base);
  select_range(at + 1, end, middle + 1, last, base);
}

}  // namespace

void select_order_statistics(std::vector<double> &values, const std::vector<size_t> &positions) {
  select_range(values.data(), values.data() + values.size(), positions.data(),
               positions.data() + positions.size(), values.data());
}

void compute_robust_stats(Analysis &a, Workers &w) {
  a.robust.assign(a.m, RobustStats{});
  a.normality.assign(a.m, NormalityTest{});
  // A spilled file is read one column at a time: one copy of a column is
  // the most this adds to the memory the passes keep within.
  w.run(
      a.m,
      [&](uint32_t i, uint32_t) {
        const VariableStats v = shown_stats(a, i);
        std::vector<double> values = present_values(a, i);
        // Shapiro-Wilk reads every value in order; past its 5000 values the
        // measures need only their order statistics, selected in linear time.
        if (values.size() <= kShapiroWilkMost)
          std::sort(values.begin(), values.end());
        else
          select_order_statistics(values, robust_positions(values.size()));
        a.robust[i] = robust_stats(values, v.mean, v.variance, a.level);
        a.normality[i] = normality_test(values);
      },
      a.spill ? 1 : 0);
}
