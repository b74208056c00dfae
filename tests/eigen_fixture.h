// Test helpers for the eigen-analysis and histogram group: work arrays filled
// directly (no loading), a scratch directory holding the output base, and
// reading back what a writer wrote.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "output_fixture.h"
#include "naming.h"
#include "vantor.h"

// The 2 x 2 correlation matrix with off-diagonal element r, in work arrays
// made for `c` columns (c >= 2) and `rows` observations.
inline void set_pair_correlation(double r, uint32_t c = 2, uint32_t rows = 2) {
  alloc_work_arrays(rows, c);
  cc[0][0] = 1.0;
  cc[1][1] = 1.0;
  cc[0][1] = r;
  cc[1][0] = r;
}

using EigenOutputTest = OutputTest;
