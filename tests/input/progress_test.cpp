// The load progress display: on a terminal for large files, and not one byte
// of it anywhere else.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "input/progress.h"

TEST(Progress, ShownOnlyOnATerminalForLargeFilesWhenNotQuiet) {
  const int64_t big = 9 << 20, small = 8 << 20;
  EXPECT_TRUE(progress_wanted(true, false, big));
  EXPECT_FALSE(progress_wanted(true, false, small));
  EXPECT_FALSE(progress_wanted(true, true, big));
  EXPECT_FALSE(progress_wanted(false, false, big));
}

namespace {

// A directory holding a data file of about 9.6 MB.
std::string make_big_data_dir() {
  char tmpl[] = "/tmp/vantor-progress-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  FILE *f = std::fopen((dir + "/data.txt").c_str(), "w");
  for (int i = 0; i < 800000; ++i) std::fprintf(f, "%d.5 2.5 3.5\n", i % 10);
  std::fclose(f);
  return dir;
}

const char *const kArgs[] = {"vantor", "-m-", "-t-", "data.txt", nullptr};

}  // namespace

TEST(Progress, APseudoTerminalSeesTheShareRead) {
  const std::string dir = make_big_data_dir();
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    execv(VANTOR_BINARY, const_cast<char *const *>(kArgs));
    _exit(127);
  }
  std::string out;
  char buf[4096];
  ssize_t got;
  while ((got = read(master, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(got));
  int status = 0;
  waitpid(pid, &status, 0);
  close(master);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(std::regex_search(out, std::regex("\r[ 0-9]{2}[0-9]%"))) << out.substr(0, 400);
  EXPECT_NE(out.find("\r    \r"), std::string::npos);
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(Progress, APipeSeesNothingOfIt) {
  const std::string dir = make_big_data_dir();
  std::string cmd = "cd '" + dir + "' && " VANTOR_BINARY " -m- -t- data.txt 2>&1 >/dev/null";
  FILE *p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string err;
  char buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, p)) > 0) err.append(buf, got);
  EXPECT_EQ(pclose(p), 0);
  EXPECT_EQ(err.find('%'), std::string::npos);
  EXPECT_NE(err.find("\r    \r"), std::string::npos);
  std::system(("rm -rf '" + dir + "'").c_str());
}
