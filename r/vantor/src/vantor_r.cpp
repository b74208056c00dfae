// The package's compiled layer: R's arguments as the library's typed
// switches, R's columns or a data file through the library's analysis, and
// the analysed record's numbers and documents handed back as R values.
#include <Rcpp.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "base/messages.h"
#include "eigen/scores.h"
#include "input/load.h"
#include "output/jsonout.h"
#include "output/naming.h"
#include "output/report.h"
#include "output/report_data.h"
#include "output/statsout.h"
#include "pipeline.h"
#include "record/memlimit.h"
#include "record/rowspill.h"
#include "record/workers.h"
#include "stats/histogram.h"
#include "stats/isa.h"
#include "stats/orderstats.h"

namespace {

// One analysed table and what the documents need besides the record.
struct Handle {
  Analysis a;
  Switches sw;
  std::string data_file;  // as the documents name it
  std::string log;        // what the run said on its console
};

// Text written to a memory stream, collected when it closes.
struct MemoryText {
  char *buffer = nullptr;
  size_t size = 0;
  FILE *fp = open_memstream(&buffer, &size);
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
    if (f == "std") sw.stddev = true;
    if (f == "cor") sw.correlation = true;
    if (f == "cov") sw.covariance = true;
    if (f == "his") sw.histogram = true;
    if (f == "fsc") sw.fsc_file = true;
    if (f == "da1") sw.oldtetrad = true;
    if (f == "json") sw.json = JsonTarget::file;
    if (f == "html") sw.report = true;
  }
}

void set_reading(Switches &sw, const Rcpp::List &o) {
  sw.csv = flag(o, "csv");
  const std::string separator = text(o, "separator");
  if (!separator.empty()) sw.separator = separator[0];
  sw.comma_decimals = flag(o, "comma_decimals");
  const std::string columns = text(o, "columns"), skip = text(o, "skip_columns");
  if (!columns.empty()) sw.pick = ColumnPick::listed, sw.pick_list = columns;
  if (!skip.empty()) sw.pick = ColumnPick::unlisted, sw.pick_list = skip;
  if (o.containsElementNamed("missing") && !Rf_isNull(o["missing"]))
    sw.missing = Rcpp::as<std::vector<std::string>>(o["missing"]);
}

Switches switches_of(const Rcpp::List &o) {
  Switches sw;
  const uint32_t components = count(o, "components", 0);
  sw.eigenvalues = components > 0;
  if (components > 0) sw.scores = components;
  sw.pearson = flag(o, "pearson");
  sw.conventional = flag(o, "conventional");
  sw.use = text(o, "use") == "pairwise" ? MissingUse::pairwise : MissingUse::complete;
  sw.by = text(o, "by");
  sw.bins = count(o, "bins", 30);
  sw.threads = count(o, "threads", 0);
  sw.quartiles = flag(o, "quartiles");
  sw.scores_mean = flag(o, "scores_mean");
  sw.allscores = flag(o, "allscores");
  sw.four = flag(o, "four");
  if (o.containsElementNamed("files") && !Rf_isNull(o["files"]))
    set_files(sw, Rcpp::as<std::vector<std::string>>(o["files"]));
  set_reading(sw, o);
  sw.no_log = true;
  sw.quiet = true;
  return sw;
}

// ---------------------------------------------------------------------------
// R's columns: doubles or integers, a list of vectors or one matrix read in
// place. An integer NA and a double NA or NaN are missing values.

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

bool row_has_missing(const std::vector<Column> &cols, R_xlen_t r) {
  for (const Column &c : cols)
    if (std::isnan(value_at(c, r))) return true;
  return false;
}

// What the caller's table holds besides the numbers.
struct TableParts {
  std::vector<std::string> names;     // one per variable, or none
  std::vector<int32_t> columns;       // 1-based column of each variable in the caller's table
  std::vector<std::pair<uint32_t, std::string>> skipped;
  std::vector<std::string> labels;    // one per row, or none
};

// Loads the rows into a fresh record as the loader of a file would: rows
// with a missing value left out (kept, under pairwise deletion, for the
// statistics over the values present), each variable's missing values
// counted. One copy: R's columns into the record's row block.
Analysis load_columns(const std::vector<Column> &cols, R_xlen_t rows, const TableParts &t,
                      const Switches &sw, MemoryTally &tally, const Console &con) {
  const uint32_t m = static_cast<uint32_t>(cols.size());
  std::vector<uint8_t> missing(static_cast<size_t>(rows));
  std::vector<uint64_t> per_column(m, 0);
  uint64_t kept = 0;
  for (R_xlen_t r = 0; r < rows; ++r) {
    missing[r] = row_has_missing(cols, r);
    if (missing[r])
      for (uint32_t j = 0; j < m; ++j) per_column[j] += std::isnan(value_at(cols[j], r));
    kept += sw.use == MissingUse::pairwise || !missing[r];
  }
  const WorkArraySettings settings{sw.bins, false, usable_memory()};
  Analysis a = make_analysis(static_cast<uint32_t>(kept), m, settings, tally, con);
  build_column_maps(a, sw, con);
  for (uint32_t j = 0; j < m; ++j) a.variable_to_file[j] = t.columns[j] - 1;
  for (const auto &[column, name] : t.skipped) a.skipped.push_back(SkippedColumn{column, name, false});
  uint64_t k = 0;
  for (R_xlen_t r = 0; r < rows; ++r) {
    if (missing[r] && sw.use != MissingUse::pairwise) continue;
    double *to = a.data[k++];
    for (uint32_t j = 0; j < m; ++j) to[j] = value_at(cols[j], r);
    if (!t.labels.empty()) a.labels.push_back(t.labels[r]);
  }
  a.n = static_cast<uint32_t>(kept);
  a.m = m;
  for (uint8_t gone : missing) a.rows_left_out += gone;
  a.missing_cells = per_column;
  for (const std::string &name : t.names)
    if (!name.empty()) a.names = t.names;
  if (a.rows_left_out > 0 && sw.use != MissingUse::pairwise)
    say(con, "Left out %lu rows with missing values\n", static_cast<unsigned long>(a.rows_left_out));
  return a;
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

void analyse_loaded(Handle &h, const Console &con) {
  Workers workers(settle_thread_count(h.sw.threads));
  compute_statistics(h.a, h.sw, con, workers);
  if (h.sw.eigenvalues) compute_components(h.a);
}

Rcpp::XPtr<Handle> handle_of(SEXP p) {
  Rcpp::XPtr<Handle> h(p);
  if (h.get() == nullptr) Rcpp::stop("The analysis is gone (saved and loaded again?): analyse anew");
  return h;
}

uint32_t scores_written(const Handle &h) {
  if (!h.sw.eigenvalues) return 0;
  return adjusted_scores_count(h.sw.scores, score_limit(h.a, h.sw.four), h.sw.allscores);
}

Rcpp::NumericMatrix square(uint32_t m, const Table<double> &t) {
  Rcpp::NumericMatrix out(m, m);
  for (uint32_t i = 0; i < m; ++i)
    for (uint32_t j = 0; j < m; ++j) out(i, j) = i <= j ? t[i][j] : t[j][i];
  return out;
}

Rcpp::NumericMatrix statistics(const Analysis &a) {
  Rcpp::NumericMatrix out(a.m, 13);
  for (uint32_t i = 0; i < a.m; ++i) {
    const VariableStats s = shown_stats(a, i);
    const double v[] = {static_cast<double>(values_used(a, i)), static_cast<double>(values_missing(a, i)),
                        s.mean, s.variance, s.stddev, s.min, s.max, s.skewness, s.curtosis,
                        s.median, s.lower_quartile, s.upper_quartile, s.constant ? 1.0 : 0.0};
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

Rcpp::List components(const Handle &h) {
  const Analysis &a = h.a;
  const uint32_t m = a.m;
  Rcpp::NumericVector values(m), explained(m);
  Rcpp::NumericMatrix loadings(m, m);
  for (uint32_t u = 0; u < m; ++u) {
    const int32_t k = a.components.order[u];
    values[u] = a.eigen.values[k];
    explained[u] = 100 * (a.eigen.values[k] / a.eigen.total);  // as the document has it
    for (uint32_t i = 0; i < m; ++i) loadings(i, u) = a.components.loadings[size_t{i} * m + k];
  }
  const uint32_t N = score_limit(a, h.sw.four);
  const std::vector<double> c = score_coefficients(a, N, N);
  Rcpp::NumericMatrix coefficients(N, N);
  for (uint32_t j = 0; j < N; ++j)
    for (uint32_t u = 0; u < N; ++u) coefficients(j, u) = c[size_t{j} * N + u];
  return Rcpp::List::create(Rcpp::Named("eigenvalues") = values, Rcpp::Named("explained") = explained,
                            Rcpp::Named("loadings") = loadings,
                            Rcpp::Named("coefficients") = coefficients,
                            Rcpp::Named("scores_written") = scores_written(h));
}

Rcpp::CharacterVector labels_of(const Analysis &a) {
  std::vector<std::string> out;
  LabelCursor cursor = label_cursor(a);
  std::string label;
  while (!a.labels.empty() && next_label(cursor, &label)) out.push_back(label);
  return Rcpp::wrap(out);
}

TableParts parts_of(Rcpp::CharacterVector names, Rcpp::IntegerVector columns,
                    Rcpp::IntegerVector skipped_columns, Rcpp::CharacterVector skipped_names,
                    Rcpp::CharacterVector labels) {
  TableParts t;
  t.names = Rcpp::as<std::vector<std::string>>(names);
  t.columns = Rcpp::as<std::vector<int32_t>>(columns);
  for (R_xlen_t k = 0; k < skipped_columns.size(); ++k)
    t.skipped.emplace_back(static_cast<uint32_t>(skipped_columns[k]),
                           Rcpp::as<std::string>(skipped_names[k]));
  t.labels = Rcpp::as<std::vector<std::string>>(labels);
  return t;
}

}  // namespace

// The analysis of R's columns `x` (a list of double or integer vectors, or a
// numeric matrix) with the caller's names, columns, skipped columns and row
// labels, under `options`; `data_file` names the table in the documents.
// [[Rcpp::export(.analyse_columns)]]
SEXP analyse_columns(SEXP x, Rcpp::CharacterVector names, Rcpp::IntegerVector columns,
                     Rcpp::IntegerVector skipped_columns, Rcpp::CharacterVector skipped_names,
                     Rcpp::CharacterVector labels, Rcpp::List options, std::string data_file) {
  settle_once();
  auto h = std::make_unique<Handle>();
  h->sw = switches_of(options);
  h->data_file = data_file;
  const TableParts t = parts_of(names, columns, skipped_columns, skipped_names, labels);
  R_xlen_t rows = 0;
  const std::vector<Column> cols = columns_of(x, &rows);
  MemoryText log;
  guarded([&] {
    const Console con{log.fp, log.fp, true};
    MemoryTally tally;
    h->a = load_columns(cols, rows, t, h->sw, tally, con);
    analyse_loaded(*h, con);
  });
  h->log = log.take();
  return Rcpp::XPtr<Handle>(h.release(), true);
}

// The analysis of the data file at `path`, read with the reading options.
// [[Rcpp::export(.analyse_path)]]
SEXP analyse_path(std::string path, Rcpp::List options) {
  settle_once();
  auto h = std::make_unique<Handle>();
  h->sw = switches_of(options);
  h->data_file = path;
  MemoryText log;
  guarded([&] {
    Workers workers(settle_thread_count(h->sw.threads));
    RunState run = make_run_state(h->sw);
    run.workers = &workers;
    const Console con{log.fp, log.fp, true};
    h->a = load_data_file(path.c_str(), h->sw, run, con);
    analyse_loaded(*h, con);
  });
  h->log = log.take();
  return Rcpp::XPtr<Handle>(h.release(), true);
}

// The record's numbers as R values: counts, names, columns, statistics (one
// row per variable), both matrices, the histogram and the components.
// [[Rcpp::export(.analysis_parts)]]
Rcpp::List analysis_parts(SEXP handle) {
  const Rcpp::XPtr<Handle> h = handle_of(handle);
  const Analysis &a = h->a;
  Rcpp::IntegerVector columns(a.m);
  for (uint32_t j = 0; j < a.m; ++j) columns[j] = a.variable_to_file[j] + 1;
  Rcpp::IntegerVector skipped_columns;
  Rcpp::CharacterVector skipped_names;
  for (const SkippedColumn &s : a.skipped) {
    skipped_columns.push_back(static_cast<int>(s.column));
    skipped_names.push_back(s.name);
  }
  return Rcpp::List::create(
      Rcpp::Named("n") = static_cast<double>(a.n), Rcpp::Named("m") = a.m,
      Rcpp::Named("rows_left_out") = static_cast<double>(a.rows_left_out),
      Rcpp::Named("names") = Rcpp::wrap(a.names), Rcpp::Named("columns") = columns,
      Rcpp::Named("skipped_columns") = skipped_columns, Rcpp::Named("skipped_names") = skipped_names,
      Rcpp::Named("labels") = labels_of(a), Rcpp::Named("statistics") = statistics(a),
      Rcpp::Named("covariance") = square(a.m, a.covariance),
      Rcpp::Named("correlation") = square(a.m, a.correlation),
      Rcpp::Named("histogram") = histogram(a),
      Rcpp::Named("components") = h->sw.eigenvalues ? SEXP(components(*h)) : R_NilValue,
      Rcpp::Named("log") = h->log);
}

// The first `count` component scores of every observation, as ".sco" has
// them: observations in rows.
// [[Rcpp::export(.analysis_scores)]]
Rcpp::NumericMatrix analysis_scores(SEXP handle, int count) {
  const Rcpp::XPtr<Handle> h = handle_of(handle);
  if (!h->sw.eigenvalues) Rcpp::stop("No components: analyse with components > 0");
  const Analysis &a = h->a;
  const uint32_t N = score_limit(a, h->sw.four);
  if (count < 1 || static_cast<uint32_t>(count) > N)
    Rcpp::stop("The score count must be 1 to " + std::to_string(N));
  const ScoreBasis basis = score_basis(a, N, static_cast<uint32_t>(count), h->sw.scores_mean);
  Rcpp::NumericMatrix out(a.n, count);
  std::vector<double> row(static_cast<size_t>(count));
  for (uint32_t r = 0; r < a.n; ++r) {
    observation_scores(basis, a.data[r], row.data());
    for (int u = 0; u < count; ++u) out(r, u) = row[u];
  }
  return out;
}

// The JSON document the command line writes with --json.
// [[Rcpp::export(.analysis_json)]]
std::string analysis_json(SEXP handle) {
  const Rcpp::XPtr<Handle> h = handle_of(handle);
  MemoryText out;
  JsonContext ctx = json_context(h->a, h->sw, scores_written(*h));
  ctx.data_file = h->data_file;
  write_json_document(out.fp, h->a, ctx);
  return out.take();
}

// The HTML report page the command line writes with --report.
// [[Rcpp::export(.analysis_html)]]
std::string analysis_html(SEXP handle) {
  const Rcpp::XPtr<Handle> h = handle_of(handle);
  const ReportRun run{"", report_date(std::time(nullptr))};
  std::string page;
  guarded([&] {
    const OutputPlace place{h->data_file, name_stem(h->data_file)};
    page = report_page(report_input(h->a, place, h->sw, run));
  });
  return page;
}

// The result files of the command line with the same options, in `dir`
// under the names the command line gives them; returns the lines the run
// prints for them.
// [[Rcpp::export(.analysis_write)]]
std::string analysis_write(SEXP handle, std::string dir) {
  const Rcpp::XPtr<Handle> h = handle_of(handle);
  MemoryText out;
  guarded([&] {
    check_results_dir(dir);
    const Console con{out.fp, out.fp, false};
    RunState run = make_run_state(h->sw);
    write_results(h->a, output_place(h->data_file.c_str(), dir), h->sw, run, con);
  });
  return out.take();
}
