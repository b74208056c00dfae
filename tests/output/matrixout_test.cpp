// The ".cor" file in its three triangle modes and the ".cov" file.
#include <gtest/gtest.h>

#include "support/stats_fixture.h"
#include "output/matrixout.h"

using MatrixOutTest = OutputTest;

TEST_F(MatrixOutTest, CorInItsThreeModes) {
  load_and_run(a, {{1, 2, 3, 4, 5}, {2, 4, 6, 8, 10}});
  const struct {
    CorUpper upper;
    const char *text;
  } cases[] = {
      {CorUpper::none, "  1.000000\n  0.800000  1.000000\n"},
      {CorUpper::zeros, "  1.000000  0.000000\n  0.800000  1.000000\n"},
      {CorUpper::mirror, "  1.000000  0.800000\n  0.800000  1.000000\n"},
  };
  for (const auto &c : cases) {
    write_cor_file(a, place_, c.upper, con);
    EXPECT_EQ(read_file(path(".cor")), c.text) << static_cast<int>(c.upper);
  }
}

TEST_F(MatrixOutTest, CorRowsReadDownTheColumnsAndKeepTheSign) {
  load_and_run(a, {{1, 2, 3, 4}, {4, 3, 2, 1}, {1, 3, 2, 4}});
  write_cor_file(a, place_, CorUpper::mirror, con);
  // Row i holds a.correlation[0..m-1][i]; the mirrored upper part equals the lower part.
  EXPECT_EQ(read_file(path(".cor")),
            "  1.000000 -0.750000  0.600000\n"
            " -0.750000  1.000000 -0.600000\n"
            "  0.600000 -0.600000  1.000000\n");
}

TEST_F(MatrixOutTest, CovHasTheInpHeadAndTheLowerTriangle) {
  load_and_run(a, {{1, 2, 3, 4, 5}, {2, 4, 6, 8, 10}});
  con.quiet = false;
  testing::internal::CaptureStdout();
  write_cov_file(a, place_, con);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Writing file: " + path(".cov") + "\n");
  EXPECT_EQ(read_file(path(".cov")), "/Covariance\n5\nx1 x2 \n 2.000000 \n 4.000000  8.000000 \n");
}

TEST_F(MatrixOutTest, SingleVariableAndReorderedLabels) {
  load_and_run(a, {{1, 2, 3}});
  write_cor_file(a, place_, CorUpper::none, con);
  EXPECT_EQ(read_file(path(".cor")), "  1.000000\n");
  write_cov_file(a, place_, con);
  EXPECT_EQ(read_file(path(".cov")), "/Covariance\n3\nx1 \n 0.666667 \n");

  load_and_run(a, {{1, 2, 3}, {3, 2, 1}, {5, 5, 5}}, {3, 1, 2});
  testing::internal::CaptureStdout();  // the constant column's warning
  write_cov_file(a, place_, con);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(read_file(path(".cov")),
            "/Covariance\n3\nx3 x1 x2 \n"
            " 0.666667 \n"
            "-0.666667  0.666667 \n"
            " 0.000000  0.000000  0.000000 \n");
}
