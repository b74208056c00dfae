// The normality test of one variable under --conventional: Shapiro-Wilk by
// Royston's algorithm for 3 to 5000 values, D'Agostino's K^2 beyond. It
// takes the values robust.cpp already holds (sorted up to 5000); it sorts
// nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "record/analysis.h"

// The most values Shapiro-Wilk takes (R's limit).
constexpr size_t kShapiroWilkMost = 5000;

// R's shapiro.test of ascending values: W and its p-value by Royston's
// approximation (AS R94). Not a number, with the reason, for fewer than 3
// or more than 5000 values, or a range below 1e-10.
NormalityTest shapiro_wilk(const std::vector<double> &sorted);

// D'Agostino's omnibus K^2 = Z(sqrt b1)^2 + Z(b2)^2 with 2 degrees of
// freedom (D'Agostino, Belanger and D'Agostino 1990), b1 and b2 from the
// moments about the mean with divisor n. Not a number below 8 values or
// with no spread.
NormalityTest dagostino_k2(const std::vector<double> &values);

// The same from the long double sums of the second, third and fourth
// powers of the deviations from the mean over `count` values, as
// dagostino_k2 forms them.
NormalityTest dagostino_k2_of_sums(size_t count, long double s2, long double s3, long double s4);

// The same from the count and the moments about the mean with divisor n
// (m2, m3, m4): all it reads of the values, so that a table in parts,
// whose merged summary holds them, gives it too.
NormalityTest dagostino_k2_of_moments(uint64_t count, double m2, double m3, double m4);

// The test for this many values: Shapiro-Wilk up to 5000 (ascending values),
// K^2 beyond (any order).
NormalityTest normality_test(const std::vector<double> &values);
