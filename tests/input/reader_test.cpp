// The line reader: comment skipping, fgets pieces, the end-of-file
// indicator, rereading of over-long lines and buffer growth.
#include "input/reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/input_fixture.h"
#include "base/messages.h"

namespace {
const Console kConsole{stdout, stderr, false};
}  // namespace

namespace {

std::vector<std::string> read_all(const std::string &text, int64_t cap, size_t window) {
  MemFile f(text);
  LineReader r;
  reader_open(r, f.fp, window);
  std::vector<std::string> lines;
  std::vector<char> buf(static_cast<size_t>(cap));
  for (int64_t len; (len = read_data_line(r, buf.data(), cap, kCommentChars)) >= 0;)
    lines.emplace_back(buf.data(), static_cast<size_t>(len));
  return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(ReadDataLine, OnlyAFirstCommentCharacterMakesACommentLine) {
  const struct {
    const char *text;
    Lines lines;
  } cases[] = {
      {"#a\n;b\n!c\n1 2\n", {"1 2\n"}},
      {"1 2 # note\n  # indented\n\n", {"1 2 # note\n", "  # indented\n", "\n"}},
      {"#only\n;comments\n", {}},
      {"", {}},
      {"1\n#last comment without line end", {"1\n"}},
      {"1\n2", {"1\n", "2"}},
      {"x#\n#\n\n#\ny", {"x#\n", "\n", "y"}},
  };
  for (const auto &c : cases) EXPECT_EQ(read_all(c.text, 256, 4096), c.lines) << c.text;
}

TEST(ReadDataLine, CutsLinesAsFgetsDoesAndCommentsAreSkippedWhole) {
  // Capacity 5: at most four bytes per piece. A continuation piece that
  // starts with '#' is skipped as a comment line, as fgets callers saw it.
  EXPECT_EQ(read_all("123456789\n", 5, 3), (Lines{"1234", "5678", "9\n"}));
  EXPECT_EQ(read_all("1234\n", 5, 3), (Lines{"1234", "\n"}));
  EXPECT_EQ(read_all("1234#67\n8\n", 5, 3), (Lines{"1234", "8\n"}));
  EXPECT_EQ(read_all(std::string(1000, '#') + "\n1\n", 5, 7), (Lines{"1\n"}));
}

TEST(ReadDataLine, NulBytesAreReadAsPartOfTheLine) {
  const std::string text("1 2\0 3\n\0\0\n4", 11);
  EXPECT_EQ(read_all(text, 256, 5),
            (Lines{std::string("1 2\0 3\n", 7), std::string("\0\0\n", 3), "4"}));
}

// The windowed reader against fgetc/fgets on random text: same pieces, same
// end-of-file indicator after each read, whatever the window size.
TEST(ReadDataLine, AgreesWithFgetsOnRandomText) {
  std::mt19937_64 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    const int cap = 2 + static_cast<int>(rng() % 20);
    const std::string text = random_text(rng, 1 + static_cast<int>(rng() % 12), cap);
    const size_t window = 1 + rng() % 9;
    MemFile a(text), b(text);
    LineReader r;
    reader_open(r, a.fp, window);
    std::vector<char> got(cap), want(cap);
    for (;;) {
      const long w = ref_read_data_line(b.fp, want.data(), cap, kCommentChars);
      const int64_t g = read_data_line(r, got.data(), cap, kCommentChars);
      ASSERT_EQ(g, w) << text;
      ASSERT_EQ(r.eof, std::feof(b.fp) != 0) << text;
      if (w < 0) break;
      ASSERT_EQ(std::string(got.data(), g), std::string(want.data(), w)) << text;
    }
  }
}

TEST(WholeLine, FirstLineJustFittingIsReadAtOnceAndOneByteMoreIsReread) {
  for (const int extra : {0, 1}) {
    const std::string row(40958 + extra, '1');
    MemFile f(row + "\n2\n");
    LineReader r;
    reader_open(r, f.fp);
    GrowableLine g = make_line_buffer(40960, "line");
    CArray<char> &buf = g.bytes;
    int64_t &cap = g.capacity;
    testing::internal::CaptureStderr();
    const int64_t len = read_whole_data_line(r, g, kConsole);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(len, 40959 + extra);
    EXPECT_EQ(std::string(buf.get()), row + "\n");
    EXPECT_EQ(cap, extra ? 81920 : 40960);
    EXPECT_EQ(err, extra ? "\nMessage: Line to long (>40960). Rereading.\n" : "");
    // The reader goes on with the next line.
    EXPECT_EQ(read_whole_data_line(r, g, kConsole), 2);
  }
}

TEST(WholeLine, LastLineWithoutLineEndIsWholeUnlessItFillsThePiece) {
  const struct {
    std::string text;
    int64_t final_cap;
    int messages;
  } cases[] = {
      {std::string(254, '1'), 256, 0},  // end of file seen while reading
      {std::string(255, '1'), 512, 1},  // fgets stopped before looking
      {std::string(1100, '1'), 2048, 3},
      {"#" + std::string(5000, 'c') + "\n7", 256, 0},  // long comment: no growth
  };
  for (const auto &c : cases) {
    MemFile f(c.text);
    LineReader r;
    reader_open(r, f.fp, 100);
    GrowableLine g = make_line_buffer(256, "buff");
    CArray<char> &buf = g.bytes;
    int64_t &cap = g.capacity;
    testing::internal::CaptureStderr();
    const int64_t len = read_whole_data_line(r, g, kConsole);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(cap, c.final_cap);
    EXPECT_EQ(std::string(buf.get(), len), c.text.substr(c.text.find_last_of("\n") + 1));
    size_t count = 0;
    for (size_t at = 0; (at = err.find("Line to long", at)) != std::string::npos; ++at) ++count;
    EXPECT_EQ(count, static_cast<size_t>(c.messages)) << err;
    EXPECT_TRUE(r.eof);
  }
}

// Rereading with a doubled buffer from where the line began, the way the
// protocol is stated, gives the same lines and capacities as the reader's
// reading on from the cut.
TEST(WholeLine, AgreesWithSeekingBackAndRereadingOnRandomText) {
  std::mt19937_64 rng(777);
  for (int round = 0; round < 1500; ++round) {
    const int64_t cap0 = 2 + static_cast<int64_t>(rng() % 6);
    const std::string text =
        random_text(rng, 1 + static_cast<int>(rng() % 8), 3 * static_cast<int>(cap0));
    MemFile a(text), b(text);
    LineReader r;
    reader_open(r, a.fp, 1 + rng() % 7);
    GrowableLine g = make_line_buffer(cap0, "buff");
    CArray<char> &buf = g.bytes;
    int64_t &cap = g.capacity;
    std::vector<char> want(cap0);
    testing::internal::CaptureStderr();
    for (;;) {
      const long pos = std::ftell(b.fp);
      long w = ref_read_data_line(b.fp, want.data(), static_cast<int>(want.size()), kCommentChars);
      while (w >= 0 && std::strchr(want.data(), '\n') == nullptr && !std::feof(b.fp)) {
        want.resize(want.size() * 2);
        std::fseek(b.fp, pos, SEEK_SET);
        w = ref_read_data_line(b.fp, want.data(), static_cast<int>(want.size()), kCommentChars);
      }
      const int64_t got = read_whole_data_line(r, g, kConsole);
      ASSERT_EQ(got, w) << text;
      if (w < 0) break;
      ASSERT_EQ(cap, static_cast<int64_t>(want.size())) << text;
      ASSERT_EQ(std::string(buf.get(), got), std::string(want.data(), w)) << text;
      ASSERT_EQ(r.eof, std::feof(b.fp) != 0) << text;
    }
    testing::internal::GetCapturedStderr();
  }
}

TEST(WholeLine, ABinaryFileWithoutLineEndsGrowsOnlyToItsOwnSize) {
  std::string blob(300000, '\0');
  for (size_t i = 0; i < blob.size(); ++i) {
    const char ch = static_cast<char>(i % 251);
    blob[i] = ch == '\n' ? '\0' : ch;
  }
  MemFile f(blob);
  LineReader r;
  reader_open(r, f.fp, 4096);
  GrowableLine g = make_line_buffer(256, "buff");
  int64_t &cap = g.capacity;
  testing::internal::CaptureStderr();
  const int64_t len = read_whole_data_line(r, g, kConsole);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(len, static_cast<int64_t>(blob.size()));
  EXPECT_EQ(cap, 524288);
  EXPECT_EQ(read_whole_data_line(r, g, kConsole), -1);
}

TEST(GrowLineBuffer, AGrowthThatCannotBeMetReleasesTheBufferAndNamesIt) {
  const struct {
    int64_t cap;
    const char *message;
  } cases[] = {
      {INT64_MAX / 2 + 1, "Not enough memory (buff, 9223372036854775807)"},  // doubling overflows
      {int64_t{1} << 61, "Not enough memory (buff, 4611686018427387904)"},   // beyond any memory
  };
  for (const auto &c : cases) {
    GrowableLine g = make_line_buffer(16, "buff");
    g.capacity = c.cap;
    try {
      grow_line_buffer(g);
      ADD_FAILURE() << "grew to " << g.capacity;
    } catch (const RunEnd &end) {
      EXPECT_EQ(end.message, c.message);
      EXPECT_FALSE(g.bytes);
    }
  }
}
