// Test helpers for the statistics group: fill a record with a table
// directly, run the statistics steps, and read back what a writer wrote.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "record/analysis.h"
#include "base/console.h"
#include "support/output_fixture.h"
#include "pipeline.h"
#include "cli/switches.h"
#include "record/workarrays.h"

using Columns = std::vector<std::vector<double>>;

// Makes the record for the table (keeping its output place) and stores it,
// column i of `cols` as variable i, shown under file column `labels[i]`
// (1-based) or i + 1.
inline void load_columns(Analysis &a, const Columns &cols, const std::vector<int> &labels = {}) {
  const uint32_t m = cols.size();
  const uint32_t n = m ? cols[0].size() : 0;
  MemoryTally tally;
  const Console con{stdout, stderr, true};
  a = make_analysis(n, m, WorkArraySettings{30, false}, tally, con);
  a.n = n;
  a.m = m;
  for (uint32_t i = 0; i < m; ++i) {
    a.variable_to_file[i] = labels.empty() ? static_cast<int32_t>(i) : labels[i] - 1;
    a.file_to_variable[a.variable_to_file[i]] = i;
    for (uint32_t k = 0; k < n; ++k) a.data[k][i] = cols[i][k];
  }
}

// The statistics steps as the driver runs them; returns what they printed
// on a quiet console (the zero-variance warning).
inline std::string run_statistics(Analysis &a) {
  const Switches sw;
  const Console con{stdout, stderr, true};
  testing::internal::CaptureStdout();
  compute_statistics(a, sw.analysis, con);
  return testing::internal::GetCapturedStdout();
}

inline std::string load_and_run(Analysis &a, const Columns &cols,
                                const std::vector<int> &labels = {}) {
  load_columns(a, cols, labels);
  return run_statistics(a);
}

// The bits of a double, so that tests can demand exact equality, NaN included.
inline uint64_t bits(double x) {
  uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}
