// Grouping the loaded rows by their --by value and copying each group's rows
// into a table of its own; the analysis of the tables is the driver's.
#include "record/groups.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <unordered_map>

#include "base/messages.h"
#include "record/rowspill.h"

int32_t number_group(GroupValues &values, std::unordered_map<std::string, int32_t> &seen,
                     const std::string &text) {
  if (text.empty()) return -1;
  const auto known = seen.find(text);
  if (known != seen.end()) return known->second;
  int32_t number = 0;
  {
    const std::lock_guard<std::mutex> hold(values.lock);
    const int32_t next = static_cast<int32_t>(values.texts.size());
    const auto [at, fresh] = values.number.emplace(text, next);
    if (fresh) values.texts.push_back(text);
    number = at->second;
  }
  seen.emplace(text, number);
  return number;
}

void settle_groups(Analysis &a, const GroupValues &met) {
  std::vector<int32_t> renumbered(met.texts.size(), -1);
  a.group_texts.clear();
  a.group_of_row.resize(a.n);
  for (int32_t &value : a.group_of_row) {
    if (value < 0) continue;
    int32_t &group = renumbered[static_cast<size_t>(value)];
    if (group < 0) {
      group = static_cast<int32_t>(a.group_texts.size());
      a.group_texts.push_back(met.texts[static_cast<size_t>(value)]);
    }
    value = group;
  }
}

GroupIndex index_groups(const Analysis &a, uint32_t limit) {
  if (a.group_texts.size() > limit)
    fatal("--by: column %s holds %zu distinct values, more than %u (--group-limit=N)\n",
          a.group_column.c_str(), a.group_texts.size(), limit);
  GroupIndex g;
  g.values = a.group_texts;
  g.rows.resize(g.values.size());
  for (uint32_t k = 0; k < a.n; ++k) {
    const int32_t group = a.group_of_row[k];
    if (group < 0)
      ++g.without;
    else
      g.rows[static_cast<size_t>(group)].push_back(k);
  }
  return g;
}

namespace {

// The names, maps, skipped columns and counts a group's table shares with
// the table it comes from.
void take_table_facts(Analysis &t, const Analysis &a) {
  t.m = a.m;
  std::copy(a.file_to_variable.get(), a.file_to_variable.get() + a.columns, t.file_to_variable.get());
  std::copy(a.variable_to_file.get(), a.variable_to_file.get() + a.columns, t.variable_to_file.get());
  t.names = a.names;
  t.skipped = a.skipped;
  t.group_column = a.group_column;
  t.missing_cells.assign(a.m, 0);
}

Analysis copied_group_table(const Analysis &a, const std::vector<uint32_t> &rows,
                            const WorkArraySettings &settings, MemoryTally &tally,
                            const Console &con, CArray<double> rows_block) {
  const auto count = static_cast<uint32_t>(rows.size());
  Analysis t = make_analysis(rows_block ? 0 : count, a.columns, settings, tally, con);
  if (rows_block) {
    t.data.block = std::move(rows_block);
    t.capacity = count;
  }
  t.n = static_cast<uint32_t>(rows.size());
  take_table_facts(t, a);
  for (uint32_t k = 0; k < t.n; ++k) std::copy(a.data[rows[k]], a.data[rows[k]] + a.columns, t.data[k]);
  if (!a.labels.empty())
    for (uint32_t k : rows) t.labels.push_back(a.labels[k]);
  return t;
}

Analysis walked_group_table(const Analysis &a, uint32_t group, uint32_t count, uint64_t budget,
                            const WorkArraySettings &settings, MemoryTally &tally,
                            const Console &con) {
  Analysis t = make_analysis_within(count, a.columns, budget, settings, tally, con);
  take_table_facts(t, a);
  if (has_labels(a)) t.labels.assign(t.capacity, std::string());
  RowSink sink = row_sink(t);
  RowCursor rows = row_cursor(a);
  LabelCursor labels = label_cursor(a);
  std::string label;
  for (RowRange r; next_rows(rows, r);)
    for (uint64_t k = 0; k < r.count; ++k) {
      const bool ours = a.group_of_row[r.first + k] == static_cast<int32_t>(group);
      if (!t.labels.empty()) next_label(labels, ours ? &label : nullptr);
      if (!ours) continue;
      const uint32_t place = sink_place(sink, t.n);
      std::copy(r[k], r[k] + a.columns, t.data[place]);
      if (!t.labels.empty()) t.labels[place] = label;
      ++t.n;
    }
  close_sink(sink, t.n);
  return t;
}

}  // namespace

Analysis group_table(const Analysis &a, const GroupIndex &index, uint32_t k, uint64_t budget,
                     const WorkArraySettings &settings, MemoryTally &tally, const Console &con,
                     CArray<double> rows_block) {
  const std::vector<uint32_t> &rows = index.rows[k];
  if (a.spill)
    return walked_group_table(a, k, static_cast<uint32_t>(rows.size()), budget, settings, tally,
                              con);
  return copied_group_table(a, rows, settings, tally, con, std::move(rows_block));
}

CArray<double> shared_group_block(const Analysis &a, const GroupIndex &index) {
  if (a.spill) return nullptr;
  size_t rows = 1;
  for (const std::vector<uint32_t> &r : index.rows) rows = std::max(rows, r.size());
  size_t count = 0;
  if (__builtin_mul_overflow(rows, size_t{a.columns}, &count)) throw std::bad_alloc();
  void *block = std::calloc(count, sizeof(double));
  if (block == nullptr) throw std::bad_alloc();
  return CArray<double>(static_cast<double *>(block));
}

void take_row_groups(Analysis &a, const std::vector<std::string> &values,
                     const std::vector<uint8_t> &kept) {
  GroupValues met;
  a.group_of_row.assign(a.capacity, -1);
  std::unordered_map<std::string, int32_t> seen;
  uint64_t k = 0;
  for (uint64_t r = 0; r < values.size(); ++r)
    if (kept[r]) a.group_of_row[k++] = number_group(met, seen, values[r]);
  settle_groups(a, met);
}
