// Median and quartiles of every variable. Only the few sorted positions the
// interpolation reads are found, by selection in a copy of short columns and
// by a radix selection over the bits of long ones, read in place. Where a
// column holds both +0 and -0, which the comparison calls equal, the zeros
// keep their order in the column, as a stable sort leaves them; a column
// holding NaN is sorted by the platform's qsort, whose order for it no other
// sort repeats. Scratch memory is rationed among the workers.
#include "stats/orderstats.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "machine/memory.h"
#include "record/rowspill.h"
#include "base/messages.h"

namespace {

// Ascending order for qsort: the sign of a - b, so that a NaN compares equal
// to everything and +0 equals -0.
int compare_ascending(const void *pa, const void *pb) {
  const double d = *static_cast<const double *>(pa) - *static_cast<const double *>(pb);
  if (d < 0) return -1;
  if (d > 0) return 1;
  return 0;
}

// Columns one copying pass over the data serves: the matrix is stored by
// rows, so a pass over it for a single column would fetch whole cache lines
// for one value.
constexpr uint32_t kColumnsPerPass = 4;

// Whether the sort comparison is a total order on a column: no NaN, and not
// both +0 and -0. Then values it calls equal are identical, and every sorting
// method, a partial one included, puts the same value at every position.
struct ColumnOrder {
  bool nan = false, plus_zero = false, minus_zero = false;
  bool total() const { return !nan && !(plus_zero && minus_zero); }
  bool both_zeros() const { return plus_zero && minus_zero; }
  void see(double x) {
    nan |= std::isnan(x);
    if (x == 0) (std::signbit(x) ? minus_zero : plus_zero) = true;
  }
};

// Puts the sorted values at the ascending positions idx[0..count) into place
// within a[lo, hi), every position lying in that range: partitions at the
// middle one and handles each side alone. A position at the edge of its range
// is the smallest or largest value there, which a single scan finds.
void select_positions(double *a, size_t lo, size_t hi, const size_t *idx, size_t count) {
  if (count == 0) return;
  const size_t mid = count / 2;
  const size_t p = idx[mid];
  if (count == 1 && p == lo) {
    std::iter_swap(a + lo, std::min_element(a + lo, a + hi));
    return;
  }
  if (count == 1 && p == hi - 1) {
    std::iter_swap(a + p, std::max_element(a + lo, a + hi));
    return;
  }
  std::nth_element(a + lo, a + p, a + hi);
  select_positions(a, lo, p, idx, mid);
  select_positions(a, p + 1, hi, idx + mid + 1, count - mid - 1);
}

// Where a quartile is read in the sorted column: the mean of two
// neighbours, a weighted pair, or one value.
struct QuartileRead {
  enum Kind { kMidpoint, kWeighted, kSingle } kind;
  size_t lo, hi;       // positions read (hi unused for kSingle)
  double w_lo, w_hi;   // weights of kWeighted
};

// The interpolation at (n - 2)/4 (lower) and (3n - 2)/4 (upper) by n mod 4.
// REQUIRES: n >= 2.
void quartile_reads(size_t n, QuartileRead *lower, QuartileRead *upper) {
  const size_t q = n / 4;
  switch (n % 4) {
    case 0:
      *lower = {QuartileRead::kMidpoint, q - 1, q, 0, 0};
      *upper = {QuartileRead::kMidpoint, 3 * q - 1, 3 * q, 0, 0};
      break;
    case 1:
      *lower = {QuartileRead::kWeighted, q - 1, q, 0.25, 0.75};
      *upper = {QuartileRead::kWeighted, 3 * q, 3 * q + 1, 0.75, 0.25};
      break;
    case 2:
      *lower = {QuartileRead::kSingle, q, q, 0, 0};
      *upper = {QuartileRead::kSingle, 3 * q + 1, 3 * q + 1, 0, 0};
      break;
    default:
      *lower = {QuartileRead::kWeighted, q, q + 1, 0.75, 0.25};
      *upper = {QuartileRead::kWeighted, 3 * q + 1, 3 * q + 2, 0.25, 0.75};
      break;
  }
}

// The mean of two neighbours, (x + y) / 2, halved before adding only where
// the sum of two finite values overflows (1e308 and 1.2e308 give 1.1e308):
// the same bits as the plain formula everywhere else.
double midpoint(double x, double y) {
  const double sum = x + y;
  if (std::isinf(sum) && std::isfinite(x) && std::isfinite(y)) return x / 2 + y / 2;
  return sum / 2;
}

template <class Sorted>
double read_quartile(const QuartileRead &r, const Sorted &a) {
  switch (r.kind) {
    case QuartileRead::kMidpoint: return midpoint(a[r.lo], a[r.hi]);
    case QuartileRead::kWeighted: return r.w_lo * a[r.lo] + r.w_hi * a[r.hi];
    default: return a[r.lo];
  }
}

// The positions of the sorted column that the median and the quartiles read,
// ascending and without repeats. REQUIRES: n >= 2.
std::vector<size_t> needed_positions(size_t n) {
  const size_t h = n / 2;
  QuartileRead lower, upper;
  quartile_reads(n, &lower, &upper);
  std::vector<size_t> idx = {h, lower.lo, lower.hi, upper.lo, upper.hi};
  if (n % 2 == 0) idx.push_back(h - 1);
  std::sort(idx.begin(), idx.end());
  idx.erase(std::unique(idx.begin(), idx.end()), idx.end());
  return idx;
}

// Median at (n - 1)/2 and the quartiles in the sorted values a. A single
// value is its own median and quartiles, as the interpolation would reach
// past both ends.
template <class Sorted>
void set_order_stats(VariableStats &s, const Sorted &a, size_t n) {
  if (n == 1) {
    s.median = s.lower_quartile = s.upper_quartile = a[0];
    return;
  }
  const size_t h = n / 2;
  s.median = n % 2 ? a[h] : midpoint(a[h - 1], a[h]);
  QuartileRead lower, upper;
  quartile_reads(n, &lower, &upper);
  s.lower_quartile = read_quartile(lower, a);
  s.upper_quartile = read_quartile(upper, a);
}

// Scratch bytes shared by the workers: a worker waits until its request
// fits beside what the others hold, or runs alone when it does not fit at
// all, so the scratch in use never exceeds the larger of the limit and one
// request.
class ScratchRation {
 public:
  explicit ScratchRation(uint64_t limit) : limit_(limit) {}
  void take(uint64_t bytes) {
    std::unique_lock<std::mutex> lock(mu_);
    freed_.wait(lock, [&] { return used_ == 0 || used_ + bytes <= limit_; });
    used_ += bytes;
  }
  void give(uint64_t bytes) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      used_ -= bytes;
    }
    freed_.notify_all();
  }

 private:
  std::mutex mu_;
  std::condition_variable freed_;
  uint64_t limit_, used_ = 0;
};

// Bytes held from a ration for one scope.
struct ScratchHold {
  ScratchRation &ration;
  uint64_t bytes;
  ScratchHold(ScratchRation &r, uint64_t b) : ration(r), bytes(b) {
    if (bytes > 0) ration.take(bytes);
  }
  ~ScratchHold() {
    if (bytes > 0) ration.give(bytes);
  }
  ScratchHold(const ScratchHold &) = delete;
  ScratchHold &operator=(const ScratchHold &) = delete;
};

CArray<double> sort_buffer(size_t count) {
  const size_t bytes = count * sizeof(double);
  CArray<double> buf(beyond_memory(bytes) ? nullptr : static_cast<double *>(std::malloc(bytes)));
  if (!buf)
    fatal("Not enough memory (%s, %llu)", "sortbuffer", static_cast<unsigned long long>(bytes));
  return buf;
}

// What the phase shares among its tasks.
struct OrderJob {
  Analysis &a;
  std::vector<size_t> idx;  // the sorted positions read
  ScratchRation ration;
};


// Copies columns i0 .. i0+count-1 of the data into buf, column g at buf + g*n.
void copy_columns(const Analysis &a, uint32_t i0, uint32_t count, double *buf, ColumnOrder *order) {
  const uint32_t n = a.n;
  RowCursor cursor = row_cursor(a);
  for (RowRange r; next_rows(cursor, r);) {
    for (uint64_t j = 0; j < r.count; ++j) {
      const double *x = r[j] + i0;
      const uint64_t k = r.first + j;
      for (uint32_t g = 0; g < count; ++g) {
        buf[static_cast<size_t>(g) * n + k] = x[g];
        order[g].see(x[g]);
      }
    }
  }
}

// A column's order statistics from a copy of it: selection where the
// comparison orders it totally, the platform's full sort otherwise.
void finish_copied_column(OrderJob &job, uint32_t i, double *column, const ColumnOrder &order) {
  const size_t n = job.a.n;
  if (order.total())
    select_positions(column, 0, n, job.idx.data(), job.idx.size());
  else if (!order.nan)
    std::stable_sort(column, column + n, [](double x, double y) { return x < y; });
  else
    std::qsort(column, n, sizeof(double), compare_ascending);
  set_order_stats(job.a.stats[i], column, n);
}

// Short columns: the group copied whole, as the copy is small.
void short_group(OrderJob &job, uint32_t i0, uint32_t count) {
  const size_t n = job.a.n;
  ScratchHold hold(job.ration, n * count * sizeof(double));
  CArray<double> buf = sort_buffer(n * count);
  ColumnOrder order[kColumnsPerPass];
  copy_columns(job.a, i0, count, buf.get(), order);
  for (uint32_t g = 0; g < count; ++g)
    finish_copied_column(job, i0 + g, buf.get() + g * n, order[g]);
}

// Long columns: a radix selection over keys that order the doubles as the
// comparison does (order_key). Each round counts, in one pass over the rows,
// the next digit of the keys that share a position's settled prefix, and
// narrows the position to its digit's bucket; a bucket small enough is then
// gathered in a last pass and selected in, and a key settled to its last bit
// is the value itself. Nothing is copied but the gathered buckets. Rank
// arguments need the total order, which the first pass checks.
constexpr size_t kRadixMinRows = 65536;
// Columns one pass serves, and the digits: the first digit's counts take
// 256 KiB a column (4 MiB for the group), a later one's 16 KiB a position.
constexpr uint32_t kRadixColumns = 16;
constexpr uint32_t kFirstDigit = 16, kDigit = 12;
constexpr size_t kChunkRows = 1024;
constexpr size_t kMaxPositions = 6;  // what needed_positions() returns at most

uint64_t prefix_mask(uint32_t bits) { return bits == 0 ? 0 : ~uint64_t{0} << (64 - bits); }

// Where the search for one sorted position stands: the keys with its top
// `bits` settled hold it at `rank` among their `count`.
struct RankSearch {
  enum State { kCount, kGather, kFound } state = kCount;
  uint64_t prefix = 0;
  uint32_t bits = 0;
  uint64_t rank = 0, count = 0;
  uint32_t slot = 0;  // its prefix among the column's slots of the pass
  double value = 0;
  uint64_t zero_rank = 0;  // a zero's place among the column's zeros
};

// A prefix a pass serves, (key & mask) == want, which `size` keys share:
// counted by the digit (key >> shift) & digit, with the least and greatest
// of its keys, or gathered into `values` (room for `size`).
struct Slot {
  uint64_t mask, want, digit;
  uint32_t shift, width;
  uint64_t size;
  uint32_t *counts;
  double *values;
  size_t stored;
  uint64_t least, greatest;
};

struct RadixColumn {
  ColumnOrder order;
  std::vector<RankSearch> at;  // one per position of OrderJob::idx
  std::vector<Slot> slots;
};

// A bucket of at most this many values is gathered rather than counted
// again: a 64th of the column, and less in groups of more than ten columns,
// so that a group's buckets (six a column at most) never hold more than a
// column's copy would.
uint64_t gather_cap(uint64_t n, uint64_t columns) {
  return std::max<uint64_t>(std::min(n / 64, n / (6 * columns)), kChunkRows);
}

// The same within a scratch budget: a group's buckets take at most half of
// it, the counts and the walk's block the rest; smaller buckets only mean
// another counting round.
uint64_t gather_cap(uint64_t n, uint64_t columns, uint64_t scratch) {
  const uint64_t within = scratch / 2 / (sizeof(double) * kMaxPositions * columns);
  return std::min(gather_cap(n, columns), within);
}

// The slots of one pass for the searches in `state`, one per distinct
// prefix; the searches are ascending, so equal prefixes are neighbours.
void make_slots(RadixColumn &c, RankSearch::State state) {
  c.slots.clear();
  for (RankSearch &s : c.at) {
    if (s.state != state) continue;
    const uint64_t mask = prefix_mask(s.bits);
    if (c.slots.empty() || c.slots.back().want != s.prefix || c.slots.back().mask != mask) {
      const uint32_t width = std::min(s.bits == 0 ? kFirstDigit : kDigit, 64 - s.bits);
      const uint32_t shift = 64 - s.bits - width;
      c.slots.push_back(Slot{mask, s.prefix, (uint64_t{1} << width) - 1, shift, width, s.count,
                             nullptr, nullptr, 0, ~uint64_t{0}, 0});
    }
    s.slot = static_cast<uint32_t>(c.slots.size() - 1);
  }
}

void count_chunk(Slot &s, const double *x, size_t len) {
  const uint64_t mask = s.mask, want = s.want, digit = s.digit;
  const uint32_t shift = s.shift;
  uint32_t *counts = s.counts;
  uint64_t least = s.least, greatest = s.greatest;
  for (size_t k = 0; k < len; ++k) {
    const uint64_t key = order_key(x[k]);
    if ((key & mask) != want) continue;
    ++counts[(key >> shift) & digit];
    least = std::min(least, key);
    greatest = std::max(greatest, key);
  }
  s.least = least;
  s.greatest = greatest;
}

// Gathered buckets hold few of the values, so the branch that stores one is
// rarely taken, and each key is formed once for all the slots.
// The slots' prefixes are copied out so that the stores cannot be taken to
// change them; a column has a slot per position at most.
void gather_chunk(std::vector<Slot> &slots, const double *x, size_t len) {
  uint64_t mask[kMaxPositions], want[kMaxPositions];
  const size_t count = slots.size();
  for (size_t j = 0; j < count; ++j) {
    mask[j] = slots[j].mask;
    want[j] = slots[j].want;
  }
  for (size_t k = 0; k < len; ++k) {
    const uint64_t key = order_key(x[k]);
    for (size_t j = 0; j < count; ++j)
      if ((key & mask[j]) == want[j]) slots[j].values[slots[j].stored++] = x[k];
  }
}

// One pass over the rows for the slots of a group's columns, a chunk of rows
// at a time copied out so that every slot reads contiguous values. The first
// pass also checks the order of each column.
void radix_block(const RowRange &r, uint32_t i0, std::vector<RadixColumn> &cols, bool first,
                 bool gather, std::vector<double> &chunk) {
  const uint32_t count = static_cast<uint32_t>(cols.size());
  for (size_t k0 = 0; k0 < r.count; k0 += kChunkRows) {
    const size_t len = std::min<size_t>(r.count, k0 + kChunkRows) - k0;
    for (size_t k = 0; k < len; ++k) {
      const double *x = r[k0 + k] + i0;
      for (uint32_t g = 0; g < count; ++g) chunk[g * kChunkRows + k] = x[g];
    }
    for (uint32_t g = 0; g < count; ++g) {
      RadixColumn &c = cols[g];
      const double *x = chunk.data() + g * kChunkRows;
      if (first)
        for (size_t k = 0; k < len; ++k) c.order.see(x[k]);
      if (gather)
        gather_chunk(c.slots, x, len);
      else
        for (Slot &s : c.slots) count_chunk(s, x, len);
    }
  }
}

void radix_pass(OrderJob &job, uint32_t i0, std::vector<RadixColumn> &cols, bool first,
                bool gather) {
  std::vector<double> chunk(cols.size() * kChunkRows);
  RowCursor cursor = row_cursor(job.a);
  for (RowRange r; next_rows(cursor, r);) radix_block(r, i0, cols, first, gather, chunk);
}

// Moves every counted search into its digit's bucket: one walk over each
// slot's counts serves its searches, whose ranks ascend. A slot of one key
// (ties) is the value of all its searches at once.
void settle_counts(RadixColumn &c, uint64_t cap) {
  for (uint32_t slot = 0; slot < c.slots.size(); ++slot) {
    const Slot &s = c.slots[slot];
    uint64_t below = 0, b = 0;
    for (RankSearch &t : c.at) {
      if (t.state != RankSearch::kCount || t.slot != slot) continue;
      if (s.least == s.greatest) {
        t.state = RankSearch::kFound;
        t.value = key_value(s.least);
        t.zero_rank = t.rank;
        continue;
      }
      while (below + s.counts[b] <= t.rank) below += s.counts[b++];
      t.prefix = s.want | b << s.shift;
      t.bits += s.width;
      t.rank -= below;
      t.count = s.counts[b];
      if (t.bits == 64) {
        t.state = RankSearch::kFound;
        t.value = key_value(t.prefix);
        t.zero_rank = t.rank;
      } else if (t.count <= cap) {
        t.state = RankSearch::kGather;
      }
    }
  }
}

bool any_in(const std::vector<RadixColumn> &cols, RankSearch::State state) {
  for (const RadixColumn &c : cols)
    for (const RankSearch &s : c.at)
      if (!c.order.nan && s.state == state) return true;
  return false;
}

// Counting rounds until every position is found or in a bucket to gather;
// each round settles at least one more digit, so there are at most five.
void count_rounds(OrderJob &job, uint32_t i0, std::vector<RadixColumn> &cols) {
  const size_t per_column = std::max<size_t>(size_t{1} << kFirstDigit, job.idx.size() << kDigit);
  ScratchHold hold(job.ration, cols.size() * per_column * sizeof(uint32_t) + walk_bytes(job.a));
  std::vector<uint32_t> counts(cols.size() * per_column);
  const uint64_t cap = gather_cap(job.a.n, cols.size(), budget_left(job.a));
  for (bool first = true; first || any_in(cols, RankSearch::kCount); first = false) {
    for (size_t g = 0; g < cols.size(); ++g) {
      RadixColumn &c = cols[g];
      c.slots.clear();
      if (c.order.nan) continue;
      make_slots(c, RankSearch::kCount);
      uint32_t *base = counts.data() + g * per_column;
      std::fill(base, base + per_column, 0);
      for (Slot &s : c.slots) {
        s.counts = base;
        base += s.digit + 1;
      }
    }
    radix_pass(job, i0, cols, first, false);
    for (RadixColumn &c : cols)
      if (!c.order.nan) settle_counts(c, cap);
  }
}

// The last pass: the buckets still holding a position are gathered, into
// storage of exactly what they hold, and selected in.
void gather_buckets(OrderJob &job, uint32_t i0, std::vector<RadixColumn> &cols) {
  size_t held = 0;
  for (RadixColumn &c : cols) {
    c.slots.clear();
    if (c.order.nan) continue;
    make_slots(c, RankSearch::kGather);
    for (const Slot &b : c.slots) held += b.size;
  }
  if (held == 0) return;
  ScratchHold hold(job.ration, held * sizeof(double) + walk_bytes(job.a));
  std::vector<double> values(held);
  double *next = values.data();
  for (RadixColumn &c : cols)
    for (Slot &b : c.slots) {
      b.values = next;
      next += b.size;
    }
  radix_pass(job, i0, cols, false, true);
  for (RadixColumn &c : cols) {
    for (uint32_t slot = 0; slot < c.slots.size(); ++slot) {
      std::vector<size_t> local;
      for (const RankSearch &s : c.at)
        if (s.state == RankSearch::kGather && s.slot == slot) local.push_back(s.rank);
      Slot &b = c.slots[slot];
      select_positions(b.values, 0, b.stored, local.data(), local.size());
    }
    for (RankSearch &s : c.at) {
      if (s.state != RankSearch::kGather) continue;
      const Slot &b = c.slots[s.slot];
      s.value = b.values[s.rank];
      // Below the bucket's zeros lie its negative values.
      if (s.value == 0)
        s.zero_rank = s.rank - static_cast<uint64_t>(std::count_if(
                                   b.values, b.values + b.stored, [](double x) { return x < 0; }));
    }
  }
}

// Which zero each position found to hold one holds, in a column with both:
// the zero_rank-th zero of the column in row order, as a stable sort leaves
// them. One pass over the column's rows.
void resolve_zero_signs(OrderJob &job, uint32_t i, std::vector<RankSearch> &at) {
  std::vector<RankSearch *> zeros;
  for (RankSearch &s : at)
    if (s.value == 0) zeros.push_back(&s);
  if (zeros.empty()) return;
  std::sort(zeros.begin(), zeros.end(),
            [](const RankSearch *x, const RankSearch *y) { return x->zero_rank < y->zero_rank; });
  size_t next = 0;
  uint64_t seen = 0;
  ScratchHold hold(job.ration, walk_bytes(job.a));
  RowCursor cursor = row_cursor(job.a);
  for (RowRange r; next < zeros.size() && next_rows(cursor, r);) {
    for (uint64_t k = 0; k < r.count && next < zeros.size(); ++k) {
      const double x = r[k][i];
      if (x != 0) continue;
      while (next < zeros.size() && zeros[next]->zero_rank == seen) zeros[next++]->value = x;
      ++seen;
    }
  }
}

// The sorted column seen through the few positions that were selected.
struct SelectedPositions {
  const std::vector<size_t> &idx;
  const std::vector<double> &at;
  double operator[](size_t p) const {
    return at[static_cast<size_t>(std::lower_bound(idx.begin(), idx.end(), p) - idx.begin())];
  }
};

// Long columns of a group: radix selection, unless the column holds NaN,
// which the comparison leaves unordered: then a full sort of a copy.
void long_group(OrderJob &job, uint32_t i0, uint32_t count) {
  const Analysis &a = job.a;
  const size_t n = a.n;
  std::vector<RadixColumn> cols(count);
  for (RadixColumn &c : cols) {
    c.at.resize(job.idx.size());
    for (size_t t = 0; t < job.idx.size(); ++t) {
      c.at[t].rank = job.idx[t];
      c.at[t].count = n;
    }
  }
  count_rounds(job, i0, cols);
  gather_buckets(job, i0, cols);
  std::vector<double> at(job.idx.size());
  for (uint32_t g = 0; g < count; ++g) {
    if (cols[g].order.nan) continue;
    if (cols[g].order.both_zeros()) {
      resolve_zero_signs(job, i0 + g, cols[g].at);
    } else if (cols[g].order.minus_zero) {  // the zero key reads back as +0
      for (RankSearch &s : cols[g].at)
        if (s.value == 0) s.value = -0.0;
    }
    for (size_t t = 0; t < at.size(); ++t) at[t] = cols[g].at[t].value;
    set_order_stats(job.a.stats[i0 + g], SelectedPositions{job.idx, at}, n);
  }
  for (uint32_t g = 0; g < count; ++g) {
    if (!cols[g].order.nan) continue;
    // qsort sorts through a merge buffer as large as the column.
    const uint64_t bytes = n * sizeof(double) * 2;
    if (bytes + walk_bytes(a) > budget_left(a))
      fatal("Variable %d holds NaN: its median and quartiles need its %llu values in memory, "
            "more than --max-memory leaves\n",
            a.variable_to_file[i0 + g] + 1, static_cast<unsigned long long>(n));
    ScratchHold hold(job.ration, bytes + walk_bytes(a));
    CArray<double> column = sort_buffer(n);
    ColumnOrder order;
    copy_columns(a, i0 + g, 1, column.get(), &order);
    finish_copied_column(job, i0 + g, column.get(), order);
  }
}

// Columns a radix group takes: as many as half of what the budget leaves
// holds the first digit's counts of, at most kRadixColumns.
uint32_t radix_group_columns(uint64_t scratch) {
  const uint64_t per_column = (uint64_t{1} << kFirstDigit) * sizeof(uint32_t);
  return static_cast<uint32_t>(std::clamp<uint64_t>(scratch / 2 / per_column, 1, kRadixColumns));
}

}  // namespace

void compute_order_stats(Analysis &a, Workers &w) {
  std::vector<uint32_t> all(a.m);
  for (uint32_t i = 0; i < a.m; ++i) all[i] = i;
  compute_order_stats(a, all, w);
}

void compute_order_stats(Analysis &a, const std::vector<uint32_t> &variables, Workers &w) {
  const uint32_t n = a.n, m = static_cast<uint32_t>(variables.size());
  if (n == 0 || m == 0) return;
  OrderJob job{a, n >= 2 ? needed_positions(n) : std::vector<size_t>{0},
               ScratchRation(scratch_limit(a))};
  // Short columns are copied whole where the copies (and a sort's buffer)
  // fit what the budget leaves; else every column takes the radix
  // selection, whose passes read the rows a block at a time.
  const uint64_t short_copies = uint64_t{n} * kColumnsPerPass * sizeof(double) * 2;
  const bool radix = n >= kRadixMinRows || short_copies + walk_bytes(a) > budget_left(a);
  const uint32_t per_group = radix ? radix_group_columns(budget_left(a)) : kColumnsPerPass;
  // A group is a run of neighbouring variables, which one walk of the rows
  // serves.
  std::vector<uint32_t> first, count;
  for (uint32_t t = 0; t < m; ++t) {
    if (t > 0 && variables[t] == variables[t - 1] + 1 && count.back() < per_group) {
      ++count.back();
    } else {
      first.push_back(variables[t]);
      count.push_back(1);
    }
  }
  const bool every = m == a.m;
  const std::vector<uint32_t> b = group_bounds(m, per_group, w.count());
  const uint32_t groups =
      every ? static_cast<uint32_t>(b.size() - 1) : static_cast<uint32_t>(first.size());
  w.run(groups, [&](uint32_t group, uint32_t) {
    const uint32_t i0 = every ? b[group] : first[group];
    const uint32_t c = every ? b[group + 1] - b[group] : count[group];
    if (!radix)
      short_group(job, i0, c);
    else
      long_group(job, i0, c);
  });
}

std::vector<uint64_t> order_positions(uint64_t n) {
  if (n == 1) return {0};
  const std::vector<size_t> idx = needed_positions(n);
  return std::vector<uint64_t>(idx.begin(), idx.end());
}

double KnownPositions::operator[](size_t p) const {
  const auto at = std::lower_bound(positions.begin(), positions.end(), uint64_t{p});
  return values[static_cast<size_t>(at - positions.begin())];
}

void order_stats_at(VariableStats &s, uint64_t n, const std::vector<uint64_t> &positions,
                    const std::vector<double> &values) {
  set_order_stats(s, KnownPositions{positions, values}, n);
}
