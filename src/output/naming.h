// Output file naming: the check of the data-file name, the output base made
// from it, and the one way every result file is created, announced and closed.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/console.h"

// Where one data file's results go: the data file (never overwritten) and the
// stem every output name is made from.
struct OutputPlace {
  std::string data_file;
  std::string stem;
};

// The place of `data_file`, its results beside it or, when `results_dir` is
// not empty, in that directory; refuses names containing ".cor" or ".inp"
// (fatal), which the results could overwrite. Standard input ("-") has the
// stem "stdin".
// A compressed data file is named after its name without the compression
// suffix (plots.csv.gz gives plots.mvd).
OutputPlace output_place(const char *data_file, const std::string &results_dir = "");

// The data file as the documents (JSON, report) name it: "-" for standard
// input, whose place has no data file.
inline std::string source_name(const OutputPlace &place) {
  return place.data_file.empty() ? std::string("-") : place.data_file;
}

// Ends the run with "Results directory %s: %s\n" unless `dir` is a
// directory that can be written into.
void check_results_dir(const std::string &dir);

// The stem of `data_file`: the name without its extension, where a point
// counts only after the last separator ('\\', '/', ':') and not in front.
std::string name_stem(const std::string &data_file);

// The parts the result names of --by's groups carry after the stem, one per
// value: "<column>=<value>", each byte other than a letter, a digit or one of
// "._+-" made '_' and each side cut at 64 bytes; a part that an earlier one
// already took gets "~2", "~3", ... appended.
std::vector<std::string> group_file_parts(const std::string &column,
                                          const std::vector<std::string> &values);

// The output name for extension `ext` (".mvd", ...): the stem plus `ext`.
std::string output_name(const OutputPlace &place, const char *ext);

// An open result file and its name. A result dropped without close_output
// (the run ended meanwhile) leaves its path as it was before the run when
// it is written through a temporary (atomic_file.h).
struct OutputFile {
  OutputFile(FILE *fp, std::string name, int slot, bool failed)
      : fp(fp), name(std::move(name)), slot(slot), failed(failed) {}
  ~OutputFile();
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;
  FILE *fp;
  std::string name;
  int slot;     // the temporary's registry slot; -1 when written in place
  bool failed;  // no room for the temporary: closing reports a failed write
};

// Opens the output for `ext` for writing, under a temporary name renamed
// over it on closing where atomic_file.h allows, else in place ("w");
// "Can't create file: %s\a\n" on failure. Refuses (fatal) to open the
// place's data file itself.
OutputFile open_output(const OutputPlace &place, const char *ext);

// "Writing file: %s\n" with the name, unless quiet.
void announce_output(const OutputFile &out, const Console &con);

// Closes the file and puts it in place; a write, close or rename failure
// ends the run with "Can't write file: %s\a\n" rather than leave a
// cut-short file unreported (a temporary is removed, the old file kept).
void close_output(OutputFile &out);

// A variable's name as a label in a blank-separated file or table: every
// blank and control byte becomes '_'; an empty name becomes "x<column>"
// with the 1-based data-file column.
std::string name_label(const std::string &name, int column);

// A result as it is printed: a NaN loses its sign bit. Which sign a NaN
// carries depends on the order in which the compiler took the operands, so
// printing it would make "-nan" and "nan" differ between builds.
inline double shown(double x) { return std::isnan(x) ? std::fabs(x) : x; }
