// Score coefficients and scores: the ".fsc" file with and without section
// headers, the ".sco" file, centring, and the run-wide scores count.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "eigen.h"
#include "eigen_fixture.h"
#include "vantor.h"

namespace {

// The worked pair: correlation 0.5, means 2 and 2, standard deviations 1 and
// 1, observations (1, 1) and (2, 3); decomposed and ordered.
double set_up_pair() {
  set_pair_correlation(0.5);
  for (int k = 0; k < 2; ++k) {
    v[k].mean = 2;
    v[k].stddev = 1;
  }
  dd[0][0] = 1;
  dd[0][1] = 1;
  dd[1][0] = 2;
  dd[1][1] = 3;
  const double total = eigen_decompose(2);
  order_components(2);
  return total;
}

// m variables with a random correlation structure and n observations.
double set_up_random(uint32_t m, uint32_t n) {
  std::mt19937_64 rng(m * 31 + n);
  std::normal_distribution<double> normal;
  alloc_work_arrays(n, m);
  for (uint32_t r = 0; r < n; ++r) {
    const double common = normal(rng);
    for (uint32_t k = 0; k < m; ++k) dd[r][k] = common * (k + 1) + normal(rng) + k;
  }
  for (uint32_t k = 0; k < m; ++k) {
    v[k].mean = k + 0.5;
    v[k].stddev = 1.0 + k;
    cc[k][k] = 1.0;
    for (uint32_t j = k + 1; j < m; ++j) cc[k][j] = cc[j][k] = 0.3 + 0.01 * (j + k);
  }
  const double total = eigen_decompose(m);
  order_components(m);
  return total;
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

class ScoresTest : public EigenOutputTest {};

TEST_F(ScoresTest, FscFileOfTheWorkedPair) {
  const double total = set_up_pair();
  sw.quiet = 0;
  testing::internal::CaptureStdout();
  write_fsc_file(2, 2, true, total);
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
  const double total = set_up_pair();
  sw.scores_mean = 1;
  sw.scores = 3;
  sw.quiet = 0;
  testing::internal::CaptureStdout();
  write_sco_file(2, 2, 2, total);
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
  const double total = set_up_random(6, 20);
  write_fsc_file(6, 4, false, total);
  const std::vector<std::string> lines = lines_of(read(".fsc"));
  ASSERT_EQ(lines.size(), 7u);
  for (const std::string &line : lines) {
    EXPECT_EQ(numbers_of(line).size(), 4u) << line;
    EXPECT_EQ(line.back(), ' ');
    EXPECT_EQ(line.find('['), std::string::npos);
  }
  const std::vector<double> roots = numbers_of(lines[4]);
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(roots[c], root[position[c]], 1e-7 * roots[0]);
  for (int c = 1; c < 4; ++c) EXPECT_GE(roots[c - 1], roots[c]);
  EXPECT_EQ(numbers_of(lines[5]), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(numbers_of(lines[6]), (std::vector<double>{0.5, 1.5, 2.5, 3.5}));
}

TEST_F(ScoresTest, FscFileOfThreeVariablesHasTenLines) {
  const double total = set_up_random(3, 10);
  write_fsc_file(3, 3, true, total);
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
  sw.allscores = 1;
  write_sco_file(n, m, N, total);
  const std::vector<std::string> lines = lines_of(read(".sco"));
  ASSERT_EQ(lines.size(), n);
  for (uint32_t r = 0; r < n; ++r) {
    const std::vector<double> got = numbers_of(lines[r]);
    ASSERT_EQ(got.size(), N);
    for (uint32_t c = 0; c < N; ++c) {
      const int p = position[c];
      double score = 0;
      for (uint32_t j = 0; j < N; ++j)
        score += pc[j * m + p] / (root[p] / total) / 100 * (dd[r][j] / v[j].stddev);
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
    sw.scores = c.scores;
    sw.allscores = c.allscores;
    for (size_t f = 0; f < c.limits.size(); ++f) {
      const uint32_t N = c.limits[f];
      const double total = set_up_random(N, 3);
      write_sco_file(3, N, N, total);
      const std::vector<std::string> lines = lines_of(read(".sco"));
      ASSERT_EQ(lines.size(), 3u);
      EXPECT_EQ(numbers_of(lines[0]).size(), c.written[f]) << c.what << " file " << f;
      EXPECT_EQ(sw.scores, c.written[f]) << c.what;
      free_work_arrays();
    }
  }
}

// Without a component the count falls back to 3, but nothing is read for
// components that do not exist.
TEST_F(ScoresTest, NoComponentWritesEmptyLines) {
  const double total = set_up_pair();
  sw.scores = 3;
  write_sco_file(2, 2, 0, total);
  EXPECT_EQ(sw.scores, 3u);
  EXPECT_EQ(read(".sco"), "\n\n");
}

TEST_F(ScoresTest, CentringMakesScoresIndependentOfAShift) {
  for (int centred : {0, 1}) {
    sw.scores_mean = centred;
    sw.scores = 2;
    double total = set_up_pair();
    write_sco_file(2, 2, 2, total);
    const std::string plain = read(".sco");
    free_work_arrays();

    total = set_up_pair();
    dd[0][0] += 10;
    dd[1][0] += 10;
    v[0].mean += 10;
    write_sco_file(2, 2, 2, total);
    if (centred)
      EXPECT_EQ(read(".sco"), plain);
    else
      EXPECT_NE(read(".sco"), plain);
    free_work_arrays();
  }
}

}  // namespace
