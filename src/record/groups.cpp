// Grouping the loaded rows by their --by value and copying each group's rows
// into a table of its own; the analysis of the tables is the driver's.
#include "record/groups.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>

#include "base/messages.h"

GroupIndex index_groups(Analysis &a, uint32_t limit) {
  GroupIndex g;
  std::unordered_map<std::string, uint32_t> seen;
  a.group_of_row.assign(a.n, -1);
  for (uint32_t k = 0; k < a.n; ++k) {
    const std::string &value = a.groups[k];
    if (value.empty()) {
      ++g.without;
      continue;
    }
    const auto [at, fresh] = seen.emplace(value, static_cast<uint32_t>(g.values.size()));
    if (fresh) {
      g.values.push_back(value);
      g.rows.emplace_back();
    }
    if (g.values.size() > limit) continue;
    g.rows[at->second].push_back(k);
    a.group_of_row[k] = static_cast<int32_t>(at->second);
  }
  if (g.values.size() > limit)
    fatal("--by: column %s holds %zu distinct values, more than %u (--group-limit=N)\n",
          a.group_column.c_str(), g.values.size(), limit);
  std::vector<std::string>().swap(a.groups);
  return g;
}

bool take_number_groups(Analysis &a, uint32_t file_column) {
  uint32_t d = a.m;
  for (uint32_t i = 0; i < a.m; ++i)
    if (static_cast<uint32_t>(a.variable_to_file[i]) == file_column) d = i;
  if (d == a.m) return false;
  a.groups.assign(a.n, std::string());
  for (uint32_t k = 0; k < a.n; ++k) {
    double *row = a.data[k];
    if (!std::isnan(row[d])) {
      char text[32];
      const auto end = std::to_chars(text, text + sizeof text, row[d]).ptr;
      a.groups[k].assign(text, end);
    }
    std::copy(row + d + 1, row + a.m, row + d);
  }
  std::copy(a.variable_to_file.get() + d + 1, a.variable_to_file.get() + a.m,
            a.variable_to_file.get() + d);
  if (d < a.names.size()) a.names.erase(a.names.begin() + d);
  if (d < a.missing_cells.size()) a.missing_cells.erase(a.missing_cells.begin() + d);
  --a.m;
  return true;
}

Analysis group_table(const Analysis &a, const std::vector<uint32_t> &rows,
                     const WorkArraySettings &settings, MemoryTally &tally, const Console &con,
                     CArray<double> rows_block) {
  const auto count = static_cast<uint32_t>(rows.size());
  Analysis t = make_analysis(rows_block ? 0 : count, a.columns, settings, tally, con);
  if (rows_block) {
    t.data.block = std::move(rows_block);
    t.capacity = count;
  }
  t.n = static_cast<uint32_t>(rows.size());
  t.m = a.m;
  for (uint32_t k = 0; k < t.n; ++k) std::copy(a.data[rows[k]], a.data[rows[k]] + a.columns, t.data[k]);
  std::copy(a.file_to_variable.get(), a.file_to_variable.get() + a.columns, t.file_to_variable.get());
  std::copy(a.variable_to_file.get(), a.variable_to_file.get() + a.columns, t.variable_to_file.get());
  t.names = a.names;
  t.skipped = a.skipped;
  t.group_column = a.group_column;
  t.missing_cells.assign(a.m, 0);
  if (!a.labels.empty())
    for (uint32_t k : rows) t.labels.push_back(a.labels[k]);
  return t;
}
