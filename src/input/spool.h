// Copying an input that cannot be read twice (standard input, a FIFO) into
// an unlinked temporary file, so that the loading passes can rewind it.
#pragma once

#include <string>

// Copies everything readable from `fd` into a new temporary file in $TMPDIR
// (or /tmp), unlinked at once so that nothing is left behind, and returns a
// descriptor for it positioned at the start. `fd` is left open. On a read or
// write failure, a full disk included, returns -1 with the reason in *error.
int spool_to_temp(int fd, std::string *error);

// True when `fd` is a regular file, which can be read more than once.
bool is_regular_file(int fd);
