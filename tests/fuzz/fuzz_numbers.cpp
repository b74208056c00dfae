// Fuzz target: the loading pass's number conversion against the platform's.
// Any bytes as one line: every number convert_row finds must be the one
// sscanf "%lg" finds at the same place, bit for bit, and a token the plain
// decimal path accepts must read as strtod reads it.
#include <cstdlib>
#include <cstring>
#include <string>

#include "input/numparse.h"
#include "support/numparse_whole.h"

namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 4096) return 0;
  const std::string line(reinterpret_cast<const char *>(data), size);
  const std::string text = line.substr(0, line.find('\0'));  // what C routines see
  const char *p = text.c_str();
  NumberScanner scanner;
  const char *at = text.data();
  const char *end = text.data() + text.size();
  for (;;) {
    double got = 0, want = 0;
    const char *next = nullptr;
    int consumed = 0;
    const bool ok = scan_number(scanner, at, end, &got, &next);
    const bool platform = std::sscanf(p, "%lg%n", &want, &consumed) == 1;
    if (ok != platform) std::abort();
    if (!ok) break;
    if (!same_bits(got, want) || next != p + consumed) std::abort();
    at = next;
    p += consumed;
  }
  // The first token alone through the plain path.
  const size_t start = text.find_first_not_of(" \t\n\v\f\r");
  if (start != std::string::npos) {
    const size_t stop = text.find_first_of(" \t\n\v\f\r", start);
    const std::string token = text.substr(start, stop - start);
    double got = 0;
    if (parse_plain_decimal(token.data(), token.data() + token.size(), &got)) {
      char *after = nullptr;
      const double want = std::strtod(token.c_str(), &after);
      if (after != token.c_str() + token.size() || !same_bits(got, want)) std::abort();
    }
  }
  return 0;
}
