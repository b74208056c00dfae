// The two value grammars of the switches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The parser prints nothing and ends nothing: what the switches say, the
// switch that ends the run and the error come back for the driver.
TEST(ParseSwitches, ReturnsWhatTheSwitchesSayAndDo) {
  struct Case {
    std::vector<std::string> words;
    std::string said;
    SwitchEnd end;
    std::string error;  // the RunEnd's message, "-" for none
  };
  const std::string copyright = kCopyright;
  const Case cases[] = {
      {{"-q", "--where=x"}, copyright + "vantor\n", SwitchEnd::none, "-"},
      {{"--version", "--bogus"}, "", SwitchEnd::version, "-"},
      {{"-q", "-?", "-q"}, copyright, SwitchEnd::usage, "-"},
      {{"--switches"}, "", SwitchEnd::switch_list, "-"},
      // A switch getopt does not know is '?' to it: the usage.
      {{"-q", "--bogus", "--version"}, copyright + "vantor: unrecognized option '--bogus'\n",
       SwitchEnd::usage, "-"},
      {{"-e2147483648"}, "strtol: Numerical result out of range\n", SwitchEnd::none, ""},
      {{"--rotate=varimax"}, "", SwitchEnd::none, "--rotate needs --conventional\n"},
  };
  for (const Case &c : cases) {
    std::vector<std::string> words = c.words;
    words.insert(words.begin(), "vantor");
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const CommandLine cl = parse_switches(static_cast<int>(words.size()), argv.data());
    EXPECT_EQ(cl.said, c.said) << words[1];
    EXPECT_EQ(cl.end, c.end) << words[1];
    std::string error = "-";
    try {
      if (cl.error) std::rethrow_exception(cl.error);
    } catch (const RunEnd &end) {
      error = end.message;
    }
    EXPECT_EQ(error, c.error) << words[1];
  }
}
