// The share-read display while a large data file loads: shown only on a
// terminal and never under --quiet, so files, pipes and tests see no byte of it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "console.h"

// The display's state for one loading pass.
struct Progress {
  bool active = false;
  int64_t file_size = 0;
  int64_t last_shown_ns = 0;
  uint32_t calls = 0;
};

// Decides whether the display is on while `in` is loaded: when the error
// stream is a terminal, the run is not quiet and the file exceeds 8 MiB.
Progress progress_begin(FILE *in, const Console &con);

// Shows "\r NN%" for the read position of `in`, at most four times a second.
// Cheap enough to call once per row.
void progress_update(Progress &p, FILE *in, const Console &con);

// Shows "\r NN%" for a read position the caller knows (as when the file is
// read in parts and `pos` counts the bytes done), at most four times a
// second; for calls now and then, not once per row.
void progress_show(Progress &p, int64_t pos, const Console &con);

// The rule of progress_begin, apart from the streams it looks at.
bool progress_wanted(bool stderr_is_terminal, bool quiet, int64_t size);
