// Finding the report's alerts. Thresholds are the conventional ones: |r| of
// 0.9, |skewness| of 2, extremes three interquartile ranges out.
#include "output/report_alerts.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kStrongCorrelation = 0.9;
constexpr double kStrongSkew = 2;
constexpr double kFarRanges = 3;

void variable_alerts(const ReportInput &in, Alerts &found) {
  for (size_t i = 0; i < in.variables.size(); ++i) {
    const ReportVariable &v = in.variables[i];
    // A value that is not a finite number makes every moment of its
    // variable meaningless; said before anything else about it.
    if (v.non_finite > 0)
      found.variables.push_back({AlertKind::non_finite, i, i, static_cast<double>(v.non_finite)});
    // A constant variable's moments say nothing more about it.
    if (v.constant) {
      found.variables.push_back({AlertKind::constant, i, i, v.variance});
      continue;
    }
    if (std::fabs(v.skewness) >= kStrongSkew)
      found.variables.push_back({AlertKind::skewed, i, i, v.skewness});
    if (has_far_extremes(v)) found.variables.push_back({AlertKind::outlying, i, i, 0});
  }
}

void pair_alerts(const ReportInput &in, Alerts &found) {
  const size_t m = in.variables.size();
  if (in.correlation.size() < m * m) return;
  for (size_t i = 0; i < m; ++i) {
    if (in.variables[i].constant) continue;
    for (size_t j = i + 1; j < m; ++j) {
      const double r = in.correlation[i * m + j];
      if (in.variables[j].constant || !(std::fabs(r) >= kStrongCorrelation)) continue;
      found.pairs.push_back({AlertKind::correlated, i, j, r});
    }
  }
  found.pairs_total = found.pairs.size();
  // Stable, so equal strengths stay in matrix order.
  std::stable_sort(found.pairs.begin(), found.pairs.end(), [](const Alert &a, const Alert &b) {
    return std::fabs(a.value) > std::fabs(b.value);
  });
  if (found.pairs.size() > kMaxListedPairs) found.pairs.resize(kMaxListedPairs);
}

}  // namespace

bool has_far_extremes(const ReportVariable &v) {
  const double iqr = v.upper_quartile - v.lower_quartile;
  return v.min < v.lower_quartile - kFarRanges * iqr ||
         v.max > v.upper_quartile + kFarRanges * iqr;
}

Alerts find_alerts(const ReportInput &in) {
  Alerts found;
  variable_alerts(in, found);
  pair_alerts(in, found);
  return found;
}
