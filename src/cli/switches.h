// The switch settings of a run: one record with the defaults, filled once by
// the command-line parser and then handed to every phase as a const value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Switches {
  int tetrad = 1;          // --tetrad: write ".inp"
  int oldtetrad = 0;       // --oldtetrad: write ".da1"
  int correlation = 0;     // --correlation: write ".cor"
  int covariance = 0;      // --covariance: write ".cov"
  int mean = 1;            // --mean: write ".mvd"
  int eigenvalues = 0;     // --eigenvalues: eigen analysis, ".eig" and ".sco"
  uint32_t scores = 3;     // scores per row in ".sco" asked for (the driver lowers its own copy)
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

  // Extensions, long names only. None of them changes a byte of the output
  // unless it is given.
  int csv = 0;                       // --csv: comma-separated values
  int names = 0;                     // --names: the first data line holds the names
  std::vector<std::string> missing;  // --missing=WORD: words that mark a missing value
  std::string results_dir;           // --results-dir=DIR: where result files go
  int json = 0;                      // --json[=-]: write ".json" (1) or to stdout (2)
  int report = 0;                    // --report: write ".html"
  uint32_t threads = 0;              // --threads=N; 0 for the default
  int pearson = 0;                   // --pearson: Pearson's r as the correlation
  int numbers_only = 0;              // --numbers-only: a word in a row is an error
  int keep_going = 0;                // --keep-going: a failed file does not end the run
  int no_log = 0;                    // --no-log: no invocation record
};
