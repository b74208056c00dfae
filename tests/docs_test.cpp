// The user documentation against the switch tables: every switch the parser
// knows must be documented in the man page and in the README, and the man
// page must render cleanly.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "options.h"

namespace {

std::string source_path(const char *relative) {
  return std::string(VANTOR_SOURCE_DIR) + "/" + relative;
}

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The man page writes a minus as "\-"; documentation is searched as read.
std::string man_page_text() {
  std::string raw = read_file(source_path("doc/vantor.1"));
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == '-') continue;
    out += raw[i];
  }
  return out;
}

bool is_name_char(char ch) {
  return std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '_';
}

// "--name" standing on its own: not the tail of a longer word and not the
// start of a longer name ("--tetrad" must not be found in "--oldtetrad").
bool mentions_long(const std::string &text, const std::string &name) {
  const std::string word = "--" + name;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    bool starts = at == 0 || !is_name_char(text[at - 1]);
    size_t end = at + word.size();
    bool ends = end == text.size() || !is_name_char(text[end]);
    if (starts && ends) return true;
  }
  return false;
}

// "-x" as a switch: not inside a long name ("--allscores" holds "-a") or a
// number ("1e-4"); a value may follow attached ("-e5", "-t-", "-c+").
bool mentions_short(const std::string &text, char letter) {
  const std::string word = std::string("-") + letter;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    bool starts = at == 0 || !is_name_char(text[at - 1]);
    size_t end = at + word.size();
    bool ends = end == text.size() || !std::isalpha(static_cast<unsigned char>(text[end]));
    if (starts && ends) return true;
  }
  return false;
}

// The switches a user types: the lower-case letters, '4' and '?'. The
// upper-case letters are the same switches and are documented once, as such.
std::string documented_short_letters() {
  std::string letters;
  for (const char *p = kShortOptions; *p; ++p) {
    char ch = *p;
    if (std::islower(static_cast<unsigned char>(ch)) || ch == '4' || ch == '?') letters += ch;
  }
  return letters;
}

struct Document {
  const char *name;
  std::string text;
};

std::vector<Document> documents() {
  return {{"doc/vantor.1", man_page_text()}, {"README.md", read_file(source_path("README.md"))}};
}

TEST(Documentation, EveryLongSwitchIsDocumented) {
  int seen = 0;
  for (const Document &doc : documents()) {
    ASSERT_FALSE(doc.text.empty()) << doc.name << " is missing or empty";
    for (const struct option *o = kLongOptions; o->name != nullptr; ++o) {
      ++seen;
      EXPECT_TRUE(mentions_long(doc.text, o->name)) << doc.name << " lacks --" << o->name;
    }
  }
  EXPECT_GT(seen, 40);  // the table was walked in both documents
}

TEST(Documentation, EveryShortSwitchIsDocumented) {
  const std::string letters = documented_short_letters();
  ASSERT_NE(letters.find('4'), std::string::npos);
  ASSERT_NE(letters.find('?'), std::string::npos);
  for (const Document &doc : documents()) {
    ASSERT_FALSE(doc.text.empty()) << doc.name << " is missing or empty";
    for (char letter : letters)
      EXPECT_TRUE(mentions_short(doc.text, letter)) << doc.name << " lacks -" << letter;
  }
}

// The matchers must not be fooled by a switch that only appears inside
// another one: these texts document nothing.
TEST(Documentation, MatchersIgnoreSwitchesInsideLongerWords) {
  EXPECT_FALSE(mentions_long("--oldtetrad", "tetrad"));
  EXPECT_FALSE(mentions_long("--zsquare", "square"));
  EXPECT_FALSE(mentions_long("--scores-mean", "mean"));
  EXPECT_FALSE(mentions_long("--tetrads", "tetrad"));
  EXPECT_FALSE(mentions_short("--allscores", 'a'));
  EXPECT_FALSE(mentions_short("1e-4", '4'));
  EXPECT_FALSE(mentions_short("re-enter", 'e'));
  EXPECT_TRUE(mentions_long("(--tetrad=off)", "tetrad"));
  EXPECT_TRUE(mentions_short("`-e5`", 'e'));
  EXPECT_TRUE(mentions_short("-t-", 't'));
  EXPECT_TRUE(mentions_short("| -? |", '?'));
}

TEST(Documentation, ManPageRendersWithoutWarnings) {
  if (std::system("command -v groff >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "groff is not installed";
  const std::string command = "groff -man -ww -z '" + source_path("doc/vantor.1") + "' 2>&1";
  FILE *pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char chunk[512];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
  int status = pclose(pipe);
  EXPECT_EQ(output, "");
  EXPECT_EQ(status, 0);
}

}  // namespace
