// Copying an input that cannot be read twice (standard input, a FIFO) into
// an unlinked temporary file, so that the loading passes can rewind it.
#pragma once

#include <string>

// Copies everything readable from `fd` into a new temporary file in $TMPDIR
// (or /tmp), unlinked at once so that nothing is left behind, and returns a
// descriptor for it positioned at the start. `fd` is left open. On a read or
// write failure, a full disk included, returns -1 with the reason in *error.
int spool_to_temp(int fd, std::string *error);

// A new temporary file in $TMPDIR (or /tmp), unlinked at once; -1 with the
// reason in *error when it cannot be made.
int create_temp_file(std::string *error);

// Writes all of [buf, buf + size) to `fd`; 0 or the errno that stopped it
// (a write that makes no progress counts as a full disk).
int write_fully(int fd, const char *buf, size_t size);

// True when `fd` is a regular file, which can be read more than once.
bool is_regular_file(int fd);
