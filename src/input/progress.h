// The share-read display while a large data file loads: shown only on a
// terminal and never under --quiet, so files, pipes and tests see no byte of it.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "base/console.h"

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

// The share of a file done while workers load it in parts: each adds its
// bytes now and then, and only the calling thread shows the total.
struct SharedProgress {
  std::atomic<uint64_t> done{0};
  Progress display;
  const Console &con;
};

// One worker's feed into the shared count, made per part.
struct ProgressFeed {
  SharedProgress &shared;
  bool shows;  // the worker is the calling thread
  uint64_t pending = 0;
  uint32_t lines = 0;
  // Counts a line of `bytes`; adds the pending bytes every 256 lines.
  void line(uint64_t bytes);
};
