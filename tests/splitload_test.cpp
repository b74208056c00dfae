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

#include "examine.h"
#include "load.h"
#include "messages.h"
#include "workarrays.h"

namespace {

std::string slurp(FILE *f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  char buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, got);
  return s;
}

struct Outcome {
  std::string out, err, fatal;
  uint32_t n = 0, m = 0;
  uint64_t left_out = 0;
  std::vector<uint64_t> rows;  // bits of the loaded rows
  bool operator==(const Outcome &o) const {
    return out == o.out && err == o.err && fatal == o.fatal && n == o.n && m == o.m &&
           left_out == o.left_out && rows == o.rows;
  }
};

void PrintTo(const Outcome &o, std::ostream *os) {
  *os << "n " << o.n << " m " << o.m << " left out " << o.left_out << " values " << o.rows.size()
      << " fatal \"" << o.fatal << "\" err " << o.err.size() << " bytes";
}

// The driver's steps: examination, row capacity, work arrays, column maps,
// loading.
Outcome load_with(const std::string &text, uint32_t threads, uint64_t min_part,
                  const RowRules &rules = RowRules{}) {
  FILE *in = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), in);
  std::fflush(in);
  Outcome o;
  FILE *out = std::tmpfile(), *err = std::tmpfile();
  const Console con{out, err, false};
  Workers w(threads);
  try {
    std::rewind(in);
    GrowableLine line = make_examination_buffer();
    const Examination e = examine_data(in, line, rules, con);
    std::rewind(in);
    const uint32_t R = count_data_lines(in, line);
    std::rewind(in);
    MemoryTally tally;
    Analysis a = make_analysis(R, e.columns, WorkArraySettings{30, false}, tally, con);
    build_column_maps(a, Switches{}, con);
    if (rules.plain() && !e.has_names)
      load_data(in, a, con, w, min_part);
    else
      load_records(in, a, rules, e.has_names, con, w, min_part);
    o.n = a.n;
    o.m = a.m;
    o.left_out = a.rows_left_out;
    for (uint32_t k = 0; k < a.n; ++k)
      for (uint32_t j = 0; j < a.m; ++j) {
        uint64_t b;
        std::memcpy(&b, &a.data[k][j], sizeof b);
        o.rows.push_back(b);
      }
  } catch (const RunEnd &end) {
    o.fatal = end.message;
  }
  o.out = slurp(out);
  o.err = slurp(err);
  std::fclose(out);
  std::fclose(err);
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
      const Outcome serial = load_with(text, 1, 1);
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
  const Outcome serial = load_with(text, 1, 1);
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
      const int c = 2 + static_cast<int>(rng() % 5);
      const std::string text = random_records(rng, mix, 50 + static_cast<int>(rng() % 400), c);
      const Outcome serial = load_with(text, 1, 1, rules);
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
