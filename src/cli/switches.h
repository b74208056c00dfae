// The switch settings of a run, in one record of four by concern (reading,
// analysis, output, the run itself) with the defaults: filled once by the
// command-line parser and then handed to every phase as a const value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Which columns of a separated file the analysis takes: all, only the
// listed ones in the listed order (--columns), or all but the listed ones
// (--skip-columns).
enum class ColumnPick { all, listed, unlisted };

// Where --json sends the document.
enum class JsonTarget { none, file, standard_output };

// How a missing value is handled: the row left out whole (listwise), or
// each statistic taken over the values present (--use=pairwise).
enum class MissingUse { complete, pairwise };

// The upper triangle of ".cor": left out, zeros (--zsquare), or the mirror
// of the lower one (--square).
enum class UpperTriangle { none, zeros, mirror };

// The rank correlation --rank puts in place of the correlation matrix.
enum class RankChoice { none, spearman, kendall };

// The rotation --rotate applies to the scored components' loadings.
enum class RotateChoice { none, varimax, promax };

// What reading a file takes: its format, the columns the analysis takes
// and in what order, its missing values, and the memory its rows may use.
struct ReadOptions {
  bool inverse = false;      // --inverse: reversed variable order
  bool sort = false;         // --sort: a variable order list was given
  std::string sort_list;     // text of the last --sort value
  bool csv = false;                    // --csv: comma-separated values
  bool names = false;                  // --names: the first data line holds the names
  std::vector<std::string> missing;    // --missing=WORD: words that mark a missing value
  bool numbers_only = false;           // --numbers-only: a word in a row is an error
  char separator = 0;                  // --separator=C: fields separated by C; 0 for none
  bool comma_decimals = false;         // --comma-decimals: "3,14" is 3.14
  ColumnPick pick = ColumnPick::all;   // --columns=LIST, --skip-columns=LIST
  std::string pick_list;               // the LIST of the last of them
  uint64_t max_memory = 0;  // --max-memory=SIZE: bytes a file's rows may take; 0: no bound
};

// What the analysis computes.
struct AnalysisOptions {
  bool eigenvalues = false;  // --eigenvalues: eigen analysis, ".eig" and ".sco"
  uint32_t scores = 3;       // scores per row in ".sco" asked for (the driver lowers its own copy)
  uint32_t bins = 30;        // histogram bin count B
  bool four = false;         // -4: score limit at most 4, no ".fsc" section headers
  bool scores_mean = false;  // --scores-mean: centre the data before the scores
  bool allscores = false;    // --allscores: as many scores as components
  bool pearson = false;      // --pearson: Pearson's r as the correlation
  bool conventional = false;           // --conventional: the statistics packages' definitions
  MissingUse use = MissingUse::complete;  // --use=complete|pairwise
  std::string by;                      // --by=COLUMN: analyse each group of rows too
  uint32_t group_limit = 1000;         // --group-limit=N: most groups --by may make
  RankChoice rank = RankChoice::none;  // --rank=spearman|kendall: the correlation used
  double ci = 0;                       // --ci=LEVEL: intervals' level (needs --conventional); 0: 0.95
  RotateChoice rotate = RotateChoice::none;  // --rotate=METHOD (needs --conventional, -e)
};

// What the run writes besides the console.
struct OutputOptions {
  bool tetrad = true;                          // --tetrad: write ".inp"
  bool oldtetrad = false;                      // --oldtetrad: write ".da1"
  bool correlation = false;                    // --correlation: write ".cor"
  bool covariance = false;                     // --covariance: write ".cov"
  bool mean = true;                            // --mean: write ".mvd"
  bool histogram = false;                      // --histogram: write ".his"
  bool fsc_file = false;                       // --fsc-file: write ".fsc"
  bool split_file = false;                     // --split-file: split long lines of ".inp"
  bool stddev = false;                         // --stddev: write ".std"
  bool quartiles = false;                      // --quartiles: quartile columns in ".mvd"
  UpperTriangle square = UpperTriangle::none;  // --square, --zsquare
  std::string results_dir;                     // --results-dir=DIR: where result files go
  JsonTarget json = JsonTarget::none;          // --json[=-]: write ".json", or to stdout
  bool report = false;                         // --report: write ".html"
  bool summary_file = false;  // --summary-file: write ".sum" (needs --conventional)
};

// How the run goes: what it says, how many threads it uses, whether a
// failed file ends it.
struct RunOptions {
  bool quiet = false;       // --quiet/--silence
  bool debug = false;       // --debug: traces and allocation lines
  bool timer = false;       // --timer: elapsed time at the end
  bool more = false;        // --more: usage printed directly, not through the pager
  uint32_t threads = 0;     // --threads=N; 0 for the default
  bool keep_going = false;  // --keep-going: a failed file does not end the run
  bool no_log = false;      // --no-log: no invocation record
};

// The switches of a run, by concern. The extensions (long names only)
// change no byte of the output unless they are given.
struct Switches {
  ReadOptions read;
  AnalysisOptions analysis;
  OutputOptions output;
  RunOptions run;
};
