// Jacobi decomposition: the row-wise routine against the textbook column-wise
// rotation (tests/support) bit for bit on every vector path, accuracy on
// random correlation matrices, matrices that must end the decomposition at
// once, and eigen_decompose on the work arrays.
#include "eigen/jacobi.h"

#include <gtest/gtest.h>

#include <utility>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "machine/isa.h"
#include "support/eigen_fixture.h"
#include "support/jacobi_textbook.h"

namespace {

struct Matrix {
  uint32_t m;
  std::vector<double> block;
  std::vector<double *> rows;
  explicit Matrix(uint32_t size) : m(size), block(uint64_t{size} * size), rows(size) {
    for (uint32_t i = 0; i < m; ++i) rows[i] = block.data() + uint64_t{i} * m;
  }
  Matrix(const Matrix &o) : Matrix(o.m) { block = o.block; }
  double *operator[](uint32_t i) { return rows[i]; }
  double *const *ptr() { return rows.data(); }
};

// Correlation matrix of n random observations of m variables that share a
// few latent factors, so the eigenvalues spread; exactly symmetric with a
// unit diagonal, as the statistics leave it.
Matrix random_correlation(uint32_t m, uint32_t n, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal;
  const uint32_t factors = 1 + m / 5;
  std::vector<double> weight(uint64_t{m} * factors);
  for (double &x : weight) x = normal(rng);
  std::vector<double> data(uint64_t{n} * m);
  for (uint32_t r = 0; r < n; ++r) {
    std::vector<double> latent(factors);
    for (double &x : latent) x = normal(rng);
    for (uint32_t k = 0; k < m; ++k) {
      double x = normal(rng);
      for (uint32_t f = 0; f < factors; ++f) x += weight[k * factors + f] * latent[f];
      data[uint64_t{r} * m + k] = x;
    }
  }
  std::vector<double> mean(m, 0.0), sd(m, 0.0);
  for (uint32_t k = 0; k < m; ++k) {
    for (uint32_t r = 0; r < n; ++r) mean[k] += data[uint64_t{r} * m + k] / n;
    for (uint32_t r = 0; r < n; ++r) {
      const double d = data[uint64_t{r} * m + k] - mean[k];
      sd[k] += d * d;
    }
    sd[k] = std::sqrt(sd[k]);
  }
  Matrix a(m);
  for (uint32_t i = 0; i < m; ++i) {
    a[i][i] = 1.0;
    for (uint32_t j = i + 1; j < m; ++j) {
      double s = 0;
      for (uint32_t r = 0; r < n; ++r)
        s += (data[uint64_t{r} * m + i] - mean[i]) * (data[uint64_t{r} * m + j] - mean[j]);
      a[i][j] = s / (sd[i] * sd[j]);
      a[j][i] = a[i][j];
    }
  }
  return a;
}

// A random symmetric matrix with unequal diagonal elements, so that both
// signs of the diagonal difference and the flip below 1e-13 are exercised.
Matrix random_symmetric(uint32_t m, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Matrix a(m);
  for (uint32_t i = 0; i < m; ++i) {
    a[i][i] = (i % 3 == 0) ? 1.0 : 2.0 * u(rng);
    for (uint32_t j = i + 1; j < m; ++j) a[j][i] = a[i][j] = u(rng) * u(rng);
  }
  return a;
}

// A random symmetric matrix whose variables fall into scattered groups of
// eight with nothing between the groups: rotations never fill the zeros in,
// so even at m = 1,000 the textbook version runs in a fraction of a second,
// while every eigenvector row still takes tens of rotations in an order
// that matters.
Matrix random_groups(uint32_t m, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<uint32_t> group(m);
  for (uint32_t k = 0; k < m; ++k) group[k] = k / 8;
  std::shuffle(group.begin(), group.end(), rng);
  Matrix a(m);
  for (uint32_t i = 0; i < m; ++i) {
    a[i][i] = 2.0 * u(rng);
    for (uint32_t j = i + 1; j < m; ++j) a[j][i] = a[i][j] = group[i] == group[j] ? u(rng) : 0.0;
  }
  return a;
}

bool same_bits(const Matrix &x, const Matrix &y) {
  return x.block.size() == y.block.size() &&
         std::memcmp(x.block.data(), y.block.data(), x.block.size() * sizeof(double)) == 0;
}

// Runs both versions on copies of `a`; the eigenvector matrices are compared
// in the same layout (V[k][i] = component k of eigenvector i).
void expect_same_as_textbook(const Matrix &a, const char *what) {
  Matrix fast_a(a), fast_v(a.m), slow_a(a), slow_v(a.m);
  const JacobiCounts counts = jacobi_decompose(fast_a.ptr(), fast_v.ptr(), a.m);
  const uint64_t rotations = textbook_jacobi(slow_a.ptr(), slow_v.ptr(), a.m);
  EXPECT_EQ(counts.rotations, rotations) << what << " m=" << a.m;
  EXPECT_TRUE(same_bits(fast_a, slow_a)) << what << " matrix differs, m=" << a.m;
  EXPECT_TRUE(same_bits(fast_v, slow_v)) << what << " eigenvectors differ, m=" << a.m;
  // The eigenvectors rotated on a second thread, a batch behind.
  Matrix apart_a(a), apart_v(a.m);
  jacobi_decompose(apart_a.ptr(), apart_v.ptr(), a.m, true);
  EXPECT_TRUE(same_bits(apart_a, fast_a)) << what << " matrix differs apart, m=" << a.m;
  EXPECT_TRUE(same_bits(apart_v, fast_v)) << what << " eigenvectors differ apart, m=" << a.m;
}

// Runs a test on one vector path and gives the run's own choice back.
class JacobiPathTest : public testing::TestWithParam<Isa> {
 protected:
  void SetUp() override {
    if (!isa_supported(GetParam())) GTEST_SKIP() << isa_name(GetParam()) << " not supported here";
    saved_ = chosen_isa();
    use_isa_for_tests(GetParam());
  }
  void TearDown() override { use_isa_for_tests(saved_); }
  Isa saved_ = Isa::sse2;
};

// The eigenvector rotations are applied in blocks of elements (several
// blocks from m = 300 on) and in batches of rotations, which the dense sizes
// above 64 pass through many times; the mirror images of rotated rows are
// fetched only when their row is read again, after rotations of many
// passes. Each element must still see the textbook's rotations in its
// order, on every vector path.
TEST_P(JacobiPathTest, RowWiseRotationEqualsTheTextbookColumnRotationBitForBit) {
  const uint32_t sizes[] = {1, 2, 3, 4, 5, 7, 10, 16, 31, 64, 120, 300};
  uint64_t seed = 1;
  for (uint32_t m : sizes) {
    for (int rep = 0; rep < (m < 300 ? 3 : 1); ++rep) {
      expect_same_as_textbook(random_correlation(m, m + 20, seed++), "correlation");
      expect_same_as_textbook(random_symmetric(m, seed++), "symmetric");
    }
  }
  for (uint32_t m : {64u, 300u, 1000u, 2000u})
    expect_same_as_textbook(random_groups(m, seed++), "groups");
  // Few observations: a singular matrix with eigenvalues at rounding level.
  expect_same_as_textbook(random_correlation(40, 6, 99), "rank-deficient");
}

INSTANTIATE_TEST_SUITE_P(EveryPath, JacobiPathTest, testing::ValuesIn(kAllIsas),
                         [](const testing::TestParamInfo<Isa> &info) {
                           return std::string(isa_name(info.param));
                         });

TEST(Jacobi, RandomCorrelationMatricesGiveTrueEigenpairs) {
  for (uint32_t m : {3u, 12u, 50u, 150u}) {
    const Matrix input = random_correlation(m, 2 * m + 10, 1000 + m);
    Matrix a(input), V(m);
    jacobi_decompose(a.ptr(), V.ptr(), m);
    double largest = 0;
    long double trace = 0;
    for (uint32_t i = 0; i < m; ++i) {
      largest = std::max(largest, a[i][i]);
      trace += a[i][i];
    }
    EXPECT_NEAR(static_cast<double>(trace), m, 1e-9 * m);
    Matrix in(input);
    for (uint32_t i = 0; i < m; ++i) {
      // |A v - lambda v| in long double against the untouched input.
      long double worst = 0;
      for (uint32_t r = 0; r < m; ++r) {
        long double av = 0;
        for (uint32_t k = 0; k < m; ++k) av += static_cast<long double>(in[r][k]) * V[k][i];
        worst = std::max(worst, std::fabs(av - static_cast<long double>(a[i][i]) * V[r][i]));
      }
      EXPECT_LE(static_cast<double>(worst), 1e-6 * largest) << "m=" << m << " vector " << i;
      for (uint32_t j = 0; j <= i; ++j) {
        long double dot = 0;
        for (uint32_t k = 0; k < m; ++k) dot += static_cast<long double>(V[k][i]) * V[k][j];
        EXPECT_NEAR(static_cast<double>(dot), i == j ? 1.0 : 0.0, 1e-12) << i << "," << j;
      }
    }
  }
}

TEST(Jacobi, PairWithCorrelationRTurnsByAQuarterPi) {
  const double h = std::sqrt(0.5);
  for (double r : {0.5, -0.5, 0.9}) {
    Matrix a(2), V(2);
    a[0][0] = a[1][1] = 1.0;
    a[0][1] = a[1][0] = r;
    const JacobiCounts counts = jacobi_decompose(a.ptr(), V.ptr(), 2);
    const double sign = r < 0 ? -1.0 : 1.0;
    EXPECT_EQ(counts.rotations, 1u) << r;
    EXPECT_NEAR(a[0][0], 1 - std::fabs(r), 1e-15) << r;
    EXPECT_NEAR(a[1][1], 1 + std::fabs(r), 1e-15) << r;
    EXPECT_NEAR(V[0][0], h, 1e-15);
    EXPECT_NEAR(V[1][0], -sign * h, 1e-15);
    EXPECT_NEAR(V[0][1], sign * h, 1e-15);
    EXPECT_NEAR(V[1][1], h, 1e-15);
  }
}

// Matrices with nothing to rotate, or that could never settle, end at once
// and keep their values; the eigenvectors are the identity.
TEST(Jacobi, UnrotatableMatricesEndWithTheIdentity) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char *what;
    uint32_t m;
    std::vector<double> values;  // row by row
  } cases[] = {
      {"one variable", 1, {1.0}},
      {"uncorrelated", 3, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
      {"diagonal", 3, {3, 0, 0, 0, 1, 0, 0, 0, 2}},
      {"not a number off the diagonal", 3, {1, nan, 0.2, nan, 1, 0.3, 0.2, 0.3, 1}},
      {"not a number on the diagonal", 2, {nan, 0.5, 0.5, 1}},
      {"infinite", 2, {1, inf, inf, 1}},
      {"subnormal off the diagonal", 2, {1, 1e-310, 1e-310, 1}},
      {"norm overflows", 2, {1, 1e200, 1e200, 1}},
  };
  for (const auto &c : cases) {
    Matrix a(c.m), V(c.m);
    a.block = c.values;
    const JacobiCounts counts = jacobi_decompose(a.ptr(), V.ptr(), c.m);
    EXPECT_EQ(counts.rotations, 0u) << c.what;
    EXPECT_FALSE(counts.rotated) << c.what;
    EXPECT_EQ(std::memcmp(a.block.data(), c.values.data(), c.values.size() * sizeof(double)), 0)
        << c.what;
    for (uint32_t r = 0; r < c.m; ++r)
      for (uint32_t k = 0; k < c.m; ++k) EXPECT_EQ(V[r][k], r == k ? 1.0 : 0.0) << c.what;
  }
}

TEST(Jacobi, NearlyUncorrelatedVariablesAreStillRotated) {
  Matrix a(3);
  a.block = {1, 1e-17, -2e-17, 1e-17, 1, 3e-17, -2e-17, 3e-17, 1};
  expect_same_as_textbook(a, "nearly uncorrelated");
  Matrix b(a), V(3);
  EXPECT_GT(jacobi_decompose(b.ptr(), V.ptr(), 3).rotations, 0u);
}

// Far below the rounding of the diagonal a positive difference under 1e-13
// turns the rotation the wrong way and the elements never settle; the sweep
// bound ends the decomposition with the diagonal intact.
TEST(Jacobi, ElementsThatNeverSettleEndWithinTheSweepBound) {
  Matrix a(3), V(3);
  a.block = {1, 1e-150, 0, 1e-150, 1, 3e-150, 0, 3e-150, 1};
  const JacobiCounts counts = jacobi_decompose(a.ptr(), V.ptr(), 3);
  EXPECT_GT(counts.rotations, 0u);
  EXPECT_LE(counts.sweeps, 2000u);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_NEAR(a[i][i], 1.0, 1e-15);
  for (uint32_t i = 0; i < 3; ++i)
    for (uint32_t j = 0; j < 3; ++j) {
      double dot = 0;
      for (uint32_t k = 0; k < 3; ++k) dot += V[k][i] * V[k][j];
      EXPECT_NEAR(dot, i == j ? 1.0 : 0.0, 1e-15);
    }
}

// eigen_decompose on a file's record: the lower triangle is taken from the
// upper one, the arrays are wider than m, the eigenvalues are collected, and
// the correlation matrix is left as it was.
using EigenDecomposeTest = EigenOutputTest;

TEST_F(EigenDecomposeTest, SymmetrisesACopyAndCollectsRoots) {
  set_pair_correlation(0.5, 3);
  a.correlation[1][0] = 0.25;  // stale lower triangle, replaced by the upper one
  a.correlation[2][2] = 7.0;   // outside the two variables, untouched
  a.eigen = eigen_decompose(a.correlation, a.m, a.components.loadings.get(), std::move(a.eigen));
  EXPECT_NEAR(a.eigen.values[0], 0.5, 1e-15);
  EXPECT_NEAR(a.eigen.values[1], 1.5, 1e-15);
  EXPECT_EQ(a.eigen.total, a.eigen.values[0] + a.eigen.values[1]);
  const double h = std::sqrt(0.5);
  EXPECT_NEAR(a.eigen.vectors[0][0], h, 1e-15);
  EXPECT_NEAR(a.eigen.vectors[1][0], -h, 1e-15);
  EXPECT_NEAR(a.eigen.vectors[0][1], h, 1e-15);
  EXPECT_NEAR(a.eigen.vectors[1][1], h, 1e-15);
  EXPECT_EQ(a.eigen.vectors[0][2], 0.0);
  EXPECT_EQ(a.correlation[0][0], 1.0);
  EXPECT_EQ(a.correlation[0][1], 0.5);
  EXPECT_EQ(a.correlation[1][0], 0.25);
  EXPECT_EQ(a.correlation[2][2], 7.0);

  make(1, 1);
  a.correlation[0][0] = 1.0;
  a.eigen = eigen_decompose(a.correlation, a.m, a.components.loadings.get(), std::move(a.eigen));
  EXPECT_EQ(a.eigen.total, 1.0);
  EXPECT_EQ(a.eigen.values[0], 1.0);
  EXPECT_EQ(a.eigen.vectors[0][0], 1.0);
}

}  // namespace
