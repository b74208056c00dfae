// Digit counts, bucket values and zeros of one part of a table, for the
// order statistics of a table in parts; the merging of the parts' answers
// is the caller's.
#include "stats/rankparts.h"

#include <algorithm>
#include <cmath>

#include "stats/orderstats.h"

namespace {

bool in_bucket(uint64_t key, const KeySearch &s) {
  return s.known == 0 || (key >> (64 - s.known)) == s.prefix;
}

}  // namespace

uint32_t next_digit_bits(uint32_t known) { return known >= 64 ? 0 : std::min(12u, 64 - known); }

std::vector<std::vector<int64_t>> count_next_digits(const double *rows, uint64_t n, uint32_t m,
                                                    const std::vector<KeySearch> &searches) {
  std::vector<std::vector<int64_t>> out;
  for (const KeySearch &s : searches) {
    const uint32_t width = next_digit_bits(s.known);
    std::vector<int64_t> counts(size_t{1} << width, 0);
    if (s.column < m && width > 0) {
      const uint64_t mask = (uint64_t{1} << width) - 1;
      for (uint64_t k = 0; k < n; ++k) {
        const uint64_t key = order_key(rows[k * m + s.column]);
        if (in_bucket(key, s)) ++counts[(key >> (64 - s.known - width)) & mask];
      }
    }
    out.push_back(std::move(counts));
  }
  return out;
}

std::vector<std::vector<double>> bucket_values(const double *rows, uint64_t n, uint32_t m,
                                               const std::vector<KeySearch> &searches) {
  std::vector<std::vector<double>> out;
  for (const KeySearch &s : searches) {
    std::vector<double> values;
    if (s.column < m)
      for (uint64_t k = 0; k < n; ++k) {
        const double x = rows[k * m + s.column];
        if (in_bucket(order_key(x), s)) values.push_back(x);
      }
    out.push_back(std::move(values));
  }
  return out;
}

std::vector<uint8_t> zero_signs(const double *rows, uint64_t n, uint32_t m, uint32_t column) {
  std::vector<uint8_t> signs;
  if (column < m)
    for (uint64_t k = 0; k < n; ++k) {
      const double x = rows[k * m + column];
      if (x == 0) signs.push_back(std::signbit(x) ? 1 : 0);
    }
  return signs;
}
