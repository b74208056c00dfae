// Splitting CSV records into fields and judging fields as numbers, missing
// values or message text. Quoting follows the common comma-separated form:
// "" inside a quoted field is one quote; line ends inside quotes are text.
#include "input/csv.h"

#include <cstring>

namespace {

constexpr size_t kShownBytes = 60;
constexpr char kHex[] = "0123456789abcdef";

// Where the quote tracking stands within the current field.
enum TrackState : uint8_t { kFieldStart = 0, kUnquoted, kQuoted, kAfterQuote };

// Blanks around a field; a tab is none when it separates the fields.
inline bool is_blank(char ch, char sep) { return (ch == ' ' || ch == '\t') && ch != sep; }

// Moves the quote tracking over [p + scan.offset, end). A quote that is the
// last byte of the range closes its field: nothing follows it to pair with.
void track_quotes(const char *p, const char *end, char sep, CsvScan &scan) {
  const char *q = p + scan.offset;
  uint8_t st = scan.state;
  for (; q < end; ++q) {
    const char ch = *q;
    if (st == kQuoted) {
      if (ch != '"') continue;
      if (q + 1 < end && q[1] == '"') {
        ++q;
        continue;
      }
      st = kAfterQuote;
    } else if (ch == sep) {
      st = kFieldStart;
    } else if (st == kFieldStart && ch == '"') {
      st = kQuoted;
    } else if (st == kFieldStart && !is_blank(ch, sep)) {
      st = kUnquoted;
    }
  }
  scan.offset = static_cast<size_t>(end - p);
  scan.state = st;
}

// The record without its line end.
const char *record_end(const char *p, const char *end) {
  if (end > p && end[-1] == '\n') --end;
  if (end > p && end[-1] == '\r') --end;
  return end;
}

const char *skip_blanks(const char *q, const char *end, char sep) {
  while (q < end && is_blank(*q, sep)) ++q;
  return q;
}

const char *trim_blanks_back(const char *from, const char *q, char sep) {
  while (q > from && is_blank(q[-1], sep)) --q;
  return q;
}

const char *next_comma(const char *q, const char *end, char sep) {
  if (q >= end) return end;
  const void *c = std::memchr(q, sep, static_cast<size_t>(end - q));
  return c ? static_cast<const char *>(c) : end;
}

// An unquoted field starting at its first non-blank `q`; returns the byte
// after it (a comma or the record end).
const char *unquoted_field(const char *q, const char *end, char sep, CsvField &f) {
  const char *stop = next_comma(q, end, sep);
  const char *last = trim_blanks_back(q, stop, sep);
  f = CsvField{q, static_cast<size_t>(last - q), q, static_cast<size_t>(last - q), false};
  return stop;
}

// The value of the quoted field whose opening quote is at `open`, ending at
// `*close` (set to the closing quote). Unescapes into `scratch` only when
// the field holds a "" pair. The record is complete, so the quote closes.
void quoted_value(const char *open, const char *end, std::string &scratch, CsvField &f,
                  const char **close) {
  const char *body = open + 1;
  const char *q = body;
  size_t from = scratch.size();
  bool escaped = false;
  for (;;) {
    const void *hit = std::memchr(q, '"', static_cast<size_t>(end - q));
    const char *quote = hit ? static_cast<const char *>(hit) : end;
    if (quote + 1 < end && quote[1] == '"') {
      scratch.append(q, quote + 1);  // the text and one quote of the pair
      escaped = true;
      q = quote + 2;
      continue;
    }
    *close = quote;
    if (!escaped) {
      f.text = body;
      f.size = static_cast<size_t>(quote - body);
      return;
    }
    scratch.append(q, quote);
    f.text = scratch.data() + from;
    f.size = scratch.size() - from;
    return;
  }
}

// A quoted field opening at `open`; returns the byte after it.
const char *quoted_field(const char *open, const char *end, char sep, std::string &scratch,
                         CsvField &f) {
  const char *close = nullptr;
  quoted_value(open, end, scratch, f, &close);
  const char *after = close < end ? close + 1 : end;
  const char *q = skip_blanks(after, end, sep);
  if (q == end || *q == sep) {
    f.raw = open;
    f.raw_size = static_cast<size_t>(after - open);
    f.malformed = false;
    return q;
  }
  const char *stop = next_comma(q, end, sep);
  const char *last = trim_blanks_back(q, stop, sep);
  f = CsvField{open, static_cast<size_t>(last - open), open, static_cast<size_t>(last - open),
               true};
  return stop;
}

void split_complete(const char *p, const char *end, char sep, std::vector<CsvField> &fields,
                    std::string &scratch) {
  const char *q = p;
  for (;;) {
    CsvField f{};
    q = skip_blanks(q, end, sep);
    q = (q < end && *q == '"') ? quoted_field(q, end, sep, scratch, f)
                               : unquoted_field(q, end, sep, f);
    fields.push_back(f);
    if (q == end) return;
    ++q;  // the comma
  }
}

// A record without quotes: fields between commas, blanks around them trimmed.
void split_unquoted(const char *p, const char *end, char sep, std::vector<CsvField> &fields) {
  const char *q = p;
  for (;;) {
    CsvField f{};
    q = unquoted_field(skip_blanks(q, end, sep), end, sep, f);
    fields.push_back(f);
    if (q == end) return;
    ++q;  // the comma
  }
}

}  // namespace

CsvSplit split_csv_record(const char *p, const char *end, CsvScan &scan,
                          std::vector<CsvField> &fields, std::string &scratch, char sep) {
  fields.clear();
  // Most records hold no quote at all: nothing to track, nothing to
  // unescape, and memchr finds that far faster than the byte walk.
  const size_t size = end > p ? static_cast<size_t>(end - p) : 0;
  if (scan.offset == 0 && std::memchr(p, '"', size) == nullptr) {
    split_unquoted(p, record_end(p, end), sep, fields);
    return CsvSplit::ok;
  }
  track_quotes(p, end, sep, scan);
  if (scan.state == kQuoted) return CsvSplit::needs_more_input;
  scan = CsvScan{};
  // Unescaped values are never longer than the record, so with this much
  // room reserved the appends below never move the views already taken.
  scratch.clear();
  scratch.reserve(static_cast<size_t>(end - p));
  split_complete(p, record_end(p, end), sep, fields, scratch);
  return CsvSplit::ok;
}

bool csv_field_number(NumberScanner &s, const CsvField &f, double *out, bool comma_decimals) {
  if (f.malformed) return false;
  const char *end = f.text + f.size;
  const char *next = nullptr;
  double x = 0;
  const bool read = comma_decimals ? scan_comma_number(s, f.text, end, &x, &next)
                                   : scan_number(s, f.text, end, &x, &next);
  if (!read) return false;
  while (next < end && is_c_space(*next)) ++next;
  if (next != end) return false;
  *out = x;
  return true;
}

bool csv_field_is_missing(const CsvField &f, const std::vector<std::string> &missing_words,
                          bool empty_is_missing) {
  if (f.malformed) return false;
  if (f.size == 0) return empty_is_missing;
  for (const std::string &w : missing_words)
    if (w.size() == f.size && std::memcmp(w.data(), f.text, f.size) == 0) return true;
  return false;
}

std::string shown_field(const char *p, size_t len) {
  const size_t n = len < kShownBytes ? len : kShownBytes;
  std::string out;
  out.reserve(n * 4 + 3);
  for (size_t i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(p[i]);
    if (b == '\\') {
      out += "\\\\";
    } else if (b < 0x20 || b >= 0x7f) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += static_cast<char>(b);
    }
  }
  if (n < len) out += "...";
  return out;
}

size_t utf8_bom_length(const char *p, const char *end) {
  if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) return 3;
  return 0;
}

std::vector<std::string> split_blank_names(const char *p, const char *end) {
  const void *nul = std::memchr(p, '\0', static_cast<size_t>(end - p));
  if (nul != nullptr) end = static_cast<const char *>(nul);
  std::vector<std::string> names;
  const char *q = p;
  for (;;) {
    while (q < end && is_c_space(*q)) ++q;
    if (q == end) return names;
    const char *w = q;
    while (q < end && !is_c_space(*q)) ++q;
    names.emplace_back(w, q);
  }
}
