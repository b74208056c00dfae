// Test helpers for the eigen-analysis and histogram group: a record filled
// directly (no loading), a scratch directory holding the output base, and
// reading back what a writer wrote.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/output_fixture.h"

class EigenOutputTest : public OutputTest {
 protected:
  // The 2 x 2 correlation matrix with off-diagonal element r, in a record
  // made for `c` columns (c >= 2) and `rows` observations, m = 2.
  void set_pair_correlation(double r, uint32_t c = 2, uint32_t rows = 2) {
    make(rows, c);
    a.m = 2;
    a.correlation[0][0] = 1.0;
    a.correlation[1][1] = 1.0;
    a.correlation[0][1] = r;
    a.correlation[1][0] = r;
  }
};
