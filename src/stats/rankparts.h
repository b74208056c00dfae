// The search for sorted positions over a table whose rows lie in parts
// (vantor.dask): the digit counts and bucket values of one part, keyed as
// the in-memory search keys them, and the zeros of a part in row order, so
// that a position among a column's zeros gets the zero of that rank.
#pragma once

#include <cstdint>
#include <vector>

// One open search: the keys of `column` whose top `known` bits equal
// `prefix` (right-aligned) hold the position sought.
struct KeySearch {
  uint32_t column = 0;
  uint32_t known = 0;
  uint64_t prefix = 0;
};

// Bits of the next digit after `known` settled bits: 12, fewer at the end.
uint32_t next_digit_bits(uint32_t known);

// For each search, the counts of the next digit among the part's keys in
// its bucket (2^next_digit_bits entries). `rows` holds n rows of m values.
std::vector<std::vector<int64_t>> count_next_digits(const double *rows, uint64_t n, uint32_t m,
                                                    const std::vector<KeySearch> &searches);

// For each search, the part's values in its bucket, in row order.
std::vector<std::vector<double>> bucket_values(const double *rows, uint64_t n, uint32_t m,
                                               const std::vector<KeySearch> &searches);

// The zeros of a column of the part in row order: 1 for -0, 0 for +0.
std::vector<uint8_t> zero_signs(const double *rows, uint64_t n, uint32_t m, uint32_t column);
