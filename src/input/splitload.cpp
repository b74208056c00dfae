// Loading in parts. A quick count of lines per part gives each part the file
// line number it starts at and a first row no earlier record can need; each
// part then reads its records with a range reader and converts them from
// there under the row-acceptance rules, noting what the one-thread pass
// would say; a replay in file order says it and closes the gaps that
// left-out rows leave between the parts' rows.
#include "input/splitload.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "input/load_step.h"
#include "input/progress.h"
#include "input/records.h"
#include "input/row_accept.h"

uint64_t line_start_after(int fd, uint64_t at, uint64_t size) {
  if (at == 0) return 0;
  LineReader r;
  reader_open_range(r, fd, at - 1, size, size_t{1} << 16);
  return at - 1 + static_cast<uint64_t>(read_line_piece(r, nullptr, INT64_MAX));
}

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
      comment = *from != '\0' && std::strchr(r.comments, *from) != nullptr;
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

// How the records are read and converted.
struct Format {
  const RowRules &rules;
  bool names_line, plain;
  GroupValues *groups = nullptr;  // under --by: the pass's group values
};

// One part: where it lies and starts, then what its conversion noted.
struct RecordPart {
  uint64_t begin = 0, end = 0;
  bool last = false;
  LineCounts lines;
  uint64_t line_base = 0;  // line ends before the part
  uint64_t row_base = 0;   // its first row's place in the data matrix
  bool holds_names = false;
  bool refused = false;  // only a pass from the start can tell what comes next
  PartNotes noted;
  std::vector<TextCell> text_cells;
};

void open_part(LineReader &r, int fd, const RecordPart &p, const RowRules &rules) {
  reader_open_range(r, fd, p.begin, p.end);
  r.comments = rules.comments();
  if (p.begin == 0) skip_byte_order_mark(r, rules);
  r.newlines = p.line_base;
}

void count_part(int fd, RecordPart &p, const RowRules &rules) {
  try {
    LineReader r;
    open_part(r, fd, p, rules);
    p.lines = count_lines(r);
  } catch (const RunEnd &) {
    p.refused = true;
  }
}

bool spans_lines(const char *record, int64_t len) {
  return std::memchr(record, '\n', static_cast<size_t>(len - 1)) != nullptr;
}

// Reads the part's records and converts each into its row, stopping where
// the one-thread pass could not go on (or might not).
void convert_part(int fd, RecordPart &p, Analysis &a, const Format &f, int64_t first_capacity,
                  ProgressFeed feed, std::vector<uint8_t> *missing_rows) {
  LineReader r;
  GrowableLine buff;
  try {
    open_part(r, fd, p, f.rules);
    buff = make_line_buffer(first_capacity, "buff");
  } catch (const RunEnd &) {
    p.refused = true;
    return;
  }
  const Console silent{nullptr, nullptr, true};
  LoadTarget t{
      RowAcceptor{silent, a.columns, a.capacity, p.row_base, &p.noted, {}}, row_sink(a), {},
      f.groups};
  t.acc.keep_missing = f.rules.keep_missing;
  t.acc.missing_rows = missing_rows;
  RowScratch s;
  for (bool names = p.holds_names;; names = false) {
    const int64_t capacity = buff.capacity;
    int64_t len = -1;
    try {
      len = read_record(r, buff, s, f.rules, silent);
    } catch (const RunEnd &) {
      p.refused = true;  // an open quote at the part's end, or a failed read
      return;
    }
    if (buff.capacity != capacity) {
      // The buffer grows without a word while a quoted field takes further
      // lines, by the record's whole length: only a pass from the start can
      // say what the one-thread pass said then.
      if (len > 1 && s.split && spans_lines(buff.bytes.get(), len)) {
        p.refused = true;
        return;
      }
      note_growth(t.acc, buff.capacity);
    }
    if (len < 0) break;
    feed.line(static_cast<uint64_t>(len));
    if (names) continue;
    Verdict v = Verdict::keep;
    try {
      v = take_record(t, s, f.rules, f.plain,
                      RecordText{buff.bytes.get(), len, r.line_start, r.eof && p.last});
    } catch (const RunEnd &) {
      note_error(t.acc, std::current_exception());
      break;
    }
    if (v == Verdict::full) {
      p.refused = true;
      return;
    }
    if (v == Verdict::end || v == Verdict::broken) break;
  }
  p.noted.tally = t.acc.tally;
  p.text_cells = std::move(s.text_cells);
}

// Line numbers and first rows from the counts; false when a count failed.
// A part's rows start after every record before it could have taken a row
// (a record takes at least one filled line, in white space one data line),
// the names line excepted, and so never beyond the capacity.
bool place_parts(std::vector<RecordPart> &parts, const Format &f) {
  uint64_t lines = 0, places = 0;
  bool names_seen = !f.names_line;
  for (RecordPart &p : parts) {
    if (p.refused) return false;
    p.line_base = lines;
    p.row_base = places;
    const uint64_t taking = f.rules.csv ? p.lines.filled_lines : p.lines.data_lines;
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

// Moves `count` rows from row `from` down to row `to` of the data matrix,
// with their labels, group numbers and missing-value marks.
void move_rows(Analysis &a, uint64_t from, uint64_t to, uint64_t count,
               std::vector<uint8_t> *missing_rows) {
  if (from == to) return;
  for (uint64_t k = 0; k < count; ++k) move_row(a, from + k, to + k);
  if (missing_rows != nullptr)
    for (uint64_t k = 0; k < count; ++k) (*missing_rows)[to + k] = (*missing_rows)[from + k];
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
  const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(most, uint64_t{4} * w.count()));
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

std::vector<FilePart> split_file_at_lines(int fd, uint64_t size, uint64_t part_bytes,
                                          uint64_t first_end) {
  if (part_bytes == 0) part_bytes = 1;
  const uint64_t count = size / part_bytes + (size % part_bytes != 0 ? 1 : 0);
  std::vector<FilePart> parts;
  uint64_t begin = 0;
  for (uint64_t k = 1; k <= count && begin < size; ++k) {
    const uint64_t at = std::max(k == count ? size : size / count * k, first_end);
    const uint64_t end = at >= size ? size : line_start_after(fd, at, size);
    if (end <= begin) continue;
    parts.push_back(FilePart{begin, end});
    begin = end;
  }
  if (parts.empty()) parts.push_back(FilePart{0, size});
  return parts;
}

uint64_t newlines_before(int fd, uint64_t at) {
  LineReader r;
  reader_open_range(r, fd, 0, at);
  return count_lines(r).newlines;
}

uint64_t range_row_room(int fd, FilePart part, const RowRules &rules) {
  RecordPart p;
  p.begin = part.begin;
  p.end = part.end;
  count_part(fd, p, rules);
  if (p.refused) return UINT64_MAX;
  return rules.csv ? p.lines.filled_lines : p.lines.data_lines;
}

RangeLoad load_range(int fd, FilePart part, bool last, uint64_t line_base, Analysis &a,
                     const RowRules &rules, bool names_line, bool plain, int64_t first_capacity,
                     std::vector<uint8_t> *missing_rows) {
  RecordPart p;
  p.begin = part.begin;
  p.end = part.end;
  p.last = last;
  p.line_base = line_base;
  p.holds_names = names_line && part.begin == 0;
  const Console silent{nullptr, nullptr, true};
  SharedProgress progress{{}, Progress{}, silent};
  convert_part(fd, p, a, Format{rules, names_line, plain}, first_capacity,
               ProgressFeed{progress, false}, missing_rows);
  return RangeLoad{std::move(p.noted), std::move(p.text_cells), p.refused};
}

bool load_split(FILE *in, Analysis &a, GrowableLine &buff, const RowRules &rules, bool names_line,
                bool plain, const Console &con, Workers &w, uint64_t min_part,
                GroupValues *groups, TextColumns *text) {
  std::vector<uint8_t> *held =
      text != nullptr && !text->missing_rows.empty() ? &text->missing_rows : nullptr;
  const std::vector<FilePart> ranges = split_at_lines(in, w, min_part);
  if (ranges.empty()) return false;
  const Format f{rules, names_line, plain, groups};
  const int fd = fileno(in);
  std::vector<RecordPart> parts(ranges.size());
  for (size_t k = 0; k < ranges.size(); ++k) {
    parts[k].begin = ranges[k].begin;
    parts[k].end = ranges[k].end;
  }
  parts.back().last = true;
  w.run(static_cast<uint32_t>(parts.size()),
        [&](uint32_t k, uint32_t) { count_part(fd, parts[k], rules); });
  if (!place_parts(parts, f)) return false;

  const int64_t first_capacity = buff.capacity;
  SharedProgress progress{{}, progress_begin(in, con), con};
  w.run(static_cast<uint32_t>(parts.size()), [&](uint32_t k, uint32_t worker) {
    convert_part(fd, parts[k], a, f, first_capacity, ProgressFeed{progress, worker == 0}, held);
  });
  for (const RecordPart &p : parts)
    if (p.refused) return false;

  RowAcceptor acc{con, a.columns, a.capacity, 0, nullptr, {}};
  acc.keep_missing = rules.keep_missing;
  for (const RecordPart &p : parts) {
    const uint64_t rows = acc.tally.rows;
    const bool ended = replay_part(acc, buff, p.noted);
    move_rows(a, p.row_base, rows, acc.tally.rows - rows, held);
    if (text != nullptr) gather_text_cells(*text, p.text_cells);
    if (ended) break;
  }
  finish_loading(acc, a);
  return true;
}
