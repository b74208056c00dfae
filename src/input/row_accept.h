// The row acceptance of every loader: records come in file order with what
// each converted to, and the rules of row length, truncation, capacity and
// missing values decide which become rows. Holds the one table of the
// loading messages' texts; reading and converting records is not its job.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>

#include "record/analysis.h"
#include "base/console.h"
#include "input/reader.h"

// The rereading message (a "Message:" line): a line did not fit the buffer
// of `capacity` bytes, which now doubles.
void say_rereading(const Console &con, int64_t capacity);

// Says how many rows a missing value left out, unless none was or they
// were kept as rows (pairwise deletion).
void say_rows_left_out(uint64_t rows, bool kept, const Console &con);

// Ends the run with the too-many-rows error naming `limit` rows.
[[noreturn]] void too_many_rows(uint64_t limit);

// What one record converted to, as the rules look at it.
struct RecordFacts {
  uint64_t values = 0;     // the count the row-length rule compares
  bool truncated = false;  // a white-space row with a number more than the room
  bool missing = false;    // it holds a missing value: left out whole, counted
  bool cut_off = false;    // the end of the file came before its line end
  // The data columns of its missing values; read while the record is
  // accepted, never kept (a part's note of its first record holds none).
  const std::vector<uint32_t> *missing_at = nullptr;
};

// The records accepted so far.
struct RowTally {
  uint64_t rows = 0;      // kept rows: the next row's place
  uint64_t records = 0;   // accepted records, left-out ones included
  uint64_t left_out = 0;  // records left out for a missing value
  uint64_t previous = 0;  // value count of the last accepted record, 0 for none
  std::vector<uint64_t> missing_cells;  // per data column: missing values of the accepted records
};

// What became of a record.
enum class Verdict {
  keep,       // a row of the data matrix
  leave_out,  // counted, not kept (a row with a missing value, listwise)
  end,        // a short or long last line without its line end: dropped, loading ends
  broken,     // (a part only) it breaks the row-length rule; the part stops
  full,       // (a part only) no room is left for its row; the part stops
};

// A fact a part of the file noted for the replay in file order. Numbers are
// the part's own, counted from its start.
struct LoadNote {
  enum Kind { growth, first, truncated, broken, end, error } kind;
  uint64_t number = 0;  // growth: the buffer's capacity; truncated: row; broken: record
  RecordFacts facts;    // first: the part's first record, whose predecessor it cannot see
};

// What a part of the file leaves for the replay: its notes in order, its
// tally and the error that ended its conversion, if one did.
struct PartNotes {
  std::vector<LoadNote> notes;
  RowTally tally;
  std::exception_ptr error;
};

// The rules' state over one loading pass, or over one part of the file when
// `part` is set: a part notes what it would say instead of saying it, and
// stops where the pass from the start could not go on.
struct RowAcceptor {
  const Console &con;
  uint32_t columns = 0;   // a row's room
  uint64_t capacity = 0;  // rows the data matrix holds
  uint64_t base = 0;      // a part's first row in the data matrix
  PartNotes *part = nullptr;
  RowTally tally;
  bool keep_missing = false;  // a record with a missing value is a row all the same
  // Per row of the data matrix: 1 when the row kept holds a missing value
  // (set only where given, by the acceptor of a part or of the one pass).
  std::vector<uint8_t> *missing_rows = nullptr;
};

// Returned by row_slot in a part for a row beyond the capacity.
constexpr uint64_t kNoRoom = UINT64_MAX;

// The place of the next row, the capacity rule applied first: beyond it the
// run ends with the too-many-rows error (in a part: kNoRoom).
uint64_t row_slot(RowAcceptor &acc);

// Applies the rules to the next record in file order, its row already at
// row_slot's place: says a truncation, ends the run on a short or long row
// with the wrong-row-length error (its number among the records,
// left-out ones included) unless it is the cut-off last line, and counts
// it. In a part the first record is taken as it is and noted whole.
Verdict accept_record(RowAcceptor &acc, const RecordFacts &f);

// Notes in a part that the line buffer grew to `capacity` bytes while
// reading, and the error that ended the part's conversion.
void note_growth(RowAcceptor &acc, int64_t capacity);
void note_error(RowAcceptor &acc, std::exception_ptr error);

// Feeds the notes of the next part in file order to the acceptor of the
// whole pass, growing `buff` with the rereading messages as that pass would
// have, and adds the part's tally. True when loading ends in the part.
bool replay_part(RowAcceptor &acc, GrowableLine &buff, const PartNotes &part);

// Ends the pass: the "\r    \r" eraser unless quiet, and n, m and the
// left-out count of the record (m: the last value count, at most the room),
// and the missing values counted per variable.
void finish_loading(const RowAcceptor &acc, Analysis &a);
