// Load progress on a terminal. The end of loading writes "\r    \r", which
// wipes the four characters of the last " NN%".
#include "input/progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

namespace {

constexpr int64_t kMinimumSize = 8LL << 20;
constexpr int64_t kIntervalNs = 250'000'000;  // four updates a second at most

int64_t now_ns() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

bool progress_wanted(bool stderr_is_terminal, bool quiet, int64_t size) {
  return stderr_is_terminal && !quiet && size > kMinimumSize;
}

Progress progress_begin(FILE *in, const Console &con) {
  struct stat st;
  const int64_t size = fstat(fileno(in), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
  Progress p;
  const bool terminal = con.err != nullptr && isatty(fileno(con.err)) == 1;
  p.active = progress_wanted(terminal, con.quiet, size);
  p.file_size = size;
  return p;
}

void progress_update(Progress &p, FILE *in, const Console &con) {
  if (!p.active || (++p.calls & 1023) != 0) return;
  progress_show(p, std::ftell(in), con);
}

void progress_show(Progress &p, int64_t pos, const Console &con) {
  if (!p.active) return;
  const int64_t t = now_ns();
  if (t - p.last_shown_ns < kIntervalNs) return;
  p.last_shown_ns = t;
  if (pos < 0 || p.file_size <= 0) return;
  int percent =
      static_cast<int>(static_cast<double>(pos) * 100.0 / static_cast<double>(p.file_size));
  if (percent > 100) percent = 100;
  tell(con, "\r%3d%%", percent);
  std::fflush(con.err);
}

void ProgressFeed::line(uint64_t bytes) {
  pending += bytes;
  if ((++lines & 255) != 0) return;
  const uint64_t done = shared.done.fetch_add(pending, std::memory_order_relaxed) + pending;
  pending = 0;
  if (shows) progress_show(shared.display, static_cast<int64_t>(done), shared.con);
}
