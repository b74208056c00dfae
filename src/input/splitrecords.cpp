// Records loaded in parts. A quick count of lines per part gives each part
// the file line number it starts at and a first row no earlier record can
// need; each part then converts its records from there, noting what the
// one-thread pass would print, and a replay in file order prints it and
// closes the gaps that left-out rows leave between the parts' rows.
#include "splitrecords.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "messages.h"
#include "progress.h"
#include "records.h"
#include "splitload.h"

namespace {

// What the quick count finds in a part.
struct LineCounts {
  uint64_t newlines = 0;
  uint64_t data_lines = 0;    // lines that are not comments
  uint64_t filled_lines = 0;  // data lines holding more than blanks
};

LineCounts count_lines(LineReader &r) {
  LineCounts n;
  bool at_start = true, comment = false, filled = false;
  while (fill_window(r)) {
    const char *from = r.window.get() + r.pos;
    const char *stop = r.window.get() + r.end;
    if (at_start) {
      at_start = false;
      filled = false;
      comment = *from != '\0' && std::strchr(kCommentChars, *from) != nullptr;
      if (!comment) ++n.data_lines;
    }
    const char *nl = static_cast<const char *>(std::memchr(from, '\n', r.end - r.pos));
    if (!comment && !filled) filled = !is_blank_line(from, nl != nullptr ? nl : stop);
    if (nl == nullptr) {
      r.pos = r.end;
      continue;
    }
    ++n.newlines;
    if (!comment && filled) ++n.filled_lines;
    at_start = true;
    r.pos = static_cast<size_t>(nl + 1 - r.window.get());
  }
  if (!at_start && !comment && filled) ++n.filled_lines;
  return n;
}

// The line buffer grew to `capacity` while record `read` was read.
struct Growth {
  uint64_t read;
  int64_t capacity;
};

// Record `read` was a white-space row with a number more than room; it is
// the part's row `row`.
struct Truncation {
  uint64_t read;
  uint64_t row;
};

enum class PartStop {
  none,        // read to its end
  row_length,  // record stop_read breaks the row-length rule inside the part
  error,       // converting record stop_read ended the run
  refused,     // only a pass from the start can tell what comes next
};

// One part: where it lies and starts, then what its conversion found.
// Records are counted from 0 at the part's start, a names line included
// ("reads"); rows are the part's kept rows.
struct RecordPart {
  uint64_t begin = 0, end = 0;
  bool last = false;
  LineCounts lines;
  uint64_t line_base = 0;  // line ends before the part
  uint64_t row_base = 0;   // its first row's place in the data matrix
  bool holds_names = false;

  uint64_t reads = 0;
  uint64_t records = 0;  // records read, the names line not counted
  uint64_t rows = 0;     // kept rows
  uint64_t left_out = 0;
  uint64_t first_values = 0, last_values = 0;
  uint64_t eof_read = UINT64_MAX;  // the record that the end of the file cut
  std::vector<Growth> growth;
  std::vector<Truncation> truncated;
  PartStop stop = PartStop::none;
  uint64_t stop_read = 0;
  std::exception_ptr error;
};

void open_part(LineReader &r, int fd, const RecordPart &p, const RowRules &rules) {
  reader_open_range(r, fd, p.begin, p.end);
  if (p.begin == 0) skip_byte_order_mark(r, rules);
  r.newlines = p.line_base;
}

void count_part(int fd, RecordPart &p, const RowRules &rules) {
  try {
    LineReader r;
    open_part(r, fd, p, rules);
    p.lines = count_lines(r);
  } catch (const RunEnd &) {
    p.stop = PartStop::refused;
  }
}

bool spans_lines(const char *record, int64_t len) {
  return std::memchr(record, '\n', static_cast<size_t>(len - 1)) != nullptr;
}

// Reads the part's records and converts each into its row, stopping where
// the one-thread pass could not go on (or might not).
void convert_part(int fd, RecordPart &p, Analysis &a, const RowRules &rules, int64_t first_capacity,
                  ProgressFeed feed) {
  LineReader r;
  GrowableLine buff;
  try {
    open_part(r, fd, p, rules);
    buff = make_line_buffer(first_capacity, "buff");
  } catch (const RunEnd &) {
    p.stop = PartStop::refused;
    return;
  }
  const Console silent{nullptr, nullptr, true};
  const int32_t *map = a.file_to_variable.get();
  RowScratch s;
  uint64_t previous = 0;
  for (;; ++p.reads) {
    const int64_t capacity = buff.capacity;
    int64_t len = -1;
    try {
      len = read_record(r, buff, s, rules, silent);
    } catch (const RunEnd &) {
      p.stop = PartStop::refused;  // an open quote at the part's end, or a failed read
      return;
    }
    if (buff.capacity != capacity) {
      // The buffer grows without a word while a quoted field takes further
      // lines, by the record's whole length: only a pass from the start can
      // say what the one-thread pass said then.
      if (len > 1 && s.split && spans_lines(buff.bytes.get(), len)) {
        p.stop = PartStop::refused;
        return;
      }
      p.growth.push_back(Growth{p.reads, buff.capacity});
    }
    if (len < 0) return;
    feed.line(static_cast<uint64_t>(len));
    if (r.eof && p.eof_read == UINT64_MAX) p.eof_read = p.reads;
    if (p.holds_names && p.reads == 0) continue;
    const uint64_t slot = p.row_base + p.rows;
    if (slot >= a.capacity) {
      p.stop = PartStop::refused;
      return;
    }
    RecordValues v;
    try {
      v = convert_record(s, buff.bytes.get(), len, a.data[slot], map, a.columns, rules,
                         r.line_start);
    } catch (const RunEnd &) {
      p.stop = PartStop::error;
      p.stop_read = p.reads;
      p.error = std::current_exception();
      return;
    }
    if (!rules.csv && v.row.more) p.truncated.push_back(Truncation{p.reads, p.rows});
    if (p.records == 0) {
      p.first_values = v.values;
    } else if (previous != 0 && v.values != previous) {
      p.stop = PartStop::row_length;
      p.stop_read = p.reads;
      return;
    }
    ++p.records;
    previous = v.values;
    p.last_values = v.values;
    if (v.row.missing)
      ++p.left_out;
    else
      ++p.rows;
  }
}

// Line numbers and first rows from the counts; false when a count failed.
// A part's rows start after every record before it could have taken a row
// (a record takes at least one filled line, in white space one data line),
// the names line excepted, and so never beyond the capacity.
bool place_parts(std::vector<RecordPart> &parts, const RowRules &rules, bool names_line) {
  uint64_t lines = 0, places = 0;
  bool names_seen = !names_line;
  for (RecordPart &p : parts) {
    if (p.stop == PartStop::refused) return false;
    p.line_base = lines;
    p.row_base = places;
    const uint64_t taking = rules.csv ? p.lines.filled_lines : p.lines.data_lines;
    lines += p.lines.newlines;
    places += taking;
    if (!names_seen && taking > 0) {
      p.holds_names = true;
      names_seen = true;
      --places;
    }
  }
  return names_seen;
}

// Moves `count` rows from row `from` down to row `to` of the data matrix.
void move_rows(Analysis &a, uint64_t from, uint64_t to, uint64_t count) {
  if (from == to) return;
  const size_t bytes = size_t{a.columns} * sizeof(double);
  for (uint64_t k = 0; k < count; ++k) std::memcpy(a.data[to + k], a.data[from + k], bytes);
}

// The one-thread pass's state as the replay carries it through the parts.
struct Replay {
  Analysis &a;
  GrowableLine &buff;
  const Console &con;
  uint64_t rows = 0, records = 0, left_out = 0, previous = 0;
};

void replay_growth(Replay &rp, int64_t capacity) {
  while (rp.buff.capacity < capacity) {
    message(rp.con, "Line to long (>%ld). Rereading.\n", static_cast<long>(rp.buff.capacity));
    grow_line_buffer(rp.buff);
  }
}

void finish(Replay &rp) {
  if (!rp.con.quiet) tell(rp.con, "\r    \r");
  rp.a.n = static_cast<uint32_t>(rp.rows);
  rp.a.m = static_cast<uint32_t>(std::min<uint64_t>(rp.previous, rp.a.columns));
  rp.a.rows_left_out = rp.left_out;
}

// Says what the one-thread pass would have said over the part's records,
// in order; true when loading ends in this part (a short last line cut off
// by the end of the file). Other stops end the run.
bool replay_part(Replay &rp, const RecordPart &p) {
  const uint64_t first = p.holds_names ? 1 : 0;
  const uint64_t end = p.stop != PartStop::none ? p.stop_read : p.reads;
  size_t g = 0, t = 0;
  for (uint64_t k = 0;; ++k) {
    // Only records with something to say are visited one by one.
    uint64_t next = end;
    if (g < p.growth.size()) next = std::min(next, p.growth[g].read);
    if (t < p.truncated.size()) next = std::min(next, p.truncated[t].read);
    if (k <= first) next = std::min(next, first);
    k = std::max(k, next);
    while (g < p.growth.size() && p.growth[g].read == k) replay_growth(rp, p.growth[g++].capacity);
    if (k == end && p.stop == PartStop::none) break;
    if (k == end && p.stop == PartStop::error) std::rethrow_exception(p.error);
    if (t < p.truncated.size() && p.truncated[t].read == k) {
      tell(rp.con, "Line contains to many columns (>%u colums). Truncating row %lu.\n",
           rp.a.columns, static_cast<unsigned long>(rp.rows + p.truncated[t].row));
      ++t;
    }
    const bool across = k == first && rp.previous != 0 && p.first_values != rp.previous;
    const bool inside = k == end && p.stop == PartStop::row_length;
    if (across || inside) {
      // A short last line without its line end is a cut-off write: dropped
      // without a word. Anywhere else it is an error.
      if (p.last && p.eof_read == k) {
        if (inside) {
          move_rows(rp.a, p.row_base, rp.rows, p.rows);
          rp.rows += p.rows;
          rp.left_out += p.left_out;
          rp.previous = p.last_values;
        }
        finish(rp);
        return true;
      }
      const uint64_t record = rp.records + (inside ? p.records : 0);
      fatal("Wrong row length: Row %lu\a\n", static_cast<unsigned long>(record + 1));
    }
    if (k == end) break;
  }
  move_rows(rp.a, p.row_base, rp.rows, p.rows);
  rp.rows += p.rows;
  rp.records += p.records;
  rp.left_out += p.left_out;
  if (p.records > 0) rp.previous = p.last_values;
  return false;
}

}  // namespace

bool load_records_split(FILE *in, Analysis &a, GrowableLine &buff, const RowRules &rules,
                        bool names_line, const Console &con, Workers &w, uint64_t min_part) {
  const std::vector<FilePart> ranges = split_at_lines(in, w, min_part);
  if (ranges.empty()) return false;
  const int fd = fileno(in);
  std::vector<RecordPart> parts(ranges.size());
  for (size_t k = 0; k < ranges.size(); ++k) {
    parts[k].begin = ranges[k].begin;
    parts[k].end = ranges[k].end;
  }
  parts.back().last = true;
  w.run(static_cast<uint32_t>(parts.size()),
        [&](uint32_t k, uint32_t) { count_part(fd, parts[k], rules); });
  if (!place_parts(parts, rules, names_line)) return false;

  const int64_t first_capacity = buff.capacity;
  SharedProgress progress{{}, progress_begin(in, con), con};
  w.run(static_cast<uint32_t>(parts.size()), [&](uint32_t k, uint32_t worker) {
    convert_part(fd, parts[k], a, rules, first_capacity, ProgressFeed{progress, worker == 0});
  });
  for (const RecordPart &p : parts)
    if (p.stop == PartStop::refused) return false;

  Replay rp{a, buff, con};
  for (const RecordPart &p : parts)
    if (replay_part(rp, p)) return true;
  finish(rp);
  return true;
}
