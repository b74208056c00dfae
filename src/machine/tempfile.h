// Temporary files of a run: the directory they go to and a file that has
// lost its name as soon as it is made, so that nothing is left behind.
#pragma once

#include <string>

// $TMPDIR when it is set and not empty, else /tmp.
std::string temporary_directory();

// A new file in `dir` named PREFIX-XXXXXX and unlinked at once, open for
// reading and writing and closed across exec; -1 with errno set when it
// cannot be made.
int unnamed_temporary(const std::string &dir, const char *prefix);
