// Every vector path against the baseline one: random tables, awkward widths
// and special values through the statistics phases, compared bit for bit,
// and the histogram bins against the value-at-a-time traced loop.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "stats/histogram.h"
#include "machine/isa.h"
#include "eigen/jacobi.h"
#include "support/stats_fixture.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Runs a test on one path and gives the run's own choice back afterwards.
class KernelPathTest : public testing::TestWithParam<Isa> {
 protected:
  void SetUp() override {
    if (!isa_supported(GetParam())) GTEST_SKIP() << isa_name(GetParam()) << " not supported here";
    saved_ = chosen_isa();
  }
  void TearDown() override { use_isa_for_tests(saved_); }
  Isa saved_ = Isa::sse2;
};

// Columns of different kinds: centred, offset far from zero (the deviation
// pass decides their variance), constant, and a few with infinities, NaN
// and negative zeros.
Columns awkward_table(uint32_t seed, uint32_t n, uint32_t m) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  const double specials[] = {kNaN, kInf, -kInf, -0.0, 0.0, 1e300, -1e-300};
  Columns cols(m, std::vector<double>(n));
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t k = 0; k < n; ++k) {
      double x = (i % 4 == 1) ? 1e9 + u(rng) : (i % 4 == 2) ? 3.25 : u(rng) * (1 + i);
      if (i % 7 == 6 && rng() % 5 == 0) x = specials[rng() % 7];
      cols[i][k] = x;
    }
  return cols;
}

// The bits of a result as far as they can show: which NaN a commutative
// operation passes on depends on the operand order the compiler picked, on
// any path, and no NaN is printed with its sign (naming.h, shown()).
uint64_t result_bits(double x) { return bits(std::isnan(x) ? kNaN : x); }

// Everything the statistics phases leave in the record, as bits.
std::vector<uint64_t> snapshot(const Analysis &a) {
  std::vector<uint64_t> out;
  for (uint32_t i = 0; i < a.m; ++i) {
    const VariableStats &s = a.stats[i];
    for (double x : {s.mean, s.variance, s.stddev, s.min, s.max, s.skewness, s.curtosis})
      out.push_back(result_bits(x));
    for (uint32_t j = 0; j < a.m; ++j) {
      out.push_back(result_bits(a.covariance[i][j]));
      out.push_back(result_bits(a.correlation[i][j]));
    }
    for (uint32_t b = 0; b < a.bins; ++b) out.push_back(static_cast<uint64_t>(a.histogram[b][i]));
  }
  return out;
}

std::vector<uint64_t> statistics_on(Isa isa, const Columns &cols) {
  use_isa_for_tests(isa);
  Analysis a;
  load_columns(a, cols);
  run_statistics(a);
  return snapshot(a);
}

TEST_P(KernelPathTest, StatisticsEqualTheBaselineBitForBit) {
  // Widths around the vector lengths (2, 4 and 8 doubles) and their
  // remainders; the tall shape repeats the short rows many times.
  const struct {
    uint32_t n, m;
  } shapes[] = {{2, 1},  {3, 2},  {5, 3},   {9, 7},   {17, 8},   {33, 9},  {40, 15},
                {7, 16}, {12, 17}, {64, 31}, {20, 33}, {31, 64}, {9, 100}, {3000, 5}};
  uint32_t seed = 1;
  for (const auto &shape : shapes) {
    const Columns cols = awkward_table(seed++, shape.n, shape.m);
    EXPECT_EQ(statistics_on(GetParam(), cols), statistics_on(Isa::sse2, cols))
        << shape.n << " x " << shape.m;
  }
}

// Eigenvalues and eigenvectors of the table's correlation matrix, as bits.
std::vector<uint64_t> decomposition_on(Isa isa, const Columns &cols) {
  use_isa_for_tests(isa);
  Analysis a;
  load_columns(a, cols);
  run_statistics(a);
  a.eigen = eigen_decompose(a.correlation, a.m, a.components.loadings.get(), std::move(a.eigen));
  std::vector<uint64_t> out;
  for (uint32_t i = 0; i < a.m; ++i) {
    out.push_back(bits(a.eigen.values[i]));
    for (uint32_t k = 0; k < a.m; ++k) out.push_back(bits(a.eigen.vectors[k][i]));
  }
  return out;
}

TEST_P(KernelPathTest, DecompositionEqualsTheBaselineBitForBit) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(-1, 1);
  for (uint32_t m : {2u, 7u, 16u, 37u}) {
    Columns cols(m, std::vector<double>(3 * m));
    for (uint32_t i = 0; i < m; ++i)
      for (double &x : cols[i]) x = u(rng) + (i ? 0.5 * cols[i - 1][&x - cols[i].data()] : 0);
    EXPECT_EQ(decomposition_on(GetParam(), cols), decomposition_on(Isa::sse2, cols)) << m;
  }
}

// A record holding the table, with a histogram of `bins` rows.
void load_for_histogram(Analysis &a, const Columns &cols, uint32_t bins) {
  const uint32_t m = cols.size(), n = cols[0].size();
  MemoryTally tally;
  const Console con{stdout, stderr, true};
  a = make_analysis(n, m, WorkArraySettings{bins, false}, tally, con);
  a.n = n;
  a.m = m;
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t k = 0; k < n; ++k) a.data[k][i] = cols[i][k];
}

TEST_P(KernelPathTest, BinsEqualTheTracedCount) {
  // The traced loop places one value at a time by the original rules.
  FILE *sink = std::fopen("/dev/null", "w");
  ASSERT_NE(sink, nullptr);
  const Console con{sink, sink, true};
  use_isa_for_tests(GetParam());
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-2, 12);
  const uint32_t m = 19;
  for (uint32_t bins : {1u, 2u, 5u, 30u}) {
    const Columns cols = awkward_table(bins, 50, m);
    // Extremes that leave values outside the bins, and zero widths.
    Extremes e{std::vector<double>(m), std::vector<double>(m)};
    for (uint32_t k = 0; k < m; ++k) {
      e.min[k] = k % 5 == 0 ? 3.25 : u(rng);
      e.max[k] = k % 5 == 0 ? 3.25 : e.min[k] + std::fabs(u(rng));
    }
    Analysis fast, traced;
    load_for_histogram(fast, cols, bins);
    load_for_histogram(traced, cols, bins);
    count_histogram(fast, e, false, con);
    count_histogram(traced, e, true, con);
    for (uint32_t b = 0; b < bins; ++b)
      for (uint32_t k = 0; k < m; ++k)
        EXPECT_EQ(fast.histogram[b][k], traced.histogram[b][k]) << bins << " bins, bin " << b;
  }
  std::fclose(sink);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, KernelPathTest, testing::ValuesIn(kAllIsas),
                         [](const testing::TestParamInfo<Isa> &info) {
                           return std::string(isa_name(info.param));
                         });

}  // namespace
