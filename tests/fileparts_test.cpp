// A file loaded in parts apart (examined once, each part loaded on its own,
// the notes replayed, each part finished) against load_file_rows: random
// files in CSV and white space, with text turning up in a late part,
// missing values, quoted fields across lines, short rows, words and a
// cut-off last line, must give the same rows, counts, names and error.
#include "fileparts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/messages.h"

namespace {

// What loading gave, or its error.
struct Got {
  std::string fatal;
  std::vector<double> values;
  std::vector<std::string> names;
  std::vector<int32_t> columns;
  std::vector<std::pair<uint32_t, std::string>> skipped;
  uint64_t left_out = 0;
  std::vector<uint64_t> missing;
  bool operator==(const Got &o) const {
    return fatal == o.fatal && names == o.names && columns == o.columns && skipped == o.skipped &&
           left_out == o.left_out && missing == o.missing && values.size() == o.values.size() &&
           (values.empty() ||
            std::memcmp(values.data(), o.values.data(), values.size() * sizeof(double)) == 0);
  }
};

Got whole(const std::string &path, const Switches &sw) {
  Got g;
  try {
    const LoadedRows l = load_file_rows(path, sw);
    g = Got{"", l.values, l.names, l.source_columns, l.skipped, l.rows_left_out, l.missing_cells};
  } catch (const RunEnd &end) {
    g.fatal = end.message;
  }
  return g;
}

// In parts of `part_bytes`; a file whose parts were refused is loaded whole.
Got in_parts(const std::string &path, const Switches &sw, uint64_t part_bytes) {
  Got g;
  try {
    const FileReading r = read_file_start(path, sw, part_bytes);
    std::vector<LoadedPart> parts;
    std::vector<RangeLoad> notes;
    std::vector<std::string> errors;
    for (uint32_t k = 0; k < r.parts.size(); ++k) {
      parts.push_back(load_file_part(path, sw, r, k));
      notes.push_back(parts.back().load);
      errors.push_back(parts.back().error);
    }
    const SettledParts s = settle_file_parts(path, sw, r, notes, errors);
    if (s.refused) return whole(path, sw);
    uint64_t n = 0;
    for (uint32_t k = 0; k < parts.size(); ++k) {
      const LoadedPart &p = parts[k];
      std::vector<double> rows;
      for (uint64_t i = 0; i < p.load.noted.tally.rows; ++i)
        rows.insert(rows.end(), p.table.data[i], p.table.data[i] + p.table.columns);
      const LoadedRows l = finish_file_part(path, sw, r, s, k, rows.data(), p.load.noted.tally.rows,
                                            p.missing_rows, p.load.noted.tally);
      for (uint64_t i = 0; i < l.n; ++i)
        g.values.insert(g.values.end(), &rows[i * p.table.columns],
                        &rows[i * p.table.columns] + l.m);
      g.names = l.names;
      g.columns = l.source_columns;
      g.skipped = l.skipped;
      g.left_out += l.rows_left_out;
      g.missing.resize(l.missing_cells.size(), 0);
      for (size_t j = 0; j < l.missing_cells.size(); ++j) g.missing[j] += l.missing_cells[j];
      n += l.n;
    }
    check_file_rows(path, sw, r, s, n, g.left_out, g.missing);
  } catch (const RunEnd &end) {
    g = Got{};
    g.fatal = end.message;
  }
  return g;
}

// Rows of c fields: now and then a missing value, a quoted field (across
// lines with `multiline`), text, a short row; text in a late row.
std::string random_file(std::mt19937_64 &rng, bool csv, bool names, int lines, int c, int words,
                        int short_rows, bool multiline, bool cut_off) {
  std::uniform_int_distribution<int> mille(0, 999);
  const char *sep = csv ? "," : " ";
  std::string text;
  for (int j = 0; names && j < c; ++j) {
    if (j) text += sep;
    text += 'v';
    text += std::to_string(j);
  }
  if (names) text += "\n";
  char buf[64];
  for (int l = 0; l < lines; ++l) {
    if (mille(rng) < 20) text += "# a comment\n";
    const int values = l > 0 && mille(rng) < short_rows ? c - 1 : c;
    for (int j = 0; j < values; ++j) {
      if (j) text += sep;
      std::snprintf(buf, sizeof buf, "%.*g", 1 + mille(rng) % 17,
                    std::uniform_real_distribution<double>(-9, 9)(rng));
      const int pick = mille(rng);
      if (pick < 30)
        text += "NA";
      else if (pick < 30 + words || (l == lines * 7 / 8 && j == 1))
        text += "x1";
      else if (csv && pick < 100)
        text += std::string("\"") + buf + (multiline ? "\n\"" : "\"");
      else
        text += buf;
    }
    text += "\n";
  }
  if (cut_off) text += "1";
  return text;
}

TEST(FilePartsTest, PartsApartGiveTheWholeFilesRowsAndError) {
  struct Mix {
    bool csv, names;
    int words, short_rows;
    bool multiline, cut_off, numbers_only;
  };
  const Mix mixes[] = {
      {true, true, 0, 0, false, false, false},   // CSV: a column turns to text late
      {true, true, 0, 0, true, false, false},    // quoted fields across lines
      {true, true, 0, 0, false, false, true},    // --numbers-only: the late word is an error
      {true, false, 0, 3, false, false, false},  // no names: a word, a short row
      {false, false, 0, 0, false, true, false},  // white space, missing words, cut-off line
      {false, true, 2, 2, false, false, false},  // white space with names: errors
  };
  std::mt19937_64 rng(7);
  char path[] = "/tmp/vantor_fileparts_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  int number = 0;
  for (const Mix &mix : mixes) {
    Switches sw;
    sw.read.csv = mix.csv;
    sw.read.names = mix.names && !mix.csv;
    sw.read.numbers_only = mix.numbers_only;
    if (!mix.csv) sw.read.missing = {"NA"};
    for (int round = 0; round < 3; ++round) {
      const std::string text = random_file(
          rng, mix.csv, mix.names, 100 + static_cast<int>(rng() % 300),
          2 + static_cast<int>(rng() % 4), mix.words, mix.short_rows, mix.multiline, mix.cut_off);
      FILE *f = std::fopen(path, "wb");
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
      const Got want = whole(path, sw);
      for (uint64_t part : {1u, 97u, 1000u, 1u << 20})
        EXPECT_TRUE(in_parts(path, sw, part) == want)
            << "mix " << number << " round " << round << " part " << part << ": " << want.fatal;
    }
    ++number;
  }
  unlink(path);
}

}  // namespace
