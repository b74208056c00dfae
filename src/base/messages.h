// What the tool says about itself: fatal errors, the banner and copyright
// text, and the usage text with its pager.
// The driver's run() turns a RunEnd into the exit status; the bindings turn
// it into their language's error.
#pragma once

#include <string>

// Thrown to end the run. run() writes "\nError: " and the message to the
// error stream when the message is not empty, then exits with the status.
struct RunEnd {
  int status;
  std::string message;
};

extern const char kBanner[];     // "vantor Version v2.28-0-g<rev> <date> <time> by ..."
extern const char kVersionTag[];  // "v2.28-0-g<rev>"
extern const char kCopyright[];  // two lines, no final newline

// Ends the run with status 1 and "\nError: " plus the formatted text.
[[noreturn]] void fatal(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Ends the run with the given status and nothing more printed.
[[noreturn]] void end_run(int status);

// Shows the usage and ends the run: through the pager (status 1) unless
// `more` is set, else directly on stdout (status 0).
[[noreturn]] void usage(const char *program, int more);

// The usage text with the program name put in, as --more prints it.
std::string usage_text(const char *program);

// The pager command line for `program`: the name reaches the shell as one
// literal word whatever characters it holds.
std::string pager_command(const char *program);

// `text` as one word to the shell: in single quotes, which keep every
// character literal, a single quote itself closed, escaped and reopened.
std::string shell_quoted(const char *text);
