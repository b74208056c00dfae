// Examination of a data file before loading: the column count of its first
// data line and the row capacity (the count of data lines). Opening and
// closing the file is the driver's job.
#pragma once

#include <cstdint>
#include <cstdio>

#include "console.h"
#include "reader.h"

// Count of numbers (as strtod reads them) at the start of `s`, saturating.
uint32_t count_columns(const char *s);

// Reads the first data line of `in` into `line`, rereading it with a grown
// buffer while it is cut, and returns its column count. Ends the run with
// "Can't read file" when there is no data line and "Too few variables\n"
// when the line starts with no number.
uint32_t examine_first_line(FILE *in, GrowableLine &line, const Console &con);

// The row capacity: the number of data lines, read with pieces of the
// capacity of `line` (pieces of over-long lines counted separately, so the
// capacity is never smaller than the rows loaded).
uint32_t count_data_lines(FILE *in, const GrowableLine &line);
