// The JSON result document of one data file, pretty-printed or on one line.
// Strings and the definitions go through nlohmann's serializer for its
// escaping; the numbers, most of them in the m x m matrices, go straight out.
#include "output/jsonout.h"
#include "record/rowspill.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "stats/histogram.h"
#include "base/messages.h"
#include "output/naming.h"
#include "eigen/scores.h"

namespace {

// Building the whole text of a 1,000-variable run first would take some
// 80 MB; it goes out in pieces of this size instead.
constexpr size_t kFlushAt = size_t{1} << 16;

struct Sink {
  FILE *fp;
  std::string buf;
  bool one_line = false;  // JSON Lines: line breaks and indentation dropped
  bool in_break = false;  // one_line: within a line break and its indentation
  char last = 0;          // one_line: the last byte kept
};

// The document is laid out with line breaks for people; on one line they go
// with the indentation after them, and a break after a comma becomes a blank
// as between the members of a one-line object. A raw line end is never part
// of a string (escaping writes "\n"), nor is a blank at the start of a line.
void join_lines(Sink &s) {
  size_t out = 0;
  for (char ch : s.buf) {
    if (ch == '\n') {
      s.in_break = true;
      if (s.last != ',') continue;
      ch = ' ';
    } else if (s.in_break && ch == ' ') {
      continue;
    } else {
      s.in_break = false;
    }
    s.buf[out++] = ch;
    s.last = ch;
  }
  s.buf.resize(out);
}

void flush(Sink &s) {
  if (s.one_line) join_lines(s);
  std::fwrite(s.buf.data(), 1, s.buf.size(), s.fp);
  s.buf.clear();
}

void put(Sink &s, std::string_view text) {
  s.buf.append(text);
  if (s.buf.size() >= kFlushAt) flush(s);
}

// Room for one number and its separator: the shortest form of a double
// takes at most 24 characters ("-2.2250738585072014e-308").
constexpr size_t kNumberRoom = 26;

char *write_number(char *at, double x) {
  if (!std::isfinite(x)) {
    std::memcpy(at, "null", 4);
    return at + 4;
  }
  return std::to_chars(at, at + kNumberRoom, x).ptr;
}

void append_number(std::string &buf, double x) {
  char text[kNumberRoom];
  buf.append(text, write_number(text, x));
}

void put_number(Sink &s, double x) {
  append_number(s.buf, x);
  if (s.buf.size() >= kFlushAt) flush(s);
}

void put_count(Sink &s, uint64_t x) { put(s, std::to_string(x)); }

// `"key": ` on a new line at the given indentation, after a comma unless it
// is the first member of its object.
void put_key(Sink &s, std::string_view indent, std::string_view key, bool first = false) {
  put(s, first ? "\n" : ",\n");
  put(s, indent);
  put(s, "\"");
  put(s, key);
  put(s, "\": ");
}

// `"key": value` inside a one-line object.
void put_field(Sink &s, std::string_view key, double x) {
  put(s, ", \"");
  put(s, key);
  put(s, "\": ");
  put_number(s, x);
}

// The matrices are most of the document: a row is written straight into
// room made for it in the buffer, which is flushed once per row.
template <class Value>
void put_row(Sink &s, uint32_t count, Value value) {
  const size_t start = s.buf.size();
  s.buf.resize(start + 2 + count * kNumberRoom);
  char *at = s.buf.data() + start;
  *at++ = '[';
  for (uint32_t j = 0; j < count; ++j) {
    if (j > 0) {
      *at++ = ',';
      *at++ = ' ';
    }
    at = write_number(at, value(j));
  }
  *at++ = ']';
  s.buf.resize(static_cast<size_t>(at - s.buf.data()));
  if (s.buf.size() >= kFlushAt) flush(s);
}

// A matrix as an array of rows, one row a line, under a key at depth 1 or 2.
template <class Value>
void put_matrix(Sink &s, std::string_view indent, uint32_t rows, uint32_t cols, Value value) {
  put(s, "[");
  for (uint32_t i = 0; i < rows; ++i) {
    put(s, i == 0 ? "\n" : ",\n");
    put(s, indent);
    put(s, "  ");
    put_row(s, cols, [&](uint32_t j) { return value(i, j); });
  }
  put(s, "\n");
  put(s, indent);
  put(s, "]");
}

// --conventional: how the tests and the robust measures are defined.
void add_test_definitions(nlohmann::ordered_json &d, const Analysis &a) {
  d["correlation_tests"] =
      a.rank == RankMethod::spearman
          ? "two-sided test of rho = 0: t = rho / sqrt((1 - rho^2) / (n - 2)) with n - 2 degrees "
            "of freedom, for every n and with ties (no exact distribution)"
      : a.rank == RankMethod::kendall
          ? "two-sided test of tau = 0: z = S / sd(S), S = tau * sqrt((n0 - n1) * (n0 - n2)), "
            "the variance of S corrected for ties, normal, no continuity correction, for every "
            "n (no exact distribution)"
          : "two-sided test of r = 0: t = sqrt(n - 2) * r / sqrt(1 - r^2) with n - 2 degrees of "
            "freedom; interval tanh(atanh(r) -/+ z / sqrt(n - 3)), z the normal quantile at "
            "(1 + level) / 2, for n > 3";
  d["pairs"] = "the rows each correlation and its test used";
  d["adjusted_p_values"] =
      "p_holm: Holm's step-down and p_bh: Benjamini-Hochberg over the p-values of the pairs "
      "above the diagonal, pairs without a p-value not counted";
  d["mean_interval"] =
      "mean -/+ t * standard_error, t the quantile of Student's t with count - 1 degrees of "
      "freedom at (1 + level) / 2, standard_error = standard_deviation / sqrt(count)";
  d["trimmed_mean"] =
      "trimmed_mean_10 and trimmed_mean_20: the mean of the sorted values after floor(count * "
      "0.1) or floor(count * 0.2) are left out at either end";
  d["mad"] = "1.4826 * the median of |x - median|";
  d["percentiles"] =
      "iqr and percentile_P: linear interpolation in the sorted values a_1 ... a_count at the "
      "1-based position 1 + (count - 1) * p: Hyndman-Fan type 7; iqr is the 0.75 less the 0.25 "
      "quantile";
}

// --conventional: how the sampling adequacy is defined.
void add_adequacy_definitions(nlohmann::ordered_json &d) {
  d["sampling_adequacy"] =
      "of the correlation matrix R the run uses (m variables, n rows: under pairwise deletion "
      "the smallest count of a pair): Bartlett's chi_square = -ln det(R) * (n - 1 - (2m + 5) / "
      "6), df = m (m - 1) / 2, p_value its upper chi-square tail; kmo = sum r^2 / (sum r^2 + sum "
      "q^2) over the cells off the diagonal, q the partial correlations from R's inverse scaled "
      "to unit diagonal; msa the same over each variable's column; null with a reason when R is "
      "singular or not positive definite";
}

// --rotate: how the rotation is defined.
void add_rotation_definitions(nlohmann::ordered_json &d) {
  d["rotation"] =
      "of the loadings (eigenvector * sqrt(eigenvalue)) of the scored components: varimax with "
      "Kaiser normalisation, at most 1000 steps until the criterion grows by less than a factor "
      "1 + 1e-5 (R's varimax); promax: power 4 on that varimax (R's promax); rotated loadings = "
      "loadings x matrix, each column signed so that its largest absolute loading is positive; "
      "variance: each column's sum of squared loadings, proportion: variance / m";
}


// --conventional: the normality test and, under --by, the group tests.
void add_group_test_definitions(nlohmann::ordered_json &d, const Analysis &a) {
  d["normality"] =
      "shapiro_wilk for 3 to 5000 values: W by Royston's algorithm (AS R94) and its p-value "
      "from his normal approximation of log(1 - W); dagostino beyond 5000 values: K^2 = "
      "Z(sqrt b1)^2 + Z(b2)^2 (D'Agostino, Belanger and D'Agostino 1990), chi-squared with 2 "
      "degrees of freedom; untested says why a variable has none";
  if (a.group_tests.empty()) return;
  d["group_tests"] =
      "per variable over the groups with values of it: welch is Welch's t (two groups, the "
      "first group's mean less the second's, Welch-Satterthwaite df) or Welch's one-way F "
      "(more groups); anova the classical one-way F (a group of one value adds nothing within); "
      "kruskal_wallis H with mid-ranks and the tie correction, chi-squared with groups - 1 df; "
      "brown_forsythe the classical F on |x - group median|; eta_squared the between-group over "
      "the total sum of squares; cohen_d (two groups) the mean difference over the pooled "
      "standard deviation; a test the values do not allow is null with the reason in untested";
}

nlohmann::ordered_json definitions(const Analysis &a) {
  nlohmann::ordered_json d;
  d["missing_values"] =
      a.pairwise ? "pairwise: each variable's statistics over its own values (count), each "
                   "covariance and correlation over the rows where both values are present (n "
                   "is that pair's count); rows with a missing value are left out of the row "
                   "files and counted in rows_left_out; a value that is not a number is missing"
                 : "listwise: a row with a missing value is left out whole and counted in "
                   "rows_left_out; missing counts each variable's missing values";
  d["variance"] = "sum of (x - mean)^2 / (n - 1); standard_deviation is its square root";
  d["covariance"] = a.conventional ? "sum of (x - mean_x) * (y - mean_y) / (n - 1)"
                                   : "sum of (x - mean_x) * (y - mean_y) / n";
  d["correlation"] =
      a.rank == RankMethod::spearman
          ? "Spearman's rho: Pearson's r of the ranks, tied values given the mean of their ranks; "
            "a constant variable correlates 0; the diagonal is exactly 1"
      : a.rank == RankMethod::kendall
          ? "Kendall's tau-b: (concordant - discordant pairs) / sqrt((n0 - n1) * (n0 - n2)), "
            "n0 = n(n - 1)/2, n1 and n2 the pairs tied in x and in y; a constant variable "
            "correlates 0; the diagonal is exactly 1"
      : a.pairwise ? "Pearson's r of each pair over its common rows; the diagonal is exactly 1"
      : a.pearson  ? "Pearson's r; the diagonal is exactly 1"
                   : "covariance / (sd_x * sd_y) with the n - 1 standard deviations, which is "
                     "(n - 1)/n times Pearson's r; the diagonal is exactly 1";
  d["skewness"] = "m3 / s^3 with m3 = sum of (x - mean)^3 / n and s from the n - 1 variance";
  d["kurtosis"] =
      "excess kurtosis m4 / s^4 - 3 with m4 = sum of (x - mean)^4 / n and s from the n - 1 "
      "variance";
  d["quartiles"] =
      "linear interpolation in the sorted values a_0 ... a_(n-1) at the 0-based positions "
      "(n - 2)/4 (lower quartile), (n - 1)/2 (median) and (3n - 2)/4 (upper quartile): "
      "Hyndman-Fan type 5";
  d["zero_variance"] =
      a.conventional
          ? "a constant variable, or one whose variance is 0 or below, is shown as measured: "
            "variance and standard_deviation 0, skewness and kurtosis null, and constant is "
            "true; its correlations are 0"
          : "a constant variable, or one whose variance is 0 or below, gets variance 0.0001 "
            "(standard deviation 0.01), skewness 0 and kurtosis -3, and constant is true";
  d["histogram"] =
      "bins equal bins of width w = (1.00001 * maximum - minimum) / (bins - 1) from the minimum, "
      "edges minimum + b * w; a value is counted in bin floor((x - minimum) / w), the nearest bin "
      "when that falls outside, the middle bin floor(bins / 2) when w is 0 or the bin not a number";
  d["explained_variance"] = "100 * eigenvalue / sum of the eigenvalues";
  d["loadings"] =
      "sqrt(eigenvalue) * unit eigenvector of the correlation matrix, 0 for a negative eigenvalue; "
      "rows are variables, columns components by descending eigenvalue";
  d["score_coefficients"] =
      "loading / (eigenvalue / sum of the eigenvalues) / 100, for the first score_limit variables "
      "and components";
  if (a.conventional) add_test_definitions(d, a);
  if (!a.adequacy.msa.empty()) add_adequacy_definitions(d);
  if (a.rotation.method != RotationMethod::none) add_rotation_definitions(d);
  if (a.conventional) add_group_test_definitions(d, a);
  d["null"] = "a number that is infinite or not a number, which JSON cannot write";
  return d;
}

// The definitions indented as a member of the top-level object.
void put_definitions(Sink &s, const Analysis &a) {
  const std::string text =
      definitions(a).dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  for (char ch : text) {
    if (ch == '\n')
      put(s, "\n  ");
    else
      s.buf += ch;
  }
}

// The columns left out and the rows' labels, present only when the file
// has them: the columns as {"column", "name", "kind"}, the labels of the n
// observations in their order.
void put_skipped_and_labels(Sink &s, const Analysis &a) {
  if (!a.skipped.empty()) {
    put_key(s, "  ", "skipped_columns");
    put(s, "[");
    for (size_t k = 0; k < a.skipped.size(); ++k) {
      const SkippedColumn &c = a.skipped[k];
      put(s, k == 0 ? "\n    {\"column\": " : ",\n    {\"column\": ");
      put_count(s, c.column);
      put(s, ", \"name\": ");
      put(s, json_string(c.name));
      put(s, c.empty ? ", \"kind\": \"empty\"}" : ", \"kind\": \"text\"}");
    }
    put(s, "\n  ]");
  }
  if (a.labels.empty()) return;
  put_key(s, "  ", "row_labels");
  put(s, "[");
  LabelCursor cursor = label_cursor(a);
  std::string label;
  for (bool first = true; next_label(cursor, &label); first = false) {
    put(s, first ? "" : ", ");
    put(s, json_string(label));
  }
  put(s, "]");
}

void put_header(Sink &s, const Analysis &a, const JsonContext &ctx) {
  put(s, "{");
  put_key(s, "  ", "program", true);
  put(s, "{\"name\": \"vantor\", \"version\": ");
  put(s, json_string(kVersionTag));
  put(s, "}");
  put_key(s, "  ", "data_file");
  put(s, json_string(ctx.data_file));
  put_key(s, "  ", "n");
  put_count(s, a.n);
  put_key(s, "  ", "m");
  put_count(s, a.m);
  put_key(s, "  ", "rows_left_out");
  put_count(s, a.rows_left_out);
  put_skipped_and_labels(s, a);
}

std::string variable_name(const Analysis &a, uint32_t i) {
  return i < a.names.size() ? json_string(a.names[i]) : std::string("null");
}

// --conventional: a variable's interval and robust measures.
void put_robust(Sink &s, const RobustStats &r) {
  put_field(s, "standard_error", r.standard_error);
  put(s, ", \"mean_interval\": [");
  put_number(s, r.mean_low);
  put(s, ", ");
  put_number(s, r.mean_high);
  put(s, "]");
  put_field(s, "trimmed_mean_10", r.trimmed_10);
  put_field(s, "trimmed_mean_20", r.trimmed_20);
  put_field(s, "mad", r.mad);
  put_field(s, "iqr", r.iqr);
  put_field(s, "percentile_1", r.p1);
  put_field(s, "percentile_5", r.p5);
  put_field(s, "percentile_95", r.p95);
  put_field(s, "percentile_99", r.p99);
}

// A reason as a JSON string, or null.
std::string reason_text(const char *reason) {
  return reason == nullptr ? std::string("null") : json_string(reason);
}

// --conventional: a variable's normality test.
void put_normality(Sink &s, const NormalityTest &t) {
  put(s, ", \"normality\": {\"method\": ");
  put(s, t.method == NormalityMethod::shapiro_wilk ? "\"shapiro_wilk\"" : "\"dagostino\"");
  put_field(s, "statistic", t.statistic);
  put_field(s, "p_value", t.p);
  put(s, ", \"untested\": ");
  put(s, reason_text(t.untested));
  put(s, "}");
}

void put_variable(Sink &s, const Analysis &a, uint32_t i) {
  const VariableStats v = shown_stats(a, i);
  put(s, "{\"column\": ");
  put_count(s, static_cast<uint64_t>(a.variable_to_file[i]) + 1);
  put(s, ", \"name\": ");
  put(s, variable_name(a, i));
  put(s, ", \"count\": ");
  put_count(s, values_used(a, i));
  put(s, ", \"missing\": ");
  put_count(s, values_missing(a, i));
  put_field(s, "mean", v.mean);
  put_field(s, "variance", v.variance);
  put_field(s, "standard_deviation", v.stddev);
  put_field(s, "minimum", v.min);
  put_field(s, "maximum", v.max);
  put_field(s, "skewness", v.skewness);
  put_field(s, "kurtosis", v.curtosis);
  put_field(s, "median", v.median);
  put_field(s, "lower_quartile", v.lower_quartile);
  put_field(s, "upper_quartile", v.upper_quartile);
  put(s, v.constant ? ", \"constant\": true" : ", \"constant\": false");
  if (!a.robust.empty()) put_robust(s, a.robust[i]);
  if (!a.normality.empty()) put_normality(s, a.normality[i]);
  put(s, "}");
}

void put_variables(Sink &s, const Analysis &a) {
  put_key(s, "  ", "variables");
  put(s, "[");
  for (uint32_t i = 0; i < a.m; ++i) {
    put(s, i == 0 ? "\n    " : ",\n    ");
    put_variable(s, a, i);
  }
  put(s, "\n  ]");
}

// Both matrices are read from their upper triangle, the elements the
// lower-triangle ".cov" and ".cor" files show, so the rows are symmetric
// whatever the lower triangle holds.
void put_matrices(Sink &s, const Analysis &a) {
  const auto upper = [](const Table<double> &t) {
    return [&t](uint32_t i, uint32_t j) { return i <= j ? t[i][j] : t[j][i]; };
  };
  put_key(s, "  ", "covariance");
  put_matrix(s, "  ", a.m, a.m, upper(a.covariance));
  put_key(s, "  ", "correlation");
  put_matrix(s, "  ", a.m, a.m, upper(a.correlation));
}

// --conventional: every pair's test as m x m matrices, the diagonal null.
void put_tests(Sink &s, const Analysis &a) {
  const PairTests &t = a.tests;
  if (t.p.empty()) return;
  const uint64_t m = a.m;
  const auto cells = [m](const std::vector<double> &v) {
    return [&v, m](uint32_t i, uint32_t j) { return v[i * m + j]; };
  };
  put_key(s, "  ", "correlation_tests");
  put(s, "{");
  put_key(s, "    ", "method", true);
  put(s, a.rank == RankMethod::spearman  ? "\"spearman\""
         : a.rank == RankMethod::kendall ? "\"kendall\""
                                         : "\"pearson\"");
  put_key(s, "    ", "level");
  put_number(s, a.level);
  put_key(s, "    ", "pairs");
  put_matrix(s, "    ", a.m, a.m,
             [&](uint32_t i, uint32_t j) { return static_cast<double>(t.count[i * m + j]); });
  put_key(s, "    ", "p_value");
  put_matrix(s, "    ", a.m, a.m, cells(t.p));
  put_key(s, "    ", "p_holm");
  put_matrix(s, "    ", a.m, a.m, cells(t.p_holm));
  put_key(s, "    ", "p_bh");
  put_matrix(s, "    ", a.m, a.m, cells(t.p_bh));
  if (!t.low.empty()) {
    put_key(s, "    ", "interval_low");
    put_matrix(s, "    ", a.m, a.m, cells(t.low));
    put_key(s, "    ", "interval_high");
    put_matrix(s, "    ", a.m, a.m, cells(t.high));
  }
  put(s, "\n  }");
}

// --conventional: Bartlett's test and the KMO measures.
void put_adequacy(Sink &s, const Analysis &a) {
  const SamplingAdequacy &q = a.adequacy;
  if (q.msa.empty()) return;
  put_key(s, "  ", "sampling_adequacy");
  put(s, "{");
  put_key(s, "    ", "n", true);
  put_count(s, q.n);
  put_key(s, "    ", "bartlett_chi_square");
  put_number(s, q.chi_square);
  put_key(s, "    ", "bartlett_df");
  put_count(s, q.df);
  put_key(s, "    ", "bartlett_p_value");
  put_number(s, q.p_value);
  put_key(s, "    ", "kmo");
  put_number(s, q.kmo);
  put_key(s, "    ", "msa");
  put_row(s, a.m, [&](uint32_t i) { return q.msa[i]; });
  put_key(s, "    ", "reason");
  put(s, q.reason.empty() ? "null" : json_string(q.reason));
  put(s, "\n  }");
}

void put_histogram(Sink &s, const Analysis &a) {
  put_key(s, "  ", "histogram");
  put(s, "{");
  put_key(s, "    ", "bins", true);
  put_count(s, a.bins);
  put_key(s, "    ", "variables");
  put(s, "[");
  for (uint32_t k = 0; k < a.m; ++k) {
    const std::vector<double> edges = histogram_edges(a.stats[k].min, a.stats[k].max, a.bins);
    put(s, k == 0 ? "\n      {\"column\": " : ",\n      {\"column\": ");
    put_count(s, static_cast<uint64_t>(a.variable_to_file[k]) + 1);
    put(s, ", \"edges\": ");
    put_row(s, a.bins + 1, [&](uint32_t b) { return edges[b]; });
    put(s, ", \"counts\": [");
    for (uint32_t b = 0; b < a.bins; ++b) {
      if (b > 0) put(s, ", ");
      put_count(s, static_cast<uint64_t>(a.histogram[b][k]));
    }
    put(s, "]}");
  }
  put(s, "\n    ]\n  }");
}

void put_components(Sink &s, const Analysis &a, const JsonContext &ctx) {
  put_key(s, "  ", "components");
  if (!ctx.components) {
    put(s, "null");
    return;
  }
  const uint32_t m = a.m, N = ctx.score_limit;
  const uint64_t stride = m;
  const double *root = a.eigen.values.get();
  const int32_t *position = a.components.order.get();
  put(s, "{");
  put_key(s, "    ", "eigenvalues", true);
  put_row(s, m, [&](uint32_t u) { return root[position[u]]; });
  put_key(s, "    ", "explained_variance_percent");
  put_row(s, m, [&](uint32_t u) { return 100 * (root[position[u]] / a.eigen.total); });
  put_key(s, "    ", "loadings");
  put_matrix(s, "    ", m, m,
             [&](uint32_t r, uint32_t u) { return a.components.loadings[r * stride + position[u]]; });
  put_key(s, "    ", "score_limit");
  put_count(s, N);
  const std::vector<double> coef = score_coefficients(a, N, N);
  put_key(s, "    ", "score_coefficients");
  put_matrix(s, "    ", N, N, [&](uint32_t j, uint32_t u) { return coef[j * uint64_t{N} + u]; });
  put_key(s, "    ", "scores_written");
  put_count(s, ctx.scores_written);
  put(s, "\n  }");
}

// --rotate: the rotated loadings of the scored components.
void put_rotation(Sink &s, const Analysis &a) {
  const Rotation &r = a.rotation;
  if (r.method == RotationMethod::none) return;
  const uint32_t k = r.count;
  const bool done = r.reason.empty();
  put_key(s, "  ", "rotation");
  put(s, "{");
  put_key(s, "    ", "method", true);
  put(s, r.method == RotationMethod::promax ? "\"promax\"" : "\"varimax\"");
  put_key(s, "    ", "components");
  put_count(s, k);
  put_key(s, "    ", "iterations");
  put_count(s, r.iterations);
  const auto cell = [k](const std::vector<double> &v) {
    return [&v, k](uint32_t i, uint32_t j) { return v[i * uint64_t{k} + j]; };
  };
  const auto entry = [](const std::vector<double> &v) {
    return [&v](uint32_t j) { return v[j]; };
  };
  put_key(s, "    ", "loadings");
  done ? put_matrix(s, "    ", a.m, k, cell(r.loadings)) : put(s, "null");
  put_key(s, "    ", "matrix");
  done ? put_matrix(s, "    ", k, k, cell(r.matrix)) : put(s, "null");
  put_key(s, "    ", "variance");
  done ? put_row(s, k, entry(r.variance)) : put(s, "null");
  put_key(s, "    ", "proportion");
  done ? put_row(s, k, entry(r.proportion)) : put(s, "null");
  put_key(s, "    ", "reason");
  put(s, done ? "null" : json_string(r.reason));
  put(s, "\n  }");
}

// One group test as {"statistic", "df", "p_value", "untested"}, df holding
// one or two degrees of freedom.
void put_group_test(Sink &s, std::string_view key, const GroupTest &t, const char *method,
                    int dfs) {
  put(s, ", \"");
  put(s, key);
  put(s, "\": {");
  if (method != nullptr) {
    put(s, "\"method\": \"");
    put(s, method);
    put(s, "\", ");
  }
  put(s, "\"statistic\": ");
  put_number(s, t.statistic);
  put(s, ", \"df\": [");
  put_number(s, t.df1);
  if (dfs == 2) {
    put(s, ", ");
    put_number(s, t.df2);
  }
  put(s, "]");
  put_field(s, "p_value", t.p);
  put(s, ", \"untested\": ");
  put(s, reason_text(t.untested));
  put(s, "}");
}

// --by --conventional: how each variable differs across the groups.
void put_group_tests(Sink &s, const Analysis &a) {
  if (a.group_tests.empty()) return;
  put_key(s, "  ", "group_tests");
  put(s, "{");
  put_key(s, "    ", "group_column", true);
  put(s, json_string(a.group_column));
  put_key(s, "    ", "variables");
  put(s, "[");
  for (uint32_t i = 0; i < a.m; ++i) {
    const GroupTests &t = a.group_tests[i];
    put(s, i == 0 ? "\n      {\"column\": " : ",\n      {\"column\": ");
    put_count(s, static_cast<uint64_t>(a.variable_to_file[i]) + 1);
    put(s, ", \"name\": ");
    put(s, variable_name(a, i));
    put(s, ", \"groups\": ");
    put_count(s, t.groups);
    put(s, ", \"count\": ");
    put_count(s, t.count);
    const bool two = t.groups == 2;
    put_group_test(s, "welch", t.welch, two ? "t" : "F", two ? 1 : 2);
    put_group_test(s, "anova", t.anova, nullptr, 2);
    put_group_test(s, "kruskal_wallis", t.kruskal, nullptr, 1);
    put_group_test(s, "brown_forsythe", t.brown_forsythe, nullptr, 2);
    put_field(s, "eta_squared", t.eta_squared);
    put_field(s, "cohen_d", t.cohen_d);
    put(s, "}");
  }
  put(s, "\n    ]\n  }");
}

// --by's groups, each entry on one line with its whole document.
void put_groups(Sink &s, const JsonContext &ctx) {
  if (ctx.groups.empty()) return;
  put_key(s, "  ", "groups");
  put(s, "[");
  for (size_t k = 0; k < ctx.groups.size(); ++k) {
    const JsonContext::Group &g = ctx.groups[k];
    put(s, k == 0 ? "\n    {\"value\": " : ",\n    {\"value\": ");
    put(s, json_string(g.value));
    put(s, ", \"file_part\": ");
    put(s, json_string(g.file_part));
    put(s, ", \"rows\": ");
    put_count(s, g.rows);
    put(s, ", \"analysis\": ");
    put(s, g.document);
    put(s, "}");
  }
  put(s, "\n  ]");
}

// A group's document on one line, without its line end.
std::string group_document(const Analysis &a, const DocumentOptions &options,
                           const std::string &data_file) {
  JsonContext ctx = json_context(a, options);
  ctx.data_file = data_file;
  ctx.one_line = true;
  char *text = nullptr;
  size_t size = 0;
  FILE *mem = open_memstream(&text, &size);
  if (mem == nullptr) throw std::bad_alloc();
  write_json_document(mem, a, ctx);
  std::fclose(mem);
  std::string document(text, size);
  std::free(text);
  if (!document.empty() && document.back() == '\n') document.pop_back();
  return document;
}

}  // namespace

std::string json_string(const std::string &text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string json_number(double x) {
  std::string text;
  append_number(text, x);
  return text;
}

JsonContext json_context(const Analysis &a, const DocumentOptions &options) {
  JsonContext ctx;
  ctx.components = options.components;
  if (ctx.components) {
    ctx.score_limit = score_limit(a, options.four);
    ctx.scores_written = std::min(options.scores_count, ctx.score_limit);
  }
  return ctx;
}

void write_json_document(FILE *fp, const Analysis &a, const JsonContext &ctx) {
  Sink s{fp, {}};
  s.one_line = ctx.one_line;
  s.buf.reserve(2 * kFlushAt);
  put_header(s, a, ctx);
  put_key(s, "  ", "definitions");
  put_definitions(s, a);
  put_variables(s, a);
  put_matrices(s, a);
  put_tests(s, a);
  put_adequacy(s, a);
  put_histogram(s, a);
  put_components(s, a, ctx);
  put_rotation(s, a);
  put_group_tests(s, a);
  put_groups(s, ctx);
  put(s, "\n}");
  flush(s);
  std::fputc('\n', fp);  // the one line end a one-line document keeps
}

uint64_t group_rows(const Analysis &g) { return g.pairwise ? g.n + g.rows_left_out : g.n; }

JsonContext document_context(const Analysis &a, const DocumentOptions &options,
                             const std::string &data_file,
                             const std::vector<GroupResult> *groups) {
  JsonContext ctx = json_context(a, options);
  ctx.data_file = data_file;
  if (groups != nullptr)
    for (const GroupResult &g : *groups)
      ctx.groups.push_back({g.value, g.file_part,
                            group_document(g.analysis, options, data_file),
                            group_rows(g.analysis)});
  return ctx;
}

void write_json(const Analysis &a, const OutputPlace &place, const DocumentOptions &options,
                FILE *stream, const Console &con, const std::vector<GroupResult> *groups) {
  JsonContext ctx = document_context(a, options, source_name(place), groups);
  if (stream != nullptr) {
    ctx.one_line = true;
    write_json_document(stream, a, ctx);
    if (std::fflush(stream) != 0 || std::ferror(stream) != 0)
      fatal("Can't write file: %s\a\n", "(standard output)");
    return;
  }
  OutputFile out = open_output(place, ".json");
  announce_output(out, con);
  write_json_document(out.fp, a, ctx);
  close_output(out);
}
