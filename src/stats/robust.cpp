// Per-variable intervals and robust measures over a column's sorted copy,
// or over a table in parts from its order statistics and sums. Each
// follows R's code (quantile type 7, mean(trim =), mad, t.test's interval)
// so that the figures agree to the last digits.
#include "stats/robust.h"

#include "stats/distributions.h"

#include <algorithm>
#include <cmath>

#include "record/rowspill.h"
#include "stats/normality.h"
#include "stats/orderstats.h"
#include "stats/stats.h"

namespace {

// R's median of n ascending values, read through `at`: the middle one, or
// the mean of the two.
template <class Sorted>
double median_of(const Sorted &at, size_t n) {
  const size_t half = (n + 1) / 2;
  if (n % 2 == 1) return at[half - 1];
  const double pair[2] = {at[half - 1], at[half]};
  return r_mean(pair, 2);
}

// R's quantile(type = 7) of n ascending values read through `at`.
template <class Sorted>
double quantile_of(const Sorted &at, size_t n, double p) {
  const double index = 1 + static_cast<double>(n - 1) * p;
  const double lo = std::floor(index), hi = std::ceil(index);
  const double at_lo = at[static_cast<size_t>(lo) - 1];
  const double at_hi = at[static_cast<size_t>(hi) - 1];
  if (!(index > lo && at_hi != at_lo)) return at_lo;
  const double h = index - lo;
  return (1 - h) * at_lo + h * at_hi;
}

// t.test's standard error and interval (mean / se -/+ q) * se; not numbers
// below two values.
void set_interval(RobustStats &s, size_t n, double mean, double variance, double level) {
  if (n < 2) return;
  s.standard_error = std::sqrt(variance / static_cast<double>(n));
  const double q =
      boost::math::quantile(boost::math::students_t(static_cast<double>(n - 1)), (1 + level) / 2);
  const double t = mean / s.standard_error;
  s.mean_low = (t - q) * s.standard_error;
  s.mean_high = (t + q) * s.standard_error;
  if (s.standard_error == 0) s.mean_low = s.mean_high = mean;
}

// The IQR and the percentiles of n ascending values read through `at`.
template <class Sorted>
void set_quantiles(RobustStats &s, const Sorted &at, size_t n) {
  s.iqr = quantile_of(at, n, 0.75) - quantile_of(at, n, 0.25);
  s.p1 = quantile_of(at, n, 0.01);
  s.p5 = quantile_of(at, n, 0.05);
  s.p95 = quantile_of(at, n, 0.95);
  s.p99 = quantile_of(at, n, 0.99);
}

RobustStats no_robust_stats() {
  const double none = std::nan("");
  return RobustStats{none, none, none, none, none, none, none, none, none, none, none};
}

// The same median of values in any order, by selection: the middle one, or
// the mean of the two middle ones. Reorders `v`.
double selected_median(std::vector<double> &v) {
  const size_t n = v.size(), half = (n + 1) / 2;
  std::nth_element(v.begin(), v.begin() + (half - 1), v.end());
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
  return quantile_of(sorted, sorted.size(), p);
}

std::pair<size_t, size_t> trim_bounds(size_t n, double trim) {
  const size_t g = static_cast<size_t>(std::floor(static_cast<double>(n) * trim));
  return {g, n - 1 - g};
}

double trimmed_mean(const std::vector<double> &sorted, double trim) {
  const auto [first, last] = trim_bounds(sorted.size(), trim);
  return r_mean(sorted.data() + first, last - first + 1);
}

double median_absolute_deviation(const std::vector<double> &sorted) {
  const double centre = median_of(sorted, sorted.size());
  std::vector<double> d(sorted.size());
  for (size_t k = 0; k < d.size(); ++k) d[k] = std::fabs(sorted[k] - centre);
  return 1.4826 * selected_median(d);
}

RobustStats robust_stats(const std::vector<double> &values, double mean, double variance,
                         double level) {
  RobustStats s = no_robust_stats();
  const size_t n = values.size();
  if (n == 0) return s;
  set_interval(s, n, mean, variance, level);
  s.trimmed_10 = trimmed_mean(values, kTrims[0]);
  s.trimmed_20 = trimmed_mean(values, kTrims[1]);
  s.mad = median_absolute_deviation(values);
  set_quantiles(s, values, n);
  return s;
}

std::vector<size_t> median_positions(size_t n) {
  const size_t half = (n + 1) / 2;
  if (n % 2 == 1) return {half - 1};
  return {half - 1, half};
}

double robust_centre(uint64_t n, const std::vector<uint64_t> &positions,
                     const std::vector<double> &values) {
  return median_of(KnownPositions{positions, values}, n);
}

double trimmed_mean_of_parts(uint64_t n, double trim, double low, double high, const TrimSums &t) {
  const auto [first, last] = trim_bounds(n, trim);
  const uint64_t kept = last - first + 1;
  // Positions first .. last hold the values strictly between the two
  // bounds, the copies of `low` from `first` up to the last value <= low,
  // and the copies of `high` after them.
  const uint64_t lows = low == high ? kept : t.at_or_below_low - first;
  const uint64_t highs = low == high ? 0 : kept - t.between - lows;
  const long double sum =
      t.sum + static_cast<long double>(lows) * low + static_cast<long double>(highs) * high;
  return static_cast<double>(sum / static_cast<long double>(kept));
}

RobustStats robust_stats_of_parts(uint64_t n, const std::vector<uint64_t> &positions,
                                  const std::vector<double> &values, const RobustParts &p,
                                  double mean, double variance, double level) {
  RobustStats s = no_robust_stats();
  if (n == 0) return s;
  const KnownPositions at{positions, values};
  set_interval(s, n, mean, variance, level);
  double *trimmed[2] = {&s.trimmed_10, &s.trimmed_20};
  for (size_t k = 0; k < 2; ++k) {
    const auto [first, last] = trim_bounds(n, kTrims[k]);
    *trimmed[k] = trimmed_mean_of_parts(n, kTrims[k], at[first], at[last], p.trims[k]);
  }
  const std::vector<size_t> middle = median_positions(n);
  const std::vector<uint64_t> at_middle(middle.begin(), middle.end());
  s.mad = 1.4826 * median_of(KnownPositions{at_middle, p.distances}, n);
  set_quantiles(s, at, n);
  return s;
}

NormalityTest normality_of_parts(uint64_t n, std::vector<double> values, double m2, double m3,
                                 double m4) {
  if (n > kShapiroWilkMost) return dagostino_k2_of_moments(n, m2, m3, m4);
  std::sort(values.begin(), values.end());
  return normality_test(values);
}

std::vector<size_t> robust_positions(size_t n) {
  if (n == 0) return {};
  std::vector<size_t> at = median_positions(n);
  for (double p : {0.01, 0.05, 0.25, 0.75, 0.95, 0.99}) {
    const double index = 1 + static_cast<double>(n - 1) * p;
    at.push_back(static_cast<size_t>(std::floor(index)) - 1);
    at.push_back(static_cast<size_t>(std::ceil(index)) - 1);
  }
  for (double trim : kTrims) {
    const auto [first, last] = trim_bounds(n, trim);
    at.push_back(first);
    at.push_back(last);
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
  std::nth_element(begin, at, end);
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
      column_workers(a));
}
