// Principal components after the decomposition: the loadings, the order of
// the components by decreasing eigenvalue, and the ".eig" file.
#pragma once

#include "analysis.h"
#include "console.h"
#include "jacobi.h"

// Fills the loadings and the descending component order from the
// decomposition's eigenvalues and eigenvectors.
void order_components(Analysis &a, const Decomposition &decomposition);

void write_eig_file(const Analysis &a, const Console &con);  // ".eig"
