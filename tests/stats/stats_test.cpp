// Extremes, moments and the covariance and correlation matrices.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

#include "base/messages.h"
#include "machine/workers.h"
#include "support/stats_fixture.h"

namespace {

struct StatsTest : testing::Test {
  Analysis a;
};

// A random table; some columns sit away from zero and some hold repeated
// values, as measured data does.
Columns random_table(std::mt19937_64 &rng, uint32_t n, uint32_t m) {
  std::uniform_real_distribution<double> u(-1, 1);
  Columns cols(m, std::vector<double>(n));
  for (uint32_t i = 0; i < m; ++i) {
    const double offset = (i % 3 == 0) ? 0 : i * 0.5;
    const double scale = 1 + i % 4;
    for (uint32_t k = 0; k < n; ++k)
      cols[i][k] = (i % 5 == 4) ? std::floor(u(rng) * 4) : offset + scale * u(rng);
  }
  return cols;
}

}  // namespace

TEST_F(StatsTest, OneToFiveGivesTheTextbookMoments) {
  EXPECT_EQ(load_and_run(a, {{1, 2, 3, 4, 5}}), "");
  const VariableStats &s = a.stats[0];
  EXPECT_EQ(s.mean, 3.0);
  EXPECT_EQ(s.variance, 2.5);
  EXPECT_EQ(s.stddev, std::sqrt(2.5));
  EXPECT_EQ(s.min, 1.0);
  EXPECT_EQ(s.max, 5.0);
  EXPECT_EQ(s.skewness, 0.0);
  // S4 = 34 over (5 * 2.5) * 2.5.
  EXPECT_EQ(s.curtosis, 34 / (5 * 2.5 * 2.5) - 3);
  EXPECT_NEAR(s.curtosis, -1.912, 1e-12);
  EXPECT_EQ(s.median, 3.0);
  EXPECT_EQ(s.lower_quartile, 1.75);
  EXPECT_EQ(s.upper_quartile, 4.25);
}

TEST_F(StatsTest, CovarianceDividesByNAndCorrelationByTheNMinusOneDeviations) {
  load_and_run(a, {{1, 2, 3, 4, 5}, {2, 4, 6, 8, 10}});
  EXPECT_EQ(a.covariance[0][0], 2.0);
  EXPECT_EQ(a.covariance[0][1], 4.0);
  EXPECT_EQ(a.covariance[1][0], 4.0);
  EXPECT_EQ(a.covariance[1][1], 8.0);
  EXPECT_NEAR(a.correlation[0][1], 0.8, 1e-15);
  EXPECT_EQ(a.correlation[0][1], a.correlation[1][0]);
  EXPECT_EQ(a.correlation[0][0], 1.0);
  EXPECT_EQ(a.correlation[1][1], 1.0);
}

TEST_F(StatsTest, ConstantColumnsAreWarnedAboutAndGivenASmallVariance) {
  const std::string out =
      load_and_run(a, {{1, 2, 3, 4}, {5, 5, 5, 5}, {0, 1, 0, 1}, {-2, -2, -2, -2}});
  EXPECT_EQ(out, "\nWARNING! Variable(s)\a 2 4 has no Std.Dev. Modifies...\n");
  for (uint32_t i : {1u, 3u}) {
    EXPECT_EQ(a.stats[i].variance, 0.0001) << i;
    EXPECT_EQ(a.stats[i].stddev, std::sqrt(0.0001)) << i;
    EXPECT_EQ(a.stats[i].skewness, 0.0) << i;
    EXPECT_EQ(a.stats[i].curtosis, -3.0) << i;
    EXPECT_EQ(a.stats[i].median, a.stats[i].mean) << i;
    EXPECT_EQ(a.stats[i].lower_quartile, a.stats[i].mean) << i;
    EXPECT_EQ(a.stats[i].upper_quartile, a.stats[i].mean) << i;
    EXPECT_EQ(a.covariance[i][i], 0.0) << i;
    EXPECT_EQ(a.correlation[i][i], 1.0) << i;
    for (uint32_t j = 0; j < 4; ++j) {
      EXPECT_EQ(a.covariance[i][j], 0.0);
      if (j != i) {
        EXPECT_EQ(a.correlation[i][j], 0.0);
      }
    }
  }
}

TEST_F(StatsTest, NoWarningWithoutAConstantColumn) {
  EXPECT_EQ(load_and_run(a, {{1, 2}, {3, 1}}), "");
}

TEST_F(StatsTest, ExtremesIgnoreNaNAndNeedNoSpecialStartingValue) {
  const double nan = std::nan("");
  load_and_run(a, {{nan, 3, -1, nan}, {-5, -7, -6, -9}, {2e300, 3e300, 1.5e300, 4e300}});
  EXPECT_EQ(a.stats[0].min, -1.0);
  EXPECT_EQ(a.stats[0].max, 3.0);
  EXPECT_EQ(a.stats[1].max, -5.0);
  EXPECT_EQ(a.stats[1].min, -9.0);
  EXPECT_EQ(a.stats[2].min, 1.5e300);
  EXPECT_EQ(a.stats[2].max, 4e300);
}

TEST_F(StatsTest, NoObservationsEndTheRun) {
  load_columns(a, {{}, {}});
  try {
    find_extremes(a);
    ADD_FAILURE() << "no error";
  } catch (const RunEnd &end) {
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(end.message, "Too few variables\n");
  }
}

// The row-by-row walk must give the very bits of the straightforward loops:
// each variable, and each pair, its terms in observation order.
TEST_F(StatsTest, RowWalkEqualsThePairByPairLoopBitForBit) {
  std::mt19937_64 rng(20240611);
  const struct {
    uint32_t n, m;
  } shapes[] = {{1, 3}, {2, 1}, {31, 4}, {32, 5}, {33, 7}, {100, 20}, {257, 37}, {1000, 3}};
  for (const auto &shape : shapes) {
    const uint32_t n = shape.n, m = shape.m;
    load_and_run(a, random_table(rng, n, m));
    for (uint32_t i = 0; i < m; ++i) {
      double sum = 0, sumsq = 0, s3 = 0, s4 = 0;
      for (uint32_t k = 0; k < n; ++k) {
        sum = sum + a.data[k][i];
        sumsq = sumsq + a.data[k][i] * a.data[k][i];
      }
      const double mean = sum / n;
      double variance = (sumsq - sum * sum / n) / (n - 1);
      if (variance <= 0) variance = 0.0001;
      const double sd = std::sqrt(variance);
      for (uint32_t k = 0; k < n; ++k) {
        const double d = a.data[k][i] - mean;
        const double d3 = d * d * d;
        s3 = s3 + d3;
        s4 = s4 + d3 * d;
      }
      EXPECT_EQ(bits(a.stats[i].mean), bits(mean)) << n << "x" << m << " var " << i;
      EXPECT_EQ(bits(a.stats[i].variance), bits(variance)) << n << "x" << m << " var " << i;
      EXPECT_EQ(bits(a.stats[i].stddev), bits(sd));
      EXPECT_EQ(bits(a.stats[i].skewness), bits(s3 / (n * variance * sd)));
      EXPECT_EQ(bits(a.stats[i].curtosis), bits(s4 / (n * variance * variance) - 3));
    }
    for (uint32_t i = 0; i < m; ++i) {
      for (uint32_t j = i; j < m; ++j) {
        double c = 0;
        for (uint32_t k = 1; k <= n; ++k)
          c = c + ((a.data[k - 1][i] - a.stats[i].mean) * (a.data[k - 1][j] - a.stats[j].mean) - c) / k;
        EXPECT_EQ(bits(a.covariance[i][j]), bits(c)) << n << "x" << m << " pair " << i << "," << j;
        EXPECT_EQ(bits(a.covariance[j][i]), bits(c));
        const double r = i == j ? 1.0 : c / (a.stats[j].stddev * a.stats[i].stddev);
        EXPECT_EQ(bits(a.correlation[i][j]), bits(r));
        EXPECT_EQ(bits(a.correlation[j][i]), bits(r));
      }
    }
  }
}

// A wide triangle is walked in tiles of rows, each through every observation
// before the next; each pair must still get its terms in observation order,
// on one thread and split among three.
TEST_F(StatsTest, TiledTriangleEqualsThePairByPairLoopBitForBit) {
  std::mt19937_64 rng(20261210);
  for (uint32_t threads : {1u, 3u}) {
    Workers pool(threads);
    load_columns(a, random_table(rng, 12, 1200), {});
    compute_statistics(a, AnalysisOptions{}, Console{stdout, stderr, true}, pool);
    for (uint32_t i = 0; i < a.m; ++i)
      for (uint32_t j = i; j < a.m; ++j) {
        double c = 0;
        for (uint32_t k = 1; k <= a.n; ++k)
          c = c + ((a.data[k - 1][i] - a.stats[i].mean) * (a.data[k - 1][j] - a.stats[j].mean) - c) / k;
        ASSERT_EQ(bits(a.covariance[i][j]), bits(c)) << threads << " threads, pair " << i << "," << j;
      }
  }
}

// An independent two-pass computation in long double: the results agree to
// within rounding, so no divisor or power is off.
TEST_F(StatsTest, AgreesWithALongDoubleTwoPassComputation) {
  std::mt19937_64 rng(77);
  const uint32_t n = 999, m = 9;
  load_and_run(a, random_table(rng, n, m));
  const double tol = 64 * DBL_EPSILON;
  std::vector<long double> mean(m), sd(m);
  for (uint32_t i = 0; i < m; ++i) {
    long double sum = 0, d2 = 0, d3 = 0, d4 = 0;
    for (uint32_t k = 0; k < n; ++k) sum += a.data[k][i];
    mean[i] = sum / n;
    for (uint32_t k = 0; k < n; ++k) {
      const long double d = a.data[k][i] - mean[i];
      d2 += d * d, d3 += d * d * d, d4 += d * d * d * d;
    }
    const long double var = d2 / (n - 1);
    sd[i] = std::sqrt(var);
    EXPECT_NEAR(a.stats[i].mean, mean[i], tol * (1 + std::fabs(a.stats[i].mean))) << i;
    // The one-pass variance loses about mean^2 / var ulps to cancellation;
    // the standardized moments inherit that through s^3 and s^4.
    const double rel = tol * (1 + mean[i] * mean[i] / var);
    const long double skew = d3 / n / (var * sd[i]), curt = d4 / n / (var * var);
    EXPECT_NEAR(a.stats[i].variance, var, rel * var) << i;
    EXPECT_NEAR(a.stats[i].skewness, skew, tol + 1.5 * rel * std::fabs(skew)) << i;
    EXPECT_NEAR(a.stats[i].curtosis, curt - 3, tol + 2 * rel * curt) << i;
  }
  for (uint32_t i = 0; i < m; ++i) {
    for (uint32_t j = 0; j < m; ++j) {
      long double c = 0;
      for (uint32_t k = 0; k < n; ++k) c += (a.data[k][i] - mean[i]) * (a.data[k][j] - mean[j]);
      c /= n;
      EXPECT_NEAR(a.covariance[i][j], c, tol * sd[i] * sd[j]) << i << "," << j;
      if (i != j) {
        EXPECT_NEAR(a.correlation[i][j], c / (sd[i] * sd[j]), tol) << i << "," << j;
      }
    }
  }
}

TEST_F(StatsTest, SingleObservationKeepsItsValueAsMedianAndQuartiles) {
  load_and_run(a, {{4.5}, {-2}});
  for (uint32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(a.stats[i].median, i ? -2.0 : 4.5);
    EXPECT_EQ(a.stats[i].lower_quartile, a.stats[i].median);
    EXPECT_EQ(a.stats[i].upper_quartile, a.stats[i].median);
  }
  // 0/0: the sample variance of one value is undefined and shows as NaN.
  EXPECT_TRUE(std::isnan(a.stats[0].variance));
}

// Offset data: means 1e3 to 1e9 standard deviations from zero. The variance
// must come out right where the one-pass numerator is only noise, against a
// long-double two-pass reference, with no constant-variable warning and no
// correlation above 1.
TEST_F(StatsTest, OffsetVariablesKeepTheirVarianceAndMoments) {
  std::mt19937_64 rng(1101);
  std::normal_distribution<double> normal;
  std::gamma_distribution<double> skewed(2.0);
  for (int round = 0; round < 40; ++round) {
    const uint32_t n = 50 + static_cast<uint32_t>(rng() % 2000), m = 3;
    const double sd = std::ldexp(1.0, static_cast<int>(rng() % 40) - 20);
    const double ratio = std::pow(10.0, 3 + 6 * std::uniform_real_distribution<double>(0, 1)(rng));
    const double offset = ((rng() & 1) ? -1 : 1) * ratio * sd;
    Columns cols(m, std::vector<double>(n));
    for (uint32_t k = 0; k < n; ++k) {
      const double common = normal(rng);
      cols[0][k] = offset + sd * normal(rng);
      cols[1][k] = offset * 0.5 + sd * (common + 0.5 * skewed(rng));
      cols[2][k] = 3 * offset + sd * (common + 0.1 * normal(rng));
    }
    EXPECT_EQ(load_and_run(a, cols), "") << "round " << round;
    std::vector<long double> mean(m), sdl(m);
    for (uint32_t i = 0; i < m; ++i) {
      long double sum = 0, d2 = 0, d3 = 0, d4 = 0;
      for (uint32_t k = 0; k < n; ++k) sum += cols[i][k];
      mean[i] = sum / n;
      for (uint32_t k = 0; k < n; ++k) {
        const long double d = cols[i][k] - mean[i];
        d2 += d * d, d3 += d * d * d, d4 += d * d * d * d;
      }
      const long double var = d2 / (n - 1);
      sdl[i] = std::sqrt(var);
      const VariableStats &s = a.stats[i];
      EXPECT_NEAR(s.variance / var, 1, 1e-9) << "round " << round << " var " << i;
      EXPECT_NEAR(s.stddev / sdl[i], 1, 1e-9) << "round " << round << " var " << i;
      EXPECT_NEAR(s.skewness, d3 / n / (var * sdl[i]), 1e-6) << "round " << round << " var " << i;
      EXPECT_NEAR(s.curtosis, d4 / n / (var * var) - 3, 1e-6) << "round " << round;
      EXPECT_FALSE(s.constant);
    }
    for (uint32_t i = 0; i < m; ++i) {
      for (uint32_t j = i + 1; j < m; ++j) {
        long double c = 0;
        for (uint32_t k = 0; k < n; ++k) c += (cols[i][k] - mean[i]) * (cols[j][k] - mean[j]);
        const long double r = c / n / (sdl[i] * sdl[j]);
        EXPECT_NEAR(a.correlation[i][j], r, 1e-9) << "round " << round << " pair " << i << j;
        EXPECT_LE(std::fabs(a.correlation[i][j]), 1.0);
      }
    }
  }
}

// Every value equal gets the zero-variance rule exactly, whatever the
// constant, even where the rounded mean is not the constant itself.
TEST_F(StatsTest, ConstantsGetTheZeroVarianceRuleWhateverTheirValue) {
  for (double value : {5.0, 0.1, 1e9 + 0.1, -2.5e-300, 123456.789}) {
    for (uint32_t n : {2u, 3u, 7u, 1000u}) {
      Columns cols = {std::vector<double>(n, value), std::vector<double>(n)};
      for (uint32_t k = 0; k < n; ++k) cols[1][k] = k % 3;
      EXPECT_EQ(load_and_run(a, cols), "\nWARNING! Variable(s)\a 1 has no Std.Dev. Modifies...\n")
          << value << " x " << n;
      const VariableStats &s = a.stats[0];
      EXPECT_TRUE(s.constant);
      EXPECT_EQ(s.variance, 0.0001);
      EXPECT_EQ(s.stddev, 0.01);
      EXPECT_EQ(bits(s.skewness), bits(0.0));
      EXPECT_EQ(s.curtosis, -3.0);
      EXPECT_EQ(bits(a.covariance[0][1]), bits(0.0));
      EXPECT_EQ(bits(a.correlation[0][1]), bits(0.0));
    }
  }
}
