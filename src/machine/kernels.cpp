// The kernel bodies and their per-path variants. Each body is plain C++ that
// the vectoriser widens to whatever registers the variant's target allows;
// -ffp-contract=off keeps multiplications and additions apart on every path.
#include "machine/kernels.h"

namespace {

#define KERNEL_BODY [[gnu::always_inline]] inline

KERNEL_BODY void extremes_body(const double *block, uint64_t stride, uint32_t n, uint32_t first,
                               uint32_t last, double *__restrict lo, double *__restrict hi) {
  for (uint32_t k = 0; k < n; ++k) {
    const double *__restrict x = block + k * stride;
    for (uint32_t i = first; i < last; ++i) {
      lo[i] = x[i] < lo[i] ? x[i] : lo[i];
      hi[i] = x[i] > hi[i] ? x[i] : hi[i];
    }
  }
}

KERNEL_BODY void column_sums_body(const double *block, uint64_t stride, uint32_t n, uint32_t first,
                                  uint32_t last, double *__restrict s, double *__restrict s2) {
  for (uint32_t k = 0; k < n; ++k) {
    const double *__restrict x = block + k * stride;
    for (uint32_t i = first; i < last; ++i) {
      s[i] = s[i] + x[i];
      s2[i] = s2[i] + x[i] * x[i];
    }
  }
}

KERNEL_BODY void deviation_powers_body(const double *__restrict x, const double *__restrict centre,
                                       uint32_t m, double *__restrict d, double *__restrict p1,
                                       double *__restrict p2, double *__restrict p3,
                                       double *__restrict p4) {
  for (uint32_t i = 0; i < m; ++i) d[i] = x[i] - centre[i];
  for (uint32_t i = 0; i < m; ++i) {
    const double d2 = d[i] * d[i];
    const double d3 = d2 * d[i];
    const double d4 = d3 * d[i];
    p1[i] = p1[i] + d[i];
    p2[i] = p2[i] + d2;
    p3[i] = p3[i] + d3;
    p4[i] = p4[i] + d4;
  }
}

// A row of the triangle on its own, with its pointers declared apart, is
// what lets the vectoriser take the loop: written inline in the loop over
// rows it stayed scalar.
KERNEL_BODY void product_row(double *__restrict acc, const double *__restrict d, uint32_t len,
                             double di, double count) {
  for (uint32_t j = 0; j < len; ++j) acc[j] = acc[j] + (di * d[j] - acc[j]) / count;
}

KERNEL_BODY void product_means_body(double *const *cov, const double *d, uint32_t first,
                                    uint32_t last, uint32_t m, double count) {
  for (uint32_t i = first; i < last; ++i) product_row(cov[i] + i, d + i, m - i, d[i], count);
}

// Clamping q before the conversion keeps every lane's conversion in range,
// so the loop needs no branch; a q in [B-1, B) truncates to B-1 either way.
KERNEL_BODY void bins_body(const double *__restrict x, const double *__restrict lo,
                           const double *__restrict width, uint32_t m, uint32_t B,
                           int32_t *__restrict bin) {
  const int32_t middle = static_cast<int32_t>(B / 2);
  const double last = static_cast<double>(B - 1);
  for (uint32_t k = 0; k < m; ++k) {
    const double w = width[k];
    const double q = (x[k] - lo[k]) / w;
    double c = q < 0 ? 0.0 : q;
    c = c < last ? c : last;
    const int32_t b = static_cast<int32_t>(c);
    bin[k] = (q != q || w == 0) ? middle : b;
  }
}

KERNEL_BODY void rotate_body(double *__restrict rj, double *__restrict ri, uint32_t lo, uint32_t hi,
                             double s, double c) {
  for (uint32_t k = lo; k < hi; ++k) {
    const double p = rj[k];
    const double q = ri[k];
    ri[k] = s * p + c * q;
    rj[k] = c * p - s * q;
  }
}

// One variant of every kernel under the given target attribute, and the
// table of them.
#define DEFINE_KERNELS(table, ...)                                                              \
  __VA_ARGS__ void table##_extremes(const double *block, uint64_t stride, uint32_t n,           \
                                    uint32_t first, uint32_t last, double *lo, double *hi) {    \
    extremes_body(block, stride, n, first, last, lo, hi);                                       \
  }                                                                                             \
  __VA_ARGS__ void table##_column_sums(const double *block, uint64_t stride, uint32_t n,        \
                                       uint32_t first, uint32_t last, double *s, double *s2) {  \
    column_sums_body(block, stride, n, first, last, s, s2);                                     \
  }                                                                                             \
  __VA_ARGS__ void table##_deviation_powers(const double *x, const double *centre, uint32_t m,  \
                                            double *d, double *p1, double *p2, double *p3,      \
                                            double *p4) {                                       \
    deviation_powers_body(x, centre, m, d, p1, p2, p3, p4);                                     \
  }                                                                                             \
  __VA_ARGS__ void table##_product_means(double *const *cov, const double *d, uint32_t first,   \
                                         uint32_t last, uint32_t m, double count) {             \
    product_means_body(cov, d, first, last, m, count);                                          \
  }                                                                                             \
  __VA_ARGS__ void table##_bins(const double *x, const double *lo, const double *width,         \
                                uint32_t m, uint32_t B, int32_t *bin) {                         \
    bins_body(x, lo, width, m, B, bin);                                                         \
  }                                                                                             \
  __VA_ARGS__ void table##_rotate(double *rj, double *ri, uint32_t lo, uint32_t hi, double s,   \
                                  double c) {                                                   \
    rotate_body(rj, ri, lo, hi, s, c);                                                          \
  }                                                                                             \
  constexpr Kernels table{table##_extremes,      table##_column_sums, table##_deviation_powers, \
                          table##_product_means, table##_bins,        table##_rotate};

DEFINE_KERNELS(baseline)
#if defined(__x86_64__)
DEFINE_KERNELS(avx2, __attribute__((target("avx2"))))
// 512-bit registers throughout: generic tuning would otherwise stop at 256.
DEFINE_KERNELS(avx512, __attribute__((target("avx512f,prefer-vector-width=512"))))
#endif

}  // namespace

const Kernels &kernels_for(Isa isa) {
#if defined(__x86_64__)
  if (isa == Isa::avx512) return avx512;
  if (isa == Isa::avx2) return avx2;
#endif
  (void)isa;
  return baseline;
}

const Kernels &kernels() { return kernels_for(chosen_isa()); }
