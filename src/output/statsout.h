// The per-variable results as text: the zero-variance warning and the
// statistics table on the console, the statistics file ".mvd" and the
// standardized data file ".std".
#pragma once

#include "record/analysis.h"
#include "base/console.h"
#include "output/naming.h"
#include "stats/stats.h"

// "\nWARNING! Variable(s)\a", the 1-based data columns the zero-variance rule
// replaced, " has no Std.Dev. Modifies...\n"; nothing when there are none.
// Shown even under --quiet.
// Under `measured` (--conventional) the line says the variables are shown
// as measured instead of that they were modified.
void print_zero_variance_warning(const Moments &moments, bool measured, const Console &con);

// The statistics table (callers check quiet).
void print_stats_table(const Analysis &a, const Console &con);

void write_std_file(const Analysis &a, const OutputPlace &place, const Console &con);                     // ".std"
// ".mvd", with the quartile columns under `quartiles` (--quartiles).
void write_mvd_file(const Analysis &a, const OutputPlace &place, bool quartiles, const Console &con);
