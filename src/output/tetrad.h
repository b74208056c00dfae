// The correlation matrix as data for the TETRAD causal-modelling program:
// the current format ".inp" and the old one ".da1".
#pragma once

#include "record/analysis.h"
#include "base/console.h"
#include "output/naming.h"

// ".inp": "/Covariance", n, the labels and the lower triangle; split into
// shorter lines under `split` (--split-file; announced with "Using split").
void write_inp_file(const Analysis &a, const OutputPlace &place, bool split, const Console &con);

// ".da1": ends the run with "Too many variables for old tetrad" beyond 250.
void write_da1_file(const Analysis &a, const OutputPlace &place, const Console &con);
