// Memory headroom probe over /proc, the cgroup file systems and getrlimit.
// Every source that cannot be read counts as "no limit": a wrong refusal
// stops a run that would have worked, a missed limit only keeps old behaviour.
#include "machine/memlimit.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

namespace {

// cgroup v1 writes PAGE_COUNTER_MAX * page size, just under 2^63, for "no
// limit"; no real machine has 2^62 bytes, so everything from there is taken
// as that sentinel whatever the page size.
constexpr uint64_t kUnlimitedSentinel = uint64_t{1} << 62;

// The files read here are a few kilobytes; a bound keeps a bad path (a
// device, a huge file) from costing more than the probe is worth.
constexpr size_t kMaxProbeFile = size_t{1} << 20;

uint64_t saturating_mul(uint64_t a, uint64_t b) {
  uint64_t r;
  return __builtin_mul_overflow(a, b, &r) ? UINT64_MAX : r;
}

uint64_t saturating_add(uint64_t a, uint64_t b) {
  uint64_t r;
  return __builtin_add_overflow(a, b, &r) ? UINT64_MAX : r;
}

bool is_blank(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// The decimal number at the start of `s` after blanks, saturating at
// UINT64_MAX; *rest gets what follows it.
bool leading_u64(std::string_view s, uint64_t *value, std::string_view *rest) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  const char *end = s.data() + s.size();
  const auto [stop, ec] = std::from_chars(s.data(), end, *value);
  if (stop == s.data()) return false;
  if (ec == std::errc::result_out_of_range) *value = UINT64_MAX;
  *rest = std::string_view(stop, static_cast<size_t>(end - stop));
  return true;
}

// A file that holds one number and nothing else but white space.
bool whole_u64(std::string_view s, uint64_t *value) {
  std::string_view rest;
  return leading_u64(s, value, &rest) && trim(rest).empty();
}

bool read_small_file(const std::string &path, std::string *out) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  out->clear();
  char buf[4096];
  size_t n;
  while (out->size() < kMaxProbeFile && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
    out->append(buf, n);
  const bool ok = std::ferror(f) == 0;  // a directory opens but fails to read
  std::fclose(f);
  return ok;
}

// Calls fn(line) for each line of `text`.
template <typename Fn>
void for_each_line(std::string_view text, Fn fn) {
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    fn(text.substr(0, nl));
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
}

bool lists_memory(std::string_view controllers) {
  while (true) {
    const size_t comma = controllers.find(',');
    if (controllers.substr(0, comma) == "memory") return true;
    if (comma == std::string_view::npos) return false;
    controllers.remove_prefix(comma + 1);
  }
}

// A cgroup path as "" for the root or "/a/b" without a trailing slash.
// Paths outside this cgroup namespace show as "/../x" and name nothing under
// the mount, so only the namespace root is looked at for them.
std::string normalise_cgroup_path(std::string_view path) {
  path = trim(path);
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  if (path.empty() || path == ".." || path.starts_with("../") || path.find("/..") != path.npos)
    return "";
  std::string out;
  if (path.front() != '/') out = "/";
  out.append(path);
  return out;
}

uint64_t directory_headroom(const std::string &dir, const char *limit_file,
                            const char *usage_file) {
  std::string text;
  if (!read_small_file(dir + "/" + limit_file, &text)) return kNoMemoryLimit;
  const uint64_t limit = parse_cgroup_limit(text);
  if (limit == kNoMemoryLimit) return kNoMemoryLimit;
  const uint64_t used =
      read_small_file(dir + "/" + usage_file, &text) ? parse_cgroup_usage(text) : 0;
  return memory_headroom(limit, used);
}

// The least headroom on the cgroup at `path` and every ancestor up to the
// mount itself: a parent's limit binds its children too, and inside a
// container the own path may be missing while the mount is the own cgroup.
uint64_t hierarchy_headroom(const std::string &mount, std::string path, const char *limit_file,
                            const char *usage_file) {
  uint64_t least = kNoMemoryLimit;
  while (true) {
    least = std::min(least, directory_headroom(mount + path, limit_file, usage_file));
    if (path.empty()) return least;
    path.erase(path.rfind('/'));
  }
}

uint64_t cgroup_headroom(const MemoryProbePaths &paths) {
  std::string text;
  if (!read_small_file(paths.self_cgroup, &text)) return kNoMemoryLimit;
  const CgroupMembership m = parse_self_cgroup(text);
  uint64_t least = kNoMemoryLimit;
  if (m.in_v2)
    least = hierarchy_headroom(paths.cgroup_root, m.v2_path, "memory.max", "memory.current");
  if (m.in_v1_memory)
    least = std::min(least, hierarchy_headroom(paths.cgroup_root + "/memory", m.v1_memory_path,
                                               "memory.limit_in_bytes", "memory.usage_in_bytes"));
  return least;
}

uint64_t rlimit_headroom(const rlimit &rl, uint64_t used) {
  if (rl.rlim_cur == RLIM_INFINITY) return kNoMemoryLimit;
  return memory_headroom(static_cast<uint64_t>(rl.rlim_cur), used);
}

uint64_t rlimits_headroom(const MemoryProbePaths &paths) {
  MappedSizes mapped;
  std::string text;
  if (read_small_file(paths.statm, &text)) {
    const long page = sysconf(_SC_PAGESIZE);
    mapped = parse_statm(text, page > 0 ? static_cast<uint64_t>(page) : 4096);
  }
  // A failed getrlimit leaves these at "no limit".
  rlimit address_space{RLIM_INFINITY, RLIM_INFINITY}, data{RLIM_INFINITY, RLIM_INFINITY};
  getrlimit(RLIMIT_AS, &address_space);
  getrlimit(RLIMIT_DATA, &data);
  return std::min(rlimit_headroom(address_space, mapped.virtual_bytes),
                  rlimit_headroom(data, mapped.data_bytes));
}

}  // namespace

uint64_t meminfo_available(const std::string &text) {
  uint64_t available_kb = 0, swap_free_kb = 0;
  bool have_available = false;
  for_each_line(text, [&](std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    const std::string_view key = line.substr(0, colon);
    std::string_view rest;
    uint64_t kb;
    if (!leading_u64(line.substr(colon + 1), &kb, &rest)) return;
    if (key == "MemAvailable") {
      available_kb = kb;
      have_available = true;
    } else if (key == "SwapFree") {
      swap_free_kb = kb;
    }
  });
  if (!have_available) return kNoMemoryLimit;
  return saturating_mul(saturating_add(available_kb, swap_free_kb), 1024);
}

uint64_t parse_cgroup_limit(const std::string &text) {
  uint64_t value;
  if (!whole_u64(text, &value) || value >= kUnlimitedSentinel) return kNoMemoryLimit;
  return value;
}

uint64_t parse_cgroup_usage(const std::string &text) {
  uint64_t value;
  return whole_u64(text, &value) ? value : 0;
}

uint64_t memory_headroom(uint64_t limit, uint64_t used) {
  if (limit == kNoMemoryLimit) return kNoMemoryLimit;
  return used >= limit ? 0 : limit - used;
}

CgroupMembership parse_self_cgroup(const std::string &text) {
  CgroupMembership m;
  for_each_line(text, [&](std::string_view line) {
    const size_t first = line.find(':');
    if (first == std::string_view::npos) return;
    const size_t second = line.find(':', first + 1);
    if (second == std::string_view::npos) return;
    const std::string_view id = line.substr(0, first);
    const std::string_view controllers = line.substr(first + 1, second - first - 1);
    const std::string_view path = line.substr(second + 1);  // may itself hold ':'
    if (id == "0" && controllers.empty()) {
      m.in_v2 = true;
      m.v2_path = normalise_cgroup_path(path);
    } else if (lists_memory(controllers)) {
      m.in_v1_memory = true;
      m.v1_memory_path = normalise_cgroup_path(path);
    }
  });
  return m;
}

MappedSizes parse_statm(const std::string &text, uint64_t page_size) {
  // size resident shared text lib data dt, all in pages
  uint64_t fields[6] = {};
  std::string_view rest = text;
  for (int i = 0; i < 6; ++i)
    if (!leading_u64(rest, &fields[i], &rest)) return {};
  return {saturating_mul(fields[0], page_size), saturating_mul(fields[5], page_size)};
}

uint64_t usable_memory(const MemoryProbePaths &paths) {
  uint64_t least = kNoMemoryLimit;
  std::string text;
  if (read_small_file(paths.meminfo, &text)) least = meminfo_available(text);
  least = std::min(least, cgroup_headroom(paths));
  if (paths.read_rlimits) least = std::min(least, rlimits_headroom(paths));
  return least;
}
