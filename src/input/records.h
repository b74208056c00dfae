// The next record of a data file in its format: a white-space data line as
// the line reader gives it, or a CSV record, which a quoted field may carry
// over several lines and before which blank lines are skipped.
#pragma once

#include <cstdint>

#include "base/console.h"
#include "input/reader.h"
#include "input/row_accept.h"
#include "input/rows.h"

// Starts reading the records of `in` from its start: in CSV mode a UTF-8
// byte order mark there is skipped, so that a comment line after it is
// still a comment.
void start_records(LineReader &r, FILE *in, const RowRules &rules);

// The same for a reader already opened at the start of the file.
void skip_byte_order_mark(LineReader &r, const RowRules &rules);

// Reads the next record into `line` and returns its byte count, or -1 when
// the file has no more. In CSV mode the record is also split into
// s.fields, and a quote still open at the end of the file ends the run with
// "Unterminated quoted field in line %lu\n".
int64_t read_record(LineReader &r, GrowableLine &line, RowScratch &s, const RowRules &rules,
                    const Console &con);

// A record converted into `row` through `map` (at most `room` values): the
// row as RowValues tells it and its value count as the row-length rule
// counts it (every CSV field; the stored numbers of a white-space line).
// A CSV field that is neither a number nor missing goes to text_field.
struct RecordValues {
  RowValues row;
  uint64_t values = 0;
};
RecordValues convert_record(RowScratch &s, const char *text, int64_t len, double *row,
                            const int32_t *map, uint32_t room, const RowRules &rules,
                            uint64_t line_number);

// A record as loading converts it, in the terms of the row-acceptance
// rules: convert_record, or with `plain` (white space under none of the
// record rules) the numbers convert_row finds. `cut_off`: the end of the
// file came before the record's line end.
RecordFacts convert_for_loading(RowScratch &s, bool plain, const char *text, int64_t len,
                                double *row, const int32_t *map, uint32_t room,
                                const RowRules &rules, uint64_t line_number, bool cut_off);
