// Data input: the line reader, the examination of a data file (column count
// and row capacity), the column maps and the loading of the numbers into dd.
// The driver opens and closes the streams; these routines only read them.
#pragma once

#include <cstdint>
#include <cstdio>

#include "vantor.h"

// The examination line buffer: made at start-up with 40960 bytes, grows by
// doubling while a first data line does not fit, keeps its size for the run.
extern CArray<char> line;
extern int64_t line_size;

// Allocates `line` (fatal "Not enough memory (line, 40960)").
void alloc_line_buffer();
void release_line_buffer();

// Count of numbers (as strtod reads them) at the start of `s`.
uint32_t count_columns(const char *s);

// Reads the first data line of `in` into `line`, rereading it with a grown
// buffer while it is cut, and returns its column count. Ends the run with
// "Can't read file" when there is no data line and "Too few variables\n"
// when the line starts with no number.
uint32_t examine_first_line(FILE *in);

// The row capacity: the number of data lines (pieces of over-long lines
// counted separately), read with the current size of `line`.
uint32_t count_data_lines(FILE *in);

// Builds sortarr/sortarr1 for column count c from --inverse or --sort (with
// the sort listing on stdout unless quiet).
void build_column_maps(uint32_t c);

// Rows and variables established by loading.
struct LoadResult {
  uint32_t n;  // observations loaded
  uint32_t m;  // variables: the value count of the last accepted row
};

// Loads the numbers of `in` (positioned at its start) into dd through
// sortarr, with at most R rows of at most c values; writes the "\r    \r"
// eraser unless quiet. Does not close `in`.
LoadResult load_data(FILE *in, uint32_t c, uint32_t R);
