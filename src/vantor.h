// Shared state of a vantor run: the switch settings, the per-variable
// statistics record and the program-wide work arrays of the current data file.
// The arrays are made and released by the work-array group (workarrays.cpp).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

// ---------------------------------------------------------------------------
// Switch settings: one record for the run, defaults set here, changed only
// while the command line is parsed (the scores count is later lowered by the
// score writer and stays lowered for the rest of the run).
struct Switches {
  int tetrad = 1;          // --tetrad: write ".inp"
  int oldtetrad = 0;       // --oldtetrad: write ".da1"
  int correlation = 0;     // --correlation: write ".cor"
  int covariance = 0;      // --covariance: write ".cov"
  int mean = 1;            // --mean: write ".mvd"
  int eigenvalues = 0;     // --eigenvalues: eigen analysis, ".eig" and ".sco"
  uint32_t scores = 3;     // scores per row in ".sco"
  int histogram = 0;       // --histogram: write ".his"
  uint32_t bins = 30;      // histogram bin count B
  int fsc_file = 0;        // --fsc-file: write ".fsc"
  int four = 0;            // -4: score limit at most 4, no ".fsc" section headers
  int scores_mean = 0;     // --scores-mean: centre the data before the scores
  int inverse = 0;         // --inverse: reversed variable order
  int sort = 0;            // --sort: a variable order list was given
  std::string sort_list;   // text of the last --sort value
  int split_file = 0;      // --split-file: split long lines of ".inp"
  int allscores = 0;       // --allscores: as many scores as components
  int stddev = 0;          // --stddev: write ".std"
  int quartiles = 0;       // --quartiles: quartile columns in ".mvd"
  int square = 0;          // upper triangle of ".cor": 0 none, 1 zeros, 2 mirror
  int quiet = 0;           // --quiet/--silence
  int debug = 0;           // --debug: traces and allocation lines
  int timer = 0;           // --timer: elapsed time at the end
  int more = 0;            // --more: usage printed directly, not through the pager
};

extern Switches sw;

// ---------------------------------------------------------------------------
// Per-variable statistics: thirteen doubles in this fixed order.
struct VariableStats {
  double no;        // column of dd plus one
  double mean;
  double variance;  // divisor n - 1, after the zero-variance substitution
  double stddev;
  double min;
  double max;
  double skewness;
  double curtosis;  // excess curtosis
  double median;
  double uquart;    // the upper quartile comes before the lower one
  double lquart;
  double spare[2];  // never written or read
};
static_assert(sizeof(VariableStats) == 104, "VariableStats is thirteen doubles");

// ---------------------------------------------------------------------------
// Work arrays. Every array is one zero-filled calloc block owned by a
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

extern CArray<VariableStats> v;  // one record per variable (c)
extern CArray<double> pc;        // loadings, flat c x c block, row stride m
extern CArray<int32_t> pcs;      // ordering marks (c)
extern CArray<int32_t> position; // components in descending order (c)
extern CArray<double> root;      // eigenvalues (c)
extern CArray<int32_t> sortarr;  // data-file column -> dd column (c)
extern CArray<int32_t> sortarr1; // dd column -> data-file column (c)
extern Table<int32_t> histogram; // B rows of c counts: histogram[bin][variable]
extern Table<double> ss;         // eigenvectors, c x c
extern Table<double> cc;         // correlation matrix, c x c
extern Table<double> ccov;       // covariance matrix, c x c
extern Table<double> dd;         // data matrix, R rows of c values

// Bytes of work arrays allocated so far in the run; never reset.
extern uint64_t memory_total;

// Makes the seventeen work arrays for row capacity R and column count c (and
// the bin count sw.bins), announcing each under --debug and adding its bytes
// to memory_total. Ends the run with "Not enough memory (%s, %d)" on failure.
void alloc_work_arrays(uint32_t R, uint32_t c);

// "Memory need: %.3g Mb\n" on stdout unless quiet.
void report_memory_need();

// Releases every work array that exists; harmless when some or all are absent.
void free_work_arrays();
