// Rank correlations (--rank): Spearman's rho as Pearson's r of average
// ranks, and Kendall's tau-b with ties by Knight's O(n log n) count. The
// tests of these correlations are in inference.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "record/analysis.h"
#include "machine/workers.h"

// Each variable's tie groups of sizes t, summed as the normal approximation
// of Kendall's S needs them (R's cor.test): pairs = sum t(t-1)/2,
// v = sum t(t-1)(2t+5), two = sum t(t-1), three = sum t(t-1)(t-2).
struct TieSums {
  double pairs = 0, v = 0, two = 0, three = 0;
};

// The exact sum of x[k] * y[k], k < n, for integers of magnitude below
// `bound` (at most 2^32), as Spearman's sums take it: while a product fits a
// double's 53 bits, runs of products short enough that no partial sum
// leaves them are summed in eight lanes of doubles, and each run's lanes
// added in integers; past that, product by product in integers.
__int128 exact_products(const double *x, const double *y, uint64_t n, uint64_t bound);

// Replaces the correlation matrix by the rank correlation of the n rows and
// returns each variable's tie sums. A constant variable correlates 0 with
// every other, as under Pearson's r. Spearman's sums are exact integers, so
// the results depend neither on the workers' count nor on passes. A table analysed in passes takes one
// variable's ranks at a time (Kendall's: two variables'), beside its
// budget, and keeps them in a temporary file. REQUIRES: no value NaN.
std::vector<TieSums> make_rank_correlation(Analysis &a, RankMethod method,
                                           Workers &w = serial_workers());
