// Median and quartiles: the interpolation table, and the selection against a
// full sort (stable, or the platform's qsort for columns with NaN).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "stats/orderstats.h"
#include "stats/robust.h"
#include "support/stats_fixture.h"

namespace {

struct OrderStatsTest : testing::Test {
  Analysis a;
};

int compare_ascending(const void *pa, const void *pb) {
  const double d = *static_cast<const double *>(pa) - *static_cast<const double *>(pb);
  return d < 0 ? -1 : d > 0 ? 1 : 0;
}

// Two neighbours' mean: halved first only when their sum overflows.
double mean2(double x, double y) {
  const double sum = x + y;
  return std::isinf(sum) && !std::isinf(x) && !std::isinf(y) ? 0.5 * x + 0.5 * y : sum / 2;
}

// The straightforward computation: sort the whole column, then read the
// interpolation positions. A stable sort, so that +0 and -0 keep their order
// in the column; the platform's qsort for a column with NaN.
VariableStats sorted_reference(std::vector<double> a) {
  if (std::any_of(a.begin(), a.end(), [](double x) { return std::isnan(x); }))
    std::qsort(a.data(), a.size(), sizeof(double), compare_ascending);
  else
    std::stable_sort(a.begin(), a.end(), [](double x, double y) { return x < y; });
  const size_t n = a.size(), q = n / 4, h = n / 2;
  VariableStats s{};
  if (n == 1) {
    s.median = s.lower_quartile = s.upper_quartile = a[0];
    return s;
  }
  s.median = n % 2 ? a[h] : mean2(a[h - 1], a[h]);
  switch (n % 4) {
    case 0:
      s.lower_quartile = mean2(a[q - 1], a[q]), s.upper_quartile = mean2(a[3 * q - 1], a[3 * q]);
      break;
    case 1:
      s.lower_quartile = 0.25 * a[q - 1] + 0.75 * a[q], s.upper_quartile = 0.75 * a[3 * q] + 0.25 * a[3 * q + 1];
      break;
    case 2:
      s.lower_quartile = a[q], s.upper_quartile = a[3 * q + 1];
      break;
    default:
      s.lower_quartile = 0.75 * a[q] + 0.25 * a[q + 1];
      s.upper_quartile = 0.25 * a[3 * q + 1] + 0.75 * a[3 * q + 2];
  }
  return s;
}

}  // namespace

constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST_F(OrderStatsTest, InterpolationFollowsTheRemainderOfNDividedByFour) {
  const struct {
    std::vector<double> values;
    double median, lquart, uquart;
  } cases[] = {
      {{7}, 7, 7, 7},
      {{2, 1}, 1.5, 1, 2},
      {{3, 1, 2}, 2, 1.25, 2.75},
      {{4, 3, 2, 1}, 2.5, 1.5, 3.5},
      {{5, 1, 4, 2, 3}, 3, 1.75, 4.25},
      {{6, 5, 4, 3, 2, 1}, 3.5, 2, 5},
      {{1, 2, 3, 4, 5, 6, 7}, 4, 2.25, 5.75},
      {{8, 1, 7, 2, 6, 3, 5, 4}, 4.5, 2.5, 6.5},
      // At the ends of the range the mean of two neighbours does not overflow.
      {{1.0e308, 1.2e308}, 1.1e308, 1.0e308, 1.2e308},
      {{-1.2e308, -1.0e308}, -1.1e308, -1.2e308, -1.0e308},
      {{1.7e308, 1.7e308, 1.7e308, 1.7e308}, 1.7e308, 1.7e308, 1.7e308},
      {{1, kMax, kMax, kMax}, kMax, 0.5 * 1 + 0.5 * kMax, kMax},
      {{1.0e308, kInf}, kInf, 1.0e308, kInf},
  };
  for (const auto &c : cases) {
    load_columns(a, {c.values});
    compute_order_stats(a);
    EXPECT_EQ(a.stats[0].median, c.median) << c.values.size();
    EXPECT_EQ(a.stats[0].lower_quartile, c.lquart) << c.values.size();
    EXPECT_EQ(a.stats[0].upper_quartile, c.uquart) << c.values.size();
  }
}

// Selection must give the values a full qsort gives, bit for bit: with ties,
// with +0 and -0 together, with NaN and infinities, at every remainder of n.
// Each table holds one column of every kind, so columns needing the full
// sort sit beside ones that do not.
TEST_F(OrderStatsTest, SelectionEqualsTheFullSortOnRandomColumns) {
  std::mt19937_64 rng(4242);
  const double inf = std::numeric_limits<double>::infinity();
  const double specials[] = {0.0, -0.0, inf, -inf, std::nan("")};
  enum { kPlain, kTies, kPlusZeros, kBothZeros, kInfinities, kNaN, kKinds };
  for (int round = 0; round < 100; ++round) {
    const uint32_t n = round < 5 ? round + 1 : 1 + rng() % (round < 70 ? 40 : 3000);
    Columns cols(kKinds, std::vector<double>(n));
    for (int kind = 0; kind < kKinds; ++kind) {
      for (auto &x : cols[kind]) {
        const uint64_t r = rng();
        x = kind == kTies ? static_cast<double>(r % 5)
                          : std::ldexp(static_cast<double>(r >> 11), -50) - 4;
        if (r % 7 == 0) {
          if (kind == kPlusZeros) x = 0.0;
          if (kind == kBothZeros) x = specials[r % 2];
          if (kind == kInfinities) x = specials[2 + r % 2];
          if (kind == kNaN) x = specials[r % 5];
        }
      }
    }
    load_columns(a, cols);
    compute_order_stats(a);
    for (int kind = 0; kind < kKinds; ++kind) {
      const VariableStats want = sorted_reference(cols[kind]);
      const VariableStats &got = a.stats[kind];
      EXPECT_EQ(bits(got.median), bits(want.median)) << "round " << round << " kind " << kind;
      EXPECT_EQ(bits(got.lower_quartile), bits(want.lower_quartile)) << "round " << round << " kind " << kind;
      EXPECT_EQ(bits(got.upper_quartile), bits(want.upper_quartile)) << "round " << round << " kind " << kind;
    }
  }
}

// Long columns go through a radix selection over the bits of the values:
// a bucket too full to gather is counted again digit by digit, down to
// single keys for ties and for values a last bit apart; columns that hold
// NaN or both zeros take the full sort beside them. The same table runs on
// one worker and on three, which share the scratch.
TEST_F(OrderStatsTest, LongColumnsEqualTheFullSortWhateverTheirShape) {
  std::mt19937_64 rng(99);
  const double inf = std::numeric_limits<double>::infinity();
  Workers three(3);
  for (uint32_t n : {65536u, 65537u, 73730u, 80003u, 1048579u}) {
    Columns cols(15, std::vector<double>(n));
    for (uint32_t k = 0; k < n; ++k) {
      const uint64_t r = rng();
      const double sign = r >> 63 ? -1.0 : 1.0;
      cols[0][k] = std::ldexp(static_cast<double>(r >> 11), -53);
      cols[1][k] = k;
      cols[2][k] = -static_cast<double>(k);
      cols[3][k] = 1e6 + k;
      cols[4][k] = static_cast<double>(r % 3);
      cols[5][k] = k % 1000 == 0 ? (r % 2 ? 1e300 : -1e300) : cols[0][k];
      cols[6][k] = -2.5;
      cols[7][k] = sign * std::ldexp(static_cast<double>((r >> 12) | 1), -1074);  // subnormal
      cols[8][k] = r % 7 == 0 ? sign * inf : sign * cols[0][k];
      cols[9][k] = r % 2 ? 1.0 : std::nextafter(1.0, 2.0);
      cols[10][k] = -static_cast<double>(r % 5);  // -0 among negatives
      cols[11][k] = r % 5 == 0 ? std::nan("") : cols[8][k];
      cols[12][k] = r % 5 == 0 ? sign * 0.0 : cols[8][k];
      cols[13][k] = std::ldexp(1.0 + static_cast<double>(r % 64), -1022) * sign;  // narrow
      // Around the middle, few enough to be gathered: both zeros among tiny values.
      const int64_t off = static_cast<int64_t>(k) - n / 2;
      cols[14][k] = std::abs(off) < n / 200 ? (r % 3 ? sign * 0.0 : sign * 0x1p-1074)
                    : off < 0                ? -1.0 - k
                                             : 1.0 + k;
    }
    // Small values exactly where the sample of evenly spaced ones looks (a
    // 256th of the column, at least 8192).
    const uint64_t sample = std::max<uint64_t>(n / 256, 8192);
    for (uint64_t j = 0; j < sample; ++j) cols[3][j * n / sample] = j;
    load_columns(a, cols);
    std::vector<VariableStats> want;
    for (const auto &c : cols) want.push_back(sorted_reference(c));
    for (Workers *w : {&serial_workers(), &three}) {
      for (uint32_t i = 0; i < a.m; ++i) a.stats[i] = VariableStats{};
      compute_order_stats(a, *w);
      for (uint32_t i = 0; i < a.m; ++i) {
        const std::string where = "n " + std::to_string(n) + " column " + std::to_string(i) +
                                  " workers " + std::to_string(w->count());
        EXPECT_EQ(bits(a.stats[i].median), bits(want[i].median)) << where;
        EXPECT_EQ(bits(a.stats[i].lower_quartile), bits(want[i].lower_quartile)) << where;
        EXPECT_EQ(bits(a.stats[i].upper_quartile), bits(want[i].upper_quartile)) << where;
      }
      if (n > 100000) break;  // the largest column once
    }
  }
}

// Under --conventional a column's median and quartiles come from the copy
// its robust measures select in (sorted up to 5000 values), and only the
// columns with NaN or both zeros from compute_order_stats: together the
// full sort's figures, at every remainder of n, on one worker or three.
TEST_F(OrderStatsTest, RobustCopiesGiveTheFullSortsFigures) {
  std::mt19937_64 rng(7);
  const double inf = std::numeric_limits<double>::infinity();
  Workers three(3);
  for (uint32_t n : {1u, 2u, 3u, 4u, 4999u, 5001u, 5002u, 5003u, 5004u, 65537u, 70002u}) {
    Columns cols(7, std::vector<double>(n));
    for (uint32_t k = 0; k < n; ++k) {
      const uint64_t r = rng();
      const double sign = r >> 63 ? -1.0 : 1.0, u = std::ldexp(static_cast<double>(r >> 11), -53);
      cols[0][k] = sign * u;
      cols[1][k] = static_cast<double>(r % 3);
      cols[2][k] = -static_cast<double>(r % 5);  // -0 among negatives
      cols[3][k] = r % 5 == 0 ? sign * 0.0 : u;
      cols[4][k] = r % 5 == 0 ? std::nan("") : u;
      cols[5][k] = r % 7 == 0 ? sign * inf : u;
      cols[6][k] = r % 3 == 0 ? 0.0 : sign * u;
    }
    load_columns(a, cols);
    for (Workers *w : {&serial_workers(), &three}) {
      for (uint32_t i = 0; i < a.m; ++i) a.stats[i] = VariableStats{};
      compute_order_stats(a, compute_robust_and_order_stats(a, *w), *w);
      for (uint32_t i = 0; i < a.m; ++i) {
        const VariableStats want = sorted_reference(cols[i]);
        const std::string where = "n " + std::to_string(n) + " column " + std::to_string(i);
        EXPECT_EQ(bits(a.stats[i].median), bits(want.median)) << where;
        EXPECT_EQ(bits(a.stats[i].lower_quartile), bits(want.lower_quartile)) << where;
        EXPECT_EQ(bits(a.stats[i].upper_quartile), bits(want.upper_quartile)) << where;
      }
    }
  }
}

TEST_F(OrderStatsTest, EveryColumnIsTakenAloneAndTheDataIsLeftInPlace) {
  const Columns cols = {{9, 1, 5}, {-1, -3, -2}};
  load_columns(a, cols);
  compute_order_stats(a);
  EXPECT_EQ(a.stats[0].median, 5.0);
  EXPECT_EQ(a.stats[1].median, -2.0);
  for (uint32_t k = 0; k < 3; ++k) {
    EXPECT_EQ(a.data[k][0], cols[0][k]);
    EXPECT_EQ(a.data[k][1], cols[1][k]);
  }
}

// Around a quartile or the median sits a block of distinct values sharing
// their top 16 bits, as many as a 64th of the column (the most a bucket may
// hold to be gathered) or one more or less, while the other positions lie
// in fuller buckets: positions of a column are gathered and counted again
// in the same passes. 20 columns make two groups of a pass.
TEST_F(OrderStatsTest, BucketsAtTheGatherLimitEqualTheFullSort) {
  for (uint32_t n : {65536u, 65539u, 131074u}) {
    Columns cols;
    for (uint32_t i = 0; i < 20; ++i) {
      const uint64_t block = n / 64 + (i % 3) - 1;
      const uint64_t centre = ((i / 3) % 3 + 1) * uint64_t{n} / 4;  // a quartile or the median
      const uint64_t first = centre - block / 2 - i % 2;
      std::vector<double> c(n);
      for (uint64_t k = 0; k < n; ++k) {
        if (k < first)
          c[k] = -1e6 - static_cast<double>(k);
        else if (k < first + block)
          c[k] = std::ldexp(1.0 + std::ldexp(static_cast<double>(k - first), -30), 4);
        else
          c[k] = 1e6 + static_cast<double>(k);
      }
      std::reverse(c.begin() + static_cast<std::ptrdiff_t>(first), c.end());
      cols.push_back(c);
    }
    load_columns(a, cols);
    compute_order_stats(a);
    for (uint32_t i = 0; i < 20; ++i) {
      const VariableStats want = sorted_reference(cols[i]);
      EXPECT_EQ(bits(a.stats[i].median), bits(want.median)) << "n " << n << " column " << i;
      EXPECT_EQ(bits(a.stats[i].lower_quartile), bits(want.lower_quartile)) << n << " " << i;
      EXPECT_EQ(bits(a.stats[i].upper_quartile), bits(want.upper_quartile)) << n << " " << i;
    }
  }
}
