// The loading of CSV files, and of white-space files under --names,
// --missing or --numbers-only, over parts of the file at once, with the
// rows, messages and first error of the one-thread pass.
#pragma once

#include <cstdint>
#include <cstdio>

#include "analysis.h"
#include "console.h"
#include "reader.h"
#include "rows.h"
#include "workers.h"

// Loads `in` (a regular file at its start) as load_records does, with its
// line buffer `buff`, split into parts of at least `min_part` bytes among
// the workers. Returns false, having printed nothing and left the stream
// and `buff` as they were, when the file cannot be split or when a part
// met what only a pass from the start can tell: a quoted field open at a
// part's end (it may run on into the next part), a read or memory failure,
// a row beyond the capacity. The caller then loads it in one pass.
bool load_records_split(FILE *in, Analysis &a, GrowableLine &buff, const RowRules &rules,
                        bool names_line, const Console &con, Workers &w, uint64_t min_part);
