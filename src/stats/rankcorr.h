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

// The ranks 1..n of the values, a tie given the average of its ranks (R's
// rank(ties.method = "average")). The values must not be NaN.
std::vector<double> average_ranks(const std::vector<double> &values);

// Kendall's tau-b of n pairs: (concordant - discordant) / sqrt((n0 - n1) *
// (n0 - n2)) with n0 = n(n-1)/2 and n1, n2 the pairs tied in x, in y; not a
// number when either side is constant.
double kendall_tau_b(const std::vector<double> &x, const std::vector<double> &y);

// The tie sums of a variable's values.
TieSums tie_sums(const std::vector<double> &values);

// Replaces the correlation matrix by the rank correlation of the n rows and
// returns each variable's tie sums. A constant variable correlates 0 with
// every other, as under Pearson's r. The workers take pairs; the results
// do not depend on their count. A table analysed in passes takes one
// variable's ranks at a time (Kendall's: two variables'), beside its
// budget, and keeps them in a temporary file. REQUIRES: no value NaN.
std::vector<TieSums> make_rank_correlation(Analysis &a, RankMethod method,
                                           Workers &w = serial_workers());
