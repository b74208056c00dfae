// Histogram counts of every variable (B equal bins from the minimum up to
// 1.00001 times the maximum) and the ".his" file of relative frequencies.
#pragma once

#include "analysis.h"
#include "console.h"
#include "stats.h"

// Adds the observations of the m variables to the record's histogram, bins
// placed by the extremes. Under `debug` every placement is traced.
void count_histogram(Analysis &a, const Extremes &extremes, bool debug, const Console &con);

void write_his_file(const Analysis &a, const Console &con);  // ".his"
