// Rank correlations: Spearman's rho from average ranks, Kendall's tau-b by
// Knight's count of exchanges in a merge sort, and the tie sums the tests of
// those correlations need; a table analysed in passes keeps its ranks in a
// temporary file.
#include "stats/rankcorr.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "record/rowspill.h"
#include "record/workarrays.h"
#include "stats/ranksort.h"

namespace {

// A variable's row order by value (ascending, stable) and each row's dense
// rank (equal values, both zeros among them, share one).
struct RankedColumn {
  std::vector<uint32_t> order;
  std::vector<uint32_t> rank;
  uint64_t tied_pairs = 0;  // pairs of rows with equal values
  TieSums ties;             // the tie groups' sums
  // The ties of two or more rows, as [first, end) in `order`.
  std::vector<std::pair<uint32_t, uint32_t>> tie_runs;
};

// The sums over tie groups of sizes t, in ascending order of their values.
void add_tie(TieSums &s, uint64_t size) {
  const double t = static_cast<double>(size);
  if (t <= 1) return;
  s.pairs += t * (t - 1) / 2;
  s.v += t * (t - 1) * (2 * t + 5);
  s.two += t * (t - 1);
  s.three += t * (t - 1) * (t - 2);
}

// The column's ties of two or more rows, from its order and ranks.
void find_tie_runs(RankedColumn &c) {
  const uint64_t n = c.order.size();
  c.tie_runs.clear();
  for (uint64_t k = 0; k < n;) {
    uint64_t end = k + 1;
    while (end < n && c.rank[c.order[end]] == c.rank[c.order[k]]) ++end;
    if (end - k > 1) c.tie_runs.emplace_back(k, end);
    k = end;
  }
}

RankedColumn ranked_column(const double *v, uint64_t n, SortScratch &s) {
  RankedColumn c;
  const SortedRows sorted = sort_rows(v, n, s);
  c.order.resize(n);
  c.rank.resize(n);
  uint32_t dense = 0;
  for_each_tie(sorted, s, [&](uint64_t first, uint64_t end) {
    for (uint64_t k = first; k < end; ++k) {
      c.order[k] = row_of(s.rows[k], sorted);
      c.rank[c.order[k]] = dense;
    }
    ++dense;
    c.tied_pairs += (end - first) * (end - first - 1) / 2;
    add_tie(c.ties, end - first);
  });
  find_tie_runs(c);
  return c;
}

// Runs of this many values are sorted by insertion before the merges.
constexpr size_t kInsertionRun = 16;

// A merge of the sorted runs y[left, left_end) and y[right, right_end)
// into out, from `front` forward and from `back` backward at once; `mid`
// is where the whole merge's right run starts. The exchanges are counted as
// each right value goes: the values of the whole left run above it. A
// used-up run's value is moved past every value (by 2^32) and the loads
// are clamped to y[first, last], so that no step branches on the values.
// Ties go as in a stable merge, the left run's value first.
struct MergeEnds {
  uint64_t left, left_end, right, right_end;  // the runs
  uint64_t p, q;                              // the front's next values
  uint64_t p_back, q_back;                    // the back's are just below these
  uint64_t front, back;                       // where the next outputs go
  uint64_t exchanges = 0;
};

MergeEnds merge_ends(uint64_t left, uint64_t left_end, uint64_t right, uint64_t right_end,
                     uint64_t front) {
  return {left, left_end, right, right_end, left, right, left_end, right_end,
          front, front + (left_end - left) + (right_end - right)};
}

inline void step_front(const uint32_t *y, uint32_t *out, MergeEnds &e, uint64_t mid,
                       uint64_t last) {
  const int64_t left = int64_t{y[std::min(e.p, last)]} + (int64_t{e.p >= e.left_end} << 32);
  const int64_t right = int64_t{y[std::min(e.q, last)]} + (int64_t{e.q >= e.right_end} << 32);
  const uint64_t right_first = right < left;
  out[e.front++] = static_cast<uint32_t>(right_first ? right : left);
  e.exchanges += (mid - e.p) & (0 - right_first);
  e.p += 1 - right_first;
  e.q += right_first;
}

inline void step_back(const uint32_t *y, uint32_t *out, MergeEnds &e, uint64_t mid,
                      uint64_t first) {
  const int64_t left = int64_t{y[std::max(e.p_back, first + 1) - 1]} -
                       (int64_t{e.p_back <= e.left} << 32);
  const int64_t right = int64_t{y[std::max(e.q_back, first + 1) - 1]} -
                        (int64_t{e.q_back <= e.right} << 32);
  const uint64_t left_goes = left > right;
  out[--e.back] = static_cast<uint32_t>(left_goes ? left : right);
  e.exchanges += (mid - e.p_back) & (left_goes - 1);
  e.p_back -= left_goes;
  e.q_back -= 1 - left_goes;
}

// The same steps while neither run can be used up: no more steps than the
// shorter run has values.
inline void step_front_within(const uint32_t *y, uint32_t *out, MergeEnds &e, uint64_t mid) {
  const uint32_t left = y[e.p], right = y[e.q];
  const uint64_t right_first = right < left;
  out[e.front++] = right_first ? right : left;
  e.exchanges += (mid - e.p) & (0 - right_first);
  e.p += 1 - right_first;
  e.q += right_first;
}

inline void step_back_within(const uint32_t *y, uint32_t *out, MergeEnds &e, uint64_t mid) {
  const uint32_t left = y[e.p_back - 1], right = y[e.q_back - 1];
  const uint64_t left_goes = left > right;
  out[--e.back] = left_goes ? left : right;
  e.exchanges += (mid - e.p_back) & (left_goes - 1);
  e.p_back -= left_goes;
  e.q_back -= 1 - left_goes;
}

uint64_t shorter_run(const MergeEnds &e) {
  return std::min(e.left_end - e.left, e.right_end - e.right);
}

// How many of the left run's values are among the first `h` values of the
// stable merge of y[lo, mid) and y[mid, hi).
uint64_t left_among_first(const uint32_t *y, uint64_t lo, uint64_t mid, uint64_t hi, uint64_t h) {
  uint64_t low = h > hi - mid ? h - (hi - mid) : 0, high = std::min(h, mid - lo);
  while (low < high) {
    const uint64_t i = low + (high - low) / 2;
    if (y[lo + i] <= y[mid + (h - i) - 1])
      low = i + 1;
    else
      high = i;
  }
  return low;
}

// Below this many values a merge is not split in two.
constexpr uint64_t kSplitLeast = 64;

// Merges the sorted runs y[lo, mid) and y[mid, hi) into out[lo, hi) and
// returns the exchanges that takes: for each value of the right run, the
// values of the left run above it. A long merge is split where the first
// half of its output ends, and the two halves are merged from both ends
// at once: four chains of steps that do not wait on one another.
uint64_t merge_counting(const uint32_t *y, uint32_t *out, uint64_t lo, uint64_t mid,
                        uint64_t hi) {
  const uint64_t total = hi - lo, last = hi - 1;
  if (total < kSplitLeast || mid == hi) {
    MergeEnds e = merge_ends(lo, mid, mid, hi, lo);
    const uint64_t within = std::min(total / 2, shorter_run(e));
    for (uint64_t k = 0; k < within; ++k) {
      step_front_within(y, out, e, mid);
      step_back_within(y, out, e, mid);
    }
    for (uint64_t k = within; k < total / 2; ++k) {
      step_front(y, out, e, mid, last);
      step_back(y, out, e, mid, lo);
    }
    if (total % 2 != 0) step_front(y, out, e, mid, last);
    return e.exchanges;
  }
  const uint64_t h = total / 2, i = left_among_first(y, lo, mid, hi, h);
  MergeEnds a = merge_ends(lo, lo + i, mid, mid + (h - i), lo);
  MergeEnds b = merge_ends(lo + i, mid, mid + (h - i), hi, lo + h);
  const uint64_t steps = h / 2;  // b makes h or h + 1 values
  const uint64_t within = std::min({steps, shorter_run(a), shorter_run(b)});
  for (uint64_t k = 0; k < within; ++k) {
    step_front_within(y, out, a, mid);
    step_back_within(y, out, a, mid);
    step_front_within(y, out, b, mid);
    step_back_within(y, out, b, mid);
  }
  for (uint64_t k = within; k < steps; ++k) {
    step_front(y, out, a, mid, last);
    step_back(y, out, a, mid, lo);
    step_front(y, out, b, mid, last);
    step_back(y, out, b, mid, lo);
  }
  while (a.front < a.back) step_front(y, out, a, mid, last);
  while (b.front < b.back) step_front(y, out, b, mid, last);
  return a.exchanges + b.exchanges;
}

// Sorts `y` ascending with a bottom-up merge sort and returns the number of
// exchanges an insertion sort would make (pairs k < l with y[k] > y[l]):
// short runs by insertion, counting each step, then merges that count the
// values each one passes.
uint64_t count_exchanges(std::vector<uint32_t> &y, std::vector<uint32_t> &buffer) {
  const size_t n = y.size();
  buffer.resize(n);
  uint64_t exchanges = 0;
  for (size_t lo = 0; lo < n; lo += kInsertionRun) {
    const size_t hi = std::min(lo + kInsertionRun, n);
    for (size_t k = lo + 1; k < hi; ++k) {
      const uint32_t v = y[k];
      size_t at = k;
      for (; at > lo && y[at - 1] > v; --at) y[at] = y[at - 1];
      y[at] = v;
      exchanges += k - at;
    }
  }
  for (size_t width = kInsertionRun; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      exchanges += merge_counting(y.data(), buffer.data(), lo, mid, hi);
    }
    y.swap(buffer);
  }
  return exchanges;
}

// Knight's algorithm: the rows in x's order, ties in x broken by y; the
// pairs tied in both counted on that order; the exchanges that sort y then
// are the discordant pairs.
double kendall_of(const RankedColumn &x, const RankedColumn &y, std::vector<uint32_t> &seq,
                  std::vector<uint32_t> &buffer) {
  const uint64_t n = x.order.size();
  seq.resize(n);
  for (uint64_t k = 0; k < n; ++k) seq[k] = y.rank[x.order[k]];
  uint64_t joint = 0;
  for (const auto &[k, end] : x.tie_runs) {
    std::sort(seq.begin() + k, seq.begin() + end);
    uint64_t run = 1;
    for (uint64_t l = k + 1; l <= end; ++l) {
      if (l < end && seq[l] == seq[l - 1]) {
        ++run;
      } else {
        joint += run * (run - 1) / 2;
        run = 1;
      }
    }
  }
  const uint64_t n0 = n * (n - 1) / 2;
  const uint64_t exchanges = count_exchanges(seq, buffer);
  const int64_t s = static_cast<int64_t>(n0 - x.tied_pairs - y.tied_pairs + joint) -
                    2 * static_cast<int64_t>(exchanges);
  const double den =
      static_cast<double>(n0 - x.tied_pairs) * static_cast<double>(n0 - y.tied_pairs);
  if (den == 0) return std::nan("");
  return static_cast<double>(s) / std::sqrt(den);
}

// A variable's values in row order, from memory or from the spill.
void column_values(const Analysis &a, uint32_t i, std::vector<double> &v) {
  v.resize(a.n);
  uint64_t at = 0;
  RowCursor rows = row_cursor(a);
  for (RowRange r; next_rows(rows, r);)
    for (uint64_t k = 0; k < r.count; ++k) v[at++] = r[k][i];
}

// Every variable's values in row order, variable after variable, in one
// walk over the rows of a table in memory: the workers take runs of rows.
std::unique_ptr<double[]> columns_of(const Analysis &a, Workers &w) {
  const uint64_t n = a.n, m = a.m;
  std::unique_ptr<double[]> columns(new double[n * m]);  // each value written once
  advise_huge_pages(columns.get(), n * m * sizeof(double));
  const uint32_t parts = w.count();
  w.run(parts, [&](uint32_t part, uint32_t) {
    for (uint64_t k = n * part / parts; k < n * (part + 1) / parts; ++k) {
      const double *row = a.data[k];
      for (uint64_t i = 0; i < m; ++i) columns[i * n + k] = row[i];
    }
  });
  return columns;
}

void set_pair(Analysis &a, uint32_t i, uint32_t j, double r) {
  if (std::isnan(r)) r = 0;  // a constant variable, as under Pearson's r
  r = std::clamp(r, -1.0, 1.0);
  a.correlation[i][j] = r;
  a.correlation[j][i] = r;
}

// Spearman's rho is Pearson's r of the average ranks. Doubled and centred,
// 2r - (n + 1), the ranks are integers below n in magnitude, and the sums
// of their squares and products are taken exactly, in integers: so the
// order of the terms does not matter, and memory, passes and any count of
// workers give the same bits.
struct CentredRanks {
  unsigned __int128 square = 0;  // the sum of the squares
  TieSums ties;
};

// Writes the doubled, centred average ranks of the n values of `v` into
// `ranks` (which may be `v` itself). Their squares sum to (n^3 - n) / 3
// less (t^3 - t) / 3 for each tie of t values: a tie's ranks, doubled, lie
// (t^2 - 1) / 3 apart from their mean in the mean square.
CentredRanks centred_ranks(const double *v, uint64_t n, double *ranks, SortScratch &s) {
  CentredRanks c;
  const SortedRows sorted = sort_rows(v, n, s);
  unsigned __int128 tied_cubes = 0;  // the sum of t^3 - t
  for_each_tie(sorted, s, [&](uint64_t first, uint64_t end) {
    // Ranks first + 1 .. end share their mean, (first + 1 + end) / 2.
    const int64_t doubled = static_cast<int64_t>(first + end) - static_cast<int64_t>(n);
    const double r = static_cast<double>(doubled);
    for (uint64_t k = first; k < end; ++k) ranks[row_of(s.rows[k], sorted)] = r;
    const uint64_t t = end - first;
    if (t == 1) return;
    tied_cubes += static_cast<unsigned __int128>(t * t - 1) * t;
    add_tie(c.ties, t);
  });
  c.square = (static_cast<unsigned __int128>(n * n - 1) * n - tied_cubes) / 3;
  return c;
}

double spearman_of(__int128 products, unsigned __int128 square_x, unsigned __int128 square_y) {
  return static_cast<double>(products) /
         std::sqrt(static_cast<double>(square_x) * static_cast<double>(square_y));
}

// Adds the products of rows [first, first + count) of every pair of the m
// variables, whose ranks lie `stride` apart, to sums[i * m + j], i < j.
void add_rank_products(const double *ranks, uint64_t stride, uint32_t m, uint64_t first,
                       uint64_t count, uint64_t bound, __int128 *sums) {
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = i + 1; j < m; ++j)
      sums[uint64_t{i} * m + j] +=
          exact_products(ranks + i * stride + first, ranks + j * stride + first, count, bound);
}

void set_spearman(Analysis &a, const std::vector<__int128> &sums,
                  const std::vector<CentredRanks> &c) {
  for (uint32_t i = 0; i < a.m; ++i)
    for (uint32_t j = i + 1; j < a.m; ++j)
      set_pair(a, i, j, spearman_of(sums[uint64_t{i} * a.m + j], c[i].square, c[j].square));
}

// Spearman's sums of a table analysed in passes, whose ranks are in
// `kept`: a block of rows of every variable's ranks at a time.
void spilled_rank_sums(Analysis &a, const ColumnSpill &kept, const std::vector<CentredRanks> &c) {
  const uint32_t m = a.m;
  const uint64_t block = walk_rows(a);
  std::vector<__int128> sums(uint64_t{m} * m, 0);
  std::vector<double> part(uint64_t{m} * block);
  for (uint64_t first = 0; first < a.n; first += block) {
    const uint64_t count = std::min<uint64_t>(block, a.n - first);
    for (uint32_t i = 0; i < m; ++i)
      read_spilled_array(kept, i, first * sizeof(double), count * sizeof(double),
                         part.data() + i * block);
    add_rank_products(part.data(), block, m, 0, count, a.n, sums.data());
  }
  set_spearman(a, sums, c);
}

// Spearman's sums of a table in memory. Up to kBlockedMost variables, the
// workers take runs of rows short enough that every variable's part stays
// in the cache while each pair's products are summed, each worker into sums
// of its own, added at the end; past it, a variable and its later partners
// at a time.
constexpr uint32_t kBlockedMost = 512;

void rank_sums(Analysis &a, const double *ranks, const std::vector<CentredRanks> &c,
               Workers &w) {
  const uint32_t m = a.m;
  const uint64_t n = a.n;
  std::vector<__int128> sums(uint64_t{m} * m, 0);
  if (m > kBlockedMost) {
    w.run(m, [&](uint32_t i, uint32_t) {
      for (uint32_t j = i + 1; j < m; ++j)
        sums[uint64_t{i} * m + j] =
            exact_products(ranks + i * n, ranks + j * n, n, n);
    });
    return set_spearman(a, sums, c);
  }
  const uint64_t run = std::clamp<uint64_t>((uint64_t{1} << 18) / m, 256, 4096);
  const uint32_t runs = static_cast<uint32_t>((n + run - 1) / run);
  std::vector<std::vector<__int128>> part(w.count(), std::vector<__int128>(uint64_t{m} * m, 0));
  w.run(runs, [&](uint32_t r, uint32_t worker) {
    const uint64_t first = uint64_t{r} * run;
    add_rank_products(ranks, n, m, first, std::min(run, n - first), n, part[worker].data());
  });
  for (const std::vector<__int128> &p : part)
    for (uint64_t k = 0; k < sums.size(); ++k) sums[k] += p[k];
  set_spearman(a, sums, c);
}

void spearman_matrix(Analysis &a, std::vector<TieSums> &ties, Workers &w) {
  const uint32_t m = a.m;
  const uint64_t n = a.n;
  std::vector<CentredRanks> centred(m);
  std::vector<SortScratch> scratch(w.count());
  // A table analysed in passes keeps its variables' ranks aside, and ranks
  // one variable at a time.
  if (const std::unique_ptr<ColumnSpill> kept = arrays_aside(a, n * sizeof(double))) {
    std::vector<double> values;
    for (uint32_t i = 0; i < m; ++i) {
      column_values(a, i, values);
      centred[i] = centred_ranks(values.data(), n, values.data(), scratch[0]);
      ties[i] = centred[i].ties;
      write_spilled_array(*kept, i, values.data());
    }
    return spilled_rank_sums(a, *kept, centred);
  }
  // Each variable's values become its ranks in place.
  const std::unique_ptr<double[]> ranks = columns_of(a, w);
  w.run(m, [&](uint32_t i, uint32_t worker) {
    double *column = ranks.get() + i * n;
    centred[i] = centred_ranks(column, n, column, scratch[worker]);
    ties[i] = centred[i].ties;
  });
  scratch = std::vector<SortScratch>();
  rank_sums(a, ranks.get(), centred, w);
}

// Kendall's tau of a table analysed in passes, whose ranked columns (each
// its order, then its ranks) are in `kept`: one variable's order and ranks
// in memory, and the other's ranks, pair after pair.
void spilled_kendall(Analysis &a, const ColumnSpill &kept, const std::vector<RankedColumn> &tied) {
  const uint64_t n = a.n, half = n * sizeof(uint32_t);
  std::vector<uint32_t> seq, buffer;
  RankedColumn x, y;
  for (uint32_t i = 0; i < a.m; ++i) {
    x.order.resize(n);
    x.rank.resize(n);
    read_spilled_array(kept, i, 0, half, x.order.data());
    read_spilled_array(kept, i, half, half, x.rank.data());
    x.tied_pairs = tied[i].tied_pairs;
    find_tie_runs(x);
    for (uint32_t j = i + 1; j < a.m; ++j) {
      y.rank.resize(n);
      read_spilled_array(kept, j, half, half, y.rank.data());
      y.tied_pairs = tied[j].tied_pairs;
      set_pair(a, i, j, kendall_of(x, y, seq, buffer));
    }
  }
}

void kendall_matrix(Analysis &a, std::vector<TieSums> &ties, Workers &w) {
  const uint32_t m = a.m;
  const std::unique_ptr<ColumnSpill> kept = arrays_aside(a, uint64_t{a.n} * 2 * sizeof(uint32_t));
  std::vector<RankedColumn> columns(m);
  std::vector<SortScratch> scratch(w.count());
  std::vector<std::vector<double>> values(w.count());
  w.run(
      m,
      [&](uint32_t i, uint32_t worker) {
        RankedColumn &c = columns[i];
        column_values(a, i, values[worker]);
        c = ranked_column(values[worker].data(), a.n, scratch[worker]);
        ties[i] = c.ties;
        if (!kept) return;
        c.order.insert(c.order.end(), c.rank.begin(), c.rank.end());
        write_spilled_array(*kept, i, c.order.data());
        c.order = std::vector<uint32_t>();
        c.rank = std::vector<uint32_t>();
        c.tie_runs = {};
      },
      kept ? 1 : 0);
  scratch = std::vector<SortScratch>();
  values = std::vector<std::vector<double>>();
  if (kept) return spilled_kendall(a, *kept, columns);
  // One task a pair, so that the workers share the pairs evenly.
  std::vector<std::pair<uint32_t, uint32_t>> pairs;
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = i + 1; j < m; ++j) pairs.emplace_back(i, j);
  std::vector<std::vector<uint32_t>> seq(w.count()), buffer(w.count());
  w.run(static_cast<uint32_t>(pairs.size()), [&](uint32_t k, uint32_t worker) {
    const auto [i, j] = pairs[k];
    set_pair(a, i, j, kendall_of(columns[i], columns[j], seq[worker], buffer[worker]));
  });
}

}  // namespace

__int128 exact_products(const double *x, const double *y, uint64_t n, uint64_t bound) {
  __int128 total = 0;
  const unsigned __int128 square = static_cast<unsigned __int128>(bound) * bound;
  constexpr unsigned __int128 kExact = uint64_t{1} << 53;
  if (square >= kExact) {
    for (uint64_t k = 0; k < n; ++k)
      total += static_cast<__int128>(static_cast<int64_t>(x[k])) * static_cast<int64_t>(y[k]);
    return total;
  }
  // Eight lanes as four pairs of doubles, which the compiler keeps in
  // vector registers on every target.
  typedef double Two __attribute__((vector_size(16)));
  constexpr uint64_t kLanes = 8;
  const uint64_t run = kLanes * static_cast<uint64_t>(kExact / square);
  for (uint64_t first = 0; first < n; first += run) {
    const uint64_t end = n - first < run ? n : first + run;
    Two lane[4] = {};
    uint64_t k = first;
    for (; k + kLanes <= end; k += kLanes)
      for (int l = 0; l < 4; ++l) {
        Two u, v;
        std::memcpy(&u, x + k + 2 * l, sizeof u);
        std::memcpy(&v, y + k + 2 * l, sizeof v);
        lane[l] += u * v;
      }
    for (; k < end; ++k) total += static_cast<int64_t>(x[k] * y[k]);  // each product exact
    for (const Two &two : lane) total += static_cast<int64_t>(two[0]) + static_cast<int64_t>(two[1]);
  }
  return total;
}

std::vector<TieSums> make_rank_correlation(Analysis &a, RankMethod method, Workers &w) {
  std::vector<TieSums> ties(a.m);
  if (method == RankMethod::spearman) spearman_matrix(a, ties, w);
  if (method == RankMethod::kendall) kendall_matrix(a, ties, w);
  return ties;
}
