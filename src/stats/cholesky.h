// The Cholesky factor of a small symmetric positive definite matrix and what
// it gives: the log determinant and the inverse. Dense, row-major, for the
// sampling adequacy and the oblique rotation; the eigen decomposition is in
// eigen/jacobi.cpp.
#pragma once

#include <cstdint>
#include <vector>

// The lower factor L of the k x k row-major matrix `s` (s = L L^T), its
// upper triangle zero. Empty when a pivot is not above `floor` times the
// diagonal element it came from (singular, not positive definite, or not a
// number). REQUIRES: s.size() == k * k.
std::vector<double> cholesky(const std::vector<double> &s, uint64_t k, double floor);

// ln det(s) = 2 * sum ln L_ii from the factor.
double log_determinant(const std::vector<double> &lower, uint64_t k);

// X with (L L^T) X = B for the k x c right-hand side B, row-major.
std::vector<double> cholesky_solve(const std::vector<double> &lower, uint64_t k,
                                   std::vector<double> b, uint64_t c);
