// The worker pool and the phases it splits: every pool size must give the
// statistics of one thread bit for bit, on tables whose shapes put part
// boundaries everywhere and whose columns take every order-statistics path.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "base/messages.h"
#include "stats/orderstats.h"
#include "support/stats_fixture.h"
#include "machine/workers.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(WorkersTest, EveryTaskRunsOnceAndTheLowestFailureIsRethrown) {
  const struct {
    uint32_t threads, tasks, limit;
  } cases[] = {{1, 5, 0}, {2, 1, 0}, {3, 100, 0}, {8, 7, 2}, {4, 1000, 3}};
  for (const auto &c : cases) {
    Workers w(c.threads);
    std::vector<std::atomic<int>> seen(c.tasks);
    std::atomic<uint32_t> widest{0};
    w.run(c.tasks, [&](uint32_t t, uint32_t worker) {
      ++seen[t];
      uint32_t cur = widest.load();
      while (worker + 1 > cur && !widest.compare_exchange_weak(cur, worker + 1)) {
      }
    }, c.limit);
    for (uint32_t t = 0; t < c.tasks; ++t) EXPECT_EQ(seen[t].load(), 1) << c.threads << " " << t;
    if (c.limit) {
      EXPECT_LE(widest.load(), c.limit);
    }
    // The pool is used again after a failure: the lowest failing task wins.
    EXPECT_THROW(w.run(c.tasks, [&](uint32_t t, uint32_t) {
      if (t % 3 == 0) throw std::runtime_error(std::to_string(t));
    }), std::runtime_error);
    try {
      w.run(c.tasks, [&](uint32_t t, uint32_t) {
        if (t + 1 >= c.tasks / 2) throw std::runtime_error(std::to_string(t));
      });
    } catch (const std::runtime_error &e) {
      EXPECT_EQ(std::string(e.what()), std::to_string(c.tasks / 2 == 0 ? 0 : c.tasks / 2 - 1));
    }
  }
}

TEST(WorkersTest, BoundsCoverTheRangeWithoutEmptyParts) {
  for (uint32_t count : {0u, 1u, 2u, 7u, 20u, 1000u})
    for (uint32_t parts : {1u, 2u, 3u, 8u, 1024u}) {
      for (const auto &b : {even_bounds(count, parts), triangle_bounds(count, parts, 8)}) {
        ASSERT_FALSE(b.empty());
        EXPECT_EQ(b.front(), 0u);
        EXPECT_EQ(b.back(), count);
        EXPECT_LE(b.size() - 1, parts);
        for (size_t p = 1; p < b.size(); ++p) EXPECT_LT(b[p - 1], b[p]) << count << "/" << parts;
      }
    }
  for (uint32_t count : {0u, 1u, 3u, 7u, 20u, 21u, 1000u})
    for (uint32_t workers : {1u, 2u, 3u, 8u}) {
      const std::vector<uint32_t> b = group_bounds(count, 4, workers);
      const size_t groups = b.size() - 1;
      EXPECT_EQ(b.back(), count);
      EXPECT_TRUE(groups % workers == 0 || groups == count) << count << "/" << workers;
      for (size_t g = 1; g < b.size(); ++g) {
        EXPECT_GE(b[g] - b[g - 1], 1u);
        EXPECT_LE(b[g] - b[g - 1], 4u);
        EXPECT_LE(b[g] - b[g - 1], b[1] - b[0]) << "larger groups first";
        EXPECT_GE(b[g] - b[g - 1] + 1, b[1] - b[0]) << "sizes within one";
      }
    }
  // Five groups of four would leave one worker of two with three of them.
  EXPECT_EQ(group_bounds(20, 4, 2), (std::vector<uint32_t>{0, 4, 8, 11, 14, 17, 20}));
  EXPECT_EQ(group_bounds(20, 4, 1), (std::vector<uint32_t>{0, 4, 8, 12, 16, 20}));
  // The triangle's first rows are its longest: they come in smaller parts.
  const std::vector<uint32_t> b = triangle_bounds(100, 2, 0);
  ASSERT_EQ(b.size(), 3u);
  EXPECT_LT(b[1], 50u);
}

// Columns of every kind: centred, offset, constant, with NaN, with both
// zeros, with ties, and long enough (in the tall shape) for the band path.
Columns mixed_table(uint32_t seed, uint32_t n, uint32_t m) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  Columns cols(m, std::vector<double>(n));
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t k = 0; k < n; ++k) {
      double x = u(rng) * (1 + i);
      switch (i % 6) {
        case 1: x = 1e9 + x; break;
        case 2: x = 3.25; break;
        case 3: x = rng() % 50 == 0 ? kNaN : x; break;
        case 4: x = rng() % 3 == 0 ? (rng() % 2 ? 0.0 : -0.0) : x; break;
        case 5: x = std::floor(x * 4); break;
      }
      cols[i][k] = x;
    }
  return cols;
}

std::vector<uint64_t> statistics_with(uint32_t threads, const Columns &cols) {
  Workers w(threads);
  Analysis a;
  load_columns(a, cols);
  const Switches sw;
  const Console con{stdout, stderr, true};
  testing::internal::CaptureStdout();
  compute_statistics(a, sw.analysis, con, w);
  testing::internal::GetCapturedStdout();
  std::vector<uint64_t> out;
  for (uint32_t i = 0; i < a.m; ++i) {
    const VariableStats &s = a.stats[i];
    for (double x : {s.mean, s.variance, s.stddev, s.min, s.max, s.skewness, s.curtosis,
                     s.median, s.lower_quartile, s.upper_quartile})
      out.push_back(bits(std::isnan(x) ? kNaN : x));
    for (uint32_t j = 0; j < a.m; ++j) {
      out.push_back(bits(a.covariance[i][j]));
      out.push_back(bits(a.correlation[i][j]));
    }
    for (uint32_t b = 0; b < a.bins; ++b) out.push_back(static_cast<uint64_t>(a.histogram[b][i]));
  }
  return out;
}

TEST(WorkersTest, StatisticsEqualOneThreadBitForBit) {
  const struct {
    uint32_t n, m;
  } shapes[] = {{1, 1}, {2, 3}, {9, 7}, {40, 13}, {5, 64}, {3000, 9}, {70001, 7}, {66000, 12}};
  uint32_t seed = 11;
  for (const auto &shape : shapes) {
    const Columns cols = mixed_table(seed++, shape.n, shape.m);
    const std::vector<uint64_t> serial = statistics_with(1, cols);
    for (uint32_t threads : {2u, 3u, 8u})
      EXPECT_EQ(statistics_with(threads, cols), serial)
          << shape.n << " x " << shape.m << " on " << threads;
  }
}

TEST(WorkersTest, ThreadCountComesFromTheSwitchFirst) {
  EXPECT_EQ(settle_thread_count(5), 5u);
  ::setenv("VANTOR_THREADS", "3", 1);
  EXPECT_EQ(settle_thread_count(0), 3u);
  EXPECT_EQ(settle_thread_count(7), 7u);
  for (const char *bad : {"0", "1025", "two", "", "4x"}) {
    ::setenv("VANTOR_THREADS", bad, 1);
    EXPECT_THROW(settle_thread_count(0), RunEnd) << bad;
    EXPECT_EQ(settle_thread_count(2), 2u);
  }
  ::unsetenv("VANTOR_THREADS");
  EXPECT_GE(settle_thread_count(0), 1u);
}

}  // namespace
