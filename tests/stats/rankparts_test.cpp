// The search over a table in parts: a position chosen among gathered values
// against a stable sort, a part's key-range counts against a walk of its
// column, and the robust measures from the parts' sums and distances
// against those of the sorted column.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "stats/orderstats.h"
#include "stats/rankparts.h"
#include "stats/robust.h"

namespace {

// Values with many ties and both zeros in random order.
std::vector<double> tied_values(std::mt19937_64 &rng, size_t n) {
  const double pool[] = {-2.5, -0.0, 0.0, 0.0, 1e-310, 3.0, 3.0, -1e300, 7.25};
  std::vector<double> v(n);
  for (double &x : v) x = pool[rng() % std::size(pool)];
  return v;
}

TEST(RankPartsTest, ValueAtRankIsTheStableSortsValueSignedZerosIncluded) {
  std::mt19937_64 rng(7);
  for (size_t n : {1, 2, 9, 200}) {
    const std::vector<double> v = tied_values(rng, n);
    std::vector<double> sorted = v;
    std::stable_sort(sorted.begin(), sorted.end(), [](double x, double y) { return x < y; });
    for (uint64_t r = 0; r < n; ++r) {
      const double got = value_at_rank(v, r);
      EXPECT_EQ(got, sorted[r]) << n << " " << r;
      EXPECT_EQ(std::signbit(got), std::signbit(sorted[r])) << n << " " << r;
    }
  }
}

TEST(RankPartsTest, ScanCountsGathersAndSignsOneColumnsKeys) {
  std::mt19937_64 rng(3);
  const uint32_t m = 3;
  std::vector<double> rows = tied_values(rng, 300 * m);
  const uint64_t lo = order_key(-2.5), hi = order_key(7.25);
  const std::vector<KeyScan> scans{{ScanKind::count, 1, lo, hi, scan_shift(lo, hi)},
                                   {ScanKind::gather, 1, order_key(0.0), order_key(3.0), 0},
                                   {ScanKind::signs, 1, 0, 0, 0}};
  const std::vector<ScanAnswer> a = scan_part(rows.data(), 300, m, scans);
  ASSERT_LE(a[0].counts.size(), 4096u);
  std::vector<int64_t> counts(a[0].counts.size(), 0);
  std::vector<double> values;
  std::vector<uint8_t> signs;
  uint64_t least = UINT64_MAX, greatest = 0;
  for (uint64_t k = 0; k < 300; ++k) {
    const double x = rows[k * m + 1];
    const uint64_t key = order_key(x);
    if (key >= lo && key <= hi) {
      ++counts[(key - lo) >> scans[0].shift];
      least = std::min(least, key), greatest = std::max(greatest, key);
    }
    if (key >= order_key(0.0) && key <= order_key(3.0)) values.push_back(x);
    if (x == 0) signs.push_back(std::signbit(x));
  }
  EXPECT_EQ(a[0].counts, counts);
  EXPECT_EQ(a[0].min_key, least);
  EXPECT_EQ(a[0].max_key, greatest);
  ASSERT_EQ(a[1].values.size(), values.size());
  for (size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(std::signbit(a[1].values[i]), std::signbit(values[i]));
  EXPECT_EQ(a[2].signs, signs);
  for (const KeyScan &bad : {KeyScan{ScanKind::count, 3, 0, 1, 0}, KeyScan{ScanKind::count, 0, 2, 1, 0},
                             KeyScan{ScanKind::count, 0, 0, UINT64_MAX, 40},
                             KeyScan{ScanKind::sums, 0, 2, 1, 0},
                             KeyScan{ScanKind::gather, 0, 0, 1, 0, true, HUGE_VAL}})
    EXPECT_THROW(scan_part(rows.data(), 300, m, {bad}), std::invalid_argument);
}

// Each part's answers to the scans (a column of one value a row), merged.
std::vector<ScanAnswer> scan_parts(const std::vector<double> &v,
                                   const std::vector<KeyScan> &scans) {
  std::vector<ScanAnswer> out(scans.size());
  for (size_t first = 0; first < v.size(); first += v.size() / 3 + 1) {
    const size_t len = std::min(v.size() - first, v.size() / 3 + 1);
    const std::vector<ScanAnswer> a = scan_part(v.data() + first, len, 1, scans);
    for (size_t i = 0; i < scans.size(); ++i) {
      out[i].counts.resize(a[i].counts.size());
      for (size_t k = 0; k < a[i].counts.size(); ++k) out[i].counts[k] += a[i].counts[k];
      out[i].values.insert(out[i].values.end(), a[i].values.begin(), a[i].values.end());
      out[i].sum += a[i].sum;
    }
  }
  return out;
}

TEST(RankPartsTest, RobustMeasuresFromPartsAreTheSortedColumns) {
  std::mt19937_64 rng(11);
  std::normal_distribution<double> normal(3, 2);
  for (size_t n : {1, 2, 5, 37, 1000, 999}) {
    std::vector<double> v = tied_values(rng, n);
    if (n == 999)
      for (double &x : v) x = normal(rng);
    std::vector<double> sorted = v;
    std::stable_sort(sorted.begin(), sorted.end(), [](double x, double y) { return x < y; });
    const std::vector<size_t> at = robust_positions(n);
    const std::vector<uint64_t> positions(at.begin(), at.end());
    std::vector<double> known;
    for (size_t p : at) known.push_back(sorted[p]);
    RobustParts parts;
    for (size_t k = 0; k < 2; ++k) {
      const auto [first, last] = trim_bounds(n, kTrims[k]);
      const KeyScan sums{ScanKind::sums, 0, order_key(sorted[first]), order_key(sorted[last]), 0};
      const ScanAnswer a = scan_parts(v, {sums})[0];
      parts.trims[k] = TrimSums{uint64_t(a.counts[0]), uint64_t(a.counts[1]), a.sum};
    }
    const double centre = robust_centre(n, positions, known);
    std::vector<double> d =
        scan_parts(v, {KeyScan{ScanKind::gather, 0, 0, UINT64_MAX, 0, true, centre}})[0].values;
    std::sort(d.begin(), d.end());
    for (size_t p : median_positions(n)) parts.distances.push_back(d[p]);
    const RobustStats got = robust_stats_of_parts(n, positions, known, parts, 1, 1, 0.95);
    const RobustStats want = robust_stats(sorted, 1, 1, 0.95);
    for (auto field : {&RobustStats::mad, &RobustStats::iqr, &RobustStats::p1, &RobustStats::p5,
                       &RobustStats::p95, &RobustStats::p99})
      EXPECT_EQ(got.*field, want.*field) << n;
    for (auto field : {&RobustStats::trimmed_10, &RobustStats::trimmed_20})
      EXPECT_NEAR(got.*field, want.*field, 1e-13 * std::fabs(want.*field)) << n;
  }
}

}  // namespace
