// The HTML report: round tick numbers, escaping of untrusted text, the
// sections and chart elements of a page, and the size of a very large page.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "stats/histogram.h"
#include "output/html_escape.h"
#include "output/nice_ticks.h"
#include "output/report.h"
#include "output/svg_charts.h"

namespace {

size_t occurrences(const std::string &page, const std::string &what) {
  size_t count = 0;
  for (size_t at = page.find(what); at != std::string::npos; at = page.find(what, at + 1))
    ++count;
  return count;
}

// A cheap well-formedness check: every tag closed in order, attributes
// quoted, and '&' only in the entities the page uses. Returns "" when fine.
std::string xml_fault(const std::string &page) {
  std::vector<std::string> open;
  for (size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
    const size_t end = page.find('>', at);
    if (end == std::string::npos) return "unclosed '<'";
    const std::string tag = page.substr(at + 1, end - at - 1);
    if (tag.rfind("!DOCTYPE", 0) == 0) continue;
    if (tag.empty()) return "empty tag";
    if (tag[0] == '/') {
      if (open.empty() || open.back() != tag.substr(1)) return "mismatched </" + tag.substr(1);
      open.pop_back();
      continue;
    }
    if (occurrences(tag, "\"") % 2 != 0 || tag.find('<') != std::string::npos)
      return "bad attributes in <" + tag;
    if (tag.back() != '/') open.push_back(tag.substr(0, tag.find(' ')));
  }
  if (!open.empty()) return "unclosed <" + open.back();
  for (size_t at = page.find('&'); at != std::string::npos; at = page.find('&', at + 1)) {
    const std::string rest = page.substr(at, 6);
    if (rest.rfind("&amp;", 0) != 0 && rest.rfind("&lt;", 0) != 0 && rest.rfind("&gt;", 0) != 0 &&
        rest.rfind("&quot;", 0) != 0 && rest.rfind("&#39;", 0) != 0)
      return "bare & at " + std::to_string(at);
  }
  return "";
}

// m variables of `bins` bins, correlations falling off with distance, and
// with `points` > 0 an eigen analysis with that many score rows.
ReportInput synthetic(size_t m, uint32_t bins, size_t points) {
  ReportInput in;
  in.data_file = "data/synthetic.txt";
  in.program_version = "2.28";
  in.date_text = "2026-01-02 03:04";
  in.switches_text = "-his=30 -eig";
  in.rows = 123456;
  in.bins = bins;
  for (size_t i = 0; i < m; ++i) {
    ReportVariable v;
    v.label = "measurement_" + std::to_string(i + 1);
    v.column = static_cast<int>(i + 1);
    v.mean = 10.0 + static_cast<double>(i) / 7;
    v.variance = 2.25 + static_cast<double>(i) / 3;
    v.stddev = std::sqrt(v.variance);
    v.min = v.mean - 3 * v.stddev;
    v.max = v.mean + 3.3 * v.stddev;
    v.skewness = 0.1234567 * static_cast<double>(i % 5);
    v.curtosis = -0.25 + static_cast<double>(i % 3);
    v.median = v.mean - 0.1;
    v.lower_quartile = v.mean - 0.674 * v.stddev;
    v.upper_quartile = v.mean + 0.674 * v.stddev;
    for (uint32_t b = 0; b < bins; ++b) {
      const double z = (static_cast<double>(b) - bins / 2.0) / (bins / 6.0);
      v.bin_counts.push_back(static_cast<int64_t>(4000 * std::exp(-z * z / 2)) + 1);
    }
    v.bin_edges = histogram_edges(v.min, v.max, bins);
    in.variables.push_back(v);
  }
  in.correlation.resize(m * m);
  for (size_t i = 0; i < m; ++i)
    for (size_t j = 0; j < m; ++j)
      in.correlation[i * m + j] =
          i == j ? 1.0 : 0.95 * std::pow(-0.8, static_cast<double>(i > j ? i - j : j - i));
  if (points == 0) return in;
  ReportPca pca;
  for (size_t c = 0; c < m; ++c) {
    pca.eigenvalues.push_back(static_cast<double>(m) / static_cast<double>((c + 1) * (c + 2)));
    pca.explained_percent.push_back(100.0 / static_cast<double>((c + 1) * (c + 2)));
  }
  for (size_t i = 0; i < m; ++i) {
    pca.loadings.emplace_back();
    for (size_t c = 0; c < m; ++c)
      pca.loadings.back().push_back(std::sin(static_cast<double>(i * 7 + c * 3)) * 0.7);
  }
  for (size_t k = 0; k < points; ++k) {
    const double t = static_cast<double>(k);
    pca.scores.push_back({std::sin(t) * 3.1, std::cos(t * 1.3) * 1.7});
  }
  pca.score_rows_total = points * 3;
  in.pca = pca;
  return in;
}

}  // namespace

// The time it takes is measured by bench/report_phase, not here.
TEST(ReportSize, ThousandVariablesStayUnderTwoMegabytes) {
  const ReportInput in = synthetic(1000, 30, 5000);
  const std::string page = report_page(in);
  EXPECT_LT(page.size(), 2'000'000u);
  EXPECT_EQ(occurrences(page, "class=\"bar\""), 30'000u);
  EXPECT_EQ(occurrences(page, "class=\"pt\""), 5'000u);
  if (const char *dump = std::getenv("VANTOR_REPORT_DUMP")) std::ofstream(dump) << page;
}

TEST(ReportTicks, StepsAreOneTwoOrFiveTimesAPowerOfTen) {
  const struct {
    double lo, hi;
    int target;
    std::vector<double> ticks;
  } cases[] = {
      {0, 10, 5, {0, 2, 4, 6, 8, 10}},
      {0, 1, 5, {0, 0.2, 0.4, 0.6, 0.8, 1}},
      {0.1, 0.45, 4, {0.1, 0.2, 0.3, 0.4}},  // 0.3 exactly, not 0.30000000000000004
      {-3.7, 12.2, 4, {0, 5, 10}},
      {-3.7, 12.2, 6, {-2, 0, 2, 4, 6, 8, 10, 12}},
      {1234, 1299, 3, {1240, 1260, 1280}},
      {1e-9, 5e-9, 4, {1e-9, 2e-9, 3e-9, 4e-9, 5e-9}},
      {5, 5, 4, {}},                          // no span, no step
      {0, INFINITY, 4, {}},
      {1e16, 1e16 + 2, 4, {1e16, 1e16 + 2}},  // steps below one unit of the scale
  };
  for (const auto &c : cases) {
    EXPECT_EQ(nice_ticks(c.lo, c.hi, c.target), c.ticks) << c.lo << ".." << c.hi;
  }
}

TEST(ReportEscape, UntrustedTextCannotBreakOutOfTextOrAttributes) {
  const struct {
    std::string in, text, attribute;
  } cases[] = {
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;",
       "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"a&b \"c\" 'd'", "a&amp;b \"c\" 'd'", "a&amp;b &quot;c&quot; &#39;d&#39;"},
      {"tab\there\nnul", "tab\xEF\xBF\xBDhere\xEF\xBF\xBDnul", "tab\xEF\xBF\xBDhere\xEF\xBF\xBDnul"},
      {std::string("x\0y", 3), "x\xEF\xBF\xBDy", "x\xEF\xBF\xBDy"},
      {"del\x7F c1\xC2\x85", "del\xEF\xBF\xBD c1\xEF\xBF\xBD", "del\xEF\xBF\xBD c1\xEF\xBF\xBD"},
      {"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x88", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x88",
       "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x88"},                           // valid UTF-8 kept
      {"bad\xFFx", "bad\xEF\xBF\xBDx", "bad\xEF\xBF\xBDx"},                 // never valid
      {"cut\xE2\x82", "cut\xEF\xBF\xBD\xEF\xBF\xBD", "cut\xEF\xBF\xBD\xEF\xBF\xBD"},  // truncated
      {"\xC0\xBC", "\xEF\xBF\xBD\xEF\xBF\xBD", "\xEF\xBF\xBD\xEF\xBF\xBD"},      // overlong '<'
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},                                  // surrogate
      {"\xEF\xBF\xBF", "\xEF\xBF\xBD", "\xEF\xBF\xBD"},                        // U+FFFF
  };
  for (const auto &c : cases) {
    std::string text, attribute;
    append_html_text(text, c.in);
    append_html_attribute(attribute, c.in);
    EXPECT_EQ(text, c.text) << c.in;
    EXPECT_EQ(attribute, c.attribute) << c.in;
  }
}

TEST(ReportEscape, ShortenedLabelsCutWholeCharacters) {
  EXPECT_EQ(shortened_label("temperature", 11), "temperature");
  EXPECT_EQ(shortened_label("temperature", 5), "temp\u2026");
  EXPECT_EQ(shortened_label("\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9", 4), "\u00e9\u00e9\u00e9\u2026");
}

TEST(ReportPage, SmallPageHasEverySectionAndOneShapePerBinCellAndPoint) {
  ReportInput in = synthetic(4, 7, 25);
  in.variables[2].label = "<script>alert('x')</script> & more";
  in.variables[3].constant = true;
  in.variables[3].min = in.variables[3].max = in.variables[3].mean = 0;
  in.correlation[0 * 4 + 1] = in.correlation[1 * 4 + 0] = 0.97;
  const std::string page = report_page(in);
  for (const char *id : {"overview", "alerts", "variables", "correlation", "pca", "var-1", "var-4",
                         "pair-1-2", "scree", "loadings", "scores"})
    EXPECT_EQ(occurrences(page, std::string("id=\"") + id + "\""), 1u) << id;
  EXPECT_EQ(occurrences(page, "class=\"bar\""), 4u * 7u);
  EXPECT_EQ(occurrences(page, "class=\"cell "), 4u * 4u + 4u * 4u);  // correlations, loadings
  EXPECT_EQ(occurrences(page, "class=\"pt\""), 25u);
  EXPECT_EQ(occurrences(page, "<script"), 0u);
  EXPECT_NE(page.find("href=\"#pair-1-2\""), std::string::npos);
  EXPECT_NE(page.find("is constant"), std::string::npos);
  EXPECT_NE(page.find("A subsample of 25 of the 75 observations"), std::string::npos);
  EXPECT_EQ(xml_fault(page), "");
}

TEST(ReportPage, ManyVariablesGetACoarseHeatMapAndNoEigenSectionWithoutOne) {
  const std::string page = report_page(synthetic(130, 5, 0));
  // 130 variables in blocks of 6: 22 blocks a side.
  EXPECT_EQ(occurrences(page, "class=\"cell "), 22u * 22u);
  EXPECT_EQ(occurrences(page, "class=\"bar\""), 130u * 5u);
  EXPECT_NE(page.find("No eigen analysis"), std::string::npos);
  EXPECT_EQ(xml_fault(page), "");
}

TEST(ReportPage, TwentyVariablesMakeASmallPage) {
  EXPECT_LT(report_page(synthetic(20, 30, 500)).size(), 400'000u);
}

// The page takes the edges of the counting rule, as JSON does: with one bin
// the width is infinite and the one bar holds all values.
TEST(ReportPage, HistogramEdgesFollowTheCountingRule) {
  const std::vector<double> edges = histogram_edges(0, 10, 3);
  ASSERT_EQ(edges.size(), 4u);
  EXPECT_DOUBLE_EQ(edges[1], 10.0001 / 2);
  EXPECT_DOUBLE_EQ(edges[3], 3 * 10.0001 / 2);
  for (const double max : {4.0, 2.0, 0.0}) {
    const std::vector<double> one = histogram_edges(max == 4.0 ? 2 : max, max, 1);
    ASSERT_EQ(one.size(), 2u);
    EXPECT_FALSE(std::isfinite(one[1])) << max;
    std::string svg;
    histogram_svg(svg, std::vector<int64_t>{7}, one, {1, 1, 1, 1}, true);
    EXPECT_NE(svg.find("one bin, all values: 7"), std::string::npos) << svg;
    EXPECT_EQ(svg.find("inf"), std::string::npos) << svg;
    EXPECT_EQ(svg.find("nan"), std::string::npos) << svg;
  }
}

TEST(ReportPage, WriteFailureIsReported) {
  FILE *full = std::fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full";
  EXPECT_FALSE(write_report(full, synthetic(3, 4, 0)));
  std::fclose(full);
}

// Values at the edge of the doubles once made a coordinate or a colour index
// from a NaN (a range of [x, inf]), which is undefined; found by fuzzing.
TEST(ReportCharts, ExtremeValuesStayInsideTheChart) {
  const double big = 1.7e308;
  const std::vector<std::array<double, 2>> points = {{big, -big}, {big, big}, {1, 2}};
  std::string out;
  scatter_svg(out, points, "x", "y");
  EXPECT_EQ(occurrences(out, "class=\"pt\""), 3u);
  EXPECT_EQ(out.find("nan"), std::string::npos);
  EXPECT_STREQ(diverging_class(INFINITY, INFINITY), "kn");
  EXPECT_STREQ(diverging_class(-INFINITY, 1), "k0");
}

// The count axis ends at the first round tick at or above the tallest bar.
TEST(ReportCharts, CountAxisReachesPastTheTallestBar) {
  const struct {
    std::vector<int64_t> counts;
    const char *top_label;
  } cases[] = {{{13, 4}, ">15<"}, {{7}, ">8<"}, {{99, 1}, ">100<"}, {{3, 3}, ">3<"}};
  for (const auto &c : cases) {
    std::string svg;
    const std::vector<double> edges = histogram_edges(0, 1, static_cast<uint32_t>(c.counts.size()));
    histogram_svg(svg, c.counts, edges, {0.5, 0.5, 0.25, 0.75}, true);
    EXPECT_NE(svg.find(c.top_label), std::string::npos) << c.top_label << "\n" << svg;
  }
}

TEST(ReportGroups, TableRightAlignsHeadersShowsMissingAndCountsRowsWithoutGroup) {
  ReportInput in = synthetic(2, 4, 0);
  in.group_column = "Sex";
  for (const char *value : {"Male", "Female"}) {
    ReportGroup g;
    g.value = value;
    g.rows = 85;
    g.means = g.stddevs = g.medians = g.mins = g.maxs = {1, 2};
    g.lower_quartiles = g.upper_quartiles = {1, 2};
    g.missing = {0, 3};
    in.groups.push_back(g);
  }
  for (const uint64_t without : {0, 1, 2}) {
    in.rows_without_group = without;
    const std::string page = report_page(in);
    EXPECT_EQ(xml_fault(page), "");
    EXPECT_EQ(occurrences(page, ".grp tr:first-child th{text-align:right"), 1u);
    EXPECT_EQ(occurrences(page, "<th>Female (85)</th>"), 1u);
    EXPECT_EQ(occurrences(page, ", 3 missing</td>"), 2u);
    EXPECT_EQ(occurrences(page, "1 row has no value of Sex"), without == 1 ? 1u : 0u);
    EXPECT_EQ(occurrences(page, "2 rows have no value of Sex"), without == 2 ? 1u : 0u);
  }
}

// The adequacy and rotation tables of a wide table stay within the page's
// caps (60 MSA rows, 40 rotated rows, 10 rotated columns), escape the
// labels and stay well-formed; a page without them does not name them, and
// a refused figure shows its reason instead of a table.
TEST(ReportAdequacy, WideTablesAreCutEscapedAndAbsentWithoutTheirFigures) {
  const size_t m = 130;
  const uint32_t k = 15;
  ReportInput in = synthetic(m, 5, 10);
  EXPECT_EQ(report_page(in).find("adequacy"), std::string::npos);
  in.variables[0].label = "<b>&\"";
  in.adequacy.n = 40;
  in.adequacy.df = m * (m - 1) / 2;
  in.adequacy.kmo = 0.42;
  for (size_t i = 0; i < m; ++i) in.adequacy.msa.push_back(static_cast<double>(i) / m);
  in.rotation.method = RotationMethod::promax;
  in.rotation.count = k;
  for (size_t c = 0; c < m * k; ++c) in.rotation.loadings.push_back(std::cos(static_cast<double>(c)));
  in.rotation.matrix.assign(k * k, 0.5);
  in.rotation.variance.assign(k, 2.0);
  in.rotation.proportion.assign(k, 2.0 / m);
  const std::string page = report_page(in);
  EXPECT_EQ(xml_fault(page), "");
  EXPECT_NE(page.find("<th>&lt;b&gt;&amp;"), std::string::npos);
  EXPECT_EQ(occurrences(page, "class=\"mb\""), 60u);
  EXPECT_NE(page.find("the first 10 columns"), std::string::npos);
  EXPECT_EQ(occurrences(page, "<th>RC10</th>"), 2u);
  EXPECT_EQ(occurrences(page, "<th>RC11</th>"), 0u);
  in.adequacy.reason = "the correlation matrix is singular";
  in.rotation.reason = "a variable has no loading";
  const std::string refused = report_page(in);
  EXPECT_NE(refused.find("Not computed: the correlation matrix is singular."), std::string::npos);
  EXPECT_NE(refused.find("Not rotated: a variable has no loading."), std::string::npos);
  EXPECT_EQ(occurrences(refused, "class=\"mb\""), 0u);
}
