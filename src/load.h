// The loading pass: the column maps from --inverse and --sort, then every
// data line converted into a row of the data matrix under the row-length
// rules. The examination has sized the matrix; the driver owns the stream.
#pragma once

#include <cstdio>

#include "analysis.h"
#include "console.h"
#include "switches.h"

// Fills the record's column maps for its c columns from --inverse or --sort
// (the sort listing on the output stream unless quiet). A sort entry out of
// range ends the run after the listing so far.
void build_column_maps(Analysis &a, const Switches &sw, const Console &con);

// Loads the numbers of `in` (positioned at its start) into the data matrix
// through the column maps, at most `capacity` rows of at most c values, and
// sets n and m (m: the value count of the last accepted row). Reports
// truncated rows and rereadings as they happen and ends with the "\r    \r"
// eraser on the error stream unless quiet. Does not close `in`.
void load_data(FILE *in, Analysis &a, const Console &con);
