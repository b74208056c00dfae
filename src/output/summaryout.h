// The ".sum" file (--summary-file): the --conventional intervals, robust
// measures and correlation tests as tab-separated text for shell tools.
// The numbers are the record's; the JSON document holds the same.
#pragma once

#include "base/console.h"
#include "output/naming.h"
#include "record/analysis.h"

// Writes ".sum": a block per variable, then a line per pair above the
// diagonal, numbers in their shortest round-trip form and NA where there
// is none; a record without them (no --conventional) gives the headers only.
void write_sum_file(const Analysis &a, const OutputPlace &place, const Console &con);
