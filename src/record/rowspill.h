// The rows of the data matrix as the phases walk them: the loaded matrix as
// one block, or for a file analysed in passes (--max-memory) the converted
// rows spilled to a temporary file and read back a block at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/console.h"
#include "record/analysis.h"
#include "record/workarrays.h"
#include "machine/workers.h"

// The converted rows of a file analysed in passes. The temporary file in
// $TMPDIR (else /tmp) loses its name the moment it is made, so it goes with
// the run however the run ends.
struct RowSpill {
  int fd = -1;
  int label_fd = -1;        // the rows' labels, when the file has a label column
  uint64_t stride = 0;      // values per row (the record's c)
  uint64_t label_bytes = 0; // bytes written to label_fd
  uint64_t block_rows = 1;  // rows a walk reads at a time
  uint64_t capacity = 0;    // rows the file may hold (the too-many-rows limit)
  uint64_t scratch = 0;     // bytes the order statistics may hold at once
  uint64_t budget = 0;      // bytes the table's analysis may hold (--max-memory)
  RowSpill() = default;
  RowSpill(const RowSpill &) = delete;
  RowSpill &operator=(const RowSpill &) = delete;
  ~RowSpill();
};

// A new, empty spill for rows of `stride` values. Ends the run with "Can't
// create a temporary file in %s: %s\n" when none can be made.
std::shared_ptr<RowSpill> make_row_spill(uint64_t stride);

// Appends `count` rows of the spill's stride. A write that fails ends the
// run with "Can't write the temporary copy of the data (%s)\n", a full disk
// named as such by its error text.
void spill_rows(RowSpill &spill, const double *rows, uint64_t count);

// Appends the labels of `count` rows, each as its length (8 bytes) and its
// bytes, failing as spill_rows does.
void spill_labels(RowSpill &spill, const std::vector<std::string> &labels, uint64_t count);

// Reads rows [first, first + count) of the spill into `to`; a failure ends
// the run as the walks' do.
void read_spilled_rows(const RowSpill &spill, uint64_t first, uint64_t count, double *to);

// Rows [first, first + count) in the order they came.
struct RowRange {
  const double *block = nullptr;
  uint64_t first = 0;  // the range's first row among all rows
  uint64_t count = 0;
  uint64_t stride = 0;
  const double *operator[](uint64_t k) const { return block + k * stride; }
};

// A walk over the record's n rows in order, block by block. In memory the
// whole matrix is one block; a spilled record's blocks are read into a
// buffer of the walk's own, so several walks may go on at once.
struct RowCursor {
  const Analysis *a = nullptr;
  uint64_t next = 0;
  std::unique_ptr<double[]> buffer;
};

RowCursor row_cursor(const Analysis &a);

// The next block, false once every row was given. Ends the run with "Can't
// read the temporary copy of the data (%s)\n" when a read fails.
bool next_rows(RowCursor &c, RowRange &r);

// A walk over the rows' labels in order: the record's own, or those of the
// spill read back through a small buffer.
struct LabelCursor {
  const Analysis *a = nullptr;
  uint64_t next = 0;     // the next row
  uint64_t offset = 0;   // where the next label's bytes begin in the spill
  std::string buffer;    // spilled bytes read ahead
  size_t at = 0;         // the next byte of the buffer
};

LabelCursor label_cursor(const Analysis &a);

// The next row's label, false after the n-th. A null `label` passes over
// the row's label without copying it.
bool next_label(LabelCursor &c, std::string *label);

// The record of a table of up to `capacity` rows within `budget` bytes
// (0: no limit): made by make_analysis when its arrays fit, else analysed in
// passes.
Analysis make_analysis_within(uint32_t capacity, uint32_t columns, uint64_t budget,
                              const WorkArraySettings &settings, MemoryTally &tally,
                              const Console &con);

// The memory plan: what a table's phases may hold beside its rows. A table
// in memory is sized by its matrix; a table analysed in passes shares out
// its budget. The phases ask here, not which way the rows are kept.

// Scratch bytes the order statistics and the copies of columns may hold at
// once: in memory a tenth of the matrix and 24 MiB, less 8 bytes a row,
// which leave room for the allocator's own keeping and what the other
// phases hold, so that the peak stays within 1.1 times the matrix and
// 32 MiB; in passes what the budget leaves beside the walks' block.
uint64_t scratch_limit(const Analysis &a);

// Bytes a phase may hold beside a walk's buffer without passing the
// table's budget: its scratch in passes, no limit (UINT64_MAX) in memory,
// where a copy a phase needs is made whatever its size.
uint64_t budget_left(const Analysis &a);

// The bytes the table's whole analysis may hold: its budget in passes, 0
// (no limit) in memory.
uint64_t memory_budget(const Analysis &a);

// Says, unless quiet, that a table is analysed in passes, as its arrays
// need `need` bytes; nothing for a table in memory.
void say_in_passes(const Analysis &a, uint64_t need, const Console &con);

// How many workers may each hold one variable's values at once: one for a
// table analysed in passes, whose memory is budgeted, else all of w's.
uint32_t column_workers(const Analysis &a, const Workers &w);

// Rows written to a table by row number, in order: into its matrix, or for
// a table analysed in passes into its block, which goes to the spill (its
// labels too) whenever a row falls past it. A row may be written again (a
// row the loading rules turned down) until a later one is.
struct RowSink {
  Analysis *t = nullptr;
  uint64_t base = 0;  // the row the block's first place holds
};

RowSink row_sink(Analysis &t);

// The place of row `row` in the table's data and labels.
uint32_t sink_place(RowSink &s, uint64_t row);

// Ends the writing after `rows` rows: a spilled table's last rows go to the
// spill, and its block, which the walks do without, is released; a table
// in memory keeps the labels of those rows only.
void close_sink(RowSink &s, uint64_t rows);

// Whether the table's rows have labels, in memory or spilled.
bool has_labels(const Analysis &a);

// The rows the table may hold: its matrix's, or its spill's.
uint64_t row_capacity(const Analysis &a);

// Moves row `from` of a table in memory to row `to`, with its label and
// group number.
void move_row(Analysis &a, uint64_t from, uint64_t to);

// Keeps the rows `keep` holds to, in their order, with their labels and
// group numbers, and makes them the n rows. Spilled rows go to a new spill,
// which takes the old one's place.
void keep_rows_where(Analysis &a, const std::function<bool(const double *row)> &keep);

// Arrays of equal size, one per variable, that a table analysed in passes
// keeps for later walks (its variables' ranks): a temporary file, one array
// after another, going with the run as the row spill does.
struct ColumnSpill {
  int fd = -1;
  uint64_t array_bytes = 0;
  ColumnSpill() = default;
  ColumnSpill(const ColumnSpill &) = delete;
  ColumnSpill &operator=(const ColumnSpill &) = delete;
  ~ColumnSpill();
};

std::unique_ptr<ColumnSpill> make_column_spill(uint64_t array_bytes);

// Where a phase keeps arrays of `array_bytes` per variable for later walks:
// a column spill for a table analysed in passes, null in memory, where the
// phase keeps them itself.
std::unique_ptr<ColumnSpill> arrays_aside(const Analysis &a, uint64_t array_bytes);

// Writes variable i's whole array; reads `bytes` of it from byte `from` on.
// Failures end the run as the row spill's do.
void write_spilled_array(ColumnSpill &s, uint32_t i, const void *array);
void read_spilled_array(const ColumnSpill &s, uint32_t i, uint64_t from, uint64_t bytes, void *into);

// The bytes one walk's buffer takes (0 in memory), and the rows it holds
// (all n in memory).
uint64_t walk_bytes(const Analysis &a);
uint64_t walk_rows(const Analysis &a);

// The record of a file analysed in passes within `budget` bytes: the usual
// arrays (announced and counted as make_analysis does) with a data matrix
// of one block of rows, and an empty spill for up to `capacity` rows. A
// block takes an eighth of the budget, at most 8 MiB and at least one row;
// the order statistics may hold the rest.
Analysis make_analysis_in_passes(uint32_t capacity, uint32_t columns, uint64_t budget,
                                 const WorkArraySettings &settings, MemoryTally &tally,
                                 const Console &con);
