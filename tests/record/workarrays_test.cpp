// The work arrays of a file: what the process can still obtain bounds them
// together, and the first array past it is refused before it is made.
#include "record/workarrays.h"

#include <gtest/gtest.h>

#include <string>

#include "base/messages.h"

TEST(WorkArrays, TheFirstArrayPastTheUsableMemoryIsRefusedBeforeItIsMade) {
  // 100 columns, 10 rows: v 10400, pc 80000, pcs 400, position 400, root
  // 800, sortarr 400, sortarr1 400, histogram 240 bytes make 93040; the
  // 12000 bytes of *histogram would take the file to 105040.
  const struct {
    uint64_t usable;
    const char *message;
    int lines;  // allocation lines shown before the refusal
  } cases[] = {
      {105039, "Not enough memory (*histogram, 12000)", 9},
      {105040, "Not enough memory (ss, 800)", 10},
      {10399, "Not enough memory (v, 10400)", 1},
  };
  for (const auto &c : cases) {
    MemoryTally tally;
    const Console con{stdout, stderr, false};
    testing::internal::CaptureStderr();
    std::string message;
    try {
      make_analysis(10, 100, WorkArraySettings{30, true, c.usable}, tally, con);
    } catch (const RunEnd &end) {
      message = end.message;
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(message, c.message) << c.usable;
    int lines = 0;
    for (char ch : err) lines += ch == '\n';
    EXPECT_EQ(lines, c.lines) << err;
  }
}

TEST(WorkArrays, ATableThatFitsIsMadeWhateverTheLimitsSay) {
  MemoryTally tally;
  const Console con{stdout, stderr, true};
  const Analysis a = make_analysis(10, 100, WorkArraySettings{30, false, UINT64_MAX}, tally, con);
  EXPECT_EQ(tally.total, 355520u);  // the figure "Memory need" reports
  EXPECT_TRUE(a.data);
}
