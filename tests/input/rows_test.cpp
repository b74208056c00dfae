// White-space rows under --numbers-only and --missing: which lines load,
// what they hold, and the error a word among the numbers gives.
#include "input/rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <tuple>
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

// The group column's number is counted but kept as its shortest text (see
// also the by_white_space cases), never in the row; a missing one there
// leaves no row out.
TEST(BlankRows, GroupColumnKeepsItsNumberAsTextAndLeavesNoRowOut) {
  RowRules rules;
  rules.missing = {"NA"};
  rules.uses = {FieldUse::value, FieldUse::group, FieldUse::value};
  const struct {
    const char *line, *group;
    bool missing;
  } cases[] = {{"1 2.50 3\n", "2.5", false}, {"1 NA 3\n", "", false}, {"NA -0 3\n", "-0", true}};
  for (const auto &c : cases) {
    RowScratch s;
    double row[] = {-1, -1, -1};
    const int32_t map[] = {0, 1, 2};
    const RowValues v =
        scan_blank_row(s, c.line, c.line + std::strlen(c.line), row, map, 3, rules, 1);
    EXPECT_EQ(std::make_tuple(v.stored, v.missing, s.group, row[1], row[2]),
              std::make_tuple(3u, c.missing, std::string(c.group), 3.0, -1.0))
        << c.line;
  }
}

// A separated line read straight from its text (the loading pass's way for
// lines without quotes) against the same line split into fields first: the
// same values, bit for bit, the same counts and the same error, on random
// lines over separators that can and cannot continue a number.
TEST(CsvText, EqualsTheFieldByFieldReadingOnRandomLines) {
  const char *const pool[] = {"1.5",  "-0",   "+3e2", "1e",   " 2 ",  "NA",    "-999",
                              "",     "1.5.2", "0x10", "inf", "1e400", "7x",   "\t4\t",
                              "12345678901234567890", ".5", "5.",  "1e-400", "nan", "e5"};
  const char separators[] = {',', ';', '\t', '|', '.', 'e', '-', '5'};
  std::mt19937_64 rng(29);
  for (int trial = 0; trial < 20000; ++trial) {
    RowRules rules;
    rules.csv = true;
    rules.sep = separators[rng() % sizeof separators];
    rules.missing = {"NA", "-999"};
    rules.empty_is_missing = rng() % 2;
    std::string line;
    const int fields = 1 + static_cast<int>(rng() % 6);
    for (int f = 0; f < fields; ++f) {
      if (f > 0) line += rules.sep;
      line += pool[rng() % std::size(pool)];
    }
    line += "\n";
    const uint32_t room = 1 + static_cast<uint32_t>(rng() % 6);
    const int32_t map[] = {0, 1, 2, 3, 4, 5};
    const auto read = [&](bool split) {
      RowScratch s;
      std::vector<double> row(6, -1);
      std::string fatal;
      RowValues v;
      uint64_t count = 0;
      try {
        if (split) {
          split_fields(s, line.data(), line.data() + line.size(), rules.sep);
          v = convert_csv_fields(s, row.data(), map, room, rules, 3);
        } else {
          v = convert_csv_text(s, line.data(), line.data() + line.size(), row.data(), map, room,
                               rules, 3, &count);
        }
      } catch (const RunEnd &end) {
        fatal = end.message;
      }
      std::vector<uint64_t> bits(6);
      std::memcpy(bits.data(), row.data(), 6 * sizeof(double));
      return std::make_tuple(fatal, v.stored, v.more, v.missing, bits, s.missing_at);
    };
    ASSERT_EQ(read(false), read(true)) << "separator '" << rules.sep << "', line " << line;
  }
}
