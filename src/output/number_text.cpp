// Number formatting for the report page. Every number goes through here so
// that rounding happens once, where the number is shown.
#include "output/number_text.h"

#include <algorithm>

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// to_chars and snprintf disagree on the spelling of the non-finite values;
// the page uses one spelling everywhere.
bool append_non_finite(std::string &out, double v) {
  if (std::isnan(v)) {
    out += "NaN";
  } else if (std::isinf(v)) {
    out += v < 0 ? "-inf" : "inf";
  } else {
    return false;
  }
  return true;
}

}  // namespace

void append_shown(std::string &out, double v) {
  if (append_non_finite(out, v)) return;
  char buf[32];
  const int len = std::snprintf(buf, sizeof buf, "%.4g", v);
  out.append(buf, static_cast<size_t>(len));
}

void append_exact(std::string &out, double v) {
  if (append_non_finite(out, v)) return;
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, res.ptr);
}

void append_coord(std::string &out, double v) {
  if (!std::isfinite(v)) v = 0;
  // No drawing reaches this far; the bound keeps the tenths inside long long.
  v = std::clamp(v, -1e15, 1e15);
  // Tenths as an integer: cheaper than printf and never prints "-0".
  const long long tenths = std::llround(v * 10);
  if (tenths < 0) out += '-';
  const unsigned long long mag = tenths < 0 ? 0ULL - static_cast<unsigned long long>(tenths)
                                            : static_cast<unsigned long long>(tenths);
  append_count(out, mag / 10);
  if (mag % 10 != 0) {
    out += '.';
    out += static_cast<char>('0' + mag % 10);
  }
}

void append_count(std::string &out, uint64_t v) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, res.ptr);
}

void append_grouped(std::string &out, uint64_t v) {
  std::string digits;
  append_count(digits, v);
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
}

void append_titled(std::string &out, double v) {
  out += " title=\"";
  append_exact(out, v);
  out += "\">";
  append_shown(out, v);
}
