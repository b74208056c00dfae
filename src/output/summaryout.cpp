// The ".sum" file: a title line, a header and a row per variable, then a
// title line, a header and a row per pair, then the sampling adequacy and
// (--rotate) the rotation; fields separated by tabs so that cut, awk and
// read.delim take them as they are.
#include "output/summaryout.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

// A tab and the shortest text that reads back as x, or NA.
void add_field(std::string &line, double x) {
  line += '\t';
  if (!std::isfinite(x)) {
    line += "NA";
    return;
  }
  char text[32];
  line.append(text, std::to_chars(text, text + sizeof text, x).ptr);
}

void add_field(std::string &line, const std::string &text) {
  line += '\t';
  line += text;
}

// The variable's name, or its 1-based data-file column.
std::string label(const Analysis &a, uint32_t i) {
  if (i < a.names.size() && !a.names[i].empty()) return a.names[i];
  return std::to_string(a.variable_to_file[i] + 1);
}

const char *method_name(RankMethod rank) {
  return rank == RankMethod::spearman  ? "spearman"
         : rank == RankMethod::kendall ? "kendall"
                                       : "pearson";
}

void write_variables(FILE *fp, const Analysis &a) {
  std::string level;
  add_field(level, a.level);
  std::fprintf(fp, "/Variables level %s\n", level.c_str() + 1);
  std::fputs(
      "variable\tcount\tstandard_error\tmean_low\tmean_high\ttrimmed_mean_10\t"
      "trimmed_mean_20\tmad\tiqr\tpercentile_1\tpercentile_5\tpercentile_95\t"
      "percentile_99\n",
      fp);
  for (uint32_t i = 0; i < a.robust.size(); ++i) {
    const RobustStats &r = a.robust[i];
    std::string line = label(a, i);
    add_field(line, std::to_string(values_used(a, i)));
    for (double v : {r.standard_error, r.mean_low, r.mean_high, r.trimmed_10, r.trimmed_20, r.mad,
                     r.iqr, r.p1, r.p5, r.p95, r.p99})
      add_field(line, v);
    std::fprintf(fp, "%s\n", line.c_str());
  }
}

void write_pairs(FILE *fp, const Analysis &a) {
  const PairTests &t = a.tests;
  const uint64_t m = a.m;
  std::fprintf(fp, "/Correlation tests %s\n", method_name(a.rank));
  std::fputs(
      "variable\tother\tpairs\tcorrelation\tp_value\tp_holm\tp_bh\tinterval_low\t"
      "interval_high\n",
      fp);
  for (uint32_t i = 0; i < m && !t.p.empty(); ++i)
    for (uint32_t j = i + 1; j < m; ++j) {
      const uint64_t at = i * m + j;
      std::string line = label(a, i);
      add_field(line, label(a, j));
      add_field(line, std::to_string(t.count[at]));
      for (double v : {a.correlation[i][j], t.p[at], t.p_holm[at], t.p_bh[at]}) add_field(line, v);
      add_field(line, t.low.empty() ? NAN : t.low[at]);
      add_field(line, t.high.empty() ? NAN : t.high[at]);
      std::fprintf(fp, "%s\n", line.c_str());
    }
}

// Bartlett's test and the KMO measure on one line, then each variable's MSA.
void write_adequacy(FILE *fp, const Analysis &a) {
  const SamplingAdequacy &q = a.adequacy;
  if (q.msa.empty()) return;
  std::fprintf(fp, "/Sampling adequacy%s%s\n", q.reason.empty() ? "" : " none: ",
               q.reason.c_str());
  std::fputs("n\tbartlett_chi_square\tbartlett_df\tbartlett_p_value\tkmo\n", fp);
  std::string line = std::to_string(q.n);
  add_field(line, q.chi_square);
  add_field(line, std::to_string(q.df));
  for (double v : {q.p_value, q.kmo}) add_field(line, v);
  std::fprintf(fp, "%s\nvariable\tmsa\n", line.c_str());
  for (uint32_t i = 0; i < a.m; ++i) {
    line = label(a, i);
    add_field(line, q.msa[i]);
    std::fprintf(fp, "%s\n", line.c_str());
  }
}

// A header of the rotated components RC1 ... RCk after `first`.
void rotated_header(FILE *fp, const char *first, uint32_t k) {
  std::fputs(first, fp);
  for (uint32_t j = 1; j <= k; ++j) std::fprintf(fp, "\tRC%u", j);
  std::fputc('\n', fp);
}

// The rotated loadings, the rotation matrix and the explained variance.
void write_rotation(FILE *fp, const Analysis &a) {
  const Rotation &r = a.rotation;
  if (r.method == RotationMethod::none) return;
  const char *method = r.method == RotationMethod::promax ? "promax" : "varimax";
  if (!r.reason.empty()) {
    std::fprintf(fp, "/Rotation %s none: %s\n", method, r.reason.c_str());
    return;
  }
  const uint32_t k = r.count;
  std::fprintf(fp, "/Rotation %s components %u iterations %u\n", method, k, r.iterations);
  rotated_header(fp, "variable", k);
  for (uint32_t i = 0; i < a.m; ++i) {
    std::string line = label(a, i);
    for (uint32_t j = 0; j < k; ++j) add_field(line, r.loadings[uint64_t{i} * k + j]);
    std::fprintf(fp, "%s\n", line.c_str());
  }
  rotated_header(fp, "component", k);
  for (uint32_t c = 0; c < k; ++c) {
    std::string line = std::to_string(c + 1);
    for (uint32_t j = 0; j < k; ++j) add_field(line, r.matrix[uint64_t{c} * k + j]);
    std::fprintf(fp, "%s\n", line.c_str());
  }
  rotated_header(fp, "measure", k);
  std::string variance = "variance", proportion = "proportion";
  for (uint32_t j = 0; j < k; ++j) {
    add_field(variance, r.variance[j]);
    add_field(proportion, r.proportion[j]);
  }
  std::fprintf(fp, "%s\n%s\n", variance.c_str(), proportion.c_str());
}

const char *normality_name(NormalityMethod method) {
  return method == NormalityMethod::shapiro_wilk ? "shapiro_wilk" : "dagostino";
}

void write_normality(FILE *fp, const Analysis &a) {
  std::fputs("/Normality\nvariable\tcount\tmethod\tstatistic\tp_value\tuntested\n", fp);
  for (uint32_t i = 0; i < a.normality.size(); ++i) {
    const NormalityTest &t = a.normality[i];
    std::string line = label(a, i);
    add_field(line, std::to_string(values_used(a, i)));
    add_field(line, normality_name(t.method));
    add_field(line, t.statistic);
    add_field(line, t.p);
    add_field(line, t.untested != nullptr ? t.untested : "NA");
    std::fprintf(fp, "%s\n", line.c_str());
  }
}

void add_test(std::string &line, const GroupTest &t) {
  for (double v : {t.statistic, t.df1, t.df2, t.p}) add_field(line, v);
}

void add_one_df_test(std::string &line, const GroupTest &t) {
  for (double v : {t.statistic, t.df1, t.p}) add_field(line, v);
}

// Under --by: the group tests of each variable, one line each.
void write_group_tests(FILE *fp, const Analysis &a) {
  if (a.group_tests.empty()) return;
  std::fprintf(fp, "/Group tests by %s\n", a.group_column.c_str());
  std::fputs(
      "variable\tgroups\tcount\twelch\twelch_df1\twelch_df2\twelch_p\tanova_f\tanova_df1\t"
      "anova_df2\tanova_p\tkruskal_h\tkruskal_df\tkruskal_p\tbrown_forsythe_f\t"
      "brown_forsythe_df1\tbrown_forsythe_df2\tbrown_forsythe_p\teta_squared\tcohen_d\n",
      fp);
  for (uint32_t i = 0; i < a.group_tests.size(); ++i) {
    const GroupTests &t = a.group_tests[i];
    std::string line = label(a, i);
    add_field(line, std::to_string(t.groups));
    add_field(line, std::to_string(t.count));
    add_test(line, t.welch);
    add_test(line, t.anova);
    add_one_df_test(line, t.kruskal);
    add_test(line, t.brown_forsythe);
    add_field(line, t.eta_squared);
    add_field(line, t.cohen_d);
    std::fprintf(fp, "%s\n", line.c_str());
  }
}

}  // namespace

void write_sum_file(const Analysis &a, const OutputPlace &place, const Console &con) {
  OutputFile out = open_output(place, ".sum");
  announce_output(out, con);
  write_variables(out.fp, a);
  write_pairs(out.fp, a);
  write_adequacy(out.fp, a);
  write_rotation(out.fp, a);
  write_normality(out.fp, a);
  write_group_tests(out.fp, a);
  close_output(out);
}
