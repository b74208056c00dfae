// Under --conventional, each variable's interval of the mean and its robust
// measures as R defines them: trimmed means, MAD, IQR and percentiles
// (type 7), from the rows or from a table's parts. The moments they start
// from are in stats.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "record/analysis.h"
#include "machine/workers.h"

// R's mean of x[0 .. n): a long double sum over n, then the mean of the
// deviations from it added back. REQUIRES: n > 0.
double r_mean(const double *x, size_t n);

// The trims of the two trimmed means.
constexpr double kTrims[2] = {0.1, 0.2};

// The 0-based first and last sorted positions that mean(trim = trim) keeps
// of n values: floor(n trim) and n - 1 - floor(n trim). REQUIRES: n >= 1.
std::pair<size_t, size_t> trim_bounds(size_t n, double trim);

// R's mean(x, trim = trim) of ascending values, trim < 0.5: the mean of
// the values floor(n trim) + 1 .. n - floor(n trim), summed as R's mean.
double trimmed_mean(const std::vector<double> &sorted, double trim);

// R's mad(x): 1.4826 * median(|x - median(x)|) of ascending values.
double median_absolute_deviation(const std::vector<double> &sorted);

// The same of values ascending or ordered by select_order_statistics at
// robust_positions, which it overwrites with the deviations.
double median_absolute_deviation_in_place(std::vector<double> &values);

// The 0-based positions of the ascending values robust_stats reads alone
// (medians, quantiles, trimming bounds), ascending, each once.
std::vector<size_t> robust_positions(size_t n);

// Reorders `values` so that each listed position (ascending) holds the value
// a full sort puts there and the values between two listed positions lie
// between theirs: enough for robust_stats. Linear in n per position level.
void select_order_statistics(std::vector<double> &values, const std::vector<size_t> &positions);

// The record of `values` (none NaN), ascending or ordered by
// select_order_statistics at robust_positions, with the given mean and
// sample variance, the t interval at `level`. The trimmed means sum their
// values in the order they stand.
RobustStats robust_stats(const std::vector<double> &values, double mean, double variance,
                         double level);

// The 0-based positions R's median reads of n ascending values: the middle
// one, or the two middle ones. REQUIRES: n >= 1.
std::vector<size_t> median_positions(size_t n);

// What one variable of a table in parts (vantor.dask) gives the robust
// measures beside its order statistics. Per trim of kTrims, with `low` and
// `high` the values at its trim_bounds: the values <= low, those strictly
// between, and the long double sum of the latter.
struct TrimSums {
  uint64_t at_or_below_low = 0, between = 0;
  long double sum = 0;
};
struct RobustParts {
  TrimSums trims[2];
  std::vector<double> distances;  // sorted |x - robust_centre| at median_positions(n)
};

// R's median of n values from their sorted values at ascending `positions`
// (which hold median_positions(n)): the centre the MAD measures from.
double robust_centre(uint64_t n, const std::vector<uint64_t> &positions,
                     const std::vector<double> &values);

// mean(trim = trim) of n values from the bounds' values and the sums over
// the parts: (sum + the kept copies of low and of high) / (n - 2 floor(n trim)).
double trimmed_mean_of_parts(uint64_t n, double trim, double low, double high, const TrimSums &t);

// What robust_stats gives for n values known by their sorted values at
// ascending `positions` (which hold robust_positions(n)) and their parts'
// sums and distances.
RobustStats robust_stats_of_parts(uint64_t n, const std::vector<uint64_t> &positions,
                                  const std::vector<double> &values, const RobustParts &p,
                                  double mean, double variance, double level);

// The normality test of n values as compute_robust_stats takes it: up to
// kShapiroWilkMost from `values` (every value, any order), beyond from the
// moments about the mean with divisor n (m2, m3, m4).
NormalityTest normality_of_parts(uint64_t n, std::vector<double> values, double m2, double m3,
                                 double m4);

// Fills a.robust and a.normality for every variable over its values present (the n rows,
// or under pairwise deletion the variable's own values), each column read
// through the row walk, so that a file analysed in passes gives the same.
// A walk of the rows copies up to four variables (more with more workers),
// as many as the order statistics' scratch allowance holds; the workers
// share its rows, then take its variables. One at a time, on one worker,
// when the rows are spilled.
void compute_robust_stats(Analysis &a, Workers &w = serial_workers());

// The same, and from the same copies the median and quartiles of every
// variable whose copy orders its n values totally (no NaN, not both +0 and
// -0): the values compute_order_stats would find. Returns the variables
// left to it, ascending.
std::vector<uint32_t> compute_robust_and_order_stats(Analysis &a, Workers &w = serial_workers());
