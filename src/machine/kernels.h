// The arithmetic loops that dominate the statistics phases, compiled once
// per vector path (isa.h) and called through the run's table. Every variant
// does the same operations in the same order on each element, so the paths
// agree bit for bit; wider paths only take more elements per instruction.
// (Which NaN a commutative operation passes on follows the compiler's
// operand order, on any path; no NaN is printed with its sign.)
#pragma once

#include <cstdint>

#include "machine/isa.h"

struct Kernels {
  // lo[i] = min(lo[i], x[i]) and hi[i] = max(hi[i], x[i]) over the rows
  // x = block + k * stride, k in [0, n), for the columns i in [first,
  // last): a value replaces the bound only when it compares below (above) it.
  void (*extremes)(const double *block, uint64_t stride, uint32_t n, uint32_t first, uint32_t last,
                   double *lo, double *hi);
  // s[i] += x[i] and s2[i] += x[i] * x[i] over the same rows, row by row,
  // for the columns i in [first, last).
  void (*column_sums)(const double *block, uint64_t stride, uint32_t n, uint32_t first,
                      uint32_t last, double *s, double *s2);
  // One observation: d = x - centre, and d, d^2, d^3, d^4 added to p1..p4.
  void (*deviation_powers)(const double *x, const double *centre, uint32_t m, double *d, double *p1,
                           double *p2, double *p3, double *p4);
  // One observation into the running means of the products, upper triangle
  // rows i in [first, last): cov[i][j] += (d[i] * d[j] - cov[i][j]) / count
  // for m > j >= i.
  void (*product_means)(double *const *cov, const double *d, uint32_t first, uint32_t last,
                        uint32_t m, double count);
  // Histogram bin of each value: q = (x - lo) / width truncated, clamped to
  // 0..B-1; a NaN q or a zero width gives the middle bin B/2.
  void (*bins)(const double *x, const double *lo, const double *width, uint32_t m, uint32_t B,
               int32_t *bin);
  // One Jacobi rotation of elements lo..hi-1 of the rows j and i: with p and
  // q their old values, ri = s*p + c*q and rj = c*p - s*q.
  void (*rotate)(double *rj, double *ri, uint32_t lo, uint32_t hi, double s, double c);
};

// The table of the run's path (chosen_isa()).
const Kernels &kernels();

// The table of one path. REQUIRES: isa_supported(isa).
const Kernels &kernels_for(Isa isa);
