// Shapiro-Wilk as R's swilk.c computes it (Royston 1995, AS R94: the
// coefficients from normal scores corrected by polynomials in 1/sqrt(n),
// the p-value from a normal fit to log(1 - W)), and D'Agostino's K^2.
#include "stats/normality.h"

#include "stats/distributions.h"

#include <algorithm>
#include <cmath>

namespace {

// c[0] + c[1] x + ... + c[order - 1] x^(order - 1), in swilk.c's order of
// operations.
double poly(const double *c, int order, double x) {
  double value = c[0];
  if (order > 1) {
    double p = x * c[order - 1];
    for (int j = order - 2; j > 0; --j) p = (p + c[j]) * x;
    value += p;
  }
  return value;
}

double sign(double x) { return x > 0 ? 1 : x < 0 ? -1 : 0; }

// Royston's coefficients a[1..n/2] (a[0] unused) for n >= 3.
std::vector<double> swilk_coefficients(size_t n) {
  static const double c1[6] = {0, .221157, -.147981, -2.07119, 4.434685, -2.706056};
  static const double c2[6] = {0, .042981, -.293762, -1.752461, 5.682633, -3.582633};
  const size_t half = n / 2;
  std::vector<double> a(half + 1, 0);
  if (n == 3) {
    a[1] = std::sqrt(0.5);
    return a;
  }
  const double an = static_cast<double>(n), an25 = an + .25;
  double summ2 = 0;
  for (size_t i = 1; i <= half; ++i) {
    a[i] = boost::math::quantile(boost::math::normal(),
                                 (static_cast<double>(i) - .375) / an25);
    summ2 += a[i] * a[i];
  }
  summ2 *= 2;
  const double ssumm2 = std::sqrt(summ2), rsn = 1 / std::sqrt(an);
  const double a1 = poly(c1, 6, rsn) - a[1] / ssumm2;
  size_t first = 2;
  double fac = 0;
  if (n > 5) {
    first = 3;
    const double a2 = -a[2] / ssumm2 + poly(c2, 6, rsn);
    fac = std::sqrt((summ2 - 2. * (a[1] * a[1]) - 2. * (a[2] * a[2])) /
                    (1. - 2. * (a1 * a1) - 2. * (a2 * a2)));
    a[2] = a2;
  } else {
    fac = std::sqrt((summ2 - 2. * (a[1] * a[1])) / (1. - 2. * (a1 * a1)));
  }
  a[1] = a1;
  for (size_t i = first; i <= half; ++i) a[i] /= -fac;
  return a;
}

// 1 - W as the squared correlation of the values with the coefficients,
// computed as swilk.c does to keep its digits when W is near 1.
double one_less_w(const std::vector<double> &x, const std::vector<double> &a, double range) {
  const size_t n = x.size();
  double sa = -a[1], sx = x[0] / range;
  for (size_t i = 1, j = n - 1; i < n; --j) {
    sx += x[i] / range;
    ++i;
    if (i != j) sa += sign(static_cast<double>(i) - static_cast<double>(j)) * a[std::min(i, j)];
  }
  sa /= static_cast<double>(n);
  sx /= static_cast<double>(n);
  double ssa = 0, ssx = 0, sax = 0;
  for (size_t i = 0, j = n - 1; i < n; ++i, --j) {
    const double asa =
        i != j ? sign(static_cast<double>(i) - static_cast<double>(j)) * a[1 + std::min(i, j)] - sa
               : -sa;
    const double xsx = x[i] / range - sx;
    ssa += asa * asa;
    ssx += xsx * xsx;
    sax += asa * xsx;
  }
  const double ssassx = std::sqrt(ssa * ssx);
  return (ssassx - sax) * (ssassx + sax) / (ssa * ssx);
}

// Royston's p-value of W from w1 = 1 - W.
double swilk_p(double w, double w1, size_t n) {
  if (n == 3) {
    const double pi6 = 1.90985931710274, stqr = 1.04719755119660;
    return std::max(0.0, pi6 * (std::asin(std::sqrt(w)) - stqr));
  }
  static const double g[2] = {-2.273, .459};
  static const double c3[4] = {.544, -.39978, .025054, -6.714e-4};
  static const double c4[4] = {1.3822, -.77857, .062767, -.0020322};
  static const double c5[4] = {-1.5861, -.31082, -.083751, .0038915};
  static const double c6[3] = {-.4803, -.082676, .0030302};
  const double an = static_cast<double>(n);
  double y = std::log(w1), m = 0, s = 0;
  if (n <= 11) {
    const double gamma = poly(g, 2, an);
    if (y >= gamma) return 1e-99;  // swilk.c's value for W this far from 1
    y = -std::log(gamma - y);
    m = poly(c3, 4, an);
    s = std::exp(poly(c4, 4, an));
  } else {
    const double xx = std::log(an);
    m = poly(c5, 4, xx);
    s = std::exp(poly(c6, 3, xx));
  }
  return boost::math::cdf(boost::math::complement(boost::math::normal(m, s), y));
}

NormalityTest untested(NormalityMethod method, const char *reason) {
  return NormalityTest{method, std::nan(""), std::nan(""), reason};
}

}  // namespace

NormalityTest shapiro_wilk(const std::vector<double> &x) {
  const size_t n = x.size();
  if (n < 3) return untested(NormalityMethod::shapiro_wilk, "fewer than 3 values");
  if (n > kShapiroWilkMost) return untested(NormalityMethod::shapiro_wilk, "more than 5000 values");
  const double range = x[n - 1] - x[0];
  if (!(range >= 1e-10)) return untested(NormalityMethod::shapiro_wilk, "all values (nearly) equal");
  const double w1 = one_less_w(x, swilk_coefficients(n), range);
  const double w = 1 - w1;
  return NormalityTest{NormalityMethod::shapiro_wilk, w, swilk_p(w, w1, n), nullptr};
}

NormalityTest dagostino_k2(const std::vector<double> &x) {
  const size_t count = x.size();
  if (count < 8) return untested(NormalityMethod::dagostino, "fewer than 8 values");
  // Rounding the mean of equal values can leave their m2 just above 0.
  const auto [low, high] = std::minmax_element(x.begin(), x.end());
  if (*low == *high) return untested(NormalityMethod::dagostino, "all values equal");
  const double n = static_cast<double>(count);
  long double sum = 0;
  for (double v : x) sum += v;
  const double mean = static_cast<double>(sum / n);
  long double s2 = 0, s3 = 0, s4 = 0;
  for (double v : x) {
    const double d = v - mean, d2 = d * d;
    s2 += d2;
    s3 += d2 * d;
    s4 += d2 * d2;
  }
  return dagostino_k2_of_sums(count, s2, s3, s4);
}

NormalityTest dagostino_k2_of_sums(size_t count, long double s2, long double s3, long double s4) {
  const long double n = static_cast<long double>(count);
  return dagostino_k2_of_moments(count, static_cast<double>(s2 / n), static_cast<double>(s3 / n),
                                 static_cast<double>(s4 / n));
}

NormalityTest dagostino_k2_of_moments(uint64_t count, double m2, double m3, double m4) {
  if (count < 8) return untested(NormalityMethod::dagostino, "fewer than 8 values");
  const double n = static_cast<double>(count);
  if (!(m2 > 0)) return untested(NormalityMethod::dagostino, "all values equal");
  // Skewness: sqrt(b1) to a normal deviate by Johnson's S_U (D'Agostino 1970).
  const double b1 = m3 / std::pow(m2, 1.5);
  const double y = b1 * std::sqrt((n + 1) * (n + 3) / (6 * (n - 2)));
  const double beta2 = 3 * (n * n + 27 * n - 70) * (n + 1) * (n + 3) /
                       ((n - 2) * (n + 5) * (n + 7) * (n + 9));
  const double w2 = -1 + std::sqrt(2 * (beta2 - 1));
  const double delta = 1 / std::sqrt(0.5 * std::log(w2));
  const double alpha = std::sqrt(2 / (w2 - 1));
  const double ya = y / alpha;
  const double z1 = delta * std::log(ya + std::sqrt(ya * ya + 1));
  // Kurtosis: b2 to a normal deviate by Anscombe and Glynn (1983).
  const double b2 = m4 / (m2 * m2);
  const double e = 3 * (n - 1) / (n + 1);
  const double var = 24 * n * (n - 2) * (n - 3) / ((n + 1) * (n + 1) * (n + 3) * (n + 5));
  const double xk = (b2 - e) / std::sqrt(var);
  const double root_beta1 = 6 * (n * n - 5 * n + 2) / ((n + 7) * (n + 9)) *
                            std::sqrt(6 * (n + 3) * (n + 5) / (n * (n - 2) * (n - 3)));
  const double A =
      6 + 8 / root_beta1 * (2 / root_beta1 + std::sqrt(1 + 4 / (root_beta1 * root_beta1)));
  const double denom = 1 + xk * std::sqrt(2 / (A - 4));
  const double cube = std::cbrt((1 - 2 / A) / denom);
  const double z2 = (1 - 2 / (9 * A) - cube) / std::sqrt(2 / (9 * A));
  const double k2 = z1 * z1 + z2 * z2;
  const double p = boost::math::cdf(boost::math::complement(boost::math::chi_squared(2), k2));
  return NormalityTest{NormalityMethod::dagostino, k2, p, nullptr};
}

NormalityTest normality_test(const std::vector<double> &values) {
  return values.size() <= kShapiroWilkMost ? shapiro_wilk(values) : dagostino_k2(values);
}
