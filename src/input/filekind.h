// What a data file's name says of its format: NAME.csv holds comma-separated
// values and NAME.tsv tab-separated ones, when the file's first line bears
// that out; read so without --csv or --separator.
#pragma once

#include <cstdio>
#include <string>

// ',' for a name ending in .csv, a tab for .tsv (any case, also before a
// .gz, .zst, .xz or .bz2 suffix), else 0.
char separator_of_name(const std::string &name);

// Whether the first line of `fp`, read from where it stands (at most its
// first mebibyte), holds `separator`.
bool first_line_holds(FILE *fp, char separator);
