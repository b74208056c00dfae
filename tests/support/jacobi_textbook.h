// The cyclic threshold Jacobi method in its textbook form, kept beside the
// tests as the yardstick of the row-wise routine in src/jacobi.cpp (tests
// compare the two bit for bit; the eigen benchmark times both).
#pragma once

#include <cmath>
#include <cstdint>

// The cyclic threshold Jacobi exactly as the method is written down: columns
// j and i of the matrix and of V are rotated, then rows j and i are copied
// from the columns. Returns the number of rotations.
inline uint64_t textbook_jacobi(double *const *a, double *const *V, uint32_t m) {
  for (uint32_t r = 0; r < m; ++r)
    for (uint32_t c = 0; c < m; ++c) V[r][c] = r == c ? 1 : 0;
  double sum = 0;
  for (uint32_t r = 0; r < m; ++r)
    for (uint32_t c = 0; c < m; ++c)
      if (r != c) sum += a[r][c] * a[r][c];
  const double g = std::sqrt(sum);
  if (g == 0) return 0;
  const double f = g * 0.000001;
  double t = g;
  uint64_t rotations = 0;
  do {
    t = t / m;
    bool rotated;
    int sweeps = 0;
    do {
      rotated = false;
      for (uint32_t i = 1; i < m; ++i) {
        for (uint32_t j = 0; j < i; ++j) {
          const double x = a[j][i];
          if (std::fabs(x) < t) continue;
          const double y = 0.5 * (a[j][j] - a[i][i]);
          double w = -x / std::sqrt(x * x + y * y);
          if (y < 0.0000000000001) w = -w;
          const double s = w / std::sqrt(2 * (1 + std::sqrt(1 - w * w)));
          const double c = std::sqrt(1 - s * s);
          for (uint32_t k = 0; k < m; ++k) {
            double p = V[k][j], q = V[k][i];
            V[k][i] = s * p + c * q;
            V[k][j] = c * p - s * q;
            if (k != j && k != i) {
              p = a[k][j];
              q = a[k][i];
              a[k][i] = s * p + c * q;
              a[k][j] = c * p - s * q;
            }
          }
          const double c2 = c * c, s2 = s * s, sc = s * c;
          const double X = 2 * a[j][i] * sc;
          const double ajj = a[j][j], aii = a[i][i], aji = a[j][i];
          a[j][i] = aji * (c2 - s2) + sc * (ajj - aii);
          a[i][j] = a[j][i];
          a[j][j] = ajj * c2 + aii * s2 - X;
          a[i][i] = aii * c2 + ajj * s2 + X;
          for (uint32_t l = 0; l < m; ++l) {
            a[j][l] = a[l][j];
            a[i][l] = a[l][i];
          }
          rotated = true;
          ++rotations;
        }
      }
    } while (rotated && ++sweeps < 1000);
  } while (t > f);
  return rotations;
}
