// The spool file behind standard input and FIFOs: one pass of bounded
// chunks from the input into an unlinked temporary file. A failed write
// ends the copy; a silently shortened copy would give wrong statistics.
#include "input/spool.h"

#include "machine/tempfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kChunk = size_t{1} << 20;

std::string failure(const char *what, const std::string &where, int err) {
  return std::string(what) + where + ": " + std::strerror(err);
}

// Reads up to `size` bytes, retrying on EINTR; -1 on error.
ssize_t read_some(int fd, char *buf, size_t size) {
  for (;;) {
    ssize_t got = read(fd, buf, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

}  // namespace

int write_fully(int fd, const char *buf, size_t size) {
  while (size > 0) {
    ssize_t put = write(fd, buf, size);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return errno;
    if (put == 0) return ENOSPC;
    buf += put;
    size -= static_cast<size_t>(put);
  }
  return 0;
}

namespace {

// The copy itself; 0 or -1 with *error set.
int copy_all(int in, int out, const std::string &dir, std::string *error) {
  std::unique_ptr<char[]> buf(new char[kChunk]);
  for (;;) {
    ssize_t got = read_some(in, buf.get(), kChunk);
    if (got == 0) return 0;
    if (got < 0) {
      *error = std::string("Cannot read the input: ") + std::strerror(errno);
      return -1;
    }
    int err = write_fully(out, buf.get(), static_cast<size_t>(got));
    if (err != 0) {
      *error = failure("Cannot copy the input to a temporary file in ", dir, err);
      return -1;
    }
  }
}

}  // namespace

int create_temp_file(std::string *error) {
  const std::string dir = temporary_directory();
  const int out = unnamed_temporary(dir, "vantor");
  if (out < 0) {
    *error = failure("Cannot create a temporary file in ", dir, errno);
    return -1;
  }
  return out;
}

int spool_to_temp(int fd, std::string *error) {
  const std::string dir = temporary_directory();
  const int out = create_temp_file(error);
  if (out < 0) return -1;
  if (copy_all(fd, out, dir, error) != 0) {
    close(out);
    return -1;
  }
  if (lseek(out, 0, SEEK_SET) != 0) {
    *error = failure("Cannot rewind the temporary file in ", dir, errno);
    close(out);
    return -1;
  }
  return out;
}

bool is_regular_file(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}
