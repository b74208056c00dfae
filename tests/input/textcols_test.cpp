// A value column of a separated file that turns to text while it loads is
// left out as --skip-columns leaves it, in one pass and in parts alike.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "base/messages.h"
#include "pipeline.h"

namespace {

// What the later phases see of a loaded file.
struct Seen {
  uint32_t n = 0, m = 0, columns = 0;
  uint64_t left_out = 0;
  std::vector<uint64_t> bits, missing;
  std::vector<int32_t> file_columns;
  std::vector<std::string> names, labels;
  bool operator==(const Seen &) const = default;
};

Seen load(const std::string &path, Switches sw, uint32_t threads, std::string *said) {
  FILE *out = std::tmpfile(), *sink = std::fopen("/dev/null", "w");
  const Console con{out, sink, true};
  Workers w(threads);
  RunState run = make_run_state(sw);
  run.workers = &w;
  const Analysis a = load_data_file(path.c_str(), sw, run, con);
  Seen s{a.n, a.m, a.columns, a.rows_left_out, {}, a.missing_cells, {}, a.names, {}};
  for (uint32_t k = 0; k < a.n; ++k) {
    for (uint32_t j = 0; j < a.m; ++j) {
      uint64_t b;
      std::memcpy(&b, &a.data[k][j], sizeof b);
      s.bits.push_back(b);
    }
    if (!a.labels.empty()) s.labels.push_back(a.labels[k]);
  }
  for (uint32_t j = 0; j < a.m; ++j) s.file_columns.push_back(a.variable_to_file[j]);
  std::rewind(out);
  for (int ch; (ch = std::fgetc(out)) != EOF;) said->push_back(static_cast<char>(ch));
  std::fclose(out);
  std::fclose(sink);
  return s;
}

struct Case {
  const char *what;
  const char *header;
  // Row r's fields; `turn` is the row from which column text appears.
  std::string (*row)(uint32_t r, uint32_t turn);
  const char *text_columns;  // as --skip-columns names them
  const char *said;          // the note of the first column
  const char *value;         // its first text value
  uint32_t after;            // the row it is in, after `turn`
};

std::string num(uint32_t r, uint32_t mod) {
  return std::to_string((r * 37) % mod) + "." + std::to_string(r % 7);
}

const Case kCases[] = {
    {"missing values before the text leave no row out once the column is text",
     "\"\",\"a\",\"cyl\",\"b\"",
     [](uint32_t r, uint32_t turn) {
       const std::string cyl = r == turn ? "\"rotary\"" : r % 5 == 0 ? "NA" : num(r, 9);
       return "\"car " + std::to_string(r) + "\"," + num(r, 101) + "," + cyl + "," +
              (r % 11 == 0 ? std::string("NA") : num(r, 13));
     },
     "cyl", "Skipped text column 3 (cyl)", "rotary", 0},
    {"two columns turn, one of them in a quoted field holding the separator", "x,y,z,w",
     [](uint32_t r, uint32_t turn) {
       return num(r, 17) + "," + (r == turn + 3 ? std::string("\"4,5\"") : num(r, 19)) + "," +
              (r % 4 == 0 ? std::string() : num(r, 23)) + "," +
              (r == turn ? std::string("n/a") : num(r, 29));
     },
     "y,w", "Skipped text column 2 (y)", "4,5", 3},
};

class TextColumns : public ::testing::TestWithParam<Case> {};

TEST_P(TextColumns, LeftOutAsSkipColumnsLeavesThem) {
  const Case &c = GetParam();
  const std::string path = ::testing::TempDir() + "textcols_" + std::to_string(getpid()) + ".csv";
  for (const uint32_t turn : {1u, 7000u}) {
    {
      std::ofstream f(path);
      f << c.header << '\n';
      // Over two parts of 64 KiB, so that two threads load it in parts.
      for (uint32_t r = 1; r <= 8000; ++r) f << c.row(r, turn) << '\n';
    }
    for (const bool pairwise : {false, true}) {
      Switches sw;
      sw.read.csv = true;
      if (pairwise) sw.analysis.use = MissingUse::pairwise;
      Switches skip = sw;
      skip.read.pick = ColumnPick::unlisted;
      skip.read.pick_list = c.text_columns;
      std::string said, ignored;
      const Seen want = load(path, skip, 1, &ignored);
      for (const uint32_t threads : {1u, 2u}) {
        said.clear();
        EXPECT_EQ(load(path, sw, threads, &said), want) << c.what << ", turn " << turn;
        // Text in the first row makes a text column before loading.
        const uint32_t row = turn + c.after;
        const std::string note =
            std::string(c.said) + (row == 1 ? std::string("\n")
                                            : ": \"" + std::string(c.value) + "\" in line " +
                                                  std::to_string(row + 1) + "\n");
        EXPECT_NE(said.find(note), std::string::npos) << said;
      }
    }
  }
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Cases, TextColumns, ::testing::ValuesIn(kCases));

TEST(TextColumnsNumbersOnly, EndsTheRunNamingTheColumnAndQuotingTheValueOnce) {
  const std::string path = ::testing::TempDir() + "textcols_strict.csv";
  std::ofstream(path) << "\"a\",\"Cylinders\"\n1,\"4\"\n2,\"rotary\"\n";
  Switches sw;
  sw.read.csv = true;
  sw.read.numbers_only = true;
  std::string said;
  try {
    load(path, sw, 1, &said);
    ADD_FAILURE() << "no error";
  } catch (const RunEnd &e) {
    EXPECT_EQ(e.message, "Not a number in line 3, column 2 (Cylinders): \"rotary\"\n");
  }
  std::remove(path.c_str());
}

}  // namespace
