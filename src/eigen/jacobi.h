// The Jacobi eigen-decomposition: the routine itself, which tests and
// benchmarks run on matrices of their own, and its use on a file's
// correlation matrix.
#pragma once

#include <cstdint>

#include "analysis.h"
#include "stats.h"

// What one decomposition did.
struct JacobiCounts {
  uint64_t rotations = 0;
  uint64_t sweeps = 0;   // sweeps made, the last (empty) one of each step included
  bool rotated = false;  // false when the matrix was left as it came
};

// Cyclic threshold Jacobi: decomposes the symmetric m x m matrix `a` (row
// pointers) in place, leaving the eigenvalues on its diagonal, and fills `v`
// (row pointers, m x m) with the eigenvectors: v[k][i] is component k of the
// eigenvector of a[i][i].
// REQUIRES: a is exactly symmetric; a and v do not overlap.
// A matrix whose off-diagonal norm is 0 or below about 1e-302, or that holds
// an element that is not finite, is left as it is and v is the identity. A
// threshold step that still rotates after 100 sweeps (elements far below the
// rounding of the diagonal can turn back and forth for ever) ends the
// decomposition where it stands.
JacobiCounts jacobi_decompose(double *const *a, double *const *v, uint32_t m);

// What the decomposition of a file's correlation matrix leaves besides the
// record's eigenvalues and eigenvectors.
struct Decomposition {
  double total = 0;  // sum of the eigenvalues
  JacobiCounts counts;
};

// Decomposes a symmetric copy (from the upper triangle) of the correlation
// matrix that the moments phase made, filling the record's eigenvalues (in
// decomposition order), eigenvectors and eigen_total. The correlation matrix
// is left unchanged.
Decomposition eigen_decompose(Analysis &a, const Moments &moments);
