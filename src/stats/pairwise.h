// Pairwise deletion (--use=pairwise): each variable's statistics over its
// own present values, each covariance and correlation over the rows both of
// its variables have, then the row files' rows cut down to the complete ones.
#pragma once

#include <cstdint>

#include "record/analysis.h"
#include "machine/workers.h"
#include "stats/stats.h"

// Fills every statistics record, the histogram, the covariance matrix
// (divisor: the pair's count, or that less one under `sample_divisor`) and
// Pearson's r of every pair, with the record's used counts, missing counts
// and smallest pair count. A value that is not a number counts as missing.
// Each figure is what the whole-table phases give for a table of just those
// values, so a variable's statistics are the bits of a run over its column
// alone. The workers take variables and pairs; the results do not depend
// on how many there are. Returns the variables the zero-variance rule took.
// REQUIRES: the data matrix holds n rows of m variables.
Moments compute_pairwise(Analysis &a, bool sample_divisor, Workers &w = serial_workers());

// Moves the rows without a missing value (and their labels) to the front
// in their order and makes them the record's n rows; the rest are counted
// in rows_left_out.
void keep_complete_rows(Analysis &a);
