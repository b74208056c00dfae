// Principal components after the decomposition: the loadings, the order of
// the components by decreasing eigenvalue, and the ".eig" file. The
// decomposition is in jacobi.cpp, the coefficients and scores in scores.cpp.
#include "components.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "naming.h"

namespace {

constexpr char kEigFirst[] = "%- 7.3f";  // first value of a line
constexpr char kEigNext[] = " %- 7.3f";  // every further value

}  // namespace

// Loading (k, i) is sqrt(eigenvalue i) * eigenvector component (k, i). A
// negative eigenvalue (left by rounding, or by a matrix that is not positive
// semi-definite) carries no variance, so its loadings are 0.
void order_components(Analysis &a, const Decomposition &) {
  const uint32_t m = a.m;
  const uint64_t stride = m;
  const double *root = a.eigenvalues.get();
  for (uint32_t i = 0; i < m; ++i) {
    const bool negative = root[i] < 0;
    const double scale = negative ? 0.0 : std::sqrt(root[i]);
    for (uint32_t k = 0; k < m; ++k)
      a.loadings[k * stride + i] = negative ? 0.0 : scale * a.eigenvectors[k][i];
  }

  // Selection in descending order of the eigenvalues; only a strictly
  // greater value displaces the choice, so ties keep the order of the
  // decomposition. When nothing free beats -1e20 (eigenvalues that are not
  // numbers) component 0 is chosen, placed or not.
  std::vector<bool> placed(m, false);
  int32_t *position = a.component_order.get();
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
}

void write_eig_file(const Analysis &a, const Console &con) {
  const uint32_t m = a.m;
  const double total = a.eigen_total;
  const double *root = a.eigenvalues.get();
  const int32_t *position = a.component_order.get();
  OutputFile out = open_output(a.place, ".eig");
  announce_output(out, con);
  FILE *fp = out.fp;

  // Explained variance in percent, largest component first.
  for (uint32_t u = 0; u < m; ++u)
    std::fprintf(fp, kEigNext, shown(100 * (root[position[u]] / total)));
  std::fputc('\n', fp);

  // Reference line falling evenly from 100/m + 1.4 to 100/m - 1.4; a single
  // variable has just its one value.
  const double top = 100.0 / m + 1.4;
  std::fprintf(fp, kEigFirst, shown(top));
  if (m > 1) {
    const double step = 2.8 / (m - 1);
    for (uint32_t k = 1; k < m; ++k) std::fprintf(fp, kEigNext, shown(top - k * step));
  }
  std::fputc('\n', fp);

  // Loadings: variables down, components across in descending order.
  const uint64_t stride = m;
  for (uint32_t r = 0; r < m; ++r) {
    const double *row = a.loadings.get() + r * stride;
    std::fprintf(fp, kEigFirst, shown(row[position[0]]));
    for (uint32_t u = 1; u < m; ++u) std::fprintf(fp, kEigNext, shown(row[position[u]]));
    std::fputc('\n', fp);
  }
  close_output(out);
}
