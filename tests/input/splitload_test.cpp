// Loading in parts against loading in one pass: random files with comment
// lines, over-long lines, truncated and short rows, NaN, CRLF and NUL bytes
// (and in CSV and under --names and --missing: names lines, quoted fields
// across lines, blank lines, missing values, words among the numbers) must
// give the same rows, the same n and m, the same bytes on both streams and
// the same fatal error, for every pool size and part size.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "support/load_steps.h"

// Shown by a failed comparison in place of the object's bytes.
void PrintTo(const Loaded &o, std::ostream *os) {
  *os << "n " << o.n << " m " << o.m << " left out " << o.left_out << " values " << o.bits.size()
      << " fatal \"" << o.fatal << "\" err " << o.err.size() << " bytes";
}

namespace {

Loaded load_with(const std::string &text, uint32_t threads, uint64_t min_part,
                 const RowRules &rules = RowRules{}) {
  FILE *in = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), in);
  Workers w(threads);
  const Loaded o = load_steps(in, rules, w, min_part);
  std::fclose(in);
  return o;
}

// What a random file may hold, line by line.
struct Mix {
  int comment, long_line, truncated, short_row, nan, crlf, nul;  // per mille
  bool unended_short_last;
};

std::string random_file(std::mt19937_64 &rng, const Mix &mix, int lines, int c) {
  std::uniform_real_distribution<double> u(-100, 100);
  std::uniform_int_distribution<int> mille(0, 999);
  std::string text;
  char buf[64];
  for (int l = 0; l < lines; ++l) {
    if (l > 0 && mille(rng) < mix.comment) {
      text.append(mille(rng) % 2 ? "#" : ";");
      text.append(static_cast<size_t>(mille(rng)) * 3, 'x');
      text.push_back('\n');
      continue;
    }
    int values = c;
    if (l > 0 && mille(rng) < mix.truncated) values = c + 1 + mille(rng) % 3;
    if (l > 0 && mille(rng) < mix.short_row) values = c - 1;
    std::string row;
    for (int j = 0; j < values; ++j) {
      if (mille(rng) < mix.nan)
        row += "nan ";
      else {
        std::snprintf(buf, sizeof buf, "%.*g ", 1 + mille(rng) % 17, u(rng));
        row += buf;
      }
      if (l > 0 && mille(rng) < mix.long_line) row += std::string(200 + mille(rng) * 4, ' ');
    }
    if (mille(rng) < mix.nul) {
      row.push_back('\0');
      row.push_back('7');
    }
    text += row + (mille(rng) < mix.crlf ? "\r\n" : "\n");
  }
  if (mix.unended_short_last) text += "1";
  return text;
}

TEST(SplitLoadTest, PartsGiveTheBytesOfOnePass) {
  const Mix mixes[] = {
      {0, 0, 0, 0, 0, 0, 0, false},        // plain rows
      {100, 20, 0, 0, 50, 100, 0, false},  // comments, rereadings, NaN, CRLF
      {50, 10, 30, 0, 0, 0, 20, false},    // truncated rows, NUL bytes
      {50, 10, 20, 2, 0, 0, 0, false},     // a short row somewhere: fatal
      {20, 5, 5, 0, 10, 0, 0, true},       // short last line without its end
  };
  std::mt19937_64 rng(2024);
  int mix_number = 0;
  for (const Mix &mix : mixes) {
    for (int round = 0; round < 4; ++round) {
      const int c = 1 + static_cast<int>(rng() % 6);
      const std::string text = random_file(rng, mix, 50 + static_cast<int>(rng() % 400), c);
      const Loaded serial = load_with(text, 1, 1);
      for (uint32_t threads : {2u, 3u, 8u})
        for (uint64_t part : {1u, 97u, 4096u})
          EXPECT_EQ(load_with(text, threads, part), serial)
              << "mix " << mix_number << " round " << round << " threads " << threads << " part "
              << part << "\nfatal: " << serial.fatal << "\nerr: " << serial.err;
    }
    ++mix_number;
  }
}

TEST(SplitLoadTest, FirstErrorInFileOrderWinsAndNothingAfterIsSaid) {
  // A truncated row after the short one is never reached; the growth of the
  // buffer before it is.
  std::string text = "1 2 3\n4 5 6\n" + std::string(600, '7') + " 8 9\n1 2\n1 2 3 4\n5 6 7\n";
  for (int k = 0; k < 2000; ++k) text += "1 2 3\n";
  text += "1 2\n";
  const Loaded serial = load_with(text, 1, 1);
  EXPECT_EQ(serial.fatal, "Wrong row length: Row 4\a\n");
  EXPECT_NE(serial.err.find("Rereading"), std::string::npos);
  for (uint32_t threads : {2u, 4u}) EXPECT_EQ(load_with(text, threads, 16), serial);
}

// A random file of records: CSV or white space, with a names line, blank
// lines, missing values, quoted fields (some across lines), long lines and
// now and then a word among the numbers or a short row.
struct RecordMix {
  bool csv, names;
  int blank, missing, quoted, multiline, long_line, word, short_row, wide_row;  // per mille
  bool bom, unended_short_last;
};

std::string random_records(std::mt19937_64 &rng, const RecordMix &mix, int lines, int c) {
  std::uniform_int_distribution<int> mille(0, 999);
  const char *sep = mix.csv ? "," : " ";
  std::string text = mix.bom ? "\xEF\xBB\xBF" : "";
  if (mix.names) {
    for (int j = 0; j < c; ++j) {
      if (j) text += sep;
      text += mix.csv ? "\"v\"\"" : "v";
      text += std::to_string(j);
      if (mix.csv) text += "\"";
    }
    text += "\n";
  }
  char buf[64];
  for (int l = 0; l < lines; ++l) {
    if (mille(rng) < 30) text += "# a comment, \"unclosed\n";
    if (mix.csv && mille(rng) < mix.blank) text += mille(rng) % 2 ? "\n" : "  \r\n";
    int values = l > 0 && mille(rng) < mix.short_row ? c - 1 : c;
    if (l > 0 && mille(rng) < mix.wide_row) values = c + 1;
    for (int j = 0; j < values; ++j) {
      if (j) text += sep;
      if (mille(rng) < mix.missing) {
        text += mix.csv && mille(rng) % 2 ? "" : "NA";
      } else if (mille(rng) < mix.word) {
        text += "x1";
      } else {
        std::snprintf(buf, sizeof buf, "%.*g", 1 + mille(rng) % 17,
                      std::uniform_real_distribution<double>(-9, 9)(rng));
        const bool quoted = mix.csv && mille(rng) < mix.quoted;
        const bool across = quoted && mille(rng) < mix.multiline;
        text += quoted ? std::string("\"") + buf + (across ? "\n\"" : "\"") : std::string(buf);
      }
      if (mille(rng) < mix.long_line) text += std::string(300 + mille(rng) * 3, ' ');
    }
    text += "\n";
  }
  if (mix.unended_short_last) text += "1";
  return text;
}

TEST(SplitLoadTest, RecordsInPartsGiveTheBytesOfOnePass) {
  const RecordMix mixes[] = {
      {true, true, 20, 0, 0, 0, 0, 0, 0, 0, false, false},     // CSV with names
      {true, true, 50, 30, 100, 0, 20, 0, 0, 0, true, false},  // missing, quotes, BOM, rereadings
      {true, false, 20, 20, 100, 50, 10, 0, 0, 0, false, false},   // quotes across lines
      {true, false, 20, 20, 300, 300, 10, 0, 0, 0, false, false},  // ... and part ends
      {true, true, 10, 10, 0, 0, 0, 2, 0, 0, false, false},        // a word somewhere: fatal
      {true, false, 10, 10, 0, 0, 5, 0, 2, 0, false, false},       // a short row: fatal
      {true, false, 0, 0, 0, 0, 0, 0, 0, 0, false, true},          // cut-off last line
      {false, true, 0, 30, 0, 0, 20, 0, 0, 20, false, false},      // white space, names, missing
      {false, false, 0, 20, 0, 0, 10, 2, 2, 20, false, true},      // words end rows
  };
  std::mt19937_64 rng(2026);
  int mix_number = 0;
  for (const RecordMix &mix : mixes) {
    RowRules rules;
    rules.csv = mix.csv;
    rules.empty_is_missing = mix.csv;
    rules.names = mix.names && !mix.csv;
    rules.missing = {"NA"};
    for (int round = 0; round < 3; ++round) {
      rules.keep_missing = round == 2;  // --use=pairwise keeps those rows
      rules.group_column.clear();
      if (mix.csv && round == 1) rules.group_column.push_back('1');  // --by=1
      const int c = 2 + static_cast<int>(rng() % 5);
      const std::string text = random_records(rng, mix, 50 + static_cast<int>(rng() % 400), c);
      const Loaded serial = load_with(text, 1, 1, rules);
      for (uint32_t threads : {2u, 3u, 8u})
        for (uint64_t part : {1u, 97u, 4096u})
          EXPECT_EQ(load_with(text, threads, part, rules), serial)
              << "mix " << mix_number << " round " << round << " threads " << threads << " part "
              << part << "\nfatal: " << serial.fatal << "\nerr: " << serial.err;
    }
    ++mix_number;
  }
}

}  // namespace
