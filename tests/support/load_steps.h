// The driver's loading steps on a data file held in an open stream, with
// every byte they say captured: for the tests and the fuzz target that hold
// loading in parts to loading in one pass.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "input/examine.h"
#include "input/load.h"
#include "base/messages.h"
#include "record/groups.h"
#include "record/workarrays.h"

// What loading gave: both streams, the error, the counts, the rows' bits.
struct Loaded {
  std::string out, err, fatal;
  uint32_t n = 0, m = 0;
  uint64_t left_out = 0;
  std::vector<uint64_t> bits;
  std::vector<uint64_t> missing;  // per variable
  std::vector<int32_t> group_of_row;        // under --by, once indexed
  std::vector<std::string> group_values;   // in order of first appearance
  bool operator==(const Loaded &) const = default;
};

inline std::string slurp(FILE *f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  char buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, got);
  return s;
}

// Examination, row capacity, work arrays, column maps and loading of `in`
// from its start, the passes split among `w` in parts of `min_part` bytes.
inline Loaded load_steps(FILE *in, const RowRules &rules, Workers &w, uint64_t min_part) {
  Loaded o;
  FILE *out = std::tmpfile(), *err = std::tmpfile();
  if (out == nullptr || err == nullptr) std::abort();
  const Console con{out, err, false};
  try {
    std::rewind(in);
    GrowableLine line = make_examination_buffer();
    const Examination e = examine_data(in, line, rules, con);
    std::rewind(in);
    const uint32_t R = count_data_lines(in, line, w, min_part);
    std::rewind(in);
    MemoryTally tally;
    Analysis a = make_analysis(R, e.analysed, WorkArraySettings{30, false}, tally, con);
    RowRules used = rules;
    if (e.group != UINT32_MAX) {  // the driver's way: the group column is no variable
      used.uses = e.uses;
      a.group_of_row.assign(a.capacity, -1);
    }
    build_column_maps(a, ReadOptions{}, OutputOptions{}, con);
    if (used.plain() && !e.has_names)
      load_data(in, a, con, w, min_part);
    else
      load_records(in, a, used, e.has_names, con, w, min_part);
    if (e.group != UINT32_MAX) {
      o.group_values = a.group_texts;
      o.group_of_row = a.group_of_row;
    }
    o.n = a.n;
    o.m = a.m;
    o.left_out = a.rows_left_out;
    o.missing = a.missing_cells;
    for (uint32_t k = 0; k < a.n; ++k)
      for (uint32_t j = 0; j < a.m; ++j) {
        uint64_t b;
        std::memcpy(&b, &a.data[k][j], sizeof b);
        o.bits.push_back(b);
      }
  } catch (const RunEnd &end) {
    o.fatal = end.message;
  }
  o.out = slurp(out);
  o.err = slurp(err);
  std::fclose(out);
  std::fclose(err);
  return o;
}
