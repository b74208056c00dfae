// Per-variable moments and the covariance and correlation matrices, computed
// from the loaded data matrix. Nothing here prints: the variables the
// zero-variance rule touched go back to the caller.
#include "stats/stats.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "machine/kernels.h"
#include "base/messages.h"
#include "record/rowspill.h"
#include "machine/workers.h"

// Every result is meant to be the same bits on every machine, which holds
// only while each double operation rounds to double, not to a wider format.
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must be evaluated in double precision");

namespace {

// Running sums of x and x^2 per variable, walking dd row by row; each
// variable's sums still receive their terms in observation order, whichever
// part of the columns a worker takes. Each part sums into arrays of its
// own, so that no two threads write to one cache line row after row.
void sum_columns(const Analysis &a, std::vector<double> &sum, std::vector<double> &sumsq,
                 Workers &w) {
  const std::vector<uint32_t> b = even_bounds(a.m, w.count());
  RowCursor cursor = row_cursor(a);
  for (RowRange r; next_rows(cursor, r);) {
    w.run(static_cast<uint32_t>(b.size() - 1), [&](uint32_t part, uint32_t) {
      const uint32_t first = b[part], last = b[part + 1];
      std::vector<double> s(sum.begin() + first, sum.begin() + last);
      std::vector<double> s2(sumsq.begin() + first, sumsq.begin() + last);
      kernels().column_sums(r.block, r.stride, static_cast<uint32_t>(r.count), first, last,
                            s.data() - first, s2.data() - first);
      std::copy(s.begin(), s.end(), sum.begin() + first);
      std::copy(s2.begin(), s2.end(), sumsq.begin() + first);
    });
  }
}

// The one-pass numerator sumsq - sum*sum/n is trusted while it is at least
// 2^-16 of sumsq: cancellation has then cost at most 16 of the 53 bits, far
// more than the printed digits need, and every result keeps the bits it has
// always had. That covers any variable whose mean lies within about 256
// standard deviations of zero. Beyond (timestamps, coordinates, readings on
// a large baseline) the numerator is noise, and the variance comes from the
// sum of squared deviations that the pass over deviations gathers anyway.
constexpr double kTrustedShare = 0x1p-16;

// Per-variable sums of the pass over deviations from the centres.
struct DeviationSums {
  std::vector<double> s1, s2, s3, s4;
  explicit DeviationSums(uint32_t m) : s1(m, 0.0), s2(m, 0.0), s3(m, 0.0), s4(m, 0.0) {}
};

// Under --conventional, the mean of a variable whose plain sum overflows
// though every value is finite: the sum of x / n, in row order, as the
// statistics packages scale it.
double scaled_mean(const Analysis &a, uint32_t i) {
  const double nd = a.n;
  double sum = 0;
  RowCursor cursor = row_cursor(a);
  for (RowRange rows; next_rows(cursor, rows);)
    for (uint64_t r = 0; r < rows.count; ++r) sum += rows[r][i] / nd;
  return sum;
}

// Mean and one-pass variance of every variable, and the centre its
// deviations are taken from: the mean, or for a constant variable (min ==
// max, not NaN) the constant itself, so that rounding of the mean cannot
// leave noise in deviations that are all exactly zero.
void set_means(Analysis &a, const Extremes &extremes, const std::vector<double> &sum,
               const std::vector<double> &sumsq, std::vector<double> &centre) {
  const uint32_t n = a.n, m = a.m;
  const double nd = n;
  const double n1 = static_cast<double>(n - 1);
  for (uint32_t i = 0; i < m; ++i) {
    VariableStats &s = a.stats[i];
    s.mean = sum[i] / nd;
    const bool overflowed = !std::isfinite(sum[i]) && std::isfinite(extremes.min[i]) &&
                            std::isfinite(extremes.max[i]);
    if (a.conventional && overflowed) s.mean = scaled_mean(a, i);
    s.variance = (sumsq[i] - sum[i] * sum[i] / nd) / n1;
    s.constant = extremes.min[i] == extremes.max[i] && !std::isnan(s.variance);
    centre[i] = s.constant ? extremes.min[i] : s.mean;
  }
}

// The variance of an offset variable from its deviations d = x - mean: with
// c = s1 / n the mean's own rounding, the squares about the exact mean are
// s2 - n*c^2.
double offset_variance(const DeviationSums &dev, uint32_t i, double nd, double n1) {
  const double c = dev.s1[i] / nd;
  return (dev.s2[i] - nd * c * c) / n1;
}

// Variance and standard deviation, skewness m3 / s^3 and excess curtosis
// m4 / s^4 - 3, where the central moments divide by n and s comes from the
// n - 1 variance. A variance of zero or below, and every constant variable,
// gets the zero-variance rule (variance 0.0001, skewness 0, curtosis -3) and
// is listed; a NaN variance is left alone.
void set_moments(Analysis &a, const std::vector<double> &sumsq, const DeviationSums &dev,
                 Moments &moments) {
  const uint32_t n = a.n, m = a.m;
  const double nd = n;
  const double n1 = static_cast<double>(n - 1);
  for (uint32_t i = 0; i < m; ++i) {
    VariableStats &s = a.stats[i];
    const double one_pass_numerator = s.variance * n1;
    // Under --conventional a sum of squares that overflowed leaves the
    // variance to the deviations too.
    const bool overflowed = a.conventional && std::isinf(sumsq[i]) && std::isfinite(s.mean);
    const bool offset =
        !s.constant && (one_pass_numerator < kTrustedShare * sumsq[i] || overflowed);
    if (offset) s.variance = offset_variance(dev, i, nd, n1);
    if (s.constant || s.variance <= 0) {
      s.constant = true;
      moments.constant.push_back(i);
      s.variance = kZeroVarianceSubstitute;
    }
    s.stddev = std::sqrt(s.variance);
    double s3 = dev.s3[i], s4 = dev.s4[i];
    if (offset) {
      // The third and fourth powers about the exact mean, by the binomial
      // shift of the centre by c.
      shift_power_sums(dev.s1[i] / nd, nd, dev.s2[i], s3, s4);
    }
    s.skewness = s3 / (nd * s.variance * s.stddev);
    s.curtosis = s4 / (nd * s.variance * s.variance) - 3;
    if (s.constant) {
      s.skewness = 0;
      s.curtosis = -3;
    }
  }
}

// What one part of the pass over deviations writes after every
// observation: its power sums (index 0 is its first variable), the
// deviations and its rows [first, last) of the covariance triangle. They
// live in one block of the part's own with a cache line to spare on either
// side: rows of one matrix shared by two workers would pass a cache line
// back and forth between them at every observation.
struct PartSums {
  static constexpr size_t kLine = 8;  // doubles in a cache line
  uint32_t first = 0, last = 0, m = 0;
  std::vector<double> block;
  std::vector<double *> cov;  // cov[i], first <= i < last: row i, m wide
  double *power(uint32_t p) { return block.data() + kLine + size_t{p} * (last - first); }
  double *deviations() { return power(4); }
};

PartSums make_part_sums(uint32_t first, uint32_t last, uint32_t m) {
  const size_t count = last - first;
  PartSums p{first, last, m, std::vector<double>(2 * PartSums::kLine + count * (4 + size_t{m}) + m),
             std::vector<double *>(m, nullptr)};
  double *rows = p.deviations() + m;
  for (uint32_t i = first; i < last; ++i) p.cov[i] = rows + size_t{i - first} * m;
  return p;
}

// A block of observations into the power sums (d2 = d*d, d3 = d2*d, d4 =
// d3*d) of the part's variables and into the running means of the
// products, c = c + (di*dj - c) / k, of its triangle rows. Those rows need
// the deviations of every later variable too; each is the same one
// subtraction whichever part or tile computes it.
// Every pair still gets its terms in observation order, so the sums equal
// those of a pair-by-pair loop bit for bit. The triangle rows are taken in
// tiles of about kProductTileBytes, each tile through every observation of
// the block before the next: a wide table's triangle (36 MB at 3,000
// variables) would otherwise stream through memory once per observation,
// where a tile stays in the core's cache and the rows of the block stream
// past it. The inner loop runs over contiguous j so it vectorises.
constexpr uint64_t kProductTileBytes = 1024 * 1024;

// The end of the tile of triangle rows that begins at row `from`.
uint32_t tile_end(uint32_t from, uint32_t last, uint32_t m) {
  uint64_t bytes = 0;
  uint32_t i = from;
  do {
    bytes += uint64_t{m - i} * sizeof(double);
    ++i;
  } while (i < last && bytes < kProductTileBytes);
  return i;
}

void add_observations(const Analysis &a, const RowRange &r, const double *centre, PartSums &p) {
  const Kernels &kern = kernels();
  const uint32_t first = p.first, last = p.last, m = a.m;
  double *d = p.deviations();
  for (uint64_t k = 0; k < r.count; ++k)
    kern.deviation_powers(r[k] + first, centre + first, last - first, d + first, p.power(0),
                          p.power(1), p.power(2), p.power(3));
  for (uint32_t t0 = first; t0 < last;) {
    const uint32_t t1 = tile_end(t0, last, m);
    for (uint64_t k = 0; k < r.count; ++k) {
      const double *x = r[k];
      for (uint32_t j = t0; j < m; ++j) d[j] = x[j] - centre[j];
      kern.product_means(p.cov.data(), d, t0, t1, m, static_cast<double>(r.first + k + 1));
    }
    t0 = t1;
  }
}

// The part's sums into the whole pass's arrays and matrix.
void keep_part(const PartSums &p, DeviationSums &dev, Analysis &a) {
  const uint32_t count = p.last - p.first;
  std::vector<double> *to[] = {&dev.s1, &dev.s2, &dev.s3, &dev.s4};
  for (uint32_t q = 0; q < 4; ++q) {
    const double *from = p.block.data() + PartSums::kLine + size_t{q} * count;
    std::copy(from, from + count, to[q]->begin() + p.first);
  }
  for (uint32_t i = p.first; i < p.last; ++i)
    std::copy(p.cov[i] + i, p.cov[i] + p.m, a.covariance[i] + i);
}

// The pass over deviations, its triangle rows split among the workers by
// the pairs they hold; each part keeps its sums from block to block.
void deviation_pass(Analysis &a, const std::vector<double> &centre, DeviationSums &dev,
                    Workers &w) {
  const uint32_t m = a.m;
  const std::vector<uint32_t> b = triangle_bounds(m, w.count(), 8);
  const uint32_t parts = static_cast<uint32_t>(b.size() - 1);
  std::vector<PartSums> sums(parts);
  RowCursor cursor = row_cursor(a);
  for (RowRange r; next_rows(cursor, r);) {
    w.run(parts, [&](uint32_t part, uint32_t) {
      PartSums &mine = sums[part];
      if (mine.block.empty()) mine = make_part_sums(b[part], b[part + 1], m);
      add_observations(a, r, centre.data(), mine);
    });
  }
  for (const PartSums &p : sums) keep_part(p, dev, a);
}

// Mirrors the covariances into the lower triangle and forms the correlations
// c / (stddev_j * stddev_i), then sets the correlation diagonal to exactly 1.
void finish_matrices(Analysis &a) {
  const uint32_t m = a.m;
  for (uint32_t i = 0; i < m; ++i) {
    for (uint32_t j = i; j < m; ++j) {
      const double c = a.covariance[i][j];
      a.covariance[j][i] = c;
      const double r = c / (a.stats[j].stddev * a.stats[i].stddev);
      a.correlation[i][j] = r;
      a.correlation[j][i] = r;
    }
  }
  for (uint32_t i = 0; i < m; ++i) a.correlation[i][i] = 1.0;
}

}  // namespace

Extremes find_extremes(const Analysis &a, Workers &w) {
  const uint32_t n = a.n, m = a.m;
  Extremes e{std::vector<double>(m, DBL_MAX), std::vector<double>(m, -DBL_MAX)};
  if (n == 0) fatal("Too few variables\n");
  const std::vector<uint32_t> b = even_bounds(m, w.count());
  RowCursor cursor = row_cursor(a);
  for (RowRange r; next_rows(cursor, r);) {
    w.run(static_cast<uint32_t>(b.size() - 1), [&](uint32_t part, uint32_t) {
      const uint32_t first = b[part], last = b[part + 1];
      std::vector<double> lo(e.min.begin() + first, e.min.begin() + last);
      std::vector<double> hi(e.max.begin() + first, e.max.begin() + last);
      kernels().extremes(r.block, r.stride, static_cast<uint32_t>(r.count), first, last,
                         lo.data() - first, hi.data() - first);
      std::copy(lo.begin(), lo.end(), e.min.begin() + first);
      std::copy(hi.begin(), hi.end(), e.max.begin() + first);
    });
  }
  return e;
}

Moments compute_moments(Analysis &a, const Extremes &extremes, Workers &w) {
  const uint32_t m = a.m;
  Moments moments;
  std::vector<double> sum(m, 0.0), sumsq(m, 0.0), centre(m);
  sum_columns(a, sum, sumsq, w);
  set_means(a, extremes, sum, sumsq, centre);

  for (uint32_t i = 0; i < m; ++i) {
    a.stats[i].min = extremes.min[i];
    a.stats[i].max = extremes.max[i];
  }
  DeviationSums dev(m);
  deviation_pass(a, centre, dev, w);

  set_moments(a, sumsq, dev, moments);
  finish_matrices(a);
  return moments;
}

// The default matrix divides the divisor-n covariance by the n - 1 standard
// deviations; here each deviation is brought to divisor n first, so the
// pair matches. Rounding can still carry a perfect correlation a few ulps
// past 1, which the clamp removes. A substituted variance is no variance at
// all, so such a variable's correlations stay 0 rather than being blown up
// by the 0.01 stand-in. With one observation the variance is 0/0 and r
// stays NaN, as in the default matrix.
void make_pearson_correlation(Analysis &a) {
  const uint32_t m = a.m;
  const double share = static_cast<double>(a.n - 1) / a.n;
  std::vector<double> sd(m);
  for (uint32_t i = 0; i < m; ++i) sd[i] = std::sqrt(a.stats[i].variance * share);
  for (uint32_t i = 0; i < m; ++i) {
    for (uint32_t j = i + 1; j < m; ++j) {
      double r = 0;
      if (!a.stats[i].constant && !a.stats[j].constant)
        r = std::clamp(a.covariance[i][j] / (sd[j] * sd[i]), -1.0, 1.0);
      a.correlation[i][j] = r;
      a.correlation[j][i] = r;
    }
  }
}

double sample_covariance(double covariance, uint64_t count) {
  return covariance * static_cast<double>(count) / static_cast<double>(count - 1);
}

void use_sample_divisor(Analysis &a) {
  for (uint32_t i = 0; i < a.m; ++i)
    for (uint32_t j = 0; j < a.m; ++j) a.covariance[i][j] = sample_covariance(a.covariance[i][j], a.n);
}

VariableStats shown_stats(const Analysis &a, uint32_t i) {
  VariableStats s = a.stats[i];
  if (a.conventional && s.constant) show_as_measured(s.variance, s.stddev, s.skewness, s.curtosis);
  return s;
}

void show_as_measured(double &variance, double &stddev, double &skewness, double &curtosis) {
  variance = stddev = 0;
  skewness = curtosis = std::nan("");
}
