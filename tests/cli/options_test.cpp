// The two value grammars of the switches.
#include <gtest/gtest.h>

#include "base/messages.h"
#include "cli/options.h"

TEST(WordValue, PrefixesDecideAndEverythingElseIsRefused) {
  EXPECT_EQ(word_value("-c", nullptr), 1);
  EXPECT_EQ(word_value("-c", "-"), 0);
  EXPECT_EQ(word_value("-c", "offline"), 0);
  EXPECT_EQ(word_value("-c", "+"), 1);
  EXPECT_EQ(word_value("-c", "one"), 1);
  for (const char *bad : {"", "ON", "5", "yes", "of"}) {
    try {
      word_value("-v", bad);
      ADD_FAILURE() << bad;
    } catch (const RunEnd &end) {
      EXPECT_EQ(end.message, std::string("Need a numeric argument to option -v (") + bad + ")\n");
    }
  }
}

TEST(NumberValue, PositiveNumbersSetTheCountAndWordsStillDecide) {
  unsigned int count = 3;
  EXPECT_EQ(number_value(nullptr, &count), 1);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(number_value("0", &count), 0);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(number_value("7", &count), 1);
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(number_value("12abc", &count), 1);
  EXPECT_EQ(count, 12u);
  EXPECT_EQ(number_value("", &count), 0);
  EXPECT_EQ(number_value("off", &count), 0);
  EXPECT_EQ(number_value("+", &count), 1);
  EXPECT_EQ(number_value("on", &count), 1);
  EXPECT_EQ(number_value("-", &count), 0);
  EXPECT_EQ(count, 12u);
  EXPECT_EQ(number_value("+5", &count), 1);
  EXPECT_EQ(count, 5u);
}

TEST(NumberValue, NegativeAndOutOfRangeNumbersEndTheRun) {
  unsigned int count = 3;
  try {
    number_value("-5", &count);
    ADD_FAILURE();
  } catch (const RunEnd &end) {
    EXPECT_EQ(end.message, "Only positive numbers\n");
  }
  for (const char *big : {"2147483648", "99999999999", "-2147483649"}) {
    try {
      number_value(big, &count);
      ADD_FAILURE() << big;
    } catch (const RunEnd &end) {
      EXPECT_EQ(end.status, 1);
      EXPECT_EQ(end.message, "");
    }
  }
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(number_value("2147483647", &count), 1);
  EXPECT_EQ(count, 2147483647u);
}
