// Examination of a data file before loading: the column count of its first
// data line and the row capacity (the count of data lines). Opening and
// closing the file is the driver's job.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/console.h"
#include "input/reader.h"
#include "input/rows.h"
#include "input/splitload.h"
#include "machine/workers.h"

// Count of numbers (as strtod reads them) at the start of `s`, saturating.
uint32_t count_columns(const char *s);

// Reads the first data line of `in` into `line`, rereading it with a grown
// buffer while it is cut, and returns its column count. Ends the run with
// "Can't read file" when there is no data line and "Too few variables\n"
// when the line starts with no number.
uint32_t examine_first_line(FILE *in, GrowableLine &line, const Console &con);

// What the examination found: the column count and, when the file has a
// names line, the names in file-column order.
struct Examination {
  uint32_t columns = 0;
  bool has_names = false;
  std::vector<std::string> names;
  // A CSV file with names, or a file with a --by column: what each column
  // is for (empty: all values), and the count of value columns, which the
  // analysis takes (in a white-space file, every number of the line).
  std::vector<FieldUse> uses;
  std::vector<bool> empty;  // per column: it holds no value at all (skipped)
  std::vector<uint32_t> order;  // --columns: the chosen file columns in order
  uint32_t analysed = 0;
  uint32_t group = UINT32_MAX;  // --by: the group column (0-based), UINT32_MAX for none
};

// The examination under the file's rules. Plain white-space files go
// through examine_first_line. With --names the first data line holds the
// names and the next one gives the column count; in CSV mode the field
// count of the first record does, and a first record holding a field that
// is neither a number nor missing is the names line. A names line whose
// count differs from the row length ends the run with "Names line holds %u
// names, rows hold %u values\n", except in a separated file whose names are
// one short and whose first row starts with text (R's write.table): that
// first column holds row labels, as a column with an empty name does.
//
// A CSV file with names has its columns sorted out too: a first column with
// an empty name holds row labels; a column whose first non-missing value is
// not a number holds text, and one without any value is empty: both are
// skipped (under --numbers-only a text column ends the run with "Not a
// number"). The records after the first are read only while a column is
// still undecided, with a buffer of their own and without a word.
//
// --columns and --skip-columns mark the columns they leave out before that,
// so that only the chosen ones are looked at; a column chosen by --columns
// that holds labels, text or nothing ends the run naming it. The column of
// --by is the group column, never a variable; --columns may not list it.
Examination examine_data(FILE *in, GrowableLine &line, const RowRules &rules, const Console &con);

// --by in a white-space file: its group column marked in e.uses and e.group
// by the rule and with the errors of a CSV file's. The column keeps its place
// in the rows' room (e.analysed stays the line's count of numbers), so that
// the arrays, the row-length rule and the truncation message count every
// number of the line as without --by; the place is left unused. Called by
// the driver after the column maps, where these errors have always come.
void mark_white_space_group(const RowRules &rules, Examination &e);

// The row capacity: the number of data lines, read with pieces of the
// capacity of `line` (pieces of over-long lines counted separately, so the
// capacity is never smaller than the rows loaded). Ends the run with "Too
// many data series: >%d\a\n" beyond INT32_MAX. A regular file at its start
// that split_at_lines splits is counted by the workers in parts, with the
// same count; the stream is then left unread.
// Lines starting with a byte of `comments` are comment lines.
uint32_t count_data_lines(FILE *in, const GrowableLine &line, Workers &w = serial_workers(),
                          uint64_t min_part = kMinPartBytes,
                          const char *comments = kCommentChars);
