// The command line: switch parsing into the run's settings, what the
// switches say (-q, --where, getopt's diagnostics) and the switches that end
// the run (-?, --switches, --version), acted on by the driver.
#pragma once

#include <getopt.h>

#include <exception>
#include <string>

#include "cli/switches.h"
#include "cli/switchtable.h"

// The long switches in their fixed order (the switch table's ranks), ended
// by an all-zero entry.
extern const struct option *const kLongOptions;

// The short switches as handed to getopt_long.
extern const char *const kShortOptions;

// Word value of a switch: 1 (on) or 0 (off) for an absent value, "-", "off",
// "+" or "on" prefixes; anything else ends the run naming `name` and `value`.
int word_value(const char *name, const char *value);

// Number value of -e and -h: stores a positive number into `count` and returns
// 1 (on) or 0 (off). Negative numbers and conversion errors end the run.
int number_value(const char *value, unsigned int *count);

// The settings of a command line and where its data-file names begin,
// with what the switches say and whether one ends the run.
struct CommandLine {
  Switches switches;
  int first_file = 0;  // index into argv of the first data-file name
  // What the switches say on the error stream, in order: -q's copyright,
  // --where's program name, getopt's own diagnostics.
  std::string said;
  SwitchEnd end = SwitchEnd::none;  // -?, --switches or --version was read
  std::exception_ptr error;         // the RunEnd a switch or a check ended on
};

// Parses every switch of argv with getopt_long (restarting its scan, so a
// process may parse more than one command line). Prints nothing and ends
// nothing: the driver says `said`, then ends on `error` or `end`. While it
// scans, the error stream is a buffer, so it is for one thread at a time.
CommandLine parse_switches(int argc, char **argv);

// The driver's part: says what the switches said, then ends the run on an
// error, or with the usage (the pager unless --more came first), the switch
// list or "vantor <version tag>" on stdout.
void act_on_switches(const CommandLine &cl, const char *program);

// Ends the run when options that exclude each other are set together
// (--comma-decimals with the comma as separator, --columns with -s or -i,
// a column choice without a separated format). The parser checks what it
// made; a caller that fills the record itself checks it here.
void check_options(const Switches &sw);
