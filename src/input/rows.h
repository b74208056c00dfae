// What one data line holds, in each input format: numbers stored through
// the column map, missing-value markers, and the names line. The line
// reader finds the lines; these routines only interpret them.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
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
  // A data column whose missing value leaves no row out: the group column of
  // --by in a white-space file, loaded as a variable until it becomes the
  // rows' group values; -1 for none.
  int64_t group_variable = -1;
  std::vector<FieldUse> uses;         // CSV: per file column; beyond it, values
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

RowRules row_rules(const Switches &sw);

// Scratch of the row routines, kept from line to line.
struct RowScratch {
  NumberScanner scanner;
  std::vector<CsvField> fields;
  std::string unescaped;
  CsvScan scan;
  bool split = false;  // `fields` holds the current CSV record
  std::string label;   // the label field of the last converted record
  std::string group;   // the group field of the last converted record; empty when missing
  std::unordered_map<std::string, int32_t> group_numbers;  // values this part has numbered
  std::vector<uint32_t> missing_at;  // data columns of the last record's missing values
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

// Ends the run with "Not a number in line %lu, field %u: \"%s\"\n".
[[noreturn]] void not_a_number(uint64_t line_number, uint32_t field, const char *p, size_t len);

// The values of a white-space line under --missing or --numbers-only (the
// plain case is convert_row). A token that is a missing word takes a value's
// place; a token that is not wholly a number ends the row, or under
// --numbers-only ends the run with "Not a number in line %lu, field %u:
// \"%s\"\n" naming the file's line `line_number`. With `row` null the
// values are only counted.
RowValues scan_blank_row(RowScratch &s, const char *line, const char *end, double *row,
                         const int32_t *map, uint32_t room, const RowRules &rules,
                         uint64_t line_number);

// The values of the split CSV record in s.fields: every field a number or a
// missing value, else the run ends with "Not a number in line %lu, field %u:
// \"%s\"\n". Fields beyond `room` are only counted.
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
