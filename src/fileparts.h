// A data file read in parts that separate processes load (vantor.dask):
// its start examined once, each part's rows loaded on their own under that
// examination, and what the parts noted replayed in file order as the one
// loading pass would meet it. Moving the parts about is the caller's job.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyse.h"
#include "cli/switches.h"
#include "input/examine.h"
#include "input/splitload.h"

// Ends the run, naming the file, for options a file in parts cannot be
// loaded under (--by, --use=pairwise, --max-memory).
void check_part_options(const std::string &path, const Switches &options);

// What every part of a file shares, decided once from its start.
struct FileReading {
  // Loaded in one piece by load_file_rows, nothing else filled in:
  // compressed data, which cannot be entered in the middle, or what is not
  // a regular file.
  bool whole = false;
  bool csv = false;  // the switches as the file's name reads them (.csv, .tsv)
  char separator = 0;
  Examination examination;
  std::vector<std::string> column_names;  // the names line's, as loading says them
  int64_t first_capacity = 0;             // the loading pass's first line buffer
  std::vector<FilePart> parts;            // at line starts; the names line in the first
};

// Examines the start of the data file `path` as the command line does and
// splits it into parts of about `part_bytes` bytes; a file that cannot be
// split is only marked whole. Throws RunEnd naming the file.
FileReading read_file_start(const std::string &path, const Switches &options, uint64_t part_bytes);

// Part `k` of a file loaded: its rows (table.data, table.columns wide, as
// many as load.noted.tally.rows), per row whether it holds a missing value
// (a separated file's loading keeps such rows until its end), and what it
// noted. The line numbers of its messages are the file's: a part that
// meets an error counts the line ends before it and is read again.
struct LoadedPart {
  Analysis table;
  std::vector<uint8_t> missing_rows;
  RangeLoad load;
  std::string error;  // the message of load.noted.error, if any
};
LoadedPart load_file_part(const std::string &path, const Switches &options,
                          const FileReading &reading, uint32_t k);

// What a file's parts come to in file order: per part whether its rows
// stay (none do of a part holding only a cut-off last line), the file's
// text cells and the value count of its rows; `refused` when a part met
// what only a pass from the start can tell (a quoted field open at its
// end), and the file must be loaded whole.
struct SettledParts {
  std::vector<bool> kept;
  std::vector<TextCell> cells;
  uint32_t m = 0;
  bool refused = false;
};

// Replays the parts' notes (with their error messages, empty for none) in
// file order. Throws RunEnd with the first error of the one pass, naming
// the file.
SettledParts settle_file_parts(const std::string &path, const Switches &options,
                               const FileReading &reading, const std::vector<RangeLoad> &parts,
                               const std::vector<std::string> &errors);

// Part `k`'s `n` rows (`rows`, table.columns wide, with their missing-row
// marks and its tally) as the file's loading leaves them, in place: none
// when the replay dropped them, the file's text columns taken out, rows
// with a missing value left out and counted, the variables named and
// numbered by their file columns. Returns the description with n and m
// (values left empty): row i's m values start at rows + i * table.columns.
LoadedRows finish_file_part(const std::string &path, const Switches &options,
                            const FileReading &reading, const SettledParts &settled, uint32_t k,
                            double *rows, uint64_t n, const std::vector<uint8_t> &missing_rows,
                            const RowTally &tally);

// Ends as loading the file ends when no row is left but some were left
// out for a missing value (every_row_missing, naming the file), given the
// counts of its finished parts.
void check_file_rows(const std::string &path, const Switches &options, const FileReading &reading,
                     const SettledParts &settled, uint64_t n, uint64_t rows_left_out,
                     const std::vector<uint64_t> &missing_cells);
