// Tests' view of a table's rows: every row's label, group number (when the
// table has groups) and values, walked in order from memory or the spill.
#pragma once

#include <sstream>
#include <string>

#include "record/rowspill.h"

inline std::string walked(const Analysis &a) {
  std::ostringstream out;
  RowCursor rows = row_cursor(a);
  LabelCursor labels = label_cursor(a);
  std::string label;
  for (RowRange r; next_rows(rows, r);)
    for (uint64_t k = 0; k < r.count; ++k) {
      next_label(labels, &label);
      out << label;
      if (!a.group_of_row.empty()) out << ' ' << a.group_of_row[r.first + k];
      for (uint32_t i = 0; i < a.m; ++i) out << ' ' << r[k][i];
      out << '\n';
    }
  return out.str();
}
