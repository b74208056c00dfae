// Median and quartiles of every variable of the data matrix.
#pragma once

#include "analysis.h"

// Fills median, lower and upper quartile of the first m records: the median
// at (n - 1)/2, the quartiles interpolated at (n - 2)/4 and (3n - 2)/4 of
// the sorted values.
void compute_order_stats(Analysis &a);
