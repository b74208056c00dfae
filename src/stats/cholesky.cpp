// Cholesky factorisation by rows (Cholesky-Banachiewicz) and the solves
// through it. Every sum runs in index order, so the results are the same
// bits on every machine.
#include "stats/cholesky.h"

#include <cmath>

std::vector<double> cholesky(const std::vector<double> &s, uint64_t k, double floor) {
  std::vector<double> l(k * k, 0.0);
  for (uint64_t i = 0; i < k; ++i) {
    for (uint64_t j = 0; j <= i; ++j) {
      double sum = s[i * k + j];
      for (uint64_t p = 0; p < j; ++p) sum -= l[i * k + p] * l[j * k + p];
      if (j < i) {
        l[i * k + j] = sum / l[j * k + j];
        continue;
      }
      // The pivot is what is left of the diagonal once the earlier rows
      // explain it; compared with the diagonal, a tiny rest is a row that
      // the others make up.
      if (!(sum > floor * s[i * k + i])) return {};
      l[i * k + i] = std::sqrt(sum);
    }
  }
  return l;
}

double log_determinant(const std::vector<double> &lower, uint64_t k) {
  double sum = 0;
  for (uint64_t i = 0; i < k; ++i) sum += std::log(lower[i * k + i]);
  return 2 * sum;
}

std::vector<double> cholesky_solve(const std::vector<double> &lower, uint64_t k,
                                   std::vector<double> b, uint64_t c) {
  for (uint64_t col = 0; col < c; ++col) {
    for (uint64_t i = 0; i < k; ++i) {  // L y = b
      double sum = b[i * c + col];
      for (uint64_t p = 0; p < i; ++p) sum -= lower[i * k + p] * b[p * c + col];
      b[i * c + col] = sum / lower[i * k + i];
    }
    for (uint64_t i = k; i-- > 0;) {  // L^T x = y
      double sum = b[i * c + col];
      for (uint64_t p = i + 1; p < k; ++p) sum -= lower[p * k + i] * b[p * c + col];
      b[i * c + col] = sum / lower[i * k + i];
    }
  }
  return b;
}
