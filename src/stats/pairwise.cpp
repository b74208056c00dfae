// Pairwise deletion: every variable and every pair of variables analysed as
// the small table of the rows it has values in, by the same phases as the
// whole table. Simple rather than fast: each pair reads the data once more
// (from the spilled copy when the table is analysed in passes).
#include "stats/pairwise.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/console.h"
#include "record/rowspill.h"
#include "record/workarrays.h"
#include "stats/histogram.h"
#include "stats/orderstats.h"

namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

bool all_present(const double *row, const uint32_t *vars, uint32_t count) {
  for (uint32_t c = 0; c < count; ++c)
    if (std::isnan(row[vars[c]])) return false;
  return true;
}

// Where a worker analyses its variables and pairs. In memory: two small
// tables made once with room for every row and used for variable after
// variable and pair after pair (made per pair, their arrays would cost more
// than the sums). A table analysed in passes must not hold every row: each
// variable and pair gets a table of its own within the worker's share of
// the budget, itself in passes when every row would not fit.
struct Tables {
  uint64_t share = 0;  // bytes of the budget for a table of its own; 0 in memory
  Analysis one, two, own;
};

Tables worker_tables(const Analysis &a, uint32_t workers, bool pairs) {
  MemoryTally tally;
  const Console quiet{nullptr, nullptr, true};
  const WorkArraySettings settings{a.bins, false};
  Tables t;
  if (const uint64_t budget = memory_budget(a)) {
    t.share = std::max<uint64_t>(1, budget / workers);
    return t;
  }
  t.one = make_analysis(pairs ? 0 : a.n, 1, settings, tally, quiet);
  t.two = make_analysis(pairs && a.m > 1 ? a.n : 0, 2, settings, tally, quiet);
  return t;
}

// The table for `count` (1 or 2) variables of `a`.
Analysis &table_of(const Analysis &a, Tables &t, uint32_t count) {
  if (t.share == 0) return count == 1 ? t.one : t.two;
  MemoryTally tally;
  const Console quiet{nullptr, nullptr, true};
  const WorkArraySettings settings{a.bins, false};
  t.own = make_analysis_within(a.n, count, t.share, settings, tally, quiet);
  return t.own;
}

// Fills table t with the listed variables over the rows where all of them
// have a value. Every phase run on it afterwards sets what it reads, but
// for the histogram, which adds to its counts and is cleared here.
void gather(const Analysis &a, const uint32_t *vars, uint32_t count, Analysis &t) {
  t.n = 0;
  RowSink sink = row_sink(t);
  RowCursor rows = row_cursor(a);
  for (RowRange r; next_rows(rows, r);)
    for (uint64_t k = 0; k < r.count; ++k) {
      const double *from = r[k];
      if (!all_present(from, vars, count)) continue;
      double *to = t.data[sink_place(sink, t.n)];
      for (uint32_t c = 0; c < count; ++c) to[c] = from[vars[c]];
      ++t.n;
    }
  close_sink(sink, t.n);
  t.m = count;
  std::fill_n(t.histogram.block.get(), uint64_t{t.bins} * count, 0);
}

VariableStats no_values() {
  const double x = kNotANumber;
  return VariableStats{x, x, x, x, x, x, x, x, x, x, false};
}

// Variable i over its present values: its record, histogram column and
// covariance diagonal. True when the zero-variance rule took it.
bool analyse_variable(Analysis &a, uint32_t i, bool sample_divisor, Analysis &t) {
  gather(a, &i, 1, t);
  a.used[i] = t.n;
  a.missing_cells[i] = a.n - t.n;
  if (t.n == 0) {
    a.stats[i] = no_values();
    a.covariance[i][i] = kNotANumber;
    return false;
  }
  const Console quiet{nullptr, nullptr, true};
  const Extremes extremes = find_extremes(t);
  count_histogram(t, extremes, false, quiet);
  const Moments moments = compute_moments(t, extremes);
  compute_order_stats(t);
  a.stats[i] = t.stats[0];
  for (uint32_t b = 0; b < a.bins; ++b) a.histogram[b][i] = t.histogram[b][0];
  const double c = t.covariance[0][0];
  a.covariance[i][i] = sample_divisor ? sample_covariance(c, t.n) : c;
  return !moments.constant.empty();
}

// The pair i < j over their common rows: covariance and Pearson's r, both
// not a number without a common row. Returns the count of those rows.
uint64_t analyse_pair(Analysis &a, uint32_t i, uint32_t j, bool sample_divisor, Analysis &t) {
  const uint32_t vars[] = {i, j};
  gather(a, vars, 2, t);
  double c = kNotANumber, r = kNotANumber;
  if (t.n > 0) {
    compute_moments(t, find_extremes(t));
    make_pearson_correlation(t);
    c = sample_divisor ? sample_covariance(t.covariance[0][1], t.n) : t.covariance[0][1];
    r = t.correlation[0][1];
  }
  a.covariance[i][j] = a.covariance[j][i] = c;
  a.correlation[i][j] = a.correlation[j][i] = r;
  return t.n;
}

}  // namespace

Moments compute_pairwise(Analysis &a, bool sample_divisor, Workers &w) {
  const uint32_t m = a.m;
  a.pairwise = true;
  a.used.assign(m, 0);
  a.missing_cells.assign(m, 0);
  std::vector<char> constant(m, 0);
  const uint32_t parts = w.count();
  w.run(parts, [&](uint32_t part, uint32_t) {
    Tables t = worker_tables(a, parts, false);
    for (uint32_t i = part; i < m; i += parts)
      constant[i] = analyse_variable(a, i, sample_divisor, table_of(a, t, 1));
  });
  for (uint32_t i = 0; i < m; ++i) a.correlation[i][i] = 1.0;

  // Part p takes every parts-th pair of the triangle, row by row.
  std::vector<uint64_t> smallest(parts, UINT64_MAX);
  w.run(parts, [&](uint32_t part, uint32_t) {
    Tables t = worker_tables(a, parts, true);
    uint64_t k = 0;
    for (uint32_t i = 0; i < m; ++i)
      for (uint32_t j = i + 1; j < m; ++j, ++k)
        if (k % parts == part)
          smallest[part] =
              std::min(smallest[part], analyse_pair(a, i, j, sample_divisor, table_of(a, t, 2)));
  });
  a.smallest_pair = m == 1 ? a.used[0] : *std::min_element(smallest.begin(), smallest.end());

  Moments moments;
  for (uint32_t i = 0; i < m; ++i)
    if (constant[i]) moments.constant.push_back(i);
  return moments;
}

void keep_complete_rows(Analysis &a) {
  std::vector<uint32_t> all(a.m);
  for (uint32_t i = 0; i < a.m; ++i) all[i] = i;
  const uint64_t before = a.n;
  keep_rows_where(a, [&](const double *row) { return all_present(row, all.data(), a.m); });
  a.rows_left_out = before - a.n;
}
