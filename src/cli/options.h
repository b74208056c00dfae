// The command line: switch parsing into the run's settings, with the
// switches that act at once (-q, --where, -x, -g/-w, -?).
#pragma once

#include <getopt.h>

#include "cli/switches.h"

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

// The settings of a command line and where its data-file names begin.
struct CommandLine {
  Switches switches;
  int first_file;  // index into argv of the first data-file name
};

// Parses every switch of argv with getopt_long (restarting its scan, so a
// process may parse more than one command line). --version prints
// "vantor <version tag>" on stdout and ends the run with status 0; so does
// --switches, after the list of every switch.
CommandLine parse_switches(int argc, char **argv);

// Ends the run when options that exclude each other are set together
// (--comma-decimals with the comma as separator, --columns with -s or -i,
// a column choice without a separated format). The parser checks what it
// made; a caller that fills the record itself checks it here.
void check_options(const Switches &sw);
