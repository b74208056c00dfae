// What one data line holds, in each input format: numbers stored through
// the column map, missing-value markers, and the names line. The line
// reader finds the lines; these routines only interpret them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/csv.h"
#include "input/numparse.h"
#include "input/reader.h"
#include "cli/switches.h"

// What a field of a separated file is used for: a value of the analysis,
// skipped (a text or empty column), the row's label, or left out by
// --columns or --skip-columns, or the group column of --by.
enum class FieldUse : uint8_t { value, skip, label, unchosen, group };

// How the lines of a file are read, from the switches.
struct RowRules {
  bool csv = false;
  bool names = false;                 // the first data line holds names
  bool numbers_only = false;          // a word among the numbers is an error
  std::vector<std::string> missing;   // words that mark a missing value
  bool empty_is_missing = false;      // CSV: an empty field is missing
  char sep = ',';                     // CSV: the field separator
  bool comma_decimals = false;        // a comma is the decimal point
  bool keep_missing = false;          // rows with a missing value stay (--use=pairwise)
  // Per file column; beyond it, values. CSV, and the group column of --by
  // in a white-space file.
  std::vector<FieldUse> uses;
  std::vector<std::string> column_names;  // CSV: the names line's names, for messages
  // The rows go to a spill as they are loaded (--max-memory): a column
  // that turns to text can no longer be taken out of them.
  bool in_passes = false;
  ColumnPick pick = ColumnPick::all;  // CSV: the columns chosen by a list
  std::string pick_list;
  std::string group_column;           // --by: the group column's name or number
  FieldUse use(uint32_t field) const { return field < uses.size() ? uses[field] : FieldUse::value; }
  bool plain() const { return !csv && !numbers_only && missing.empty() && !comma_decimals; }
  const char *comments() const;  // the comment characters: never the separator
};

// The words that mark a missing value in a separated file without
// --missing (an empty field is missing there too).
inline constexpr const char *kUsualMissingWords[] = {"NA",   "N/A",  "NaN",  "nan",
                                                     "NULL", "null", "#N/A"};

// The rules a file's records are read under.
RowRules row_rules(const ReadOptions &read, const AnalysisOptions &analysis);

// The first text value met in a value column of a separated file.
struct TextCell {
  uint32_t value = 0;  // the column among the record's values (0-based)
  uint32_t field = 0;  // its data-file column (1-based)
  uint64_t line = 0;   // the file line of the record
  std::string text;    // the value as written, quotes taken off
};

// Scratch of the row routines, kept from line to line.
struct RowScratch {
  NumberScanner scanner;
  std::vector<CsvField> fields;
  std::string unescaped;
  CsvScan scan;
  bool split = false;  // `fields` holds the current CSV record
  std::string label;   // the label field of the last converted record
  std::string group;   // the group field of the last converted record; empty when missing
  std::vector<uint32_t> missing_at;  // data columns of the last record's missing values
  std::vector<TextCell> text_cells;  // under retire_text: per column its first text value
  std::vector<bool> text_seen;       // per value column: it is among text_cells
};

// Splits the current CSV record [line, end) into s.fields unless that was
// done already.
void split_fields(RowScratch &s, const char *line, const char *end, char sep = ',');

// What a missing value is stored as: not a number, so that a row kept with
// one (--use=pairwise) cannot pass it off as a value.
inline constexpr double kMissingValue = __builtin_nan("");

// A row as converted: like RowScan, and whether it held a missing value.
struct RowValues {
  uint32_t stored = 0;   // values found (numbers and missing markers), at most room
  bool more = false;     // a value followed the room-th
  bool missing = false;  // a missing-value marker was among them
};

// Ends the run with "Not a number in line %lu, field %u: \"%s\"\n", or
// where `names` names the column "Not a number in line %lu, column %u
// (%s): \"%s\"\n"; `field` is 1-based.
[[noreturn]] void not_a_number(uint64_t line_number, uint32_t field, const char *p, size_t len,
                               const std::vector<std::string> &names = {});

// A field of a separated file's value column `value` that is neither a
// number nor missing: the column becomes a text column (its first text
// value kept in s.text_cells, for the loading pass to retire it) and the
// field stands in its row as a missing value that leaves no row out.
// Under --numbers-only, and in a file without names (rules.column_names
// empty), the run ends with not_a_number naming the column;
// in passes it ends saying that leaving the column out needs the whole
// table in memory.
void text_field(RowScratch &s, const RowRules &rules, uint64_t line_number, uint32_t field,
                uint32_t value, const char *p, size_t len);

// The values of a white-space line under --missing or --numbers-only (the
// plain case is convert_row). A token that is a missing word takes a value's
// place; a token that is not wholly a number ends the row, or under
// --numbers-only ends the run with "Not a number in line %lu, field %u:
// \"%s\"\n" naming the file's line `line_number`. With `row` null the
// values are only counted. The number in the group column (rules.uses)
// counts among the stored ones, as the row-length rule counts every number
// of the line, but goes to s.group as its shortest decimal text (none for a
// missing one or NaN) and leaves no row out; the values go through `map`
// by their place among the values.
RowValues scan_blank_row(RowScratch &s, const char *line, const char *end, double *row,
                         const int32_t *map, uint32_t room, const RowRules &rules,
                         uint64_t line_number);

// The values of the split CSV record in s.fields: every field a number or a
// missing value, else text_field decides (text beyond `room` ends the run
// with not_a_number). Fields beyond `room` are only counted.
RowValues convert_csv_fields(RowScratch &s, double *row, const int32_t *map, uint32_t room,
                             const RowRules &rules, uint64_t line_number);

// The same for a CSV record without quotes, read straight from its text
// without splitting it first; `fields` gets the record's field count.
RowValues convert_csv_text(RowScratch &s, const char *line, const char *end, double *row,
                           const int32_t *map, uint32_t room, const RowRules &rules,
                           uint64_t line_number, uint64_t *fields);

// True when the split CSV record in s.fields is a names line: some field is
// neither a number nor a missing value.
bool csv_fields_are_names(RowScratch &s, const RowRules &rules);

// The names of a names line: the CSV fields' values, or the blank-separated
// words of a white-space line.
std::vector<std::string> names_of_line(const RowScratch &s, const RowRules &rules,
                                       const char *line, const char *end);

// True for a line holding nothing but blanks and its line end: CSV mode
// skips such lines.
bool is_blank_line(const char *line, const char *end);
