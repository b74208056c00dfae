// The rotation of the scored components' loadings (--rotate): varimax with
// Kaiser normalisation and promax, as R's stats::varimax and stats::promax
// with their defaults. The unrotated loadings stay as they are.
#pragma once

#include <cstdint>
#include <vector>

#include "record/analysis.h"

// Rotates the m x k row-major loadings. Varimax: R's varimax(x, normalize =
// TRUE, eps = 1e-5), at most 1000 steps; promax: R's promax(x, m = 4) on
// that varimax. Each rotated column is then given the sign that makes its
// largest absolute loading (the first, on a tie) positive, the matrix's
// column with it. One component is its own rotation. A variable without a
// loading, or a step that leaves the criterion undefined, gives no rotation
// and the reason.
Rotation rotate_loadings(const std::vector<double> &loadings, uint32_t m, uint32_t k,
                         RotationMethod method);

// The loadings of the first `count` components in decreasing order of
// their eigenvalues: loading = eigenvector * sqrt(eigenvalue), m x count.
// REQUIRES: the components computed, count <= a.m.
std::vector<double> leading_loadings(const Analysis &a, uint32_t count);
