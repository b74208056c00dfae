// The per-file record: everything one data file's analysis computes (data
// matrix, statistics, matrices, histogram, eigen results, column maps) with
// the storage types it is made of. Made by the work-array group
// (workarrays.cpp), filled by the phases, released when the file is done.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>


// ---------------------------------------------------------------------------
// Per-variable statistics.
struct VariableStats {
  double mean;
  double variance;  // divisor n - 1, after the zero-variance substitution
  double stddev;
  double min;
  double max;
  double skewness;
  double curtosis;  // excess curtosis
  double median;
  double upper_quartile;
  double lower_quartile;
  bool constant;  // the zero-variance rule replaced the variance
};

// Which correlation the correlation matrix holds when it is a rank
// correlation (--rank); none for the moment-based ones.
enum class RankMethod { none, spearman, kendall };

// Under --conventional, a variable's interval and robust measures (R's
// definitions): not a number where its values are too few.
struct RobustStats {
  double standard_error;          // sd / sqrt(count)
  double mean_low, mean_high;     // t interval of the mean at the run's level
  double trimmed_10, trimmed_20;  // mean(trim = 0.1), mean(trim = 0.2)
  double mad;                     // 1.4826 * median of |x - median|
  double iqr;                     // type 7 upper less lower quartile
  double p1, p5, p95, p99;        // type 7 percentiles
};

// Under --conventional, the test of every correlation against zero: m x m
// row-major matrices, symmetric, the diagonal not a number. Empty when not
// computed.
struct PairTests {
  std::vector<uint64_t> count;    // rows the pair's correlation used
  std::vector<double> p;          // two-sided p-value
  std::vector<double> p_holm;     // Holm-adjusted over the upper triangle
  std::vector<double> p_bh;       // Benjamini-Hochberg-adjusted likewise
  std::vector<double> low, high;  // Fisher-z interval of Pearson's r; empty for ranks
};

// Under --conventional, whether the correlation matrix suits a component
// analysis: Bartlett's test of sphericity and the Kaiser-Meyer-Olkin
// measures. Not numbers, with the reason, where the matrix allows none.
struct SamplingAdequacy {
  uint64_t n = 0;                  // rows Bartlett's test counts
  uint64_t df = 0;                 // m (m - 1) / 2
  double chi_square = 0, p_value = 0;
  double kmo = 0;                  // overall measure of sampling adequacy
  std::vector<double> msa;         // per variable (m); empty when not computed
  std::string reason;              // why the figures are not numbers; empty when they are
};

// The rotation --rotate asks for, of the loadings of the scored components.
enum class RotationMethod { none, varimax, promax };

// The rotated loadings: rotated = unrotated x matrix. Method none when not
// asked; not computed (empty, with the reason) where the loadings allow none.
struct Rotation {
  RotationMethod method = RotationMethod::none;
  uint32_t count = 0;               // k: components rotated
  uint32_t iterations = 0;          // varimax steps taken
  std::vector<double> loadings;     // m x k, row-major
  std::vector<double> matrix;       // k x k, row-major
  std::vector<double> variance;     // k: sum of the squared rotated loadings
  std::vector<double> proportion;   // k: variance / m
  std::string reason;               // why nothing was rotated; empty when rotated
};

// Under --conventional, a variable's normality test: Shapiro-Wilk for 3 to
// 5000 values, D'Agostino's K^2 beyond. Not a number, with the reason (a
// static text), where the values do not allow it.
enum class NormalityMethod { shapiro_wilk, dagostino };
struct NormalityTest {
  NormalityMethod method;
  double statistic;  // W, or K^2
  double p;
  const char *untested;  // why there is no statistic; null when there is one
};

// One test's statistic, degrees of freedom (df2 not a number for a test
// with one) and p-value; all not a number, with the reason, when the data
// do not allow the test.
struct GroupTest {
  double statistic, df1, df2, p;
  const char *untested;  // static text, null when tested
};

// Under --by and --conventional, how one variable differs across the
// groups that have values of it (R's t.test, oneway.test, kruskal.test
// definitions).
struct GroupTests {
  uint32_t groups = 0;  // groups with at least one value
  uint64_t count = 0;   // values in those groups
  GroupTest welch;      // Welch's t (two groups) or Welch's one-way F
  GroupTest anova;      // the classical one-way F
  GroupTest kruskal;    // Kruskal-Wallis H with the tie correction, chi-squared df
  GroupTest brown_forsythe;  // the classical F on |x - group median|
  double eta_squared;   // between-group over total sum of squares
  double cohen_d;       // two groups: mean difference over the pooled sd; else NaN
};

// ---------------------------------------------------------------------------
// Storage. Every array is one zero-filled calloc block owned by a
// unique_ptr; a matrix is a table of row pointers into one contiguous block,
// so element [i][j] is element i * (row length) + j of the block.
struct FreeDeleter {
  void operator()(void *p) const { std::free(p); }
};
template <class T>
using CArray = std::unique_ptr<T[], FreeDeleter>;

template <class T>
struct Table {
  CArray<T *> rows;  // row pointers; rows[0] is the block itself
  CArray<T> block;   // all rows, one after another
  T *operator[](std::size_t i) const { return rows[i]; }
  explicit operator bool() const { return static_cast<bool>(rows); }
};

// The data matrix: rows one after another in one block, found by arithmetic.
// No table of row pointers, which at 8 bytes a row would add a tenth to a
// matrix of ten columns.
template <class T>
struct RowBlock {
  CArray<T> block;
  uint64_t stride = 0;  // values per row
  T *operator[](std::size_t i) const { return block.get() + i * stride; }
  explicit operator bool() const { return static_cast<bool>(block); }
};

// The rows of a file analysed in passes (record/rowspill.h).
struct RowSpill;

// ---------------------------------------------------------------------------
// What the Jacobi decomposition of the correlation matrix counted.
struct JacobiCounts {
  uint64_t rotations = 0;
  uint64_t sweeps = 0;   // sweeps made, the last (empty) one of each step included
  bool rotated = false;  // false when the matrix was left as it came
};

// The eigenpairs of the correlation matrix, in decomposition order, as the
// decomposition returns them.
struct EigenPairs {
  CArray<double> values;  // "root" (c)
  Table<double> vectors;  // c x c: vectors[k][i] is component k of vector i
  double total = 0;       // sum of the values
  JacobiCounts counts;
};

// The principal components as the ordering returns them.
struct Components {
  CArray<double> loadings;  // c x c, row stride m: loading of variable k on component i
  CArray<int32_t> order;    // decomposition index of the u-th largest eigenvalue
};

// A column of the data file left out of the analysis: text, or no value.
struct SkippedColumn {
  uint32_t column = 0;  // 1-based data-file column
  std::string name;
  bool empty = false;  // no value at all (else a text column)
};

// ---------------------------------------------------------------------------
// One data file's analysis. Arrays are sized for `columns` (c) variables and
// `capacity` rows when made; loading settles n and m (m <= c, n <= capacity).
struct Analysis {
  uint32_t columns = 0;            // c: values of the first data line
  uint32_t capacity = 0;           // R: rows the data matrix can hold
  uint32_t n = 0;                  // observations loaded
  uint32_t m = 0;                  // variables loaded
  uint32_t bins = 0;               // B: histogram bins
  uint64_t rows_left_out = 0;      // rows dropped for a missing value (pairwise: kept
                                   // for the statistics, left out of the row files)
  std::vector<uint64_t> missing_cells;  // per variable: its missing values in the file
  // --use=pairwise: each variable's count of values used, and the smallest
  // count of rows any pair has in common. Empty and 0 when rows are left
  // out whole and every statistic uses the n rows.
  std::vector<uint64_t> used;
  uint64_t smallest_pair = 0;
  bool pairwise = false;
  bool conventional = false;  // --conventional: constants shown as measured, counts in the table
  bool pearson = false;       // --pearson (or --conventional): the correlation matrix holds r
  RankMethod rank = RankMethod::none;  // --rank: the correlation matrix holds this
  double level = 0.95;                 // --ci: the intervals' confidence level
  std::vector<std::string> names;  // per variable (data order) when the file names them
  std::vector<std::string> labels;      // per row when the file has a label column
  // Under --by, per row: its group's number in order of first appearance
  // among the rows (-1 for none), and each group's value by its number.
  // While loading, the number is the value's among all values met.
  std::vector<int32_t> group_of_row;
  std::vector<std::string> group_texts;
  std::string group_column;             // under --by: the group column's name, or its number
  std::vector<SkippedColumn> skipped;   // columns left out, in file order

  CArray<VariableStats> stats;       // one record per variable (c)
  Components components;             // its loadings block is the decomposition's scratch first
  EigenPairs eigen;                  // of the correlation matrix
  CArray<int32_t> file_to_variable;  // data-file column -> data column (c)
  CArray<int32_t> variable_to_file;  // data column -> data-file column (c)
  Table<int32_t> histogram;          // B rows of c counts: histogram[bin][variable]
  Table<double> correlation;         // c x c, unit diagonal
  Table<double> covariance;          // c x c, divisor n
  std::vector<RobustStats> robust;   // --conventional: per variable (m), else empty
  PairTests tests;                   // --conventional: per pair, else empty
  SamplingAdequacy adequacy;         // --conventional: of the correlation matrix
  Rotation rotation;                 // --rotate: of the scored components' loadings
  std::vector<NormalityTest> normality;  // --conventional: per variable (m), else empty
  std::vector<GroupTests> group_tests;    // --by --conventional: per variable (m), else empty
  RowBlock<double> data;             // R rows of c values
  // A file analysed in passes (--max-memory): its rows, read back block by
  // block; `data` then holds only the loading pass's block. Null in memory.
  std::shared_ptr<RowSpill> spill;
};

// The values a variable's statistics were taken over.
inline uint64_t values_used(const Analysis &a, uint32_t i) {
  return a.used.empty() ? a.n : a.used[i];
}

// The missing values a variable had in the file, 0 when none were counted.
inline uint64_t values_missing(const Analysis &a, uint32_t i) {
  return i < a.missing_cells.size() ? a.missing_cells[i] : 0;
}

// The one sample size of the files that state one: n, or the smallest pair
// count under pairwise deletion.
inline uint64_t stated_sample_size(const Analysis &a) { return a.pairwise ? a.smallest_pair : a.n; }
