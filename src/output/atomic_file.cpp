// Atomic result files. A temporary is registered before it is created and
// freed after the rename, so the signal handler, which only unlinks the
// registered names, never leaves one behind and never removes a result.
// No fsync: a killed run is covered, a system crash is the file system's.
#include "output/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// More than the results one run ever has open at once; a result that finds
// no free slot is written in place.
constexpr int kSlots = 16;
enum SlotState { kFree, kFilling, kLive };
struct Slot {
  std::atomic<int> state{kFree};
  char name[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);
Slot slots[kSlots];
std::atomic<unsigned> counter{0};

int claim_slot(const std::string &name) {
  if (name.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
    slots[i].state.store(kLive);
    return i;
  }
  return -1;
}

void release_slot(int i) { slots[i].state.store(kFree); }

extern "C" void on_cleanup_signal(int sig) {
  remove_temporaries();
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  raise(sig);  // pending until the handler returns and the mask allows it
}

// Creates a fresh temporary for `path`, registered, with the permission
// bits and group of `old` when it exists. -1 with the slot free when none
// can be made; errno then tells why.
int create_temporary(const std::string &path, const struct stat *old, int &slot) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string tmp = temporary_name(path, static_cast<long>(getpid()), counter++);
    slot = claim_slot(tmp);
    if (slot < 0) {
      errno = ENFILE;
      return -1;
    }
    // 0666 less the umask, as fopen "w" gives a new file.
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int err = errno;
      release_slot(slot);
      slot = -1;
      errno = err;
      if (err == EEXIST) continue;  // left by a killed run with the same pid
      return -1;
    }
    if (old == nullptr) return fd;
    struct stat now;
    if (fstat(fd, &now) == 0 && (now.st_gid == old->st_gid || fchown(fd, -1, old->st_gid) == 0) &&
        fchmod(fd, old->st_mode & 07777) == 0)
      return fd;
    close(fd);
    unlink(tmp.c_str());
    release_slot(slot);
    slot = -1;
    errno = EPERM;
    return -1;
  }
  return -1;
}

ResultStream in_place(const std::string &path) {
  return ResultStream{std::fopen(path.c_str(), "w"), -1, false};
}

// write_mode() with what it found: `existed` and the file's status in `st`.
WriteMode decide(const char *path, struct stat &st, bool &existed) {
  existed = lstat(path, &st) == 0;
  if (!existed) return errno == ENOENT ? WriteMode::atomic : WriteMode::in_place;
  if (!S_ISREG(st.st_mode) || st.st_nlink != 1 || st.st_uid != geteuid())
    return WriteMode::in_place;
  // A file fopen "w" could not open keeps its error ("Can't create file").
  if (faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) != 0) return WriteMode::in_place;
  return WriteMode::atomic;
}

}  // namespace

WriteMode write_mode(const char *path) {
  struct stat st;
  bool existed;
  return decide(path, st, existed);
}

std::string temporary_name(const std::string &path, long pid, unsigned n) {
  const size_t slash = path.rfind('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  std::string tmp = path.substr(0, base);
  tmp += '.';
  tmp.append(path, base, std::string::npos);
  tmp += ".vantor-tmp.";
  tmp += std::to_string(pid);
  tmp += '.';
  tmp += std::to_string(n);
  return tmp;
}

ResultStream open_result(const std::string &path) {
  struct stat old;
  bool existed;
  if (decide(path.c_str(), old, existed) == WriteMode::in_place) return in_place(path);
  int slot = -1;
  const int fd = create_temporary(path, existed ? &old : nullptr, slot);
  if (fd < 0) {
    // No room for a new name beside a file that exists: before, the file
    // was opened and the writes failed. Keep that, and keep the old file.
    if (existed && (errno == ENOSPC || errno == EDQUOT))
      if (FILE *sink = std::fopen("/dev/null", "w")) return ResultStream{sink, -1, true};
    return in_place(path);
  }
  FILE *fp = fdopen(fd, "w");
  if (fp == nullptr) {
    close(fd);
    unlink(slots[slot].name);
    release_slot(slot);
    return in_place(path);
  }
  return ResultStream{fp, slot, false};
}

bool finish_result(ResultStream &s, const std::string &path) {
  bool ok = std::ferror(s.fp) == 0 && !s.failed;
  if (std::fclose(s.fp) != 0) ok = false;
  s.fp = nullptr;
  if (s.slot < 0) return ok;
  const char *tmp = slots[s.slot].name;
  if (!ok || rename(tmp, path.c_str()) != 0) {
    unlink(tmp);
    ok = false;
  }
  release_slot(s.slot);
  s.slot = -1;
  return ok;
}

void abandon_result(ResultStream &s) {
  if (s.fp != nullptr) std::fclose(s.fp);
  s.fp = nullptr;
  if (s.slot < 0) return;
  unlink(slots[s.slot].name);
  release_slot(s.slot);
  s.slot = -1;
}

void remove_temporaries() {
  for (Slot &slot : slots)
    if (slot.state.load() == kLive) unlink(slot.name);
}

SignalCleanup::SignalCleanup() {
  struct sigaction act {};
  act.sa_handler = on_cleanup_signal;
  sigemptyset(&act.sa_mask);
  for (int sig : kSignals) sigaddset(&act.sa_mask, sig);
  for (int i = 0; i < 3; ++i) {
    sigaction(kSignals[i], nullptr, &previous[i]);
    if (previous[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &act, nullptr);
  }
}

SignalCleanup::~SignalCleanup() {
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &previous[i], nullptr);
}

CleanupSignalsHeld::CleanupSignalsHeld() : held(true) {
  sigset_t block;
  sigemptyset(&block);
  for (int sig : kSignals) sigaddset(&block, sig);
  pthread_sigmask(SIG_BLOCK, &block, &old);
}

void CleanupSignalsHeld::release() {
  if (held) pthread_sigmask(SIG_SETMASK, &old, nullptr);
  held = false;
}
