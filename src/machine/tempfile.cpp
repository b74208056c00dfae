// The run's one way to make a temporary file: in $TMPDIR or /tmp, closed
// across exec, and unlinked before anyone else can open it by name.
#include "machine/tempfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

std::string temporary_directory() {
  const char *dir = std::getenv("TMPDIR");
  return (dir != nullptr && dir[0] != '\0') ? dir : "/tmp";
}

int unnamed_temporary(const std::string &dir, const char *prefix) {
  std::string path = dir + "/" + prefix + "-XXXXXX";
  const int fd = mkostemp(path.data(), O_CLOEXEC);
  if (fd >= 0) unlink(path.c_str());
  return fd;
}
