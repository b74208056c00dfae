// The user documentation against the program: every switch the parser knows
// must be documented in the man page, the README and the --switches list,
// the man page must render cleanly, and the README's quick start must be what
// the program does with the bundled examples.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/switchlist.h"

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

// --switches lists every switch the parser knows, the extensions too.
TEST(Documentation, SwitchListHoldsEverySwitch) {
  const std::string list = switch_list_text();
  for (const struct option *o = kLongOptions; o->name != nullptr; ++o)
    EXPECT_TRUE(mentions_long(list, o->name)) << "--switches lacks --" << o->name;
  for (char letter : documented_short_letters())
    EXPECT_TRUE(mentions_short(list, letter)) << "--switches lacks -" << letter;
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

// The quick start of the README, replayed: its "$ vantor ..." lines are run
// in that order in a scratch copy of examples/, and the text shown under
// each "$ cat FILE" must be the file the program wrote there (trailing
// blanks aside, which the README does not keep).
struct QuickStartStep {
  bool is_cat;
  std::string argument;               // the switches and files, or the file
  std::vector<std::string> shown;     // lines shown under a cat
};

std::string rstrip(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  return text;
}

std::vector<std::string> split_lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<QuickStartStep> quick_start_steps(const std::string &readme) {
  std::vector<QuickStartStep> steps;
  const std::string indent = "    ";
  QuickStartStep *cat = nullptr;
  for (const std::string &line : split_lines(readme)) {
    if (line.rfind(indent + "$ vantor ", 0) == 0) {
      steps.push_back({false, line.substr(indent.size() + 9), {}});
      cat = nullptr;
    } else if (line.rfind(indent + "$ cat ", 0) == 0) {
      steps.push_back({true, line.substr(indent.size() + 6), {}});
      cat = &steps.back();
    } else if (cat != nullptr && line.rfind(indent, 0) == 0) {
      cat->shown.push_back(rstrip(line.substr(indent.size())));
    } else {
      cat = nullptr;
    }
  }
  return steps;
}

struct ScratchDir {
  std::string path;
  ScratchDir() {
    char name[] = "/tmp/vantor-docs-XXXXXX";
    path = mkdtemp(name) != nullptr ? name : "";
  }
  ~ScratchDir() {
    if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
  }
};

TEST(Documentation, QuickStartShowsWhatTheProgramWrites) {
  const std::vector<QuickStartStep> steps = quick_start_steps(read_file(source_path("README.md")));
  int runs = 0, cats = 0;
  for (const QuickStartStep &step : steps) (step.is_cat ? cats : runs)++;
  ASSERT_GE(runs, 3) << "the README quick start lost its vantor commands";
  ASSERT_GE(cats, 3) << "the README quick start lost its result files";

  ScratchDir dir;
  ASSERT_FALSE(dir.path.empty());
  const std::string examples = "'" + source_path("examples") + "'";
  ASSERT_EQ(std::system(("cp " + examples + "/*.txt " + examples + "/*.csv '" + dir.path + "'/").c_str()), 0);
  for (const QuickStartStep &step : steps) {
    if (!step.is_cat) {
      const std::string command = "cd '" + dir.path + "' && '" VANTOR_BINARY "' " + step.argument +
                                  " >/dev/null 2>errors.txt";
      EXPECT_EQ(std::system(command.c_str()), 0)
          << "vantor " << step.argument << ": " << read_file(dir.path + "/errors.txt");
      continue;
    }
    const std::string written = read_file(dir.path + "/" + step.argument);
    ASSERT_FALSE(written.empty()) << step.argument << " was not written";
    std::vector<std::string> lines = split_lines(written);
    for (std::string &line : lines) line = rstrip(line);
    EXPECT_EQ(lines, step.shown) << "README shows another " << step.argument;
  }
}

// Each bundled example runs cleanly with the switches its comments suggest
// and examples/run.sh uses, writing the result files those switches ask for.
TEST(Documentation, BundledExamplesRunWithTheirDocumentedSwitches) {
  struct Case {
    const char *file;
    const char *switches;
    std::vector<const char *> results;
  };
  const Case cases[] = {
      {"measurements.txt", "-c -v -h10 -e -f -n --quartiles",
       {"mvd", "cor", "cov", "inp", "his", "eig", "fsc", "sco"}},
      {"weather.txt", "-v -s \"3 1 2\"", {"mvd", "cov", "inp"}},
      {"fish.txt", "--quiet -c --square -e4 -f -n", {"mvd", "cor", "inp", "eig", "fsc", "sco"}},
      {"plots_r.csv", "--csv --json --report", {"mvd", "inp", "json", "html"}},
      {"plots.tsv", "--separator=tab", {"mvd", "inp"}},
      {"plots_csv2.csv", "--separator=';' --comma-decimals --columns=pH,height", {"mvd", "inp"}},
  };
  for (const Case &c : cases) {
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    ASSERT_EQ(std::system(("cp '" + source_path("examples") + "/" + c.file + "' '" + dir.path + "'/")
                              .c_str()),
              0);
    const std::string command = "cd '" + dir.path + "' && '" VANTOR_BINARY "' " + c.switches + " " +
                                c.file + " >out.txt 2>errors.txt";
    EXPECT_EQ(std::system(command.c_str()), 0) << c.file << ": " << read_file(dir.path + "/errors.txt");
    EXPECT_EQ(read_file(dir.path + "/errors.txt").find("Error"), std::string::npos) << c.file;
    EXPECT_EQ(read_file(dir.path + "/out.txt").find("WARNING"), std::string::npos) << c.file;
    const std::string stem = std::string(c.file).substr(0, std::strlen(c.file) - 4);
    for (const char *ext : c.results)
      EXPECT_FALSE(read_file(dir.path + "/" + stem + "." + ext).empty()) << stem << "." << ext;
  }
}

// The format reference shows, under each result file's heading, that file as
// the program writes it for the small data file given at its top ("␣" marks
// a blank that matters). Replaying the documented run must give them back.
std::vector<std::string> indented_block_after(const std::vector<std::string> &lines, size_t from) {
  std::vector<std::string> block;
  size_t i = from;
  while (i < lines.size() && lines[i].rfind("    ", 0) != 0) ++i;
  for (; i < lines.size() && lines[i].rfind("    ", 0) == 0; ++i) {
    std::string line = lines[i].substr(4);
    const std::string visible_blank = "\xe2\x90\xa3";
    for (size_t at; (at = line.find(visible_blank)) != std::string::npos;)
      line.replace(at, visible_blank.size(), 1, ' ');
    block.push_back(rstrip(line));
  }
  return block;
}

TEST(Documentation, FormatReferenceExamplesAreWhatTheProgramWrites) {
  const std::vector<std::string> lines = split_lines(read_file(source_path("doc/formats.md")));
  ASSERT_FALSE(lines.empty());
  std::string data_block, command;
  size_t data_at = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (data_at == lines.size() && lines[i].find("`tiny.txt`") != std::string::npos) data_at = i;
    size_t at = lines[i].find("with `vantor ");
    if (command.empty() && at != std::string::npos) {
      size_t end = lines[i].find('`', at + 6);
      command = lines[i].substr(at + 12, end - at - 12);
    }
  }
  ASSERT_LT(data_at, lines.size()) << "the data file of the examples is gone";
  ASSERT_NE(command.find("tiny.txt"), std::string::npos) << "the run of the examples is gone";
  for (const std::string &line : indented_block_after(lines, data_at + 1)) data_block += line + "\n";

  ScratchDir dir;
  ASSERT_FALSE(dir.path.empty());
  {
    std::ofstream out(dir.path + "/tiny.txt", std::ios::binary);
    out << data_block;
  }
  const std::string run = "cd '" + dir.path + "' && '" VANTOR_BINARY "' " + command +
                          " >/dev/null 2>errors.txt";
  ASSERT_EQ(std::system(run.c_str()), 0) << command << ": " << read_file(dir.path + "/errors.txt");

  int checked = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string heading = "## `.";
    if (lines[i].rfind(heading, 0) != 0) continue;
    const std::string ext = lines[i].substr(heading.size() - 1, 4);
    // A section's first indented block is its grammar, the second its example.
    std::vector<std::vector<std::string>> blocks;
    for (size_t j = i + 1; j < lines.size() && lines[j].rfind("## ", 0) != 0; ++j) {
      if (lines[j].rfind("    ", 0) == 0 && lines[j - 1].rfind("    ", 0) != 0)
        blocks.push_back(indented_block_after(lines, j));
    }
    ASSERT_GE(blocks.size(), 2u) << ext << " has no grammar and example";
    std::vector<std::string> written = split_lines(read_file(dir.path + "/tiny" + ext));
    for (std::string &line : written) line = rstrip(line);
    EXPECT_EQ(blocks[1], written) << "doc/formats.md shows another tiny" << ext;
    ++checked;
  }
  EXPECT_EQ(checked, 10) << "every result file has its section";
}

}  // namespace
