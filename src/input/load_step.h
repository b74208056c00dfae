// The step every loading loop takes per record, written once: the row's
// place, the record converted into it, its label and group kept beside it,
// then the acceptance rules. Reading the records is the loops' own job.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "input/records.h"
#include "input/row_accept.h"
#include "input/rows.h"
#include "record/groups.h"
#include "record/rowspill.h"

// Where a loading loop's records go: the acceptance rules' state, the
// table's rows through its sink, and under --by the pass's group values
// with those the loop has numbered (so that it takes their lock once a
// value).
struct LoadTarget {
  RowAcceptor acc;
  RowSink sink;
  std::unordered_map<std::string, int32_t> groups;
  GroupValues *group_values = nullptr;
};

// A row's number among the table's rows and its place in the table's data
// and labels.
struct RowPlace {
  uint64_t row = 0;
  uint32_t slot = 0;
};

// A record's bytes as read, and where it stands in the file.
struct RecordText {
  const char *text = nullptr;
  int64_t len = 0;
  uint64_t line = 0;     // the file line it starts on
  bool cut_off = false;  // the end of the file came before its line end
};

// The step is inline, with no source file of its own: a call per record
// is a cost the number conversion would notice.

// The next row's place: row_slot, then sink_place (which may send a full
// block to the spill). In a part, row is kNoRoom beyond the capacity.
inline RowPlace next_row(LoadTarget &t) {
  const uint64_t row = row_slot(t.acc);
  if (row == kNoRoom) return RowPlace{kNoRoom, 0};
  return RowPlace{row, sink_place(t.sink, row)};
}

// Keeps the record converted into p's row: its label and its --by group
// beside the row, then accept_record's verdict.
inline Verdict keep_record(LoadTarget &t, RowPlace p, const std::string &label,
                           const std::string &group, const RecordFacts &f) {
  Analysis &a = *t.sink.t;
  if (!a.labels.empty()) a.labels[p.slot] = label;
  if (t.group_values) a.group_of_row[p.row] = number_group(*t.group_values, t.groups, group);
  return accept_record(t.acc, f);
}

// The whole step: the next row's place, the record converted into it with
// s (convert_for_loading under `rules`, `plain` as there), and kept. In a
// part, Verdict::full when no room is left. A conversion that ends the
// run throws before the record is kept.
inline Verdict take_record(LoadTarget &t, RowScratch &s, const RowRules &rules, bool plain,
                           const RecordText &r) {
  const RowPlace p = next_row(t);
  if (p.row == kNoRoom) return Verdict::full;
  const Analysis &a = *t.sink.t;
  const RecordFacts f =
      convert_for_loading(s, plain, r.text, r.len, a.data[p.slot], a.file_to_variable.get(),
                          a.columns, rules, r.line, r.cut_off);
  return keep_record(t, p, s.label, s.group, f);
}
