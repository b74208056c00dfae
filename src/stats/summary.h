// The mergeable summary of a block of rows: what each part of a table that
// is spread over machines reports, how two reports combine, and the record's
// statistics and matrices finished from the combination. Order statistics
// and histogram counts are not in it: they need passes of their own.
#pragma once

#include <cstdint>
#include <vector>

#include "record/analysis.h"
#include "stats/stats.h"

// Per variable (m) the extremes, the mean and the central sums of powers
// 2, 3 and 4 of n rows; per pair the co-moment sum of (x - mean_x)(y -
// mean_y), m x m row-major. Rows with a missing value are left out whole
// before summarising, so every variable has the same count n.
struct Summary {
  uint32_t m = 0;
  uint64_t n = 0;
  std::vector<double> min, max, mean, m2, m3, m4;
  std::vector<double> comoment;
};

// An empty summary (n = 0) of m variables; the identity of merging.
Summary empty_summary(uint32_t m);

// The summary of n rows of m values, row r at rows + r * stride: a pass for
// the means, then one over the deviations from them.
Summary summarise_rows(const double *rows, uint64_t n, uint32_t m, uint64_t stride);

// The summary of the union of the two blocks' rows, by the pairwise update
// (doc/formats.md, "Summaries of parts"). REQUIRES: a.m == b.m.
Summary merge_summaries(const Summary &a, const Summary &b);

// Fills a record made for s.m variables from the summary as compute_moments
// does from the rows: n, m, extremes, mean, variance (n - 1) with the
// zero-variance rule, standard deviation, skewness, curtosis, covariance
// (divisor n) and correlation. Order statistics and the histogram are left
// alone. Returns the variables the zero-variance rule took. REQUIRES:
// 1 <= s.n < 2^32, s.m <= a.columns.
Moments finish_summary(const Summary &s, Analysis &a);
