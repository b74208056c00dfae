// The entry point every front end calls: a table in, its analysis out, and
// the documents, files and ordered views made from that value. The command
// line's driver uses the same loading and analysis steps.
#include "analyse.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unordered_map>

#include "base/messages.h"
#include "eigen/scores.h"
#include "fileparts.h"
#include "input/load.h"
#include "input/row_accept.h"
#include "output/jsonout.h"
#include "output/naming.h"
#include "output/report.h"
#include "output/statsout.h"
#include "output/report_data.h"
#include "machine/memlimit.h"
#include "record/workarrays.h"
#include "stats/adequacy.h"
#include "stats/grouptests.h"
#include "stats/inference.h"
#include "stats/normality.h"
#include "stats/orderstats.h"
#include "stats/stats.h"

namespace {

// Text written to a memory stream, collected when it closes.
struct MemoryText {
  char *buffer = nullptr;
  size_t size = 0;
  FILE *fp = open_memstream(&buffer, &size);
  MemoryText() {
    if (fp == nullptr) fatal("Not enough memory (console text, 0)\n");
  }
  MemoryText(const MemoryText &) = delete;
  ~MemoryText() {
    if (fp != nullptr) std::fclose(fp);
    std::free(buffer);
  }
  std::string take() {
    std::fclose(fp);
    fp = nullptr;
    return std::string(buffer, size);
  }
};

// Per row, whether it holds a missing value; per column, the count of
// them. An infinity ends the analysis, naming its 1-based row and column.
std::vector<uint8_t> missing_rows(const TableRows &t, std::vector<uint64_t> &per_column) {
  std::vector<uint8_t> missing(t.rows, 0);
  per_column.assign(t.columns, 0);
  for (uint64_t r = 0; r < t.rows; ++r) {
    const double *row = t.values + r * t.columns;
    for (uint32_t j = 0; j < t.columns; ++j) {
      if (std::isinf(row[j]))
        fatal("Infinite value in row %llu, column %u\n", static_cast<unsigned long long>(r + 1),
              j + 1);
      if (std::isnan(row[j])) {
        missing[r] = 1;
        ++per_column[j];
      }
    }
  }
  return missing;
}

void check_rows(const TableRows &t) {
  if (t.values == nullptr || t.rows == 0 || t.columns == 0) fatal("Too few variables\n");
  // Counts are 32-bit in the record: one row less than that is the most.
  if (t.rows >= INT32_MAX || t.columns >= INT32_MAX / 2)
    fatal("Too many rows or variables for one analysis\n");
  if (!t.names.empty() && t.names.size() != t.columns)
    fatal("One name per variable is needed\n");
  if (!t.source_columns.empty() && t.source_columns.size() != t.columns)
    fatal("One source column per variable is needed\n");
  if (!t.labels.empty() && t.labels.size() != t.rows) fatal("One label per row is needed\n");
}

// The caller's rows as a loaded table: rows with a missing value left out
// (kept under pairwise deletion), counted as the loaders count them.
Analysis load_rows(const TableRows &t, const Switches &sw, RunState &run, const Console &con) {
  check_rows(t);
  std::vector<uint64_t> per_column;
  const std::vector<uint8_t> missing = missing_rows(t, per_column);
  const bool keep_missing = sw.analysis.use == MissingUse::pairwise;
  std::vector<uint8_t> kept(t.rows, 1);
  uint64_t with_missing = 0;
  for (uint64_t r = 0; r < t.rows; ++r) {
    with_missing += missing[r];
    if (missing[r] && !keep_missing) kept[r] = 0;
  }
  const uint64_t n = t.rows - (keep_missing ? 0 : with_missing);
  // Pairwise deletion reorders the rows of the matrix: never the caller's.
  const bool borrow = t.borrow && n == t.rows && !keep_missing;
  const uint32_t m = t.columns;
  const WorkArraySettings settings{sw.analysis.bins, false, usable_memory()};
  Analysis a = make_analysis(borrow ? 0 : static_cast<uint32_t>(n), m, settings, run.memory, con);
  build_column_maps(a, sw.read, sw.output, con);
  for (uint32_t j = 0; j < m; ++j)
    a.variable_to_file[j] = t.source_columns.empty() ? static_cast<int32_t>(j) : t.source_columns[j];
  for (const auto &[column, name] : t.skipped) a.skipped.push_back(SkippedColumn{column, name, false});
  if (borrow) {
    a.data.block.reset(const_cast<double *>(t.values));
    a.capacity = static_cast<uint32_t>(t.rows);
  } else {
    uint64_t k = 0;
    for (uint64_t r = 0; r < t.rows; ++r)
      if (kept[r]) std::copy(t.values + r * m, t.values + (r + 1) * m, a.data[k++]);
  }
  a.n = static_cast<uint32_t>(n);
  a.m = m;
  a.rows_left_out = with_missing;
  a.missing_cells = per_column;
  for (const std::string &name : t.names)
    if (!name.empty()) a.names = t.names;  // else unnamed, as a file without names
  if (!t.labels.empty())
    for (uint64_t r = 0; r < t.rows; ++r)
      if (kept[r]) a.labels.push_back(t.labels[r]);
  if (!t.group_values.empty()) {
    if (t.group_values.size() != t.rows) fatal("One group value per row is needed\n");
    take_row_groups(a, t.group_values, kept);
    a.group_column = t.group_column;
  }
  say_rows_left_out(a.rows_left_out, keep_missing, con);
  return a;
}

OutputPlace place_in(const AnalysisResult &r, const std::string &directory,
                     const std::string &name) {
  return OutputPlace{r.data_file, directory.empty() ? name : directory + "/" + name};
}

// The component scores and the standardized data read the rows, which a
// table finished from its parts does not hold.
// `what` names the need with its verb ("The component scores need").
void need_rows(const AnalysisResult &r, bool needed, const char *what) {
  if (r.no_rows && needed)
    fatal("%s the rows, which stay in the parts of the table: analyse without "
          "components, or analyse the rows in one place\n", what);
}

// The shortest text that reads back as x.
std::string shortest_text(double x) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, x).ptr);
}

std::string number_word(const char *prefix, uint64_t value) {
  return prefix + std::to_string(value);
}

}  // namespace

Analysis load_table(const TableSource &source, const Switches &options, RunState &run,
                    const Console &con) {
  if (source.rows != nullptr) return load_rows(*source.rows, options, run, con);
  return load_data_file(source.path.c_str(), options, run, con);
}

void analyse_loaded(Analysis &a, const AnalysisOptions &o, const Console &con, Workers &w,
                    bool trace) {
  compute_statistics(a, o, con, w, trace);
  if (o.conventional) a.adequacy = sampling_adequacy(a);
  if (o.eigenvalues) compute_components(a, w.count() > 1);
  if (o.rotate != RotateChoice::none) compute_rotation(a, o);
}

std::vector<GroupResult> analyse_groups(Analysis &a, const Switches &options, RunState &run,
                                        const Console &con, bool keep_rows,
                                        const GroupStep &step) {
  const GroupIndex index = index_groups(a, options.analysis.group_limit);
  const std::vector<std::string> parts = group_file_parts(a.group_column, index.values);
  // The group tests take the whole table's rows before anything reorders them.
  if (options.analysis.conventional)
    compute_group_tests(a, static_cast<uint32_t>(index.values.size()),
                        run.workers != nullptr ? *run.workers : serial_workers());
  const WorkArraySettings settings{options.analysis.bins, false, usable_memory()};
  const Console quiet{con.out, con.err, true};
  const bool copy_first = options.analysis.use == MissingUse::pairwise;
  std::vector<GroupResult> groups(index.values.size());
  const uint64_t share_of_budget =
      std::max<uint64_t>(1, options.read.max_memory / std::max<size_t>(groups.size(), 1));
  for (size_t k = 0; k < groups.size(); ++k) {
    groups[k].value = index.values[k];
    groups[k].file_part = parts[k];
    // Copied before the whole table's rows are cut down, the groups are held
    // at once: each takes an equal share of the budget.
    if (copy_first)
      groups[k].analysis = group_table(a, index, static_cast<uint32_t>(k), share_of_budget,
                                       settings, run.memory, quiet);
  }
  step(a, nullptr, index);
  // One block takes each group's rows in turn, so its pages are touched
  // once rather than once a group.
  const bool share = !keep_rows && !copy_first;
  CArray<double> shared;
  if (share) shared = shared_group_block(a, index);
  for (size_t k = 0; k < groups.size(); ++k) {
    GroupResult &g = groups[k];
    if (!copy_first)
      g.analysis =
          group_table(a, index, static_cast<uint32_t>(k), options.read.max_memory, settings,
                      run.memory, quiet, share ? std::move(shared) : CArray<double>());
    step(g.analysis, &g, index);
    if (share) shared = std::move(g.analysis.data.block);
  }
  return groups;
}

std::unique_ptr<AnalysisResult> analyse(const TableSource &source, const Switches &options) {
  auto r = std::make_unique<AnalysisResult>();
  r->options = options;
  r->options.run.no_log = true;
  r->data_file = source.name.empty() ? source.path : source.name;
  MemoryText text;
  Workers workers(settle_thread_count(options.run.threads));
  RunState run = make_run_state(options);
  run.workers = &workers;
  const Console con{text.fp, text.fp, true};
  r->table = load_table(source, r->options, run, con);
  Analysis &a = r->table;
  r->borrowed = source.rows != nullptr && a.data.block.get() == source.rows->values;
  if (a.group_column.empty())
    analyse_loaded(a, r->options.analysis, con, workers, r->options.run.debug != 0);
  else
    r->groups = analyse_groups(a, r->options, run, con, true,
                               [&](Analysis &t, const GroupResult *, const GroupIndex &) {
                                 analyse_loaded(t, r->options.analysis, con, workers, r->options.run.debug != 0);
                               });
  r->log = text.take();
  return r;
}

std::vector<uint64_t> part_positions(uint64_t n, bool conventional) {
  std::vector<uint64_t> at = order_positions(n);
  if (conventional)
    for (size_t p : robust_positions(n)) at.push_back(p);
  std::sort(at.begin(), at.end());
  at.erase(std::unique(at.begin(), at.end()), at.end());
  return at;
}

namespace {

// Under --conventional, each variable's robust measures and normality test
// from its parts, as compute_robust_stats forms them from the rows.
void finish_robust_parts(Analysis &a, const TableParts &p, const std::vector<uint64_t> &positions) {
  const Summary &s = p.summary;
  const uint32_t m = s.m;
  const bool few = s.n <= kShapiroWilkMost;
  if (p.robust.size() != m || p.normality_values.size() != (few ? m : 0))
    fatal("Robust parts of the wrong count\n");
  const size_t middle = median_positions(s.n).size();
  a.robust.assign(m, RobustStats{});
  a.normality.assign(m, NormalityTest{});
  const double n = static_cast<double>(s.n);
  for (uint32_t j = 0; j < m; ++j) {
    if (p.robust[j].distances.size() != middle) fatal("Robust parts of the wrong count\n");
    if (few && p.normality_values[j].size() != s.n) fatal("Normality values of the wrong count\n");
    const VariableStats v = shown_stats(a, j);
    a.robust[j] = robust_stats_of_parts(s.n, positions, p.order_values[j], p.robust[j], v.mean,
                                        v.variance, a.level);
    // A constant column has no moments about its mean; the merged sums
    // may hold the rounding of its mean.
    const bool constant = s.min[j] == s.max[j];
    a.normality[j] = normality_of_parts(s.n, few ? p.normality_values[j] : std::vector<double>{},
                                        constant ? 0 : s.m2[j] / n, constant ? 0 : s.m3[j] / n,
                                        constant ? 0 : s.m4[j] / n);
  }
}

}  // namespace

std::unique_ptr<AnalysisResult> finish_parts(const TableParts &p, const Switches &options,
                                             const std::string &data_file) {
  const Summary &s = p.summary;
  const uint32_t m = s.m;
  if (s.n == 0 || m == 0) fatal("Too few variables\n");
  if (s.n >= INT32_MAX) fatal("Too many rows for one analysis\n");
  if (p.names.size() != m || p.source_columns.size() != m || p.order_values.size() != m)
    fatal("One name, column and order list per variable are needed\n");
  if (p.counts.size() != uint64_t{options.analysis.bins} * m)
    fatal("Histogram counts of the wrong shape\n");
  const std::vector<uint64_t> positions = part_positions(s.n, options.analysis.conventional);
  for (const std::vector<double> &v : p.order_values)
    if (v.size() != positions.size()) fatal("Order values of the wrong count\n");
  auto r = std::make_unique<AnalysisResult>();
  r->options = options;
  r->options.run.no_log = true;
  r->data_file = data_file;
  r->no_rows = true;
  MemoryText text;
  const Console con{text.fp, text.fp, true};
  MemoryTally tally;
  r->table = make_analysis(0, m, WorkArraySettings{options.analysis.bins, false, usable_memory()},
                           tally, con);
  Analysis &a = r->table;
  a.m = m;
  build_column_maps(a, options.read, options.output, con);
  for (uint32_t j = 0; j < m; ++j) a.variable_to_file[j] = p.source_columns[j];
  for (const auto &[column, name] : p.skipped) a.skipped.push_back(SkippedColumn{column, name, false});
  for (const std::string &name : p.names)
    if (!name.empty()) a.names = p.names;
  a.rows_left_out = p.rows_left_out;
  if (p.missing_cells.size() == m) a.missing_cells = p.missing_cells;
  say_rows_left_out(p.rows_left_out, false, con);
  a.conventional = options.analysis.conventional;
  a.level = options.analysis.ci != 0 ? options.analysis.ci : 0.95;
  const Moments moments = finish_summary(s, a);
  a.pearson = options.analysis.pearson;
  if (options.analysis.pearson) make_pearson_correlation(a);
  if (options.analysis.conventional) use_sample_divisor(a);
  print_zero_variance_warning(moments, options.analysis.conventional, con);
  for (uint32_t b = 0; b < options.analysis.bins; ++b)
    for (uint32_t j = 0; j < m; ++j)
      a.histogram[b][j] = static_cast<int32_t>(std::min<int64_t>(p.counts[size_t{b} * m + j], INT32_MAX));
  for (uint32_t j = 0; j < m; ++j) order_stats_at(a.stats[j], s.n, positions, p.order_values[j]);
  if (options.analysis.conventional) finish_robust_parts(a, p, positions);
  // The tests need only the correlations and n.
  if (options.analysis.conventional) compute_pair_tests(a, {}, {});
  if (options.analysis.conventional) a.adequacy = sampling_adequacy(a);
  if (options.analysis.eigenvalues) compute_components(a);
  if (options.analysis.rotate != RotateChoice::none) compute_rotation(a, options.analysis);
  r->log = text.take();
  return r;
}

LoadedRows loaded_rows_of(const Analysis &a) {
  LoadedRows out = described_rows(a);
  out.values.resize(size_t{a.n} * a.m);
  for (uint32_t k = 0; k < a.n; ++k) std::copy(a.data[k], a.data[k] + a.m, out.values.data() + size_t{k} * a.m);
  return out;
}

LoadedRows described_rows(const Analysis &a) {
  LoadedRows out;
  out.n = a.n;
  out.m = a.m;
  out.names = a.names;
  out.names.resize(a.m);
  out.source_columns.assign(a.variable_to_file.get(), a.variable_to_file.get() + a.m);
  for (const SkippedColumn &s : a.skipped) out.skipped.emplace_back(s.column, s.name);
  out.rows_left_out = a.rows_left_out;
  out.missing_cells = a.missing_cells;
  out.missing_cells.resize(a.m, 0);
  return out;
}

LoadedRows load_file_rows(const std::string &path, const Switches &options) {
  check_part_options(path, options);
  RunState run = make_run_state(options);
  MemoryText text;  // the loader's console lines, not kept
  const Console con{text.fp, text.fp, true};
  Analysis a;
  try {
    a = load_table(TableSource{path, nullptr, path}, options, run, con);
  } catch (const RunEnd &end) {
    throw RunEnd{end.status, path + ": " + end.message};
  }
  return loaded_rows_of(a);
}

uint32_t scores_written(const AnalysisResult &r) {
  const Switches &sw = r.options;
  if (!sw.analysis.eigenvalues) return sw.analysis.scores;
  return adjusted_scores_count(sw.analysis.scores, score_limit(r.table, sw.analysis.four),
                               sw.analysis.allscores);
}

DocumentOptions document_options(const Switches &options, uint32_t scores_count) {
  return DocumentOptions{options.analysis.eigenvalues, options.analysis.four,
                         options.analysis.scores_mean, scores_count};
}

std::string json_document(const AnalysisResult &r) {
  MemoryText text;
  const JsonContext ctx =
      document_context(r.table, document_options(r.options, scores_written(r)), r.data_file,
                       r.groups.empty() ? nullptr : &r.groups);
  write_json_document(text.fp, r.table, ctx);
  return text.take();
}

std::string report_html(const AnalysisResult &r, const std::string &name,
                        const std::string &arguments) {
  need_rows(r, r.options.analysis.eigenvalues, "The page's score plot needs");
  const ReportRun run{arguments, report_date(std::time(nullptr))};
  return report_page(full_report_input(r.table, place_in(r, "", name),
                                       document_options(r.options, scores_written(r)), run,
                                       r.groups.empty() ? nullptr : &r.groups));
}

std::string write_result_files(const AnalysisResult &r, const std::string &directory,
                               const std::string &name, const std::string &arguments) {
  need_rows(r, r.options.analysis.eigenvalues || r.options.output.stddev,
            "Writing \".sco\" or \".std\" needs");
  MemoryText text;
  const Console con{text.fp, text.fp, false};
  RunState run = make_run_state(r.options);
  run.arguments = arguments;
  const OutputPlace place = place_in(r, directory, name);
  write_results(r.table, place, r.options, run, con, r.groups.empty() ? nullptr : &r.groups);
  return text.take();
}

std::vector<std::string> option_words(const Switches &o) {
  const Switches d;
  std::vector<std::string> w;
  if (o.analysis.eigenvalues) w.push_back(number_word("-e", o.analysis.scores));
  if (o.analysis.bins != d.analysis.bins) w.push_back(number_word("-h", o.analysis.bins));
  if (o.analysis.pearson) w.push_back("--pearson");
  if (o.analysis.conventional) w.push_back("--conventional");
  if (o.analysis.rank != RankChoice::none)
    w.push_back(o.analysis.rank == RankChoice::spearman ? "--rank=spearman" : "--rank=kendall");
  if (o.analysis.ci != 0) w.push_back("--ci=" + shortest_text(o.analysis.ci));
  if (o.analysis.rotate != RotateChoice::none)
    w.push_back(o.analysis.rotate == RotateChoice::varimax ? "--rotate=varimax"
                                                           : "--rotate=promax");
  if (o.analysis.use == MissingUse::pairwise) w.push_back("--use=pairwise");
  if (!o.analysis.by.empty()) w.push_back("--by=" + o.analysis.by);
  if (o.analysis.group_limit != d.analysis.group_limit)
    w.push_back(number_word("--group-limit=", o.analysis.group_limit));
  if (o.run.threads != 0) w.push_back(number_word("--threads=", o.run.threads));
  if (o.output.stddev) w.push_back("-b");
  if (o.output.correlation) w.push_back("-c");
  if (o.output.covariance) w.push_back("-v");
  if (o.output.histogram && o.analysis.bins == d.analysis.bins) w.push_back("-h");
  if (o.output.fsc_file) w.push_back("-f");
  if (o.output.oldtetrad) w.push_back("--oldtetrad");
  if (o.output.json != JsonTarget::none) w.push_back("--json");
  if (o.output.report) w.push_back("--report");
  if (o.output.quartiles) w.push_back("--quartiles");
  if (o.read.csv) w.push_back("--csv");
  if (o.read.separator != 0)
    w.push_back(o.read.separator == '\t' ? std::string("--separator=tab")
                                         : std::string("--separator=") + o.read.separator);
  if (o.read.comma_decimals) w.push_back("--comma-decimals");
  if (o.read.pick == ColumnPick::listed) w.push_back("--columns=" + o.read.pick_list);
  if (o.read.pick == ColumnPick::unlisted) w.push_back("--skip-columns=" + o.read.pick_list);
  for (const std::string &word : o.read.missing) w.push_back("--missing=" + word);
  if (o.read.names) w.push_back("--names");
  if (o.read.numbers_only) w.push_back("--numbers-only");
  return w;
}

std::vector<double> statistics_rows(const Analysis &a) {
  std::vector<double> out;
  out.reserve(size_t{a.m} * 10);
  for (uint32_t i = 0; i < a.m; ++i) {
    const VariableStats &s = a.stats[i];
    for (double v : {s.mean, s.variance, s.stddev, s.min, s.max, s.skewness, s.curtosis, s.median,
                     s.lower_quartile, s.upper_quartile})
      out.push_back(v);
  }
  return out;
}

std::vector<double> robust_rows(const Analysis &a) {
  std::vector<double> out;
  out.reserve(a.robust.size() * 11);
  for (const RobustStats &r : a.robust)
    for (double v : {r.standard_error, r.mean_low, r.mean_high, r.trimmed_10, r.trimmed_20, r.mad,
                     r.iqr, r.p1, r.p5, r.p95, r.p99})
      out.push_back(v);
  return out;
}

std::vector<double> ordered_eigenvalues(const Analysis &a) {
  std::vector<double> out(a.m);
  for (uint32_t u = 0; u < a.m; ++u) out[u] = a.eigen.values[a.components.order[u]];
  return out;
}

std::vector<double> ordered_loadings(const Analysis &a) {
  const size_t m = a.m;
  std::vector<double> out(m * m);
  for (size_t i = 0; i < m; ++i)
    for (size_t u = 0; u < m; ++u)
      out[i * m + u] = a.components.loadings[i * m + static_cast<size_t>(a.components.order[u])];
  return out;
}

std::vector<double> score_coefficient_rows(const AnalysisResult &r, const Analysis &a,
                                           uint32_t &N) {
  N = score_limit(a, r.options.analysis.four);
  return score_coefficients(a, N, N);
}

std::vector<double> observation_score_rows(const AnalysisResult &r, const Analysis &a,
                                           uint32_t count) {
  need_rows(r, true, "The component scores need");
  const uint32_t N = score_limit(a, r.options.analysis.four);
  if (count == 0 || count > N) fatal("The score count must be 1 to %u\n", N);
  const ScoreBasis basis = score_basis(a, N, count, r.options.analysis.scores_mean);
  std::vector<double> out(size_t{a.n} * count);
  for (uint32_t k = 0; k < a.n; ++k) observation_scores(basis, a.data[k], out.data() + size_t{k} * count);
  return out;
}
