// Varimax and promax step by step as R's stats package takes them, so that
// the rotated loadings agree with R's to the last digits: the same start,
// steps and stopping rule. The singular value decomposition a varimax step
// needs is a one-sided Jacobi one; a small system is solved by Cholesky.
#include "eigen/rotation.h"

#include <cmath>
#include <utility>

#include "stats/cholesky.h"

namespace {

using Matrix = std::vector<double>;  // row-major

constexpr uint32_t kVarimaxSteps = 1000;  // R's bound
constexpr double kVarimaxEps = 1e-5;      // R's default
constexpr uint32_t kJacobiSweeps = 100;   // a k x k matrix needs a handful

// a (r x n) times b (n x c).
Matrix multiply(const Matrix &a, const Matrix &b, uint64_t r, uint64_t n, uint64_t c) {
  Matrix out(r * c, 0.0);
  for (uint64_t i = 0; i < r; ++i)
    for (uint64_t j = 0; j < c; ++j) {
      double sum = 0;
      for (uint64_t p = 0; p < n; ++p) sum += a[i * n + p] * b[p * c + j];
      out[i * c + j] = sum;
    }
  return out;
}

// a^T b for a (n x r) and b (n x c).
Matrix cross(const Matrix &a, const Matrix &b, uint64_t n, uint64_t r, uint64_t c) {
  Matrix out(r * c, 0.0);
  for (uint64_t i = 0; i < r; ++i)
    for (uint64_t j = 0; j < c; ++j) {
      double sum = 0;
      for (uint64_t p = 0; p < n; ++p) sum += a[p * r + i] * b[p * c + j];
      out[i * c + j] = sum;
    }
  return out;
}

Matrix identity(uint64_t k) {
  Matrix out(k * k, 0.0);
  for (uint64_t i = 0; i < k; ++i) out[i * k + i] = 1;
  return out;
}

// The orthogonal polar factor U V^T of the k x k matrix b = U S V^T and the
// sum of its singular values, by one-sided Jacobi: the columns of b are
// rotated until orthogonal, the rotations gathered in V. False when a
// singular value is at most `floor` (the factor is not unique) or a value is
// not a number.
bool polar_factor(Matrix w, uint64_t k, double floor, Matrix &factor, double &singular_sum) {
  Matrix v = identity(k);
  for (uint32_t sweep = 0; sweep < kJacobiSweeps; ++sweep) {
    bool rotated = false;
    for (uint64_t p = 0; p < k; ++p)
      for (uint64_t q = p + 1; q < k; ++q) {
        double alpha = 0, beta = 0, gamma = 0;
        for (uint64_t i = 0; i < k; ++i) {
          alpha += w[i * k + p] * w[i * k + p];
          beta += w[i * k + q] * w[i * k + q];
          gamma += w[i * k + p] * w[i * k + q];
        }
        if (!(std::fabs(gamma) > 1e-15 * std::sqrt(alpha * beta))) continue;
        rotated = true;
        const double zeta = (beta - alpha) / (2 * gamma);
        const double t = (zeta >= 0 ? 1.0 : -1.0) / (std::fabs(zeta) + std::sqrt(1 + zeta * zeta));
        const double c = 1 / std::sqrt(1 + t * t), s = c * t;
        for (Matrix *x : {&w, &v})
          for (uint64_t i = 0; i < k; ++i) {
            const double xp = (*x)[i * k + p], xq = (*x)[i * k + q];
            (*x)[i * k + p] = c * xp - s * xq;
            (*x)[i * k + q] = s * xp + c * xq;
          }
      }
    if (!rotated) break;
  }
  singular_sum = 0;
  factor.assign(k * k, 0.0);
  for (uint64_t j = 0; j < k; ++j) {
    double norm = 0;
    for (uint64_t i = 0; i < k; ++i) norm += w[i * k + j] * w[i * k + j];
    norm = std::sqrt(norm);
    if (!std::isfinite(norm)) singular_sum = std::nan("");
    if (!(norm > floor) || !std::isfinite(norm)) return false;
    singular_sum += norm;
    for (uint64_t i = 0; i < k; ++i)
      for (uint64_t c = 0; c < k; ++c) factor[i * k + c] += w[i * k + j] / norm * v[c * k + j];
  }
  return true;
}

// R's varimax on the m x k loadings x: rows scaled to unit length, then
// TT <- polar factor of t(x) %*% (z^3 - z %*% diag(colSums(z^2)) / m), z =
// x %*% TT, until the sum of singular values grows by less than a factor
// 1 + eps; the rows scaled back.
Rotation varimax(Matrix x, uint64_t m, uint64_t k) {
  Rotation out;
  std::vector<double> scale(m);
  for (uint64_t i = 0; i < m; ++i) {
    double sum = 0;
    for (uint64_t j = 0; j < k; ++j) sum += x[i * k + j] * x[i * k + j];
    scale[i] = std::sqrt(sum);
    if (!(scale[i] > 0) || !std::isfinite(scale[i])) {
      out.reason = "a variable has no loading on the rotated components";
      return out;
    }
    for (uint64_t j = 0; j < k; ++j) x[i * k + j] /= scale[i];
  }
  Matrix tt = identity(k);
  double d = 0;
  for (uint32_t step = 1; step <= kVarimaxSteps; ++step) {
    out.iterations = step;
    Matrix z = multiply(x, tt, m, k, k);
    std::vector<double> column_sq(k, 0.0);
    for (uint64_t i = 0; i < m; ++i)
      for (uint64_t j = 0; j < k; ++j) column_sq[j] += z[i * k + j] * z[i * k + j];
    for (uint64_t i = 0; i < m; ++i)
      for (uint64_t j = 0; j < k; ++j) {
        const double v = z[i * k + j];
        z[i * k + j] = v * v * v - v * column_sq[j] / static_cast<double>(m);
      }
    // The rows have unit length, so the criterion's entries are at most m:
    // a singular value below m * 1e-12 is rounding, and the step it would
    // take is not defined (two variables at right angles give a zero
    // criterion). The rotation so far is kept, as R's step from a zero
    // criterion keeps it; a value that is not a number ends the rotation.
    const double past = d;
    Matrix next;
    if (!polar_factor(cross(x, z, m, k, k), k, 1e-12 * static_cast<double>(m), next, d)) {
      if (std::isnan(d)) {
        out.reason = "a varimax step met a loading that is not a number";
        return out;
      }
      break;
    }
    tt = std::move(next);
    if (d < past * (1 + kVarimaxEps)) break;
  }
  out.loadings = multiply(x, tt, m, k, k);
  for (uint64_t i = 0; i < m; ++i)
    for (uint64_t j = 0; j < k; ++j) out.loadings[i * k + j] *= scale[i];
  out.matrix = std::move(tt);
  return out;
}

// R's promax(x, m = 4) after varimax: U solves least squares x U ~ Q with
// Q = x |x|^3 (R's lm.fit; here by the normal equations), its columns
// scaled by sqrt(diag((U^T U)^-1)); loadings x U, matrix TT U.
Rotation promax(Rotation v, uint64_t m, uint64_t k) {
  const Matrix &x = v.loadings;
  Matrix q(m * k);
  for (uint64_t c = 0; c < m * k; ++c) {
    const double a = std::fabs(x[c]);
    q[c] = x[c] * (a * a * a);
  }
  const std::vector<double> xtx = cholesky(cross(x, x, m, k, k), k, 1e-14);
  if (xtx.empty()) {
    v.reason = "the varimax loadings are singular";
    v.loadings.clear();
    v.matrix.clear();
    return v;
  }
  Matrix u = cholesky_solve(xtx, k, cross(x, q, m, k, k), k);
  const std::vector<double> utu = cholesky(cross(u, u, k, k, k), k, 1e-14);
  if (utu.empty()) {
    v.reason = "the promax target is singular";
    v.loadings.clear();
    v.matrix.clear();
    return v;
  }
  const Matrix inverse = cholesky_solve(utu, k, identity(k), k);
  for (uint64_t i = 0; i < k; ++i)
    for (uint64_t j = 0; j < k; ++j) u[i * k + j] *= std::sqrt(inverse[j * k + j]);
  v.loadings = multiply(x, u, m, k, k);
  v.matrix = multiply(v.matrix, u, k, k, k);
  return v;
}

// Each column's largest absolute loading positive, the matrix's column
// turned with it; then each column's sum of squares and its share of m.
void finish(Rotation &r, uint64_t m, uint64_t k) {
  r.variance.assign(k, 0.0);
  r.proportion.assign(k, 0.0);
  for (uint64_t j = 0; j < k; ++j) {
    uint64_t top = 0;
    for (uint64_t i = 1; i < m; ++i)
      if (std::fabs(r.loadings[i * k + j]) > std::fabs(r.loadings[top * k + j])) top = i;
    if (r.loadings[top * k + j] < 0) {
      for (uint64_t i = 0; i < m; ++i) r.loadings[i * k + j] = -r.loadings[i * k + j];
      for (uint64_t i = 0; i < k; ++i) r.matrix[i * k + j] = -r.matrix[i * k + j];
    }
    for (uint64_t i = 0; i < m; ++i) r.variance[j] += r.loadings[i * k + j] * r.loadings[i * k + j];
    r.proportion[j] = r.variance[j] / static_cast<double>(m);
  }
}

}  // namespace

Rotation rotate_loadings(const std::vector<double> &loadings, uint32_t m, uint32_t k,
                         RotationMethod method) {
  Rotation r;
  if (k < 2) {
    r.loadings = loadings;
    r.matrix = identity(k);
  } else {
    r = varimax(loadings, m, k);
    if (r.reason.empty() && method == RotationMethod::promax) r = promax(std::move(r), m, k);
  }
  r.method = method;
  r.count = k;
  if (r.reason.empty()) finish(r, m, k);
  return r;
}

std::vector<double> leading_loadings(const Analysis &a, uint32_t count) {
  const uint64_t m = a.m;
  std::vector<double> out(m * count);
  for (uint64_t i = 0; i < m; ++i)
    for (uint32_t u = 0; u < count; ++u)
      out[i * count + u] =
          a.components.loadings[i * m + static_cast<uint64_t>(a.components.order[u])];
  return out;
}
