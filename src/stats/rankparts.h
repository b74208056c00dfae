// The search for sorted positions over a table whose rows lie in parts
// (vantor.dask): one sweep of a part's rows answering every open search at
// once (key-range counts, the values of a key range, the zeros' signs, the
// sums between two keys), keyed as the in-memory search keys them, and the
// choice of a position among gathered values. The merging of the parts'
// answers is the caller's.
#pragma once

#include <cstdint>
#include <vector>

// What a scan asks of one column's keys in [lo, hi] (order_key, both ends
// included).
enum class ScanKind : uint8_t {
  count,   // counts of (key - lo) >> shift, with the least and greatest key
  gather,  // the values, in row order
  signs,   // the column's zeros, in row order (lo, hi and shift unused)
  sums,    // the values with keys <= lo, and those strictly between lo and
           // hi with their long double sum (the trimmed means' sums)
};

// A scan of a column's values, or with `distance` of their distances
// |x - centre| from a centre (the MAD's search).
struct KeyScan {
  ScanKind kind = ScanKind::count;
  uint32_t column = 0;
  uint64_t lo = 0, hi = UINT64_MAX;
  uint32_t shift = 0;
  bool distance = false;
  double centre = 0;
};

// One scan's answer over a part. An empty range has min_key > max_key.
struct ScanAnswer {
  std::vector<int64_t> counts;  // count: ((hi - lo) >> shift) + 1 buckets;
                                // sums: at or below lo, strictly between
  uint64_t min_key = UINT64_MAX, max_key = 0;
  std::vector<double> values;   // gather
  std::vector<uint8_t> signs;   // signs: 1 for -0, 0 for +0
  long double sum = 0;          // sums
};

// Most buckets one count scan may ask for.
constexpr uint64_t kMaxScanBuckets = uint64_t{1} << 16;

// The shift that splits [lo, hi] into at most 4,096 buckets of 2^shift keys.
uint32_t scan_shift(uint64_t lo, uint64_t hi);

// Answers every scan in one sweep of the part's n rows of m values.
// Throws std::invalid_argument for a column >= m, lo > hi, a shift of 64 or
// more, more than kMaxScanBuckets buckets or a centre that is not finite.
std::vector<ScanAnswer> scan_part(const double *rows, uint64_t n, uint32_t m,
                                  const std::vector<KeyScan> &scans);

// The value at 0-based sorted position `rank` of `values` (a column's
// values in one key range, in row order), as the in-memory search gives it:
// both zeros one key, a position among the zeros holding the zero of that
// rank in row order. REQUIRES: rank < values.size().
double value_at_rank(const std::vector<double> &values, uint64_t rank);
