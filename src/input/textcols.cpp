// Columns of a separated file that turn to text while it is loaded, taken
// out after the loading pass: no second pass over the file converts it.
#include "input/textcols.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "base/messages.h"
#include "input/records.h"
#include "record/rowspill.h"

TextColumns start_text_columns(const Analysis &a, RowRules &rules) {
  TextColumns t;
  if (!rules.csv || rules.in_passes) return t;
  t.missing_rows.assign(a.capacity, 0);
  t.hold = !rules.keep_missing;
  rules.keep_missing = true;
  return t;
}

void gather_text_cells(TextColumns &t, const std::vector<TextCell> &cells) {
  for (const TextCell &c : cells) {
    auto at = std::find_if(t.cells.begin(), t.cells.end(),
                           [&](const TextCell &d) { return d.value == c.value; });
    if (at == t.cells.end())
      t.cells.push_back(c);
    else if (c.line < at->line)
      *at = c;
  }
}

std::vector<std::string> names_line_of(FILE *in, const RowRules &rules) {
  struct stat st;
  const int fd = fileno(in);
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return {};
  LineReader r;
  reader_open_range(r, fd, 0, static_cast<uint64_t>(st.st_size), size_t{1} << 16);
  r.comments = rules.comments();
  skip_byte_order_mark(r, rules);
  GrowableLine line = make_line_buffer(256, "line");
  line.silent = true;
  RowScratch s;
  const Console silent{nullptr, nullptr, true};
  const int64_t len = read_record(r, line, s, rules, silent);
  if (len < 0) return {};
  split_fields(s, line.bytes.get(), line.bytes.get() + len, rules.sep);
  return names_of_line(s, rules, line.bytes.get(), line.bytes.get() + len);
}

namespace {

// Counts the rows with a missing value in a column that stays (`gone`: per
// variable, the column is retired) and, when they are held, leaves them out.
void leave_out_rows(Analysis &a, const TextColumns &t, const std::vector<bool> &gone) {
  uint64_t kept = 0, missing = 0;
  for (uint64_t k = 0; k < a.n; ++k) {
    bool out = t.missing_rows[k] != 0;
    if (out && !t.cells.empty()) {
      out = false;
      for (uint32_t v = 0; v < a.m && !out; ++v) out = !gone[v] && std::isnan(a.data[k][v]);
    }
    missing += out ? 1 : 0;
    if (out && t.hold) continue;
    move_row(a, k, kept);
    ++kept;
  }
  a.rows_left_out = missing;
  a.n = static_cast<uint32_t>(kept);
}

// Takes the retired variables out of every row and of the column maps.
void take_out_variables(Analysis &a, const std::vector<bool> &gone) {
  const uint32_t m = a.m;
  for (uint64_t k = 0; k < a.n; ++k) {
    double *row = a.data[k];
    uint32_t to = 0;
    for (uint32_t v = 0; v < m; ++v)
      if (!gone[v]) row[to++] = row[v];
  }
  uint32_t to = 0;
  for (uint32_t v = 0; v < a.columns; ++v) {
    if (v < m && gone[v]) continue;
    a.variable_to_file[to] = a.variable_to_file[v];
    if (v < a.missing_cells.size()) a.missing_cells[to] = a.missing_cells[v];
    ++to;
  }
  const uint32_t count = a.columns - to;
  for (uint32_t v = 0; v < to; ++v)
    a.file_to_variable[static_cast<size_t>(a.variable_to_file[v])] = static_cast<int32_t>(v);
  a.columns = to;
  a.m -= count;
  a.missing_cells.resize(a.m);
}

}  // namespace

void retire_text_columns(Analysis &a, const TextColumns &t, const RowRules &rules,
                         const Console &con) {
  if (t.missing_rows.empty() || (t.cells.empty() && !t.hold)) return;
  std::vector<TextCell> cells = t.cells;
  std::sort(cells.begin(), cells.end(),
            [](const TextCell &x, const TextCell &y) { return x.field < y.field; });
  std::vector<bool> gone(a.columns, false);
  for (const TextCell &c : cells) {
    const std::string name =
        c.field <= rules.column_names.size() ? rules.column_names[c.field - 1] : std::string();
    const std::string shown = shown_field(name.data(), name.size());
    if (rules.pick == ColumnPick::listed)
      fatal("--columns: column %u (%s) holds text\n", c.field, shown.c_str());
    gone[static_cast<size_t>(a.file_to_variable[c.value])] = true;
    say(con, "Skipped text column %u (%s): \"%s\" in line %lu\n", c.field, shown.c_str(),
        shown_field(c.text.data(), c.text.size()).c_str(), static_cast<unsigned long>(c.line));
    const auto at = std::find_if(a.skipped.begin(), a.skipped.end(),
                                 [&](const SkippedColumn &s) { return s.column > c.field; });
    a.skipped.insert(at, SkippedColumn{c.field, name, false});
  }
  leave_out_rows(a, t, gone);
  if (!cells.empty()) take_out_variables(a, gone);
}
