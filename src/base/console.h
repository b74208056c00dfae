// The console sink: the two streams every phase and writer reports through,
// owned by the caller (the driver, or the entry point's memory stream). The
// phases print through it, so a caller can redirect or silence the chatter.
#pragma once

#include <cstdio>

// A null stream takes nothing: workers that only note what a pass would
// say, for a replay in order later, read through such a console.
struct Console {
  FILE *out = stdout;  // progress messages, tables and listings
  FILE *err = stderr;  // messages, warnings, traces
  bool quiet = false;  // --quiet: the informational lines are left out
};

// Formatted text on the output stream.
void say(const Console &con, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

// Formatted text on the error stream.
void tell(const Console &con, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

// "\nMessage: " and the formatted text on the error stream; the run goes on.
void message(const Console &con, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

// Flushes both streams, writes "%s:%d:: debug: " and the text to the error
// stream and flushes it again. Callers check the debug switch themselves.
void debug_trace(const Console &con, const char *file, int line, const char *fmt, ...)
    __attribute__((format(printf, 4, 5)));
