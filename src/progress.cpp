// Load progress on a terminal. The end of loading writes "\r    \r", which
// wipes the four characters of the last " NN%".
#include "progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "vantor.h"

namespace {

constexpr int64_t kMinimumSize = 8LL << 20;
constexpr int64_t kIntervalNs = 250'000'000;  // four updates a second at most

bool active = false;
int64_t file_size = 0;
int64_t last_shown_ns = 0;
uint32_t calls = 0;

int64_t now_ns() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

bool progress_wanted(bool stderr_is_terminal, bool quiet, int64_t size) {
  return stderr_is_terminal && !quiet && size > kMinimumSize;
}

void progress_begin(FILE *in) {
  struct stat st;
  const int64_t size = fstat(fileno(in), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
  active = progress_wanted(isatty(fileno(stderr)) == 1, sw.quiet != 0, size);
  file_size = size;
  last_shown_ns = 0;
  calls = 0;
}

void progress_update(FILE *in) {
  if (!active || (++calls & 1023) != 0) return;
  int64_t t = now_ns();
  if (t - last_shown_ns < kIntervalNs) return;
  last_shown_ns = t;
  long pos = std::ftell(in);
  if (pos < 0 || file_size <= 0) return;
  int percent = static_cast<int>(static_cast<double>(pos) * 100.0 / static_cast<double>(file_size));
  if (percent > 100) percent = 100;
  std::fprintf(stderr, "\r%3d%%", percent);
  std::fflush(stderr);
}
