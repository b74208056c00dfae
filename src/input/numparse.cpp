// Number conversion for the loading pass. Plain decimal numbers, nearly all
// of any data file, are converted here; every other token goes to sscanf,
// given a copy of just that token so that a very wide line stays linear.
#include "input/numparse.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

// Powers of ten that a double holds exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }

}  // namespace

const char *scan_plain_decimal(const char *p, const char *e, double *out) {
  const char *q = p;
  bool negative = false;
  if (q < e && (*q == '-' || *q == '+')) {
    negative = *q == '-';
    ++q;
  }
  uint64_t mantissa = 0;
  int64_t digits = 0;  // all mantissa digits, leading zeros included
  const char *int_start = q;
  for (; q < e && is_digit(*q); ++q, ++digits)
    if (digits < 19) mantissa = mantissa * 10 + static_cast<uint64_t>(*q - '0');
  const int64_t int_digits = q - int_start;
  int64_t frac_digits = 0;
  if (q < e && *q == '.') {
    const char *frac_start = ++q;
    for (; q < e && is_digit(*q); ++q, ++digits)
      if (digits < 19) mantissa = mantissa * 10 + static_cast<uint64_t>(*q - '0');
    frac_digits = q - frac_start;
  }
  if (int_digits + frac_digits == 0) return nullptr;
  int64_t exponent = 0;
  if (q < e && (*q == 'e' || *q == 'E')) {
    ++q;
    bool exp_negative = false;
    if (q < e && (*q == '-' || *q == '+')) {
      exp_negative = *q == '-';
      ++q;
    }
    const char *exp_start = q;
    for (; q < e && is_digit(*q); ++q)
      if (exponent < 1000000) exponent = exponent * 10 + (*q - '0');
    if (q == exp_start) return nullptr;
    if (exp_negative) exponent = -exponent;
  }

  // Both the mantissa (at most 2^53) and the power of ten are exact doubles,
  // so the one rounding of the product or quotient gives the correctly
  // rounded value, as the platform's conversion does.
  const int64_t scale = exponent - frac_digits;
  if (digits <= 19 && mantissa <= (uint64_t{1} << 53) && scale >= -22 && scale <= 22) {
    double x = static_cast<double>(mantissa);
    x = scale < 0 ? x / kExactPow10[-scale] : x * kExactPow10[scale];
    *out = negative ? -x : x;
    return q;
  }
  // from_chars rounds correctly too but takes no '+' and reports over- and
  // underflow instead of giving the platform's infinity or zero.
  double x = 0;
  const char *first = (*p == '+') ? p + 1 : p;
  const auto res = std::from_chars(first, q, x, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != q) return nullptr;
  *out = x;
  return q;
}

bool scan_number(NumberScanner &s, const char *p, const char *end, double *value,
                 const char **next) {
  while (p < end && is_c_space(*p)) ++p;
  if (p == end) return false;
  // A plain number followed by white space or the end is the whole token;
  // anything else goes to sscanf, token by token.
  double plain = 0;
  const char *stop = scan_plain_decimal(p, end, &plain);
  if (stop != nullptr && (stop == end || is_c_space(*stop))) {
    *value = plain;
    *next = stop;
    return true;
  }
  const char *t = stop != nullptr ? stop : p;
  while (t < end && !is_c_space(*t)) ++t;
  // A number never holds white space, and sscanf decides at the first
  // character that cannot continue it, so the token alone gives the same
  // conversion as the rest of the line would.
  s.token.assign(p, t);
  double x = 0;
  int consumed = 0;
  if (std::sscanf(s.token.c_str(), "%lg%n", &x, &consumed) != 1) return false;
  *value = x;
  *next = p + consumed;
  return true;
}

RowScan convert_row(NumberScanner &s, const char *line, const char *end, double *row,
                    const int32_t *map, uint32_t room) {
  const void *nul = std::memchr(line, '\0', static_cast<size_t>(end - line));
  if (nul != nullptr) end = static_cast<const char *>(nul);
  RowScan out{0, false, line};
  const char *p = line;
  double x = 0;
  const char *next = nullptr;
  while (scan_number(s, p, end, &x, &next)) {
    if (out.stored == room) {
      out.more = true;
      break;
    }
    row[map[out.stored]] = x;
    ++out.stored;
    out.stop = p = next;
  }
  return out;
}

bool scan_comma_number(NumberScanner &s, const char *p, const char *end, double *value,
                       const char **next) {
  while (p < end && is_c_space(*p)) ++p;
  const char *stop = p;
  while (stop < end && !is_c_space(*stop)) ++stop;
  s.commas.assign(p, stop);
  for (char &ch : s.commas)
    if (ch == ',') ch = '.';
  const char *text = s.commas.data();
  const char *after = nullptr;
  if (!scan_number(s, text, text + s.commas.size(), value, &after)) return false;
  *next = p + (after - text);
  return true;
}
