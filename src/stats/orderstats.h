// Median and quartiles of every variable of the data matrix.
#pragma once

#include "record/analysis.h"
#include "record/workers.h"

// Fills median, lower and upper quartile of the first m records: the median
// at (n - 1)/2, the quartiles interpolated at (n - 2)/4 and (3n - 2)/4 of
// the sorted values. The workers take groups of variables; the scratch they
// hold at once stays within a tenth of the data matrix and 24 MiB (less the
// matrix's row table), or one column's copy where a column needs that.
void compute_order_stats(Analysis &a, Workers &w = serial_workers());
