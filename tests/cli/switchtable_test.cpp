// The switch table against itself and the parser: ranks and names unique,
// every long switch read back by getopt as its own row, and a long name and
// its letter giving the same option record.
#include <getopt.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/messages.h"
#include "cli/options.h"
#include "cli/switchtable.h"

namespace {

// A value each kind of switch accepts.
const char *sample_value(const SwitchRow &row) {
  const std::string name = row.name != nullptr ? row.name : "";
  if (name == "separator") return ";";
  if (name == "use") return "pairwise";
  if (name == "json") return "-";
  if (name == "sort" || name == "columns" || name == "skip-columns" || name == "by") return "2";
  if (name == "max-memory") return "4K";
  if (name == "rank") return "kendall";
  if (name == "ci") return "0.9";
  if (name == "rotate") return "promax";
  return row.value == SwitchValue::optional ? "on" : "3";
}

// Switches that print, end the run or need another: not parsed here.
bool acts_at_once(const SwitchRow &row) {
  for (const char c : std::string("q?xgwl"))
    if (row.letter == c) return true;
  const std::set<std::string> names{"where", "switches", "version", "columns", "skip-columns"};
  return row.name != nullptr && names.count(row.name) > 0;
}

// The switches read from the words, without a program name.
Switches parsed_alone(std::vector<std::string> words) {
  words.insert(words.begin(), "vantor");
  std::vector<char *> argv;
  for (std::string &w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const CommandLine cl = parse_switches(static_cast<int>(words.size()), argv.data());
  if (cl.error) std::rethrow_exception(cl.error);
  return cl.switches;
}

// Each switch is read beside --conventional and -e, which some need.
Switches parsed(std::vector<std::string> words) {
  words.insert(words.begin(), {"--conventional", "-e"});
  return parsed_alone(words);
}

bool same(const Switches &a, const Switches &b) {
  return a.output.tetrad == b.output.tetrad && a.output.oldtetrad == b.output.oldtetrad &&
         a.output.correlation == b.output.correlation &&
         a.output.covariance == b.output.covariance && a.output.mean == b.output.mean &&
         a.analysis.eigenvalues == b.analysis.eigenvalues &&
         a.analysis.scores == b.analysis.scores && a.output.histogram == b.output.histogram &&
         a.analysis.bins == b.analysis.bins && a.output.fsc_file == b.output.fsc_file &&
         a.analysis.four == b.analysis.four && a.analysis.scores_mean == b.analysis.scores_mean &&
         a.read.inverse == b.read.inverse && a.read.sort_list == b.read.sort_list &&
         a.output.split_file == b.output.split_file &&
         a.analysis.allscores == b.analysis.allscores && a.output.stddev == b.output.stddev &&
         a.run.debug == b.run.debug;
}

}  // namespace

TEST(SwitchTable, RanksAndNamesAreUniqueAndEveryListedRowHasAMeaning) {
  std::set<int> ranks;
  std::set<std::string> names;
  std::set<char> letters;
  int aliases = 0;
  for (const SwitchRow &row : switch_table()) {
    if (row.rank >= 0) {
      EXPECT_TRUE(ranks.insert(row.rank).second) << row.name;
    }
    if (row.name != nullptr) {
      EXPECT_TRUE(names.insert(row.name).second) << row.name;
    }
    if (row.letter != 0) {
      EXPECT_TRUE(letters.insert(row.letter).second) << row.letter;
    }
    aliases += row.alias != nullptr ? 1 : 0;
    EXPECT_EQ(row.forms == nullptr, row.meaning == nullptr);
    EXPECT_EQ(row.name == nullptr, row.rank < 0);
  }
  // The ranks leave no gap but the place after a switch with an alias,
  // which the alias takes: a new switch takes the next one.
  EXPECT_EQ(*ranks.rbegin() + 1, static_cast<int>(ranks.size()) + aliases);
}

TEST(SwitchTable, EachLongNameIsReadAsItsOwnRowAndEqualsItsLetter) {
  for (const SwitchRow &row : switch_table()) {
    if (row.name == nullptr || acts_at_once(row)) continue;
    const bool valued = row.value != SwitchValue::none && !row.value_short_only;
    const std::string long_form =
        std::string("--") + row.name + (valued ? std::string("=") + sample_value(row) : "");
    const Switches by_name = parsed({long_form});
    if (row.letter == 0) continue;
    std::vector<std::string> short_form{std::string("-") + row.letter};
    if (row.value == SwitchValue::required) short_form.push_back(sample_value(row));
    else if (valued) short_form[0] += sample_value(row);
    EXPECT_TRUE(same(by_name, parsed(short_form))) << long_form;
  }
}

// --rotate by its name and its abbreviation, and refused without what it
// rotates or with a method it does not know.
TEST(SwitchTable, RotateIsReadOnlyWithConventionalComponents) {
  struct Case {
    std::vector<std::string> words;
    RotateChoice want;  // none: refused
  };
  const Case cases[] = {
      {{"--conventional", "-e", "--rotate=varimax"}, RotateChoice::varimax},
      {{"--conventional", "-e2", "--ro=promax"}, RotateChoice::promax},
      {{"--conventional", "-f", "--rotate", "varimax"}, RotateChoice::varimax},
      {{"--conventional", "-e", "--rotate=oblimin"}, RotateChoice::none},
      {{"--conventional", "--rotate=varimax"}, RotateChoice::none},
      {{"-e", "--rotate=varimax"}, RotateChoice::none},
  };
  for (const Case &c : cases) {
    if (c.want == RotateChoice::none) {
      EXPECT_THROW(parsed_alone(c.words), RunEnd) << c.words.back();
    } else {
      EXPECT_EQ(parsed_alone(c.words).analysis.rotate, c.want) << c.words.back();
    }
  }
}
