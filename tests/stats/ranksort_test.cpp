// The radix sort of a column's rows against the library's stable sort, on
// both sides of the comparison sort's limit, with values that the kept bits
// cannot tell apart.
#include "stats/ranksort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

namespace {

// Values of the kind `kind` draws: 0 few distinct values, both zeros and
// infinities; 1 every magnitude and sign; 2 values a few units in the last
// place apart around 1 and around -1e300, so that the sort must look past
// the bits it keeps.
std::vector<double> draw(std::mt19937_64 &rng, size_t n, int kind) {
  std::vector<double> v(n);
  for (double &x : v) {
    const uint64_t r = rng();
    if (kind == 0) {
      const double few[] = {-0.0, 0.0, 1.5, -INFINITY, INFINITY, -2.0};
      x = few[r % 6];
    } else if (kind == 1) {
      x = std::ldexp(static_cast<double>(r % 4001) - 2000, static_cast<int>(r >> 40) % 2000 - 1000);
    } else {
      const double base = r % 2 ? 1.0 : -1e300;
      x = base + (r >> 1) % 7 * std::nextafter(std::abs(base), INFINITY) * 0x1p-52 * (r % 3);
    }
  }
  return v;
}

TEST(SortRows, AgreesWithTheStableSort) {
  std::mt19937_64 rng(5);
  for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{100}, size_t{1023}, size_t{1024},
                   size_t{5000}})
    for (int kind = 0; kind < 3; ++kind) {
      const std::vector<double> v = draw(rng, n, kind);
      std::vector<uint32_t> want(n);
      std::iota(want.begin(), want.end(), 0u);
      std::stable_sort(want.begin(), want.end(), [&](uint32_t p, uint32_t q) { return v[p] < v[q]; });
      SortScratch s;
      const SortedRows sorted = sort_rows(v.data(), n, s);
      for (size_t k = 0; k < n; ++k) {
        ASSERT_EQ(row_of(s.rows[k], sorted), want[k]) << n << " " << kind << " " << k;
        if (k > 0) {
          ASSERT_EQ(same_value(s.rows[k - 1], s.rows[k], sorted), v[want[k - 1]] == v[want[k]])
              << n << " " << kind << " " << k;
        }
      }
    }
}

}  // namespace
