// Examination of a data file before loading: the column count of its first
// data line and the row capacity (the count of data lines). Opening and
// closing the file is the driver's job.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "input/examine.h"
#include "base/messages.h"
#include "input/columns.h"
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
  while (count <= most && read_data_line(r, nullptr, capacity, r.comments) >= 0) ++count;
  return count;
}

}  // namespace

uint32_t count_data_lines(FILE *in, const GrowableLine &line, Workers &w, uint64_t min_part,
                          const char *comments) {
  uint64_t count = 0;
  const std::vector<FilePart> parts = split_at_lines(in, w, min_part);
  if (parts.empty()) {
    LineReader r;
    reader_open(r, in);
    r.comments = comments;
    count = count_pieces(r, line.capacity, kMaxRows);
  } else {
    std::vector<uint64_t> counts(parts.size());
    w.run(static_cast<uint32_t>(parts.size()), [&](uint32_t k, uint32_t) {
      LineReader r;
      reader_open_range(r, fileno(in), parts[k].begin, parts[k].end);
      r.comments = comments;
      counts[k] = count_pieces(r, line.capacity, kMaxRows);
    });
    for (const uint64_t c : counts) count += c;
  }
  if (count > kMaxRows) too_many_rows(kMaxRows);
  return static_cast<uint32_t>(count);
}

namespace {

// R's write.table writes a names line one field short, the rows' first
// field being the row name: true for a separated file whose names are one
// short of its first row, and whose first row starts with text (quoted, or
// not a number), which then holds row labels.
bool names_for_row_names(const std::vector<std::string> &names, uint32_t columns, RowScratch &s,
                         const RowRules &rules) {
  if (!rules.csv || names.size() + 1 != columns || s.fields.empty()) return false;
  const CsvField &f = s.fields[0];
  const char *p = f.raw;
  while (p < f.raw + f.raw_size && (*p == ' ' || *p == '\t')) ++p;
  double x = 0;
  return (p < f.raw + f.raw_size && *p == '"') ||
         (!csv_field_is_missing(f, rules.missing, rules.empty_is_missing) &&
          !csv_field_number(s.scanner, f, &x, rules.comma_decimals));
}

// Values in a record after the names line: its field count in CSV mode, its
// numbers otherwise.
uint32_t values_in_record(const GrowableLine &line, int64_t len, RowScratch &s,
                          const RowRules &rules, uint64_t line_number) {
  if (rules.csv) return static_cast<uint32_t>(s.fields.size());
  const char *text = line.bytes.get();
  return scan_blank_row(s, text, text + len, nullptr, nullptr, UINT32_MAX, rules, line_number)
      .stored;
}

// Looks at a record's fields for the columns still undecided (`open`
// counts them); a decided column is a value or a skipped one.
void classify_fields(RowScratch &s, const RowRules &rules, uint64_t line_number,
                     Examination &e, std::vector<bool> &decided, uint32_t &open) {
  const size_t count = std::min<size_t>(s.fields.size(), e.columns);
  for (size_t i = 0; i < count; ++i) {
    if (decided[i]) continue;
    const CsvField &f = s.fields[i];
    if (csv_field_is_missing(f, rules.missing, rules.empty_is_missing)) continue;
    decided[i] = true;
    --open;
    double x = 0;
    if (csv_field_number(s.scanner, f, &x, rules.comma_decimals)) continue;
    if (rules.numbers_only)
      not_a_number(line_number, static_cast<uint32_t>(i + 1), f.text, f.size, e.names);
    e.uses[i] = FieldUse::skip;
  }
}

// The uses of a CSV file's columns, from the current record (already split)
// on: reads on from `r` with a silent buffer of its own while some column
// has had missing values only. Columns already left out are not looked at.
void classify_columns(LineReader &r, const GrowableLine &line, RowScratch &s,
                      const RowRules &rules, Examination &e) {
  std::vector<bool> decided(e.columns, false);
  uint32_t open = e.columns;
  for (uint32_t i = 0; i < e.columns; ++i) {
    if (e.uses[i] == FieldUse::value) continue;
    decided[i] = true;
    --open;
  }
  // The row labels stay even when --columns does not list their column;
  // --skip-columns may leave them out.
  if (e.names[0].empty() && e.group != 0 &&
      !(rules.pick == ColumnPick::unlisted && decided[0])) {
    if (!decided[0]) --open;
    e.uses[0] = FieldUse::label;
    decided[0] = true;
  }
  classify_fields(s, rules, r.line_start, e, decided, open);
  if (open > 0) {
    GrowableLine more = make_line_buffer(line.capacity, "line");
    const Console silent{nullptr, nullptr, true};
    for (;;) {
      const int64_t len = read_record(r, more, s, rules, silent);
      if (len < 0) break;
      split_fields(s, more.bytes.get(), more.bytes.get() + len, rules.sep);
      classify_fields(s, rules, r.line_start, e, decided, open);
      if (open == 0) break;
    }
  }
  for (uint32_t i = 0; i < e.columns; ++i) {
    if (!decided[i]) {
      e.uses[i] = FieldUse::skip;
      e.empty[i] = true;
    }
  }
}

// The columns --columns or --skip-columns leave out, marked before the
// others are looked at; the order of --columns is kept.
void pick_columns(const RowRules &rules, Examination &e) {
  e.uses.assign(e.columns, FieldUse::value);
  e.empty.assign(e.columns, false);
  if (rules.pick == ColumnPick::all) return;
  const bool listed = rules.pick == ColumnPick::listed;
  const std::vector<uint32_t> named = listed_columns(
      rules.pick_list, e.names, e.columns, listed ? "--columns" : "--skip-columns", listed);
  if (!listed) {
    for (const uint32_t c : named) e.uses[c] = FieldUse::unchosen;
    return;
  }
  e.uses.assign(e.columns, FieldUse::unchosen);
  for (const uint32_t c : named) e.uses[c] = FieldUse::value;
  e.order = named;
}

// Every column --columns lists must hold numbers.
void check_chosen_columns(const Examination &e) {
  for (const uint32_t c : e.order) {
    if (e.uses[c] == FieldUse::value) continue;
    const std::string name = c < e.names.size() ? e.names[c] : std::string();
    const std::string shown = shown_field(name.data(), name.size());
    const char *what = e.uses[c] == FieldUse::label ? "row labels"
                       : e.empty[c]                 ? "no values"
                                                    : "text";
    fatal("--columns: column %u (%s) holds %s\n", c + 1, shown.c_str(), what);
  }
}

// The group column of --by: one column, by name or number, not one that
// --columns makes a variable.
void mark_group_column(const RowRules &rules, Examination &e) {
  if (rules.group_column.empty()) return;
  const std::vector<uint32_t> named =
      listed_columns(rules.group_column, e.names, e.columns, "--by", true);
  if (named.size() != 1) fatal("--by names one column (%s)\n", rules.group_column.c_str());
  const uint32_t c = named[0];
  if (rules.pick == ColumnPick::listed && e.uses[c] == FieldUse::value)
    fatal("--by: column %u is among --columns\n", c + 1);
  e.uses[c] = FieldUse::group;
  e.group = c;
}

// The uses of a CSV file's columns: those left out by a list, the label
// column and the text and empty ones of a file with names.
void sort_out_columns(LineReader &r, const GrowableLine &line, RowScratch &s,
                      const RowRules &rules, Examination &e) {
  pick_columns(rules, e);
  mark_group_column(rules, e);
  if (e.has_names) classify_columns(r, line, s, rules, e);
  check_chosen_columns(e);
  e.analysed = 0;
  for (const FieldUse use : e.uses) e.analysed += use == FieldUse::value ? 1 : 0;
}

}  // namespace

void mark_white_space_group(const RowRules &rules, Examination &e) {
  e.uses.assign(e.columns, FieldUse::value);
  e.empty.assign(e.columns, false);
  mark_group_column(rules, e);
}

Examination examine_data(FILE *in, GrowableLine &line, const RowRules &rules, const Console &con) {
  Examination e;
  line.silent = rules.csv;  // for this file's examination and count passes
  if (rules.plain() && !rules.names) {
    e.columns = examine_first_line(in, line, con);
    e.analysed = e.columns;
    return e;
  }
  LineReader r;
  start_records(r, in, rules);
  RowScratch s;
  int64_t len = read_record(r, line, s, rules, con);
  if (len < 0) fatal("Can't read file");
  if (rules.csv) split_fields(s, line.bytes.get(), line.bytes.get() + len, rules.sep);
  if (rules.names || csv_fields_are_names(s, rules)) {
    e.has_names = true;
    const char *text = line.bytes.get();
    e.names = names_of_line(s, rules, text, text + len);
    len = read_record(r, line, s, rules, con);
    if (len < 0) fatal("Too few variables\n");
    if (rules.csv) split_fields(s, line.bytes.get(), line.bytes.get() + len, rules.sep);
  }
  e.columns = values_in_record(line, len, s, rules, r.line_start);
  if (e.columns == 0) fatal("Too few variables\n");
  if (e.has_names && names_for_row_names(e.names, e.columns, s, rules))
    e.names.insert(e.names.begin(), std::string());
  if (e.has_names && e.names.size() != e.columns)
    fatal("Names line holds %zu names, rows hold %u values\n", e.names.size(), e.columns);
  e.analysed = e.columns;
  if (rules.csv && (e.has_names || rules.pick != ColumnPick::all || !rules.group_column.empty()))
    sort_out_columns(r, line, s, rules, e);
  return e;
}
