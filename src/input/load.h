// The loading pass: the column maps from --inverse and --sort, then every
// data line converted into a row of the data matrix under the row-length
// rules. The examination has sized the matrix; the driver owns the stream.
#pragma once

#include <cstdio>

#include "record/analysis.h"
#include "base/console.h"
#include "input/examine.h"
#include "input/rows.h"
#include "input/splitload.h"
#include "cli/switches.h"
#include "machine/workers.h"

// Fills the record's column maps for its c columns from --inverse or, when
// the TETRAD or covariance files are written, --sort (the sort listing on
// the output stream unless quiet). A sort entry out of range ends the run
// after the listing so far.
void build_column_maps(Analysis &a, const ReadOptions &read, const OutputOptions &output,
                       const Console &con);

// The line buffer of the loading pass over `in`: 5/4 of its first data line
// (at least 256 bytes) leaves room for somewhat longer rows before any
// rereading. The stream stays where it was.
GrowableLine loading_buffer(FILE *in);

// The rules of the loading pass over `in` under the file's rules: in CSV
// with a names line, the names for messages (one more, empty, for a names
// line one short of the row length, R's write.table). `in_passes`: the rows
// go to a spill.
RowRules loading_rules(FILE *in, const RowRules &file_rules, bool names_line, bool in_passes);

// Listwise deletion left no row: ends the run saying which variables have
// gaps (a.missing_cells, named through rules.uses and rules.column_names)
// and what reads the file all the same.
[[noreturn]] void every_row_missing(const Analysis &a, const RowRules &rules);

// Loads the numbers of `in` (positioned at its start) into the data matrix
// through the column maps, at most `capacity` rows of at most c values, and
// sets n and m (m: the value count of the last accepted row). Reports
// truncated rows and rereadings as they happen and ends with the "\r    \r"
// eraser on the error stream unless quiet. Does not close `in`. A regular
// file of at least two parts of `min_part` bytes is loaded by the workers
// in parts, with the same rows and the same messages (but no progress
// display); anything else in one pass.
void load_data(FILE *in, Analysis &a, const Console &con, Workers &w = serial_workers(),
               uint64_t min_part = kMinPartBytes);

// Loading under the rules of CSV, --names, --missing or --numbers-only: a
// names line first when `names_line`, skipped; rows holding a missing value
// are left out whole and counted in rows_left_out; a row whose value count
// differs ends the run with the wrong-row-length error counting every row
// read, left-out ones included. A regular file of at least two parts of
// `min_part` bytes is loaded by the workers in parts, as load_data does.
void load_records(FILE *in, Analysis &a, const RowRules &rules, bool names_line,
                  const Console &con, Workers &w = serial_workers(),
                  uint64_t min_part = kMinPartBytes);

// The columns examination left out, each said on the output stream, also
// under --quiet ("Skipped text column %u (%s)\n", "Skipped empty column %u
// (%s)\n"). Ends the run with "Too few variables\n" when no value column
// is left.
std::vector<SkippedColumn> skipped_columns(const Examination &e, const Console &con);

// After loading a file whose columns examination sorted out: the variables'
// data-file columns in variable_to_file, so that every output numbers a
// variable by its column in the file.
void restore_file_columns(Analysis &a, const std::vector<FieldUse> &uses);

// The variable order that --columns gives (the file columns of
// `order`), set on the identity maps of a file whose value columns `uses`
// tells, before loading.
void order_chosen_columns(Analysis &a, const std::vector<FieldUse> &uses,
                          const std::vector<uint32_t> &order);

// --by in a white-space file, before loading: the maps built over every
// column of the line lose the group column (file column `column`), the
// variables after its own moving up one, and go from value columns (the
// line's numbers but the group's) to variables, as a CSV file's do. The
// last place of the rows' room is left unused.
// REQUIRES: column < a.columns.
void leave_group_out_of_maps(Analysis &a, uint32_t column);

// --by in a white-space file, after loading: the unused place is no variable
// (m and the names one less). Ends the run with "--by: column %u holds no
// values\n" when the rows end before the group column.
void leave_group_place(Analysis &a, uint32_t column);

// The record's names from the names line (file-column order), following
// the column maps.
void set_names(Analysis &a, const std::vector<std::string> &file_names);
