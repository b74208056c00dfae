// The library's entry point: a table (a data file, or rows a caller holds in
// memory) and typed options in, its analysis out as a value, with the
// documents, result files and ordered views every front end takes from it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/console.h"
#include "cli/switches.h"
#include "pipeline.h"
#include "record/analysis.h"
#include "record/groups.h"
#include "machine/workers.h"
#include "output/docoptions.h"
#include "stats/robust.h"
#include "stats/summary.h"

// Rows a caller holds: `rows` x `columns` doubles, row after row. NaN is a
// missing value (the row is left out, or under pairwise deletion the value);
// an infinity is refused, naming its row and column.
struct TableRows {
  const double *values = nullptr;
  uint64_t rows = 0;
  uint32_t columns = 0;
  std::vector<std::string> names;         // one per column, or none
  std::vector<int32_t> source_columns;    // 0-based column of each variable in the
                                          // caller's table; none for 0, 1, ...
  std::vector<std::pair<uint32_t, std::string>> skipped;  // the caller's columns left out
                                                          // (1-based, name)
  std::vector<std::string> labels;        // one per row, or none
  std::vector<std::string> group_values;  // one per row (empty for none), or none
  std::string group_column;               // names the groups when there are group values
  // The values may be read in place for the life of the result (the caller
  // keeps them alive); they are copied when a row is left out all the same.
  bool borrow = false;
};

// A data file, read as the command line reads it, or rows in memory.
struct TableSource {
  std::string path;                // the data file, when `rows` is null
  const TableRows *rows = nullptr;
  std::string name;                // the data file as documents name it; default `path`
};

// One analysed table, with its groups under --by.
struct AnalysisResult {
  Analysis table;
  std::vector<GroupResult> groups;  // in order of first appearance
  Switches options;
  std::string data_file;  // as the documents name it
  std::string log;        // what the analysis said on its console
  bool borrowed = false;  // the data matrix is the caller's rows
  bool no_rows = false;   // finished from a table's parts: no data matrix
  AnalysisResult() = default;
  AnalysisResult(const AnalysisResult &) = delete;
  AnalysisResult &operator=(const AnalysisResult &) = delete;
  ~AnalysisResult() {
    if (borrowed) (void)table.data.block.release();
  }
};

// Loads a table as the run does, with the run's console lines: a data file
// through examination and loading, or the caller's rows.
Analysis load_table(const TableSource &source, const Switches &options, RunState &run,
                    const Console &con);

// Everything computed from a loaded table: the statistics with their
// console lines and, with -e, the principal components. `trace`: as
// compute_statistics'.
void analyse_loaded(Analysis &a, const AnalysisOptions &o, const Console &con, Workers &w,
                    bool trace = false);

// Analyses one table of a grouped analysis: the whole table (group null),
// then each group's table; the index gives the groups' count and the rows
// without a group value.
using GroupStep = std::function<void(Analysis &table, const GroupResult *group,
                                     const GroupIndex &index)>;

// --by: the whole table, then each group as a table of its rows, in order
// of first appearance, each handed to `step`. With `keep_rows`, every group
// keeps its table's rows; without, one block with room for the largest
// group takes each group's rows in turn and they go once its step is done,
// so the run holds the data once and one group more. Pairwise deletion,
// whose whole-table statistics reorder the rows, copies every group first.
std::vector<GroupResult> analyse_groups(Analysis &a, const Switches &options, RunState &run,
                                        const Console &con, bool keep_rows,
                                        const GroupStep &step);

// The whole analysis of one table on a pool of its own, quiet; its console
// text lands in the result's log. Throws RunEnd with the program's message.
std::unique_ptr<AnalysisResult> analyse(const TableSource &source, const Switches &options);

// A data file loaded as the program loads it, for a caller that analyses
// its rows in parts: the analysed rows (n x m, row after row, rows with a
// missing value left out), the names and 0-based columns of the variables,
// the skipped columns, the rows left out and each variable's missing values.
struct LoadedRows {
  std::vector<double> values;
  uint64_t n = 0;
  uint32_t m = 0;
  std::vector<std::string> names;
  std::vector<int32_t> source_columns;
  std::vector<std::pair<uint32_t, std::string>> skipped;
  uint64_t rows_left_out = 0;
  std::vector<uint64_t> missing_cells;
};

// A loaded table's rows and description as LoadedRows holds them; the
// description alone (no values) from described_rows.
LoadedRows loaded_rows_of(const Analysis &a);
LoadedRows described_rows(const Analysis &a);

// Loads a data file with the options' reading rules on one thread, quiet.
// Throws RunEnd, its message naming the file.
LoadedRows load_file_rows(const std::string &path, const Switches &options);

// A table summarised in parts where its rows lie (vantor.dask): the merged
// summary, the histogram counts (bins x m, row after row, with the bins
// placed by the merged extremes) and, per variable, the sorted values at
// part_positions(n, conventional); under conventional, per variable too,
// the sums and distances of the robust measures and, up to
// kShapiroWilkMost rows, every value for the normality test.
struct TableParts {
  Summary summary;
  std::vector<int64_t> counts;
  std::vector<std::vector<double>> order_values;
  std::vector<RobustParts> robust;
  std::vector<std::vector<double>> normality_values;
  std::vector<std::string> names;       // one per variable (empty texts: unnamed)
  std::vector<int32_t> source_columns;  // 0-based, one per variable
  std::vector<std::pair<uint32_t, std::string>> skipped;
  uint64_t rows_left_out = 0;
  std::vector<uint64_t> missing_cells;  // one per variable, or none
};

// The 0-based sorted positions a table in parts needs of each variable:
// order_positions(n), and under conventional robust_positions(n) too;
// ascending, each once. REQUIRES: n >= 1.
std::vector<uint64_t> part_positions(uint64_t n, bool conventional);

// The analysis of a table from its parts: what analyse() gives for the same
// rows, without the rows (scores and ".std" are refused). Under
// options.conventional: the divisor n - 1, constants as measured, the
// robust measures, the normality tests and the tests of the correlations.
// Throws RunEnd.
std::unique_ptr<AnalysisResult> finish_parts(const TableParts &parts, const Switches &options,
                                             const std::string &data_file);

// Scores per observation that ".sco" and the documents hold.
uint32_t scores_written(const AnalysisResult &r);

// What the documents take from these switches, with the scores per row
// of the file's ".sco".
DocumentOptions document_options(const Switches &options, uint32_t scores_count);

// The JSON document as --json writes it to ".json".
std::string json_document(const AnalysisResult &r);

// The report page as --report writes it for results named `name`;
// `arguments` is the command line the page shows.
std::string report_html(const AnalysisResult &r, const std::string &name,
                        const std::string &arguments);

// The result files the options ask for, named DIRECTORY/NAME.ext (NAME
// alone when DIRECTORY is empty); returns the lines the run prints for them.
std::string write_result_files(const AnalysisResult &r, const std::string &directory,
                               const std::string &name, const std::string &arguments);

// The options as the command line spells them, for the page of a run that
// had no command line.
std::vector<std::string> option_words(const Switches &options);

// Ordered views, row after row: per variable mean, variance, sd, min, max,
// skewness, curtosis, median, lower and upper quartile (m x 10); the
// eigenvalues in descending order (m); the loadings of each variable on
// each component in that order (m x m); the score coefficients (N x N);
// the first `count` scores of every observation (n x count). `a` is the
// result's table or one of its groups' tables.
std::vector<double> statistics_rows(const Analysis &a);
// Under --conventional, per variable: standard error, mean interval low and
// high, trimmed means 10 % and 20 %, MAD, IQR, percentiles 1, 5, 95, 99
// (m x 11); empty without.
std::vector<double> robust_rows(const Analysis &a);
std::vector<double> ordered_eigenvalues(const Analysis &a);
std::vector<double> ordered_loadings(const Analysis &a);
std::vector<double> score_coefficient_rows(const AnalysisResult &r, const Analysis &a,
                                           uint32_t &N);
std::vector<double> observation_score_rows(const AnalysisResult &r, const Analysis &a,
                                           uint32_t count);
