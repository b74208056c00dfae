// The memory ceiling: whether a request can possibly be met. Every
// allocation that grows with the input asks here first, so that a table too
// large for the machine is refused with the memory message instead of being
// promised by an overcommitting allocator and killed halfway through.
#pragma once

#include <cstdint>

// True when `bytes` exceed the machine's physical memory or the memory this
// process can still obtain (usable_memory(): available memory and swap,
// cgroup and rlimit headroom). Never true when neither can be found out, nor
// for requests of a mebibyte or less.
bool beyond_memory(uint64_t bytes);

// True when `bytes` exceed the machine's physical memory alone. For callers
// that hold a probe result of their own and check against it themselves.
bool beyond_physical_memory(uint64_t bytes);
