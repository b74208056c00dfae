// The package's compiled layer: R's arguments as the library's typed
// switches, R's columns or a data file through the library's analysis, and
// the analysed record's numbers and documents handed back as R values.
#include <Rcpp.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "analyse.h"
#include "base/messages.h"
#include "cli/options.h"
#include "eigen/scores.h"
#include "output/naming.h"
#include "record/rowspill.h"
#include "stats/histogram.h"
#include "machine/isa.h"
#include "stats/stats.h"

namespace {

// One analysed table, with the rows it reads in place when it borrowed them
// (declared first, so the result that reads them goes first).
struct Handle {
  std::vector<double> rows;  // R's columns, row after row
  std::unique_ptr<AnalysisResult> r;
  std::string arguments;     // the options as the page shows them
};

// ---------------------------------------------------------------------------
// R's options as the switch record. The R code has checked every type.

bool flag(const Rcpp::List &o, const char *key) {
  return o.containsElementNamed(key) && Rcpp::as<bool>(o[key]);
}

uint32_t count(const Rcpp::List &o, const char *key, uint32_t otherwise) {
  if (!o.containsElementNamed(key) || Rf_isNull(o[key])) return otherwise;
  return static_cast<uint32_t>(Rcpp::as<double>(o[key]));
}

std::string text(const Rcpp::List &o, const char *key) {
  if (!o.containsElementNamed(key) || Rf_isNull(o[key])) return std::string();
  return Rcpp::as<std::string>(o[key]);
}

// The result files asked for beyond the ".mvd" and ".inp" every run writes.
void set_files(Switches &sw, const std::vector<std::string> &files) {
  for (const std::string &f : files) {
    if (f == "std") sw.output.stddev = true;
    if (f == "cor") sw.output.correlation = true;
    if (f == "cov") sw.output.covariance = true;
    if (f == "his") sw.output.histogram = true;
    if (f == "fsc") sw.output.fsc_file = true;
    if (f == "da1") sw.output.oldtetrad = true;
    if (f == "json") sw.output.json = JsonTarget::file;
    if (f == "html") sw.output.report = true;
    if (f == "sum") sw.output.summary_file = true;
  }
}

void set_reading(Switches &sw, const Rcpp::List &o) {
  sw.read.csv = flag(o, "csv");
  const std::string separator = text(o, "separator");
  if (!separator.empty()) sw.read.separator = separator[0];
  sw.read.comma_decimals = flag(o, "comma_decimals");
  const std::string columns = text(o, "columns"), skip = text(o, "skip_columns");
  if (!columns.empty()) sw.read.pick = ColumnPick::listed, sw.read.pick_list = columns;
  if (!skip.empty()) sw.read.pick = ColumnPick::unlisted, sw.read.pick_list = skip;
  if (o.containsElementNamed("missing") && !Rf_isNull(o["missing"]))
    sw.read.missing = Rcpp::as<std::vector<std::string>>(o["missing"]);
  sw.read.names = flag(o, "header");
  sw.read.numbers_only = flag(o, "numbers_only");
  if (o.containsElementNamed("max_memory"))
    sw.read.max_memory = static_cast<uint64_t>(Rcpp::as<double>(o["max_memory"]));
}

UpperTriangle triangle(const std::string &square) {
  if (square == "zeros") return UpperTriangle::zeros;
  if (square == "mirror") return UpperTriangle::mirror;
  return UpperTriangle::none;
}

Switches switches_of(const Rcpp::List &o) {
  Switches sw;
  const uint32_t components = count(o, "components", 0);
  sw.analysis.eigenvalues = components > 0;
  if (components > 0) sw.analysis.scores = components;
  sw.analysis.conventional = flag(o, "conventional");
  // Pearson's r is one of the conventions, as the command line has it.
  sw.analysis.pearson = flag(o, "pearson") || sw.analysis.conventional;
  sw.analysis.use = text(o, "use") == "pairwise" ? MissingUse::pairwise : MissingUse::complete;
  sw.analysis.by = text(o, "by");
  sw.analysis.group_limit = count(o, "group_limit", sw.analysis.group_limit);
  sw.analysis.bins = count(o, "bins", 30);
  sw.run.threads = count(o, "threads", 0);
  sw.output.quartiles = flag(o, "quartiles");
  sw.analysis.scores_mean = flag(o, "scores_mean");
  sw.analysis.allscores = flag(o, "allscores");
  sw.analysis.four = flag(o, "four");
  sw.read.inverse = flag(o, "inverse");
  sw.output.split_file = flag(o, "split_file");
  sw.output.square = triangle(text(o, "square"));
  const std::string rank = text(o, "rank"), rotate = text(o, "rotate");
  if (rank == "spearman") sw.analysis.rank = RankChoice::spearman;
  if (rank == "kendall") sw.analysis.rank = RankChoice::kendall;
  if (rotate == "varimax") sw.analysis.rotate = RotateChoice::varimax;
  if (rotate == "promax") sw.analysis.rotate = RotateChoice::promax;
  if (o.containsElementNamed("ci") && !Rf_isNull(o["ci"]))
    sw.analysis.ci = Rcpp::as<double>(o["ci"]);
  if (o.containsElementNamed("files") && !Rf_isNull(o["files"]))
    set_files(sw, Rcpp::as<std::vector<std::string>>(o["files"]));
  set_reading(sw, o);
  sw.run.no_log = true;
  sw.run.quiet = true;
  return sw;
}

// ---------------------------------------------------------------------------
// R's columns: doubles or integers, a list of vectors or one matrix, copied
// row after row into the block the library reads. An integer NA and a
// double NA or NaN are missing values.

struct Column {
  const double *real = nullptr;
  const int *whole = nullptr;
};

double value_at(const Column &c, R_xlen_t r) {
  if (c.real != nullptr) return c.real[r];
  const int v = c.whole[r];
  return v == NA_INTEGER ? NAN : static_cast<double>(v);
}

Column column_of(SEXP v, R_xlen_t offset) {
  Column c;
  if (TYPEOF(v) == REALSXP) c.real = REAL(v) + offset;
  else c.whole = INTEGER(v) + offset;
  return c;
}

// The columns of `x` (a list of numeric vectors of one length, or a numeric
// matrix) and their row count.
std::vector<Column> columns_of(SEXP x, R_xlen_t *rows) {
  std::vector<Column> out;
  if (TYPEOF(x) == VECSXP) {
    *rows = Rf_xlength(x) > 0 ? Rf_xlength(VECTOR_ELT(x, 0)) : 0;
    for (R_xlen_t j = 0; j < Rf_xlength(x); ++j) out.push_back(column_of(VECTOR_ELT(x, j), 0));
  } else {
    *rows = Rf_nrows(x);
    const R_xlen_t columns = Rf_ncols(x);
    for (R_xlen_t j = 0; j < columns; ++j) out.push_back(column_of(x, j * *rows));
  }
  return out;
}

std::vector<double> row_block(const std::vector<Column> &cols, R_xlen_t rows) {
  const size_t m = cols.size();
  std::vector<double> out(static_cast<size_t>(rows) * m);
  for (size_t j = 0; j < m; ++j)
    for (R_xlen_t r = 0; r < rows; ++r) out[static_cast<size_t>(r) * m + j] = value_at(cols[j], r);
  return out;
}

// What the caller's table holds besides the numbers. `table` holds R's
// vectors: names, 1-based columns, skipped columns and names, labels,
// group values and the group column.
TableRows table_rows(const Rcpp::List &table, const std::vector<double> &block, R_xlen_t rows,
                     uint32_t columns) {
  TableRows t;
  t.values = block.data();
  t.rows = static_cast<uint64_t>(rows);
  t.columns = columns;
  t.names = Rcpp::as<std::vector<std::string>>(table["names"]);
  for (int c : Rcpp::as<std::vector<int>>(table["columns"])) t.source_columns.push_back(c - 1);
  const Rcpp::List skipped = table["skipped"];
  const std::vector<int> at = Rcpp::as<std::vector<int>>(skipped["column"]);
  const std::vector<std::string> named = Rcpp::as<std::vector<std::string>>(skipped["name"]);
  for (size_t k = 0; k < at.size(); ++k) t.skipped.emplace_back(static_cast<uint32_t>(at[k]), named[k]);
  t.labels = Rcpp::as<std::vector<std::string>>(table["labels"]);
  t.group_values = Rcpp::as<std::vector<std::string>>(table["group_values"]);
  t.group_column = Rcpp::as<std::string>(table["group_column"]);
  t.borrow = true;
  return t;
}

// A fatal error of the library as an R error with its text, without the bell
// and the line end the console form carries.
[[noreturn]] void stop_with(const std::string &message) {
  std::string t = message;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\a')) t.pop_back();
  Rcpp::stop(t.empty() ? std::string("The analysis ended") : t);
}

// Runs `job`, turning the library's run-ending error into an R error.
template <class Job>
void guarded(Job &&job) {
  std::string message;
  bool failed = false;
  try {
    job();
  } catch (const RunEnd &end) {
    failed = true;
    message = end.message;
  } catch (const std::bad_alloc &) {
    failed = true;
    message = "Not enough memory";
  }
  if (failed) stop_with(message);
}

void settle_once() {
  static const bool settled = (settle_isa(), true);
  (void)settled;
}

// The options as the program spells them and the table's name, for the
// report page's "Switches".
std::string arguments_of(const Switches &sw, const std::string &name) {
  std::string out = "vantor::analyse";
  for (const std::string &w : option_words(sw)) out += " " + w;
  return out + " " + name;
}

// Checks the options and analyses `source`, keeping `rows` (when the table
// is R's) for as long as the result lives.
SEXP analysed(std::vector<double> rows, const TableRows *table, const TableSource &source,
              const Rcpp::List &options) {
  settle_once();
  auto h = std::make_unique<Handle>();
  h->rows = std::move(rows);
  const Switches sw = switches_of(options);
  h->arguments = arguments_of(sw, source.name.empty() ? source.path : source.name);
  TableSource from = source;
  from.rows = table;
  guarded([&] {
    check_options(sw);
    h->r = analyse(from, sw);
  });
  return Rcpp::XPtr<Handle>(h.release(), true);
}

Rcpp::XPtr<Handle> handle_of(SEXP p) {
  Rcpp::XPtr<Handle> h(p);
  if (h.get() == nullptr) Rcpp::stop("The analysis is gone (saved and loaded again?): analyse anew");
  return h;
}

// ---------------------------------------------------------------------------
// The record's numbers as R values.

Rcpp::NumericMatrix square(uint32_t m, const Table<double> &t) {
  Rcpp::NumericMatrix out(m, m);
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = 0; j < m; ++j) out(i, j) = i <= j ? t[i][j] : t[j][i];
  return out;
}

// One row per variable: count, missing, the ten statistics as the documents
// show them, and whether the variable is constant.
Rcpp::NumericMatrix statistics(const Analysis &a) {
  Rcpp::NumericMatrix out(a.m, 13);
  for (uint32_t i = 0; i < a.m; ++i) {
    const VariableStats s = shown_stats(a, i);
    const double v[] = {static_cast<double>(values_used(a, i)),
                        static_cast<double>(values_missing(a, i)), s.mean, s.variance, s.stddev,
                        s.min, s.max, s.skewness, s.curtosis, s.median, s.lower_quartile,
                        s.upper_quartile, s.constant ? 1.0 : 0.0};
    for (int j = 0; j < 13; ++j) out(i, j) = v[j];
  }
  return out;
}

Rcpp::List histogram(const Analysis &a) {
  Rcpp::IntegerMatrix counts(a.bins, a.m);
  Rcpp::NumericMatrix edges(a.bins + 1, a.m);
  for (uint32_t j = 0; j < a.m; ++j) {
    const std::vector<double> e = histogram_edges(a.stats[j].min, a.stats[j].max, a.bins);
    for (uint32_t b = 0; b <= a.bins; ++b) edges(b, j) = e[b];
    for (uint32_t b = 0; b < a.bins; ++b) counts(b, j) = a.histogram[b][j];
  }
  return Rcpp::List::create(Rcpp::Named("counts") = counts, Rcpp::Named("edges") = edges);
}

// A row-major view of `rows` x `cols` as an R matrix.
Rcpp::NumericMatrix matrix_of(const std::vector<double> &v, uint32_t rows, uint32_t cols) {
  Rcpp::NumericMatrix out(rows, cols);
  for (uint32_t i = 0; i < rows; ++i)
    for (uint32_t j = 0; j < cols; ++j) out(i, j) = v[size_t{i} * cols + j];
  return out;
}

// The components of `a`, one of the result's tables.
Rcpp::List components(const AnalysisResult &r, const Analysis &a) {
  const std::vector<double> values = ordered_eigenvalues(a);
  Rcpp::NumericVector explained(a.m);
  for (uint32_t u = 0; u < a.m; ++u) explained[u] = 100 * (values[u] / a.eigen.total);  // as the document has it
  const Switches &sw = r.options;
  uint32_t N = 0;
  const std::vector<double> coefficients = score_coefficient_rows(r, a, N);
  return Rcpp::List::create(
      Rcpp::Named("eigenvalues") = Rcpp::wrap(values), Rcpp::Named("explained") = explained,
      Rcpp::Named("loadings") = matrix_of(ordered_loadings(a), a.m, a.m),
      Rcpp::Named("coefficients") = matrix_of(coefficients, N, N),
      Rcpp::Named("scores_written") =
          adjusted_scores_count(sw.analysis.scores, N, sw.analysis.allscores));
}

Rcpp::CharacterVector labels_of(const Analysis &a) {
  std::vector<std::string> out;
  LabelCursor cursor = label_cursor(a);
  std::string label;
  while (!a.labels.empty() && next_label(cursor, &label)) out.push_back(label);
  return Rcpp::wrap(out);
}

Rcpp::List parts_of(const AnalysisResult &r, const Analysis &a) {
  Rcpp::IntegerVector columns(a.m);
  for (uint32_t j = 0; j < a.m; ++j) columns[j] = a.variable_to_file[j] + 1;
  std::vector<int> skipped_columns;
  std::vector<std::string> skipped_names;
  for (const SkippedColumn &s : a.skipped) {
    skipped_columns.push_back(static_cast<int>(s.column));
    skipped_names.push_back(s.name);
  }
  return Rcpp::List::create(
      Rcpp::Named("n") = static_cast<double>(a.n), Rcpp::Named("m") = a.m,
      Rcpp::Named("rows_left_out") = static_cast<double>(a.rows_left_out),
      Rcpp::Named("names") = Rcpp::wrap(a.names), Rcpp::Named("columns") = columns,
      Rcpp::Named("skipped_columns") = Rcpp::wrap(skipped_columns),
      Rcpp::Named("skipped_names") = Rcpp::wrap(skipped_names),
      Rcpp::Named("labels") = labels_of(a), Rcpp::Named("statistics") = statistics(a),
      Rcpp::Named("covariance") = square(a.m, a.covariance),
      Rcpp::Named("correlation") = square(a.m, a.correlation),
      Rcpp::Named("histogram") = histogram(a),
      Rcpp::Named("components") =
          r.options.analysis.eigenvalues ? SEXP(components(r, a)) : R_NilValue);
}

}  // namespace

// The analysis of R's columns `x` (a list of double or integer vectors, or a
// numeric matrix) with what `table` tells of them (names, columns, skipped
// columns, labels, group values), under `options`; `name` names the table
// in the documents.
// [[Rcpp::export(.analyse_columns)]]
SEXP analyse_columns(SEXP x, Rcpp::List table, Rcpp::List options, std::string name) {
  R_xlen_t rows = 0;
  const std::vector<Column> cols = columns_of(x, &rows);
  std::vector<double> block = row_block(cols, rows);
  const TableRows t = table_rows(table, block, rows, static_cast<uint32_t>(cols.size()));
  TableSource source;
  source.name = name;
  return analysed(std::move(block), &t, source, options);
}

// The analysis of the data file at `path`, read with the reading options;
// `name` names it in the documents.
// [[Rcpp::export(.analyse_path)]]
SEXP analyse_path(std::string path, Rcpp::List options, std::string name) {
  TableSource source;
  source.path = path;
  source.name = name;
  return analysed(std::vector<double>(), nullptr, source, options);
}

// The record's numbers as R values: counts, names, columns, statistics (one
// row per variable), both matrices, the histogram and the components; then
// each group's, named by its value, and the analysis' console text.
// [[Rcpp::export(.analysis_parts)]]
Rcpp::List analysis_parts(SEXP handle) {
  const Rcpp::XPtr<Handle> h = handle_of(handle);
  const AnalysisResult &r = *h->r;
  Rcpp::List groups;
  std::vector<std::string> values;
  for (const GroupResult &g : r.groups) {
    groups.push_back(parts_of(r, g.analysis));
    values.push_back(g.value);
  }
  groups.attr("names") = Rcpp::wrap(values);
  Rcpp::List out = parts_of(r, r.table);
  out["groups"] = groups;
  out["group_column"] = r.table.group_column;
  out["log"] = r.log;
  return out;
}

// The first `count` component scores of every observation, as ".sco" has
// them: observations in rows.
// [[Rcpp::export(.analysis_scores)]]
Rcpp::NumericMatrix analysis_scores(SEXP handle, int count) {
  const Rcpp::XPtr<Handle> h = handle_of(handle);
  if (!h->r->options.analysis.eigenvalues) Rcpp::stop("No components: analyse with components > 0");
  std::vector<double> scores;
  guarded([&] {
    scores = observation_score_rows(*h->r, h->r->table, static_cast<uint32_t>(count));
  });
  return matrix_of(scores, h->r->table.n, static_cast<uint32_t>(count));
}

// The JSON document the command line writes with --json.
// [[Rcpp::export(.analysis_json)]]
std::string analysis_json(SEXP handle) {
  const Rcpp::XPtr<Handle> h = handle_of(handle);
  std::string out;
  guarded([&] { out = json_document(*h->r); });
  return out;
}

// The HTML report page the command line writes with --report.
// [[Rcpp::export(.analysis_html)]]
std::string analysis_html(SEXP handle) {
  const Rcpp::XPtr<Handle> h = handle_of(handle);
  std::string page;
  guarded([&] {
    const OutputPlace place = output_place(h->r->data_file.c_str());
    page = report_html(*h->r, place.stem, h->arguments);
  });
  return page;
}

// The result files of the command line with the same options, in `dir`
// under the names the command line gives them; returns the lines the run
// prints for them.
// [[Rcpp::export(.analysis_write)]]
std::string analysis_write(SEXP handle, std::string dir) {
  const Rcpp::XPtr<Handle> h = handle_of(handle);
  std::string lines;
  guarded([&] {
    check_results_dir(dir);
    const OutputPlace place = output_place(h->r->data_file.c_str(), dir);
    lines = write_result_files(*h->r, "", place.stem, h->arguments);
  });
  return lines;
}
