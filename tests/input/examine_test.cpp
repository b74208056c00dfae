// Examination: the column count of the first data line, the errors for
// files without usable data, and the row capacity.
#include <gtest/gtest.h>

#include "input/examine.h"
#include "support/input_fixture.h"
#include "base/messages.h"
#include "input/reader.h"

namespace {

// Each test starts with a fresh 40960-byte examination buffer.
class Examine : public testing::Test {
 protected:
  uint32_t examine(FILE *in) { return examine_first_line(in, line, con); }

  std::string fatal_message_of_examining(const std::string &text) {
    MemFile f(text);
    try {
      examine(f.fp);
    } catch (const RunEnd &end) {
      return end.message;
    }
    return "(accepted)";
  }

  GrowableLine line = make_examination_buffer();
  const Console con{stdout, stderr, false};
};

}  // namespace

TEST(CountColumns, CountsTheNumbersBeforeTheFirstNonNumber) {
  const struct {
    const char *line;
    uint32_t count;
  } cases[] = {
      {"1 2\t3   \n", 3},     {"1,2,3\n", 1},  {"1 2 word 3\n", 2},    {"", 0},     {"   \n", 0},
      {"Height Weight\n", 0}, {"1\n", 1},      {"-.5 +2 1e3 4E-2", 4}, {"1e 2", 1},  // strtod takes
                                                                                     // "1" of "1e"
      {"0x1p3 inf nan 5", 4}, {"1.5abc 2", 1}, {"7 #8 9", 1},
  };
  for (const auto &c : cases) EXPECT_EQ(count_columns(c.line), c.count) << c.line;
}

TEST_F(Examine, FirstDataLineAfterCommentsGivesTheColumnCount) {
  MemFile f("# name\n; unit\n1 2\t3  \n4 5 6\n");
  EXPECT_EQ(examine(f.fp), 3u);
}

TEST_F(Examine, FilesWithoutAFirstRowOfNumbersAreRefused) {
  const struct {
    const char *text;
    const char *message;
  } cases[] = {
      {"", "Can't read file"},
      {"# only\n! comments\n", "Can't read file"},
      {"#no line end", "Can't read file"},
      {"Height Weight\n1 2\n", "Too few variables\n"},
      {"# head\n\n1 2\n", "Too few variables\n"},
      {"   \n1 2\n", "Too few variables\n"},
  };
  for (const auto &c : cases) EXPECT_EQ(fatal_message_of_examining(c.text), c.message) << c.text;
}

TEST_F(Examine, NumbersAfterANulByteAreNotCounted) {
  EXPECT_EQ(fatal_message_of_examining(std::string("\0 1 2\n", 6)), "Too few variables\n");
  MemFile f(std::string("1 2\0 3\n", 7));
  EXPECT_EQ(examine(f.fp), 2u);
}

TEST_F(Examine, AGrownBufferStaysGrownForTheNextFile) {
  const std::string wide = "1" + std::string(40958, ' ') + "\n";  // 40959 characters
  testing::internal::CaptureStderr();
  {
    MemFile f(wide);
    EXPECT_EQ(examine(f.fp), 1u);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nMessage: Line to long (>40960). Rereading.\n");
  EXPECT_EQ(line.capacity, 81920);
  testing::internal::CaptureStderr();
  {
    MemFile f(wide);
    EXPECT_EQ(examine(f.fp), 1u);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(Examine, RowCapacityCountsEveryDataLineButNoComment) {
  const struct {
    const char *text;
    uint32_t rows;
  } cases[] = {
      {"#a\n#b\n1\n2\n3\n4\n5\n", 5},
      {"#a\n#b\n1\n2\n3\n4\n5\n\n\n", 7},
      {"1\n2", 2},
      {"1\nword\n;x\n  \n", 3},
      {"", 0},
  };
  for (const auto &c : cases) {
    MemFile f(c.text);
    EXPECT_EQ(count_data_lines(f.fp, line), c.rows) << c.text;
  }
}

// The counting pass against the plain loop of fgets reads with the buffer's
// capacity, on random text where lines are often longer than the buffer.
TEST_F(Examine, RowCapacityAgreesWithCountingFgetsReadsOnRandomText) {
  std::mt19937_64 rng(4242);
  for (int round = 0; round < 3000; ++round) {
    int64_t &line_size = line.capacity;
    line_size = 2 + static_cast<int64_t>(rng() % 24);
    const std::string text =
        random_text(rng, static_cast<int>(rng() % 15), static_cast<int>(line_size));
    MemFile a(text), b(text);
    std::vector<char> buf(line_size);
    uint32_t want = 0;
    while (ref_read_data_line(b.fp, buf.data(), static_cast<int>(line_size), kCommentChars) >= 0)
      ++want;
    ASSERT_EQ(count_data_lines(a.fp, line), want) << "capacity " << line_size << ": " << text;
  }
}

// The count in parts against the count in one pass, on regular files whose
// lines are often cut into pieces by a tiny buffer, so that comment
// characters, NUL bytes and CRs land at piece starts, at line starts and at
// the ends of parts alike.
TEST_F(Examine, RowCapacityInPartsIsTheOnePassCount) {
  static const char alphabet[] = "12 #;!x\t\r\n\n\n";
  std::mt19937_64 rng(777);
  for (int round = 0; round < 400; ++round) {
    line.capacity = 2 + static_cast<int64_t>(rng() % 24);
    std::string text(rng() % 1200, ' ');
    for (char &ch : text) ch = rng() % 40 == 0 ? '\0' : alphabet[rng() % (sizeof alphabet - 1)];
    if (rng() % 3 == 0) text += "\r\n";
    FILE *f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    const uint32_t want = count_data_lines(f, line);
    for (uint32_t threads : {2u, 3u, 8u}) {
      Workers w(threads);
      for (uint64_t part : {1u, 7u, 64u}) {
        std::rewind(f);
        ASSERT_EQ(count_data_lines(f, line, w, part), want)
            << "capacity " << line.capacity << ", " << threads << " threads, parts of " << part
            << ": " << testing::PrintToString(text);
      }
    }
    std::fclose(f);
  }
}
