// The invocation log: one dated line with the run's arguments appended to
// the file "logfile" in the current directory.
#pragma once

#include <ctime>
#include <string>

// The record for `argv` at calendar time `now`, timestamp "%x %X" in the
// locale's time conventions, newline included.
std::string invocation_record(int argc, char **argv, std::time_t now);

// Appends the record with one write; "No logfile entry\n" on the error
// stream when eleven attempts to open the log fail.
void write_invocation_record(int argc, char **argv);
