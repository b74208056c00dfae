// The radix sort of a column's rows by value: order keys, passes over the
// bits that vary, and the finish of entries the kept bits could not tell
// apart.
#include "stats/ranksort.h"

#include <algorithm>
#include <cstring>

#include "record/workarrays.h"

namespace {

// Sizes a scratch array to n entries; a new one of a large table is backed
// by huge pages where the kernel has them, since the passes write all over
// it.
void size_scratch(std::vector<uint64_t> &v, uint64_t n) {
  if (v.capacity() < n) {
    v = std::vector<uint64_t>();
    v.reserve(n);
    advise_huge_pages(v.data(), n * sizeof(uint64_t));
  }
  v.resize(n);
}

// A value's order key: unsigned keys in the order of the values, equal for
// equal values (-0 and +0 both 2^63). The magnitude is added to or taken
// from 2^63, so a key ends in as many zero bits as its value's bits do.
// The values are not NaN.
uint64_t order_key(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  constexpr uint64_t kMiddle = uint64_t{1} << 63;
  const uint64_t magnitude = bits & (kMiddle - 1);
  return (bits >> 63) != 0 ? kMiddle - magnitude : kMiddle + magnitude;
}

// Below this many values a comparison sort is quicker than the radix passes.
constexpr uint64_t kRadixLeast = 1024;

// The radix passes take 11 bits at a time.
constexpr int kDigitBits = 11;
constexpr uint64_t kBuckets = uint64_t{1} << kDigitBits;

int digit_passes(int bits) { return (bits + kDigitBits - 1) / kDigitBits; }

// Least significant digit radix passes over the `bits` bits of the entries
// above their row numbers, whose digits s.count holds; a pass whose digit
// every entry shares is left out. Stable, and the entries start in row
// order, so equal keys keep their rows' order.
void radix_passes(SortScratch &s, const SortedRows &sorted, int bits) {
  const uint64_t n = sorted.n;
  size_scratch(s.spare, n);
  for (int p = 0; p < digit_passes(bits); ++p) {
    const int shift = sorted.row_bits + p * kDigitBits;
    uint32_t *c = s.count.data() + p * kBuckets;
    if (c[(s.rows[0] >> shift) & (kBuckets - 1)] == n) continue;
    uint32_t at = 0;
    for (uint64_t b = 0; b < kBuckets; ++b) {
      const uint32_t here = c[b];
      c[b] = at;
      at += here;
    }
    for (uint64_t k = 0; k < n; ++k) s.spare[c[(s.rows[k] >> shift) & (kBuckets - 1)]++] = s.rows[k];
    s.rows.swap(s.spare);
  }
}

// After a sort on the kept bits: entries that agree on them are put in
// order by their full keys (and rows), and every entry's high bits become
// the count of distinct values before it, so that equal high bits mean
// equal values again. The full keys are gathered in the entries' order
// first, in a walk whose reads do not wait on one another.
void order_by_full_keys(const double *v, SortScratch &s, const SortedRows &sorted) {
  const int shift = sorted.row_bits;
  std::vector<uint64_t> &key = s.spare;
  size_scratch(key, sorted.n);
  for (uint64_t k = 0; k < sorted.n; ++k) key[k] = order_key(v[row_of(s.rows[k], sorted)]);
  uint64_t distinct = 0;
  for (uint64_t k = 0; k < sorted.n;) {
    uint64_t end = k + 1;
    bool equal = true;
    for (; end < sorted.n && (s.rows[end] >> shift) == (s.rows[k] >> shift); ++end)
      equal = equal && key[end] == key[k];
    if (!equal) {
      s.run.clear();
      for (uint64_t l = k; l < end; ++l) s.run.emplace_back(key[l], row_of(s.rows[l], sorted));
      std::sort(s.run.begin(), s.run.end());
      for (uint64_t l = k; l < end; ++l) {
        key[l] = s.run[l - k].first;
        s.rows[l] = s.run[l - k].second;
      }
    }
    for (uint64_t l = k; l < end; ++l) {
      if (l > k && key[l] != key[l - 1]) ++distinct;
      s.rows[l] = (distinct << shift) | row_of(s.rows[l], sorted);
    }
    ++distinct;
    k = end;
  }
}

}  // namespace

// The rows of the n values in ascending order of value, stably, into
// s.rows. The keys are sorted on the varying bits that fit beside the row
// numbers (all of them unless the values are spread very finely); entries
// that agree on those bits but not on the rest are then put in order by
// their full keys.
SortedRows sort_rows(const double *v, uint64_t n, SortScratch &s) {
  SortedRows sorted;
  sorted.n = n;
  sorted.row_bits = n <= 2 ? 1 : 64 - __builtin_clzll(n - 1);
  size_scratch(s.rows, n);
  if (n == 0) return sorted;
  uint64_t differ = 0;
  const uint64_t first = order_key(v[0]);
  for (uint64_t k = 0; k < n; ++k) differ |= order_key(v[k]) ^ first;
  if (differ == 0) {
    for (uint64_t k = 0; k < n; ++k) s.rows[k] = k;
    return sorted;
  }
  const int high = 63 - __builtin_clzll(differ), low = __builtin_ctzll(differ);
  const int room = 64 - sorted.row_bits;
  const int shift = std::max(low, high + 1 - room), bits = high + 1 - shift;
  const uint64_t mask = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
  const auto entry = [&](uint64_t k) {
    return (((order_key(v[k]) >> shift) & mask) << sorted.row_bits) | k;
  };
  if (n < kRadixLeast) {
    for (uint64_t k = 0; k < n; ++k) s.rows[k] = entry(k);
    std::sort(s.rows.begin(), s.rows.end());
  } else {
    const int passes = digit_passes(bits);
    s.count.assign(passes * kBuckets, 0);
    for (uint64_t k = 0; k < n; ++k) {
      s.rows[k] = entry(k);
      for (int p = 0; p < passes; ++p)
        ++s.count[p * kBuckets + ((s.rows[k] >> (sorted.row_bits + p * kDigitBits)) & (kBuckets - 1))];
    }
    radix_passes(s, sorted, bits);
  }
  if (shift > low) order_by_full_keys(v, s, sorted);
  return sorted;
}

