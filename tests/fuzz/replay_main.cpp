// Replays the committed fuzz corpus through a fuzz target without the fuzzer:
// every file named (or found in a named directory) is one input.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static void replay_file(const std::string &path, int &count) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return;
  std::vector<uint8_t> bytes;
  uint8_t buf[65536];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + got);
  std::fclose(f);
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  ++count;
}

int main(int argc, char **argv) {
  // The targets talk on both streams; only the summary is of interest here.
  FILE *report = fdopen(dup(fileno(stderr)), "w");
  std::freopen("/dev/null", "w", stdout);
  std::freopen("/dev/null", "w", stderr);
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    struct stat st;
    if (stat(argv[i], &st) != 0) continue;
    if (!S_ISDIR(st.st_mode)) {
      replay_file(argv[i], count);
      continue;
    }
    DIR *d = opendir(argv[i]);
    while (d != nullptr) {
      struct dirent *e = readdir(d);
      if (e == nullptr) break;
      if (e->d_name[0] == '.') continue;
      replay_file(std::string(argv[i]) + "/" + e->d_name, count);
    }
    if (d != nullptr) closedir(d);
  }
  std::fprintf(report, "replayed %d inputs\n", count);
  return 0;
}
