// Abbreviated long switches: every abbreviation that users may have typed
// against today's table must keep meaning the same switch as switches are
// appended to kLongOptions.
#include <getopt.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/options.h"

namespace {

// How getopt_long tells switches apart when several match an abbreviation.
struct LongEntry {
  std::string name;
  int has_arg;
  std::string flag;  // what the switch stores into; empty for a return value
  int val;
};

// The long table as released, in order. Do not edit: it is the reference
// that the live table is held to.
const std::vector<LongEntry> kReleasedLongOptions = {
    {"allscores", no_argument, "", 'a'},
    {"stddev", no_argument, "", 'b'},
    {"correlation", optional_argument, "", 'c'},
    {"debug", no_argument, "debug", 1},
    {"eigenvalues", optional_argument, "", 'e'},
    {"fsc-file", optional_argument, "", 'f'},
    {"histogram", optional_argument, "", 'h'},
    {"inverse", no_argument, "", 'i'},
    {"language", required_argument, "", 'l'},
    {"mean", optional_argument, "", 'm'},
    {"scores-mean", no_argument, "", 'n'},
    {"copyright", no_argument, "", 'q'},
    {"sort", required_argument, "", 's'},
    {"tetrad", optional_argument, "", 't'},
    {"covariance", optional_argument, "", 'v'},
    {"transpose", no_argument, "", 'x'},
    {"where", required_argument, "", 1},
    {"split-file", no_argument, "", 'z'},
    {"oldtetrad", optional_argument, "", 2},
    {"quiet", no_argument, "", 3},
    {"silence", no_argument, "", 3},
    {"help", no_argument, "", '?'},
    {"more", no_argument, "more", 1},
    {"timer", no_argument, "timer", 1},
    {"quartiles", no_argument, "quartiles", 1},
    {"square", no_argument, "square", 2},
    {"zsquare", no_argument, "square", 1},
};

// The long-only extensions as released, each with a code of its own (the
// codes only tell actions apart). Append new ones; do not edit.
const std::vector<LongEntry> kExtensionLongOptions = {
    {"csv", no_argument, "", 100},           {"names", no_argument, "", 101},
    {"missing", required_argument, "", 102}, {"results-dir", required_argument, "", 103},
    {"json", optional_argument, "", 104},    {"report", no_argument, "", 105},
    {"threads", required_argument, "", 106}, {"pearson", no_argument, "", 107},
    {"numbers-only", no_argument, "", 108},  {"keep-going", no_argument, "", 109},
    {"version", no_argument, "", 110},       {"no-log", no_argument, "", 111},
    {"switches", no_argument, "", 112},      {"separator", required_argument, "", 113},
    {"comma-decimals", no_argument, "", 114}, {"columns", required_argument, "", 115},
    {"skip-columns", required_argument, "", 116}, {"conventional", no_argument, "", 117},
    {"use", required_argument, "", 118},     {"by", required_argument, "", 119},
    {"group-limit", required_argument, "", 120}, {"max-memory", required_argument, "", 121},
    {"rank", required_argument, "", 122},    {"ci", required_argument, "", 123},
    {"summary-file", no_argument, "", 124},  {"rotate", required_argument, "", 125},
};

const char kAmbiguous[] = "(ambiguous)";
const char kUnknown[] = "(unknown)";

bool same_action(const LongEntry &a, const LongEntry &b) {
  return a.has_arg == b.has_arg && a.flag == b.flag && a.val == b.val;
}

// getopt_long's rule: an exact name wins; else the first entry the word
// abbreviates, unless a later one does something different.
std::string resolve(const std::vector<LongEntry> &table, const std::string &word) {
  for (const LongEntry &e : table)
    if (e.name == word) return e.name;
  const LongEntry *found = nullptr;
  for (const LongEntry &e : table) {
    if (e.name.compare(0, word.size(), word) != 0) continue;
    if (found == nullptr) found = &e;
    else if (!same_action(*found, e)) return kAmbiguous;
  }
  return found ? found->name : kUnknown;
}

std::vector<LongEntry> live_table() {
  std::vector<LongEntry> out;
  for (const struct option *o = kLongOptions; o->name != nullptr; ++o) {
    std::string flag = o->flag ? std::to_string(reinterpret_cast<uintptr_t>(o->flag)) : "";
    out.push_back({o->name, o->has_arg, flag, o->val});
  }
  return out;
}

// What the parser itself makes of "--word x": the switch's name, or empty
// when it refuses the word.
std::string parsed_by_getopt(const std::string &word) {
  std::string program = "vantor", arg = "--" + word, value = "x";
  char *argv[] = {program.data(), arg.data(), value.data(), nullptr};
  const int saved_opterr = opterr;
  opterr = 0;
  optind = 0;
  int index = -1;
  getopt_long(3, argv, kShortOptions, kLongOptions, &index);
  opterr = saved_opterr;
  optind = 0;
  return index >= 0 ? kLongOptions[index].name : "";
}

// Every abbreviation, full names included, of the switches of a table.
std::vector<std::string> abbreviations(const std::vector<LongEntry> &table) {
  std::vector<std::string> words;
  for (const LongEntry &e : table)
    for (size_t n = 1; n <= e.name.size(); ++n) words.push_back(e.name.substr(0, n));
  return words;
}

std::vector<std::string> released_words() { return abbreviations(kReleasedLongOptions); }

// The released switches followed by the released extensions.
std::vector<LongEntry> released_with_extensions() {
  std::vector<LongEntry> table = kReleasedLongOptions;
  table.insert(table.end(), kExtensionLongOptions.begin(), kExtensionLongOptions.end());
  return table;
}

}  // namespace

TEST(LongOptionPrefix, ReleasedAbbreviationsResolveAsTheyDidInTheReleasedTable) {
  const std::vector<LongEntry> live = live_table();
  ASSERT_GE(live.size(), kReleasedLongOptions.size());
  for (const std::string &word : released_words())
    EXPECT_EQ(resolve(live, word), resolve(kReleasedLongOptions, word)) << "--" << word;
}

// An extension's abbreviation that works (--sw for --switches, --cs for
// --csv) keeps working as switches are appended.
TEST(LongOptionPrefix, ExtensionAbbreviationsResolveAsTheyDidWhenReleased) {
  const std::vector<LongEntry> live = live_table(), reference = released_with_extensions();
  ASSERT_GE(live.size(), reference.size());
  for (const std::string &word : abbreviations(reference))
    EXPECT_EQ(resolve(live, word), resolve(reference, word)) << "--" << word;
  EXPECT_EQ(resolve(live, "sw"), "switches");
}

TEST(LongOptionPrefix, GetoptLongAgreesWithTheRuleOnTheLiveTable) {
  const std::vector<LongEntry> live = live_table();
  for (const std::string &word : abbreviations(released_with_extensions())) {
    std::string want = resolve(live, word);
    if (want == kAmbiguous || want == kUnknown) want.clear();
    EXPECT_EQ(parsed_by_getopt(word), want) << "--" << word;
  }
}

TEST(LongOptionPrefix, SwitchesWithOneActionShareAnAbbreviation) {
  const std::vector<LongEntry> aliases = {{"verbose", no_argument, "", 'V'},
                                          {"verbosity", no_argument, "", 'V'},
                                          {"version", no_argument, "", 'W'}};
  EXPECT_EQ(resolve(aliases, "verbo"), "verbose");
  EXPECT_EQ(resolve(aliases, "verb"), "verbose");
  EXPECT_EQ(resolve(aliases, "ver"), kAmbiguous);
  EXPECT_EQ(resolve(aliases, "versio"), "version");
  EXPECT_EQ(resolve(aliases, "x"), kUnknown);
}
