// Test helpers for the statistics group: fill the work arrays with a table
// directly, run the statistics phase, and read back what a writer wrote.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "output_fixture.h"
#include "naming.h"
#include "stats.h"
#include "vantor.h"

using Columns = std::vector<std::vector<double>>;

// Allocates the work arrays for the table and stores it, column i of `cols`
// as variable i of dd, shown under file column `labels[i]` (1-based) or i + 1.
inline void load_columns(const Columns &cols, const std::vector<int> &labels = {}) {
  const uint32_t m = cols.size();
  const uint32_t n = m ? cols[0].size() : 0;
  alloc_work_arrays(n, m);
  for (uint32_t i = 0; i < m; ++i) {
    sortarr1[i] = labels.empty() ? static_cast<int32_t>(i) : labels[i] - 1;
    sortarr[sortarr1[i]] = i;
    for (uint32_t k = 0; k < n; ++k) dd[k][i] = cols[i][k];
  }
}

// The statistics phase as the driver runs it, with its console output.
inline std::string run_statistics(uint32_t n, uint32_t m) {
  testing::internal::CaptureStdout();
  find_extremes(n, m);
  compute_moments(n, m);
  set_unit_diagonal(m);
  compute_order_stats(n, m);
  return testing::internal::GetCapturedStdout();
}

inline std::string load_and_run(const Columns &cols, const std::vector<int> &labels = {}) {
  load_columns(cols, labels);
  return run_statistics(cols[0].size(), cols.size());
}

// The bits of a double, so that tests can demand exact equality, NaN included.
inline uint64_t bits(double x) {
  uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}
