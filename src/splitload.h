// The plain white-space loading pass over parts of the file at once: each
// part converts its lines straight into their rows, and a replay in file
// order afterwards says what the one-thread pass would have said.
#pragma once

#include <cstdint>
#include <cstdio>

#include "analysis.h"
#include "console.h"
#include "reader.h"
#include "workers.h"

// Parts smaller than this are not worth a thread of their own.
constexpr uint64_t kMinPartBytes = uint64_t{1} << 16;

// Loads `in` (a regular file, positioned at its start) as load_data does,
// with the line buffer `buff` as load_data made it, split into parts of at
// least `min_part` bytes among the workers. Returns false, having read
// nothing, when the file is not a regular file or too small to split; the
// caller then loads it in one pass. Sets n and m, prints the rereading and
// truncation messages and the first fatal error as the one-thread pass
// does, in the same order and with the same bytes.
bool load_data_split(FILE *in, Analysis &a, GrowableLine &buff, const Console &con, Workers &w,
                     uint64_t min_part);
