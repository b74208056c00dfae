// The groups of --by: the rows of each group value in order of first
// appearance, each group's own table made from the loaded rows, and the
// record a group's results are kept in until the file's documents are written.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/console.h"
#include "record/analysis.h"
#include "record/workarrays.h"

// The group values in order of first appearance and the rows of each.
struct GroupIndex {
  std::vector<std::string> values;
  std::vector<std::vector<uint32_t>> rows;
  uint64_t without = 0;  // rows whose group value is missing
};

// The distinct group values a loading pass meets, numbered as first met by
// any loading part; the parts share it, each looking a value up under the
// lock only the first time it meets it. It lives as long as the pass.
struct GroupValues {
  std::mutex lock;
  std::unordered_map<std::string, int32_t> number;
  std::vector<std::string> texts;
};

// The number of group value `text` in `values` (-1 for the empty text, which
// no group has), numbering it when it is new; `seen` keeps the numbers one
// loading part has looked up, so that it takes the lock once a value.
int32_t number_group(GroupValues &values, std::unordered_map<std::string, int32_t> &seen,
                     const std::string &text);

// The groups of a caller's rows: `values` holds one group value per row
// (empty for none), of which the rows kept[r] != 0 became the record's, in
// order; their values are numbered as first met.
void take_row_groups(Analysis &a, const std::vector<std::string> &values,
                     const std::vector<uint8_t> &kept);

// After loading: the n rows' numbers among the values the pass met become
// their group's number in order of first appearance among the rows
// (group_of_row), and group_texts the values of those groups.
void settle_groups(Analysis &a, const GroupValues &met);

// The record's groups and the rows of each. Ends the run before any
// analysis when there are more than `limit` values, naming the column and
// the count.
GroupIndex index_groups(const Analysis &a, uint32_t limit);

// Group k's table, with the names, labels, column maps and skipped columns
// of `a`, its arrays made as a data file's are. From rows in memory it is
// copied, into `rows_block` when given (room for at least the group's rows
// of a.columns values): groups analysed one after another can share one
// block, touched once. From a table analysed in passes it is made in one
// walk over the spill: in memory when its arrays fit in `budget` bytes,
// else analysed in passes itself.
Analysis group_table(const Analysis &a, const GroupIndex &index, uint32_t k, uint64_t budget,
                     const WorkArraySettings &settings, MemoryTally &tally, const Console &con,
                     CArray<double> rows_block = nullptr);

// A block for the rows of the largest group, which groups copied one after
// another can share; none for a table analysed in passes, whose groups are
// walked from its spill.
CArray<double> shared_group_block(const Analysis &a, const GroupIndex &index);

// One group's results: its value, the part its file names carry and its
// analysed table.
struct GroupResult {
  std::string value;
  std::string file_part;
  Analysis analysis;
};
