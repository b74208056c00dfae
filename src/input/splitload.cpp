// The plain white-space loading pass in parts. Row numbers come from a first
// count of data lines per part; what the one-thread pass prints depends on
// the line buffer as it grows through the file, so each part records only
// the lines that could have made it grow, its truncated rows and its first
// break of the row-length rule, and a serial replay decides the rest.
#include "splitload.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "messages.h"
#include "numparse.h"
#include "progress.h"

namespace {

constexpr size_t kBlock = size_t{1} << 20;

// Reads the byte range [pos, end) of a file line by line with pread.
struct PartReader {
  int fd;
  uint64_t pos, end;
  std::vector<char> buf;
  size_t lo = 0, hi = 0;
};

// The next line of the part: its bytes (with the line end when there is
// one, followed by a NUL in the buffer) and whether it has a line end.
// False at the end of the part; a read error ends the run.
bool next_line(PartReader &r, char **text, size_t *len, bool *has_end) {
  for (;;) {
    char *from = r.buf.data() + r.lo;
    char *nl = r.hi > r.lo ? static_cast<char *>(std::memchr(from, '\n', r.hi - r.lo)) : nullptr;
    if (nl != nullptr || (r.pos >= r.end && r.hi > r.lo)) {
      *len = nl != nullptr ? static_cast<size_t>(nl - from) + 1 : r.hi - r.lo;
      *has_end = nl != nullptr;
      *text = from;
      r.lo += *len;
      return true;
    }
    if (r.pos >= r.end) return false;
    if (r.lo > 0) {
      std::memmove(r.buf.data(), r.buf.data() + r.lo, r.hi - r.lo);
      r.hi -= r.lo;
      r.lo = 0;
    }
    // Room for a block and the NUL after the last line.
    if (r.buf.size() - r.hi < kBlock + 1) r.buf.resize(r.hi + kBlock + 1);
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlock, r.end - r.pos));
    const ssize_t got = pread(r.fd, r.buf.data() + r.hi, want, static_cast<off_t>(r.pos));
    if (got <= 0) fatal("Can't read file\n");
    r.hi += static_cast<size_t>(got);
    r.pos += static_cast<uint64_t>(got);
  }
}

bool is_comment(const char *text) {
  return text[0] != '\0' && std::strchr(kCommentChars, text[0]) != nullptr;
}

// The start of the line that holds byte `at`, searched forward: the byte
// after the first line end at or after at - 1.
uint64_t line_start_after(int fd, uint64_t at, uint64_t size) {
  if (at == 0) return 0;
  std::vector<char> buf(size_t{1} << 16);
  uint64_t pos = at - 1;
  while (pos < size) {
    const ssize_t got = pread(fd, buf.data(), buf.size(), static_cast<off_t>(pos));
    if (got <= 0) fatal("Can't read file\n");
    const void *nl = std::memchr(buf.data(), '\n', static_cast<size_t>(got));
    if (nl != nullptr)
      return pos + static_cast<uint64_t>(static_cast<const char *>(nl) - buf.data()) + 1;
    pos += static_cast<uint64_t>(got);
  }
  return size;
}

// A line the growing buffer could have been too small for.
struct LongLine {
  uint32_t row;      // row number (from 0) in the file
  uint64_t length;   // bytes, the line end included
  bool has_end;
};

// What a part leaves for the replay. Rows are numbered in the file.
struct PartRecord {
  uint64_t begin = 0, end = 0;  // bytes
  uint32_t first_row = 0;       // number of its first data line
  uint32_t lines = 0;           // data lines
  std::vector<LongLine> long_lines;
  std::vector<uint32_t> truncated;  // rows with one number more than room
  uint32_t first_stored = 0;        // values of its first row
  uint32_t last_stored = 0;         // values of its last row converted
  bool broken = false;              // a row inside breaks the row-length rule
  uint32_t broken_row = 0;
  bool overflow = false;            // a row beyond the capacity R
  uint32_t overflow_row = 0;
  bool last_unended = false;        // its last data line has no line end
};

void count_part(int fd, PartRecord &p) {
  PartReader r{fd, p.begin, p.end, {}};
  char *text;
  size_t len;
  bool has_end;
  uint32_t lines = 0;
  while (next_line(r, &text, &len, &has_end)) {
    const char saved = text[len];
    text[len] = '\0';
    if (!is_comment(text)) ++lines;
    text[len] = saved;
  }
  p.lines = lines;
}

// Converts the part's data lines into their rows, stopping where the
// one-thread pass could not have gone on: at a row beyond the capacity or
// at the first break of the row-length rule inside the part.
void convert_part(int fd, PartRecord &p, Analysis &a, int64_t first_capacity,
                  ProgressFeed feed) {
  PartReader r{fd, p.begin, p.end, {}};
  NumberScanner scanner;
  const uint32_t c = a.columns, R = a.capacity;
  uint32_t row = p.first_row, previous = 0;
  char *text;
  size_t len;
  bool has_end;
  while (next_line(r, &text, &len, &has_end)) {
    feed.line(len);
    const char saved = text[len];
    text[len] = '\0';
    if (is_comment(text)) {
      text[len] = saved;
      continue;
    }
    if (static_cast<int64_t>(len) >= first_capacity - 1)
      p.long_lines.push_back(LongLine{row, len, has_end});
    if (row >= R) {
      p.overflow = true;
      p.overflow_row = row;
      return;
    }
    const RowScan scan =
        convert_row(scanner, text, text + len, a.data[row], a.file_to_variable.get(), c);
    text[len] = saved;
    if (scan.more) p.truncated.push_back(row);
    p.last_unended = !has_end;
    if (row == p.first_row) p.first_stored = scan.stored;
    if (row != p.first_row && previous != 0 && scan.stored != previous) {
      p.broken = true;
      p.broken_row = row;
      p.last_stored = previous;  // what stays the value count if the row is dropped
      return;
    }
    previous = scan.stored;
    p.last_stored = scan.stored;
    ++row;
  }
}

// What the replay of the rereadings works on: the buffer grows as it would
// have grown in the one-thread pass, failures and all.
struct Replay {
  GrowableLine &buff;
  const Console &con;
};

void replay_long_line(Replay &rp, const LongLine &l) {
  // A piece holds capacity - 1 bytes; a line that the end of the file cuts
  // off needs one byte more, as the end is only seen by a further read.
  const auto fits = [&] {
    const int64_t room = rp.buff.capacity - 1;
    return l.has_end ? static_cast<int64_t>(l.length) <= room
                     : static_cast<int64_t>(l.length) < room;
  };
  while (!fits()) {
    message(rp.con, "Line to long (>%ld). Rereading.\n", static_cast<long>(rp.buff.capacity));
    grow_line_buffer(rp.buff);
  }
}

}  // namespace

std::vector<FilePart> split_at_lines(FILE *in, const Workers &w, uint64_t min_part) {
  const int fd = fileno(in);
  struct stat st;
  if (w.count() < 2 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return {};
  if (std::ftell(in) != 0) return {};
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  if (min_part == 0) min_part = 1;
  const uint64_t most = size / min_part;
  if (most < 2) return {};
  // A few parts per worker even out lines of unequal cost.
  const uint32_t count =
      static_cast<uint32_t>(std::min<uint64_t>(most, uint64_t{4} * w.count()));
  std::vector<FilePart> parts;
  uint64_t begin = 0;
  for (uint32_t k = 1; k <= count && begin < size; ++k) {
    const uint64_t end = k == count ? size : line_start_after(fd, size / count * k, size);
    if (end <= begin) continue;
    parts.push_back(FilePart{begin, end});
    begin = end;
  }
  return parts;
}

bool load_data_split(FILE *in, Analysis &a, GrowableLine &buff, const Console &con, Workers &w,
                     uint64_t min_part) {
  const std::vector<FilePart> ranges = split_at_lines(in, w, min_part);
  if (ranges.empty()) return false;
  const int fd = fileno(in);
  std::vector<PartRecord> parts(ranges.size());
  for (size_t k = 0; k < ranges.size(); ++k) {
    parts[k].begin = ranges[k].begin;
    parts[k].end = ranges[k].end;
  }
  w.run(static_cast<uint32_t>(parts.size()),
        [&](uint32_t k, uint32_t) { count_part(fd, parts[k]); });
  uint64_t rows = 0;
  for (PartRecord &p : parts) {
    // Beyond the signed 32-bit row numbers the capacity check has already
    // ended the run; the clamp only keeps the numbering defined.
    p.first_row = static_cast<uint32_t>(std::min<uint64_t>(rows, UINT32_MAX));
    rows += p.lines;
  }
  const int64_t first_capacity = buff.capacity;
  SharedProgress progress{{}, progress_begin(in, con), con};
  w.run(static_cast<uint32_t>(parts.size()), [&](uint32_t k, uint32_t worker) {
    convert_part(fd, parts[k], a, first_capacity, ProgressFeed{progress, worker == 0});
  });

  Replay rp{buff, con};
  const uint32_t c = a.columns;
  uint32_t accepted = 0, previous = 0;  // as the one-thread pass keeps them
  const uint32_t last_row = rows > 0 ? static_cast<uint32_t>(rows - 1) : 0;
  for (const PartRecord &p : parts) {
    if (p.lines == 0) continue;
    size_t l = 0, t = 0;
    // Rows of this part the one-thread pass would have reached: up to the
    // break inside, or the row beyond the capacity.
    const uint32_t stop = p.overflow ? p.overflow_row
                          : p.broken ? p.broken_row
                                     : p.first_row + p.lines - 1;
    for (uint32_t row = p.first_row;; ++row) {
      // Only rows with something to say are visited one by one.
      uint32_t next = stop;
      if (l < p.long_lines.size()) next = std::min(next, p.long_lines[l].row);
      if (t < p.truncated.size()) next = std::min(next, p.truncated[t]);
      if (row == p.first_row) next = row;
      row = std::max(row, next);
      while (l < p.long_lines.size() && p.long_lines[l].row == row)
        replay_long_line(rp, p.long_lines[l++]);
      if (p.overflow && row == p.overflow_row)
        fatal("Too many data series: >%d\a\n", static_cast<int>(a.capacity));
      if (t < p.truncated.size() && p.truncated[t] == row) {
        tell(con, "Line contains to many columns (>%u colums). Truncating row %u.\n", c, row);
        ++t;
      }
      const bool at_first = row == p.first_row, at_break = p.broken && row == p.broken_row;
      if ((at_first && previous != 0 && p.first_stored != previous) || at_break) {
        // A short last line without its line end is a cut-off write:
        // dropped without a word. Anywhere else it is an error.
        if (row == last_row && parts.back().last_unended) {
          if (!con.quiet) tell(con, "\r    \r");
          a.n = row;
          a.m = at_first ? previous : p.last_stored;
          return true;
        }
        fatal("Wrong row length: Row %d\a\n", static_cast<int>(row + 1));
      }
      if (row == stop) break;
    }
    accepted = p.first_row + p.lines;
    previous = p.last_stored;
  }
  if (!con.quiet) tell(con, "\r    \r");
  a.n = accepted;
  a.m = previous;
  return true;
}
