// Rank correlations, correlation tests, adjusted p-values and the robust
// measures against R's figures on R's data sets (reference/make_reference.R
// names R's commands and writes the figures; R is not needed here).
#include "stats/inference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "eigen/rotation.h"
#include "stats/adequacy.h"
#include "stats/grouptests.h"
#include "stats/normality.h"
#include "stats/rankcorr.h"
#include "stats/robust.h"
#include "support/stats_fixture.h"

namespace {

const std::string kReference = std::string(VANTOR_SOURCE_DIR) + "/tests/stats/reference/";

// A data set's columns as R wrote them, NA as NaN.
Columns read_set(const std::string &name) {
  std::ifstream in(kReference + name + ".csv");
  Columns cols;
  for (std::string line; std::getline(in, line);) {
    std::stringstream fields(line);
    size_t j = 0;
    for (std::string f; std::getline(fields, f, ','); ++j) {
      if (cols.size() <= j) cols.emplace_back();
      cols[j].push_back(f == "NA" ? std::nan("") : std::stod(f));
    }
  }
  return cols;
}

Columns complete_rows(const Columns &cols) {
  Columns out(cols.size());
  for (size_t k = 0; k < cols[0].size(); ++k) {
    bool whole = true;
    for (const auto &c : cols) whole = whole && !std::isnan(c[k]);
    if (whole)
      for (size_t j = 0; j < cols.size(); ++j) out[j].push_back(cols[j][k]);
  }
  return out;
}

Analysis analysed(const Columns &cols, Switches sw) {
  Analysis a;
  load_columns(a, cols);
  const Console con{stdout, stderr, true};
  testing::internal::CaptureStdout();
  compute_statistics(a, sw.analysis, con);
  testing::internal::GetCapturedStdout();
  return a;
}

Switches conventional(RankChoice rank = RankChoice::none, double ci = 0) {
  Switches sw;
  sw.analysis.conventional = sw.analysis.pearson = true;
  sw.analysis.rank = rank;
  sw.analysis.ci = ci;
  return sw;
}

// The five analyses a set's figures come from.
struct SetRuns {
  Analysis pearson, pearson90, spearman, kendall, own_values;
};

double pair_value(const SetRuns &r, const std::string &kind, uint32_t i, uint32_t j) {
  const uint64_t m = r.pearson.m, at = i * m + j;
  if (kind == "pearson") return r.pearson.correlation[i][j];
  if (kind == "pearson_p") return r.pearson.tests.p[at];
  if (kind == "ci_low") return r.pearson.tests.low[at];
  if (kind == "ci_high") return r.pearson.tests.high[at];
  if (kind == "ci90_low") return r.pearson90.tests.low[at];
  if (kind == "ci90_high") return r.pearson90.tests.high[at];
  if (kind == "spearman") return r.spearman.correlation[i][j];
  if (kind == "spearman_p") return r.spearman.tests.p[at];
  if (kind == "kendall") return r.kendall.correlation[i][j];
  if (kind == "kendall_p") return r.kendall.tests.p[at];
  ADD_FAILURE() << "unknown figure " << kind;
  return 0;
}

// The k-th pair above the diagonal, row by row (0-based).
std::pair<uint32_t, uint32_t> pair_at(uint32_t m, uint32_t k) {
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = i + 1; j < m; ++j)
      if (k-- == 0) return {i, j};
  return {0, 0};
}

double variable_value(const RobustStats &s, const std::string &kind) {
  const std::map<std::string, double> v{{"standard_error", s.standard_error},
                                        {"mean_low", s.mean_low},
                                        {"mean_high", s.mean_high},
                                        {"trimmed_10", s.trimmed_10},
                                        {"trimmed_20", s.trimmed_20},
                                        {"mad", s.mad},
                                        {"iqr", s.iqr},
                                        {"p1", s.p1},
                                        {"p5", s.p5},
                                        {"p95", s.p95},
                                        {"p99", s.p99}};
  return v.at(kind);
}

// KMO, MSA and Bartlett's test of the Pearson or ("spearman_...") the
// Spearman matrix.
double adequacy_value(const SetRuns &r, const std::string &kind, uint32_t i) {
  const bool rank = kind.rfind("spearman_", 0) == 0;
  const SamplingAdequacy s = sampling_adequacy(rank ? r.spearman : r.pearson);
  const std::string what = rank ? kind.substr(9) : kind;
  if (what == "kmo") return s.kmo;
  if (what == "msa") return s.msa[i - 1];
  return what == "bartlett_p" ? s.p_value : s.chi_square;
}

// "varimax3_loading" and the like: the rotation of the first k columns of
// R's own unrotated loadings (`l`, m x 3 or fewer), which R's figures
// sign as the rotated ones are (each column's largest absolute value positive).
double rotation_value(const std::vector<double> &l, uint32_t m, const std::string &kind,
                      uint32_t i, uint32_t j) {
  const uint32_t k = kind.find("2_") != std::string::npos ? 2 : 3, top = l.size() / m;
  std::vector<double> first(uint64_t{m} * k);
  for (uint32_t v = 0; v < m; ++v)
    for (uint32_t c = 0; c < k; ++c) first[v * k + c] = l[v * top + c];
  const Rotation rot = rotate_loadings(
      first, m, k, kind.rfind("promax", 0) == 0 ? RotationMethod::promax : RotationMethod::varimax);
  if (!rot.reason.empty()) {
    ADD_FAILURE() << kind << " not rotated: " << rot.reason;
    return std::nan("");
  }
  if (kind.find("_loading") != std::string::npos) return rot.loadings[(i - 1) * k + j - 1];
  if (kind.find("_matrix") != std::string::npos) return rot.matrix[(i - 1) * k + j - 1];
  return rot.variance[i - 1];
}

double normality_value(const NormalityTest &t, const std::string &kind) {
  const bool sw = t.method == NormalityMethod::shapiro_wilk;
  EXPECT_EQ(sw, kind.rfind("shapiro", 0) == 0) << kind;
  return kind.back() == 'p' ? t.p : t.statistic;
}

// The 6000 values R's D'Agostino figures are of: k^2 % 1009 + k^3 % 1013
// + k % 1019, ascending.
std::vector<double> residues() {
  std::vector<double> v;
  for (uint64_t k = 1; k <= 6000; ++k)
    v.push_back(static_cast<double>(k * k % 1009 + k * k * k % 1013 + k % 1019));
  std::sort(v.begin(), v.end());
  return v;
}

// The tests of a grouped set's column i over the groups coded in column j
// (both 1-based), NA values left out.
GroupTests tests_of(const Columns &cols, uint32_t i, uint32_t j) {
  std::vector<std::vector<double>> groups;
  for (size_t k = 0; k < cols[i - 1].size(); ++k) {
    const double y = cols[i - 1][k];
    const size_t g = static_cast<size_t>(cols[j - 1][k]) - 1;
    if (groups.size() <= g) groups.resize(g + 1);
    if (!std::isnan(y)) groups[g].push_back(y);
  }
  return group_tests(groups);
}

double group_value(const GroupTests &t, const std::string &kind) {
  const std::map<std::string, double> v{{"welch", t.welch.statistic},
                                        {"welch_df", t.groups == 2 ? t.welch.df1 : t.welch.df2},
                                        {"welch_p", t.welch.p},
                                        {"anova", t.anova.statistic},
                                        {"anova_p", t.anova.p},
                                        {"kruskal", t.kruskal.statistic},
                                        {"kruskal_p", t.kruskal.p},
                                        {"brown_forsythe", t.brown_forsythe.statistic},
                                        {"brown_forsythe_p", t.brown_forsythe.p},
                                        {"eta_squared", t.eta_squared},
                                        {"cohen_d", t.cohen_d}};
  return v.at(kind);
}

double figure(const SetRuns &r, const std::string &kind, uint32_t i, uint32_t j) {
  if (kind.find("kmo") != std::string::npos || kind.find("msa") != std::string::npos ||
      kind.find("bartlett") != std::string::npos)
    return adequacy_value(r, kind, i);
  if (kind.rfind("shapiro", 0) == 0) return normality_value(r.own_values.normality[i - 1], kind);
  if (kind == "holm" || kind == "bh") {
    const auto [a, b] = pair_at(r.pearson.m, i - 1);
    const std::vector<double> &p = kind == "holm" ? r.pearson.tests.p_holm : r.pearson.tests.p_bh;
    return p[a * uint64_t{r.pearson.m} + b];
  }
  if (j == 0) return variable_value(r.own_values.robust[i - 1], kind);
  return pair_value(r, kind, i - 1, j - 1);
}

bool is_p_value(const std::string &kind) {
  return kind == "holm" || kind == "bh" || kind.find("bartlett_p") != std::string::npos ||
         kind == "shapiro_p" || kind == "dagostino_p" ||
         (kind.size() > 2 && kind.substr(kind.size() - 2) == "_p");
}

}  // namespace

// Every figure of figures.txt (correlations and their tests, the robust
// measures, normality tests and group tests) within 1e-12 relative (statistics) or 1e-10
// (p-values above 1e-300); the largest difference of each kind is printed.
TEST(InferenceReference, EveryFigureMatchesR) {
  std::ifstream in(kReference + "figures.txt");
  ASSERT_TRUE(in) << "missing " << kReference << "figures.txt";
  std::map<std::string, SetRuns> runs;
  std::map<std::string, Columns> grouped;
  std::map<std::string, double> largest;
  size_t compared = 0;
  std::string set, kind;
  uint32_t i = 0, j = 0;
  std::string text;
  std::map<std::string, double> r_of;  // R's r by set and pair, read before its intervals
  std::map<std::string, std::vector<double>> unrotated;  // R's loadings, row by row
  while (in >> set >> kind >> i >> j >> text) {
    const std::string pair = set + " " + std::to_string(i) + " " + std::to_string(j);
    if (kind == "pearson") r_of[pair] = std::stod(text);
    double got = 0;
    if (set == "residues") {
      got = normality_value(normality_test(residues()), kind);
    } else if (set.size() > 7 && set.substr(set.size() - 7) == "_groups") {
      if (!grouped.count(set)) {  // the set's columns, then its group codes
        Columns cols = read_set(set.substr(0, set.size() - 7));
        for (std::vector<double> &g : read_set(set)) cols.push_back(std::move(g));
        grouped.emplace(set, std::move(cols));
      }
      got = group_value(tests_of(grouped.at(set), i, j), kind);
    } else if (!runs.count(set)) {
      const Columns all = read_set(set), whole = complete_rows(all);
      Switches own = conventional();
      own.analysis.use = MissingUse::pairwise;
      runs.emplace(set,
                   SetRuns{analysed(whole, conventional()),
                           analysed(whole, conventional(RankChoice::none, 0.9)),
                           analysed(whole, conventional(RankChoice::spearman)),
                           analysed(whole, conventional(RankChoice::kendall)), analysed(all, own)});
    }
    if (kind == "unrotated") {
      unrotated[set].push_back(std::stod(text));
      continue;
    }
    if (runs.count(set))
      got = kind.find("max") != std::string::npos
                ? rotation_value(unrotated[set], runs.at(set).pearson.m, kind, i, j)
                : figure(runs.at(set), kind, i, j);
    // The interval from R's r: near zero an end magnifies the last digits
    // of r, which the pearson figures check on their own.
    if (kind.rfind("ci", 0) == 0) {
      const Interval ci = fisher_interval(r_of.at(pair), runs.at(set).pearson.n,
                                          kind.rfind("ci90", 0) == 0 ? 0.9 : 0.95);
      got = kind.find("low") != std::string::npos ? ci.low : ci.high;
    }
    const double want = std::stod(text);
    const bool p = is_p_value(kind);
    if (p && want < 1e-300) continue;
    // A rotated loading or matrix cell near zero is held to its column's
    // scale (1 for the matrix, at least 0.1 for loadings), not to itself.
    const double scale = kind.find("max") == std::string::npos ? std::fabs(want)
                                                               : std::max(std::fabs(want), 0.1);
    const double diff = std::fabs(got - want) / std::max(scale, 1e-300);
    largest[kind] = std::max(largest[kind], diff);
    EXPECT_LE(diff, p ? 1e-10 : 1e-12)
        << set << " " << kind << " " << i << " " << j << ": " << got << " against R's " << want;
    ++compared;
  }
  EXPECT_GT(compared, 2300u);
  for (const auto &[k, d] : largest)
    std::printf("  %-15s largest relative difference %.3g\n", k.c_str(), d);
}

// A matrix that allows no adequacy figures gives NaN and says why, never a
// crash: a column made of the others, a constant, one variable.
TEST(SamplingAdequacy, RefusedMatricesSayWhy) {
  struct Case {
    Columns cols;
    const char *reason;
  };
  const Case cases[] = {
      {{{1, 2, 3, 4, 5}, {2, 1, 4, 3, 6}, {3, 3, 7, 7, 11}}, "singular or not positive definite"},
      {{{1, 2, 3, 4}, {2, 1, 4, 3}, {5, 5, 5, 5}}, "column 3 is constant"},
      {{{1, 2, 4, 3}}, "one variable"},
  };
  for (const Case &c : cases) {
    const SamplingAdequacy s = sampling_adequacy(analysed(c.cols, conventional()));
    EXPECT_NE(s.reason.find(c.reason), std::string::npos) << s.reason;
    EXPECT_TRUE(std::isnan(s.kmo) && std::isnan(s.chi_square) && std::isnan(s.msa[0]));
  }
}

// One component is its own rotation; a variable without any loading leaves
// the normalisation undefined and is refused with the reason.
TEST(Rotation, DegenerateLoadingsAreBoundedAndSaid) {
  const Rotation one = rotate_loadings({-0.9, 0.5, 0.2}, 3, 1, RotationMethod::varimax);
  EXPECT_EQ(one.loadings, (std::vector<double>{0.9, -0.5, -0.2}));
  EXPECT_EQ(one.matrix, (std::vector<double>{-1}));
  const Rotation empty =
      rotate_loadings({0.8, 0.1, 0, 0, 0.3, 0.7}, 3, 2, RotationMethod::promax);
  EXPECT_TRUE(empty.loadings.empty());
  EXPECT_NE(empty.reason.find("no loading"), std::string::npos);
}

// The rank correlation of two variables, as the matrix holds it.
double rank_pair(const std::vector<double> &x, const std::vector<double> &y, RankMethod method,
                 std::vector<TieSums> *ties = nullptr) {
  Analysis a;
  load_columns(a, {x, y});
  const std::vector<TieSums> t = make_rank_correlation(a, method);
  if (ties != nullptr) *ties = t;
  return a.correlation[0][1];
}

// Knight's count against the count over all pairs, on small tables full of
// ties (both zeros among them) and without ties.
TEST(KendallTauB, KnightEqualsTheCountOverAllPairs) {
  std::mt19937_64 rng(37);
  for (int trial = 0; trial < 200; ++trial) {
    // Past the insertion runs, and past 1024 values the radix sort's order.
    const size_t n = 2 + rng() % (trial < 150 ? 40 : trial < 190 ? 300 : 2500);
    std::vector<double> x(n), y(n);
    for (size_t k = 0; k < n; ++k) {
      x[k] = trial % 3 ? static_cast<double>(rng() % 5) - 2 : static_cast<double>(rng() >> 11);
      y[k] = trial % 2 ? static_cast<double>(rng() % 7) - 3
                       : std::ldexp(static_cast<double>(rng() % 2001) - 1000,
                                    static_cast<int>(rng() % 80) - 40);
      if (x[k] == 0 && rng() % 2) x[k] = -0.0;
    }
    double s = 0, tx = 0, ty = 0;
    const double n0 = n * (n - 1) / 2.0;
    for (size_t a = 0; a < n; ++a)
      for (size_t b = a + 1; b < n; ++b) {
        const double dx = x[a] - x[b], dy = y[a] - y[b];
        s += ((dx > 0) - (dx < 0)) * ((dy > 0) - (dy < 0));
        tx += dx == 0;
        ty += dy == 0;
      }
    const double want = s / std::sqrt((n0 - tx) * (n0 - ty));
    // A constant variable correlates 0, as under Pearson's r.
    EXPECT_NEAR(rank_pair(x, y, RankMethod::kendall), std::isnan(want) ? 0 : want, 1e-15)
        << "trial " << trial;
  }
}

// The exact products against 128-bit integer sums: values at the bound,
// where a double sum of a few products already rounds, over lengths that
// end inside and outside the lanes, and past the bound where products no
// longer fit a double.
TEST(ExactProducts, EqualIntegerSums) {
  std::mt19937_64 rng(43);
  for (const uint64_t bound : {uint64_t{10}, uint64_t{1} << 26, uint64_t{94906265},
                               uint64_t{1} << 32})
    for (const uint64_t n : {uint64_t{0}, uint64_t{3}, uint64_t{7}, uint64_t{8}, uint64_t{61},
                             uint64_t{1000}}) {
      std::vector<double> x(n), y(n);
      __int128 want = 0;
      for (uint64_t k = 0; k < n; ++k) {
        const int64_t top = static_cast<int64_t>(bound) - 1;
        const int64_t a = rng() % 4 ? top : static_cast<int64_t>(rng() % bound);
        const int64_t b = rng() % 2 ? a : -top;
        x[k] = static_cast<double>(a);
        y[k] = static_cast<double>(b);
        want += static_cast<__int128>(a) * b;
      }
      EXPECT_TRUE(exact_products(x.data(), y.data(), n, bound) == want) << bound << " " << n;
    }
}

// Spearman's rho and the tie sums against counts over all values, for both
// sorts (below and past 1024 values), with ties, both zeros, infinities and
// values of every magnitude and sign. The doubled, centred average ranks
// 2 * below + equal - n are integers, and rho is their exact sums' ratio.
TEST(SpearmanRho, EqualsTheCountsOverAllValues) {
  std::mt19937_64 rng(41);
  const auto draw = [&rng](size_t n) {
    std::vector<double> v(n);
    for (double &x : v) {
      const uint64_t r = rng() % 10;
      const double spread = std::ldexp(static_cast<double>(rng() % 4001) - 2000,
                                       static_cast<int>(rng() % 2000) - 1000);
      x = r == 0 ? -0.0 : r == 1 ? 0.0 : r == 2 ? -INFINITY : r == 3 ? 5.0 : spread;
    }
    return v;
  };
  for (size_t n : {size_t{1}, size_t{7}, size_t{1023}, size_t{1024}, size_t{3000}}) {
    const std::vector<double> v = draw(n), w = draw(n);
    const auto doubled_ranks = [n](const std::vector<double> &values) {
      std::vector<int64_t> ranks(n);
      for (size_t i = 0; i < n; ++i) {
        int64_t below = 0, equal = 0;
        for (double x : values) {
          below += x < values[i];
          equal += x == values[i];
        }
        ranks[i] = 2 * below + equal - static_cast<int64_t>(n);
      }
      return ranks;
    };
    const std::vector<int64_t> rv = doubled_ranks(v), rw = doubled_ranks(w);
    int64_t products = 0, squares_v = 0, squares_w = 0;
    for (size_t i = 0; i < n; ++i) {
      products += rv[i] * rw[i];
      squares_v += rv[i] * rv[i];
      squares_w += rw[i] * rw[i];
    }
    double want = static_cast<double>(products) /
                  std::sqrt(static_cast<double>(squares_v) * static_cast<double>(squares_w));
    want = std::isnan(want) ? 0 : std::clamp(want, -1.0, 1.0);
    std::vector<TieSums> ties;
    EXPECT_EQ(rank_pair(v, w, RankMethod::spearman, &ties), want) << n;
    std::vector<double> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    TieSums tied;
    for (size_t k = 0; k < n;) {
      size_t end = k + 1;
      while (end < n && sorted[end] == sorted[k]) ++end;
      const double t = static_cast<double>(end - k);
      if (t > 1) {
        tied.pairs += t * (t - 1) / 2;
        tied.v += t * (t - 1) * (2 * t + 5);
        tied.two += t * (t - 1);
        tied.three += t * (t - 1) * (t - 2);
      }
      k = end;
    }
    EXPECT_EQ(ties[0].pairs, tied.pairs);
    EXPECT_EQ(ties[0].v, tied.v);
    EXPECT_EQ(ties[0].two, tied.two);
    EXPECT_EQ(ties[0].three, tied.three);
  }
}

// R's p.adjust on ties, a lone p-value and NaN entries left out.
TEST(AdjustedPValues, HolmAndBhAsR) {
  const double nan = std::nan("");
  struct Case {
    std::vector<double> p, holm, bh;
  };
  // p.adjust(c(0.01, 0.04, 0.03, 0.04, NA), "holm") and "BH".
  const Case cases[] = {
      {{0.01, 0.04, 0.03, 0.04, nan}, {0.04, 0.09, 0.09, 0.09, nan}, {0.04, 0.04, 0.04, 0.04, nan}},
      {{0.5}, {0.5}, {0.5}},
      {{0.9, 0.8}, {1, 1}, {0.9, 0.9}},
  };
  for (const Case &c : cases) {
    const std::vector<double> holm = holm_adjust(c.p), bh = bh_adjust(c.p);
    for (size_t k = 0; k < c.p.size(); ++k) {
      EXPECT_EQ(std::isnan(holm[k]), std::isnan(c.holm[k]));
      if (!std::isnan(c.holm[k])) {
        EXPECT_DOUBLE_EQ(holm[k], c.holm[k]);
        EXPECT_DOUBLE_EQ(bh[k], c.bh[k]);
      }
    }
  }
}

// Groups the tests cannot take give a reason and no number, never a crash:
// one group, a group of one value, no spread within the groups, all ties,
// an empty group (left out).
TEST(GroupTests, DegenerateGroupsGiveReasons) {
  struct Case {
    std::vector<std::vector<double>> groups;
    uint32_t counted;
    bool welch, anova, kruskal, brown_forsythe;
  };
  const Case cases[] = {
      {{{1, 2, 3}}, 1, false, false, false, false},
      {{{1, 2, 3}, {7}}, 2, false, true, true, true},
      {{{1, 1}, {2, 2}, {3, 3}}, 3, false, false, true, false},
      {{{4, 4}, {4, 4, 4}}, 2, false, false, false, false},
      {{{1, 2, 4}, {}, {3, 5, 9}}, 2, true, true, true, true},
  };
  for (const Case &c : cases) {
    const GroupTests t = group_tests(c.groups);
    EXPECT_EQ(t.groups, c.counted);
    for (const auto &[test, want] : {std::pair{t.welch, c.welch}, {t.anova, c.anova},
                                     {t.kruskal, c.kruskal}, {t.brown_forsythe, c.brown_forsythe}}) {
      EXPECT_EQ(!std::isnan(test.statistic), want) << c.counted;
      EXPECT_EQ(test.untested == nullptr, want) << c.counted;
    }
  }
}

// Shapiro-Wilk needs 3 to 5000 values and some spread; K^2 takes over past
// 5000 and needs two different values.
TEST(Normality, MethodAndReasonFollowTheValues) {
  std::vector<double> many(5001);
  for (size_t k = 0; k < many.size(); ++k) many[k] = static_cast<double>(k % 7);
  std::sort(many.begin(), many.end());
  EXPECT_EQ(normality_test(many).method, NormalityMethod::dagostino);
  EXPECT_FALSE(std::isnan(normality_test(many).p));
  // 0.1 repeated: the rounded mean leaves a tiny m2 that must not test.
  for (const std::vector<double> &v :
       {std::vector<double>{1, 2}, {5, 5, 5, 5}, std::vector<double>(8000, 0.1)}) {
    const NormalityTest t = normality_test(v);
    EXPECT_TRUE(std::isnan(t.statistic));
    EXPECT_NE(t.untested, nullptr);
  }
}

// The measures from selected order statistics equal those from a full sort
// on random columns full of ties; the trimmed means, summed in another
// order, within an ulp or two.
TEST(RobustStats, SelectionGivesTheSortedFigures) {
  std::mt19937_64 rng(5);
  for (int trial = 0; trial < 60; ++trial) {
    const size_t n = 1 + rng() % (trial < 30 ? 40 : 30000);
    std::vector<double> v(n);
    for (double &x : v) x = static_cast<double>(rng() % (trial % 3 == 0 ? 7 : 100000)) / 7.0;
    std::vector<double> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    select_order_statistics(v, robust_positions(n));
    const RobustStats a = robust_stats(sorted, 1, 1, 0.95), b = robust_stats(v, 1, 1, 0.95);
    for (const std::string kind : {"mad", "iqr", "p1", "p5", "p95", "p99"})
      EXPECT_EQ(variable_value(a, kind), variable_value(b, kind)) << kind << " n " << n;
    for (const std::string kind : {"trimmed_10", "trimmed_20"})
      EXPECT_NEAR(variable_value(a, kind), variable_value(b, kind),
                  4e-16 * std::fabs(variable_value(a, kind)))
          << kind << " n " << n;
  }
}

// The MAD from the deviations between the quartiles' neighbours equals
// R's mad by full sorts, bit for bit, on sorted and on selected values:
// ties, skew, signed zeros, infinities and every small n.
TEST(RobustStats, MadEqualsTheFullSortsMad) {
  std::mt19937_64 rng(17);
  for (int trial = 0; trial < 400; ++trial) {
    const size_t n = trial < 40 ? 1 + trial : 1 + rng() % (trial < 300 ? 200 : 40000);
    std::vector<double> v(n);
    for (double &x : v) {
      const uint64_t r = rng();
      const double u = static_cast<double>(r >> 11) * 0x1p-53;
      switch (trial % 5) {
        case 0: x = u - 0.5; break;
        case 1: x = static_cast<double>(r % 4); break;
        case 2: x = std::exp(20 * u); break;
        case 3: x = r % 3 == 0 ? -0.0 : r % 3 == 1 ? 0.0 : u; break;
        default: x = r % 9 == 0 ? (r % 2 ? INFINITY : -INFINITY) : u; break;
      }
    }
    std::vector<double> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    const size_t h = (n + 1) / 2;
    const auto median = [&](const std::vector<double> &s) {
      return n % 2 ? s[h - 1] : r_mean(s.data() + h - 1, 2);
    };
    std::vector<double> d(n);
    for (size_t k = 0; k < n; ++k) d[k] = std::fabs(sorted[k] - median(sorted));
    std::sort(d.begin(), d.end());
    const double want = 1.4826 * median(d);
    std::vector<double> selected = v;
    select_order_statistics(selected, robust_positions(n));
    for (std::vector<double> *values : {&sorted, &selected}) {
      const double got = median_absolute_deviation_in_place(*values);
      EXPECT_EQ(bits(got), bits(want)) << "trial " << trial << " n " << n;
    }
  }
}

// compute_robust_stats sums the trimmed means and the K^2 moments of long
// columns in two walks; the figures equal those of robust_stats and
// dagostino_k2 on the same selected copy, bit for bit.
TEST(RobustStats, LongColumnsGiveTheSeparateFunctionsFigures) {
  std::mt19937_64 rng(23);
  for (uint32_t n : {5001u, 5004u, 20000u, 70001u}) {
    Columns cols(5, std::vector<double>(n, 0.1));  // the last one constant: K^2 untested
    for (uint32_t k = 0; k < n; ++k) {
      const uint64_t r = rng();
      const double u = static_cast<double>(r >> 11) * 0x1p-53;
      cols[0][k] = u - 0.5;
      cols[1][k] = static_cast<double>(r % 7) * 1e6;
      cols[2][k] = std::exp(30 * u);
      cols[3][k] = 1e300 * (u + 1);  // squares past the double range
    }
    Analysis a;
    load_columns(a, cols);
    compute_robust_stats(a);
    for (uint32_t i = 0; i < a.m; ++i) {
      std::vector<double> copy = cols[i];
      select_order_statistics(copy, robust_positions(n));
      const RobustStats want = robust_stats(copy, a.stats[i].mean, a.stats[i].variance, a.level);
      const NormalityTest k2 = dagostino_k2(copy);
      if (i == 4) {
        EXPECT_STREQ(a.normality[i].untested, "all values equal");
      }
      const std::string where = "n " + std::to_string(n) + " column " + std::to_string(i);
      for (const std::string kind : {"trimmed_10", "trimmed_20", "mad", "iqr", "p1", "p99"})
        EXPECT_EQ(bits(variable_value(a.robust[i], kind)), bits(variable_value(want, kind)))
            << kind << " " << where;
      EXPECT_EQ(bits(a.normality[i].statistic), bits(k2.statistic)) << where;
      EXPECT_EQ(bits(a.normality[i].p), bits(k2.p)) << where;
    }
  }
}
