// The plain white-space loading pass over parts of the file at once: each
// part converts its lines straight into their rows, and a replay in file
// order afterwards says what the one-thread pass would have said.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "analysis.h"
#include "console.h"
#include "reader.h"
#include "workers.h"

// Parts smaller than this are not worth a thread of their own.
constexpr uint64_t kMinPartBytes = uint64_t{1} << 16;

// A byte range of a file that starts at a line start.
struct FilePart {
  uint64_t begin = 0, end = 0;
};

// The parts a pass over `in` splits into among the workers: empty when
// splitting does not pay or cannot be done (one worker, not a regular file,
// not at its start, fewer than two parts of `min_part` bytes). Each part
// but the first starts right after a line end; together they cover the
// file. Reads with pread and leaves the stream as it was.
std::vector<FilePart> split_at_lines(FILE *in, const Workers &w, uint64_t min_part);

// Loads `in` (a regular file, positioned at its start) as load_data does,
// with the line buffer `buff` as load_data made it, split into parts of at
// least `min_part` bytes among the workers. Returns false, having read
// nothing, when the file is not a regular file or too small to split; the
// caller then loads it in one pass. Sets n and m, prints the rereading and
// truncation messages and the first fatal error as the one-thread pass
// does, in the same order and with the same bytes.
bool load_data_split(FILE *in, Analysis &a, GrowableLine &buff, const Console &con, Workers &w,
                     uint64_t min_part);
