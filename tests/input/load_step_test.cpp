// The per-record step of every loading loop: a table in memory and one
// analysed in passes take the same rows and labels through it, and a part
// that runs out of room is told so instead of ending the run.
#include "input/load_step.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/table_walk.h"

namespace {

const Console kQuiet{nullptr, nullptr, true};

// The table's columns as the file has them.
Analysis &in_file_order(Analysis &a) {
  for (uint32_t j = 0; j < a.columns; ++j)
    a.file_to_variable[j] = a.variable_to_file[j] = int32_t(j);
  return a;
}

// The CSV records "label,x,y" taken into `a` one after another; its rows
// and labels as the walks give them back.
std::string taken(Analysis &a, const std::vector<std::string> &records) {
  RowRules rules;
  rules.csv = true;
  rules.uses = {FieldUse::label, FieldUse::value, FieldUse::value};
  a.labels.assign(a.capacity, std::string());
  LoadTarget t{RowAcceptor{kQuiet, a.columns, row_capacity(a), 0, nullptr, {}}, row_sink(a), {}};
  RowScratch s;
  for (size_t k = 0; k < records.size(); ++k) {
    const RecordText r{records[k].data(), static_cast<int64_t>(records[k].size()), k + 1, false};
    EXPECT_EQ(take_record(t, s, rules, false, r), Verdict::keep);
  }
  finish_loading(t.acc, a);
  close_sink(t.sink, a.n);
  a.m = a.columns;
  return walked(a);
}

TEST(LoadStep, TablesInMemoryAndInPassesTakeTheSameRowsAndLabels) {
  const std::vector<std::string> records = {"a,1,2\n", "b,3,4\n", "c,5,6\n", "d,7,8\n"};
  MemoryTally tally;
  const WorkArraySettings settings{30, false};
  Analysis memory = make_analysis(4, 2, settings, tally, kQuiet);
  Analysis spilled = make_analysis_in_passes(4, 2, 1, settings, tally, kQuiet);
  const std::string want = taken(in_file_order(memory), records);
  EXPECT_EQ(want.substr(0, 6), "a 1 2\n");
  EXPECT_EQ(taken(in_file_order(spilled), records), want);
}

TEST(LoadStep, APartWithoutRoomIsToldSo) {
  MemoryTally tally;
  Analysis a = make_analysis(1, 2, WorkArraySettings{30, false}, tally, kQuiet);
  in_file_order(a);
  PartNotes notes;
  LoadTarget t{RowAcceptor{kQuiet, 2, a.capacity, 0, &notes, {}}, row_sink(a), {}};
  RowScratch s;
  const std::string line = "1 2\n";
  const RecordText r{line.data(), static_cast<int64_t>(line.size()), 1, false};
  EXPECT_EQ(take_record(t, s, RowRules{}, true, r), Verdict::keep);
  EXPECT_EQ(take_record(t, s, RowRules{}, true, r), Verdict::full);
  EXPECT_EQ(a.data[0][1], 2.0);
}

}  // namespace
