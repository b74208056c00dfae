// Output file naming: the check of the data-file name, the output base made
// from it, and the one way every result file is created, announced and closed.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

// The output base of the current data file: its stem followed by ".cor".
extern std::string fname;

// Refuses names containing ".cor" or ".inp" (fatal) and sets `fname`.
void set_output_base(const char *data_file);

// The stem of `data_file`: the name without its extension, where a point
// counts only after the last separator ('\\', '/', ':') and not in front.
std::string name_stem(const std::string &data_file);

// The output name for extension `ext` (".mvd", ...): the stem plus `ext`.
std::string output_name(const char *ext);

// An open result file and its name.
struct OutputFile {
  FILE *fp;
  std::string name;
};

// Opens `name` for writing ("w"); "Can't create file: %s\a\n" on failure.
// Refuses (fatal) to open the data file being processed itself.
OutputFile open_output(const std::string &name);

// "Writing file: %s\n" with the name, unless quiet.
void announce_output(const OutputFile &out);

// Closes the file; a write or close failure ends the run with
// "Can't write file: %s\a\n" rather than leave a cut-short file unreported.
void close_output(OutputFile &out);

// The data file currently processed; open_output never overwrites it.
void set_current_data_file(const char *data_file);

// A result as it is printed: a NaN loses its sign bit. Which sign a NaN
// carries depends on the order in which the compiler took the operands, so
// printing it would make "-nan" and "nan" differ between builds.
inline double shown(double x) { return std::isnan(x) ? std::fabs(x) : x; }
