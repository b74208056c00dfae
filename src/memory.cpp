// The memory ceiling: the physical memory as the system configuration gives
// it and the probe of what this process can still obtain, read afresh on
// every call (requests are few, a dozen per data file).
#include "memory.h"

#include <unistd.h>

#include "memlimit.h"

bool beyond_memory(uint64_t bytes) {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && page_size > 0 &&
      bytes > static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size))
    return true;
  return !fits_in_memory(bytes, usable_memory());
}
