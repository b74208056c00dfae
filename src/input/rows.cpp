// Interpretation of data lines beyond the plain white-space rows: missing
// values, the word check of --numbers-only, CSV fields and names lines.
// Numbers are converted by the same routine in every format, so the same
// text gives the same bits.
#include "input/rows.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/messages.h"

void not_a_number(uint64_t line_number, uint32_t field, const char *p, size_t len,
                  const std::vector<std::string> &names) {
  const auto line = static_cast<unsigned long>(line_number);
  if (field == 0 || field > names.size())
    fatal("Not a number in line %lu, field %u: \"%s\"\n", line, field, shown_field(p, len).c_str());
  const std::string &name = names[field - 1];
  fatal("Not a number in line %lu, column %u (%s): \"%s\"\n", line, field,
        shown_field(name.data(), name.size()).c_str(), shown_field(p, len).c_str());
}

void text_field(RowScratch &s, const RowRules &rules, uint64_t line_number, uint32_t field,
                uint32_t value, const char *p, size_t len) {
  // Without a names line a column cannot be named, nor told from a row of
  // another kind: text there stays an error.
  if (rules.numbers_only || rules.column_names.empty())
    not_a_number(line_number, field, p, len, rules.column_names);
  if (rules.in_passes) {
    const std::string name =
        field <= rules.column_names.size() ? rules.column_names[field - 1] : std::string();
    fatal("Leaving out column %u (%s), text in line %lu, needs the whole table in memory: the "
          "file needs more than --max-memory\n",
          field, shown_field(name.data(), name.size()).c_str(),
          static_cast<unsigned long>(line_number));
  }
  if (value >= s.text_seen.size()) s.text_seen.resize(value + size_t{1}, false);
  if (s.text_seen[value]) return;
  s.text_seen[value] = true;
  s.text_cells.push_back(TextCell{value, field, line_number, std::string(p, len)});
}

namespace {

bool is_missing_word(const char *p, size_t len, const std::vector<std::string> &words) {
  for (const std::string &w : words)
    if (w.size() == len && std::memcmp(w.data(), p, len) == 0) return true;
  return false;
}

const char *token_end(const char *p, const char *end) {
  while (p < end && !is_c_space(*p)) ++p;
  return p;
}

}  // namespace

RowRules row_rules(const ReadOptions &read, const AnalysisOptions &analysis) {
  RowRules r;
  r.csv = read.csv || read.separator != 0;
  r.sep = read.separator != 0 ? read.separator : ',';
  r.comma_decimals = read.comma_decimals;
  r.names = read.names != 0;
  // --conventional reads white-space files strictly; a separated file's
  // text columns are skipped under it as without it.
  r.numbers_only = read.numbers_only || (analysis.conventional && !r.csv);
  r.missing = read.missing;
  r.empty_is_missing = r.csv;
  r.keep_missing = analysis.use == MissingUse::pairwise;
  r.pick = read.pick;
  r.pick_list = read.pick_list;
  r.group_column = analysis.by;
  // Separated files take the usual spellings of a missing value as such,
  // besides the words given; under --conventional or --names white-space
  // files too (R's write.table(quote = FALSE) writes NA).
  if (r.csv || analysis.conventional || r.names)
    for (const char *w : kUsualMissingWords) r.missing.emplace_back(w);
  return r;
}

const char *RowRules::comments() const {
  if (!csv || std::strchr(kCommentChars, sep) == nullptr) return kCommentChars;
  return sep == '#' ? ";!" : sep == ';' ? "#!" : "#;";
}

namespace {

// A group value as written; a missing one (empty or a missing word) is kept
// as the empty text, which no group has.
void keep_group(RowScratch &s, const RowRules &rules, const char *p, size_t len,
                bool missing = false) {
  if (missing || len == 0 || is_missing_word(p, len, rules.missing))
    s.group.clear();
  else
    s.group.assign(p, len);
}

// A white-space file's group value, a number: its shortest decimal text, so
// that "1.0" and "1" are one group ("1"); a missing one or NaN is none.
void keep_number_group(RowScratch &s, double x, bool missing) {
  if (missing || std::isnan(x)) {
    s.group.clear();
    return;
  }
  char text[32];
  s.group.assign(text, std::to_chars(text, text + sizeof text, x).ptr);
}

bool scan_value(RowScratch &s, const RowRules &rules, const char *p, const char *end, double *x,
                const char **next) {
  return rules.comma_decimals ? scan_comma_number(s.scanner, p, end, x, next)
                              : scan_number(s.scanner, p, end, x, next);
}

}  // namespace

RowValues scan_blank_row(RowScratch &s, const char *line, const char *end, double *row,
                         const int32_t *map, uint32_t room, const RowRules &rules,
                         uint64_t line_number) {
  const void *nul = std::memchr(line, '\0', static_cast<size_t>(end - line));
  if (nul != nullptr) end = static_cast<const char *>(nul);
  RowValues out;
  uint32_t value = 0;  // the values stored: the numbers but the group's
  // The group column's field (1-based, 0 for none), looked up once a line
  // and not once a number.
  const auto group = std::find(rules.uses.begin(), rules.uses.end(), FieldUse::group);
  const uint64_t group_field =
      group == rules.uses.end() ? 0 : static_cast<uint64_t>(group - rules.uses.begin()) + 1;
  const char *p = line;
  for (uint32_t field = 1;; ++field) {
    while (p < end && is_c_space(*p)) ++p;
    if (p == end) break;
    double x = 0;
    const char *stop = nullptr, *next = nullptr;
    bool missing = false;
    // Nearly every token is a plain number right up to white space or the
    // end: its own whole token, which the general reading would only read
    // again.
    const char *plain = rules.comma_decimals ? nullptr : scan_plain_decimal(p, end, &x);
    if (plain != nullptr && (plain == end || is_c_space(*plain))) {
      stop = next = plain;
      missing = is_missing_word(p, static_cast<size_t>(stop - p), rules.missing);
    } else {
      stop = token_end(p, end);
      missing = is_missing_word(p, static_cast<size_t>(stop - p), rules.missing);
      if (!missing && !scan_value(s, rules, p, end, &x, &next)) {
        if (rules.numbers_only) not_a_number(line_number, field, p, static_cast<size_t>(stop - p));
        break;
      }
      if (!missing && next != stop && rules.numbers_only)
        not_a_number(line_number, field, p, static_cast<size_t>(stop - p));
    }
    if (out.stored == room) {
      out.more = true;
      break;
    }
    if (field == group_field) {
      keep_number_group(s, x, missing);
      ++out.stored;
      p = missing ? stop : next;
      continue;
    }
    if (row != nullptr) row[map[value]] = missing ? kMissingValue : x;
    if (missing && row != nullptr) s.missing_at.push_back(static_cast<uint32_t>(map[value]));
    out.missing |= missing;
    ++out.stored;
    ++value;
    // A number followed by more text in its token ("1.5abc") ends there,
    // and the rest is read as the next item, as in plain rows.
    p = missing ? stop : next;
  }
  return out;
}

void split_fields(RowScratch &s, const char *line, const char *end, char sep) {
  if (s.split) return;
  CsvScan scan;
  split_csv_record(line, end, scan, s.fields, s.unescaped, sep);
  s.split = true;
}

RowValues convert_csv_text(RowScratch &s, const char *line, const char *end, double *row,
                           const int32_t *map, uint32_t room, const RowRules &rules,
                           uint64_t line_number, uint64_t *fields) {
  if (end > line && end[-1] == '\n') --end;
  if (end > line && end[-1] == '\r') --end;
  RowValues out;
  uint32_t field = 0;
  // Most fields are a plain number right up to the separator; the separator
  // must not be able to continue a number for that reading to hold.
  const bool plain_fields =
      !rules.comma_decimals && std::strchr("0123456789.eE+-", rules.sep) == nullptr;
  for (const char *p = line;; ++p) {
    ++field;
    if (plain_fields && rules.use(field - 1) == FieldUse::value && out.stored < room) {
      double x = 0;
      const char *stop = scan_plain_decimal(p, end, &x);
      if (stop != nullptr && (stop == end || *stop == rules.sep) &&
          !is_missing_word(p, static_cast<size_t>(stop - p), rules.missing)) {
        row[map[out.stored]] = x;
        ++out.stored;
        p = stop;
        if (stop == end) break;
        continue;
      }
    }
    const void *hit = std::memchr(p, rules.sep, static_cast<size_t>(end - p));
    const char *comma = hit != nullptr ? static_cast<const char *>(hit) : end;
    const char *a = p, *b = comma;
    while (a < b && (*a == ' ' || *a == '\t')) ++a;
    while (b > a && (b[-1] == ' ' || b[-1] == '\t')) --b;
    const size_t size = static_cast<size_t>(b - a);
    const FieldUse use = rules.use(field - 1);
    if (use != FieldUse::value) {
      if (use == FieldUse::label) s.label.assign(a, size);
      if (use == FieldUse::group) keep_group(s, rules, a, size);
      p = comma;
      if (comma == end) break;
      continue;
    }
    const bool missing =
        size == 0 ? rules.empty_is_missing : is_missing_word(a, size, rules.missing);
    double x = 0;
    bool text = false;
    if (!missing) {
      const char *next = nullptr;
      text = size == 0 || !scan_value(s, rules, a, b, &x, &next);
      while (!text && next < b && is_c_space(*next)) ++next;
      text = text || next != b;
      if (text && out.stored == room) not_a_number(line_number, field, a, size, rules.column_names);
      if (text) text_field(s, rules, line_number, field, out.stored, a, size);
    }
    if (out.stored == room) {
      out.more = true;
    } else if (text) {
      row[map[out.stored]] = kMissingValue;
      ++out.stored;
    } else {
      row[map[out.stored]] = missing ? kMissingValue : x;
      if (missing) s.missing_at.push_back(static_cast<uint32_t>(map[out.stored]));
      out.missing |= missing;
      ++out.stored;
    }
    p = comma;
    if (comma == end) break;
  }
  *fields = field;
  return out;
}

RowValues convert_csv_fields(RowScratch &s, double *row, const int32_t *map, uint32_t room,
                             const RowRules &rules, uint64_t line_number) {
  RowValues out;
  uint32_t field = 0;
  for (const CsvField &f : s.fields) {
    ++field;
    const FieldUse use = rules.use(field - 1);
    if (use != FieldUse::value) {
      if (use == FieldUse::label) s.label.assign(f.text, f.size);
      if (use == FieldUse::group)
        keep_group(s, rules, f.text, f.size, csv_field_is_missing(f, rules.missing, true));
      continue;
    }
    double x = 0;
    const bool missing = csv_field_is_missing(f, rules.missing, rules.empty_is_missing);
    const bool text = !missing && !csv_field_number(s.scanner, f, &x, rules.comma_decimals);
    if (text && out.stored == room)
      not_a_number(line_number, field, f.text, f.size, rules.column_names);
    if (text) text_field(s, rules, line_number, field, out.stored, f.text, f.size);
    if (out.stored == room) {
      out.more = true;
      continue;
    }
    if (text) {
      row[map[out.stored]] = kMissingValue;
      ++out.stored;
      continue;
    }
    row[map[out.stored]] = missing ? kMissingValue : x;
    if (missing) s.missing_at.push_back(static_cast<uint32_t>(map[out.stored]));
    out.missing |= missing;
    ++out.stored;
  }
  return out;
}

bool csv_fields_are_names(RowScratch &s, const RowRules &rules) {
  for (const CsvField &f : s.fields) {
    double x = 0;
    if (!csv_field_is_missing(f, rules.missing, rules.empty_is_missing) &&
        !csv_field_number(s.scanner, f, &x, rules.comma_decimals))
      return true;
  }
  return false;
}

std::vector<std::string> names_of_line(const RowScratch &s, const RowRules &rules,
                                       const char *line, const char *end) {
  if (!rules.csv) return split_blank_names(line, end);
  std::vector<std::string> names;
  for (const CsvField &f : s.fields) names.emplace_back(f.text, f.size);
  return names;
}

bool is_blank_line(const char *line, const char *end) {
  for (const char *p = line; p < end; ++p)
    if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') return false;
  return true;
}
