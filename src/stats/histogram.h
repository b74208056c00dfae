// Histogram counts of every variable (B equal bins from the minimum up to
// 1.00001 times the maximum) and the bin edges that every output shows.
#pragma once

#include <cstdint>
#include <vector>

#include "record/analysis.h"
#include "base/console.h"
#include "stats/stats.h"
#include "machine/workers.h"

// Adds the observations of the m variables to the record's histogram, bins
// placed by the extremes. Under `debug` every placement is traced (by one
// thread, in order); otherwise the workers take parts of the variables.
void count_histogram(Analysis &a, const Extremes &extremes, bool debug, const Console &con,
                     Workers &w = serial_workers());

// The bin width of a variable with extremes min and max: (1.00001 * max -
// min) / (B - 1). The factor stretches the maximum, not the range; B - 1 is 0
// for one bin, giving an infinite (or 0/0) width.
double histogram_bin_width(double min, double max, uint32_t B);

// The B + 1 bin edges min + b * width, b = 0 ... B, of a variable with these
// extremes: bin b holds the values from edge b up to edge b + 1. The one
// rule of every output (".his" holds no edges): with one bin the width is
// infinite, every value is in bin 0 and the upper edge is +inf (NaN where
// the maximum stretched is the minimum itself, 0/0); JSON shows either as
// null and the page as "all values".
std::vector<double> histogram_edges(double min, double max, uint32_t B);
