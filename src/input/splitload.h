// The loading pass over parts of the file at once, in every format: each
// part converts its records straight into rows and notes what the
// one-thread pass would say, and a replay in file order says it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "record/analysis.h"
#include "record/groups.h"
#include "base/console.h"
#include "input/reader.h"
#include "input/row_accept.h"
#include "input/rows.h"
#include "input/textcols.h"
#include "machine/workers.h"

// Parts smaller than this are not worth a thread of their own.
constexpr uint64_t kMinPartBytes = uint64_t{1} << 16;

// A byte range of a file that starts at a line start.
struct FilePart {
  uint64_t begin = 0, end = 0;
};

// The parts a pass over `in` splits into among the workers: empty when
// splitting does not pay or cannot be done (one worker, not a regular file,
// not at its start, fewer than two parts of `min_part` bytes). Each part
// but the first starts right after a line end; together they cover the
// file. Reads with pread and leaves the stream as it was.
std::vector<FilePart> split_at_lines(FILE *in, const Workers &w, uint64_t min_part);

// The start of the line that holds byte `at` of the file `fd` of `size`
// bytes: the byte after the first line end at or after at - 1 (0 for 0).
uint64_t line_start_after(int fd, uint64_t at, uint64_t size);

// Bytes [0, size) of the file `fd` in parts of about `part_bytes` each, every
// part but the first starting right after a line end, the first holding at
// least [0, first_end). One part when the file is no larger than that.
std::vector<FilePart> split_file_at_lines(int fd, uint64_t size, uint64_t part_bytes,
                                          uint64_t first_end);

// The line ends of the file `fd` before byte `at`.
uint64_t newlines_before(int fd, uint64_t at);

// One part of a file loaded on its own, as load_split loads each of its
// parts: what the part noted for replay_part, its text cells, and whether
// only a pass from the start can tell what it holds.
struct RangeLoad {
  PartNotes noted;
  std::vector<TextCell> text_cells;
  bool refused = false;
};

// The rows at most that `part` of the file `fd` gives under `rules`
// (its data lines, in CSV its filled ones); UINT64_MAX when it cannot be
// read.
uint64_t range_row_room(int fd, FilePart part, const RowRules &rules);

// Converts the records of `part` of the file `fd` (the last part of the
// file when `last`) into the rows of `a` from row 0, as load_split converts
// one of its parts: the names line first when `names_line` and the part
// starts the file, line numbers counted from `line_base` line ends, the
// line buffer starting at `first_capacity` bytes, the rows with a missing
// value marked in `missing_rows` when given (a.capacity entries).
// REQUIRES: a.capacity >= range_row_room(fd, part, rules).
RangeLoad load_range(int fd, FilePart part, bool last, uint64_t line_base, Analysis &a,
                     const RowRules &rules, bool names_line, bool plain, int64_t first_capacity,
                     std::vector<uint8_t> *missing_rows);

// Loads `in` (a regular file at its start) as the one-pass loading does
// (under `rules`, a names line first when `names_line`, plain white-space
// rows when `plain`), with its line buffer `buff`, split into parts of at
// least `min_part` bytes among the workers: the rows, n, m, the left-out
// count and every message and first error of the one pass, in its order and
// with its bytes. Returns false, having printed nothing and left the stream
// and `buff` as they were, when the file cannot be split or when a part met
// what only a pass from the start can tell: a quoted field open at a part's
// end (it may run on into the next part), a read or memory failure, a row
// beyond the capacity. The caller then loads it in one pass.
// With `groups` (under --by), the rows' group values are numbered in it.
// With `text`, the parts' text cells are gathered into it and, where it
// holds rows, the rows with a missing value are marked in it.
bool load_split(FILE *in, Analysis &a, GrowableLine &buff, const RowRules &rules, bool names_line,
                bool plain, const Console &con, Workers &w, uint64_t min_part,
                GroupValues *groups = nullptr, TextColumns *text = nullptr);
