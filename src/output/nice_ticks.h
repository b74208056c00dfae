// Axis tick positions at round numbers: steps of 1, 2 or 5 times a power of
// ten. Every chart axis takes its ticks from here.
#pragma once

#include <vector>

// The round step that splits [lo, hi] into about `target` parts (at least 1).
// 0 when the span is empty or not finite.
double nice_step(double lo, double hi, int target);

// The multiples of nice_step(lo, hi, target) inside [lo, hi], ascending.
// Each tick is k * step with an integer k, so 0.3 prints as 0.3 and not as
// the sum of three 0.1 steps. Empty when there is no usable step.
std::vector<double> nice_ticks(double lo, double hi, int target);
