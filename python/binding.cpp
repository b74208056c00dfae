// The compiled module vantor._vantor: one analysed table as a handle over the
// library's record, made from a data file or a 2-D float64 array, and the
// record's numbers and documents handed back. Conversion from pandas, names
// and the result object live in the pure-Python package.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/messages.h"
#include "cli/options.h"
#include "eigen/scores.h"
#include "input/load.h"
#include "output/jsonout.h"
#include "output/report.h"
#include "output/report_data.h"
#include "output/statsout.h"
#include "pipeline.h"
#include "record/memlimit.h"
#include "record/workers.h"
#include "stats/histogram.h"
#include "stats/isa.h"
#include "stats/orderstats.h"
#include "stats/summary.h"

namespace py = pybind11;

namespace {

// One analysed table. When the data matrix is the caller's array (borrowed,
// not copied), `keep` holds the array and the block is let go, not freed.
struct Handle {
  Analysis a;
  Switches sw;
  std::string data_file;  // as the documents name it
  std::string arguments;  // the switches and the data file, as the page shows them
  std::string log;        // what the run said on its console
  py::object keep;
  bool borrowed = false;
  bool no_rows = false;   // made from the parts of a table: no data matrix
  Handle() = default;
  Handle(const Handle &) = delete;
  ~Handle() {
    if (borrowed) (void)a.data.block.release();
  }
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

// The switches the module may hand to the parser: those that only set a
// value. The parser's others print, end the process or show the usage.
bool allowed_switch(const std::string &s) {
  static const char *const exact[] = {"-b", "-c", "-v", "-f", "-h", "-n", "--pearson", "--csv",
                                      "--comma-decimals", "--names", "--numbers-only", "--json",
                                      "--report", "--oldtetrad", "--quartiles"};
  for (const char *e : exact)
    if (s == e) return true;
  static const char *const valued[] = {"--threads=", "--separator=", "--columns=",
                                       "--skip-columns=", "--missing="};
  for (const char *v : valued)
    if (s.rfind(v, 0) == 0 && s.size() > std::strlen(v)) return true;
  if ((s.rfind("-e", 0) == 0 || s.rfind("-h", 0) == 0) && s.size() > 2)
    return s.find_first_not_of("0123456789", 2) == std::string::npos;
  return false;
}

Switches parse(const std::vector<std::string> &args) {
  static std::mutex getopt_lock;  // getopt keeps its scan in globals
  std::vector<std::string> text{"vantor"};
  for (const std::string &s : args) {
    if (!allowed_switch(s)) throw py::value_error("Switch not available from Python: " + s);
    text.push_back(s);
  }
  std::vector<char *> argv;
  for (std::string &s : text) argv.push_back(s.data());
  argv.push_back(nullptr);
  std::lock_guard<std::mutex> hold(getopt_lock);
  Switches sw = parse_switches(static_cast<int>(text.size()), argv.data()).switches;
  sw.no_log = true;
  return sw;
}

std::string join_arguments(const std::vector<std::string> &args, const std::string &data_file) {
  std::vector<std::string> words{"vantor"};
  words.insert(words.end(), args.begin(), args.end());
  if (!data_file.empty()) words.push_back(data_file);
  std::vector<char *> argv;
  for (std::string &w : words) argv.push_back(w.data());
  return argument_text(static_cast<int>(argv.size()), argv.data());
}

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

// The statistics, the matrices and, with -e, the components of a loaded
// record, with the console lines of the run (quiet) collected into `log`.
void analyse_loaded(Handle &h, const Console &con, Workers &w) {
  compute_statistics(h.a, h.sw, con, w);
  if (h.sw.eigenvalues) compute_components(h.a);
}

std::unique_ptr<Handle> analyse_file(const std::string &path, const std::vector<std::string> &args) {
  auto h = std::make_unique<Handle>();
  h->sw = parse(args);
  h->data_file = path;
  h->arguments = join_arguments(args, path);
  MemoryText text;
  compute([&] {
    Workers workers(settle_thread_count(h->sw.threads));
    RunState run = make_run_state(h->sw);
    run.workers = &workers;
    const Console con{text.fp, text.fp, true};
    h->a = load_data_file(path.c_str(), h->sw, run, con);
    analyse_loaded(*h, con, workers);
  });
  h->log = text.take();
  return h;
}

// Rows of the array holding a NaN (a missing value) are left out whole, and
// each column's NaN are counted into `per_column`; an infinity is refused,
// naming its 1-based row and column.
std::vector<uint8_t> missing_rows(const py::detail::unchecked_reference<double, 2> &x,
                                  std::vector<uint64_t> &per_column) {
  std::vector<uint8_t> missing(static_cast<size_t>(x.shape(0)), 0);
  per_column.assign(static_cast<size_t>(x.shape(1)), 0);
  for (py::ssize_t r = 0; r < x.shape(0); ++r)
    for (py::ssize_t j = 0; j < x.shape(1); ++j) {
      const double v = x(r, j);
      if (std::isinf(v))
        throw py::value_error("Infinite value in row " + std::to_string(r + 1) + ", column " +
                              std::to_string(j + 1));
      if (std::isnan(v)) {
        missing[static_cast<size_t>(r)] = 1;
        ++per_column[static_cast<size_t>(j)];
      }
    }
  return missing;
}

std::unique_ptr<Handle> analyse_array(py::array_t<double> array,
                                      const std::vector<std::string> &names,
                                      const std::vector<int32_t> &columns,
                                      const std::vector<std::pair<uint32_t, std::string>> &skipped,
                                      const std::vector<std::string> &args,
                                      const std::string &data_file) {
  if (array.ndim() != 2) throw py::value_error("The data must be a 2-D array of rows and variables");
  const auto x = array.unchecked<2>();
  const py::ssize_t rows = x.shape(0), vars = x.shape(1);
  if (rows == 0 || vars == 0) throw py::value_error("Too few variables");
  // Counts are 32-bit in the record: one row less than that is the most.
  if (rows >= INT32_MAX || vars >= INT32_MAX / 2)
    throw py::value_error("Too many rows or variables for one analysis");
  if (names.size() != static_cast<size_t>(vars) || columns.size() != static_cast<size_t>(vars))
    throw py::value_error("One name and one column number per variable are needed");
  auto h = std::make_unique<Handle>();
  h->sw = parse(args);
  h->data_file = data_file;
  h->arguments = join_arguments(args, data_file);
  const uint32_t m = static_cast<uint32_t>(vars);
  MemoryText text;
  compute([&] {
    std::vector<uint64_t> per_column;
    const std::vector<uint8_t> missing = missing_rows(x, per_column);
    uint64_t kept = 0;
    for (uint8_t gone : missing) kept += !gone;
    const bool borrow = kept == static_cast<uint64_t>(rows) &&
                        (array.flags() & py::array::c_style) != 0;
    const Console con{text.fp, text.fp, true};
    MemoryTally tally;
    const WorkArraySettings settings{h->sw.bins, false, usable_memory()};
    h->a = make_analysis(borrow ? 0 : static_cast<uint32_t>(kept), m, settings, tally, con);
    Analysis &a = h->a;
    build_column_maps(a, h->sw, con);
    for (uint32_t j = 0; j < m; ++j) a.variable_to_file[j] = columns[j];
    for (const auto &[column, name] : skipped) a.skipped.push_back(SkippedColumn{column, name, false});
    if (borrow) {
      a.data.block.reset(const_cast<double *>(x.data(0, 0)));
      h->borrowed = true;
      a.capacity = static_cast<uint32_t>(rows);
    } else {
      uint64_t k = 0;
      for (py::ssize_t r = 0; r < rows; ++r) {
        if (missing[static_cast<size_t>(r)]) continue;
        double *to = a.data[k++];
        for (uint32_t j = 0; j < m; ++j) to[j] = x(r, j);
      }
    }
    a.n = static_cast<uint32_t>(kept);
    a.m = m;
    a.rows_left_out = static_cast<uint64_t>(rows) - kept;
    a.missing_cells = per_column;
    for (const std::string &name : names)
      if (!name.empty()) a.names = names;  // else unnamed, as a file without names
    if (a.rows_left_out > 0)
      say(con, "Left out %lu rows with missing values\n",
          static_cast<unsigned long>(a.rows_left_out));
    Workers workers(settle_thread_count(h->sw.threads));
    analyse_loaded(*h, con, workers);
  });
  if (h->borrowed) h->keep = array;
  h->log = text.take();
  return h;
}

// The component scores and the standardized data read the rows, which a
// table in parts does not hold in one place.
void need_rows(const Handle &h, bool needed, const char *what) {
  if (h.no_rows && needed)
    throw py::value_error(std::string(what) +
                          " needs the rows, which stay in the parts of the table: analyse with "
                          "components=0, or use vantor.analyse on the rows");
}

uint32_t scores_written(const Handle &h) {
  if (!h.sw.eigenvalues) return h.sw.scores;
  return adjusted_scores_count(h.sw.scores, score_limit(h.a, h.sw.four), h.sw.allscores);
}

std::string to_json(const Handle &h) {
  MemoryText text;
  JsonContext ctx = json_context(h.a, h.sw, scores_written(h));
  ctx.data_file = h.data_file;
  write_json_document(text.fp, h.a, ctx);
  return text.take();
}

OutputPlace place_in(const Handle &h, const std::string &directory, const std::string &name) {
  return OutputPlace{h.data_file, directory.empty() ? name : directory + "/" + name};
}

std::string to_html(const Handle &h, const std::string &name) {
  need_rows(h, h.sw.eigenvalues, "The page's score plot");
  const ReportRun run{h.arguments, report_date(std::time(nullptr))};
  return report_page(report_input(h.a, place_in(h, "", name), h.sw, run));
}

// The result files of the command line with the same switches, named
// DIRECTORY/NAME.ext; returns the lines the run would print for them.
std::string write_files(const Handle &h, const std::string &directory, const std::string &name) {
  need_rows(h, h.sw.eigenvalues || h.sw.stddev, "Writing \".sco\" or \".std\"");
  MemoryText text;
  try {
    const Console con{text.fp, text.fp, false};
    RunState run = make_run_state(h.sw);
    run.arguments = h.arguments;
    write_results(h.a, place_in(h, directory, name), h.sw, run, con);
  } catch (const RunEnd &end) {
    raise_run_end(end);
  }
  return text.take();
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

py::array_t<double> statistics(const Handle &h) {
  return matrix(h.a.m, 10, [&](size_t i, size_t j) {
    const VariableStats &s = h.a.stats[i];
    const double v[] = {s.mean, s.variance, s.stddev, s.min, s.max, s.skewness,
                        s.curtosis, s.median, s.lower_quartile, s.upper_quartile};
    return v[j];
  });
}

py::array_t<int64_t> histogram_counts(const Handle &h) {
  py::array_t<int64_t> out({size_t{h.a.bins}, size_t{h.a.m}});
  auto o = out.mutable_unchecked<2>();
  for (uint32_t b = 0; b < h.a.bins; ++b)
    for (uint32_t j = 0; j < h.a.m; ++j) o(b, j) = h.a.histogram[b][j];
  return out;
}

py::array_t<double> histogram_edges_of(const Handle &h) {
  return matrix(h.a.bins + size_t{1}, h.a.m, [&](size_t b, size_t j) {
    return histogram_edges(h.a.stats[j].min, h.a.stats[j].max, h.a.bins)[b];
  });
}

void need_components(const Handle &h) {
  if (!h.sw.eigenvalues) throw py::value_error("No eigen analysis: analyse with components > 0");
}

// Eigenvalues in descending order (as every output lists them).
py::array_t<double> eigenvalues(const Handle &h) {
  need_components(h);
  py::array_t<double> out(size_t{h.a.m});
  for (uint32_t u = 0; u < h.a.m; ++u)
    out.mutable_data()[u] = h.a.eigen.values[h.a.components.order[u]];
  return out;
}

py::array_t<double> loadings(const Handle &h) {
  need_components(h);
  const uint32_t m = h.a.m;
  return matrix(m, m, [&](size_t i, size_t u) {
    return h.a.components.loadings[i * m + static_cast<size_t>(h.a.components.order[u])];
  });
}

py::array_t<double> coefficients(const Handle &h) {
  need_components(h);
  const uint32_t N = score_limit(h.a, h.sw.four);
  const std::vector<double> c = score_coefficients(h.a, N, N);
  return matrix(N, N, [&](size_t j, size_t u) { return c[j * N + u]; });
}

// The first `count` scores of every observation as ".sco" has them.
py::array_t<double> scores(const Handle &h, uint32_t count) {
  need_components(h);
  need_rows(h, true, "The component scores");
  const uint32_t N = score_limit(h.a, h.sw.four);
  if (count == 0 || count > N) throw py::value_error("The score count must be 1 to " + std::to_string(N));
  const ScoreBasis basis = score_basis(h.a, N, count, h.sw.scores_mean);
  py::array_t<double> out({size_t{h.a.n}, size_t{count}});
  double *o = out.mutable_data();
  for (uint32_t r = 0; r < h.a.n; ++r) observation_scores(basis, h.a.data[r], o + size_t{r} * count);
  return out;
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

// A record of m variables without rows of its own, for finishing a table in
// parts or counting one part's histogram over the part's rows (borrowed).
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

// The record of a table in parts from its merged summary, its histogram
// counts and, per variable, the sorted values at order_positions(n).
std::unique_ptr<Handle> finish_parts(const py::array_t<double> &summary,
                                     const py::array_t<int64_t, py::array::c_style | py::array::forcecast> &counts,
                                     const std::vector<std::vector<double>> &order_values,
                                     const std::vector<std::string> &names,
                                     const std::vector<int32_t> &columns,
                                     const std::vector<std::pair<uint32_t, std::string>> &skipped,
                                     const std::vector<std::string> &args,
                                     const std::string &data_file, uint64_t rows_left_out,
                                     const std::vector<uint64_t> &missing_cells) {
  const Summary s = read_summary(summary);
  const uint32_t m = s.m;
  if (s.n == 0) throw py::value_error("Too few variables");
  if (s.n >= INT32_MAX) throw py::value_error("Too many rows for one analysis");
  if (names.size() != m || columns.size() != m || order_values.size() != m)
    throw py::value_error("One name, column and order list per variable are needed");
  auto h = std::make_unique<Handle>();
  h->sw = parse(args);
  h->data_file = data_file;
  h->arguments = join_arguments(args, data_file);
  h->no_rows = true;
  if (counts.ndim() != 2 || counts.shape(0) != h->sw.bins || counts.shape(1) != m)
    throw py::value_error("Histogram counts of the wrong shape");
  const std::vector<uint64_t> positions = order_positions(s.n);
  for (const std::vector<double> &v : order_values)
    if (v.size() != positions.size()) throw py::value_error("Order values of the wrong count");
  const auto c = counts.unchecked<2>();
  MemoryText text;
  compute([&] {
    const Console con{text.fp, text.fp, true};
    h->a = part_record(m, h->sw.bins, con);
    Analysis &a = h->a;
    build_column_maps(a, h->sw, con);
    for (uint32_t j = 0; j < m; ++j) a.variable_to_file[j] = columns[j];
    for (const auto &[column, name] : skipped) a.skipped.push_back(SkippedColumn{column, name, false});
    for (const std::string &name : names)
      if (!name.empty()) a.names = names;
    a.rows_left_out = rows_left_out;
    if (missing_cells.size() == m) a.missing_cells = missing_cells;
    if (rows_left_out > 0)
      say(con, "Left out %lu rows with missing values\n", static_cast<unsigned long>(rows_left_out));
    const Moments moments = finish_summary(s, a);
    if (h->sw.pearson) make_pearson_correlation(a);
    print_zero_variance_warning(moments, h->sw.conventional, con);
    for (uint32_t b = 0; b < h->sw.bins; ++b)
      for (uint32_t j = 0; j < m; ++j)
        a.histogram[b][j] = static_cast<int32_t>(std::min<int64_t>(c(b, j), INT32_MAX));
    for (uint32_t j = 0; j < m; ++j) order_stats_at(a.stats[j], s.n, positions, order_values[j]);
    if (h->sw.eigenvalues) compute_components(a);
  });
  h->log = text.take();
  return h;
}

}  // namespace

PYBIND11_MODULE(_vantor, mod) {
  mod.doc() = "The compiled core of the vantor package; use vantor.analyse.";
  settle_isa();
  py::class_<Handle, std::unique_ptr<Handle>>(mod, "Handle")
      .def_property_readonly("n", [](const Handle &h) { return h.a.n; })
      .def_property_readonly("m", [](const Handle &h) { return h.a.m; })
      .def_property_readonly("bins", [](const Handle &h) { return h.a.bins; })
      .def_property_readonly("rows_left_out", [](const Handle &h) { return h.a.rows_left_out; })
      .def_property_readonly("names", [](const Handle &h) { return h.a.names; })
      .def_property_readonly("columns", [](const Handle &h) {
        return std::vector<int32_t>(h.a.variable_to_file.get(), h.a.variable_to_file.get() + h.a.m);
      })
      .def_property_readonly("components", [](const Handle &h) { return h.sw.eigenvalues; })
      .def_property_readonly("scores_written", &scores_written)
      .def_property_readonly("log", [](const Handle &h) { return h.log; })
      .def("statistics", &statistics)
      .def("covariance", [](const Handle &h) {
        return matrix(h.a.m, h.a.m, [&](size_t i, size_t j) { return h.a.covariance[i][j]; });
      })
      .def("correlation", [](const Handle &h) {
        return matrix(h.a.m, h.a.m, [&](size_t i, size_t j) { return h.a.correlation[i][j]; });
      })
      .def("histogram_counts", &histogram_counts)
      .def("histogram_edges", &histogram_edges_of)
      .def("eigenvalues", &eigenvalues)
      .def("total", [](const Handle &h) { return h.a.eigen.total; })
      .def("loadings", &loadings)
      .def("score_coefficients", &coefficients)
      .def("scores", &scores)
      .def("to_json", &to_json)
      .def("to_html", &to_html)
      .def("write", &write_files);
  mod.def("summarise", &summarise_part, py::arg("rows"));
  mod.def("merge", &merge_parts, py::arg("a"), py::arg("b"));
  mod.def("histogram", &histogram_part, py::arg("rows"), py::arg("min"), py::arg("max"),
          py::arg("bins"));
  mod.def("order_positions", &order_positions, py::arg("n"));
  mod.def("finish", &finish_parts, py::arg("summary"), py::arg("counts"), py::arg("order_values"),
          py::arg("names"), py::arg("columns"), py::arg("skipped"), py::arg("switches"),
          py::arg("data_file"), py::arg("rows_left_out"), py::arg("missing_cells"));
  mod.def("analyse_file", &analyse_file, py::arg("path"), py::arg("switches"));
  mod.def("analyse_array", &analyse_array, py::arg("array"), py::arg("names"), py::arg("columns"),
          py::arg("skipped"), py::arg("switches"), py::arg("data_file"));
}
