// The columns that --columns and --skip-columns name.
#include "input/columns.h"

#include "base/messages.h"
#include "input/csv.h"

namespace {

// A column number of a token: digits only, saturating far beyond any
// column count; 0 when the text is not all digits.
uint64_t column_number(const std::string &text) {
  if (text.empty()) return 0;
  uint64_t n = 0;
  for (const char ch : text) {
    if (ch < '0' || ch > '9') return 0;
    n = n > UINT32_MAX ? n : n * 10 + static_cast<uint64_t>(ch - '0');
  }
  return n;
}

void add_range(std::vector<uint32_t> &out, const std::string &token, uint32_t columns,
               const char *option) {
  const size_t dash = token.find('-');
  const uint64_t first = column_number(token.substr(0, dash));
  const uint64_t last = column_number(token.substr(dash + 1));
  const std::string shown = shown_field(token.data(), token.size());
  if (first == 0 || last == 0) fatal("%s: no column \"%s\"\n", option, shown.c_str());
  if (last < first) fatal("%s: range %s runs backwards\n", option, shown.c_str());
  if (last > columns)
    fatal("%s: range %s goes past the last column (%u)\n", option, shown.c_str(), columns);
  for (uint64_t k = first; k <= last; ++k) out.push_back(static_cast<uint32_t>(k - 1));
}

void add_token(std::vector<uint32_t> &out, const std::string &token,
               const std::vector<std::string> &names, uint32_t columns, const char *option) {
  if (token.empty()) fatal("%s: empty entry in the list\n", option);
  for (size_t i = 0; i < names.size() && i < columns; ++i) {
    if (names[i] == token) {
      out.push_back(static_cast<uint32_t>(i));
      return;
    }
  }
  if (token.find('-') != std::string::npos) return add_range(out, token, columns, option);
  const uint64_t n = column_number(token);
  if (n == 0 || n > columns)
    fatal("%s: no column \"%s\"\n", option, shown_field(token.data(), token.size()).c_str());
  out.push_back(static_cast<uint32_t>(n - 1));
}

}  // namespace

std::vector<uint32_t> listed_columns(const std::string &list, const std::vector<std::string> &names,
                                     uint32_t columns, const char *option, bool unique) {
  if (list.empty()) fatal("%s: empty list\n", option);
  CsvScan scan;
  std::vector<CsvField> fields;
  std::string scratch;
  const char *text = list.data();
  if (split_csv_record(text, text + list.size(), scan, fields, scratch) != CsvSplit::ok)
    fatal("%s: unterminated quote in the list\n", option);
  std::vector<uint32_t> out;
  for (const CsvField &f : fields)
    add_token(out, std::string(f.text, f.size), names, columns, option);
  if (!unique) return out;
  std::vector<bool> seen(columns, false);
  for (const uint32_t c : out) {
    if (seen[c]) fatal("%s: column %u listed twice\n", option, c + 1);
    seen[c] = true;
  }
  return out;
}
