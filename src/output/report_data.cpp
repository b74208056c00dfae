// The report of one data file: its input gathered from the record (labels,
// statistics, histogram counts, correlations and the principal components
// with a thinned score plot), the run's date and command line, and the file.
#include "output/report_data.h"
#include "record/rowspill.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "stats/histogram.h"
#include "base/messages.h"
#include "output/jsonout.h"
#include "output/naming.h"
#include "eigen/scores.h"

namespace {

// Characters a POSIX shell takes literally anywhere in a word.
bool plain_word(const char *s) {
  if (*s == '\0') return false;
  for (; *s != '\0'; ++s)
    if (std::strchr("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-+=.,/:@%",
                    *s) == nullptr)
      return false;
  return true;
}

// The time SOURCE_DATE_EPOCH names, when it is a plain non-negative number.
bool source_date_epoch(std::time_t &t) {
  const char *text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text < '0' || *text > '9') return false;
  char *end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0') return false;
  t = static_cast<std::time_t>(v);
  return true;
}

ReportVariable variable(const Analysis &a, uint32_t i, uint64_t non_finite) {
  const VariableStats &s = a.stats[i];
  ReportVariable v;
  v.column = a.variable_to_file[i] + 1;
  const bool named = i < a.names.size() && !a.names[i].empty();
  v.label = named ? a.names[i] : std::to_string(v.column);
  v.mean = s.mean;
  v.variance = s.variance;
  v.stddev = s.stddev;
  v.min = s.min;
  v.max = s.max;
  v.skewness = s.skewness;
  v.curtosis = s.curtosis;
  v.median = s.median;
  v.lower_quartile = s.lower_quartile;
  v.upper_quartile = s.upper_quartile;
  v.constant = s.constant;
  v.count = values_used(a, i);
  v.missing = values_missing(a, i);
  v.bin_counts.resize(a.bins);
  for (uint32_t b = 0; b < a.bins; ++b) v.bin_counts[b] = a.histogram[b][i];
  v.bin_edges = histogram_edges(s.min, s.max, a.bins);
  v.non_finite = non_finite;
  return v;
}

// The least step k for which every k-th of n rows keeps the score plot
// within kReportScorePoints.
uint32_t score_plot_step(uint32_t n) { return (n + kReportScorePoints - 1) / kReportScorePoints; }

// Scores of the first two components for every k-th row, k the least step
// that keeps the plot within kReportScorePoints: the scores of ".sco" under
// the same -4 and --scores-mean.
std::vector<std::array<double, 2>> score_points(const Analysis &a, const DocumentOptions &options) {
  const uint32_t N = score_limit(a, options.four);
  if (N < 2 || a.n == 0) return {};
  const ScoreBasis basis = score_basis(a, N, 2, options.scores_mean);
  const uint32_t step = score_plot_step(a.n);
  std::vector<std::array<double, 2>> points;
  points.reserve(a.n / step + 1);
  RowCursor cursor = row_cursor(a);
  for (RowRange rows; next_rows(cursor, rows);) {
    const uint64_t first = (rows.first + step - 1) / step * step;
    for (uint64_t r = first; r < rows.first + rows.count; r += step) {
      std::array<double, 2> score{0.0, 0.0};
      observation_scores(basis, rows[r - rows.first], score.data());
      points.push_back(score);
    }
  }
  return points;
}

// Each variable's values that are infinite or not a number, in one walk.
std::vector<uint64_t> non_finite_counts(const Analysis &a) {
  std::vector<uint64_t> count(a.m, 0);
  RowCursor cursor = row_cursor(a);
  for (RowRange rows; next_rows(cursor, rows);)
    for (uint64_t r = 0; r < rows.count; ++r)
      for (uint32_t i = 0; i < a.m; ++i) count[i] += std::isfinite(rows[r][i]) ? 0 : 1;
  return count;
}

// The labels of the rows score_points plots, when the file has labels.
std::vector<std::string> score_labels(const Analysis &a, size_t points) {
  std::vector<std::string> labels;
  if (a.labels.empty() || points == 0) return labels;
  const uint32_t step = score_plot_step(a.n);
  LabelCursor cursor = label_cursor(a);
  std::string label;
  for (uint64_t r = 0; labels.size() < points; ++r) {
    const bool plotted = r % step == 0;
    if (!next_label(cursor, plotted ? &label : nullptr)) break;
    if (plotted) labels.push_back(label);
  }
  return labels;
}

ReportPca components(const Analysis &a, const DocumentOptions &options) {
  ReportPca pca;
  const int32_t *position = a.components.order.get();
  for (uint32_t u = 0; u < a.m; ++u) {
    const double root = a.eigen.values[position[u]];
    pca.eigenvalues.push_back(root);
    pca.explained_percent.push_back(100 * (root / a.eigen.total));
  }
  pca.loadings.assign(a.m, std::vector<double>(a.m));
  for (uint32_t i = 0; i < a.m; ++i)
    for (uint32_t u = 0; u < a.m; ++u)
      pca.loadings[i][u] = a.components.loadings[uint64_t{i} * a.m + position[u]];
  pca.scores = score_points(a, options);
  pca.score_rows_total = a.n;
  pca.scores_centred = options.scores_mean;
  pca.score_labels = score_labels(a, pca.scores.size());
  return pca;
}

}  // namespace

std::string argument_text(int argc, char **argv) {
  std::string out;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) out += ' ';
    if (plain_word(argv[i]))
      out += argv[i];
    else
      out += shell_quoted(argv[i]);
  }
  return out;
}

std::string report_date(std::time_t now) {
  source_date_epoch(now);
  std::tm parts{};
  char text[32];
  if (gmtime_r(&now, &parts) == nullptr) return std::string();
  return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d", &parts));
}

ReportInput report_input(const Analysis &a, const OutputPlace &place, const DocumentOptions &options,
                         const ReportRun &run) {
  ReportInput in;
  in.data_file = source_name(place);
  in.program_version = kVersionTag;
  in.date_text = run.date;
  in.switches_text = run.arguments;
  in.rows = a.n;
  in.rows_left_out = a.rows_left_out;
  for (const SkippedColumn &c : a.skipped) {
    if (!in.skipped_text.empty()) in.skipped_text += ", ";
    in.skipped_text += std::to_string(c.column) + " " + c.name + (c.empty ? " (empty)" : " (text)");
  }
  in.bins = a.bins;
  in.pearson = a.pearson;
  in.rank = a.rank;
  in.conventional = a.conventional;
  in.pairwise = a.pairwise;
  const std::vector<uint64_t> non_finite = non_finite_counts(a);
  for (uint32_t i = 0; i < a.m; ++i) in.variables.push_back(variable(a, i, non_finite[i]));
  in.correlation.resize(uint64_t{a.m} * a.m);
  for (uint32_t i = 0; i < a.m; ++i)
    std::copy(a.correlation[i], a.correlation[i] + a.m, in.correlation.begin() + uint64_t{i} * a.m);
  if (options.components) in.pca = components(a, options);
  in.adequacy = a.adequacy;
  in.rotation = a.rotation;
  in.normality = a.normality;
  return in;
}

namespace {

// The group of each row the score plot shows.
std::vector<int32_t> score_groups(const Analysis &a, size_t points) {
  std::vector<int32_t> index;
  if (a.group_of_row.empty() || points == 0) return index;
  const uint32_t step = score_plot_step(a.n);
  for (uint32_t r = 0; r < a.n && index.size() < points; r += step)
    index.push_back(a.group_of_row[r]);
  return index;
}

// The groups' figures the comparison shows, and the score plot's colours.
void add_groups(ReportInput &in, const Analysis &a, const std::vector<GroupResult> &groups) {
  in.group_column = a.group_column;
  in.group_tests = a.group_tests;
  if (in.pca) in.pca->score_groups = score_groups(a, in.pca->scores.size());
  for (const GroupResult &g : groups) {
    ReportGroup r;
    r.value = g.value;
    r.rows = group_rows(g.analysis);
    for (uint32_t i = 0; i < g.analysis.m; ++i) {
      const VariableStats s = shown_stats(g.analysis, i);
      r.means.push_back(s.mean);
      r.stddevs.push_back(s.stddev);
      r.medians.push_back(s.median);
      r.mins.push_back(s.min);
      r.maxs.push_back(s.max);
      r.lower_quartiles.push_back(s.lower_quartile);
      r.upper_quartiles.push_back(s.upper_quartile);
      r.missing.push_back(values_missing(g.analysis, i));
    }
    in.groups.push_back(std::move(r));
  }
  // The rows in no group: those of the file the groups do not hold.
  uint64_t grouped = 0;
  for (const ReportGroup &r : in.groups) grouped += r.rows;
  const uint64_t rows = group_rows(a);
  in.rows_without_group = rows > grouped ? rows - grouped : 0;
}

}  // namespace

ReportInput full_report_input(const Analysis &a, const OutputPlace &place, const DocumentOptions &options,
                              const ReportRun &run, const std::vector<GroupResult> *groups) {
  ReportInput in = report_input(a, place, options, run);
  if (groups != nullptr) add_groups(in, a, *groups);
  return in;
}

void write_report_file(const Analysis &a, const OutputPlace &place, const DocumentOptions &options,
                       const ReportRun &run, const Console &con,
                       const std::vector<GroupResult> *groups) {
  const ReportInput in = full_report_input(a, place, options, run, groups);
  OutputFile out = open_output(place, ".html");
  announce_output(out, con);
  // A failed write leaves the stream's error flag set, which close_output
  // turns into the usual "Can't write file" error.
  (void)write_report(out.fp, in);
  close_output(out);
}
