// The Jacobi eigen-decomposition: the routine itself, which tests and
// benchmarks run on matrices of their own, and its use on a file's
// correlation matrix.
#pragma once

#include <cstdint>

#include "record/analysis.h"

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
// With `vectors_apart`, the eigenvector rotations are applied on a second
// thread a batch behind the sweeps (they never feed back into the angles):
// every element sees the same rotations in the same order, the same bits.
JacobiCounts jacobi_decompose(double *const *a, double *const *v, uint32_t m,
                              bool vectors_apart = false);

// The eigenpairs of a file's correlation matrix (m x m, of which the upper
// triangle is read): a symmetric copy is decomposed in `scratch` (m * m
// doubles, which must not overlap the matrix or the storage), and the
// values, vectors and their total are returned in `storage`'s arrays. The
// correlation matrix is left as it is for every later output.
EigenPairs eigen_decompose(const Table<double> &correlation, uint32_t m, double *scratch,
                           EigenPairs storage, bool vectors_apart);
EigenPairs eigen_decompose(const Table<double> &correlation, uint32_t m, double *scratch,
                           EigenPairs storage);
