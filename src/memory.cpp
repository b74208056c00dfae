// The memory ceiling, read from the system configuration on every call:
// requests are few (a dozen per data file), so nothing is cached.
#include "memory.h"

#include <unistd.h>

bool beyond_memory(uint64_t bytes) {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return false;
  return bytes > static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}
