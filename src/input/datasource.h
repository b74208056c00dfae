// Where a data file's bytes come from: a regular file opened afresh for each
// of the three passes, or standard input ("-") or a FIFO, copied once into
// an unlinked temporary file that each pass then reads from its start. A
// compressed file or input is decompressed once into such a file.
#pragma once

#include <cstdio>
#include <string>

struct DataSource {
  std::string name;  // the argument as given
  int spooled = -1;  // descriptor read from the start by every pass (a copy, or
                     // standard input that is a file); -1: opened by name
  DataSource() = default;
  DataSource(const DataSource &) = delete;
  DataSource &operator=(const DataSource &) = delete;
  DataSource(DataSource &&other) noexcept;
  ~DataSource();
};

// The source for a data-file argument. "-" is standard input; a FIFO is read
// to its end. Ends the run with "Can't read file %s\n" for anything else
// that is not a regular file (a directory, a device), for a FIFO or
// standard input that holds nothing, and with the reason when the copy
// cannot be made (a full $TMPDIR). Data starting with the magic bytes of
// gzip, zstd, xz or bzip2 is decompressed; corrupt or truncated data ends
// the run with "Can't read file %s: corrupt gzip data\n" (or truncated, and
// the format's name).
DataSource open_data_source(const char *name);

// A stream positioned at the start of the data, for one pass. Ends the run
// with "Can't read file %s\n" when it cannot be opened.
FILE *open_data_pass(const DataSource &source);
