// Processor time for the benchmark helpers: the time of this process alone,
// so that other work on the machine does not count against a phase.
#pragma once

#include <ctime>

inline double cpu_seconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// The least processor time of `repeats` calls of f.
template <class F>
double best_time(int repeats, F f) {
  double best = 1e30;
  for (int r = 0; r < repeats; ++r) {
    const double t0 = cpu_seconds();
    f();
    const double t = cpu_seconds() - t0;
    if (t < best) best = t;
  }
  return best;
}
