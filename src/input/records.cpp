// Records of either format. A CSV record that a quote keeps open takes the
// following lines whole, comment characters included, as the quoted text
// they are part of.
#include "input/records.h"

#include <cstring>

#include "base/messages.h"

namespace {

// Appends the next physical line to `line` after its first `len` bytes,
// growing the buffer as the line needs; returns the new length, or `len`
// when the file has ended.
int64_t append_line(LineReader &r, GrowableLine &line, int64_t len) {
  for (;;) {
    if (line.capacity - len < 2) grow_line_buffer(line);
    const int64_t got = read_line_piece(r, line.bytes.get() + len, line.capacity - len);
    len += got;
    if (got == 0 || line_is_whole(r, line.bytes.get(), len)) return len;
  }
}

}  // namespace

void start_records(LineReader &r, FILE *in, const RowRules &rules) {
  reader_open(r, in);
  r.comments = rules.comments();
  skip_byte_order_mark(r, rules);
}

void skip_byte_order_mark(LineReader &r, const RowRules &rules) {
  if (!rules.csv || !fill_window(r)) return;
  const char *p = r.window.get() + r.pos;
  r.pos += utf8_bom_length(p, r.window.get() + r.end);
}

int64_t read_record(LineReader &r, GrowableLine &line, RowScratch &s, const RowRules &rules,
                    const Console &con) {
  if (!rules.csv) return read_whole_data_line(r, line, con);
  for (;;) {
    int64_t len = read_whole_data_line(r, line, con);
    if (len < 0) return -1;
    char *text = line.bytes.get();
    if (is_blank_line(text, text + len)) continue;
    // A record without a quote ends with its line; it is split only when
    // someone asks for its fields.
    s.split = false;
    if (std::memchr(text, '"', static_cast<size_t>(len)) == nullptr) return len;
    s.split = true;
    s.scan = CsvScan{};
    for (;;) {
      text = line.bytes.get();
      if (split_csv_record(text, text + len, s.scan, s.fields, s.unescaped, rules.sep) ==
          CsvSplit::ok)
        return len;
      const int64_t longer = append_line(r, line, len);
      if (longer == len)
        fatal("Unterminated quoted field in line %lu\n", static_cast<unsigned long>(r.line_start));
      len = longer;
    }
  }
}

RecordValues convert_record(RowScratch &s, const char *text, int64_t len, double *row,
                            const int32_t *map, uint32_t room, const RowRules &rules,
                            uint64_t line_number) {
  RecordValues v;
  s.missing_at.clear();
  if (rules.csv && !s.split) {
    v.row = convert_csv_text(s, text, text + len, row, map, room, rules, line_number, &v.values);
  } else if (rules.csv) {
    v.row = convert_csv_fields(s, row, map, room, rules, line_number);
    v.values = s.fields.size();
  } else {
    v.row = scan_blank_row(s, text, text + len, row, map, room, rules, line_number);
    v.values = v.row.stored;
  }
  return v;
}

RecordFacts convert_for_loading(RowScratch &s, bool plain, const char *text, int64_t len,
                                double *row, const int32_t *map, uint32_t room,
                                const RowRules &rules, uint64_t line_number, bool cut_off) {
  RecordFacts f;
  f.cut_off = cut_off;
  if (plain) {
    const RowScan scan = convert_row(s.scanner, text, text + len, row, map, room);
    f.values = scan.stored;
    f.truncated = scan.more;
    return f;
  }
  const RecordValues v = convert_record(s, text, len, row, map, room, rules, line_number);
  f.values = v.values;
  f.truncated = !rules.csv && v.row.more;
  f.missing = v.row.missing;
  if (f.missing) f.missing_at = &s.missing_at;
  return f;
}
