// The memory ceiling: the physical memory as the system configuration gives
// it and the probe of what this process can still obtain, read afresh on
// every call (the work arrays read the probe once per file instead).
#include "machine/memory.h"

#include <unistd.h>

#include "machine/memlimit.h"

bool beyond_physical_memory(uint64_t bytes) {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && page_size > 0 &&
         bytes > static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

bool beyond_memory(uint64_t bytes) {
  // Reading the probe costs a dozen small files; a request of a mebibyte or
  // less is cheaper than that and cannot be what exhausts the machine.
  constexpr uint64_t kUnprobed = uint64_t{1} << 20;
  if (bytes <= kUnprobed) return false;
  return beyond_physical_memory(bytes) || !fits_in_memory(bytes, usable_memory());
}
