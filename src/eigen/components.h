// Principal components after the decomposition: the loadings and the order
// of the components by decreasing eigenvalue.
#pragma once

#include "analysis.h"
#include "jacobi.h"

// Fills the loadings and the descending component order from the
// decomposition's eigenvalues and eigenvectors.
void order_components(Analysis &a, const Decomposition &decomposition);
