// Examination of a data file before loading: the column count of its first
// data line and the row capacity (the count of data lines). Opening and
// closing the file is the driver's job.
#include <cstdint>
#include <cstdlib>

#include "input/examine.h"
#include "base/messages.h"
#include "input/reader.h"
#include "input/records.h"
#include "input/row_accept.h"
#include "input/splitload.h"

uint32_t count_columns(const char *s) {
  // Saturating: a count this large cannot be allocated for anyway, and the
  // work arrays then refuse it instead of being sized by a wrapped count.
  uint64_t count = 0;
  const char *p = s;
  while (*p != '\0') {
    char *next = nullptr;
    (void)std::strtod(p, &next);
    if (next == p) break;
    ++count;
    p = next;
  }
  return count > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(count);
}

uint32_t examine_first_line(FILE *in, GrowableLine &line, const Console &con) {
  LineReader r;
  reader_open(r, in);
  const int64_t len = read_whole_data_line(r, line, con);
  if (len < 0) fatal("Can't read file");
  // Numbers after a NUL byte are not seen: the line ends there as a string.
  const uint32_t c = count_columns(line.bytes.get());
  if (c == 0) fatal("Too few variables\n");
  return c;
}

namespace {

// Rows are numbered with a signed 32-bit count; a file with more data lines
// than that cannot be loaded.
constexpr uint64_t kMaxRows = INT32_MAX;

// Data lines (pieces of over-long lines each counted) from where `r` stands
// to its end, stopping once the count is beyond `most`. The loop keeps no
// state from one line to the next: a line's pieces and its comment checks
// depend only on the bytes from its start, so a range starting at a line
// start counts exactly what one pass counts over those lines.
uint64_t count_pieces(LineReader &r, int64_t capacity, uint64_t most) {
  uint64_t count = 0;
  while (count <= most && read_data_line(r, nullptr, capacity, kCommentChars) >= 0) ++count;
  return count;
}

}  // namespace

uint32_t count_data_lines(FILE *in, const GrowableLine &line, Workers &w, uint64_t min_part) {
  uint64_t count = 0;
  const std::vector<FilePart> parts = split_at_lines(in, w, min_part);
  if (parts.empty()) {
    LineReader r;
    reader_open(r, in);
    count = count_pieces(r, line.capacity, kMaxRows);
  } else {
    std::vector<uint64_t> counts(parts.size());
    w.run(static_cast<uint32_t>(parts.size()), [&](uint32_t k, uint32_t) {
      LineReader r;
      reader_open_range(r, fileno(in), parts[k].begin, parts[k].end);
      counts[k] = count_pieces(r, line.capacity, kMaxRows);
    });
    for (const uint64_t c : counts) count += c;
  }
  if (count > kMaxRows) too_many_rows(kMaxRows);
  return static_cast<uint32_t>(count);
}

namespace {

// Values in a record after the names line: its field count in CSV mode, its
// numbers otherwise.
uint32_t values_in_record(const GrowableLine &line, int64_t len, RowScratch &s,
                          const RowRules &rules, uint64_t line_number) {
  if (rules.csv) return static_cast<uint32_t>(s.fields.size());
  const char *text = line.bytes.get();
  return scan_blank_row(s, text, text + len, nullptr, nullptr, UINT32_MAX, rules, line_number)
      .stored;
}

}  // namespace

Examination examine_data(FILE *in, GrowableLine &line, const RowRules &rules, const Console &con) {
  Examination e;
  if (rules.plain() && !rules.names) {
    e.columns = examine_first_line(in, line, con);
    return e;
  }
  LineReader r;
  start_records(r, in, rules);
  RowScratch s;
  int64_t len = read_record(r, line, s, rules, con);
  if (len < 0) fatal("Can't read file");
  if (rules.csv) split_fields(s, line.bytes.get(), line.bytes.get() + len);
  if (rules.names || csv_fields_are_names(s, rules)) {
    e.has_names = true;
    const char *text = line.bytes.get();
    e.names = names_of_line(s, rules, text, text + len);
    len = read_record(r, line, s, rules, con);
    if (len < 0) fatal("Too few variables\n");
    if (rules.csv) split_fields(s, line.bytes.get(), line.bytes.get() + len);
  }
  e.columns = values_in_record(line, len, s, rules, r.line_start);
  if (e.columns == 0) fatal("Too few variables\n");
  if (e.has_names && e.names.size() != e.columns)
    fatal("Names line holds %zu names, rows hold %u values\n", e.names.size(), e.columns);
  return e;
}
