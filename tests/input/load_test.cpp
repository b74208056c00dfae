// Loading: column maps from --inverse and --sort, the sort listing, the
// row-length rules, truncation of long rows and the size of the line buffer.
#include <gtest/gtest.h>

#include "support/input_fixture.h"
#include "input/load.h"
#include "base/messages.h"
#include "record/workarrays.h"

namespace {

struct LoadResult {
  uint32_t n = 0, m = 0;
};

struct Loaded {
  LoadResult result;
  std::string out;    // standard output (maps and listing)
  std::string err;    // error stream
  std::string fatal;  // message of a fatal error, empty when none
};

class Load : public testing::Test {
 protected:
  // Makes the record for c columns and R rows, builds the maps and loads
  // `text`, capturing both streams.
  Loaded load(const std::string &text, uint32_t c, uint32_t R = 100) {
    Loaded l;
    const Console con{stdout, stderr, sw.run.quiet != 0};
    MemoryTally tally;
    a = make_analysis(R, c, WorkArraySettings{sw.analysis.bins, false}, tally, con);
    MemFile f(text);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try {
      build_column_maps(a, sw, con);
      load_data(f.fp, a, con);
      l.result = LoadResult{a.n, a.m};
    } catch (const RunEnd &end) {
      l.fatal = end.message;
    }
    std::fflush(stdout);
    l.out = testing::internal::GetCapturedStdout();
    l.err = testing::internal::GetCapturedStderr();
    return l;
  }

  std::vector<double> row(uint32_t r, uint32_t c) { return std::vector<double>(a.data[r], a.data[r] + c); }
  std::vector<int32_t> map(const CArray<int32_t> &m, uint32_t c) {
    return std::vector<int32_t>(m.get(), m.get() + c);
  }

  Switches sw;
  Analysis a;
};

using Row = std::vector<double>;
using Map = std::vector<int32_t>;

}  // namespace

TEST_F(Load, WellFormedRowsLoadWithOnlyTheEraserPrinted) {
  Loaded l = load("1 2 3\n4 5 6\n7 8 9\n10 11 12\n13 14 15\n", 3);
  EXPECT_EQ(l.fatal, "");
  EXPECT_EQ(l.result.n, 5u);
  EXPECT_EQ(l.result.m, 3u);
  EXPECT_EQ(l.err, "\r    \r");
  EXPECT_EQ(row(4, 3), (Row{13, 14, 15}));
  sw.run.quiet = 1;
  EXPECT_EQ(load("# c\n1 2 3\n", 3).err, "");
}

TEST_F(Load, RowLengthRules) {
  const struct {
    std::string text;
    uint32_t n;
    const char *fatal;
  } cases[] = {
      {"1 2\n3 4\n5\n6 7\n", 0, "Wrong row length: Row 3\a\n"},
      {"1 2\n3 4\n5", 2, ""},  // cut-off last line dropped
      {"1 2\n3 4\n5\n", 0, "Wrong row length: Row 3\a\n"},
      {"1 2\n3 4\n\n", 0, "Wrong row length: Row 3\a\n"},  // empty line after the last row
      {"1 2\n3 4\n# end\n", 2, ""},
      {"1 2\n#\n;\n3 x 4\n", 0, "Wrong row length: Row 2\a\n"},  // comments are not rows
      {"1 2\n3 4 5\n", 0, "Wrong row length: Row 2\a\n"},
      {"1 2\n3 4\n5 6 7", 2, ""},
      {std::string("1 2\n3 4\n\0\0\0", 11), 2, ""},  // NUL garbage at the end
  };
  for (const auto &c : cases) {
    Loaded l = load(c.text, 3);
    EXPECT_EQ(l.fatal, c.fatal) << c.text;
    if (l.fatal.empty()) {
      EXPECT_EQ(l.result.n, c.n) << c.text;
    }
  }
}

TEST_F(Load, WordsEndTheRowAndNulBytesEndTheLine) {
  Loaded l = load(std::string("1 2 x 3\n4 5\0 6\n", 15), 3);
  EXPECT_EQ(l.fatal, "");
  EXPECT_EQ(l.result.n, 2u);
  EXPECT_EQ(l.result.m, 2u);
  EXPECT_EQ(row(0, 3), (Row{1, 2, 0}));
  EXPECT_EQ(row(1, 3), (Row{4, 5, 0}));
}

TEST_F(Load, LongRowsAreTruncatedWithOneMessage) {
  std::string ten, twenty;
  for (int i = 1; i <= 20; ++i) (i <= 10 ? ten : twenty) += std::to_string(i) + " ";
  Loaded l = load(ten + "\n" + ten + twenty + "\n", 10);
  EXPECT_EQ(l.fatal, "");
  EXPECT_EQ(l.result.n, 2u);
  EXPECT_EQ(l.err, "Line contains to many columns (>10 colums). Truncating row 1.\n\r    \r");
  EXPECT_EQ(row(1, 10), row(0, 10));

  l = load("1 2 3 4 5 6 7 8\n", 8);
  EXPECT_EQ(l.err, "\r    \r");
  EXPECT_EQ(row(0, 8), (Row{1, 2, 3, 4, 5, 6, 7, 8}));
  l = load("1 2 3 4 5 6 7 8 9\n", 8);
  EXPECT_EQ(l.err, "Line contains to many columns (>8 colums). Truncating row 0.\n\r    \r");
}

TEST_F(Load, MoreRowsThanCountedIsAnError) {
  EXPECT_EQ(load("1\n2\n3\n", 1, 2).fatal, "Too many data series: >2\a\n");
}

TEST_F(Load, BufferStartsAtFiveQuartersOfTheFirstDataLineAndAtLeast256) {
  const struct {
    std::string first;
    size_t second;  // length of the second row
    const char *message;
  } cases[] = {
      {"1" + std::string(39, ' '), 254, ""},
      {"1" + std::string(39, ' '), 255, "\nMessage: Line to long (>256). Rereading.\n"},
      {"#" + std::string(5000, 'c') + "\n1" + std::string(39, ' '), 255,
       "\nMessage: Line to long (>256). Rereading.\n"},
      {"1" + std::string(999, ' '), 1248, ""},
      {std::string(1, '\0') + std::string(999, ' '), 40, ""},  // a NUL byte is no comment
      {"1" + std::string(999, ' '), 1249, "\nMessage: Line to long (>1250). Rereading.\n"},
  };
  sw.run.quiet = 1;
  for (const auto &c : cases) {
    const std::string second = "2" + std::string(c.second - 1, ' ');
    Loaded l = load(c.first + "\n" + second + "\n", 1);
    EXPECT_EQ(l.fatal, "");
    EXPECT_EQ(l.result.n, 2u);
    EXPECT_EQ(l.err, c.message) << c.second;
  }
}

TEST_F(Load, InverseReversesTheColumns) {
  sw.read.inverse = 1;
  sw.read.sort = 1;
  sw.read.sort_list = "1 2 3 4";  // not looked at with --inverse
  Loaded l = load("1 2 3 4\n", 4);
  EXPECT_EQ(l.out, "");
  EXPECT_EQ(row(0, 4), (Row{4, 3, 2, 1}));
  EXPECT_EQ(map(a.variable_to_file, 4), (Map{3, 2, 1, 0}));
}

TEST_F(Load, SortListSetsTheColumnOrder) {
  const struct {
    const char *list;
    int tetrad, covariance;
    Row loaded;
    Map to_file;  // variable -> data-file column
    const char *fatal;
  } cases[] = {
      {"2,1", 1, 0, {20, 10}, {1, 0}, ""},
      {" 2 ,, 1 ", 0, 1, {20, 10}, {1, 0}, ""},
      {"2", 1, 0, {20, 0}, {1, 1}, ""},         // both columns land in column 0
      {"2,1", 0, 0, {10, 20}, {0, 1}, ""},      // nothing written that uses the order
      {"2 x 1", 1, 0, {20, 0}, {1, 1}, ""},     // the list ends at the word
      {"2 1 2 1", 1, 0, {20, 10}, {1, 0}, ""},  // entries beyond the columns change nothing
      {"0 1", 1, 0, {}, {}, "sort: Value out of range. ( 1 <= 0 <= 2 )"},
      {"3 1", 1, 0, {}, {}, "sort: Value out of range. ( 1 <= 3 <= 2 )"},
      {"-1", 1, 0, {}, {}, "sort: Value out of range. ( 1 <= -1 <= 2 )"},
      {"2 1 5", 1, 0, {}, {}, "sort: Value out of range. ( 1 <= 5 <= 2 )"},
  };
  for (const auto &c : cases) {
    sw = Switches{};
    sw.run.quiet = 1;
    sw.read.sort = 1;
    sw.read.sort_list = c.list;
    sw.output.tetrad = c.tetrad;
    sw.output.covariance = c.covariance;
    Loaded l = load("10 20\n", 2);
    EXPECT_EQ(l.fatal, c.fatal) << c.list;
    if (!l.fatal.empty()) continue;
    EXPECT_EQ(row(0, 2), c.loaded) << c.list;
    EXPECT_EQ(map(a.variable_to_file, 2), c.to_file) << c.list;
  }
}

TEST_F(Load, SortListingShowsTheListTheEntriesAndBothMaps) {
  sw.read.sort = 1;
  sw.read.sort_list = "3,1,2";
  Loaded l = load("1 2 3\n", 3);
  EXPECT_EQ(l.out, "3,1,2\n1->3\n2->1\n3->2\ncols:3\n2 3 1 \n3 1 2 \n");
  EXPECT_EQ(row(0, 3), (Row{3, 1, 2}));
  sw.run.quiet = 1;
  EXPECT_EQ(load("1 2 3\n", 3).out, "");
}
