// Rank correlations: Spearman's rho from average ranks, Kendall's tau-b by
// Knight's count of exchanges in a merge sort, and the tie sums the tests of
// those correlations need; a table analysed in passes keeps its ranks in a
// temporary file.
#include "stats/rankcorr.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <memory>
#include <utility>

#include "record/rowspill.h"

namespace {

// A variable's row order by value (ascending, stable) and each row's dense
// rank (equal values, both zeros among them, share one).
struct RankedColumn {
  std::vector<uint32_t> order;
  std::vector<uint32_t> rank;
  uint64_t tied_pairs = 0;  // pairs of rows with equal values
  TieSums ties;             // the tie groups' sums
};

// Below this many values a comparison sort is quicker than the radix passes.
constexpr size_t kRadixLeast = 1024;

// A value's order key: unsigned keys in the order of the values, equal for
// equal values (-0 as +0). The values are not NaN.
uint64_t order_key(double x) {
  if (x == 0) x = 0.0;
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return (bits >> 63) != 0 ? ~bits : bits | (uint64_t{1} << 63);
}

// The rows in ascending order of their values, stably, by a least
// significant digit radix sort over the order keys, 11 bits a pass; a pass
// whose digit every key shares is left out. `key` ends as the keys in that
// order.
std::vector<uint32_t> radix_order(const std::vector<double> &v, std::vector<uint64_t> &key) {
  constexpr int kBits = 11, kPasses = 6;
  constexpr size_t kBuckets = size_t{1} << kBits;
  const size_t n = v.size();
  key.resize(n);
  std::vector<uint64_t> key_to(n);
  std::vector<uint32_t> order(n), order_to(n);
  std::vector<uint32_t> count(kPasses * kBuckets, 0);
  for (size_t k = 0; k < n; ++k) {
    key[k] = order_key(v[k]);
    order[k] = static_cast<uint32_t>(k);
    for (int p = 0; p < kPasses; ++p) ++count[p * kBuckets + ((key[k] >> (p * kBits)) & (kBuckets - 1))];
  }
  for (int p = 0; p < kPasses; ++p) {
    uint32_t *c = count.data() + p * kBuckets;
    if (c[(key[0] >> (p * kBits)) & (kBuckets - 1)] == n) continue;
    uint32_t at = 0;
    for (size_t b = 0; b < kBuckets; ++b) {
      const uint32_t here = c[b];
      c[b] = at;
      at += here;
    }
    for (size_t k = 0; k < n; ++k) {
      const uint32_t to = c[(key[k] >> (p * kBits)) & (kBuckets - 1)]++;
      key_to[to] = key[k];
      order_to[to] = order[k];
    }
    key.swap(key_to);
    order.swap(order_to);
  }
  return order;
}

// The rows in ascending order of their values, stably, and their order
// keys in that order.
std::vector<uint32_t> ascending_order(const std::vector<double> &v, std::vector<uint64_t> &key) {
  if (v.size() >= kRadixLeast) return radix_order(v, key);
  std::vector<uint32_t> order(v.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(),
                   [&v](uint32_t p, uint32_t q) { return v[p] < v[q]; });
  key.resize(v.size());
  for (size_t k = 0; k < v.size(); ++k) key[k] = order_key(v[order[k]]);
  return order;
}

// The sums over tie groups of sizes t, in ascending order of their values.
void add_tie(TieSums &s, uint64_t size) {
  const double t = static_cast<double>(size);
  if (t <= 1) return;
  s.pairs += t * (t - 1) / 2;
  s.v += t * (t - 1) * (2 * t + 5);
  s.two += t * (t - 1);
  s.three += t * (t - 1) * (t - 2);
}

RankedColumn ranked_column(const std::vector<double> &v) {
  const uint32_t n = static_cast<uint32_t>(v.size());
  RankedColumn c;
  std::vector<uint64_t> key;
  c.order = ascending_order(v, key);
  c.rank.resize(n);
  uint32_t dense = 0;
  uint64_t run = 0;
  for (uint32_t k = 0; k < n; ++k) {
    if (k > 0 && key[k - 1] != key[k]) {
      ++dense;
      c.tied_pairs += run * (run - 1) / 2;
      add_tie(c.ties, run);
      run = 0;
    }
    ++run;
    c.rank[c.order[k]] = dense;
  }
  c.tied_pairs += run * (run - 1) / 2;
  add_tie(c.ties, run);
  return c;
}

// Runs of this many values are sorted by insertion before the merges.
constexpr size_t kInsertionRun = 32;

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
      size_t p = lo, q = mid, out = lo;
      // Without branches: which side goes next is as good as random.
      while (p < mid && q < hi) {
        const uint32_t left = y[p], right = y[q];
        const bool passes = right < left;
        buffer[out++] = passes ? right : left;
        exchanges += passes ? mid - p : 0;
        p += !passes;
        q += passes;
      }
      while (p < mid) buffer[out++] = y[p++];
      while (q < hi) buffer[out++] = y[q++];
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
  for (uint64_t k = 0; k < n;) {
    uint64_t end = k + 1;
    while (end < n && x.rank[x.order[end]] == x.rank[x.order[k]]) ++end;
    if (end - k > 1) {
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
    k = end;
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
std::vector<double> column_values(const Analysis &a, uint32_t i) {
  std::vector<double> v;
  v.reserve(a.n);
  RowCursor rows = row_cursor(a);
  for (RowRange r; next_rows(rows, r);)
    for (uint64_t k = 0; k < r.count; ++k) v.push_back(r[k][i]);
  return v;
}

void set_pair(Analysis &a, uint32_t i, uint32_t j, double r) {
  if (std::isnan(r)) r = 0;  // a constant variable, as under Pearson's r
  r = std::clamp(r, -1.0, 1.0);
  a.correlation[i][j] = r;
  a.correlation[j][i] = r;
}

// The average ranks of a ranked column: ranks k + 1 .. end of a tie share
// their mean.
std::vector<double> average_ranks_of(const RankedColumn &c) {
  const uint64_t n = c.order.size();
  std::vector<double> ranks(n);
  for (uint64_t k = 0; k < n;) {
    uint64_t end = k + 1;
    while (end < n && c.rank[c.order[end]] == c.rank[c.order[k]]) ++end;
    const double mean = (static_cast<double>(k + 1) + static_cast<double>(end)) / 2;
    for (uint64_t l = k; l < end; ++l) ranks[c.order[l]] = mean;
    k = end;
  }
  return ranks;
}

// Spearman's sums of a table analysed in passes, whose centred ranks are
// in `kept`: a block of rows of every variable's ranks at a time, each
// pair's sum taking its terms in row order as in memory.
void spilled_rank_sums(Analysis &a, const ColumnSpill &kept, const std::vector<double> &squares) {
  const uint32_t m = a.m;
  const uint64_t block = a.spill->block_rows;
  std::vector<double> sums(uint64_t{m} * m, 0), part(uint64_t{m} * block);
  for (uint64_t first = 0; first < a.n; first += block) {
    const uint64_t count = std::min<uint64_t>(block, a.n - first);
    for (uint32_t i = 0; i < m; ++i)
      read_spilled_array(kept, i, first * sizeof(double), count * sizeof(double),
                         part.data() + i * block);
    for (uint32_t i = 0; i < m; ++i)
      for (uint32_t j = i + 1; j < m; ++j) {
        const double *x = part.data() + i * block, *y = part.data() + j * block;
        double sum = sums[uint64_t{i} * m + j];
        for (uint64_t k = 0; k < count; ++k) sum += x[k] * y[k];
        sums[uint64_t{i} * m + j] = sum;
      }
  }
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = i + 1; j < m; ++j)
      set_pair(a, i, j, sums[uint64_t{i} * m + j] / std::sqrt(squares[i] * squares[j]));
}

// A table analysed in passes keeps its variables' ranks in a temporary
// file, and ranks one variable at a time.
std::unique_ptr<ColumnSpill> rank_spill(const Analysis &a, uint64_t bytes_a_row) {
  return a.spill ? make_column_spill(uint64_t{a.n} * bytes_a_row) : nullptr;
}

void spearman_matrix(Analysis &a, std::vector<TieSums> &ties, Workers &w) {
  const uint32_t m = a.m;
  const double centre = (static_cast<double>(a.n) + 1) / 2;
  const std::unique_ptr<ColumnSpill> kept = rank_spill(a, sizeof(double));
  std::vector<std::vector<double>> ranks(m);
  std::vector<double> squares(m, 0);
  w.run(
      m,
      [&](uint32_t i, uint32_t) {
        const RankedColumn c = ranked_column(column_values(a, i));
        ties[i] = c.ties;
        ranks[i] = average_ranks_of(c);
        for (double &r : ranks[i]) {
          r -= centre;
          squares[i] += r * r;
        }
        if (!kept) return;
        write_spilled_array(*kept, i, ranks[i].data());
        ranks[i] = std::vector<double>();
      },
      kept ? 1 : 0);
  if (kept) return spilled_rank_sums(a, *kept, squares);
  w.run(m, [&](uint32_t i, uint32_t) {
    for (uint32_t j = i + 1; j < m; ++j) {
      double sum = 0;
      for (uint32_t k = 0; k < a.n; ++k) sum += ranks[i][k] * ranks[j][k];
      set_pair(a, i, j, sum / std::sqrt(squares[i] * squares[j]));
    }
  });
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
  const std::unique_ptr<ColumnSpill> kept = rank_spill(a, 2 * sizeof(uint32_t));
  std::vector<RankedColumn> columns(m);
  w.run(
      m,
      [&](uint32_t i, uint32_t) {
        RankedColumn &c = columns[i];
        c = ranked_column(column_values(a, i));
        ties[i] = c.ties;
        if (!kept) return;
        c.order.insert(c.order.end(), c.rank.begin(), c.rank.end());
        write_spilled_array(*kept, i, c.order.data());
        c.order = std::vector<uint32_t>();
        c.rank = std::vector<uint32_t>();
      },
      kept ? 1 : 0);
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

std::vector<double> average_ranks(const std::vector<double> &values) {
  return average_ranks_of(ranked_column(values));
}

double kendall_tau_b(const std::vector<double> &x, const std::vector<double> &y) {
  std::vector<uint32_t> seq, buffer;
  return kendall_of(ranked_column(x), ranked_column(y), seq, buffer);
}

TieSums tie_sums(const std::vector<double> &values) { return ranked_column(values).ties; }

std::vector<TieSums> make_rank_correlation(Analysis &a, RankMethod method, Workers &w) {
  std::vector<TieSums> ties(a.m);
  if (method == RankMethod::spearman) spearman_matrix(a, ties, w);
  if (method == RankMethod::kendall) kendall_matrix(a, ties, w);
  return ties;
}
