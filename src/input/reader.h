// The line reader of the data input: comment lines skipped, data lines read
// as fgets reads them, and the rereading of lines that do not fit their
// buffer. Knows nothing of numbers; examine.cpp and load.cpp interpret lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "record/analysis.h"
#include "base/console.h"

// The comment characters of data files: a line starting with one of them is
// skipped whole.
extern const char kCommentChars[];

// A read-ahead window over a data-file stream. It reads big blocks with
// fread so that lines are found with memchr, and keeps the end-of-file
// indicator that fgetc/fgets calls on the stream itself would have left.
struct LineReader {
  FILE *in = nullptr;
  // Without a stream: the byte range [next, stop) of the file `fd`, read
  // with pread so that several readers can share one open file.
  int fd = -1;
  uint64_t next = 0, stop = 0;
  CArray<char> window;
  size_t window_size = 0;
  size_t pos = 0;    // next unread byte of the window
  size_t end = 0;    // bytes in the window
  bool eof = false;  // a read has hit the end of the file (or a read error)
  uint64_t newlines = 0;    // line ends read so far
  uint64_t line_start = 0;  // file line number (from 1) of the last data line begun
  const char *comments = kCommentChars;  // what read_whole_data_line takes for comment marks
};

// Starts reading `in` at its current position with a window of
// `window_size` bytes (at least 1; for a regular file at most what is left
// of it and one byte). Ends the run with "Not enough memory" when the
// window cannot be made.
void reader_open(LineReader &r, FILE *in, size_t window_size = size_t{1} << 20);

// Starts reading bytes [begin, end) of the file `fd` with a window as
// reader_open makes it (at most the range and one byte); the end of the
// range is the end of the file to the reader. A read error ends the run
// with "Can't read file\n".
void reader_open_range(LineReader &r, int fd, uint64_t begin, uint64_t end,
                       size_t window_size = size_t{1} << 20);

// Makes sure unread bytes are in the window; false at the end of the file.
bool fill_window(LineReader &r);

// Reads the rest of the current line as fgets does with capacity `cap`
// (cap >= 1): at most cap - 1 bytes, stopping after a '\n', and stores them
// with a terminating NUL into `dst` unless `dst` is null. Returns the count
// of bytes read; NUL bytes are read like any other byte.
int64_t read_line_piece(LineReader &r, char *dst, int64_t cap);

// The next data line: comment lines (first byte in `comments`, may be null
// for none) are skipped whole, whatever their length, and the line reached
// is read by read_line_piece. Returns its byte count, or -1 when the end of
// the file or a read error comes first (including inside a comment line).
int64_t read_data_line(LineReader &r, char *dst, int64_t cap, const char *comments);

// True when a piece of `len` bytes just read into `buf` holds a whole line:
// it ends with the line end, or the end of the file was hit while reading.
bool line_is_whole(const LineReader &r, const char *buf, int64_t len);

// A line buffer that doubles while a line does not fit; `name` is what
// "Not enough memory" reports ("line" of the examination, "buff" of loading).
struct GrowableLine {
  CArray<char> bytes;
  int64_t capacity = 0;
  const char *name = "";
  // Grows without the rereading message: CSV and separated files are read
  // by records of any length, with no fixed line buffer to overflow.
  bool silent = false;
};

// The examination buffer: 40960 bytes at start-up, grown by doubling while a
// first data line does not fit, keeping its size for the rest of the run.
// Ends the run with "Not enough memory (line, 40960)" when it cannot be made.
GrowableLine make_examination_buffer();

// A buffer of `capacity` bytes named `name` (fatal when it cannot be made).
GrowableLine make_line_buffer(int64_t capacity, const char *name);

// Reads the next data line whole into the buffer. While a piece is cut
// short it says the rereading message (say_rereading) with the capacity,
// doubles the buffer and reads on. Returns the line's byte count, or -1
// when there is no data line. A failed growth releases the buffer and ends
// the run with "Not enough memory (%s, %d)".
int64_t read_whole_data_line(LineReader &r, GrowableLine &b, const Console &con);

// Doubles the buffer's capacity keeping its contents (fatal on failure, the
// old buffer then released).
void grow_line_buffer(GrowableLine &b);

// Length of the first data line of `in` (comment lines skipped), its line
// end not counted, with the stream put back where it was.
int64_t first_data_line_length(FILE *in);
