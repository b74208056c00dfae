// Principal components after the decomposition: the loadings and the order
// of the components by decreasing eigenvalue. The decomposition is in
// jacobi.cpp, the coefficients and scores in scores.cpp.
#include "eigen/components.h"

#include <cmath>
#include <utility>
#include <vector>

// Loading (k, i) is sqrt(eigenvalue i) * eigenvector component (k, i). A
// negative eigenvalue (left by rounding, or by a matrix that is not positive
// semi-definite) carries no variance, so its loadings are 0.
Components order_components(const EigenPairs &pairs, uint32_t m, Components storage) {
  Components out = std::move(storage);
  const uint64_t stride = m;
  const double *root = pairs.values.get();
  for (uint32_t i = 0; i < m; ++i) {
    const bool negative = root[i] < 0;
    const double scale = negative ? 0.0 : std::sqrt(root[i]);
    for (uint32_t k = 0; k < m; ++k)
      out.loadings[k * stride + i] = negative ? 0.0 : scale * pairs.vectors[k][i];
  }

  // Selection in descending order of the eigenvalues; only a strictly
  // greater value displaces the choice, so ties keep the order of the
  // decomposition. When nothing free beats -1e20 (eigenvalues that are not
  // numbers) component 0 is chosen, placed or not.
  std::vector<bool> placed(m, false);
  int32_t *position = out.order.get();
  for (uint32_t u = 0; u < m; ++u) {
    double best = -1e20;
    uint32_t chosen = 0;
    for (uint32_t f = 0; f < m; ++f) {
      if (placed[f]) continue;
      if (root[f] > best) {
        best = root[f];
        chosen = f;
      }
    }
    placed[chosen] = true;
    position[u] = static_cast<int32_t>(chosen);
  }
  return out;
}
