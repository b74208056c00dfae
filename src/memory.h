// The memory ceiling: whether a single request can possibly be met. Every
// allocation that grows with the input asks here first, so an overcommitting
// allocator never promises what the machine does not have.
#pragma once

#include <cstdint>

// True when `bytes` exceed the machine's physical memory (never true when
// that cannot be found out).
bool beyond_memory(uint64_t bytes);
