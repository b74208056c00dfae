// Median and quartiles of every variable. Only the few sorted positions the
// interpolation reads are found, by selection (through a sample for long
// columns, read in place); a column whose values the sort comparison does
// not order totally is sorted by the platform's qsort, whose order for it no
// other sort repeats. Scratch memory is rationed among the workers.
#include "stats/orderstats.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "record/memory.h"
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

// Columns one pass over the data serves: the matrix is stored by rows, so a
// pass over it for a single column would fetch whole cache lines for one
// value.
constexpr uint32_t kColumnsPerPass = 4;

// Whether the sort comparison is a total order on a column: no NaN, and not
// both +0 and -0. Then values it calls equal are identical, and every sorting
// method, a partial one included, puts the same value at every position.
struct ColumnOrder {
  bool nan = false, plus_zero = false, minus_zero = false;
  bool total() const { return !nan && !(plus_zero && minus_zero); }
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

// Long columns find their positions through a sorted sample of evenly spaced
// values: one pass counts the values below a narrow band around each
// position's expected value and gathers those inside it, and only the bands
// are then partitioned. Rank arguments need a total order, which the callers
// guarantee (no NaN, not both zeros).
constexpr size_t kBandMinRows = 65536;

// The sample grows with the column, a 256th of it from 8,192 up to
// 131,072 values: the bands together hold about 18 n / sqrt(sample) values,
// a fifth of a column of two million and a twentieth from 34 million on.
size_t sample_size(size_t n) { return std::clamp<size_t>(n / 256, 8192, 131072); }

constexpr size_t kBandChunk = 1024;

struct Band {
  double lo, hi;       // values lo <= x <= hi are gathered
  size_t first, last;  // the positions idx[first..last] it serves
  size_t below = 0;    // values smaller than lo
  double *values = nullptr;
  size_t count = 0;
};

// Bands around the expected sample rank of every position, six standard
// deviations of that rank wide on each side; bands that meet are merged.
template <class Column>
std::vector<Band> make_bands(const Column &a, size_t n, const std::vector<size_t> &idx) {
  const size_t size = sample_size(n);
  std::vector<double> sample(size);
  for (size_t j = 0; j < size; ++j) sample[j] = a[j * n / size];
  std::sort(sample.begin(), sample.end());
  const double margin = 3 * std::sqrt(static_cast<double>(size));
  std::vector<Band> bands;
  for (size_t t = 0; t < idx.size(); ++t) {
    const double r = static_cast<double>(idx[t]) * size / static_cast<double>(n);
    const double lo_rank = std::floor(r - margin), hi_rank = std::ceil(r + margin);
    const double lo = lo_rank < 0 ? -INFINITY : sample[static_cast<size_t>(lo_rank)];
    const double hi = hi_rank >= size ? INFINITY : sample[static_cast<size_t>(hi_rank)];
    if (!bands.empty() && lo <= bands.back().hi) {
      bands.back().hi = hi;
      bands.back().last = t;
    } else {
      bands.push_back(Band{lo, hi, t, t});
    }
  }
  return bands;
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

template <class Sorted>
double read_quartile(const QuartileRead &r, const Sorted &a) {
  switch (r.kind) {
    case QuartileRead::kMidpoint: return (a[r.lo] + a[r.hi]) / 2;
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
  s.median = n % 2 ? a[h] : (a[h - 1] + a[h]) / 2;
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
  ScratchHold(ScratchRation &r, uint64_t b) : ration(r), bytes(b) { ration.take(bytes); }
  ~ScratchHold() { ration.give(bytes); }
  ScratchHold(const ScratchHold &) = delete;
  ScratchHold &operator=(const ScratchHold &) = delete;
};

// Scratch allowed beside the data matrix: a tenth of it and 24 MiB, less
// 8 bytes a row, which leave room for the allocator's own keeping and what
// the other phases hold, so that the peak stays within 1.1 times the
// matrix and 32 MiB.
uint64_t scratch_limit(const Analysis &a) {
  const uint64_t rows = a.capacity, block = rows * a.columns * sizeof(double);
  const uint64_t allowed = block / 10 + (uint64_t{24} << 20);
  const uint64_t headroom = rows * sizeof(double *);
  return allowed > headroom ? allowed - headroom : 0;
}

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
  for (uint32_t k = 0; k < n; ++k) {
    const double *x = a.data[k] + i0;
    for (uint32_t g = 0; g < count; ++g) {
      buf[static_cast<size_t>(g) * n + k] = x[g];
      order[g].see(x[g]);
    }
  }
}

// A column's order statistics from a copy of it: selection where the
// comparison orders it totally, the platform's full sort otherwise.
void finish_copied_column(OrderJob &job, uint32_t i, double *column, const ColumnOrder &order) {
  const size_t n = job.a.n;
  if (order.total())
    select_positions(column, 0, n, job.idx.data(), job.idx.size());
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

// A column of the data matrix read in place.
struct ColumnView {
  const Analysis &a;
  uint32_t i;
  double operator[](size_t k) const { return a.data[k][i]; }
};

// One long column of a group: its bands, whether the comparison orders it
// totally, and the band values once gathered.
struct LongColumn {
  std::vector<Band> bands;
  ColumnOrder order;
  bool banded = false;  // every position lies in a band of bounded size
  std::vector<double> values;
};

// One band's values of a chunk into its count (and, when `gather`, into
// its storage), without branches on the values.
void scan_band(Band &b, const double *x, size_t len, bool gather) {
  const double lo = b.lo, hi = b.hi;
  size_t below = b.below, count = b.count;
  if (gather) {
    double *out = b.values;
    for (size_t k = 0; k < len; ++k) {
      below += x[k] < lo;
      out[count] = x[k];
      count += (x[k] >= lo) & (x[k] <= hi);
    }
  } else {
    for (size_t k = 0; k < len; ++k) {
      below += x[k] < lo;
      count += (x[k] >= lo) & (x[k] <= hi);
    }
  }
  b.below = below;
  b.count = count;
}

// One pass over the rows for the columns of a group, a chunk of rows at a
// time copied out so that every band scans contiguous values. The first
// pass counts (and checks the order), the second gathers into storage.
void scan_group(const Analysis &a, uint32_t i0, std::vector<LongColumn> &cols, bool gather) {
  const size_t n = a.n;
  const uint32_t count = static_cast<uint32_t>(cols.size());
  std::vector<double> chunk(static_cast<size_t>(count) * kBandChunk);
  for (LongColumn &c : cols)
    for (Band &b : c.bands) b.below = b.count = 0;
  for (size_t k0 = 0; k0 < n; k0 += kBandChunk) {
    const size_t len = std::min(n, k0 + kBandChunk) - k0;
    for (size_t k = 0; k < len; ++k) {
      const double *x = a.data[k0 + k] + i0;
      for (uint32_t g = 0; g < count; ++g) chunk[g * kBandChunk + k] = x[g];
    }
    for (uint32_t g = 0; g < count; ++g) {
      LongColumn &c = cols[g];
      const double *x = chunk.data() + g * kBandChunk;
      if (!gather)
        for (size_t k = 0; k < len; ++k) c.order.see(x[k]);
      if (gather && !c.banded) continue;
      for (Band &b : c.bands) scan_band(b, x, len, gather);
    }
  }
}

// Whether the counted bands hold every position and stay within the size a
// band is allowed (a larger one means a skewed sample; the full copy is
// then cheaper to select in). Rank arguments need the total order.
bool bands_hold_positions(const LongColumn &c, const std::vector<size_t> &idx, size_t n) {
  if (!c.order.total()) return false;
  const size_t cap = n / 5 + kBandChunk;
  for (const Band &b : c.bands) {
    if (b.count > cap) return false;
    for (size_t t = b.first; t <= b.last; ++t)
      if (idx[t] < b.below || idx[t] - b.below >= b.count) return false;
  }
  return true;
}

// The sorted values at the positions idx, from the gathered bands.
std::vector<double> select_in_bands(LongColumn &c, const std::vector<size_t> &idx) {
  std::vector<double> at(idx.size());
  for (const Band &b : c.bands) {
    std::vector<size_t> local;
    for (size_t t = b.first; t <= b.last; ++t) local.push_back(idx[t] - b.below);
    select_positions(b.values, 0, b.count, local.data(), local.size());
    for (size_t t = b.first; t <= b.last; ++t) at[t] = b.values[idx[t] - b.below];
  }
  return at;
}

// The sorted column seen through the few positions that were selected.
struct SelectedPositions {
  const std::vector<size_t> &idx;
  const std::vector<double> &at;
  double operator[](size_t p) const {
    return at[static_cast<size_t>(std::lower_bound(idx.begin(), idx.end(), p) - idx.begin())];
  }
};

// Long columns: no copy of a whole column unless its bands fail. The bands
// come from a sample, are counted in one pass and gathered in a second, so
// their storage is exactly what they hold.
void long_group(OrderJob &job, uint32_t i0, uint32_t count) {
  const Analysis &a = job.a;
  const size_t n = a.n;
  std::vector<LongColumn> cols(count);
  for (uint32_t g = 0; g < count; ++g)
    cols[g].bands = make_bands(ColumnView{a, i0 + g}, n, job.idx);
  scan_group(a, i0, cols, false);
  size_t held = 0;
  for (LongColumn &c : cols) {
    c.banded = bands_hold_positions(c, job.idx, n);
    if (c.banded)
      for (const Band &b : c.bands) held += b.count + 1;
  }
  {
    ScratchHold hold(job.ration, held * sizeof(double));
    for (LongColumn &c : cols) {
      if (!c.banded) continue;
      size_t total = 0;
      for (const Band &b : c.bands) total += b.count + 1;
      c.values.resize(total);
      size_t offset = 0;
      for (Band &b : c.bands) {
        b.values = c.values.data() + offset;
        offset += b.count + 1;
      }
    }
    scan_group(a, i0, cols, true);
    for (uint32_t g = 0; g < count; ++g) {
      if (!cols[g].banded) continue;
      const std::vector<double> at = select_in_bands(cols[g], job.idx);
      set_order_stats(job.a.stats[i0 + g], SelectedPositions{job.idx, at}, n);
      std::vector<double>().swap(cols[g].values);
    }
  }
  for (uint32_t g = 0; g < count; ++g) {
    if (cols[g].banded) continue;
    // qsort sorts through a merge buffer as large as the column.
    ScratchHold hold(job.ration, n * sizeof(double) * (cols[g].order.total() ? 1 : 2));
    CArray<double> column = sort_buffer(n);
    ColumnOrder order;
    copy_columns(a, i0 + g, 1, column.get(), &order);
    finish_copied_column(job, i0 + g, column.get(), order);
  }
}

}  // namespace

void compute_order_stats(Analysis &a, Workers &w) {
  const uint32_t n = a.n, m = a.m;
  if (n == 0 || m == 0) return;
  OrderJob job{a, n >= 2 ? needed_positions(n) : std::vector<size_t>{0},
               ScratchRation(scratch_limit(a))};
  const std::vector<uint32_t> b = group_bounds(m, kColumnsPerPass, w.count());
  w.run(static_cast<uint32_t>(b.size() - 1), [&](uint32_t group, uint32_t) {
    const uint32_t i0 = b[group];
    const uint32_t count = b[group + 1] - i0;
    if (n < kBandMinRows)
      short_group(job, i0, count);
    else
      long_group(job, i0, count);
  });
}
