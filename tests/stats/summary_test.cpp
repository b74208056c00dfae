// Summaries of parts against the whole: a table cut into blocks (empty ones
// and single rows among them), summarised, merged in different orders and
// finished, against compute_moments on the whole table and a long-double
// two-pass reference. The data lie within a few hundred standard
// deviations of zero, where the program's one-pass variance holds 1e-10.
#include "stats/summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/stats_fixture.h"

namespace {

struct Shape {
  const char *what;
  uint32_t n, m;
  double offset;     // added to every value
  bool constant;     // the last column holds one value
  uint64_t seed;
};

// Cuts [0, n) at random places; repeated cuts make empty blocks, adjacent
// ones blocks of one row.
std::vector<uint32_t> random_cuts(std::mt19937_64 &rng, uint32_t n, int parts) {
  std::uniform_int_distribution<uint32_t> at(0, n);
  std::vector<uint32_t> cuts{0, n, 0, 1, n > 0 ? n - 1 : 0};
  for (int k = 0; k < parts; ++k) cuts.push_back(at(rng));
  std::sort(cuts.begin(), cuts.end());
  return cuts;
}

double relative(double got, double want, double scale) {
  return std::fabs(got - want) / std::fmax(std::fabs(want), scale);
}

TEST(SummaryTest, MergedPartsFinishAsTheWholeTable) {
  const Shape shapes[] = {
      {"small", 7, 3, 0, false, 1},       {"tall", 5000, 4, 0, false, 2},
      {"offset", 3000, 3, 100, false, 3}, {"constant column", 400, 3, 0, true, 4},
      {"one row per block", 40, 2, -5, false, 5}, {"wide", 300, 12, 0.5, false, 6},
  };
  for (const Shape &sh : shapes) {
    SCOPED_TRACE(sh.what);
    std::mt19937_64 rng(sh.seed);
    std::normal_distribution<double> g(0, 1);
    Columns cols(sh.m, std::vector<double>(sh.n));
    for (uint32_t k = 0; k < sh.n; ++k) {
      const double common = g(rng);
      for (uint32_t j = 0; j < sh.m; ++j)
        cols[j][k] = sh.offset + (j + 1) * (common + g(rng)) + (g(rng) > 1.5 ? std::exp(g(rng)) : 0);
    }
    if (sh.constant)
      for (double &x : cols[sh.m - 1]) x = 2.5;
    Analysis whole, merged;
    load_and_run(whole, cols);
    load_columns(merged, cols);

    // Blocks merged left to right, and the same blocks in pairs, as a tree.
    const std::vector<uint32_t> cuts = random_cuts(rng, sh.n, sh.n < 50 ? sh.n : 9);
    std::vector<Summary> level;
    for (size_t b = 0; b + 1 < cuts.size(); ++b)
      level.push_back(summarise_rows(merged.data[cuts[b]], cuts[b + 1] - cuts[b], sh.m, sh.m));
    Summary chain = empty_summary(sh.m);
    for (const Summary &s : level) chain = merge_summaries(chain, s);
    while (level.size() > 1) {
      std::vector<Summary> up;
      for (size_t i = 0; i + 1 < level.size(); i += 2) up.push_back(merge_summaries(level[i], level[i + 1]));
      if (level.size() % 2) up.push_back(level.back());
      level = up;
    }
    for (const Summary *s : {&chain, &level[0]}) {
      const Moments mo = finish_summary(*s, merged);
      EXPECT_EQ(merged.n, whole.n);
      EXPECT_EQ(mo.constant.size(), sh.constant ? 1u : 0u);
      for (uint32_t j = 0; j < sh.m; ++j) {
        const VariableStats &got = merged.stats[j], &want = whole.stats[j];
        EXPECT_EQ(got.min, want.min);
        EXPECT_EQ(got.max, want.max);
        EXPECT_EQ(got.constant, want.constant);
        const double sd = want.stddev;
        EXPECT_LE(relative(got.mean, want.mean, sd), 1e-10) << j;
        EXPECT_LE(relative(got.variance, want.variance, 0), 1e-10) << j;
        EXPECT_LE(relative(got.skewness, want.skewness, 1e-3), 1e-10) << j;
        EXPECT_LE(relative(got.curtosis, want.curtosis, 1e-3), 1e-10) << j;
        // A long-double two-pass reference of the mean, variance and
        // covariances.
        long double sum = 0, dev2 = 0;
        for (double x : cols[j]) sum += x;
        const long double mean = sum / sh.n;
        for (double x : cols[j]) dev2 += (x - mean) * (x - mean);
        EXPECT_LE(relative(got.mean, static_cast<double>(mean), sd), 1e-12) << j;
        if (!sh.constant || j + 1 < sh.m) {
          EXPECT_LE(relative(got.variance, static_cast<double>(dev2 / (sh.n - 1)), 0), 1e-12) << j;
        }
        for (uint32_t i = 0; i < sh.m; ++i) {
          const double scale = whole.stats[i].stddev * sd;
          EXPECT_LE(relative(merged.covariance[i][j], whole.covariance[i][j], scale), 1e-10);
          EXPECT_LE(std::fabs(merged.correlation[i][j] - whole.correlation[i][j]), 1e-10);
        }
      }
    }
  }
}

}  // namespace
