// Round tick numbers. A step is chosen from 1, 2, 5 x 10^k so that the
// count of ticks stays near the target whatever the data's scale.
#include "output/nice_ticks.h"

#include <cmath>

double nice_step(double lo, double hi, int target) {
  const double span = hi - lo;
  if (!std::isfinite(span) || span <= 0) return 0;
  const double raw = span / (target < 1 ? 1 : target);
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double fraction = raw / magnitude;
  // Thresholds at the geometric midpoints keep the tick count closest to
  // the target.
  double factor = 10;
  if (fraction < std::sqrt(2.0)) {
    factor = 1;
  } else if (fraction < std::sqrt(10.0)) {
    factor = 2;
  } else if (fraction < std::sqrt(50.0)) {
    factor = 5;
  }
  return factor * magnitude;
}

std::vector<double> nice_ticks(double lo, double hi, int target) {
  std::vector<double> ticks;
  const double step = nice_step(lo, hi, target);
  if (step == 0 || !std::isfinite(step)) return ticks;
  // A little slack so that an end lying on a multiple up to rounding error
  // still gets its tick.
  const double slack = step * 1e-9;
  const double first = std::ceil((lo - slack) / step);
  const double last = std::floor((hi + slack) / step);
  if (!(last - first <= 1000)) return ticks;
  // Counted with an integer: near 1e16 adding one to a double k does nothing.
  const int count = static_cast<int>(last - first);
  for (int i = 0; i <= count; ++i) {
    const double k = first + i;
    // 3 * 0.1 is 0.30000000000000004 but 3 / 10 is 0.3: for steps below 1
    // divide by the whole number 1 / step when it is one.
    const double inverse = std::round(1 / step);
    double v = step < 1 && std::isfinite(inverse) ? k / inverse : k * step;
    if (v == 0) v = 0;  // no "-0" label
    // Steps finer than the values' resolution give repeats; keep one.
    if (ticks.empty() || v > ticks.back()) ticks.push_back(v);
  }
  return ticks;
}
