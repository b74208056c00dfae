// The JSON document read back: every number against the text result files
// of the same run at their printed precision, strings from data made valid,
// numbers that read back to the same double, and variable names.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "analyse.h"
#include "output/jsonout.h"
#include "support/output_fixture.h"

namespace {

using Json = nlohmann::json;
using Lines = std::vector<std::vector<std::string>>;

// The words of every line of a text file.
Lines words(const std::string &text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream ws(line);
    lines.emplace_back();
    for (std::string w; ws >> w;) lines.back().push_back(w);
  }
  return lines;
}

std::string shown_as(const char *format, double x) {
  char text[64];
  std::snprintf(text, sizeof text, format, x);
  return text;
}

// The words `line[from...]` are the values as `format` prints them.
void expect_shown(const std::vector<std::string> &line, size_t from, const Json &values,
                  const char *format, const std::string &what) {
  ASSERT_EQ(line.size(), from + values.size()) << what;
  for (size_t j = 0; j < values.size(); ++j)
    EXPECT_EQ(line[from + j], shown_as(format, values[j].get<double>())) << what << " [" << j << "]";
}

class JsonReadBack : public OutputTest {
 protected:
  // Runs the program on a 25 x 4 table with every text result, the last
  // variable constant, and reads the document back.
  void run_program() {
    std::FILE *data = std::fopen(path(".txt").c_str(), "w");
    for (int r = 0; r < 25; ++r)
      std::fprintf(data, "%d %.6g %.6g 2\n", r % 9, std::sin(r) * 3, (r * 7) % 11 + 0.5);
    std::fclose(data);
    const std::string command = "cd '" + dir_ + "' && '" VANTOR_BINARY
                                "' --quiet --no-log -c -v -h6 -e -f --quartiles --json data.txt"
                                " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    doc = Json::parse(read(".json"));
  }
  Json doc;
};

TEST_F(JsonReadBack, EveryNumberIsWhatTheTextFilesShow) {
  run_program();
  ASSERT_EQ(doc["n"], 25);
  const size_t m = doc["m"];
  ASSERT_EQ(m, 4u);

  const Lines mvd = words(read(".mvd"));
  ASSERT_EQ(mvd.size(), m + 1);
  for (size_t i = 0; i < m; ++i) {
    const Json &v = doc["variables"][i];
    EXPECT_EQ(mvd[i + 1][0], std::to_string(v["column"].get<int>()));
    Json values = Json::array();
    for (const char *key : {"mean", "variance", "standard_deviation", "minimum", "maximum",
                            "skewness", "kurtosis", "median", "lower_quartile", "upper_quartile"})
      values.push_back(v[key]);
    expect_shown(mvd[i + 1], 1, values, "%.4f", "mvd line " + std::to_string(i));
    EXPECT_EQ(v["constant"], i == 3);
  }

  const Lines cov = words(read(".cov")), cor = words(read(".cor"));
  ASSERT_EQ(cov.size(), m + 3);
  ASSERT_EQ(cor.size(), m);
  for (size_t i = 0; i < m; ++i) {
    Json cov_row = Json::array(), cor_row = Json::array();
    for (size_t j = 0; j <= i; ++j) {
      cov_row.push_back(doc["covariance"][i][j]);
      cor_row.push_back(doc["correlation"][i][j]);
      EXPECT_EQ(doc["covariance"][i][j], doc["covariance"][j][i]);
      EXPECT_EQ(doc["correlation"][i][j], doc["correlation"][j][i]);
    }
    expect_shown(cov[i + 3], 0, cov_row, "%.6f", "cov row " + std::to_string(i));
    expect_shown(cor[i], 0, cor_row, "%.6f", "cor row " + std::to_string(i));
  }

  const Lines his = words(read(".his"));
  const Json &h = doc["histogram"];
  ASSERT_EQ(h["bins"], 6);
  for (size_t k = 0; k < m; ++k) {
    const Json &var = h["variables"][k];
    Json shares = Json::array();
    for (const Json &c : var["counts"]) shares.push_back(c.get<double>() / 25);
    expect_shown(his[k], 0, shares, "%.4f", "his line " + std::to_string(k));
    ASSERT_EQ(var["edges"].size(), 7u);
    EXPECT_EQ(var["edges"][0], doc["variables"][k]["minimum"]);
  }

  const Json &c = doc["components"];
  const Lines eig = words(read(".eig"));
  ASSERT_EQ(eig.size(), m + 2);
  expect_shown(eig[0], 0, c["explained_variance_percent"], "%.3f", "eig percents");
  for (size_t r = 0; r < m; ++r)
    expect_shown(eig[r + 2], 0, c["loadings"][r], "%.3f", "eig loadings " + std::to_string(r));

  const Lines fsc = words(read(".fsc"));
  const size_t N = c["score_limit"];
  ASSERT_EQ(N, m);
  ASSERT_EQ(fsc.size(), N + 7);
  for (size_t r = 0; r < N; ++r)
    expect_shown(fsc[r + 1], 0, c["score_coefficients"][r], "%.7e", "fsc " + std::to_string(r));
  Json roots = Json::array();
  for (size_t u = 0; u < N; ++u) roots.push_back(c["eigenvalues"][u]);
  expect_shown(fsc[N + 2], 0, roots, "%.7e", "fsc eigenvalues");
  EXPECT_EQ(c["scores_written"], 3);
}

// Strings from data come out as JSON that parses, whatever their bytes.
TEST(JsonStrings, AnyBytesBecomeAValidString) {
  const struct {
    std::string bytes, parsed;
  } cases[] = {
      {"data.txt", "data.txt"},
      {"a \"b\" \\c", "a \"b\" \\c"},
      {std::string("tab\tnl\ncr\r\x01\x1f", 13), std::string("tab\tnl\ncr\r\x01\x1f", 13)},
      {"caf\xc3\xa9", "caf\xc3\xa9"},
      {"bad \xff byte", "bad \xef\xbf\xbd byte"},
      {"cut \xc3", "cut \xef\xbf\xbd"},
  };
  for (const auto &c : cases) {
    const std::string literal = json_string(c.bytes);
    EXPECT_EQ(Json::parse(literal).get<std::string>(), c.parsed) << literal;
  }
}

// The shortest text reads back to the same double bit for bit; what JSON
// cannot write is null.
TEST(JsonNumbers, ReadBackToTheSameDouble) {
  const double finite[] = {0.1, 1.0 / 3, 2.5, -1e-300, 5e-324, DBL_MAX, 123456789.0, 1e21};
  for (double x : finite) {
    const std::string text = json_number(x);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), x) << text;
    EXPECT_EQ(Json::parse(text).get<double>(), x) << text;
  }
  EXPECT_EQ(json_number(-0.0), "-0");
  EXPECT_EQ(json_number(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(json_number(-std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(json_number(std::nan("")), "null");
}

// Names, where the loading phase knew them, stand beside the file columns.
class JsonNames : public OutputTest {};

TEST_F(JsonNames, KnownNamesAreWrittenAndUnknownOnesAreNull) {
  make(2, 2);
  a.variable_to_file[0] = 1;
  a.variable_to_file[1] = 0;
  for (bool named : {true, false}) {
    a.names = named ? std::vector<std::string>{"height", "w\"eight"} : std::vector<std::string>{};
    write_json(a, place_, document_options(sw, 3), nullptr, con);
    const Json doc = Json::parse(read(".json"));
    EXPECT_EQ(doc["variables"][0]["column"], 2);
    EXPECT_EQ(doc["variables"][1]["name"], named ? Json("w\"eight") : Json(nullptr));
    EXPECT_EQ(doc["components"], nullptr);
  }
}

}  // namespace
