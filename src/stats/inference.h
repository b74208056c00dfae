// The tests of the correlations against zero (R's cor.test), the Fisher-z
// interval of Pearson's r and the adjustment of the p-values over the
// matrix (R's p.adjust). Distributions come from Boost.Math.
#pragma once

#include <cstdint>
#include <vector>

#include "record/analysis.h"
#include "stats/rankcorr.h"

// Two-sided p-value of Pearson's r over n pairs: t = sqrt(n - 2) r /
// sqrt(1 - r^2) with n - 2 degrees of freedom. Not a number for n < 3.
double pearson_p(double r, uint64_t n);

// Two-sided p-value of Spearman's rho: the same t with n - 2 degrees of
// freedom (R's cor.test with exact = FALSE). Not a number for n < 3.
double spearman_p(double rho, uint64_t n);

// Two-sided p-value of Kendall's tau-b: S = tau * sqrt((n0 - n1)(n0 - n2))
// over the tie-corrected standard deviation of S, normal, no continuity
// correction (R's cor.test with exact = FALSE). Not a number for n < 3.
double kendall_p(double tau, uint64_t n, const TieSums &x, const TieSums &y);

// The interval tanh(atanh(r) -/+ z / sqrt(n - 3)) with z the normal
// quantile at (1 + level) / 2; not a number for n < 4.
struct Interval {
  double low, high;
};
Interval fisher_interval(double r, uint64_t n, double level);

// R's p.adjust(p, "holm") and p.adjust(p, "BH"); NaN entries stay NaN and
// are not counted.
std::vector<double> holm_adjust(const std::vector<double> &p);
std::vector<double> bh_adjust(const std::vector<double> &p);

// Each variable pair's count of rows with both values present (the n rows
// with the values NaN left out). REQUIRES: the rows in memory.
std::vector<uint64_t> pair_counts(const Analysis &a);

// Fills a.tests from the correlation matrix, the record's rank method and
// level, each pair's row count (`counts`, m x m, or empty for n each) and,
// for Kendall's tau-b, the variables' tie sums. A pair with a constant
// variable gets no test (not a number).
void compute_pair_tests(Analysis &a, const std::vector<uint64_t> &counts,
                        const std::vector<TieSums> &ties);
