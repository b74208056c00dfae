// Console forms: the fatal-error record and the pager command, which must
// hand any program name to the shell as one literal word.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "base/messages.h"

TEST(Messages, FatalCarriesTheFormattedTextAndStatusOne) {
  try {
    fatal("Can't read file %s\n", "x.txt");
    ADD_FAILURE();
  } catch (const RunEnd &end) {
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(end.message, "Can't read file x.txt\n");
  }
}

TEST(Messages, UsageTextNamesTheProgramOnce) {
  std::string text = usage_text("./tool");
  EXPECT_EQ(text.rfind("Calculates correlation matrixes.\n\nUSAGE: ./tool <filename> <options>\n", 0), 0u);
  EXPECT_EQ(text.find("%s"), std::string::npos);
}

TEST(Messages, PagerCommandNeverLetsTheShellInterpretTheName) {
  char tmpl[] = "/tmp/vantor-pager-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  const std::string name = "./odd \"name\" $(touch pwned1) `touch pwned2` 'q' x";
  ASSERT_EQ(symlink(VANTOR_BINARY, (dir + "/" + name.substr(2)).c_str()), 0);

  std::string cmd = "cd '" + dir + "' && " + pager_command(name.c_str()) + " > out.txt";
  ASSERT_EQ(std::system(cmd.c_str()), 0);

  std::ifstream out(dir + "/out.txt");
  std::stringstream text;
  text << out.rdbuf();
  EXPECT_NE(text.str().find("USAGE: " + name + " <filename> <options>\n"), std::string::npos);
  EXPECT_NE(access((dir + "/pwned1").c_str(), F_OK), 0);
  EXPECT_NE(access((dir + "/pwned2").c_str(), F_OK), 0);
  std::system(("rm -rf '" + dir + "'").c_str());
}
