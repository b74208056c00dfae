// One sweep of a part's rows for the order-statistics search over a table
// in parts, and the choice of a position among gathered values; the
// merging of the parts' answers is the caller's.
#include "stats/rankparts.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>

#include "stats/orderstats.h"

namespace {

constexpr uint64_t kZeroKey = uint64_t{1} << 63;  // order_key(+0) and order_key(-0)

void check_scan(const KeyScan &s, uint32_t m) {
  if (s.column >= m) throw std::invalid_argument("A scan of a column the part does not hold");
  if (s.kind != ScanKind::count) return;
  if (s.lo > s.hi || s.shift >= 64 || ((s.hi - s.lo) >> s.shift) >= kMaxScanBuckets)
    throw std::invalid_argument("A scan of a bad key range");
}

ScanAnswer empty_answer(const KeyScan &s) {
  ScanAnswer a;
  if (s.kind == ScanKind::count) a.counts.assign(((s.hi - s.lo) >> s.shift) + 1, 0);
  return a;
}

void take(const KeyScan &s, double x, ScanAnswer &a) {
  if (s.kind == ScanKind::signs) {
    if (x == 0) a.signs.push_back(std::signbit(x) ? 1 : 0);
    return;
  }
  const uint64_t key = order_key(x);
  if (key < s.lo || key > s.hi) return;
  if (s.kind == ScanKind::gather) {
    a.values.push_back(x);
    return;
  }
  ++a.counts[(key - s.lo) >> s.shift];
  a.min_key = std::min(a.min_key, key);
  a.max_key = std::max(a.max_key, key);
}

}  // namespace

uint32_t scan_shift(uint64_t lo, uint64_t hi) {
  const int width = std::bit_width(hi - lo);
  return width > 12 ? static_cast<uint32_t>(width - 12) : 0;
}

std::vector<ScanAnswer> scan_part(const double *rows, uint64_t n, uint32_t m,
                                  const std::vector<KeyScan> &scans) {
  std::vector<ScanAnswer> out;
  for (const KeyScan &s : scans) {
    check_scan(s, m);
    out.push_back(empty_answer(s));
  }
  // Rows outer: one walk of the part's memory whatever the scan count.
  for (uint64_t k = 0; k < n; ++k) {
    const double *row = rows + k * m;
    for (size_t i = 0; i < scans.size(); ++i) take(scans[i], row[scans[i].column], out[i]);
  }
  return out;
}

double value_at_rank(const std::vector<double> &values, uint64_t rank) {
  std::vector<uint64_t> keys(values.size());
  std::transform(values.begin(), values.end(), keys.begin(), order_key);
  std::nth_element(keys.begin(), keys.begin() + static_cast<ptrdiff_t>(rank), keys.end());
  const uint64_t key = keys[rank];
  if (key != kZeroKey) return key_value(key);
  const uint64_t below = static_cast<uint64_t>(
      std::count_if(keys.begin(), keys.end(), [](uint64_t k) { return k < kZeroKey; }));
  uint64_t seen = 0;
  for (double x : values)
    if (x == 0 && seen++ == rank - below) return x;
  return 0.0;  // not reached: the key found is a zero's
}
