// The report's input as the driver builds it from a file's record: the
// score plot against ".sco", labels from names or file columns, escaping of
// names on the page, and the command line and date it shows.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/output_fixture.h"
#include "analyse.h"
#include "pipeline.h"
#include "output/report_data.h"

namespace {

class ReportDataTest : public OutputTest {
 protected:
  // Writes `text` as the data file and runs every phase of the driver on it.
  void run_on(const std::string &text) {
    std::ofstream(dir_ + "/data.txt") << text;
    RunState run = make_run_state(sw);
    a = load_data_file(place_.data_file.c_str(), sw, run, con);
    analyse_and_write(a, place_, sw, run, con);
  }
};

std::string table(uint32_t rows) {
  std::ostringstream s;
  for (uint32_t r = 0; r < rows; ++r)
    s << r % 97 << ' ' << (r * 7) % 101 + 0.5 * (r % 97) << ' ' << std::sin(r) + 2 << '\n';
  return s.str();
}

std::vector<std::vector<double>> sco_rows(const std::string &text) {
  std::vector<std::vector<double>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream l(line);
    rows.emplace_back();
    for (double x; l >> x;) rows.back().push_back(x);
  }
  return rows;
}

TEST_F(ReportDataTest, ScorePlotIsTheScoFileThinnedToEveryKthRow) {
  sw.analysis.eigenvalues = 1;
  const uint32_t sizes[] = {40, 12001};  // all rows; every third row
  for (const uint32_t n : sizes) {
    for (const int centre : {0, 1}) {
      sw.analysis.scores_mean = centre;
      run_on(table(n));
      const ReportInput in =
          report_input(a, place_, document_options(sw, sw.analysis.scores), ReportRun{});
      ASSERT_TRUE(in.pca.has_value());
      const ReportPca &pca = *in.pca;
      const uint32_t step = n > kReportScorePoints ? 3 : 1;
      EXPECT_EQ(pca.score_rows_total, n);
      ASSERT_EQ(pca.scores.size(), (n + step - 1) / step);
      ASSERT_LE(pca.scores.size(), kReportScorePoints);
      const auto sco = sco_rows(read(".sco"));
      ASSERT_EQ(sco.size(), n);
      for (size_t k = 0; k < pca.scores.size(); k += 7) {
        for (int c = 0; c < 2; ++c)
          EXPECT_NEAR(pca.scores[k][c], sco[k * step][c], 1e-7 * std::fabs(sco[k * step][c]) + 1e-300)
              << "n " << n << " centre " << centre << " point " << k;
      }
      EXPECT_EQ(pca.eigenvalues.size(), 3u);
      EXPECT_GE(pca.eigenvalues[0], pca.eigenvalues[1]);
    }
  }
}

TEST_F(ReportDataTest, LabelsAreNamesElseFileColumns) {
  sw.read.inverse = 1;
  run_on("1 5 9\n2 4 7\n3 3 8\n");
  ReportInput in = report_input(a, place_, document_options(sw, sw.analysis.scores), ReportRun{});
  ASSERT_EQ(in.variables.size(), 3u);
  EXPECT_EQ(in.variables[0].label, "3");
  EXPECT_EQ(in.variables[0].column, 3);
  EXPECT_EQ(in.variables[2].label, "1");
  EXPECT_EQ(in.variables[0].mean, 8);
  EXPECT_FALSE(in.pca.has_value());

  sw.read.inverse = 0;
  sw.read.names = 1;
  run_on("<script>alert(1)</script> b&c \"d\"\n1 5 9\n2 4 7\n3 3 8\n");
  in = report_input(a, place_, document_options(sw, sw.analysis.scores),
                    ReportRun{"--names '<b>'", "2026-01-01"});
  EXPECT_EQ(in.variables[0].label, "<script>alert(1)</script>");
  EXPECT_EQ(in.variables[1].label, "b&c");
  const std::string page = report_page(in);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(page.find("b&amp;c"), std::string::npos);
}

TEST(ReportRunText, ArgumentsReadBackInAShellAndTheDateIsUtcOrFixed) {
  const char *args[] = {"/usr/bin/vantor", "-e", "--missing=NA", "my data.txt", "it's", "", "*.txt"};
  EXPECT_EQ(argument_text(7, const_cast<char **>(args)),
            "-e --missing=NA 'my data.txt' 'it'\\''s' '' '*.txt'");
  EXPECT_EQ(argument_text(1, const_cast<char **>(args)), "");

  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(report_date(86399), "1970-01-01");  // a second before midnight, in UTC
  setenv("SOURCE_DATE_EPOCH", "1767225600", 1);
  EXPECT_EQ(report_date(0), "2026-01-01");
  setenv("SOURCE_DATE_EPOCH", "soon", 1);  // not a number: the clock wins
  EXPECT_EQ(report_date(86400), "1970-01-02");
  unsetenv("SOURCE_DATE_EPOCH");
}

}  // namespace
