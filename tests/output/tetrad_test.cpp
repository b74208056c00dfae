// The TETRAD files ".inp" (plain and split) and ".da1".
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "base/messages.h"
#include "support/stats_fixture.h"
#include "output/tetrad.h"

namespace {

using TetradTest = OutputTest;

// m variables, each a different mix of two base columns, none constant.
Columns mixed_columns(uint32_t m) {
  Columns cols;
  for (uint32_t i = 0; i < m; ++i) {
    std::vector<double> c;
    for (int k = 0; k < 6; ++k) c.push_back((k % 3) * (i % 4 + 1) + (k / 3) * (i % 7 + 1) + (k == 5 ? i : 0));
    cols.push_back(c);
  }
  return cols;
}

size_t count(const std::string &s, char ch) { return std::count(s.begin(), s.end(), ch); }

bool exists(const std::string &p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0;
}

}  // namespace

TEST_F(TetradTest, InpAndDa1ForTwoVariables) {
  load_and_run(a, {{1, 2, 3, 4, 5}, {2, 4, 6, 8, 10}});
  write_inp_file(a, place_, sw.output.split_file, con);
  EXPECT_EQ(read_file(path(".inp")), "/Covariance\n5\nx1 x2 \n   1.0000\n   0.8000   1.0000\n");
  write_da1_file(a, place_, con);
  EXPECT_EQ(read_file(path(".da1")), "10\n 1.0 a0 a0\n 1.0 a1 a1\n 0.80000 a0 a1\n");
}

TEST_F(TetradTest, NegativeCorrelationsAndReversedVariables) {
  load_and_run(a, {{1, 2, 3, 4}, {4, 3, 2, 1}}, {2, 1});
  write_inp_file(a, place_, sw.output.split_file, con);
  EXPECT_EQ(read_file(path(".inp")), "/Covariance\n4\nx2 x1 \n   1.0000\n  -0.7500   1.0000\n");
  write_da1_file(a, place_, con);
  EXPECT_EQ(read_file(path(".da1")), "8\n 1.0 a0 a0\n 1.0 a1 a1\n-0.75000 a0 a1\n");
}

TEST_F(TetradTest, SplitInpBreaksLabelsAtTwentyAndRowsAtEleven) {
  const uint32_t m = 25;
  load_and_run(a, mixed_columns(m));
  sw.output.split_file = 1;
  testing::internal::CaptureStdout();
  write_inp_file(a, place_, sw.output.split_file, con);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Using split\n");  // even when quiet
  const std::string inp = read_file(path(".inp"));
  std::vector<std::string> lines;
  for (size_t at = 0, nl; (nl = inp.find('\n', at)) != std::string::npos; at = nl + 1)
    lines.push_back(inp.substr(at, nl - at));
  ASSERT_GT(lines.size(), 4u);
  EXPECT_EQ(lines[2].substr(0, 3), "x1 ");
  EXPECT_EQ(lines[2].substr(lines[2].size() - 4), "x20 ");
  EXPECT_EQ(lines[3], "x21 x22 x23 x24 x25 ");
  // Rows of up to 11 values take one line each; longer rows are broken
  // after every eleventh value, the last piece ending the row.
  std::vector<size_t> values;
  for (size_t l = 4; l < lines.size(); ++l) values.push_back(lines[l].size() / 9);
  std::vector<size_t> want;
  for (uint32_t i = 0; i < m; ++i) {
    size_t left = i + 1;
    while (left > 11) want.push_back(11), left -= 11;
    want.push_back(left);
  }
  EXPECT_EQ(values, want);
  EXPECT_EQ(count(inp, '\n'), 4 + want.size());
}

TEST_F(TetradTest, SplitLabelsFillingWholeLinesLeaveNoEmptyLine) {
  load_and_run(a, mixed_columns(20));
  sw.output.split_file = 1;
  testing::internal::CaptureStdout();
  write_inp_file(a, place_, sw.output.split_file, con);
  testing::internal::GetCapturedStdout();
  const std::string inp = read_file(path(".inp"));
  EXPECT_NE(inp.find("x20 \n   1.0000\n"), std::string::npos);
}

TEST_F(TetradTest, Da1TakesAtMost250Variables) {
  load_and_run(a, mixed_columns(250));
  write_da1_file(a, place_, con);
  const std::string da1 = read_file(path(".da1"));
  EXPECT_EQ(da1.substr(0, 5), "1500\n");
  EXPECT_NE(da1.find("\n 1.0 y9 y9\n"), std::string::npos);
  EXPECT_NE(da1.find(" b0 y9\n"), std::string::npos);
  EXPECT_EQ(count(da1, '\n'), 1 + 250 + 250 * 249 / 2);

  load_and_run(a, mixed_columns(251));
  try {
    write_da1_file(a, place_, con);
    ADD_FAILURE() << "no error";
  } catch (const RunEnd &end) {
    EXPECT_EQ(end.message, "Too many variables for old tetrad");
  }
  // Only the file of the first run is there; nothing was opened the second time.
  EXPECT_EQ(read_file(path(".da1")), da1);
}

TEST_F(TetradTest, Da1RefusalCreatesNoFile) {
  load_and_run(a, mixed_columns(251));
  EXPECT_THROW(write_da1_file(a, place_, con), RunEnd);
  EXPECT_FALSE(exists(path(".da1")));
}

TEST_F(TetradTest, Da1CountDoesNotWrapOnLargeTables) {
  load_and_run(a, mixed_columns(2));
  a.n = 3000000000u;  // only the count line reads n
  write_da1_file(a, place_, con);
  EXPECT_EQ(read_file(path(".da1")).substr(0, 11), "6000000000\n");
}
