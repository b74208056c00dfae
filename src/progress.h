// The share-read display while a large data file loads: shown only on a
// terminal and never under --quiet, so files, pipes and tests see no byte of it.
#pragma once

#include <cstdint>
#include <cstdio>

// Decides whether the display is on while `in` is loaded: when the error
// stream is a terminal, the run is not quiet and the file exceeds 8 MiB.
void progress_begin(FILE *in);

// Shows "\r NN%" for the read position of `in`, at most four times a second.
// Cheap enough to call once per row.
void progress_update(FILE *in);

// The rule of progress_begin, apart from the streams it looks at.
bool progress_wanted(bool stderr_is_terminal, bool quiet, int64_t size);
