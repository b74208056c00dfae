// The work arrays of one data file: made together after the examination,
// zero-filled, each announced under --debug and added to the run's memory
// total, and released with the record that owns them.
#pragma once

#include <cstdint>

#include "record/analysis.h"
#include "base/console.h"

// Bytes of work arrays made so far in the run; never reset between files.
struct MemoryTally {
  uint64_t total = 0;
};

// What the work arrays need to know of the run.
struct WorkArraySettings {
  uint32_t bins;  // histogram bin count B
  bool debug;     // announce every allocation on the error stream
  // What the process can still obtain (usable_memory() when the file's
  // arrays are made); the arrays together may not need more.
  uint64_t usable = UINT64_MAX;
};

// Makes the record's arrays for `capacity` rows of `columns` values, in the
// fixed order whose figures the memory lines report ("Allocates %ld bytes
// (%ld * %lu)" under --debug). Ends the run with "Not enough memory (%s,
// %llu)" naming the first array that cannot be had: one that fails, or the
// first whose bytes take the arrays together past `settings.usable`, which
// is refused before it is allocated (calloc under overcommit would promise
// it and the kernel would kill the run once it is touched).
Analysis make_analysis(uint32_t capacity, uint32_t columns, const WorkArraySettings &settings,
                       MemoryTally &tally, const Console &con);

// The bytes make_analysis would make for `capacity` rows of `columns`
// values and `bins` histogram bins, pointer tables included, as its memory
// lines count them; nothing is made.
uint64_t work_array_need(uint32_t capacity, uint32_t columns, uint32_t bins);

// Asks the kernel to back a large block (the data matrix) with huge pages,
// where it offers them on request: loading then takes one fault per two
// mebibytes instead of one per page. Blocks under 4 MiB are left alone.
void advise_huge_pages(void *block, uint64_t bytes);

// "Memory need: %.3g Mb\n" with the run's total so far, unless quiet.
void report_memory_need(const MemoryTally &tally, const Console &con);
