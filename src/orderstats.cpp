// Median and quartiles of every variable. Only the few sorted positions the
// interpolation reads are found, by selection; a column whose values the
// sort comparison does not order totally is sorted by the platform's qsort.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "messages.h"
#include "stats.h"
#include "vantor.h"

namespace {

// Ascending order for qsort: the sign of a - b, so that a NaN compares equal
// to everything and +0 equals -0.
int compare_ascending(const void *pa, const void *pb) {
  const double d = *static_cast<const double *>(pa) - *static_cast<const double *>(pb);
  if (d < 0) return -1;
  if (d > 0) return 1;
  return 0;
}

// Columns copied out of dd in one pass: dd is stored by rows, so each pass
// over it for a single column would fetch whole cache lines for one value.
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

// Copies columns i0 .. i0+count-1 of dd into buf, column g at buf + g*n.
void copy_columns(uint32_t n, uint32_t i0, uint32_t count, double *buf, ColumnOrder *order) {
  for (uint32_t k = 0; k < n; ++k) {
    const double *x = dd[k] + i0;
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

// The positions of the sorted column that the median and the quartiles read,
// ascending and without repeats. REQUIRES: n >= 2.
std::vector<size_t> needed_positions(size_t n) {
  const size_t q = n / 4, h = n / 2;
  std::vector<size_t> idx = {h};
  if (n % 2 == 0) idx.push_back(h - 1);
  switch (n % 4) {
    case 0: idx.insert(idx.end(), {q - 1, q, 3 * q - 1, 3 * q}); break;
    case 1: idx.insert(idx.end(), {q - 1, q, 3 * q, 3 * q + 1}); break;
    case 2: idx.insert(idx.end(), {q, 3 * q + 1}); break;
    default: idx.insert(idx.end(), {q, q + 1, 3 * q + 1, 3 * q + 2}); break;
  }
  std::sort(idx.begin(), idx.end());
  idx.erase(std::unique(idx.begin(), idx.end()), idx.end());
  return idx;
}

// Median at (n - 1)/2, quartiles interpolated at (n - 2)/4 and (3n - 2)/4 in
// the sorted values a. A single value is its own median and quartiles, as
// the interpolation would reach past both ends.
void set_order_stats(VariableStats &s, const double *a, size_t n) {
  if (n == 1) {
    s.median = s.lquart = s.uquart = a[0];
    return;
  }
  const size_t q = n / 4, h = n / 2;
  s.median = n % 2 ? a[h] : (a[h - 1] + a[h]) / 2;
  switch (n % 4) {
    case 0:
      s.lquart = (a[q - 1] + a[q]) / 2;
      s.uquart = (a[3 * q - 1] + a[3 * q]) / 2;
      break;
    case 1:
      s.lquart = 0.25 * a[q - 1] + 0.75 * a[q];
      s.uquart = 0.75 * a[3 * q] + 0.25 * a[3 * q + 1];
      break;
    case 2:
      s.lquart = a[q];
      s.uquart = a[3 * q + 1];
      break;
    default:
      s.lquart = 0.75 * a[q] + 0.25 * a[q + 1];
      s.uquart = 0.25 * a[3 * q + 1] + 0.75 * a[3 * q + 2];
      break;
  }
}

}  // namespace

void compute_order_stats(uint32_t n, uint32_t m) {
  if (n == 0 || m == 0) return;
  const uint32_t per_pass = m < kColumnsPerPass ? m : kColumnsPerPass;
  const size_t bytes = static_cast<size_t>(n) * per_pass * sizeof(double);
  CArray<double> buf(static_cast<double *>(std::malloc(bytes)));
  if (!buf) fatal("Not enough memory (%s, %llu)", "sortbuffer", static_cast<unsigned long long>(bytes));
  const std::vector<size_t> idx = n >= 2 ? needed_positions(n) : std::vector<size_t>{0};
  for (uint32_t i0 = 0; i0 < m; i0 += per_pass) {
    const uint32_t count = m - i0 < per_pass ? m - i0 : per_pass;
    ColumnOrder order[kColumnsPerPass];
    copy_columns(n, i0, count, buf.get(), order);
    for (uint32_t g = 0; g < count; ++g) {
      double *a = buf.get() + static_cast<size_t>(g) * n;
      if (order[g].total())
        select_positions(a, 0, n, idx.data(), idx.size());
      else
        std::qsort(a, n, sizeof(double), compare_ascending);
      set_order_stats(v[i0 + g], a, n);
    }
  }
}
