// The compiled module vantor._vantor: the keywords as the library's typed
// options, one analysed table as a handle over the library's result, and the
// per-part work of vantor.dask. Conversion from pandas, names and the result
// object live in the pure-Python package.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "analyse.h"
#include "fileparts.h"
#include "base/messages.h"
#include "cli/options.h"
#include "output/report_data.h"
#include "machine/memlimit.h"
#include "machine/workers.h"
#include "stats/histogram.h"
#include "stats/normality.h"
#include "machine/isa.h"
#include "stats/orderstats.h"
#include "stats/rankparts.h"
#include "stats/robust.h"
#include "stats/summary.h"

namespace py = pybind11;

namespace {

// One analysed table: the library's result, and the array its data matrix
// reads in place when it was borrowed rather than copied.
struct Handle {
  std::shared_ptr<AnalysisResult> r;
  const GroupResult *group = nullptr;  // a group's table, or the whole one
  std::string arguments;  // the options and the data file, as the page shows them
  py::object keep;
};

// A fatal error of the library as a ValueError with its text, without the
// bell and the line end the console form carries.
[[noreturn]] void raise_run_end(const RunEnd &end) {
  std::string text = end.message;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\a')) text.pop_back();
  throw py::value_error(text.empty() ? "The analysis ended" : text);
}

// Runs `job` with the GIL released, the library's errors turned into
// Python's.
template <class Job>
void compute(Job &&job) {
  try {
    py::gil_scoped_release free;
    job();
  } catch (const RunEnd &end) {
    raise_run_end(end);
  }
}

template <class T>
T option(const py::dict &d, const char *key, T fallback) {
  return d.contains(key) ? d[key].cast<T>() : fallback;
}

// The typed options of the package's keywords (vantor/frame.py names them
// as the record does); checked as the command line checks its switches.
Switches options_of(const py::dict &d) {
  Switches sw;
  sw.run.no_log = true;
  sw.run.quiet = true;
  const uint32_t components = option<uint32_t>(d, "components", 0);
  sw.analysis.eigenvalues = components > 0;
  if (components > 0) sw.analysis.scores = components;
  sw.analysis.bins = option<uint32_t>(d, "bins", sw.analysis.bins);
  if (sw.analysis.bins == 0) throw py::value_error("bins must be at least 1");
  sw.output.histogram =
      sw.analysis.bins != Switches{}.analysis.bins || option<bool>(d, "histogram", false);
  sw.analysis.conventional = option<bool>(d, "conventional", false);
  sw.analysis.pearson = option<bool>(d, "pearson", false) || sw.analysis.conventional;
  const std::string rank = option<std::string>(d, "rank", "");
  if (!rank.empty() && rank != "spearman" && rank != "kendall")
    throw py::value_error("rank must be 'spearman' or 'kendall'");
  sw.analysis.rank = rank == "spearman"  ? RankChoice::spearman
                     : rank == "kendall" ? RankChoice::kendall
                                         : RankChoice::none;
  sw.analysis.ci = option<double>(d, "ci", 0);
  const std::string rotate = option<std::string>(d, "rotate", "");
  if (!rotate.empty() && rotate != "varimax" && rotate != "promax")
    throw py::value_error("rotate must be 'varimax' or 'promax'");
  sw.analysis.rotate = rotate == "varimax"  ? RotateChoice::varimax
                       : rotate == "promax" ? RotateChoice::promax
                                            : RotateChoice::none;
  const std::string use = option<std::string>(d, "use", "complete");
  if (use != "complete" && use != "pairwise")
    throw py::value_error("use must be 'complete' or 'pairwise'");
  sw.analysis.use = use == "pairwise" ? MissingUse::pairwise : MissingUse::complete;
  sw.analysis.by = option<std::string>(d, "by", "");
  sw.analysis.group_limit = option<uint32_t>(d, "group_limit", sw.analysis.group_limit);
  sw.run.threads = option<uint32_t>(d, "threads", 0);
  sw.output.stddev = option<bool>(d, "stddev", false);
  sw.output.correlation = option<bool>(d, "correlation", false);
  sw.output.covariance = option<bool>(d, "covariance", false);
  sw.output.fsc_file = option<bool>(d, "fsc_file", false);
  if (sw.output.fsc_file) sw.analysis.eigenvalues = true;
  sw.output.oldtetrad = option<bool>(d, "oldtetrad", false);
  if (option<bool>(d, "json", false)) sw.output.json = JsonTarget::file;
  sw.output.report = option<bool>(d, "report", false);
  sw.output.quartiles = option<bool>(d, "quartiles", false);
  sw.read.csv = option<bool>(d, "csv", false);
  const std::string separator = option<std::string>(d, "separator", "");
  if (!separator.empty()) {
    if (separator.size() != 1) throw py::value_error("separator must be one character");
    sw.read.separator = separator[0];
  }
  sw.read.comma_decimals = option<bool>(d, "comma_decimals", false);
  if (d.contains("columns")) {
    sw.read.pick = ColumnPick::listed;
    sw.read.pick_list = d["columns"].cast<std::string>();
  }
  if (d.contains("skip_columns")) {
    if (sw.read.pick != ColumnPick::all)
      throw py::value_error("columns and skip_columns exclude each other");
    sw.read.pick = ColumnPick::unlisted;
    sw.read.pick_list = d["skip_columns"].cast<std::string>();
  }
  sw.read.missing = option<std::vector<std::string>>(d, "missing_words", {});
  sw.read.names = option<bool>(d, "header", false);
  sw.read.numbers_only = option<bool>(d, "numbers_only", false);
  try {
    check_options(sw);
  } catch (const RunEnd &end) {
    raise_run_end(end);
  }
  return sw;
}

std::string arguments_of(const Switches &sw, const std::string &data_file) {
  std::vector<std::string> words{"vantor"};
  for (const std::string &w : option_words(sw)) words.push_back(w);
  if (!data_file.empty()) words.push_back(data_file);
  std::vector<char *> argv;
  for (std::string &w : words) argv.push_back(w.data());
  return argument_text(static_cast<int>(argv.size()), argv.data());
}

std::unique_ptr<Handle> analyse_source(const TableSource &source, const Switches &sw) {
  auto h = std::make_unique<Handle>();
  compute([&] { h->r = analyse(source, sw); });
  h->arguments = arguments_of(sw, h->r->data_file);
  return h;
}

std::unique_ptr<Handle> analyse_file(const std::string &path, const py::dict &options) {
  return analyse_source(TableSource{path, nullptr, path}, options_of(options));
}

std::unique_ptr<Handle> analyse_array(py::array_t<double> array,
                                      const std::vector<std::string> &names,
                                      const std::vector<int32_t> &columns,
                                      const std::vector<std::pair<uint32_t, std::string>> &skipped,
                                      const std::vector<std::string> &labels,
                                      const std::vector<std::string> &group_values,
                                      const std::string &group_column,
                                      const py::dict &options, const std::string &data_file) {
  if (array.ndim() != 2) throw py::value_error("The data must be a 2-D array of rows and variables");
  const Switches sw = options_of(options);
  // The library reads rows one after another: a C-ordered array in place,
  // any other through a C-ordered copy.
  py::array_t<double, py::array::c_style | py::array::forcecast> rows(array);
  TableRows t;
  t.values = rows.data();
  t.rows = static_cast<uint64_t>(rows.shape(0));
  t.columns = rows.shape(1) >= INT32_MAX ? UINT32_MAX : static_cast<uint32_t>(rows.shape(1));
  if (t.rows == 0 || t.columns == 0) throw py::value_error("Too few variables");
  if (names.size() != t.columns || columns.size() != t.columns)
    throw py::value_error("One name and one column number per variable are needed");
  t.names = names;
  t.source_columns = columns;
  t.skipped = skipped;
  t.labels = labels;
  t.group_values = group_values;
  t.group_column = group_column;
  t.borrow = rows.ptr() == array.ptr();
  std::unique_ptr<Handle> h = analyse_source(TableSource{"", &t, data_file}, sw);
  if (h->r->borrowed) h->keep = array;
  return h;
}

// A new array of rows x cols doubles from a row-major vector.
py::array_t<double> matrix_of(const std::vector<double> &v, size_t rows, size_t cols) {
  py::array_t<double> out({rows, cols});
  std::copy(v.begin(), v.end(), out.mutable_data());
  return out;
}

// A new array of rows x cols doubles filled by `at(i, j)`.
template <class At>
py::array_t<double> matrix(size_t rows, size_t cols, At at) {
  py::array_t<double> out({rows, cols});
  auto o = out.mutable_unchecked<2>();
  for (size_t i = 0; i < rows; ++i)
    for (size_t j = 0; j < cols; ++j) o(i, j) = at(i, j);
  return out;
}

const Analysis &table(const Handle &h) { return h.group != nullptr ? h.group->analysis : h.r->table; }

// The documents and files hold the whole table with its groups.
const AnalysisResult &whole(const Handle &h) {
  if (h.group != nullptr)
    throw py::value_error("Documents and files are the whole table's: call it on the result");
  return *h.r;
}

// Each group's value and a handle on its table, sharing the result.
std::vector<std::pair<std::string, std::unique_ptr<Handle>>> groups_of(const Handle &h) {
  std::vector<std::pair<std::string, std::unique_ptr<Handle>>> out;
  if (h.group != nullptr) return out;
  for (const GroupResult &g : h.r->groups) {
    auto gh = std::make_unique<Handle>();
    gh->r = h.r;
    gh->group = &g;
    gh->arguments = h.arguments;
    gh->keep = h.keep;
    out.emplace_back(g.value, std::move(gh));
  }
  return out;
}

// Under --conventional, the record's test matrices by the JSON document's
// names (m x m each); an empty dict without.
py::dict pair_tests(const Handle &h) {
  const Analysis &a = table(h);
  const PairTests &t = a.tests;
  py::dict out;
  if (t.p.empty()) return out;
  const size_t m = a.m;
  out["pairs"] = matrix(m, m, [&](size_t i, size_t j) { return static_cast<double>(t.count[i * m + j]); });
  out["p_value"] = matrix_of(t.p, m, m);
  out["p_holm"] = matrix_of(t.p_holm, m, m);
  out["p_bh"] = matrix_of(t.p_bh, m, m);
  if (!t.low.empty()) {
    out["interval_low"] = matrix_of(t.low, m, m);
    out["interval_high"] = matrix_of(t.high, m, m);
  }
  return out;
}

// Under --conventional, the sampling adequacy by the JSON document's names;
// None without.
py::object sampling_adequacy(const Handle &h) {
  const Analysis &a = table(h);
  const SamplingAdequacy &q = a.adequacy;
  if (q.msa.empty()) return py::none();
  py::dict out;
  out["n"] = q.n;
  out["bartlett_chi_square"] = q.chi_square;
  out["bartlett_df"] = q.df;
  out["bartlett_p_value"] = q.p_value;
  out["kmo"] = q.kmo;
  out["msa"] = matrix_of(q.msa, 1, a.m);
  out["reason"] = q.reason.empty() ? py::object(py::none()) : py::str(q.reason);
  return out;
}

// Under --rotate, the rotation by the JSON document's names; None without.
py::object rotation_of(const Handle &h) {
  const Analysis &a = table(h);
  const Rotation &r = a.rotation;
  if (r.method == RotationMethod::none) return py::none();
  py::dict out;
  out["method"] = r.method == RotationMethod::promax ? "promax" : "varimax";
  out["components"] = r.count;
  out["iterations"] = r.iterations;
  out["reason"] = r.reason.empty() ? py::object(py::none()) : py::str(r.reason);
  if (!r.reason.empty()) return out;
  out["loadings"] = matrix_of(r.loadings, a.m, r.count);
  out["matrix"] = matrix_of(r.matrix, r.count, r.count);
  out["variance"] = matrix_of(r.variance, 1, r.count);
  out["proportion"] = matrix_of(r.proportion, 1, r.count);
  return out;
}

// Under --conventional, each variable's normality test by the JSON
// document's names; an empty dict without.
py::dict normality(const Handle &h) {
  const Analysis &a = table(h);
  py::dict out;
  if (a.normality.empty()) return out;
  const size_t m = a.normality.size();
  py::list method, untested;
  for (const NormalityTest &t : a.normality) {
    method.append(t.method == NormalityMethod::shapiro_wilk ? "shapiro_wilk" : "dagostino");
    untested.append(t.untested == nullptr ? py::object(py::none()) : py::str(t.untested));
  }
  out["method"] = method;
  out["statistic"] = matrix(m, 1, [&](size_t i, size_t) { return a.normality[i].statistic; });
  out["p_value"] = matrix(m, 1, [&](size_t i, size_t) { return a.normality[i].p; });
  out["untested"] = untested;
  return out;
}

// Under --by and --conventional, the whole table's group tests as columns
// named as the ".sum" file names them; an empty dict otherwise.
py::dict group_tests_of(const Handle &h) {
  const Analysis &a = table(h);
  py::dict out;
  const std::vector<GroupTests> &g = a.group_tests;
  if (g.empty()) return out;
  const auto column = [&](const char *name, auto value) {
    out[name] = matrix(g.size(), 1, [&](size_t i, size_t) { return double(value(g[i])); });
  };
  column("groups", [](const GroupTests &t) { return t.groups; });
  column("count", [](const GroupTests &t) { return t.count; });
  py::list method;
  for (const GroupTests &t : g) method.append(t.groups == 2 ? "t" : "F");
  out["welch_method"] = method;
  const std::pair<const char *, GroupTest GroupTests::*> tests[] = {
      {"welch", &GroupTests::welch},
      {"anova", &GroupTests::anova},
      {"kruskal", &GroupTests::kruskal},
      {"brown_forsythe", &GroupTests::brown_forsythe}};
  for (const auto &[name, member] : tests) {
    const std::string n(name);
    const bool one_df = n == "kruskal";
    column((n + "_statistic").c_str(), [&](const GroupTests &t) { return (t.*member).statistic; });
    column((n + (one_df ? "_df" : "_df1")).c_str(), [&](const GroupTests &t) { return (t.*member).df1; });
    if (!one_df) column((n + "_df2").c_str(), [&](const GroupTests &t) { return (t.*member).df2; });
    column((n + "_p").c_str(), [&](const GroupTests &t) { return (t.*member).p; });
  }
  column("eta_squared", [](const GroupTests &t) { return t.eta_squared; });
  column("cohen_d", [](const GroupTests &t) { return t.cohen_d; });
  return out;
}

py::array_t<int64_t> histogram_counts(const Handle &h) {
  const Analysis &a = table(h);
  py::array_t<int64_t> out({size_t{a.bins}, size_t{a.m}});
  auto o = out.mutable_unchecked<2>();
  for (uint32_t b = 0; b < a.bins; ++b)
    for (uint32_t j = 0; j < a.m; ++j) o(b, j) = a.histogram[b][j];
  return out;
}

py::array_t<double> histogram_edges_of(const Handle &h) {
  const Analysis &a = table(h);
  return matrix(a.bins + size_t{1}, a.m, [&](size_t b, size_t j) {
    return histogram_edges(a.stats[j].min, a.stats[j].max, a.bins)[b];
  });
}

void need_components(const Handle &h) {
  if (!h.r->options.analysis.eigenvalues)
    throw py::value_error("No eigen analysis: analyse with components > 0");
}

py::array_t<double> eigenvalues(const Handle &h) {
  need_components(h);
  const std::vector<double> v = ordered_eigenvalues(table(h));
  py::array_t<double> out(v.size());
  std::copy(v.begin(), v.end(), out.mutable_data());
  return out;
}

py::array_t<double> coefficients(const Handle &h) {
  need_components(h);
  uint32_t N = 0;
  const std::vector<double> c = score_coefficient_rows(*h.r, table(h), N);
  return matrix_of(c, N, N);
}

py::array_t<double> scores(const Handle &h, uint32_t count) {
  need_components(h);
  std::vector<double> s;
  try {
    s = observation_score_rows(*h.r, table(h), count);
  } catch (const RunEnd &end) {
    raise_run_end(end);
  }
  return matrix_of(s, table(h).n, count);
}

template <class Make>
std::string text_of(Make make) {
  try {
    return make();
  } catch (const RunEnd &end) {
    raise_run_end(end);
  }
}

// ---------------------------------------------------------------------------
// A table in parts (vantor.dask): each part's summary and histogram counts,
// merged summaries, and the record finished from what the parts gave.

using Rows = py::array_t<double, py::array::c_style | py::array::forcecast>;

// The rows of a part, C-ordered, without missing values (the caller has
// left those rows out). REQUIRES nothing: checks its shape.
void check_part(const Rows &x) {
  if (x.ndim() != 2) throw py::value_error("A part must be a 2-D array of rows and variables");
  if (x.shape(1) == 0 || x.shape(1) >= INT32_MAX / 2) throw py::value_error("Too few variables");
}

// A summary as a flat vector: m, n, then min, max, mean, M2, M3, M4 (m
// each) and the m x m co-moments; it pickles as an array between workers.
py::array_t<double> flat_summary(const Summary &s) {
  const size_t m = s.m;
  py::array_t<double> out(2 + 6 * m + m * m);
  double *o = out.mutable_data();
  o[0] = s.m;
  o[1] = static_cast<double>(s.n);
  size_t k = 2;
  for (const std::vector<double> *v : {&s.min, &s.max, &s.mean, &s.m2, &s.m3, &s.m4, &s.comoment})
    for (double x : *v) o[k++] = x;
  return out;
}

Summary read_summary(const py::array_t<double, py::array::c_style | py::array::forcecast> &f) {
  if (f.ndim() != 1 || f.size() < 2) throw py::value_error("Not a summary");
  const double *p = f.data();
  const double md = p[0];
  if (!(md >= 1 && md < 65536) || md != std::floor(md)) throw py::value_error("Not a summary");
  const size_t m = static_cast<size_t>(md);
  if (static_cast<size_t>(f.size()) != 2 + 6 * m + m * m) throw py::value_error("Not a summary");
  Summary s = empty_summary(static_cast<uint32_t>(m));
  s.n = static_cast<uint64_t>(p[1]);
  size_t k = 2;
  for (std::vector<double> *v : {&s.min, &s.max, &s.mean, &s.m2, &s.m3, &s.m4, &s.comoment})
    for (double &x : *v) x = p[k++];
  return s;
}

py::array_t<double> summarise_part(const Rows &x) {
  check_part(x);
  Summary s;
  {
    py::gil_scoped_release free;
    s = summarise_rows(x.data(), static_cast<uint64_t>(x.shape(0)),
                       static_cast<uint32_t>(x.shape(1)), static_cast<uint64_t>(x.shape(1)));
  }
  return flat_summary(s);
}

py::array_t<double> merge_parts(const py::array_t<double> &a, const py::array_t<double> &b) {
  const Summary sa = read_summary(a), sb = read_summary(b);
  if (sa.m != sb.m) throw py::value_error("Summaries of different variables");
  return flat_summary(merge_summaries(sa, sb));
}

// A data file in parts (vantor.dask.analyse_files): what the library
// decides once from its start, each part's rows and notes, the notes
// replayed in file order, each part finished, as plain Python values that
// pickle between the workers.

// What describes loaded rows, without them.
py::dict description_dict(const LoadedRows &l) {
  py::dict out;
  out["names"] = l.names;
  out["columns"] = l.source_columns;
  out["skipped"] = l.skipped;
  out["rows_left_out"] = l.rows_left_out;
  out["missing_cells"] = l.missing_cells;
  return out;
}

py::dict reading_dict(const FileReading &r) {
  const Examination &e = r.examination;
  py::dict d;
  d["whole"] = r.whole;
  d["csv"] = r.csv;
  d["separator"] = static_cast<int>(r.separator);
  d["columns"] = e.columns;
  d["has_names"] = e.has_names;
  d["names"] = e.names;
  std::vector<int> uses;
  for (FieldUse u : e.uses) uses.push_back(static_cast<int>(u));
  d["uses"] = uses;
  d["empty"] = e.empty;
  d["order"] = e.order;
  d["analysed"] = e.analysed;
  d["group"] = e.group;
  d["column_names"] = r.column_names;
  d["first_capacity"] = r.first_capacity;
  std::vector<std::pair<uint64_t, uint64_t>> parts;
  for (const FilePart &p : r.parts) parts.emplace_back(p.begin, p.end);
  d["parts"] = parts;
  return d;
}

FileReading reading_of(const py::dict &d) {
  FileReading r;
  Examination &e = r.examination;
  r.whole = d["whole"].cast<bool>();
  r.csv = d["csv"].cast<bool>();
  r.separator = static_cast<char>(d["separator"].cast<int>());
  e.columns = d["columns"].cast<uint32_t>();
  e.has_names = d["has_names"].cast<bool>();
  e.names = d["names"].cast<std::vector<std::string>>();
  for (int u : d["uses"].cast<std::vector<int>>()) {
    if (u < 0 || u > static_cast<int>(FieldUse::group)) throw py::value_error("Not a file reading");
    e.uses.push_back(static_cast<FieldUse>(u));
  }
  e.empty = d["empty"].cast<std::vector<bool>>();
  e.order = d["order"].cast<std::vector<uint32_t>>();
  e.analysed = d["analysed"].cast<uint32_t>();
  e.group = d["group"].cast<uint32_t>();
  r.column_names = d["column_names"].cast<std::vector<std::string>>();
  r.first_capacity = d["first_capacity"].cast<int64_t>();
  for (const auto &[b, e2] : d["parts"].cast<std::vector<std::pair<uint64_t, uint64_t>>>())
    r.parts.push_back(FilePart{b, e2});
  return r;
}

using NoteTuple = std::tuple<int, uint64_t, uint64_t, bool, bool, bool>;
using TallyTuple = std::tuple<uint64_t, uint64_t, uint64_t, uint64_t, std::vector<uint64_t>>;
using CellTuple = std::tuple<uint32_t, uint32_t, uint64_t, std::string>;

TallyTuple tally_tuple(const RowTally &t) {
  return {t.rows, t.records, t.left_out, t.previous, t.missing_cells};
}

RowTally tally_of(const TallyTuple &t) {
  RowTally out;
  std::tie(out.rows, out.records, out.left_out, out.previous, out.missing_cells) = t;
  return out;
}

std::vector<CellTuple> cell_tuples(const std::vector<TextCell> &cells) {
  std::vector<CellTuple> out;
  for (const TextCell &c : cells) out.emplace_back(c.value, c.field, c.line, c.text);
  return out;
}

std::vector<TextCell> cells_of(const std::vector<CellTuple> &cells) {
  std::vector<TextCell> out;
  for (const auto &[value, field, line, text] : cells) out.push_back(TextCell{value, field, line, text});
  return out;
}

// What a part noted, small enough for the driver.
py::dict notes_dict(const LoadedPart &p) {
  std::vector<NoteTuple> notes;
  for (const LoadNote &n : p.load.noted.notes)
    notes.emplace_back(static_cast<int>(n.kind), n.number, n.facts.values, n.facts.truncated,
                       n.facts.missing, n.facts.cut_off);
  py::dict d;
  d["notes"] = notes;
  d["tally"] = tally_tuple(p.load.noted.tally);
  d["cells"] = cell_tuples(p.load.text_cells);
  d["refused"] = p.load.refused;
  d["error"] = p.error;
  return d;
}

RangeLoad range_load_of(const py::dict &d) {
  RangeLoad r;
  for (const auto &[kind, number, values, truncated, missing, cut_off] :
       d["notes"].cast<std::vector<NoteTuple>>()) {
    if (kind < 0 || kind > LoadNote::error) throw py::value_error("Not a part's notes");
    r.noted.notes.push_back(LoadNote{static_cast<LoadNote::Kind>(kind), number,
                                     RecordFacts{values, truncated, missing, cut_off, nullptr}});
  }
  r.noted.tally = tally_of(d["tally"].cast<TallyTuple>());
  r.text_cells = cells_of(d["cells"].cast<std::vector<CellTuple>>());
  r.refused = d["refused"].cast<bool>();
  return r;
}

py::dict plan_file(const std::string &path, const py::dict &options, uint64_t part_bytes) {
  const Switches sw = options_of(options);
  FileReading r;
  compute([&] { r = read_file_start(path, sw, part_bytes); });
  return reading_dict(r);
}

// Part k of a file: its rows (all the room's columns), per row 1 for a
// missing value, and what it noted.
py::dict load_part(const std::string &path, const py::dict &options, const py::dict &reading,
                   uint32_t k) {
  const Switches sw = options_of(options);
  const FileReading r = reading_of(reading);
  LoadedPart p;
  compute([&] { p = load_file_part(path, sw, r, k); });
  const uint64_t n = p.load.refused ? 0 : p.load.noted.tally.rows;
  const size_t c = p.table.columns;
  // The loader's matrix becomes the array's memory, rows one after another.
  double *block = p.table.data.block.release();
  py::capsule owner(block, [](void *b) { std::free(b); });
  py::array_t<double> rows({size_t{n}, c}, block, owner);
  std::vector<uint8_t> marks(p.missing_rows.begin(),
                             p.missing_rows.begin() + std::min<size_t>(n, p.missing_rows.size()));
  py::dict out;
  out["rows"] = rows;
  out["missing"] = py::array_t<uint8_t>(marks.size(), marks.data());
  out["notes"] = notes_dict(p);
  return out;
}

py::dict settled_dict(const SettledParts &s) {
  py::dict d;
  d["kept"] = s.kept;
  d["cells"] = cell_tuples(s.cells);
  d["m"] = s.m;
  d["refused"] = s.refused;
  return d;
}

SettledParts settled_of(const py::dict &d) {
  SettledParts s;
  s.kept = d["kept"].cast<std::vector<bool>>();
  s.cells = cells_of(d["cells"].cast<std::vector<CellTuple>>());
  s.m = d["m"].cast<uint32_t>();
  s.refused = d["refused"].cast<bool>();
  return s;
}

// The parts' notes replayed in file order: the first error of the one
// pass raised, naming the file.
py::dict settle_parts(const std::string &path, const py::dict &options, const py::dict &reading,
                      const std::vector<py::dict> &notes) {
  const Switches sw = options_of(options);
  const FileReading r = reading_of(reading);
  std::vector<RangeLoad> parts;
  std::vector<std::string> errors;
  for (const py::dict &d : notes) {
    parts.push_back(range_load_of(d));
    errors.push_back(d["error"].cast<std::string>());
  }
  SettledParts s;
  compute([&] { s = settle_file_parts(path, sw, r, parts, errors); });
  return settled_dict(s);
}

// Part k's rows as the file's loading leaves them, and what describes them
// (as load_rows gives a whole file's).
py::dict finish_part(const std::string &path, const py::dict &options, const py::dict &reading,
                     const py::dict &settled, uint32_t k, const py::dict &part) {
  const Switches sw = options_of(options);
  const FileReading r = reading_of(reading);
  const SettledParts s = settled_of(settled);
  // The loaded part stays as it was: the finishing rewrites a copy.
  py::array_t<double> rows = py::array_t<double>::ensure(
      py::module_::import("numpy").attr("array")(part["rows"], "float64", py::arg("order") = "C"));
  const auto marks = part["missing"].cast<py::array_t<uint8_t>>();
  const std::vector<uint8_t> missing(marks.data(), marks.data() + marks.size());
  const RowTally tally = tally_of(part["notes"].cast<py::dict>()["tally"].cast<TallyTuple>());
  if (rows.ndim() != 2 || rows.shape(1) != r.examination.analysed)
    throw py::value_error("Not the rows of a part of this file");
  LoadedRows l;
  double *x = rows.mutable_data();
  compute([&] {
    l = finish_file_part(path, sw, r, s, k, x, static_cast<uint64_t>(rows.shape(0)), missing, tally);
  });
  py::dict out = description_dict(l);
  // The first n rows in place; a copy only when a column was taken out.
  py::object kept = rows[py::slice(0, static_cast<py::ssize_t>(l.n), 1)];
  if (l.m != r.examination.analysed)
    kept = py::module_::import("numpy").attr("ascontiguousarray")(
        kept[py::make_tuple(py::slice(py::none(), py::none(), py::none()),
                            py::slice(0, static_cast<py::ssize_t>(l.m), 1))]);
  out["rows"] = kept;
  return out;
}

void check_rows_left(const std::string &path, const py::dict &options, const py::dict &reading,
                     const py::dict &settled, uint64_t n, uint64_t rows_left_out,
                     const std::vector<uint64_t> &missing_cells) {
  const Switches sw = options_of(options);
  const FileReading r = reading_of(reading);
  const SettledParts s = settled_of(settled);
  compute([&] { check_file_rows(path, sw, r, s, n, rows_left_out, missing_cells); });
}

// A data file's rows and what describes them, loaded by the program's own
// loader on whichever worker runs this (vantor.dask.analyse_files).
py::dict load_rows(const std::string &path, const py::dict &options) {
  const Switches sw = options_of(options);
  LoadedRows l;
  compute([&] { l = load_file_rows(path, sw); });
  py::array_t<double> rows({size_t{l.n}, size_t{l.m}});
  std::copy(l.values.begin(), l.values.end(), rows.mutable_data());
  py::dict out = description_dict(l);
  out["rows"] = rows;
  return out;
}

// The scans of vantor.dask as (kind, column, lo, hi, shift, distance,
// centre) tuples, kind 0 count, 1 gather, 2 signs, 3 sums, distance 1 for
// a scan of |x - centre|; answered in one sweep of the part without the
// GIL: a count as (counts, least key, greatest key), a gather as its
// values, signs as 0/1 bytes, sums as {"counts": (at or below lo, between),
// "sums": the long double sum as two doubles}.
using ScanTuple = std::tuple<uint32_t, uint32_t, uint64_t, uint64_t, uint32_t, int, double>;
using ScanTuples = std::vector<ScanTuple>;

// A long double as two doubles whose sum it is (to the bits of the two),
// and back: what a pickled array carries between workers.
py::array_t<double> split_sum(long double sum) {
  const double high = static_cast<double>(sum);
  const double low = static_cast<double>(sum - high);
  py::array_t<double> out(2);
  out.mutable_data()[0] = high;
  out.mutable_data()[1] = low;
  return out;
}

long double joined_sum(const py::array_t<double, py::array::c_style | py::array::forcecast> &v) {
  if (v.ndim() != 1 || v.size() != 2) throw py::value_error("A sum is two doubles");
  return static_cast<long double>(v.data()[0]) + v.data()[1];
}

py::array_t<double> add_sums(
    const py::array_t<double, py::array::c_style | py::array::forcecast> &a,
    const py::array_t<double, py::array::c_style | py::array::forcecast> &b) {
  return split_sum(joined_sum(a) + joined_sum(b));
}

py::list scan_of_part(const Rows &x, const ScanTuples &tuples) {
  check_part(x);
  std::vector<KeyScan> scans;
  for (const auto &[kind, column, lo, hi, shift, distance, centre] : tuples) {
    if (kind > 3) throw py::value_error("A scan kind is 0, 1, 2 or 3");
    scans.push_back(
        KeyScan{static_cast<ScanKind>(kind), column, lo, hi, shift, distance != 0, centre});
  }
  std::vector<ScanAnswer> found;
  try {
    py::gil_scoped_release free;
    found = scan_part(x.data(), static_cast<uint64_t>(x.shape(0)),
                      static_cast<uint32_t>(x.shape(1)), scans);
  } catch (const std::invalid_argument &e) {
    throw py::value_error(e.what());
  }
  py::list out;
  for (size_t i = 0; i < scans.size(); ++i) {
    const ScanAnswer &a = found[i];
    if (scans[i].kind == ScanKind::count)
      out.append(py::make_tuple(py::array_t<int64_t>(a.counts.size(), a.counts.data()), a.min_key,
                                a.max_key));
    else if (scans[i].kind == ScanKind::gather)
      out.append(py::array_t<double>(a.values.size(), a.values.data()));
    else if (scans[i].kind == ScanKind::signs)
      out.append(py::array_t<uint8_t>(a.signs.size(), a.signs.data()));
    else
      out.append(py::dict(py::arg("counts") = py::array_t<int64_t>(2, a.counts.data()),
                          py::arg("sums") = split_sum(a.sum)));
  }
  return out;
}

// A variable's sorted values at part_positions(n, true), checked.
const std::vector<double> &robust_order_values(uint64_t n, const std::vector<double> &values) {
  if (n == 0 || values.size() != part_positions(n, true).size())
    throw py::value_error("Order values of the wrong count");
  return values;
}

// The sums scans of a column's trimmed means, kTrims' order, from its
// sorted values at part_positions(n, true): the keys of each trim's bounds.
ScanTuples trim_scans(uint64_t n, uint32_t column, const std::vector<double> &values) {
  const std::vector<uint64_t> positions = part_positions(n, true);
  const KnownPositions at{positions, robust_order_values(n, values)};
  ScanTuples out;
  for (double trim : kTrims) {
    const auto [first, last] = trim_bounds(n, trim);
    out.emplace_back(3, column, order_key(at[first]), order_key(at[last]), 0, 0, 0.0);
  }
  return out;
}

double robust_centre_of(uint64_t n, const std::vector<double> &values) {
  return robust_centre(n, part_positions(n, true), robust_order_values(n, values));
}

double value_at_rank_of(const py::array_t<double, py::array::c_style | py::array::forcecast> &v,
                        uint64_t rank) {
  if (v.ndim() != 1 || rank >= static_cast<uint64_t>(v.size()))
    throw py::value_error("No value at that rank");
  return value_at_rank(std::vector<double>(v.data(), v.data() + v.size()), rank);
}

// A record of m variables without rows of its own, for counting one part's
// histogram over the part's rows (borrowed).
Analysis part_record(uint32_t m, uint32_t bins, const Console &con) {
  MemoryTally tally;
  Analysis a = make_analysis(0, m, WorkArraySettings{bins, false, usable_memory()}, tally, con);
  a.m = m;
  return a;
}

// The histogram counts (B x m) of a part's rows with the bins placed by the
// whole table's extremes, as count_histogram places them.
py::array_t<int64_t> histogram_part(const Rows &x, const std::vector<double> &min,
                                    const std::vector<double> &max, uint32_t bins) {
  check_part(x);
  const uint32_t m = static_cast<uint32_t>(x.shape(1));
  if (min.size() != m || max.size() != m || bins == 0) throw py::value_error("Bad histogram bounds");
  if (x.shape(0) >= INT32_MAX) throw py::value_error("Too many rows in one part");
  const Console con{nullptr, nullptr, true};
  Analysis a = part_record(m, bins, con);
  struct Borrow {
    Analysis &a;
    ~Borrow() { (void)a.data.block.release(); }
  } borrow{a};
  a.data.block.reset(const_cast<double *>(x.data()));
  a.n = static_cast<uint32_t>(x.shape(0));
  if (a.n > 0) {
    py::gil_scoped_release free;
    count_histogram(a, Extremes{min, max}, false, con);
  }
  py::array_t<int64_t> out({size_t{bins}, size_t{m}});
  auto o = out.mutable_unchecked<2>();
  for (uint32_t b = 0; b < bins; ++b)
    for (uint32_t j = 0; j < m; ++j) o(b, j) = a.histogram[b][j];
  return out;
}

// A trimmed mean's sums over the parts: the values at or below its lower
// bound, those strictly between the bounds and their sum as two doubles.
using TrimTuple = std::tuple<uint64_t, uint64_t, double, double>;

// The analysis of a table in parts from its merged summary, its histogram
// counts and, per variable, the sorted values at part_positions(n,
// conventional); under conventional, per variable too, each trim's sums,
// the distances at median_positions(n) and (up to SHAPIRO_WILK_MOST rows)
// every value.
std::unique_ptr<Handle> finish(const py::array_t<double> &summary,
                               const py::array_t<int64_t, py::array::c_style | py::array::forcecast> &counts,
                               const std::vector<std::vector<double>> &order_values,
                               const std::vector<std::string> &names,
                               const std::vector<int32_t> &columns,
                               const std::vector<std::pair<uint32_t, std::string>> &skipped,
                               const py::dict &options, const std::string &data_file,
                               uint64_t rows_left_out, const std::vector<uint64_t> &missing_cells,
                               const std::vector<std::vector<TrimTuple>> &trims,
                               const std::vector<std::vector<double>> &distances,
                               const std::vector<std::vector<double>> &normality_values) {
  const Switches sw = options_of(options);
  TableParts p;
  if (trims.size() != distances.size())
    throw py::value_error("One trim list and distance list per variable");
  for (size_t j = 0; j < trims.size(); ++j) {
    if (trims[j].size() != std::size(kTrims)) throw py::value_error("One sum per trim");
    RobustParts r;
    for (size_t k = 0; k < trims[j].size(); ++k) {
      const auto &[below, between, high, low] = trims[j][k];
      r.trims[k] = TrimSums{below, between, static_cast<long double>(high) + low};
    }
    r.distances = distances[j];
    p.robust.push_back(std::move(r));
  }
  p.normality_values = normality_values;
  p.summary = read_summary(summary);
  if (counts.ndim() != 2) throw py::value_error("Histogram counts of the wrong shape");
  p.counts.assign(counts.data(), counts.data() + counts.size());
  p.order_values = order_values;
  p.names = names;
  p.source_columns = columns;
  p.skipped = skipped;
  p.rows_left_out = rows_left_out;
  p.missing_cells = missing_cells;
  auto h = std::make_unique<Handle>();
  compute([&] { h->r = finish_parts(p, sw, data_file); });
  h->arguments = arguments_of(sw, data_file);
  return h;
}

}  // namespace

PYBIND11_MODULE(_vantor, mod) {
  mod.doc() = "The compiled core of the vantor package; use vantor.analyse.";
  settle_isa();
  py::class_<Handle, std::unique_ptr<Handle>>(mod, "Handle")
      .def_property_readonly("n", [](const Handle &h) { return table(h).n; })
      .def_property_readonly("m", [](const Handle &h) { return table(h).m; })
      .def_property_readonly("bins", [](const Handle &h) { return table(h).bins; })
      .def_property_readonly("rows_left_out",
                             [](const Handle &h) { return table(h).rows_left_out; })
      .def_property_readonly("names", [](const Handle &h) { return table(h).names; })
      .def_property_readonly("columns",
                             [](const Handle &h) {
                               const Analysis &a = table(h);
                               return std::vector<int32_t>(a.variable_to_file.get(),
                                                           a.variable_to_file.get() + a.m);
                             })
      .def_property_readonly("components",
                             [](const Handle &h) { return h.r->options.analysis.eigenvalues; })
      .def_property_readonly("scores_written", [](const Handle &h) { return scores_written(*h.r); })
      .def_property_readonly("log", [](const Handle &h) { return h.r->log; })
      .def("statistics",
           [](const Handle &h) { return matrix_of(statistics_rows(table(h)), table(h).m, 10); })
      .def("covariance",
           [](const Handle &h) {
             const Analysis &a = table(h);
             return matrix(a.m, a.m, [&](size_t i, size_t j) { return a.covariance[i][j]; });
           })
      .def("correlation",
           [](const Handle &h) {
             const Analysis &a = table(h);
             return matrix(a.m, a.m, [&](size_t i, size_t j) { return a.correlation[i][j]; });
           })
      .def("robust",
           [](const Handle &h) {
             return matrix_of(robust_rows(table(h)), table(h).robust.size(), 11);
           })
      .def("pair_tests", &pair_tests)
      .def("sampling_adequacy", &sampling_adequacy)
      .def("rotation", &rotation_of)
      .def("normality", &normality)
      .def("group_tests", &group_tests_of)
      .def("histogram_counts", &histogram_counts)
      .def("histogram_edges", &histogram_edges_of)
      .def("eigenvalues", &eigenvalues)
      .def("total", [](const Handle &h) { return table(h).eigen.total; })
      .def("loadings",
           [](const Handle &h) {
             need_components(h);
             return matrix_of(ordered_loadings(table(h)), table(h).m, table(h).m);
           })
      .def("score_coefficients", &coefficients)
      .def("scores", &scores)
      .def_property_readonly("groups", &groups_of)
      .def("to_json",
           [](const Handle &h) { return text_of([&] { return json_document(whole(h)); }); })
      .def("to_html",
           [](const Handle &h, const std::string &name) {
             return text_of([&] { return report_html(whole(h), name, h.arguments); });
           })
      .def("write", [](const Handle &h, const std::string &directory, const std::string &name) {
        return text_of([&] { return write_result_files(whole(h), directory, name, h.arguments); });
      });
  mod.def("summarise", &summarise_part, py::arg("rows"));
  mod.def("merge", &merge_parts, py::arg("a"), py::arg("b"));
  mod.def("histogram", &histogram_part, py::arg("rows"), py::arg("min"), py::arg("max"),
          py::arg("bins"));
  mod.def("order_positions", &part_positions, py::arg("n"), py::arg("conventional") = false);
  mod.def("median_positions", &median_positions, py::arg("n"));
  mod.def("robust_centre", &robust_centre_of, py::arg("n"), py::arg("values"));
  mod.def("trim_scans", &trim_scans, py::arg("n"), py::arg("column"), py::arg("values"));
  mod.def("add_sums", &add_sums, py::arg("a"), py::arg("b"));
  mod.attr("SHAPIRO_WILK_MOST") = kShapiroWilkMost;
  mod.def("load_rows", &load_rows, py::arg("path"), py::arg("options"));
  mod.def("plan_file", &plan_file, py::arg("path"), py::arg("options"), py::arg("part_bytes"));
  mod.def("load_part", &load_part, py::arg("path"), py::arg("options"), py::arg("reading"),
          py::arg("k"));
  mod.def("settle_parts", &settle_parts, py::arg("path"), py::arg("options"), py::arg("reading"),
          py::arg("notes"));
  mod.def("finish_part", &finish_part, py::arg("path"), py::arg("options"), py::arg("reading"),
          py::arg("settled"), py::arg("k"), py::arg("part"));
  mod.def("check_rows_left", &check_rows_left, py::arg("path"), py::arg("options"),
          py::arg("reading"), py::arg("settled"), py::arg("n"), py::arg("rows_left_out"),
          py::arg("missing_cells"));
  mod.def("scan", &scan_of_part, py::arg("rows"), py::arg("scans"));
  mod.def("scan_shift", &scan_shift, py::arg("lo"), py::arg("hi"));
  mod.def("value_at_rank", &value_at_rank_of, py::arg("values"), py::arg("rank"));
  mod.def("key_value", &key_value, py::arg("key"));
  mod.def("finish", &finish, py::arg("summary"), py::arg("counts"), py::arg("order_values"),
          py::arg("names"), py::arg("columns"), py::arg("skipped"), py::arg("options"),
          py::arg("data_file"), py::arg("rows_left_out"), py::arg("missing_cells"),
          py::arg("trims") = std::vector<std::vector<TrimTuple>>{},
          py::arg("distances") = std::vector<std::vector<double>>{},
          py::arg("normality_values") = std::vector<std::vector<double>>{});
  mod.def("analyse_file", &analyse_file, py::arg("path"), py::arg("options"));
  mod.def("analyse_array", &analyse_array, py::arg("array"), py::arg("names"), py::arg("columns"),
          py::arg("skipped"), py::arg("labels"), py::arg("group_values"), py::arg("group_column"),
          py::arg("options"), py::arg("data_file"));
}
