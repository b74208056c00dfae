// Whether a correlation matrix suits a component analysis: Bartlett's test
// of sphericity and the Kaiser-Meyer-Olkin measures of sampling adequacy,
// as R's psych package (cortest.bartlett, KMO) computes them.
#pragma once

#include "record/analysis.h"

// The figures of a.correlation (whatever it holds: Pearson's r or a rank
// correlation) over stated_sample_size(a) rows. A constant variable, a
// correlation that is not a number, or a matrix that is singular or not
// positive definite gives not-a-number figures and the reason.
SamplingAdequacy sampling_adequacy(const Analysis &a);
