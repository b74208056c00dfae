// One sweep of a part's rows for the order-statistics search over a table
// in parts (of its values or their distances from a centre, with the sums
// the trimmed means need), and the choice of a position among gathered
// values; the merging of the parts' answers is the caller's.
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
  if (s.distance && !std::isfinite(s.centre))
    throw std::invalid_argument("A scan of distances from a centre that is not finite");
  if (s.kind == ScanKind::sums && s.lo > s.hi)
    throw std::invalid_argument("A scan of a bad key range");
  if (s.kind != ScanKind::count) return;
  if (s.lo > s.hi || s.shift >= 64 || ((s.hi - s.lo) >> s.shift) >= kMaxScanBuckets)
    throw std::invalid_argument("A scan of a bad key range");
}

ScanAnswer empty_answer(const KeyScan &s) {
  ScanAnswer a;
  if (s.kind == ScanKind::count) a.counts.assign(((s.hi - s.lo) >> s.shift) + 1, 0);
  if (s.kind == ScanKind::sums) a.counts.assign(2, 0);
  return a;
}

// Scans read the same values when they read the same column alike.
bool same_source(const KeyScan &x, const KeyScan &y) {
  return x.column == y.column && x.distance == y.distance && (!x.distance || x.centre == y.centre);
}

bool source_before(const KeyScan &x, const KeyScan &y) {
  if (x.column != y.column) return x.column < y.column;
  if (x.distance != y.distance) return y.distance;
  return x.distance && x.centre < y.centre;
}

// Rows taken a block at a time: one column's values and keys of a block
// stay in cache while each scan of that column reads them.
constexpr uint64_t kBlockRows = 1024;

// One scan over a block of a column's values and their keys, in row order.
void scan_block(const KeyScan &s, const double *x, const uint64_t *keys, uint64_t len,
                ScanAnswer &a) {
  if (s.kind == ScanKind::signs) {
    for (uint64_t k = 0; k < len; ++k)
      if (x[k] == 0) a.signs.push_back(std::signbit(x[k]) ? 1 : 0);
    return;
  }
  const uint64_t lo = s.lo, width = s.hi - s.lo;  // key - lo <= width: in range
  if (s.kind == ScanKind::sums) {
    for (uint64_t k = 0; k < len; ++k) {
      if (keys[k] <= lo) {
        ++a.counts[0];
      } else if (keys[k] < s.hi) {
        ++a.counts[1];
        a.sum += x[k];
      }
    }
    return;
  }
  if (s.kind == ScanKind::gather) {
    for (uint64_t k = 0; k < len; ++k)
      if (keys[k] - lo <= width) a.values.push_back(x[k]);
    return;
  }
  int64_t *counts = a.counts.data();
  uint64_t least = a.min_key, greatest = a.max_key;
  for (uint64_t k = 0; k < len; ++k) {
    const uint64_t key = keys[k];
    if (key - lo > width) continue;
    ++counts[(key - lo) >> s.shift];
    least = std::min(least, key);
    greatest = std::max(greatest, key);
  }
  a.min_key = least;
  a.max_key = greatest;
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
  // One walk of the part's memory whatever the scan count: a block of rows
  // at a time, each column (or its distances from one centre) with scans
  // keyed once.
  std::vector<size_t> order(scans.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t x, size_t y) { return source_before(scans[x], scans[y]); });
  std::vector<double> x(kBlockRows);
  std::vector<uint64_t> keys(kBlockRows);
  for (uint64_t first = 0; first < n; first += kBlockRows) {
    const uint64_t len = std::min(kBlockRows, n - first);
    for (size_t g = 0; g < order.size();) {
      const KeyScan &source = scans[order[g]];
      for (uint64_t k = 0; k < len; ++k) {
        const double v = rows[(first + k) * m + source.column];
        x[k] = source.distance ? std::fabs(v - source.centre) : v;
        keys[k] = order_key(x[k]);
      }
      for (; g < order.size() && same_source(scans[order[g]], source); ++g)
        scan_block(scans[order[g]], x.data(), keys.data(), len, out[order[g]]);
    }
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
