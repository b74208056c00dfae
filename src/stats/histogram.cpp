// Histogram counts of every variable (B equal bins from the minimum up to
// 1.00001 times the maximum) and the bin edges every output shows. The
// extremes come from the statistics group; the ".his" file is written in
// output/histout.cpp.
#include "stats/histogram.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "machine/kernels.h"
#include "record/rowspill.h"
#include "machine/workers.h"

namespace {

// Users' log filters key on the location this trace has always carried, the
// counting loop of the program's main source, so it is kept fixed here.
constexpr const char kTraceFile[] = "src/vantor.cpp";
constexpr int kTraceLine = 979;

// Bin of q = (x - min) / w, truncated toward zero. A q outside the bins goes
// to the nearest one (a negative q to bin 0, q at or above B to bin B - 1)
// and a q that is not a number to the middle bin, where a zero width sends
// every value; q is never converted to int outside the int range.
int32_t bin_of(double q, uint32_t B) {
  if (std::isnan(q)) return static_cast<int32_t>(B / 2);
  if (q < 0) return 0;
  if (q >= static_cast<double>(B)) return static_cast<int32_t>(B - 1);
  return static_cast<int32_t>(q);
}

// Counts are 32-bit; a bin that has reached the limit stays there rather
// than wrap (only possible beyond 2^31 observations).
void add_one(int32_t &count) {
  if (count < INT32_MAX) ++count;
}

// The counting loop one value at a time, tracing every placement.
void count_traced(Analysis &a, const RowRange &rows, const Extremes &extremes,
                  const std::vector<double> &width, const Console &con) {
  const uint32_t m = a.m, B = a.bins;
  const int32_t middle = static_cast<int32_t>(B / 2);
  for (uint64_t r = 0; r < rows.count; ++r) {
    const double *row = rows[r];
    for (uint32_t k = 0; k < m; ++k) {
      const double w = width[k];
      if (w == 0) {
        add_one(a.histogram[middle][k]);
        continue;
      }
      const double d = row[k] - extremes.min[k];
      const double q = d / w;
      const int32_t b = bin_of(q, B);
      debug_trace(con, kTraceFile, kTraceLine, "dummy:%f diff:%f= %f %d %d\n", q, w, q / w, b,
                  static_cast<int>(B));
      add_one(a.histogram[b][k]);
    }
  }
}

// Counts of the variables [first, last) into a block of their own (bin b of
// variable k at (k - first) * B + b), so that parts never share a line.
void count_part(Analysis &a, const RowRange &rows, const Extremes &extremes,
                const std::vector<double> &width, uint32_t first, uint32_t last) {
  const uint32_t B = a.bins, count = last - first;
  std::vector<int32_t> bin(count), counts(static_cast<size_t>(count) * B);
  for (uint32_t k = 0; k < count; ++k)
    for (uint32_t b = 0; b < B; ++b)
      counts[static_cast<size_t>(k) * B + b] = a.histogram[b][first + k];
  const Kernels &kern = kernels();
  for (uint64_t r = 0; r < rows.count; ++r) {
    kern.bins(rows[r] + first, extremes.min.data() + first, width.data() + first, count, B,
              bin.data());
    for (uint32_t k = 0; k < count; ++k) add_one(counts[static_cast<size_t>(k) * B + bin[k]]);
  }
  for (uint32_t k = 0; k < count; ++k)
    for (uint32_t b = 0; b < B; ++b)
      a.histogram[b][first + k] = counts[static_cast<size_t>(k) * B + b];
}

}  // namespace

// The factor stretches the maximum, not the range; B - 1 is 0 for one bin,
// giving an infinite (or 0/0) width.
double histogram_bin_width(double min, double max, uint32_t B) {
  return (1.00001 * max - min) / static_cast<double>(B - 1);
}

std::vector<double> histogram_edges(double min, double max, uint32_t B) {
  const double w = histogram_bin_width(min, max, B);
  // Edge 0 is the minimum itself even where the width of one bin is
  // infinite (0 times infinity would make it NaN).
  std::vector<double> edges(B + 1, min);
  for (uint32_t b = 1; b <= B; ++b) edges[b] = min + b * w;
  return edges;
}

void count_histogram(Analysis &a, const Extremes &extremes, bool debug, const Console &con,
                     Workers &w) {
  const uint32_t m = a.m, B = a.bins;
  std::vector<double> width(m);
  for (uint32_t k = 0; k < m; ++k)
    width[k] = histogram_bin_width(extremes.min[k], extremes.max[k], B);
  const std::vector<uint32_t> b = even_bounds(m, w.count());
  RowCursor cursor = row_cursor(a);
  for (RowRange rows; next_rows(cursor, rows);) {
    if (debug) {
      count_traced(a, rows, extremes, width, con);
      continue;
    }
    w.run(static_cast<uint32_t>(b.size() - 1), [&](uint32_t part, uint32_t) {
      count_part(a, rows, extremes, width, b[part], b[part + 1]);
    });
  }
}
