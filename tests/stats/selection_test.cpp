// select_nth against std::nth_element: the whole permutation, byte for byte,
// on every vector path.
#include "stats/selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "machine/isa.h"

namespace {

void expect_same_permutation(const std::vector<double> &values, size_t nth, const char *shape) {
  std::vector<double> want = values, got = values;
  std::nth_element(want.begin(), want.begin() + static_cast<ptrdiff_t>(nth), want.end());
  select_nth(got.data(), got.data() + nth, got.data() + got.size());
  // An empty vector's data() may be null, which memcmp must not see.
  const size_t bytes = want.size() * sizeof(double);
  EXPECT_TRUE(want.empty() || std::memcmp(want.data(), got.data(), bytes) == 0)
      << shape << " n " << values.size() << " nth " << nth;
}

// McIlroy's adversary: values fixed lazily as the comparisons ask for them,
// so that every pivot is nearly the smallest; the library then reaches its
// depth limit and selects through a heap.
std::vector<double> median_of_three_killer(size_t n, size_t nth) {
  const int gas = static_cast<int>(n);
  std::vector<int> value(n, gas), index(n);
  std::iota(index.begin(), index.end(), 0);
  int solid = 0, candidate = 0;
  std::nth_element(index.begin(), index.begin() + static_cast<ptrdiff_t>(nth), index.end(),
                   [&](int x, int y) {
                     if (value[x] == gas && value[y] == gas) value[x == candidate ? x : y] = solid++;
                     if (value[x] == gas)
                       candidate = x;
                     else if (value[y] == gas)
                       candidate = y;
                     return value[x] < value[y];
                   });
  return std::vector<double>(value.begin(), value.end());
}

// Random columns of every shape and the adversary's, each at a random
// position and past the end.
void expect_library_permutations() {
  std::mt19937_64 rng(11);
  const char *shapes[] = {"uniform", "ties", "ascending", "descending", "zeros", "infinities"};
  for (int trial = 0; trial < 1200; ++trial) {
    const int shape = trial % 6;
    const size_t n = trial < 1000 ? rng() % 700 : 1 + rng() % 300000;
    std::vector<double> v(n);
    for (size_t k = 0; k < n; ++k) {
      const double u = static_cast<double>(rng() >> 11) * 0x1p-53 - 0.5;
      switch (shape) {
        case 0: v[k] = u; break;
        case 1: v[k] = static_cast<double>(rng() % 4); break;
        case 2: v[k] = static_cast<double>(k); break;
        case 3: v[k] = -static_cast<double>(k); break;
        case 4: v[k] = rng() % 3 == 0 ? -0.0 : rng() % 2 ? 0.0 : u; break;
        default: v[k] = rng() % 5 == 0 ? (u < 0 ? -INFINITY : INFINITY) : u; break;
      }
    }
    if (n > 0) expect_same_permutation(v, rng() % n, shapes[shape]);
    expect_same_permutation(v, n, shapes[shape]);
  }
  for (size_t n : {50, 1000, 20000})
    for (size_t nth : {size_t{1}, n / 3, n / 2, n - 1})
      expect_same_permutation(median_of_three_killer(n, nth), nth, "killer");
}

}  // namespace

TEST(SelectNth, LeavesTheLibrarysPermutation) {
  const Isa saved = chosen_isa();
  for (Isa isa : kAllIsas) {
    if (!isa_supported(isa)) continue;
    use_isa_for_tests(isa);
    SCOPED_TRACE(isa_name(isa));
    expect_library_permutations();
  }
  use_isa_for_tests(saved);
}
