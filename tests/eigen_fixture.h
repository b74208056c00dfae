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

inline std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh directory whose "data.txt" is the output base; the switches are
// restored and the work arrays released after every test.
class EigenOutputTest : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vantor_eigen_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    set_output_base((dir_ + "/data.txt").c_str());
    saved_ = sw;
    sw.quiet = 1;
  }
  void TearDown() override {
    sw = saved_;
    free_work_arrays();
    std::filesystem::remove_all(dir_);
  }
  std::string path(const char *ext) const { return dir_ + "/data" + ext; }
  std::string read(const char *ext) const { return slurp(path(ext)); }
  std::string dir_;
  Switches saved_;
};
