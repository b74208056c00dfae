// Columns of a separated file that turn to text while it is loaded: a
// value column in which some value is text is taken out of the rows
// already loaded, as if it had been skipped from the start. Finding the
// text is the converters' job (text_field); this file owns the retiring.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/console.h"
#include "input/rows.h"
#include "record/analysis.h"

// What the loading pass keeps to retire columns when it ends.
struct TextColumns {
  std::vector<TextCell> cells;  // per value column its first text value, by file line
  // Per row place: 1 for a row holding a missing value, known only at the
  // end to be in a column that counts; listwise loading holds such rows
  // until then (`hold`).
  std::vector<uint8_t> missing_rows;
  bool hold = false;
};

// The state for loading `a` under `rules`: in a separated file loaded in
// memory the rows with a missing value are marked, and under listwise
// deletion held (rules.keep_missing set for the acceptors).
TextColumns start_text_columns(const Analysis &a, RowRules &rules);

// Adds a scratch's text cells, keeping the earliest line per column.
void gather_text_cells(TextColumns &t, const std::vector<TextCell> &cells);

// The names of the names line of `in` (a regular file, read with pread so
// that its stream stays where it is), for messages; empty when it cannot
// be read so.
std::vector<std::string> names_line_of(FILE *in, const RowRules &rules);

// After loading: the held rows with a missing value in a column that counts
// are left out, rows_left_out counts such rows, the text columns taken out of every row and
// the column maps, and each is said on the output stream, also under
// --quiet: "Skipped text column %u (%s): \"%s\" in line %lu\n", and added to
// the record's skipped columns. A column that --columns lists ends the run
// with "--columns: column %u (%s) holds text\n".
void retire_text_columns(Analysis &a, const TextColumns &t, const RowRules &rules,
                         const Console &con);
