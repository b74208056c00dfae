// The next record of a data file in its format: a white-space data line as
// the line reader gives it, or a CSV record, which a quoted field may carry
// over several lines and before which blank lines are skipped.
#pragma once

#include <cstdint>

#include "console.h"
#include "reader.h"
#include "rows.h"

// Starts reading the records of `in` from its start: in CSV mode a UTF-8
// byte order mark there is skipped, so that a comment line after it is
// still a comment.
void start_records(LineReader &r, FILE *in, const RowRules &rules);

// Reads the next record into `line` and returns its byte count, or -1 when
// the file has no more. In CSV mode the record is also split into
// s.fields, and a quote still open at the end of the file ends the run with
// "Unterminated quoted field in line %lu\n".
int64_t read_record(LineReader &r, GrowableLine &line, RowScratch &s, const RowRules &rules,
                    const Console &con);
