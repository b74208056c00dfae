// A column's rows in ascending order of value, stably, by a radix sort of
// the values' order keys; the ranks of both rank correlations and their tie
// sums are read from it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// Scratch one worker reuses from one variable to the next: the rows being
// sorted, a second array for the radix passes and the radix counts.
struct SortScratch {
  std::vector<uint64_t> rows, spare;
  std::vector<uint32_t> count;
  std::vector<std::pair<uint64_t, uint32_t>> run;  // a run's full keys and rows
};

// How the sorted rows of a SortScratch read: each entry holds its row's
// number in the low `row_bits` bits, under bits in the order of the values,
// equal for equal values.
struct SortedRows {
  uint64_t n = 0;
  int row_bits = 1;
};

// The rows of the n values (none NaN, n < 2^32) in ascending order of
// value, stably, into s.rows: equal values, both zeros among them, in row
// order.
SortedRows sort_rows(const double *v, uint64_t n, SortScratch &s);

inline uint32_t row_of(uint64_t entry, const SortedRows &s) {
  return static_cast<uint32_t>(entry & ((uint64_t{1} << s.row_bits) - 1));
}

// Whether the sorted entries p and q hold equal values.
inline bool same_value(uint64_t p, uint64_t q, const SortedRows &s) {
  return (p >> s.row_bits) == (q >> s.row_bits);
}

// Calls run(first, end) for each run [first, end) of equal values in the
// sorted rows, in ascending order.
template <typename Run>
void for_each_tie(const SortedRows &sorted, const SortScratch &s, Run run) {
  for (uint64_t k = 0; k < sorted.n;) {
    uint64_t end = k + 1;
    while (end < sorted.n && same_value(s.rows[k], s.rows[end], sorted)) ++end;
    run(k, end);
    k = end;
  }
}

