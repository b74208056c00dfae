// The findings a report draws attention to: constant, strongly skewed and
// outlying variables and strongly correlated pairs.
#pragma once

#include <cstddef>
#include <vector>

#include "output/report.h"

enum class AlertKind { constant, correlated, skewed, outlying, non_finite };

// `first` and `second` are 0-based positions in ReportInput::variables;
// `second` is used by pairs only. `value` is r for a pair, the skewness for
// a skewed variable, the count of values that are not finite numbers.
struct Alert {
  AlertKind kind;
  size_t first, second;
  double value;
};

// Pairs listed at most; the strongest are kept.
constexpr size_t kMaxListedPairs = 100;

struct Alerts {
  std::vector<Alert> variables;  // in variable order
  std::vector<Alert> pairs;      // strongest first, at most kMaxListedPairs
  size_t pairs_total = 0;        // before the cut
};

Alerts find_alerts(const ReportInput &in);

// True when min or max lies more than three interquartile ranges beyond the
// quartiles.
bool has_far_extremes(const ReportVariable &v);
