// The memory probe against fixture trees laid out like /proc and
// /sys/fs/cgroup, and the parsers behind it on the awkward texts they meet.
#include "machine/memlimit.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint64_t kFixtureMeminfo = 5000000ull * 1024;  // MemAvailable + SwapFree

struct ProbeCase {
  const char *dir;
  uint64_t expected;
};

const ProbeCase kProbeCases[] = {
    {"plain", kFixtureMeminfo},
    {"no_memavailable", kNoMemoryLimit},
    {"v2_max", kFixtureMeminfo},
    {"v2_limit", 1073741824 - 268435456},
    {"v2_parent", 536870912 - 419430400},  // the parent binds, not the own larger limit
    {"v2_over_limit", 0},
    {"v2_container", 2147483648 - 1073741824},  // own path absent: the namespace root
    {"v1", 268435456 - 67108864},
    {"v1_unlimited", kFixtureMeminfo},
    {"cgroup_only", 3221225472},  // no meminfo, no usage file
    {"absent", kNoMemoryLimit},
};

TEST(MemoryLimit, ProbeOverFixtureTrees) {
  for (const ProbeCase &c : kProbeCases) {
    const std::string dir = std::string(VANTOR_SOURCE_DIR "/tests/support/memlimit/") + c.dir;
    MemoryProbePaths paths;
    paths.meminfo = dir + "/meminfo";
    paths.self_cgroup = dir + "/self_cgroup";
    paths.cgroup_root = dir + "/sys/fs/cgroup";
    paths.statm = dir + "/statm";
    paths.read_rlimits = false;
    EXPECT_EQ(usable_memory(paths), c.expected) << c.dir;
  }
}

TEST(MemoryLimit, ThisMachineHasSomeMemory) {
  const uint64_t usable = usable_memory();
  EXPECT_GT(usable, 0u);
  EXPECT_TRUE(fits_in_memory(4096, usable));
}

TEST(MemoryLimit, MeminfoText) {
  const struct {
    const char *text;
    uint64_t expected;
  } cases[] = {
      {"MemAvailable: 10 kB\nSwapFree: 5 kB\n", 15 * 1024},
      {"SwapFree: 5 kB\nMemAvailable:\t10 kB", 15 * 1024},  // order, tab, no final newline
      {"MemAvailable: 10 kB\n", 10 * 1024},
      {"MemFree: 10 kB\nSwapFree: 5 kB\n", kNoMemoryLimit},
      {"MemAvailable: kB\n", kNoMemoryLimit},
      {"XMemAvailable: 10 kB\n", kNoMemoryLimit},
      {"", kNoMemoryLimit},
      {"MemAvailable: 18014398509481984 kB\n", kNoMemoryLimit},  // 2^54 kB saturates
      {"MemAvailable: 99999999999999999999999 kB\n", kNoMemoryLimit},
  };
  for (const auto &c : cases) EXPECT_EQ(meminfo_available(c.text), c.expected) << c.text;
}

TEST(MemoryLimit, CgroupFiles) {
  const struct {
    const char *text;
    uint64_t limit;
    uint64_t usage;
  } cases[] = {
      {"1073741824\n", 1073741824, 1073741824},
      {"max\n", kNoMemoryLimit, 0},
      {"9223372036854771712\n", kNoMemoryLimit, 9223372036854771712u},
      {"4611686018427387904", kNoMemoryLimit, 4611686018427387904u},  // 2^62
      {"4611686018427387903", 4611686018427387903u, 4611686018427387903u},
      {"", kNoMemoryLimit, 0},
      {"12ab\n", kNoMemoryLimit, 0},
      {"-5\n", kNoMemoryLimit, 0},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(parse_cgroup_limit(c.text), c.limit) << c.text;
    EXPECT_EQ(parse_cgroup_usage(c.text), c.usage) << c.text;
  }
  EXPECT_EQ(memory_headroom(100, 40), 60u);
  EXPECT_EQ(memory_headroom(100, 100), 0u);
  EXPECT_EQ(memory_headroom(100, 200), 0u);
  EXPECT_EQ(memory_headroom(kNoMemoryLimit, 200), kNoMemoryLimit);
}

TEST(MemoryLimit, SelfCgroupText) {
  const struct {
    const char *text;
    bool v2;
    const char *v2_path;
    bool v1;
    const char *v1_path;
  } cases[] = {
      {"0::/\n", true, "", false, ""},
      {"0::/a/b/\n", true, "/a/b", false, ""},
      {"0::/a:b\n", true, "/a:b", false, ""},
      {"0::/../../elsewhere\n", true, "", false, ""},  // outside the namespace
      {"4:memory:/job\n0::/\n", true, "", true, "/job"},
      {"7:cpu,memory,blkio:/j\n", false, "", true, "/j"},
      {"7:memoryx:/j\n3:name=memory:/k\n", false, "", false, ""},
      {"garbage\n\n", false, "", false, ""},
  };
  for (const auto &c : cases) {
    const CgroupMembership m = parse_self_cgroup(c.text);
    EXPECT_EQ(m.in_v2, c.v2) << c.text;
    EXPECT_EQ(m.v2_path, c.v2_path) << c.text;
    EXPECT_EQ(m.in_v1_memory, c.v1) << c.text;
    EXPECT_EQ(m.v1_memory_path, c.v1_path) << c.text;
  }
}

TEST(MemoryLimit, StatmText) {
  const MappedSizes sizes = parse_statm("1000 200 30 4 0 500 0\n", 4096);
  EXPECT_EQ(sizes.virtual_bytes, 1000u * 4096);
  EXPECT_EQ(sizes.data_bytes, 500u * 4096);
  EXPECT_EQ(parse_statm("1000 200", 4096).virtual_bytes, 0u);
  EXPECT_EQ(parse_statm("18446744073709551615 0 0 0 0 1 0", 4096).virtual_bytes, UINT64_MAX);
}

}  // namespace
