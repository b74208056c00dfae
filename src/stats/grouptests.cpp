// The group tests, each following R's code step by step (long double sums
// where R's sum and mean use them) so that the figures agree to the last
// digits. Distributions come from Boost.Math.
#include "stats/grouptests.h"

#include "stats/distributions.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "record/rowspill.h"
#include "stats/robust.h"

namespace {

constexpr double kNone = NAN;

GroupTest untested(const char *reason) { return GroupTest{kNone, kNone, kNone, kNone, reason}; }

// One group's count, mean (R's mean) and variance (R's var, n - 1).
struct GroupMoments {
  double n, mean, var;
};

GroupMoments moments_of(const std::vector<double> &x) {
  const double mean = r_mean(x.data(), x.size());
  long double ss = 0;
  for (double v : x) ss += (v - mean) * (v - mean);
  const double n = static_cast<double>(x.size());
  return GroupMoments{n, mean, x.size() < 2 ? kNone : static_cast<double>(ss / (n - 1))};
}

// Whether a distribution's degrees of freedom are usable: values near the
// double range leave them infinite or not a number, which has no p-value.
bool usable_df(double df) { return std::isfinite(df) && df > 0; }

double upper_f(double f, double df1, double df2) {
  if (std::isnan(f) || !usable_df(df1) || !usable_df(df2)) return kNone;
  if (std::isinf(f)) return 0;
  return boost::math::cdf(boost::math::complement(boost::math::fisher_f(df1, df2), f));
}

double mean_of_all(const std::vector<std::vector<double>> &groups) {
  std::vector<double> all;
  for (const std::vector<double> &g : groups) all.insert(all.end(), g.begin(), g.end());
  return r_mean(all.data(), all.size());
}

// oneway.test(var.equal = TRUE): between over within mean squares; a group
// of one value adds nothing within.
GroupTest classical_f(const std::vector<std::vector<double>> &groups,
                      const std::vector<GroupMoments> &g) {
  const double k = static_cast<double>(g.size());
  double n = 0;
  for (const GroupMoments &x : g) n += x.n;
  if (g.size() < 2) return untested("fewer than 2 groups");
  if (n - k < 1) return untested("no group with 2 values");
  const double grand = mean_of_all(groups);
  long double between = 0, within = 0;
  for (const GroupMoments &x : g) {
    between += x.n * ((x.mean - grand) * (x.mean - grand));
    if (x.n > 1) within += (x.n - 1) * x.var;
  }
  if (within == 0) return untested("no variance within the groups");
  const double f = (static_cast<double>(between) / (k - 1)) / (static_cast<double>(within) / (n - k));
  return GroupTest{f, k - 1, n - k, upper_f(f, k - 1, n - k), nullptr};
}

// t.test(x, y, var.equal = FALSE): t = (mean x - mean y) / se with
// Welch-Satterthwaite degrees of freedom.
GroupTest welch_t(const GroupMoments &x, const GroupMoments &y) {
  const double sx = std::sqrt(x.var / x.n), sy = std::sqrt(y.var / y.n);
  const double se = std::sqrt(sx * sx + sy * sy);
  if (!(se >= 10 * DBL_EPSILON * std::max(std::fabs(x.mean), std::fabs(y.mean))))
    return untested("the values are essentially constant");
  const double df = std::pow(se, 4) / (std::pow(sx, 4) / (x.n - 1) + std::pow(sy, 4) / (y.n - 1));
  const double t = (x.mean - y.mean) / se;
  const double p = std::isnan(t) || !usable_df(df)
                       ? kNone
                       : 2 * boost::math::cdf(boost::math::students_t(df), -std::fabs(t));
  return GroupTest{t, df, kNone, p, nullptr};
}

// oneway.test(var.equal = FALSE): weights n_i / var_i.
GroupTest welch_f(const std::vector<GroupMoments> &g) {
  const double k = static_cast<double>(g.size());
  long double sum_w = 0;
  for (const GroupMoments &x : g) sum_w += x.n / x.var;
  const double total_w = static_cast<double>(sum_w);
  long double tmp_sum = 0, weighted = 0;
  for (const GroupMoments &x : g) {
    const double w = x.n / x.var, share = 1 - w / total_w;
    tmp_sum += share * share / (x.n - 1);
    weighted += w * x.mean;
  }
  const double tmp = static_cast<double>(tmp_sum) / (k * k - 1);
  const double centre = static_cast<double>(weighted) / total_w;
  long double spread = 0;
  for (const GroupMoments &x : g) spread += x.n / x.var * ((x.mean - centre) * (x.mean - centre));
  const double f = static_cast<double>(spread) / ((k - 1) * (1 + 2 * (k - 2) * tmp));
  const double df2 = 1 / (3 * tmp);
  return GroupTest{f, k - 1, df2, upper_f(f, k - 1, df2), nullptr};
}

GroupTest welch_test(const std::vector<GroupMoments> &g) {
  if (g.size() < 2) return untested("fewer than 2 groups");
  for (const GroupMoments &x : g)
    if (x.n < 2) return untested("a group with fewer than 2 values");
  if (g.size() == 2) return welch_t(g[0], g[1]);
  for (const GroupMoments &x : g)
    if (!(x.var > 0)) return untested("a group without variance");
  return welch_f(g);
}

// kruskal.test: mid-ranks of the pooled values, H divided by the tie
// correction 1 - sum(t^3 - t) / (n^3 - n), chi-squared with k - 1 df.
GroupTest kruskal_wallis(const std::vector<std::vector<double>> &groups) {
  std::vector<std::pair<double, uint32_t>> all;
  for (uint32_t k = 0; k < groups.size(); ++k)
    for (double v : groups[k]) all.emplace_back(v, k);
  const double n = static_cast<double>(all.size());
  if (groups.size() < 2) return untested("fewer than 2 groups");
  std::sort(all.begin(), all.end());
  std::vector<long double> rank_sum(groups.size(), 0);
  long double ties = 0;
  for (size_t lo = 0; lo < all.size();) {
    size_t hi = lo;
    while (hi < all.size() && all[hi].first == all[lo].first) ++hi;
    const double rank = (static_cast<double>(lo + 1) + static_cast<double>(hi)) / 2;
    for (size_t k = lo; k < hi; ++k) rank_sum[all[k].second] += rank;
    const double t = static_cast<double>(hi - lo);
    ties += t * t * t - t;
    lo = hi;
  }
  long double sum = 0;
  for (size_t k = 0; k < groups.size(); ++k) {
    const double r = static_cast<double>(rank_sum[k]);
    sum += r * r / static_cast<double>(groups[k].size());
  }
  const double correction = 1 - static_cast<double>(ties) / (n * n * n - n);
  if (!(correction > 0)) return untested("all values tied");
  const double h =
      (12 * static_cast<double>(sum) / (n * (n + 1)) - 3 * (n + 1)) / correction;
  const double df = static_cast<double>(groups.size() - 1);
  const double p =
      std::isnan(h) || !usable_df(df)
          ? kNone
          : boost::math::cdf(boost::math::complement(boost::math::chi_squared(df), std::max(h, 0.0)));
  return GroupTest{h, df, kNone, p, nullptr};
}

// R's median: the middle value, or the mean of the two middle ones.
double median_of(std::vector<double> x) {
  std::sort(x.begin(), x.end());
  const size_t half = (x.size() + 1) / 2;
  if (x.size() % 2 == 1) return x[half - 1];
  return r_mean(x.data() + half - 1, 2);
}

GroupTest brown_forsythe(const std::vector<std::vector<double>> &groups) {
  std::vector<std::vector<double>> spread(groups.size());
  std::vector<GroupMoments> g;
  for (size_t k = 0; k < groups.size(); ++k) {
    const double centre = median_of(groups[k]);
    for (double v : groups[k]) spread[k].push_back(std::fabs(v - centre));
    g.push_back(moments_of(spread[k]));
  }
  return classical_f(spread, g);
}

// Between-group over total sum of squares.
double eta_squared(const std::vector<std::vector<double>> &groups,
                   const std::vector<GroupMoments> &g) {
  if (g.size() < 2) return kNone;
  const double grand = mean_of_all(groups);
  long double between = 0, total = 0;
  for (const GroupMoments &x : g) between += x.n * ((x.mean - grand) * (x.mean - grand));
  for (const std::vector<double> &x : groups)
    for (double v : x) total += (v - grand) * (v - grand);
  if (total == 0) return kNone;
  return static_cast<double>(between) / static_cast<double>(total);
}

// (mean 1 - mean 2) / sqrt(((n1 - 1) var1 + (n2 - 1) var2) / (n1 + n2 - 2)).
double cohen_d(const std::vector<GroupMoments> &g) {
  if (g.size() != 2 || g[0].n + g[1].n < 3) return kNone;
  const double within = (g[0].n > 1 ? (g[0].n - 1) * g[0].var : 0) +
                        (g[1].n > 1 ? (g[1].n - 1) * g[1].var : 0);
  const double sd = std::sqrt(within / (g[0].n + g[1].n - 2));
  if (!(sd > 0)) return kNone;
  return (g[0].mean - g[1].mean) / sd;
}

}  // namespace

GroupTests group_tests(const std::vector<std::vector<double>> &all_groups) {
  std::vector<std::vector<double>> groups;
  for (const std::vector<double> &x : all_groups)
    if (!x.empty()) groups.push_back(x);
  std::vector<GroupMoments> g;
  GroupTests t;
  for (const std::vector<double> &x : groups) {
    g.push_back(moments_of(x));
    t.count += x.size();
  }
  t.groups = static_cast<uint32_t>(groups.size());
  t.welch = welch_test(g);
  t.anova = classical_f(groups, g);
  t.kruskal = kruskal_wallis(groups);
  t.brown_forsythe = brown_forsythe(groups);
  t.eta_squared = eta_squared(groups, g);
  t.cohen_d = cohen_d(g);
  return t;
}

void compute_group_tests(Analysis &a, uint32_t group_count, Workers &w) {
  a.group_tests.assign(a.m, GroupTests{});
  // A spilled file is read one column at a time, as for the robust
  // measures: one copy of a column is the most this adds to the passes'.
  w.run(
      a.m,
      [&](uint32_t i, uint32_t) {
        std::vector<std::vector<double>> groups(group_count);
        RowCursor rows = row_cursor(a);
        for (RowRange r; next_rows(rows, r);)
          for (uint64_t k = 0; k < r.count; ++k) {
            const int32_t g = a.group_of_row[r.first + k];
            const double v = r[k][i];
            if (g >= 0 && !std::isnan(v)) groups[static_cast<size_t>(g)].push_back(v);
          }
        a.group_tests[i] = group_tests(groups);
      },
      column_workers(a, w));
}
