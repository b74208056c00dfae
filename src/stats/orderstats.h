// Median and quartiles of every variable of the data matrix.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "record/analysis.h"
#include "machine/workers.h"

// Fills median, lower and upper quartile of the first m records: the median
// at (n - 1)/2, the quartiles interpolated at (n - 2)/4 and (3n - 2)/4 of
// the sorted values. The workers take groups of variables; the scratch they
// hold at once stays within a tenth of the data matrix and 24 MiB (less the
// matrix's row table), or one column's copy where a column needs that.
void compute_order_stats(Analysis &a, Workers &w = serial_workers());

// The same for the listed variables (ascending) alone.
void compute_order_stats(Analysis &a, const std::vector<uint32_t> &variables,
                         Workers &w = serial_workers());

// The 0-based positions of the sorted values that the median and the
// quartiles of n values read: ascending, without repeats, at most six.
// REQUIRES: n >= 1.
std::vector<uint64_t> order_positions(uint64_t n);

// The sorted values of a variable seen at a few positions only: values[i]
// at positions[i], ascending. REQUIRES: a position read is listed.
struct KnownPositions {
  const std::vector<uint64_t> &positions;
  const std::vector<double> &values;
  double operator[](size_t p) const;
};

// Median and quartiles of n values from the sorted values at ascending
// positions that hold order_positions(n) (values[i] at positions[i]), as
// compute_order_stats forms them; for a table whose rows are not in one
// place.
void order_stats_at(VariableStats &s, uint64_t n, const std::vector<uint64_t> &positions,
                    const std::vector<double> &values);

// The key of a value in the radix search: unsigned keys ascend as the
// values do (the sign bit set for a positive value, every bit inverted for a
// negative one), and both zeros take +0's key, as the comparison calls them
// equal; which zero a position holds is the zero of that rank in row order.
// Inline: the counting passes call it for every value.
inline uint64_t order_key(double x) {
  constexpr uint64_t sign = uint64_t{1} << 63;
  if (x == 0) return sign;
  uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  return u & sign ? ~u : u | sign;
}

// The value of a key; a zero's key gives +0.
inline double key_value(uint64_t key) {
  constexpr uint64_t sign = uint64_t{1} << 63;
  const uint64_t u = key & sign ? key & ~sign : ~key;
  double x;
  std::memcpy(&x, &u, sizeof x);
  return x;
}
