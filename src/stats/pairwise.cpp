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

// A worker's small tables, made once with room for every row and used for
// variable after variable and pair after pair: made per pair, their arrays
// would cost more than the sums. A table analysed in passes has none: each
// variable and pair gets a table of its own (see own_table).
struct Scratch {
  Analysis one, two;
};

Scratch make_scratch(uint32_t rows, uint32_t bins) {
  MemoryTally tally;
  const Console quiet{nullptr, nullptr, true};
  const WorkArraySettings settings{bins, false};
  return Scratch{make_analysis(rows, 1, settings, tally, quiet),
                 make_analysis(rows, 2, settings, tally, quiet)};
}

// The table of `count` variables of `a`, analysed in passes, within
// `budget` bytes: in memory when the arrays of all of a's rows fit, else
// in passes itself.
Analysis own_table(const Analysis &a, uint32_t count, uint64_t budget) {
  MemoryTally tally;
  const Console quiet{nullptr, nullptr, true};
  const WorkArraySettings settings{a.bins, false};
  if (work_array_need(a.n, count, a.bins) <= budget)
    return make_analysis(a.n, count, settings, tally, quiet);
  return make_analysis_in_passes(a.n, count, budget, settings, tally, quiet);
}

// Fills table t with the listed variables over the rows where all of them
// have a value, a spilled t a block at a time. Every phase run on it
// afterwards sets what it reads, but for the histogram, which adds to its
// counts and is cleared here.
void gather(const Analysis &a, const uint32_t *vars, uint32_t count, Analysis &t) {
  uint64_t held = 0;  // rows in t's block not yet spilled
  t.n = 0;
  RowCursor rows = row_cursor(a);
  for (RowRange r; next_rows(rows, r);)
    for (uint64_t k = 0; k < r.count; ++k) {
      const double *from = r[k];
      if (!all_present(from, vars, count)) continue;
      if (t.spill && held == t.capacity) {
        spill_rows(*t.spill, t.data.block.get(), held);
        held = 0;
      }
      double *to = t.data[static_cast<uint32_t>(held)];
      for (uint32_t c = 0; c < count; ++c) to[c] = from[vars[c]];
      ++held;
      ++t.n;
    }
  if (t.spill) {
    spill_rows(*t.spill, t.data.block.get(), held);
    t.data.block.reset();
  }
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
  // In passes the workers share the table's budget, each a table at a time.
  const uint64_t share = a.spill ? a.spill->budget / parts : 0;
  w.run(parts, [&](uint32_t part, uint32_t) {
    Scratch s = make_scratch(a.spill ? 0 : a.n, a.bins);
    for (uint32_t i = part; i < m; i += parts) {
      Analysis own = a.spill ? own_table(a, 1, share) : Analysis{};
      constant[i] = analyse_variable(a, i, sample_divisor, a.spill ? own : s.one);
    }
  });
  for (uint32_t i = 0; i < m; ++i) a.correlation[i][i] = 1.0;

  // Part p takes every parts-th pair of the triangle, row by row.
  std::vector<uint64_t> smallest(parts, UINT64_MAX);
  w.run(parts, [&](uint32_t part, uint32_t) {
    Scratch s = make_scratch(m > 1 && !a.spill ? a.n : 0, a.bins);
    uint64_t k = 0;
    for (uint32_t i = 0; i < m; ++i)
      for (uint32_t j = i + 1; j < m; ++j, ++k) {
        if (k % parts != part) continue;
        Analysis own = a.spill ? own_table(a, 2, share) : Analysis{};
        const uint64_t n = analyse_pair(a, i, j, sample_divisor, a.spill ? own : s.two);
        smallest[part] = std::min(smallest[part], n);
      }
  });
  a.smallest_pair = m == 1 ? a.used[0] : *std::min_element(smallest.begin(), smallest.end());

  Moments moments;
  for (uint32_t i = 0; i < m; ++i)
    if (constant[i]) moments.constant.push_back(i);
  return moments;
}

namespace {

// keep_complete_rows for a table analysed in passes: the complete rows and
// their labels copied to a new spill, which takes the old one's place.
void keep_complete_spilled_rows(Analysis &a, const std::vector<uint32_t> &all) {
  const RowSpill &old = *a.spill;
  std::shared_ptr<RowSpill> kept = make_row_spill(old.stride);
  kept->block_rows = old.block_rows;
  kept->capacity = old.capacity;
  kept->scratch = old.scratch;
  kept->budget = old.budget;
  const bool labelled = old.label_fd >= 0;
  std::unique_ptr<double[]> block(new double[old.block_rows * old.stride]);
  std::vector<std::string> labels(labelled ? old.block_rows : 0);
  uint64_t held = 0, count = 0;
  const auto flush = [&] {
    spill_rows(*kept, block.get(), held);
    if (labelled) spill_labels(*kept, labels, held);
    held = 0;
  };
  RowCursor rows = row_cursor(a);
  LabelCursor label = label_cursor(a);
  for (RowRange r; next_rows(rows, r);)
    for (uint64_t k = 0; k < r.count; ++k) {
      const bool complete = all_present(r[k], all.data(), a.m);
      if (labelled) next_label(label, complete ? &labels[held] : nullptr);
      if (!complete) continue;
      std::copy(r[k], r[k] + old.stride, block.get() + held * old.stride);
      if (!a.group_of_row.empty()) a.group_of_row[count] = a.group_of_row[r.first + k];
      ++count;
      if (++held == old.block_rows) flush();
    }
  flush();
  a.spill = std::move(kept);
  a.rows_left_out = a.n - count;
  a.n = static_cast<uint32_t>(count);
}

}  // namespace

void keep_complete_rows(Analysis &a) {
  std::vector<uint32_t> all(a.m);
  for (uint32_t i = 0; i < a.m; ++i) all[i] = i;
  if (a.spill) return keep_complete_spilled_rows(a, all);
  uint32_t kept = 0;
  for (uint32_t k = 0; k < a.n; ++k) {
    if (!all_present(a.data[k], all.data(), a.m)) continue;
    if (kept != k) {
      std::copy(a.data[k], a.data[k] + a.m, a.data[kept]);
      if (!a.labels.empty()) a.labels[kept] = std::move(a.labels[k]);
      if (!a.group_of_row.empty()) a.group_of_row[kept] = a.group_of_row[k];
    }
    ++kept;
  }
  a.rows_left_out = a.n - kept;
  a.n = kept;
}
