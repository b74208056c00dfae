// Shared by the writer tests: a scratch directory whose "data.txt" is the
// output base, a record, switches and a quiet console of the test's own, and
// reading back what a writer wrote.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "record/analysis.h"
#include "base/console.h"
#include "output/naming.h"
#include "cli/switches.h"
#include "record/workarrays.h"

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
    place_ = output_place((dir_ + "/data.txt").c_str());
    sw.run.quiet = 1;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Makes the record's arrays for `rows` rows of `c` values (n = rows and
  // m = c until the test says otherwise), its results going to the scratch
  // directory.
  void make(uint32_t rows, uint32_t c) {
    a = make_analysis(rows, c, WorkArraySettings{sw.analysis.bins, false}, tally, con);
    a.n = rows;
    a.m = c;
  }

  std::string path(const char *ext) const { return dir_ + "/data" + ext; }
  std::string read(const char *ext) const { return read_file(path(ext)); }

  Analysis a;
  Switches sw;
  Console con{stdout, stderr, true};
  MemoryTally tally;
  std::string dir_;
  OutputPlace place_;
};
