// Histogram counting (bin edges, zero and degenerate widths, values outside
// the bins), its debug trace, and the ".his" file.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/eigen_fixture.h"
#include "stats/histogram.h"
#include "output/histout.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

class HistogramTest : public EigenOutputTest {
 protected:
  // A record holding one variable per column, counted with the given
  // extremes (the statistics group finds them in the program).
  void count(const std::vector<std::vector<double>> &cols, const std::vector<double> &mins,
             const std::vector<double> &maxs, bool debug = false) {
    const uint32_t m = cols.size();
    const uint32_t n = cols[0].size();
    make(n, m);
    for (uint32_t k = 0; k < m; ++k)
      for (uint32_t r = 0; r < n; ++r) a.data[r][k] = cols[k][r];
    count_histogram(a, Extremes{mins, maxs}, debug, con);
  }

  std::vector<int32_t> counts_of(uint32_t k) {
    std::vector<int32_t> out;
    for (uint32_t b = 0; b < a.bins; ++b) out.push_back(a.histogram[b][k]);
    return out;
  }
};

TEST_F(HistogramTest, ValuesFallIntoTheirBins) {
  const struct {
    const char *what;
    uint32_t bins;
    std::vector<double> values;
    double min, max;
    std::vector<int32_t> counts;
  } cases[] = {
      {"edge values fall into the lower bin", 4, {0, 1, 2, 3}, 0, 3, {2, 1, 1, 0}},
      {"ten values in five bins", 5, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 0, 9, {3, 2, 2, 3, 0}},
      {"positive constant", 4, {5, 5, 5}, 5, 5, {3, 0, 0, 0}},
      {"negative constant", 4, {-5, -5, -5}, -5, -5, {3, 0, 0, 0}},
      {"all zero goes to the middle bin", 5, {0, 0, 0}, 0, 0, {0, 0, 3, 0, 0}},
      {"one bin, infinite width", 1, {1, 2, 3}, 1, 3, {3}},
      {"one bin, width 0/0", 1, {0, 0}, 0, 0, {2}},
      {"negative maximum, q beyond the last bin",
       3,
       {-1.0000101, -1.0},
       -1.0000101,
       -1.0,
       {1, 0, 1}},
      {"negative maximum, negative width", 3, {-1.000001, -1.0}, -1.000001, -1.0, {2, 0, 0}},
      {"not a number goes to the middle bin", 4, {0, kNaN, 3}, 0, 3, {1, 0, 2, 0}},
      {"beyond int range", 4, {1e300, -1e300, kInf, -kInf}, 0, 1, {2, 0, 0, 2}},
      {"infinite extremes", 4, {1, 2}, -kInf, kInf, {0, 0, 2, 0}},
  };
  for (const auto &c : cases) {
    sw.analysis.bins = c.bins;
    count({c.values}, {c.min}, {c.max});
    EXPECT_EQ(counts_of(0), c.counts) << c.what;
  }
}

TEST_F(HistogramTest, VariablesAreCountedSeparately) {
  sw.analysis.bins = 4;
  count({{0, 1, 2, 3}, {0, 0, 0, 0}, {3, 3, 0, 0}}, {0, 0, 0}, {3, 0, 3});
  EXPECT_EQ(counts_of(0), (std::vector<int32_t>{2, 1, 1, 0}));
  EXPECT_EQ(counts_of(1), (std::vector<int32_t>{0, 0, 4, 0}));
  EXPECT_EQ(counts_of(2), (std::vector<int32_t>{2, 0, 2, 0}));
}

TEST_F(HistogramTest, HisFileHoldsRelativeFrequenciesPerVariable) {
  sw.analysis.bins = 4;
  count({{0, 1, 2, 3}, {7, 7, 7, 7}}, {0, 7}, {3, 7});
  con.quiet = false;
  testing::internal::CaptureStdout();
  write_his_file(a, place_, con);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Writing file: " + path(".his") + "\n");
  EXPECT_EQ(read(".his"),
            "0.5000 0.2500 0.2500 0.0000 \n"
            "1.0000 0.0000 0.0000 0.0000 \n");
}

// The trace carries the location users filter on; the zero-width path has
// no trace.
TEST_F(HistogramTest, DebugTraceNamesItsHistoricalLocation) {
  sw.analysis.bins = 4;
  testing::internal::CaptureStderr();
  count({{0, 3}, {0, 0}}, {0, 0}, {3, 0}, true);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "src/vantor.cpp:979:: debug: dummy:0.000000 diff:1.000010= 0.000000 0 4\n"
            "src/vantor.cpp:979:: debug: dummy:2.999970 diff:1.000010= 2.999940 2 4\n");
}

}  // namespace
