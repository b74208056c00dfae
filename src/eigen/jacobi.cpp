// Eigen-decomposition of the correlation matrix: the cyclic threshold Jacobi
// method on a symmetric copy of it, and the eigenvalues collected from the
// diagonal. Loadings and ordering are in components.cpp; the files written
// from them in output/componentsout.cpp.
#include "eigen/jacobi.h"

#include <algorithm>
#include <functional>
#include <system_error>
#include <thread>
#include <cfloat>
#include <cmath>
#include <utility>
#include <vector>

#include "machine/kernels.h"

namespace {

constexpr double kFinalFactor = 0.000001;  // the thresholds end at 1e-6 of g
constexpr double kFlipLimit = 0.0000000000001;
// Cyclic Jacobi clears a threshold step in a handful of sweeps; the bound is
// only a guard against arithmetic that can never settle.
constexpr uint64_t kMaxSweepsPerStep = 100;

struct Rotation {
  double s;
  double c;
};

// Sine and cosine that annihilate x = a[j][i] given a[j][j] and a[i][i]. The
// sign of w is flipped for every y below 1e-13, not only for negative y.
Rotation rotation_for(double x, double ajj, double aii) {
  const double y = 0.5 * (ajj - aii);
  double w = -x / std::sqrt(x * x + y * y);
  if (y < kFlipLimit) w = -w;
  const double s = w / std::sqrt(2 * (1 + std::sqrt(1 - w * w)));
  const double c = std::sqrt(1 - s * s);
  return {s, c};
}

// Rotates elements lo..hi-1 of the pair of rows (j, i): the new row i is
// s*p + c*q and the new row j is c*p - s*q.
void rotate_span(double *rj, double *ri, uint32_t lo, uint32_t hi, Rotation r) {
  kernels().rotate(rj, ri, lo, hi, r.s, r.c);
}

// A rotation of the eigenvector rows j and i not yet applied.
struct PendingRotation {
  uint32_t j, i;
  Rotation r;
};

// The eigenvectors are kept transposed (vt[i] is eigenvector i), and no
// rotation reads them, so their rotations wait in a list and are applied a
// block of elements at a time: every element still sees the same rotations
// in the same order, while the block of all m rows stays in the core's
// cache instead of each rotation streaming two whole rows through it. The
// list holds at most kPendingMax rotations (24 bytes each).
constexpr size_t kPendingMax = 16384;
constexpr uint64_t kVectorBlockBytes = 512 * 1024;  // m rows of a block

// With the vectors apart, a full list is handed to a thread of its own
// (`in_flight`) while the sweeps fill the other; the next hand-over waits
// for it, so the batches reach the vectors one after another, in order.
struct PendingRotations {
  std::vector<PendingRotation> list;
  uint32_t block = 0;  // elements of a row per block: a multiple of 8, or m
  bool apart = false;
  std::vector<PendingRotation> in_flight;
  std::jthread applier;  // joined when the list goes, whatever ends the sweeps
};

PendingRotations make_pending(uint32_t m, bool apart) {
  PendingRotations p;
  p.apart = apart;
  p.list.reserve(kPendingMax);
  const uint64_t fit = kVectorBlockBytes / sizeof(double) / (m == 0 ? 1 : m) / 8 * 8;
  p.block = static_cast<uint32_t>(std::clamp<uint64_t>(fit, 8, m < 8 ? 8 : m));
  return p;
}

void apply_rotations(double *const *vt, uint32_t m, uint32_t block,
                     const std::vector<PendingRotation> &list) {
  for (uint64_t k0 = 0; k0 < m; k0 += block) {
    const uint32_t lo = static_cast<uint32_t>(k0);
    const uint32_t hi = m - lo < block ? m : lo + block;
    for (const PendingRotation &q : list) rotate_span(vt[q.j], vt[q.i], lo, hi, q.r);
  }
}

// Waits for the batch on its way to the vectors, if any.
void settle_in_flight(PendingRotations &p) {
  if (p.applier.joinable()) p.applier.join();
  p.in_flight.clear();
}

// Applies the list (on the second thread when the vectors are apart; the
// last batch is always applied here, after the one in flight).
void apply_pending(double *const *vt, uint32_t m, PendingRotations &p, bool last = false) {
  settle_in_flight(p);
  if (!p.apart || last) {
    apply_rotations(vt, m, p.block, p.list);
    p.list.clear();
    return;
  }
  p.in_flight.swap(p.list);
  try {
    p.applier = std::jthread(apply_rotations, vt, m, p.block, std::cref(p.in_flight));
  } catch (const std::system_error &) {  // no thread to be had: here, then
    apply_rotations(vt, m, p.block, p.in_flight);
    p.in_flight.clear();
  }
}

void defer_vector_rotation(double *const *vt, uint32_t m, PendingRotations &p, uint32_t j,
                           uint32_t i, Rotation r) {
  p.list.push_back(PendingRotation{j, i, r});
  if (p.list.size() == kPendingMax) apply_pending(vt, m, p);
}

// One rotation of the pair (j, i), j < i, on rows j and i only. The textbook
// form updates columns j and i and then copies them into rows j and i; with
// the matrix symmetric, rows and columns hold the same values, so updating
// the rows forms the same products and sums over contiguous memory. The
// columns are left behind: see pull_row().
void rotate_pair(double *const *a, uint32_t m, uint32_t j, uint32_t i, Rotation r) {
  double *rj = a[j];
  double *ri = a[i];
  rotate_span(rj, ri, 0, j, r);
  rotate_span(rj, ri, j + 1, i, r);
  rotate_span(rj, ri, i + 1, m, r);

  // The 2 x 2 block, from its values before the rotation.
  const double ajj = rj[j];
  const double aii = ri[i];
  const double aji = ri[j];
  const double c2 = r.c * r.c;
  const double s2 = r.s * r.s;
  const double sc = r.s * r.c;
  const double X = 2 * aji * sc;
  const double off = aji * (c2 - s2) + sc * (ajj - aii);
  rj[i] = off;
  ri[j] = off;
  rj[j] = ajj * c2 + aii * s2 - X;
  ri[i] = aii * c2 + ajj * s2 + X;
}

// Where the current value of each element is. Every rotation rewrites its two
// rows whole, so the element shared by rows k and l is current in the one
// of them rotated last: written[r] is the number of the rotation that last
// wrote row r (0 for none). The mirror images go stale and are fetched only
// when their row is next read, by pull_row(): copying each rotated row into
// its column at once would write every row of the matrix for every pass,
// one scattered element per rotation and row, where a row is read again
// only after the rotations of a few passes, a good part of them on the same
// rows.
struct Versions {
  std::vector<uint64_t> written;
  uint64_t clock = 0;
};

// Brings row k up to date before it is read: each element whose other row
// was rotated after row k takes its value from there. The elements to fetch
// come in runs (rows rotated in the same passes), which a plain branch
// follows better than a branch-free list of them.
void pull_row(double *const *a, uint32_t m, uint32_t k, const Versions &ver) {
  double *rk = a[k];
  const uint64_t *written = ver.written.data();
  const uint64_t mine = written[k];
  for (uint32_t l = 0; l < m; ++l)
    if (written[l] > mine) rk[l] = a[l][k];
}

// Makes the matrix symmetric again at the end: every element takes the value
// of its mirror image where the mirror's row was rotated later.
void settle_matrix(double *const *a, uint32_t m, const Versions &ver) {
  for (uint32_t k = 0; k < m; ++k)
    for (uint32_t l = k + 1; l < m; ++l) {
      if (ver.written[k] > ver.written[l])
        a[l][k] = a[k][l];
      else
        a[k][l] = a[l][k];
    }
}

// One sweep over the pairs of the upper triangle, column by column. An
// element whose size equals the threshold is rotated. a[j][i] is read as
// a[i][j], its mirror image, to walk row i, which every rotation of the pass
// rewrites and so stays current once pulled.
uint64_t sweep(double *const *a, double *const *vt, uint32_t m, double t, Versions &ver,
               PendingRotations &pending) {
  uint64_t rotations = 0;
  for (uint32_t i = 1; i < m; ++i) {
    const double *ri = a[i];
    pull_row(a, m, i, ver);
    for (uint32_t j = 0; j < i; ++j) {
      const double x = ri[j];
      if (std::fabs(x) < t) continue;
      pull_row(a, m, j, ver);
      const Rotation r = rotation_for(x, a[j][j], ri[i]);
      defer_vector_rotation(vt, m, pending, j, i, r);
      rotate_pair(a, m, j, i, r);
      ++ver.clock;
      ver.written[j] = ver.clock;
      ver.written[i] = ver.clock;
      ++rotations;
    }
  }
  return rotations;
}

bool all_finite(const double *const *a, uint32_t m) {
  for (uint32_t r = 0; r < m; ++r)
    for (uint32_t c = 0; c < m; ++c)
      if (!std::isfinite(a[r][c])) return false;
  return true;
}

// Square root of the sum of squares of the off-diagonal elements, added row
// by row.
double off_diagonal_norm(const double *const *a, uint32_t m) {
  double sum = 0;
  for (uint32_t r = 0; r < m; ++r)
    for (uint32_t c = 0; c < m; ++c)
      if (r != c) sum += a[r][c] * a[r][c];
  return std::sqrt(sum);
}

void set_identity(double *const *v, uint32_t m) {
  for (uint32_t r = 0; r < m; ++r)
    for (uint32_t c = 0; c < m; ++c) v[r][c] = r == c ? 1.0 : 0.0;
}

void transpose_in_place(double *const *v, uint32_t m) {
  for (uint32_t r = 1; r < m; ++r)
    for (uint32_t c = 0; c < r; ++c) {
      const double t = v[r][c];
      v[r][c] = v[c][r];
      v[c][r] = t;
    }
}

}  // namespace

JacobiCounts jacobi_decompose(double *const *a, double *const *v, uint32_t m, bool vectors_apart) {
  JacobiCounts counts;
  set_identity(v, m);
  if (!all_finite(a, m)) return counts;  // rotations would never settle
  const double g = off_diagonal_norm(a, m);
  const double f = g * kFinalFactor;
  // Nothing to rotate: the matrix is diagonal already (g = 0 would divide 0
  // by 0), or so nearly that the thresholds would underflow to 0 and every
  // zero element be rotated without end. An overflowing norm is not finite.
  if (!std::isfinite(f) || f < DBL_MIN) return counts;

  counts.rotated = true;
  Versions ver;
  ver.written.assign(m, 0);
  PendingRotations pending = make_pending(m, vectors_apart);
  double t = g;
  do {
    t = t / m;
    uint64_t step_sweeps = 0;
    uint64_t made = 0;
    do {
      made = sweep(a, v, m, t, ver, pending);
      counts.rotations += made;
      ++counts.sweeps;
      ++step_sweeps;
    } while (made != 0 && step_sweeps < kMaxSweepsPerStep);
    if (made != 0) break;
  } while (t > f);

  settle_matrix(a, m, ver);
  apply_pending(v, m, pending, true);
  transpose_in_place(v, m);
  return counts;
}

EigenPairs eigen_decompose(const Table<double> &correlation, uint32_t m, double *scratch,
                           EigenPairs storage) {
  return eigen_decompose(correlation, m, scratch, std::move(storage), false);
}

EigenPairs eigen_decompose(const Table<double> &correlation, uint32_t m, double *scratch,
                           EigenPairs storage, bool vectors_apart) {
  const uint64_t stride = m;
  std::vector<double *> work(m);
  for (uint32_t r = 0; r < m; ++r) work[r] = scratch + r * stride;
  for (uint32_t r = 0; r < m; ++r)
    for (uint32_t c = 0; c < m; ++c) work[r][c] = c < r ? correlation[c][r] : correlation[r][c];
  EigenPairs pairs = std::move(storage);
  pairs.counts = jacobi_decompose(work.data(), pairs.vectors.rows.get(), m, vectors_apart);
  pairs.total = 0;
  for (uint32_t i = 0; i < m; ++i) {
    pairs.values[i] = work[i][i];
    pairs.total += pairs.values[i];
  }
  return pairs;
}
