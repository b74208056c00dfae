// The invocation record: quoting, escaping and the split at "=".
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <vector>

#include "cli/invlog.h"

static std::string record_of(std::vector<std::string> args) {
  std::vector<char *> argv;
  for (auto &a : args) argv.push_back(a.data());
  std::setlocale(LC_TIME, "C");
  std::string rec = invocation_record(static_cast<int>(argv.size()), argv.data(), 0);
  // Drop the timestamp ("01/01/70 00:00:00" in UTC).
  return rec.substr(rec.find(' ', 9));
}

TEST(InvocationRecord, PlainArgumentsFollowOneBlankEach) {
  EXPECT_EQ(record_of({"vantor", "-c", "data.txt"}), " vantor -c data.txt\n");
}

TEST(InvocationRecord, BlanksCommasAndAsterisksAreQuoted) {
  EXPECT_EQ(record_of({"vantor", "-s", "1 2 3", "my data.txt"}),
            " vantor -s \"1 2 3\" \"my data.txt\"\n");
  EXPECT_EQ(record_of({"vantor", "--sort=3 1 2"}), " vantor --sort=\"3 1 2\"\n");
  EXPECT_EQ(record_of({"vantor", "--sort= "}), " vantor --sort=\" \"\n");
  EXPECT_EQ(record_of({"vantor", "--sort="}), " vantor --sort=\n");
  EXPECT_EQ(record_of({"vantor", "--x,y"}), " vantor \"--x,y\"\n");
  EXPECT_EQ(record_of({"vantor", "*"}), " vantor \"*\"\n");
}

TEST(InvocationRecord, QuotesAndBackslashesAreEscapedInQuotedFields) {
  EXPECT_EQ(record_of({"vantor", "a \"b\"\\c"}), " vantor \"a \\\"b\\\"\\\\c\"\n");
  EXPECT_EQ(record_of({"vantor", "--sort=a \"b"}), " vantor --sort=\"a \\\"b\"\n");
  // An unquoted field is written unchanged, quote and all.
  EXPECT_EQ(record_of({"vantor", "a\"b"}), " vantor a\"b\n");
}
