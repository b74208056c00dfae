// The statistics table on the console and the ".mvd" and ".std" files.
#include <gtest/gtest.h>

#include <cmath>

#include "base/messages.h"
#include "support/stats_fixture.h"
#include "output/statsout.h"

using StatsOutTest = OutputTest;

TEST_F(StatsOutTest, TableForOneToFive) {
  load_and_run(a, {{1, 2, 3, 4, 5}});
  testing::internal::CaptureStdout();
  print_stats_table(a, con);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "No Mean      Variance  Std.Dev.  Min       Max       Skewness  Curtosis Median\n"
            "1  3         2.5       1.581     1         5         0         -1.912   3       \n");
}

TEST_F(StatsOutTest, TableLabelColumnGrowsWithTheNaturalLogarithmOfM) {
  const struct {
    uint32_t m;
    int width;
  } cases[] = {{1, 2}, {7, 2}, {8, 3}, {20, 3}, {21, 4}, {54, 4}, {55, 5}, {149, 6}};
  for (const auto &c : cases) {
    Columns cols(c.m, std::vector<double>{1, 2});
    load_and_run(a, cols);
    testing::internal::CaptureStdout();
    print_stats_table(a, con);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string header = std::string(c.width - 2, ' ') + "No Mean";
    EXPECT_EQ(out.compare(0, header.size(), header), 0) << c.m << ": " << out.substr(0, 12);
    const std::string first = "\n1" + std::string(c.width, ' ') + "1.5";
    EXPECT_NE(out.find(first), std::string::npos) << c.m;
  }
}

TEST_F(StatsOutTest, LabelsAreDataFileColumnsInTheLoadedOrder) {
  load_and_run(a, {{1, 2}, {3, 5}, {7, 11}}, {3, 1, 2});
  testing::internal::CaptureStdout();
  print_stats_table(a, con);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("\n3  1.5 "), std::string::npos) << out;
  EXPECT_NE(out.find("\n1  4 "), std::string::npos) << out;
  EXPECT_NE(out.find("\n2  9 "), std::string::npos) << out;
  sw.output.mean = 1;
  write_mvd_file(a, place_, sw.output.quartiles, con);
  const std::string mvd = read_file(path(".mvd"));
  EXPECT_NE(mvd.find("\n3         1.5000 "), std::string::npos) << mvd;
  EXPECT_NE(mvd.find("\n1         4.0000 "), std::string::npos) << mvd;
}

TEST_F(StatsOutTest, MvdWithAndWithoutQuartiles) {
  load_and_run(a, {{1, 2, 3, 4, 5}});
  const char *header =
      "! No      Mean      Variance  Std.Dev.  Min       Max       Skewness  Curtosis  Median";
  const char *line =
      "1         3.0000    2.5000    1.5811    1.0000    5.0000    0.0000    -1.9120   3.0000   ";
  write_mvd_file(a, place_, sw.output.quartiles, con);
  EXPECT_EQ(read_file(path(".mvd")), std::string(header) + "\n" + line + "\n");
  sw.output.quartiles = 1;
  write_mvd_file(a, place_, sw.output.quartiles, con);
  EXPECT_EQ(read_file(path(".mvd")),
            std::string(header) + "   L.Quart  U.Quart\n" + line + "1.7500   4.2500   \n");
}

TEST_F(StatsOutTest, MvdWideValuesRunIntoTheNextFieldOnlyAfterMedianAndLowerQuartile) {
  load_and_run(a, {{-100, 1000, 1000, 1000}});
  sw.output.quartiles = 1;
  write_mvd_file(a, place_, sw.output.quartiles, con);
  const std::string mvd = read_file(path(".mvd"));
  EXPECT_EQ(mvd.substr(mvd.find('\n') + 1),
            "1         725.0000  302500.0000 550.0000  -100.0000 1000.0000 -0.7500   -1.6875   "
            "1000.0000450.0000 1000.0000\n");
}

TEST_F(StatsOutTest, MvdAnnouncedUnlessQuiet) {
  load_and_run(a, {{1, 2}});
  con.quiet = false;
  testing::internal::CaptureStdout();
  write_mvd_file(a, place_, sw.output.quartiles, con);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Writing file: " + path(".mvd") + "\n");
}

TEST_F(StatsOutTest, StdHoldsZScoresAndIsNeverAnnounced) {
  load_and_run(a, {{1, 2, 3, 4, 5}, {7, 7, 7, 7, 7}});
  con.quiet = false;
  testing::internal::CaptureStdout();
  write_std_file(a, place_, con);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(read_file(path(".std")),
            " -1.26491   0.00000 \n"
            " -0.63246   0.00000 \n"
            "  0.00000   0.00000 \n"
            "  0.63246   0.00000 \n"
            "  1.26491   0.00000 \n");
}

TEST_F(StatsOutTest, NaNAndInfinityPrintAsThePlatformPrintsThem) {
  load_and_run(a, {{1, INFINITY, 3}});
  write_mvd_file(a, place_, sw.output.quartiles, con);
  const std::string mvd = read_file(path(".mvd"));
  EXPECT_NE(mvd.find("inf"), std::string::npos) << mvd;
  EXPECT_NE(mvd.find("nan"), std::string::npos) << mvd;
}

TEST_F(StatsOutTest, UncreatableFileEndsTheRun) {
  place_ = output_place((dir_ + "/missing/data.txt").c_str());
  load_and_run(a, {{1, 2}});
  try {
    write_mvd_file(a, place_, sw.output.quartiles, con);
    ADD_FAILURE() << "no error";
  } catch (const RunEnd &end) {
    EXPECT_EQ(end.message, "Can't create file: " + dir_ + "/missing/data.mvd\a\n");
  }
}
