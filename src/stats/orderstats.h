// Median and quartiles of every variable of the data matrix.
#pragma once

#include <cstdint>
#include <vector>

#include "record/analysis.h"
#include "record/workers.h"

// Fills median, lower and upper quartile of the first m records: the median
// at (n - 1)/2, the quartiles interpolated at (n - 2)/4 and (3n - 2)/4 of
// the sorted values. The workers take groups of variables; the scratch they
// hold at once stays within a tenth of the data matrix and 24 MiB (less the
// matrix's row table), or one column's copy where a column needs that.
void compute_order_stats(Analysis &a, Workers &w = serial_workers());

// The 0-based positions of the sorted values that the median and the
// quartiles of n values read: ascending, without repeats, at most six.
// REQUIRES: n >= 1.
std::vector<uint64_t> order_positions(uint64_t n);

// Median and quartiles of n values from the sorted values at
// order_positions(n) only (values[i] at positions[i]), as
// compute_order_stats forms them; for a table whose rows are not in one
// place.
void order_stats_at(VariableStats &s, uint64_t n, const std::vector<uint64_t> &positions,
                    const std::vector<double> &values);
