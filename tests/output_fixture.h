// Shared by the writer tests: a scratch directory whose "data.txt" is the
// output base, the switches restored and the work arrays released after
// every test, and reading back what a writer wrote.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "naming.h"
#include "vantor.h"

inline std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class OutputTest : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vantor_out_XXXXXX";
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
  std::string read(const char *ext) const { return read_file(path(ext)); }
  std::string dir_;
  Switches saved_;
};
