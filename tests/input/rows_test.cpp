// White-space rows under --numbers-only and --missing: which lines load,
// what they hold, and the error a word among the numbers gives.
#include "input/rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/messages.h"

namespace {

struct Scanned {
  std::vector<double> values;
  bool missing = false;
  std::string fatal;
};

Scanned scan(const std::string &line, const RowRules &rules) {
  RowScratch s;
  std::vector<double> row(4, -1);
  const int32_t map[] = {0, 1, 2, 3};
  Scanned out;
  try {
    const RowValues v = scan_blank_row(s, line.data(), line.data() + line.size(), row.data(), map,
                                       4, rules, 7);
    out.values.assign(row.begin(), row.begin() + v.stored);
    out.missing = v.missing;
  } catch (const RunEnd &end) {
    out.fatal = end.message;
  }
  return out;
}

}  // namespace

TEST(BlankRows, NumbersOnlyRefusesEveryTokenThatIsNotWhollyANumber) {
  RowRules strict;
  strict.numbers_only = true;
  const struct {
    const char *line;
    std::vector<double> values;
    const char *fatal;
  } cases[] = {
      {"1 2 3\n", {1, 2, 3}, ""},
      {"  -1.5e3\t+.5 0x10 inf\r\n", {-1500, 0.5, 16, INFINITY}, ""},
      {"1 6x\n", {}, "Not a number in line 7, field 2: \"6x\"\n"},
      {"1,5 2\n", {}, "Not a number in line 7, field 1: \"1,5\"\n"},
      {"6 kg\n", {}, "Not a number in line 7, field 2: \"kg\"\n"},
      {"1 NA 3\n", {}, "Not a number in line 7, field 2: \"NA\"\n"},
      {"1 2\x01x\n", {}, "Not a number in line 7, field 2: \"2\\x01x\"\n"},
  };
  for (const auto &c : cases) {
    const Scanned got = scan(c.line, strict);
    EXPECT_EQ(got.fatal, c.fatal) << c.line;
    if (got.fatal.empty()) {
      EXPECT_EQ(got.values, c.values) << c.line;
    }
  }
}

TEST(BlankRows, MissingWordsTakeAValuesPlaceAndMarkTheRow) {
  RowRules rules;
  rules.missing = {"NA", "."};
  const struct {
    const char *line;
    size_t count;
    bool missing;
  } cases[] = {
      {"1 NA 3\n", 3, true},
      {". . .\n", 3, true},
      {"1 2 3\n", 3, false},
      {"1 NAN 3\n", 3, false},     // a number, not the word
      {"1 NA5 3\n", 1, false},     // not the word: the row ends there, as plain rows do
      {"1.5abc 2\n", 1, false},    // a number followed by text ends the row after it
  };
  for (const auto &c : cases) {
    const Scanned got = scan(c.line, rules);
    EXPECT_EQ(got.fatal, "") << c.line;
    EXPECT_EQ(got.values.size(), c.count) << c.line;
    EXPECT_EQ(got.missing, c.missing) << c.line;
  }
}
