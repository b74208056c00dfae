// Data sources: regular files are opened by name for every pass; standard
// input and FIFOs, which can be read only once, are copied into a temporary
// file first (so memory stays bounded whatever their size).
#include "input/datasource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "base/messages.h"
#include "input/decompress.h"
#include "input/spool.h"

DataSource::DataSource(DataSource &&other) noexcept
    : name(std::move(other.name)), spooled(std::exchange(other.spooled, -1)) {}

DataSource::~DataSource() {
  if (spooled >= 0) close(spooled);
}

namespace {

// Opened without blocking so that a FIFO without a writer cannot stall the
// run before it is recognised; blocking reads are restored for the copy.
int open_nonblocking(const char *name) {
  const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) fatal("Can't read file %s\n", name);
  return fd;
}

bool make_blocking(int fd) { return fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0; }

// Copies `fd` (standard input or a FIFO) into the source's temporary file.
void spool(DataSource &source, int fd) {
  std::string error;
  source.spooled = spool_to_temp(fd, &error);
  if (source.spooled < 0) fatal("Can't read file %s: %s\n", source.name.c_str(), error.c_str());
  struct stat st;
  if (fstat(source.spooled, &st) != 0 || st.st_size == 0)
    fatal("Can't read file %s\n", source.name.c_str());
}

// Puts the decompressed data of `fd` in place of the source's copy, when
// the data is compressed; `fd` stays open.
void decompress(DataSource &source, int fd) {
  const Compression c = compression_of_file(fd);
  if (c == Compression::none) return;
  if (lseek(fd, 0, SEEK_SET) != 0) fatal("Can't read file %s\n", source.name.c_str());
  std::string error;
  const int plain = decompress_to_temp(fd, c, &error);
  if (plain < 0) fatal("Can't read file %s: %s\n", source.name.c_str(), error.c_str());
  if (source.spooled >= 0) close(source.spooled);
  source.spooled = plain;
}

// The source's data decompressed when it is compressed: the copy, or the
// regular file the name opens (anything else is refused by the passes).
void decompress_source(DataSource &source) {
  if (source.spooled >= 0) return decompress(source, source.spooled);
  const int fd = open(source.name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  try {
    if (is_regular_file(fd) && make_blocking(fd)) decompress(source, fd);
  } catch (...) {
    close(fd);
    throw;
  }
  close(fd);
}

DataSource open_plain_source(const char *name) {
  DataSource source;
  source.name = name;
  if (std::strcmp(name, "-") == 0) {
    // Standard input redirected from a file can be read again as it is.
    if (is_regular_file(STDIN_FILENO)) {
      source.spooled = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
      if (source.spooled < 0) fatal("Can't read file %s\n", name);
      return source;
    }
    spool(source, STDIN_FILENO);
    return source;
  }
  struct stat st;
  if (stat(name, &st) == 0 && S_ISFIFO(st.st_mode)) {
    const int fd = open_nonblocking(name);
    if (!make_blocking(fd)) {
      close(fd);
      fatal("Can't read file %s\n", name);
    }
    try {
      spool(source, fd);
    } catch (...) {
      close(fd);
      throw;
    }
    close(fd);
  }
  return source;
}

}  // namespace

DataSource open_data_source(const char *name) {
  DataSource source = open_plain_source(name);
  decompress_source(source);
  return source;
}

FILE *open_data_pass(const DataSource &source) {
  const char *name = source.name.c_str();
  int fd = -1;
  if (source.spooled >= 0) {
    fd = fcntl(source.spooled, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) fatal("Can't read file %s\n", name);
  } else {
    fd = open_nonblocking(name);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !make_blocking(fd)) {
      close(fd);
      fatal("Can't read file %s\n", name);
    }
  }
  // A duplicate shares the file position with the temporary copy; every
  // pass starts from the beginning.
  if (lseek(fd, 0, SEEK_SET) != 0 && source.spooled >= 0) {
    close(fd);
    fatal("Can't read file %s\n", name);
  }
  FILE *in = fdopen(fd, "r");
  if (in == nullptr) {
    close(fd);
    fatal("Can't read file %s\n", name);
  }
  return in;
}
