// Median and quartiles of every variable. Only the few sorted positions the
// interpolation reads are found, by selection (through a sample for long
// columns); a column whose values the sort comparison does not order totally
// is sorted by the platform's qsort, whose order for it no other sort repeats.
#include "orderstats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "memory.h"
#include "messages.h"

namespace {

// Ascending order for qsort: the sign of a - b, so that a NaN compares equal
// to everything and +0 equals -0.
int compare_ascending(const void *pa, const void *pb) {
  const double d = *static_cast<const double *>(pa) - *static_cast<const double *>(pb);
  if (d < 0) return -1;
  if (d > 0) return 1;
  return 0;
}

// Columns copied out of the data in one pass: the matrix is stored by rows,
// so a pass over it for a single column would fetch whole cache lines for
// one value.
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
constexpr size_t kSampleSize = 8192;
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
std::vector<Band> make_bands(const double *a, size_t n, const std::vector<size_t> &idx) {
  std::vector<double> sample(kSampleSize);
  for (size_t j = 0; j < kSampleSize; ++j) sample[j] = a[j * n / kSampleSize];
  std::sort(sample.begin(), sample.end());
  const double margin = 3 * std::sqrt(static_cast<double>(kSampleSize));
  std::vector<Band> bands;
  for (size_t t = 0; t < idx.size(); ++t) {
    const double r = static_cast<double>(idx[t]) * kSampleSize / static_cast<double>(n);
    const double lo_rank = std::floor(r - margin), hi_rank = std::ceil(r + margin);
    const double lo = lo_rank < 0 ? -INFINITY : sample[static_cast<size_t>(lo_rank)];
    const double hi = hi_rank >= kSampleSize ? INFINITY : sample[static_cast<size_t>(hi_rank)];
    if (!bands.empty() && lo <= bands.back().hi) {
      bands.back().hi = hi;
      bands.back().last = t;
    } else {
      bands.push_back(Band{lo, hi, t, t});
    }
  }
  return bands;
}

// Counts and gathers in one pass, without branches on the values; gives up
// (false) when a band outgrows `cap`, which only skewed samples cause.
bool fill_bands(const double *a, size_t n, std::vector<Band> &bands, size_t cap) {
  for (size_t k0 = 0; k0 < n; k0 += kBandChunk) {
    const size_t k1 = std::min(n, k0 + kBandChunk);
    for (Band &b : bands) {
      if (b.count + kBandChunk > cap) return false;
      const double lo = b.lo, hi = b.hi;
      double *out = b.values;
      size_t below = b.below, count = b.count;
      for (size_t k = k0; k < k1; ++k) {
        const double x = a[k];
        below += x < lo;
        out[count] = x;
        count += (x >= lo) & (x <= hi);
      }
      b.below = below;
      b.count = count;
    }
  }
  return true;
}

// The positions idx of the sorted a, written into a at those positions.
// Returns false, leaving a untouched, when some position's value fell
// outside its band. `scratch` holds the bands; it is kept from column to
// column.
bool select_by_bands(double *a, size_t n, const std::vector<size_t> &idx,
                     std::vector<double> &scratch) {
  std::vector<Band> bands = make_bands(a, n, idx);
  const size_t cap = n / 5 + kBandChunk;
  if (scratch.size() < bands.size() * cap) scratch.resize(bands.size() * cap);
  for (size_t b = 0; b < bands.size(); ++b) bands[b].values = scratch.data() + b * cap;
  if (!fill_bands(a, n, bands, cap)) return false;
  for (const Band &b : bands)
    for (size_t t = b.first; t <= b.last; ++t)
      if (idx[t] < b.below || idx[t] - b.below >= b.count) return false;
  for (const Band &b : bands) {
    std::vector<size_t> local;
    for (size_t t = b.first; t <= b.last; ++t) local.push_back(idx[t] - b.below);
    select_positions(b.values, 0, b.count, local.data(), local.size());
    for (size_t t = b.first; t <= b.last; ++t) a[idx[t]] = b.values[idx[t] - b.below];
  }
  return true;
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

double read_quartile(const QuartileRead &r, const double *a) {
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
void set_order_stats(VariableStats &s, const double *a, size_t n) {
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

}  // namespace

void compute_order_stats(Analysis &a) {
  const uint32_t n = a.n, m = a.m;
  if (n == 0 || m == 0) return;
  const uint32_t per_pass = m < kColumnsPerPass ? m : kColumnsPerPass;
  const size_t bytes = static_cast<size_t>(n) * per_pass * sizeof(double);
  CArray<double> buf(beyond_memory(bytes) ? nullptr : static_cast<double *>(std::malloc(bytes)));
  if (!buf) fatal("Not enough memory (%s, %llu)", "sortbuffer", static_cast<unsigned long long>(bytes));
  const std::vector<size_t> idx = n >= 2 ? needed_positions(n) : std::vector<size_t>{0};
  std::vector<double> band_scratch;
  for (uint32_t i0 = 0; i0 < m; i0 += per_pass) {
    const uint32_t count = m - i0 < per_pass ? m - i0 : per_pass;
    ColumnOrder order[kColumnsPerPass];
    copy_columns(a, i0, count, buf.get(), order);
    for (uint32_t g = 0; g < count; ++g) {
      double *column = buf.get() + static_cast<size_t>(g) * n;
      if (order[g].total()) {
        if (n < kBandMinRows || !select_by_bands(column, n, idx, band_scratch))
          select_positions(column, 0, n, idx.data(), idx.size());
      } else {
        std::qsort(column, n, sizeof(double), compare_ascending);
      }
      set_order_stats(a.stats[i0 + g], column, n);
    }
  }
}
