// Result files that a crash cannot leave half written: the choice between a
// temporary name renamed over the result and writing in place, the registry
// of live temporaries and the signal handler that removes them. Not the
// names of the results or their messages (naming.h).
#pragma once

#include <signal.h>

#include <cstdio>
#include <string>

// How a result path is written: through a temporary beside it renamed over
// it when complete, or in place with fopen "w" as always.
enum class WriteMode { atomic, in_place };

// atomic when `path` is absent, or a regular file with one link that this
// process owns and may write; in_place for a symbolic link, a hard-linked
// file, a directory, a FIFO or device, a file of another owner, a file
// that may not be written and a path that cannot be looked at (fopen then
// reports what it reported before).
WriteMode write_mode(const char *path);

// The temporary name for `path`: ".<name>.vantor-tmp.<pid>.<n>" in the same
// directory.
std::string temporary_name(const std::string &path, long pid, unsigned n);

// A result being written. `slot` is the registry slot of its temporary (-1
// when written in place); `failed` marks a temporary that found no room:
// writes go to /dev/null and finishing fails, the old file untouched.
struct ResultStream {
  FILE *fp = nullptr;
  int slot = -1;
  bool failed = false;
};

// Opens `path` for writing in the mode write_mode() gives, falling back to
// in place when no temporary can be made there (no permission, name too
// long, ...). fp is nullptr when fopen "w" of the path fails.
ResultStream open_result(const std::string &path);

// Closes the stream and, for a temporary, renames it over `path`. False
// when a write, the close or the rename failed; the temporary is then gone.
bool finish_result(ResultStream &s, const std::string &path);

// Closes the stream and removes its temporary, leaving `path` as it was.
void abandon_result(ResultStream &s);

// Removes every live temporary; async-signal-safe (unlink only).
void remove_temporaries();

// SIGINT, SIGTERM and SIGHUP remove the live temporaries, then take their
// default action again and are raised anew, for the run's lifetime. A
// signal ignored at the start stays ignored; the previous actions come
// back when this ends.
struct SignalCleanup {
  SignalCleanup();
  ~SignalCleanup();
  SignalCleanup(const SignalCleanup &) = delete;
  SignalCleanup &operator=(const SignalCleanup &) = delete;
  struct sigaction previous[3];
};

// Blocks those signals in this thread until release() (or the end of the
// scope), so that threads started meanwhile never take them and the
// handler never runs beside the thread that writes the results.
struct CleanupSignalsHeld {
  CleanupSignalsHeld();
  ~CleanupSignalsHeld() { release(); }
  CleanupSignalsHeld(const CleanupSignalsHeld &) = delete;
  CleanupSignalsHeld &operator=(const CleanupSignalsHeld &) = delete;
  void release();
  sigset_t old;
  bool held;
};
