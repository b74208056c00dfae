// Per-variable intervals and robust measures over a column's copy, sorted
// or selected, which under --conventional gives the median and quartiles
// too, or over a table in parts from its order statistics and sums. Each
// follows R's code (quantile type 7, mean(trim =), mad, t.test's interval)
// so that the figures agree to the last digits.
#include "stats/robust.h"

#include "stats/distributions.h"

#include <algorithm>
#include <cmath>

#include "record/rowspill.h"
#include "stats/normality.h"
#include "stats/orderstats.h"
#include "stats/selection.h"
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


// R's median of ascending values (or values ordered at its positions).
double sorted_median(const std::vector<double> &v) { return median_of(v, v.size()); }

// The same median of values in any order, by selection: the middle one, or
// the mean of the two middle ones. Reorders `v`.
double selected_median(std::vector<double> &v) {
  const size_t n = v.size(), half = (n + 1) / 2;
  select_nth(v.data(), v.data() + (half - 1), v.data() + n);
  if (n % 2 == 1) return v[half - 1];
  const double pair[2] = {v[half - 1], *std::min_element(v.begin() + half, v.end())};
  return r_mean(pair, 2);
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

std::pair<size_t, size_t> trim_bounds(size_t n, double trim) {
  const size_t g = static_cast<size_t>(std::floor(static_cast<double>(n) * trim));
  return {g, n - 1 - g};
}

namespace {

// The 0-based stretch [first, last) of ascending values that R's mean(trim
// = trim) averages: the values floor(n trim) + 1 .. n - floor(n trim).
struct Trimmed {
  size_t first, last;
};

Trimmed trimmed_stretch(size_t n, double trim) {
  const auto [first, last] = trim_bounds(n, trim);
  return Trimmed{first, last + 1};
}

}  // namespace

double trimmed_mean(const std::vector<double> &sorted, double trim) {
  const Trimmed t = trimmed_stretch(sorted.size(), trim);
  return r_mean(sorted.data() + t.first, t.last - t.first);
}

double median_absolute_deviation(const std::vector<double> &sorted) {
  std::vector<double> d = sorted;
  return median_absolute_deviation_in_place(d);
}

// The deviations d = |x - centre| only grow away from the centre on either
// side, in floating point too. So every value between the outer type-7
// neighbours of the quartiles deviates at most by the larger of their
// deviations, hi, which covers more than half of the values; and fewer
// than half deviate by less than the smaller deviation of the inner
// neighbours, lo, whose values lie strictly between those. The median of
// the deviations lies in [lo, hi]: the deviations there are kept at the
// front and selected in, the ones below only counted. The quartiles'
// neighbours stand in place in both orders the caller may give.
double median_absolute_deviation_in_place(std::vector<double> &values) {
  const size_t n = values.size(), half = (n + 1) / 2;
  const double centre = sorted_median(values);
  if (n < 4 || !std::isfinite(centre)) {
    for (double &x : values) x = std::fabs(x - centre);
    return 1.4826 * selected_median(values);
  }
  const double q1 = static_cast<double>(n - 1) * 0.25, q3 = static_cast<double>(n - 1) * 0.75;
  const auto deviation = [&](double position) {
    return std::fabs(values[static_cast<size_t>(position)] - centre);
  };
  const double hi = std::max(deviation(std::floor(q1)), deviation(std::ceil(q3)));
  const double lo = std::min(deviation(std::ceil(q1)), deviation(std::floor(q3)));
  size_t below = 0, kept = 0;
  for (size_t k = 0; k < n; ++k) {
    const double d = std::fabs(values[k] - centre);
    below += d < lo;
    values[kept] = d;
    kept += d >= lo && d <= hi;
  }
  const size_t at = half - 1 - below;
  select_nth(values.data(), values.data() + at, values.data() + kept);
  if (n % 2 == 1) return 1.4826 * values[at];
  const double pair[2] = {values[at], *std::min_element(values.begin() + at + 1, values.begin() + kept)};
  return 1.4826 * r_mean(pair, 2);
}

namespace {

// The record with its interval and quantiles; the trimmed means and the
// MAD not a number, for the caller to fill.
RobustStats interval_and_quantiles(const std::vector<double> &values, double mean,
                                   double variance, double level) {
  RobustStats s = no_robust_stats();
  const size_t n = values.size();
  if (n == 0) return s;
  set_interval(s, n, mean, variance, level);
  set_quantiles(s, values, n);
  return s;
}

}  // namespace

RobustStats robust_stats(const std::vector<double> &values, double mean, double variance,
                         double level) {
  RobustStats s = interval_and_quantiles(values, mean, variance, level);
  if (values.empty()) return s;
  s.trimmed_10 = trimmed_mean(values, kTrims[0]);
  s.trimmed_20 = trimmed_mean(values, kTrims[1]);
  s.mad = median_absolute_deviation(values);
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
  select_nth(begin, at, end);
  select_range(begin, at, first, middle, base);
  select_range(at + 1, end, middle + 1, last, base);
}

}  // namespace

void select_order_statistics(std::vector<double> &values, const std::vector<size_t> &positions) {
  select_range(values.data(), values.data() + values.size(), positions.data(),
               positions.data() + positions.size(), values.data());
}

namespace {

// Variables one walk of the rows copies, at most: the matrix is stored by
// rows, so a walk for one column fetches a cache line for each of its
// values. More workers than this take one variable each.
constexpr uint32_t kColumnsPerWalk = 4;

// Variables a walk copies: as many as the scratch allowance holds copies
// of, one at the least (a table in passes may pass its budget by one copy
// of a column).
uint32_t columns_per_walk(const Analysis &a, uint32_t workers) {
  const uint64_t column = std::max<uint64_t>(a.n, 1) * sizeof(double);
  const uint64_t most = std::max(kColumnsPerWalk, workers);
  return static_cast<uint32_t>(std::clamp<uint64_t>(scratch_limit(a) / column, 1, most));
}

// What the order statistics need to know of a variable's values.
struct ValuesSeen {
  bool plus_zero = false, minus_zero = false, nan = false;
  void see(double x) {
    if (x == 0) (std::signbit(x) ? minus_zero : plus_zero) = true;
    nan |= std::isnan(x);
  }
  void add(const ValuesSeen &o) {
    plus_zero |= o.plus_zero;
    minus_zero |= o.minus_zero;
    nan |= o.nan;
  }
};

// A variable's values present, in row order, and what they hold.
struct ColumnCopy {
  std::vector<double> values;
  ValuesSeen seen;
};

// Copies variables [i0, i0 + count) of a block's rows, NaN included, each
// value to its row's place in to[g].
void copy_block(const RowRange &r, uint32_t i0, uint32_t count, double *const *to,
                ValuesSeen *seen) {
  for (uint64_t k = 0; k < r.count; ++k) {
    const double *x = r[k] + i0;
    for (uint32_t g = 0; g < count; ++g) {
      to[g][r.first + k] = x[g];
      seen[g].see(x[g]);
    }
  }
}

// Copies the values present of variables [i0, i0 + count) in one walk, the
// workers taking parts of each block's rows; a NaN is then taken out, the
// values keeping their order. The copies keep their storage from one walk
// to the next.
void copy_present(const Analysis &a, uint32_t i0, uint32_t count, ColumnCopy *copies, Workers &w,
                  uint32_t workers) {
  std::vector<double *> to(count);
  for (uint32_t g = 0; g < count; ++g) {
    copies[g].values.resize(a.n);
    copies[g].seen = ValuesSeen{};
    to[g] = copies[g].values.data();
  }
  std::vector<ValuesSeen> seen(size_t{workers} * count);
  RowCursor cursor = row_cursor(a);
  for (RowRange r; next_rows(cursor, r);) {
    const std::vector<uint32_t> b = even_bounds(static_cast<uint32_t>(r.count), workers);
    w.run(
        static_cast<uint32_t>(b.size() - 1),
        [&](uint32_t part, uint32_t) {
          const RowRange rows{r[b[part]], r.first + b[part], b[part + 1] - b[part], r.stride};
          copy_block(rows, i0, count, to.data(), seen.data() + size_t{part} * count);
        },
        workers);
  }
  for (uint32_t g = 0; g < count; ++g) {
    for (uint32_t part = 0; part < workers; ++part)
      copies[g].seen.add(seen[size_t{part} * count + g]);
    std::vector<double> &v = copies[g].values;
    if (copies[g].seen.nan)
      v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }), v.end());
  }
}

// The value at `p` of the ascending order of `values`, which hold it in
// place when p is among `placed` (ascending) and otherwise hold it between
// the placed positions around p: selected in a copy of that stretch.
double value_at(const std::vector<double> &values, const std::vector<size_t> &placed, size_t p) {
  const auto above = std::upper_bound(placed.begin(), placed.end(), p);
  if (above != placed.begin() && above[-1] == p) return values[p];
  const size_t from = above == placed.begin() ? 0 : above[-1] + 1;
  const size_t to = above == placed.end() ? values.size() : *above;
  std::vector<double> stretch(values.begin() + static_cast<ptrdiff_t>(from),
                              values.begin() + static_cast<ptrdiff_t>(to));
  select_nth(stretch.data(), stretch.data() + (p - from), stretch.data() + stretch.size());
  return stretch[p - from];
}

// The trimmed means and the K^2 test of values past Shapiro-Wilk's 5000,
// as they stand after the selection.
struct InOrderSums {
  double trimmed_10, trimmed_20;
  NormalityTest normality;
};

// R's mean's second pass over a trimmed stretch, and its result: the
// first pass's mean s plus the mean of the x - s, unless s overflowed.
long double finish_r_mean(long double s, long double t, size_t count) {
  if (!std::isfinite(static_cast<double>(s))) return s;
  return s + t / static_cast<long double>(count);
}

// trimmed_mean at 10% and 20% and dagostino_k2 walk the values six times
// between them, each walk one long chain of dependent long double
// additions. Here two walks carry every chain at once, in stretches
// bounded by the trimming points (the 20% stretch lies inside the 10%
// one); each sum still takes its terms in the order the values stand, so
// every result has those functions' bits. REQUIRES: more than 5000 values.
InOrderSums in_order_sums(const std::vector<double> &values) {
  const size_t n = values.size();
  const double *x = values.data();
  const Trimmed t10 = trimmed_stretch(n, 0.1), t20 = trimmed_stretch(n, 0.2);
  const size_t c10 = t10.last - t10.first, c20 = t20.last - t20.first;
  long double all = 0, s10 = 0, s20 = 0;
  size_t k = 0;
  for (; k < t10.first; ++k) all += x[k];
  for (; k < t20.first; ++k) all += x[k], s10 += x[k];
  for (; k < t20.last; ++k) all += x[k], s10 += x[k], s20 += x[k];
  for (; k < t10.last; ++k) all += x[k], s10 += x[k];
  for (; k < n; ++k) all += x[k];
  s10 /= static_cast<long double>(c10);
  s20 /= static_cast<long double>(c20);
  const double mean = static_cast<double>(all / static_cast<double>(n));
  long double r10 = 0, r20 = 0, p2 = 0, p3 = 0, p4 = 0;
  const auto powers = [&](double v) {
    const double d = v - mean, d2 = d * d;
    p2 += d2;
    p3 += d2 * d;
    p4 += d2 * d2;
  };
  for (k = 0; k < t10.first; ++k) powers(x[k]);
  for (; k < t20.first; ++k) powers(x[k]), r10 += x[k] - s10;
  for (; k < t20.last; ++k) powers(x[k]), r10 += x[k] - s10, r20 += x[k] - s20;
  for (; k < t10.last; ++k) powers(x[k]), r10 += x[k] - s10;
  for (; k < n; ++k) powers(x[k]);
  // Equal values: the rounded mean can leave their m2 just above 0. The
  // test ends at the first value that differs from the first.
  const bool equal = std::all_of(x, x + n, [&](double v) { return v == x[0]; });
  return InOrderSums{static_cast<double>(finish_r_mean(s10, r10, c10)),
                     static_cast<double>(finish_r_mean(s20, r20, c20)),
                     equal ? dagostino_k2_of_moments(n, 0, 0, 0)
                           : dagostino_k2_of_sums(n, p2, p3, p4)};
}

// Every measure of variable i from its copy, which it reorders and finally
// overwrites; with `order_stats`, its median and quartiles too where the
// copy holds all n values and orders them totally (no NaN, not both zeros,
// whose order compute_order_stats takes from the rows). Returns whether it
// set them.
bool measure_column(Analysis &a, uint32_t i, ColumnCopy &c, bool order_stats) {
  std::vector<double> &values = c.values;
  const size_t n = values.size();
  // Shapiro-Wilk reads every value in order; past its 5000 values the
  // measures need only their order statistics, selected in linear time.
  const bool sorted = n <= kShapiroWilkMost;
  std::vector<size_t> placed;
  if (sorted) {
    std::sort(values.begin(), values.end());
  } else {
    placed = robust_positions(n);
    select_order_statistics(values, placed);
  }
  const VariableStats v = shown_stats(a, i);
  RobustStats s = interval_and_quantiles(values, v.mean, v.variance, a.level);
  if (sorted) {
    if (n > 0) {
      s.trimmed_10 = trimmed_mean(values, 0.1);
      s.trimmed_20 = trimmed_mean(values, 0.2);
    }
    a.normality[i] = normality_test(values);
  } else {
    const InOrderSums sums = in_order_sums(values);
    s.trimmed_10 = sums.trimmed_10;
    s.trimmed_20 = sums.trimmed_20;
    a.normality[i] = sums.normality;
  }
  const bool order_here =
      order_stats && n > 0 && !c.seen.nan && !(c.seen.plus_zero && c.seen.minus_zero);
  if (order_here) {
    const std::vector<uint64_t> positions = order_positions(n);
    std::vector<double> at(positions.size());
    for (size_t t = 0; t < positions.size(); ++t)
      at[t] = sorted ? values[positions[t]] : value_at(values, placed, positions[t]);
    order_stats_at(a.stats[i], n, positions, at);
  }
  if (n > 0) s.mad = median_absolute_deviation_in_place(values);
  a.robust[i] = s;
  return order_here;
}

std::vector<uint32_t> measure_columns(Analysis &a, Workers &w, bool order_stats) {
  a.robust.assign(a.m, RobustStats{});
  a.normality.assign(a.m, NormalityTest{});
  const uint32_t workers = column_workers(a, w);
  const uint32_t per_walk = columns_per_walk(a, workers);
  const std::vector<uint32_t> b = group_bounds(a.m, per_walk, 1);
  std::vector<ColumnCopy> copies(per_walk);
  std::vector<uint8_t> done(a.m, 0);
  for (size_t group = 0; group + 1 < b.size(); ++group) {
    const uint32_t i0 = b[group], count = b[group + 1] - i0;
    copy_present(a, i0, count, copies.data(), w, workers);
    w.run(
        count,
        [&](uint32_t g, uint32_t) {
          done[i0 + g] = measure_column(a, i0 + g, copies[g], order_stats);
        },
        workers);
  }
  std::vector<uint32_t> rest;
  if (order_stats)
    for (uint32_t i = 0; i < a.m; ++i)
      if (!done[i]) rest.push_back(i);
  return rest;
}

}  // namespace

void compute_robust_stats(Analysis &a, Workers &w) { measure_columns(a, w, false); }

std::vector<uint32_t> compute_robust_and_order_stats(Analysis &a, Workers &w) {
  return measure_columns(a, w, true);
}
