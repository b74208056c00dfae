// The separator a data file's name promises, and the look at its first line
// that confirms it before the file is read as a separated one.
#include "input/filekind.h"

#include <algorithm>
#include <cctype>

namespace {

bool ends_with(const std::string &text, const char *tail) {
  const std::string t(tail);
  return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
}

constexpr long kFirstLineLimit = 1L << 20;

}  // namespace

char separator_of_name(const std::string &name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const char *suffix : {".gz", ".zst", ".xz", ".bz2"})
    if (ends_with(lower, suffix)) {
      lower.resize(lower.size() - std::string(suffix).size());
      break;
    }
  if (ends_with(lower, ".csv")) return ',';
  if (ends_with(lower, ".tsv")) return '\t';
  return 0;
}

bool first_line_holds(FILE *fp, char separator) {
  if (fp == nullptr) return false;
  for (long k = 0; k < kFirstLineLimit; ++k) {
    const int c = std::fgetc(fp);
    if (c == EOF || c == '\n') return false;
    if (c == static_cast<unsigned char>(separator)) return true;
  }
  return false;
}
