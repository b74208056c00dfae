// Score coefficients and scores: the ".fsc" file with and without section
// headers, the ".sco" file, centring, and the run-wide scores count.
#include <gtest/gtest.h>

#include <utility>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "eigen/components.h"
#include "output/componentsout.h"
#include "support/eigen_fixture.h"
#include "eigen/jacobi.h"
#include "eigen/scores.h"

namespace {

class ScoresTest : public EigenOutputTest {
 protected:
  // The worked pair: correlation 0.5, means 2 and 2, standard deviations 1
  // and 1, observations (1, 1) and (2, 3); decomposed and ordered.
  double set_up_pair();
  // m variables with a random correlation structure and n observations.
  double set_up_random(uint32_t m, uint32_t n);

  // The ".sco" file with score limit N, the scores count carried as the
  // driver carries it from file to file.
  void sco(uint32_t N) {
    count = adjusted_scores_count(count, N, sw.analysis.allscores != 0);
    write_sco_file(a, place_, N, count, sw.analysis.scores_mean != 0, con);
  }
  uint32_t count = 3;
};

double ScoresTest::set_up_pair() {
  set_pair_correlation(0.5);
  for (int k = 0; k < 2; ++k) {
    a.stats[k].mean = 2;
    a.stats[k].stddev = 1;
  }
  a.data[0][0] = 1;
  a.data[0][1] = 1;
  a.data[1][0] = 2;
  a.data[1][1] = 3;
  a.eigen = eigen_decompose(a.correlation, a.m, a.components.loadings.get(), std::move(a.eigen));
  a.components = order_components(a.eigen, a.m, std::move(a.components));
  return a.eigen.total;
}

double ScoresTest::set_up_random(uint32_t m, uint32_t n) {
  std::mt19937_64 rng(m * 31 + n);
  std::normal_distribution<double> normal;
  make(n, m);
  for (uint32_t r = 0; r < n; ++r) {
    const double common = normal(rng);
    for (uint32_t k = 0; k < m; ++k) a.data[r][k] = common * (k + 1) + normal(rng) + k;
  }
  for (uint32_t k = 0; k < m; ++k) {
    a.stats[k].mean = k + 0.5;
    a.stats[k].stddev = 1.0 + k;
    a.correlation[k][k] = 1.0;
    for (uint32_t j = k + 1; j < m; ++j) a.correlation[k][j] = a.correlation[j][k] = 0.3 + 0.01 * (j + k);
  }
  a.eigen = eigen_decompose(a.correlation, a.m, a.components.loadings.get(), std::move(a.eigen));
  a.components = order_components(a.eigen, a.m, std::move(a.components));
  return a.eigen.total;
}

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::vector<double> numbers_of(const std::string &line) {
  std::vector<double> out;
  std::istringstream in(line);
  for (double x; in >> x;) out.push_back(x);
  return out;
}

TEST_F(ScoresTest, FscFileOfTheWorkedPair) {
  set_up_pair();
  con.quiet = false;
  testing::internal::CaptureStdout();
  write_fsc_file(a, place_, 2, true, con);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Writing file: " + path(".fsc") + "\n");
  const std::string fsc = read(".fsc");
  const std::vector<std::string> lines = lines_of(fsc);
  ASSERT_EQ(lines.size(), 9u);
  const std::vector<double> row0 = numbers_of(lines[1]), row1 = numbers_of(lines[2]);
  EXPECT_NEAR(row0[0], 0.011547005, 1e-9);
  EXPECT_NEAR(row0[1], 0.02, 1e-12);
  EXPECT_NEAR(row1[0], 0.011547005, 1e-9);
  EXPECT_NEAR(row1[1], -0.02, 1e-12);
  EXPECT_EQ(fsc,
            "[FSC_SORTED]\n"
            " 1.1547005e-02  2.0000000e-02 \n"
            " 1.1547005e-02 -2.0000000e-02 \n"
            "[ROOT_SORTED]\n"
            " 1.5000000e+00  5.0000000e-01 \n"
            "[STD]\n"
            " 1.0000000e+00  1.0000000e+00 \n"
            "[MEAN]\n"
            " 2.0000000e+00  2.0000000e+00 \n");
}

TEST_F(ScoresTest, ScoFileOfTheWorkedPairWithCentring) {
  set_up_pair();
  sw.analysis.scores_mean = 1;
  count = 3;
  con.quiet = false;
  testing::internal::CaptureStdout();
  sco(2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Writing file: " + path(".sco") + " 2 scores\n");
  const std::string sco = read(".sco");
  const std::vector<std::string> lines = lines_of(sco);
  ASSERT_EQ(lines.size(), 2u);
  const std::vector<double> first = numbers_of(lines[0]), second = numbers_of(lines[1]);
  EXPECT_NEAR(first[0], -0.023094011, 1e-9);
  EXPECT_NEAR(first[1], 0.0, 1e-15);
  EXPECT_NEAR(second[0], 0.011547005, 1e-9);
  EXPECT_NEAR(second[1], -0.02, 1e-12);
  // The second score of (1, 1) is 0 up to the rounding of the loadings.
  EXPECT_EQ(sco,
            "-2.3094011e-02 -3.4694470e-18 \n"
            " 1.1547005e-02 -2.0000000e-02 \n");
}

// With -4 the file keeps the first four variables against the four largest
// components and drops the section headers: 3 + N lines.
TEST_F(ScoresTest, FscFileBecomesAFourByFourBlockWithoutHeaders) {
  set_up_random(6, 20);
  write_fsc_file(a, place_, 4, false, con);
  const std::vector<std::string> lines = lines_of(read(".fsc"));
  ASSERT_EQ(lines.size(), 7u);
  for (const std::string &line : lines) {
    EXPECT_EQ(numbers_of(line).size(), 4u) << line;
    EXPECT_EQ(line.back(), ' ');
    EXPECT_EQ(line.find('['), std::string::npos);
  }
  const std::vector<double> roots = numbers_of(lines[4]);
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(roots[c], a.eigen.values[a.components.order[c]], 1e-7 * roots[0]);
  for (int c = 1; c < 4; ++c) EXPECT_GE(roots[c - 1], roots[c]);
  EXPECT_EQ(numbers_of(lines[5]), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(numbers_of(lines[6]), (std::vector<double>{0.5, 1.5, 2.5, 3.5}));
}

TEST_F(ScoresTest, FscFileOfThreeVariablesHasTenLines) {
  set_up_random(3, 10);
  write_fsc_file(a, place_, 3, true, con);
  const std::vector<std::string> lines = lines_of(read(".fsc"));
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "[FSC_SORTED]");
  EXPECT_EQ(lines[4], "[ROOT_SORTED]");
  EXPECT_EQ(lines[6], "[STD]");
  EXPECT_EQ(lines[8], "[MEAN]");
}

// Each score is the scaled row times a column of the coefficient matrix,
// summed over the first N variables in order.
TEST_F(ScoresTest, ScoresAreRowsTimesCoefficientColumns) {
  const uint32_t m = 6, n = 15, N = 4;
  const double total = set_up_random(m, n);
  sw.analysis.allscores = 1;
  sco(N);
  const std::vector<std::string> lines = lines_of(read(".sco"));
  ASSERT_EQ(lines.size(), n);
  for (uint32_t r = 0; r < n; ++r) {
    const std::vector<double> got = numbers_of(lines[r]);
    ASSERT_EQ(got.size(), N);
    for (uint32_t c = 0; c < N; ++c) {
      const int p = a.components.order[c];
      double score = 0;
      for (uint32_t j = 0; j < N; ++j)
        score += a.components.loadings[j * m + p] / (a.eigen.values[p] / total) / 100 * (a.data[r][j] / a.stats[j].stddev);
      char want[32];
      std::snprintf(want, sizeof want, "% .7e", score);
      EXPECT_EQ(numbers_of(want)[0], got[c]) << r << "," << c;
    }
  }
}

TEST_F(ScoresTest, ScoresCountIsAdjustedForTheRun) {
  const struct {
    const char *what;
    uint32_t scores;
    int allscores;
    std::vector<uint32_t> limits;  // score limits of successive data files
    std::vector<uint32_t> written;
  } cases[] = {
      {"more asked than variables", 5, 0, {3}, {3}},
      {"default with many variables", 3, 0, {10}, {3}},
      {"fewer variables than the default", 3, 0, {2}, {2}},
      {"a small file lowers later files", 3, 0, {2, 6}, {2, 2}},
      {"all scores per file", 3, 1, {2, 6}, {2, 6}},
  };
  for (const auto &c : cases) {
    count = c.scores;
    sw.analysis.allscores = c.allscores;
    for (size_t f = 0; f < c.limits.size(); ++f) {
      const uint32_t N = c.limits[f];
      set_up_random(N, 3);
      sco(N);
      const std::vector<std::string> lines = lines_of(read(".sco"));
      ASSERT_EQ(lines.size(), 3u);
      EXPECT_EQ(numbers_of(lines[0]).size(), c.written[f]) << c.what << " file " << f;
      EXPECT_EQ(count, c.written[f]) << c.what;
    }
  }
}

// Without a component the count falls back to 3, but nothing is read for
// components that do not exist.
TEST_F(ScoresTest, NoComponentWritesEmptyLines) {
  set_up_pair();
  count = 3;
  sco(0);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(read(".sco"), "\n\n");
}

TEST_F(ScoresTest, CentringMakesScoresIndependentOfAShift) {
  for (int centred : {0, 1}) {
    sw.analysis.scores_mean = centred;
    count = 2;
    set_up_pair();
    sco(2);
    const std::string plain = read(".sco");

    set_up_pair();
    a.data[0][0] += 10;
    a.data[1][0] += 10;
    a.stats[0].mean += 10;
    sco(2);
    if (centred)
      EXPECT_EQ(read(".sco"), plain);
    else
      EXPECT_NE(read(".sco"), plain);
  }
}

}  // namespace
