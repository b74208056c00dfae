// Pairwise deletion against the whole-table phases: without a missing value
// it gives the listwise bits; with gaps each variable gives the bits of its
// column alone; the worker count changes nothing.
#include "stats/pairwise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "machine/workers.h"
#include "support/stats_fixture.h"

namespace {

constexpr double kGap = __builtin_nan("");

Columns random_table(uint32_t n, uint32_t m, double gap_share, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> normal(5.0, 2.0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Columns cols(m, std::vector<double>(n));
  for (uint32_t k = 0; k < n; ++k) {
    const double shared = normal(gen);
    for (uint32_t i = 0; i < m; ++i)
      cols[i][k] = unit(gen) < gap_share ? kGap : shared + 0.5 * i * normal(gen);
  }
  return cols;
}

void expect_same_stats(const VariableStats &x, const VariableStats &y) {
  for (auto field : {&VariableStats::mean, &VariableStats::variance, &VariableStats::stddev,
                     &VariableStats::min, &VariableStats::max, &VariableStats::skewness,
                     &VariableStats::curtosis, &VariableStats::median,
                     &VariableStats::lower_quartile, &VariableStats::upper_quartile})
    EXPECT_EQ(bits(x.*field), bits(y.*field));
}

TEST(Pairwise, WithoutGapsGivesTheListwiseBits) {
  for (const uint32_t n : {1u, 2u, 7u, 300u}) {
    const Columns cols = random_table(n, 4, 0.0, n);
    Analysis whole, pairs;
    load_columns(whole, cols);
    Switches sw;
    sw.analysis.pearson = true;
    compute_statistics(whole, sw.analysis, Console{stdout, stderr, true});
    load_columns(pairs, cols);
    compute_pairwise(pairs, false);
    for (uint32_t i = 0; i < 4; ++i) {
      expect_same_stats(whole.stats[i], pairs.stats[i]);
      for (uint32_t j = 0; j < 4; ++j) {
        EXPECT_EQ(bits(whole.covariance[i][j]), bits(pairs.covariance[i][j])) << n;
        EXPECT_EQ(bits(whole.correlation[i][j]), bits(pairs.correlation[i][j])) << n;
      }
    }
    EXPECT_EQ(pairs.smallest_pair, n);
  }
}

TEST(Pairwise, EachVariableIsItsColumnAloneWhateverTheWorkers) {
  const Columns cols = random_table(500, 5, 0.2, 7);
  Analysis serial, threaded;
  load_columns(serial, cols);
  compute_pairwise(serial, true);
  Workers three(3);
  load_columns(threaded, cols);
  compute_pairwise(threaded, true, three);
  for (uint32_t i = 0; i < 5; ++i) {
    std::vector<double> present;
    for (double x : cols[i])
      if (!std::isnan(x)) present.push_back(x);
    Analysis alone;
    load_and_run(alone, {present});
    expect_same_stats(alone.stats[0], serial.stats[i]);
    EXPECT_EQ(serial.used[i], present.size());
    EXPECT_EQ(serial.missing_cells[i], 500 - present.size());
    for (uint32_t j = 0; j < 5; ++j)
      EXPECT_EQ(bits(serial.correlation[i][j]), bits(threaded.correlation[i][j]));
    expect_same_stats(serial.stats[i], threaded.stats[i]);
  }
  keep_complete_rows(serial);
  uint32_t complete = 0;
  for (uint32_t k = 0; k < 500; ++k) {
    bool all = true;
    for (uint32_t i = 0; i < 5; ++i) all = all && !std::isnan(cols[i][k]);
    complete += all ? 1 : 0;
  }
  EXPECT_EQ(serial.n, complete);
  EXPECT_EQ(serial.rows_left_out, 500 - complete);
}

TEST(Pairwise, AColumnWithoutValuesIsNotANumberNotAnError) {
  Analysis a;
  load_columns(a, {{1, 2, 3, 4}, {kGap, kGap, kGap, kGap}});
  compute_pairwise(a, false);
  EXPECT_TRUE(std::isnan(a.stats[1].mean));
  EXPECT_TRUE(std::isnan(a.correlation[0][1]));
  EXPECT_EQ(a.used[1], 0u);
  EXPECT_EQ(a.smallest_pair, 0u);
}

}  // namespace
