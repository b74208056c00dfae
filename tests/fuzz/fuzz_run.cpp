// Fuzz target: one whole run of the program. The input's first line holds
// switches (blank-separated), the rest is the data file; every output file
// lands in a private temporary directory that is emptied after each run.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_common.h"
#include "pipeline.h"

static std::string work_dir() {
  static std::string dir = [] {
    char tmpl[] = "/tmp/vantor-fuzz-XXXXXX";
    char *d = mkdtemp(tmpl);
    if (d == nullptr) std::abort();
    return std::string(d);
  }();
  return dir;
}

static void remove_work_dir();

static void empty_dir(const std::string &dir) {
  DIR *d = opendir(dir.c_str());
  if (d == nullptr) return;
  while (struct dirent *e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    unlink((dir + "/" + e->d_name).c_str());
  }
  closedir(d);
}

static void remove_work_dir() {
  empty_dir(work_dir());
  rmdir(work_dir().c_str());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 65536) return 0;
  const std::string dir = work_dir();
  // Registered after the directory name exists, so it runs before that
  // name is destroyed at exit.
  static bool cleanup = (std::atexit(remove_work_dir), true);
  (void)cleanup;
  const uint8_t *nl = static_cast<const uint8_t *>(std::memchr(data, '\n', size));
  size_t head = nl ? static_cast<size_t>(nl - data) : size;
  // Short data keeps the cubic eigen analysis of wide tables within the
  // fuzzer's time limit.
  if (head > 200 || size - head > 800) return 0;

  std::vector<std::string> args = {"vantor", "--more", "--quiet"};
  std::string word;
  for (size_t i = 0; i <= head; ++i) {
    if (i == head || data[i] == ' ') {
      if (!word.empty()) args.push_back(word);
      word.clear();
    } else if (data[i] != 0) {
      word += static_cast<char>(data[i]);
    }
  }
  // Keep huge requests (bins, scores) from turning into allocation tests.
  for (auto &a : args)
    if (a.size() > 2 && (a[1] == 'h' || a[1] == 'H') && a.size() > 5) a.resize(5);
  args.push_back(dir + "/data.txt");

  FILE *f = std::fopen((dir + "/data.txt").c_str(), "wb");
  if (f == nullptr) return 0;
  if (nl) std::fwrite(nl + 1, 1, size - head - 1, f);
  std::fclose(f);

  opterr = 0;
  std::vector<char *> argv = make_argv(args);
  // The run writes its invocation log into the current directory; the
  // fuzzer's own paths are relative to the directory it was started in.
  static const std::string home = [] {
    char buf[4096];
    return std::string(getcwd(buf, sizeof buf) ? buf : "/");
  }();
  if (chdir(dir.c_str()) != 0) return 0;
  run(static_cast<int>(args.size()), argv.data());
  empty_dir(dir);
  if (chdir(home.c_str()) != 0) std::abort();
  return 0;
}
