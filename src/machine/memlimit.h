// The memory this process can still obtain: the kernel's estimate of what is
// available, the headroom left under memory cgroup limits, and the address
// space and data resource limits. Read before allocating a file's work arrays.
#pragma once

#include <cstdint>
#include <string>

// "No limit known": a need is never refused against this.
inline constexpr uint64_t kNoMemoryLimit = UINT64_MAX;

// Where the probe looks; tests point it at a fixture directory.
struct MemoryProbePaths {
  std::string meminfo = "/proc/meminfo";
  std::string self_cgroup = "/proc/self/cgroup";
  std::string cgroup_root = "/sys/fs/cgroup";
  std::string statm = "/proc/self/statm";
  bool read_rlimits = true;  // off in tests, whose result must not depend on the shell
};

// MemAvailable + SwapFree of /proc/meminfo text, in bytes, saturating.
// kNoMemoryLimit without a readable MemAvailable line: MemFree alone would
// understate what reclaim can give back and refuse runs that would succeed.
uint64_t meminfo_available(const std::string &text);

// The contents of memory.max or memory.limit_in_bytes in bytes; kNoMemoryLimit
// for "max", for the v1 "unlimited" sentinel (anything >= 2^62) and for text
// that is not a number.
uint64_t parse_cgroup_limit(const std::string &text);

// The contents of memory.current or memory.usage_in_bytes; 0 when unreadable,
// so that the limit alone still counts.
uint64_t parse_cgroup_usage(const std::string &text);

// What is left of `limit` after `used`: 0 once the limit is reached,
// kNoMemoryLimit when there is no limit.
uint64_t memory_headroom(uint64_t limit, uint64_t used);

// This process's places in the cgroup hierarchies, from /proc/self/cgroup.
// Paths are relative to the hierarchy's mount ("" for its root).
struct CgroupMembership {
  bool in_v2 = false;
  std::string v2_path;
  bool in_v1_memory = false;
  std::string v1_memory_path;
};
CgroupMembership parse_self_cgroup(const std::string &text);

// Sizes from /proc/self/statm in bytes: the whole virtual size (what
// RLIMIT_AS counts) and data + stack (close to what RLIMIT_DATA counts).
// Both zero when the text is not in statm's form.
struct MappedSizes {
  uint64_t virtual_bytes = 0;
  uint64_t data_bytes = 0;
};
MappedSizes parse_statm(const std::string &text, uint64_t page_size);

// Bytes this process can still obtain: the least of the meminfo estimate,
// the headroom under every memory cgroup limit on its cgroup and the cgroup's
// ancestors, and the headroom under RLIMIT_AS and RLIMIT_DATA.
// kNoMemoryLimit when none of these could be read.
uint64_t usable_memory(const MemoryProbePaths &paths = {});

inline bool fits_in_memory(uint64_t bytes, uint64_t usable) { return bytes <= usable; }
