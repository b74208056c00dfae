// The line reader: the read-ahead window over a data file, comment
// skipping, fgets-style pieces and the doubling of a buffer while a line
// does not fit.
#include "input/reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "machine/memory.h"
#include "base/messages.h"
#include "input/row_accept.h"

const char kCommentChars[] = "#;!";

namespace {

constexpr int64_t kLineStartSize = 40960;

// The next bytes of a range reader. A stream takes a read error for the
// end of the file; a range cannot, as the ranges after it are read on
// regardless and the error would then count differently from one pass.
size_t read_range(LineReader &r) {
  const uint64_t want = std::min<uint64_t>(r.window_size, r.stop - r.next);
  if (want == 0) return 0;
  const ssize_t got =
      pread(r.fd, r.window.get(), static_cast<size_t>(want), static_cast<off_t>(r.next));
  if (got < 0) fatal("Can't read file\n");
  r.next += static_cast<uint64_t>(got);
  return static_cast<size_t>(got);
}

// Makes sure unread bytes are in the window; false at the end of the file or
// on a read error, which sets the end-of-file indicator as fgetc would.
bool fill(LineReader &r) {
  if (r.pos < r.end) return true;
  r.pos = 0;
  r.end = r.in != nullptr ? std::fread(r.window.get(), 1, r.window_size, r.in) : read_range(r);
  if (r.end == 0) r.eof = true;
  return r.end > 0;
}

}  // namespace

GrowableLine make_line_buffer(int64_t capacity, const char *name) {
  GrowableLine b;
  b.bytes.reset(static_cast<char *>(std::calloc(static_cast<size_t>(capacity), 1)));
  if (!b.bytes) fatal("Not enough memory (%s, %lld)", name, static_cast<long long>(capacity));
  b.capacity = capacity;
  b.name = name;
  return b;
}

GrowableLine make_examination_buffer() { return make_line_buffer(kLineStartSize, "line"); }

bool fill_window(LineReader &r) { return fill(r); }

namespace {

// A window never larger than what is left to read (and one byte), so that
// small files and small parts do not each take a mebibyte.
size_t window_for(size_t window_size, uint64_t left) {
  if (left < UINT64_MAX && left + 1 < window_size) window_size = static_cast<size_t>(left + 1);
  return window_size == 0 ? 1 : window_size;
}

uint64_t left_in_stream(FILE *in) {
  struct stat st;
  const long at = std::ftell(in);
  if (fstat(fileno(in), &st) != 0 || !S_ISREG(st.st_mode) || at < 0 || st.st_size < at)
    return UINT64_MAX;
  return static_cast<uint64_t>(st.st_size - at);
}

}  // namespace

void reader_open(LineReader &r, FILE *in, size_t window_size) {
  window_size = window_for(window_size, in != nullptr ? left_in_stream(in) : UINT64_MAX);
  r.in = in;
  r.window.reset(static_cast<char *>(std::malloc(window_size)));
  if (!r.window) fatal("Not enough memory (%s, %zu)", "window", window_size);
  r.window_size = window_size;
  r.pos = r.end = 0;
  r.newlines = r.line_start = 0;
  r.eof = false;
}

void reader_open_range(LineReader &r, int fd, uint64_t begin, uint64_t end, size_t window_size) {
  reader_open(r, nullptr, window_for(window_size, end > begin ? end - begin : 0));
  r.fd = fd;
  r.next = begin;
  r.stop = end;
}

int64_t read_line_piece(LineReader &r, char *dst, int64_t cap) {
  const int64_t want = cap - 1;
  int64_t got = 0;
  while (got < want && fill(r)) {
    size_t chunk = r.end - r.pos;
    if (static_cast<uint64_t>(want - got) < chunk) chunk = static_cast<size_t>(want - got);
    const char *from = r.window.get() + r.pos;
    const void *nl = std::memchr(from, '\n', chunk);
    if (nl != nullptr) chunk = static_cast<size_t>(static_cast<const char *>(nl) - from) + 1;
    if (dst != nullptr) std::memcpy(dst + got, from, chunk);
    r.pos += chunk;
    got += static_cast<int64_t>(chunk);
    if (nl != nullptr) {
      ++r.newlines;
      break;
    }
  }
  if (dst != nullptr && cap > 0) dst[got] = '\0';
  return got;
}

int64_t read_data_line(LineReader &r, char *dst, int64_t cap, const char *comments) {
  for (;;) {
    if (!fill(r)) return -1;
    const char first = r.window[r.pos];
    if (comments == nullptr || first == '\0' || std::strchr(comments, first) == nullptr) {
      r.line_start = r.newlines + 1;
      return read_line_piece(r, dst, cap);
    }
    // A comment line is skipped through its line end, however long it is;
    // one that the end of the file cuts short ends the search.
    for (;;) {
      if (!fill(r)) return -1;
      const char *from = r.window.get() + r.pos;
      const void *nl = std::memchr(from, '\n', r.end - r.pos);
      if (nl != nullptr) {
        r.pos += static_cast<size_t>(static_cast<const char *>(nl) - from) + 1;
        ++r.newlines;
        break;
      }
      r.pos = r.end;
    }
  }
}

bool line_is_whole(const LineReader &r, const char *buf, int64_t len) {
  return r.eof || (len > 0 && buf[len - 1] == '\n');
}

void grow_line_buffer(GrowableLine &b) {
  int64_t doubled = 0;
  const bool overflow = __builtin_mul_overflow(b.capacity, int64_t{2}, &doubled);
  void *p = nullptr;
  if (!overflow && !beyond_memory(static_cast<uint64_t>(doubled)))
    p = std::realloc(b.bytes.get(), static_cast<size_t>(doubled));
  if (p == nullptr) {
    b.bytes.reset();
    fatal("Not enough memory (%s, %lld)", b.name,
          static_cast<long long>(overflow ? INT64_MAX : doubled));
  }
  (void)b.bytes.release();  // realloc has taken over (and maybe freed) the old block
  b.bytes.reset(static_cast<char *>(p));
  b.capacity = doubled;
}

int64_t read_whole_data_line(LineReader &r, GrowableLine &b, const Console &con) {
  int64_t len = read_data_line(r, b.bytes.get(), b.capacity, r.comments);
  if (len < 0) return -1;
  while (!line_is_whole(r, b.bytes.get(), len)) {
    if (!b.silent) say_rereading(con, b.capacity);
    grow_line_buffer(b);
    // Reading on from where the cut piece ended yields the same bytes, the
    // same end-of-file indicator and the same buffer contents as going back
    // to the start of the line and reading it again with the doubled
    // capacity, without reading the line's start a second time.
    len += read_line_piece(r, b.bytes.get() + len, b.capacity - len);
  }
  return len;
}

int64_t first_data_line_length(FILE *in) {
  const long start = std::ftell(in);
  int64_t len = 0;
  {
    LineReader r;
    reader_open(r, in);
    len = read_data_line(r, nullptr, INT64_MAX, kCommentChars);
    // A line that the end of the file cut short has no line end to discount.
    if (len > 0 && !r.eof) --len;
    if (len < 0) len = 0;
  }
  if (start < 0 || std::fseek(in, start, SEEK_SET) != 0) fatal("Can't read file\n");
  return len;
}
