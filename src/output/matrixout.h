// The correlation file ".cor" and the covariance file ".cov", and the label
// line that ".cov" shares with the TETRAD file ".inp".
#pragma once

#include <cstdio>

#include "record/analysis.h"
#include "base/console.h"
#include "output/naming.h"

// "x<column> " for every variable, the data-file column numbers, or its
// name as a label when the file names its variables; with
// `split`, a line break after every `per_line` labels but the last.
void write_variable_labels(FILE *fp, const Analysis &a, bool split, uint32_t per_line);

// What ".cor" writes above the diagonal: nothing, zeros, or the mirror of
// the lower triangle.
enum class CorUpper { none, zeros, mirror };

void write_cor_file(const Analysis &a, const OutputPlace &place, CorUpper upper, const Console &con);  // ".cor"
void write_cov_file(const Analysis &a, const OutputPlace &place, const Console &con);                      // ".cov"
