// Per-variable moments and the covariance and correlation matrices, computed
// from the loaded data matrix. The order statistics are in orderstats.cpp,
// the text forms of the results in statsout.cpp, matrixout.cpp and tetrad.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "record/analysis.h"
#include "machine/workers.h"

// Each variable's smallest and largest value, in data-column order.
struct Extremes {
  std::vector<double> min, max;
};

// Scans the data for the extremes of the m variables. Ends the run with
// "Too few variables\n" when no observation was loaded. The workers take
// parts of the variables.
Extremes find_extremes(const Analysis &a, Workers &w = serial_workers());

// What the moments phase leaves besides the record's numbers: the variables
// (0-based data columns) whose variance the zero-variance rule replaced,
// for the warning the driver prints.
struct Moments {
  std::vector<uint32_t> constant;
};

// Fills the extremes, mean, variance, standard deviation, skewness and
// curtosis of every record, the covariance matrix (divisor n) and the correlation matrix with
// its unit diagonal. The workers take parts of the variables (rows of the
// triangle); every sum gets its terms in observation order regardless, so
// the results are the same bits for every pool. REQUIRES: m >= 1.
Moments compute_moments(Analysis &a, const Extremes &extremes, Workers &w = serial_workers());

// Turns the correlation matrix into Pearson's r: the covariance over the two
// standard deviations with the same divisor n, clamped to [-1, 1]. A
// variable under the zero-variance rule correlates 0 with every other.
// REQUIRES: compute_moments has filled the record.
void make_pearson_correlation(Analysis &a);

// A covariance with divisor `count` brought to divisor count - 1: c * count
// / (count - 1), not a number for one observation.
double sample_covariance(double covariance, uint64_t count);

// Brings the whole covariance matrix to divisor n - 1 (--conventional).
void use_sample_divisor(Analysis &a);

// What the table, ".mvd", JSON and report show of variable i: its record,
// or under --conventional a constant variable as measured (variance and
// standard deviation 0, skewness and curtosis not a number) where the
// record keeps the zero-variance rule's stand-ins for the later phases.
VariableStats shown_stats(const Analysis &a, uint32_t i);

// A constant variable as measured: no variance or standard deviation, and
// no skewness or curtosis to speak of.
void show_as_measured(double &variance, double &stddev, double &skewness, double &curtosis);

// The variance a variable without variance is given, so that its standard
// deviation is 0.01 and the later divisions stay finite; its skewness is
// then 0 and its curtosis -3.
inline constexpr double kZeroVarianceSubstitute = 0.0001;

// The third and fourth power sums about a centre moved by c, from the sums
// about the old centre (s2 the second) over nd values: the binomial shift.
inline void shift_power_sums(double c, double nd, double s2, double &s3, double &s4) {
  s4 = s4 - 4 * c * s3 + 6 * c * c * s2 - 3 * nd * c * c * c * c;
  s3 = s3 - 3 * c * s2 + 2 * nd * c * c * c;
}
