// The static HTML report of one data file: the plain inputs it is drawn
// from and the writer of the whole self-contained page.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "record/analysis.h"

struct ReportVariable {
  std::string label;  // the variable's name when known, else its column number as text
  int column = 0;     // 1-based data-file column
  double mean = 0, variance = 0, stddev = 0, min = 0, max = 0, skewness = 0, curtosis = 0,
         median = 0, lower_quartile = 0, upper_quartile = 0;
  bool constant = false;             // the zero-variance rule replaced its variance
  uint64_t count = 0, missing = 0;   // values used, values missing in the file
  uint64_t non_finite = 0;           // values that are not finite numbers (NaN, +-inf)
  std::vector<int64_t> bin_counts;  // B counts
  std::vector<double> bin_edges;    // B + 1 edges by the counting rule; the last is not
                                    // finite for one bin (all values)
};

// Present only with the eigen analysis.
struct ReportPca {
  std::vector<double> eigenvalues;                // descending
  std::vector<double> explained_percent;          // same order
  std::vector<std::vector<double>> loadings;      // [variable][component], descending order
  std::vector<std::array<double, 2>> scores;      // first two component scores, <= 5000 rows
  uint64_t score_rows_total = 0;                  // observations before subsampling
  bool scores_centred = false;                    // --scores-mean: centred before scaling
  std::vector<std::string> score_labels;          // the plotted rows' labels, when the file has them
  std::vector<int32_t> score_groups;              // --by: each plotted row's group, -1 for none
};

// One group of --by: its value, rows and each variable's figures, in the
// order of the variables.
struct ReportGroup {
  std::string value;
  uint64_t rows = 0;
  std::vector<double> means, stddevs, medians, mins, maxs, lower_quartiles, upper_quartiles;
  std::vector<uint64_t> missing;  // each variable's missing values in the group
};

struct ReportInput {
  std::string data_file, program_version, date_text, switches_text;
  uint64_t rows = 0, rows_left_out = 0;
  uint32_t bins = 0;
  bool pearson = false;  // the correlation matrix holds Pearson's r
  RankMethod rank = RankMethod::none;  // --rank: it holds this rank correlation instead
  bool conventional = false;  // --conventional: divisor n - 1, constants shown as measured
  bool pairwise = false;      // --use=pairwise: rows_left_out were left out of the row files only
  std::string skipped_text;  // the columns left out ("4 name (text), ..."); empty for none
  std::vector<ReportVariable> variables;
  std::vector<double> correlation;  // m * m, row-major
  std::optional<ReportPca> pca;
  SamplingAdequacy adequacy;        // --conventional: msa empty without
  Rotation rotation;                // --rotate: method none without
  std::string group_column;         // --by: the group column; empty without groups
  std::vector<ReportGroup> groups;  // in order of first appearance
  uint64_t rows_without_group = 0;  // rows with no value in the group column
  std::vector<NormalityTest> normality;  // --conventional: per variable, else empty
  std::vector<GroupTests> group_tests;   // --by --conventional: per variable, else empty
};

// The whole page. Cards are anchored as id="var-N", N the 1-based position
// in `variables`; strongly correlated pairs as id="pair-I-J" (I < J).
std::string report_page(const ReportInput &in);

// Writes report_page(in) to `out`; false on a write error.
bool write_report(FILE *out, const ReportInput &in);
