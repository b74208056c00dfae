// Principal components after the decomposition: the loadings and the order
// of the components by decreasing eigenvalue.
#pragma once

#include "record/analysis.h"

// The loadings and the descending component order of the m eigenpairs,
// returned in `storage`'s arrays.
Components order_components(const EigenPairs &pairs, uint32_t m, Components storage);
