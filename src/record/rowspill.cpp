// The spill of a file analysed in passes and the block-by-block walk every
// phase takes over the rows, in memory or from the spill.
#include "record/rowspill.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/messages.h"

RowSpill::~RowSpill() {
  if (fd >= 0) close(fd);
}

std::shared_ptr<RowSpill> make_row_spill(uint64_t stride) {
  const char *dir = std::getenv("TMPDIR");
  if (dir == nullptr || *dir == '\0') dir = "/tmp";
  std::string path = std::string(dir) + "/vantor-passes-XXXXXX";
  auto spill = std::make_shared<RowSpill>();
  spill->stride = stride;
  spill->fd = mkstemp(path.data());
  if (spill->fd < 0) fatal("Can't create a temporary file in %s: %s\n", dir, std::strerror(errno));
  unlink(path.c_str());
  return spill;
}

void spill_rows(RowSpill &spill, const double *rows, uint64_t count) {
  const char *from = reinterpret_cast<const char *>(rows);
  uint64_t left = count * spill.stride * sizeof(double);
  while (left > 0) {
    const ssize_t put = write(spill.fd, from, left);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0)
      fatal("Can't write the temporary copy of the data (%s)\n",
            std::strerror(put < 0 ? errno : ENOSPC));
    from += put;
    left -= static_cast<uint64_t>(put);
  }
  spill.rows += count;
}

namespace {

void read_rows(const RowSpill &spill, uint64_t first, uint64_t count, double *to) {
  const uint64_t row_bytes = spill.stride * sizeof(double);
  char *into = reinterpret_cast<char *>(to);
  uint64_t left = count * row_bytes, at = first * row_bytes;
  while (left > 0) {
    const ssize_t got = pread(spill.fd, into, left, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0)
      fatal("Can't read the temporary copy of the data (%s)\n",
            got < 0 ? std::strerror(errno) : "it ended early");
    into += got;
    at += static_cast<uint64_t>(got);
    left -= static_cast<uint64_t>(got);
  }
}

}  // namespace

RowCursor row_cursor(const Analysis &a) {
  RowCursor c;
  c.a = &a;
  if (a.spill) c.buffer.reset(new double[a.spill->block_rows * a.spill->stride]);
  return c;
}

bool next_rows(RowCursor &c, RowRange &r) {
  const Analysis &a = *c.a;
  if (c.next >= a.n) return false;
  if (!a.spill) {
    r = RowRange{a.data.block.get(), 0, a.n, a.data.stride};
    c.next = a.n;
    return true;
  }
  const RowSpill &s = *a.spill;
  const uint64_t count = std::min<uint64_t>(s.block_rows, a.n - c.next);
  read_rows(s, c.next, count, c.buffer.get());
  r = RowRange{c.buffer.get(), c.next, count, s.stride};
  c.next += count;
  return true;
}

uint64_t walk_bytes(const Analysis &a) {
  return a.spill ? a.spill->block_rows * a.spill->stride * sizeof(double) : 0;
}

Analysis make_analysis_in_passes(uint32_t capacity, uint32_t columns, uint64_t budget,
                                 const WorkArraySettings &settings, MemoryTally &tally,
                                 const Console &con) {
  const uint64_t row_bytes = uint64_t{columns} * sizeof(double);
  const uint64_t block_bytes = std::max(row_bytes, std::min(budget / 8, uint64_t{8} << 20));
  const uint64_t block_rows = std::max<uint64_t>(1, std::min<uint64_t>(block_bytes / row_bytes, capacity));
  Analysis a = make_analysis(static_cast<uint32_t>(block_rows), columns, settings, tally, con);
  a.spill = make_row_spill(columns);
  a.spill->block_rows = block_rows;
  a.spill->capacity = capacity;
  a.spill->scratch = budget > block_bytes ? budget - block_bytes : 0;
  return a;
}
