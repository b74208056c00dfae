// Output names and output file creation. The name check refuses data files
// whose names could collide with the ".cor"/".inp" results; the stem rule
// looks for the extension only after the last path separator.
#include "output/naming.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "output/atomic_file.h"
#include "base/messages.h"

std::string name_stem(const std::string &data_file) {
  for (size_t i = data_file.size(); i-- > 0;) {
    char ch = data_file[i];
    if (ch == '\\' || ch == ':' || ch == '/') break;
    if (ch == '.') {
      if (i == 0) break;
      return data_file.substr(0, i);
    }
  }
  return data_file;
}

namespace {

// The length of the compression suffix of `name` (".gz", ".zst", ".xz",
// ".bz2", any case) when the file starts with that format's magic bytes,
// else 0: a plain file keeps its whole name as the stem's source. The input
// layer reads the same magic bytes to decompress the file.
size_t compression_suffix(const std::string &name) {
  static const struct {
    const char *suffix, *magic;
    size_t magic_size;
  } kFormats[] = {{".gz", "\x1f\x8b", 2},
                  {".zst", "\x28\xb5\x2f\xfd", 4},
                  {".xz", "\xfd" "7zXZ\0", 6},
                  {".bz2", "BZh", 3}};  // then the block size and first block's magic
  for (const auto &f : kFormats) {
    const size_t n = std::strlen(f.suffix);
    if (name.size() <= n || strcasecmp(name.c_str() + name.size() - n, f.suffix) != 0) continue;
    FILE *in = std::fopen(name.c_str(), "rb");
    if (in == nullptr) return 0;
    char head[10] = {};
    const size_t got = std::fread(head, 1, sizeof head, in);
    std::fclose(in);
    if (got < f.magic_size || std::memcmp(head, f.magic, f.magic_size) != 0) return 0;
    if (f.magic_size == 3 && (got < 10 || head[3] < '1' || head[3] > '9' ||
                              std::memcmp(head + 4, "\x31\x41\x59\x26\x53\x59", 6) != 0))
      return 0;
    return n;
  }
  return 0;
}

}  // namespace

std::string name_label(const std::string &name, int column) {
  if (name.empty()) return std::string(1, 'x').append(std::to_string(column));
  std::string label = name;
  for (char &ch : label) {
    const unsigned char u = static_cast<unsigned char>(ch);
    if (u <= ' ' || u == 0x7f) ch = '_';
  }
  return label;
}

OutputPlace output_place(const char *data_file, const std::string &results_dir) {
  std::string name = data_file;
  if (name.find(".cor") != std::string::npos || name.find(".inp") != std::string::npos)
    fatal("The infile extension may not be one of %s and %s.\a\n", ".cor", ".inp");
  if (name == "-") return OutputPlace{"", results_dir.empty() ? "stdin" : results_dir + "/stdin"};
  std::string stem = name_stem(name.substr(0, name.size() - compression_suffix(name)));
  if (!results_dir.empty()) {
    const size_t slash = stem.find_last_of("/\\:");
    stem = results_dir + "/" + (slash == std::string::npos ? stem : stem.substr(slash + 1));
  }
  return OutputPlace{name, stem};
}

void check_results_dir(const std::string &dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) != 0) fatal("Results directory %s: %s\n", dir.c_str(), std::strerror(errno));
  if (!S_ISDIR(st.st_mode)) fatal("Results directory %s: %s\n", dir.c_str(), std::strerror(ENOTDIR));
  if (access(dir.c_str(), W_OK | X_OK) != 0)
    fatal("Results directory %s: %s\n", dir.c_str(), std::strerror(errno));
}

std::string output_name(const OutputPlace &place, const char *ext) { return place.stem + ext; }

// True when `name` is the same file as the data file.
static bool is_data_file(const OutputPlace &place, const std::string &name) {
  if (place.data_file.empty()) return false;
  struct stat out_st, in_st;
  if (stat(name.c_str(), &out_st) != 0 || stat(place.data_file.c_str(), &in_st) != 0)
    return false;
  return out_st.st_dev == in_st.st_dev && out_st.st_ino == in_st.st_ino;
}

OutputFile open_output(const OutputPlace &place, const char *ext) {
  const std::string name = output_name(place, ext);
  if (is_data_file(place, name))
    fatal("Output file %s would overwrite the data file.\a\n", name.c_str());
  const ResultStream s = open_result(name);
  if (s.fp == nullptr) fatal("Can't create file: %s\a\n", name.c_str());
  return OutputFile(s.fp, name, s.slot, s.failed);
}

OutputFile::~OutputFile() {
  ResultStream s{fp, slot, failed};
  abandon_result(s);
}

void announce_output(const OutputFile &out, const Console &con) {
  if (!con.quiet) say(con, "Writing file: %s\n", out.name.c_str());
}

void close_output(OutputFile &out) {
  ResultStream s{out.fp, out.slot, out.failed};
  out.fp = nullptr;
  out.slot = -1;
  if (!finish_result(s, out.name)) fatal("Can't write file: %s\a\n", out.name.c_str());
}

namespace {

std::string file_safe(const std::string &text) {
  std::string safe = text.substr(0, 64);
  for (char &ch : safe) {
    const auto u = static_cast<unsigned char>(ch);
    const bool kept = std::isalnum(u) != 0 || ch == '.' || ch == '_' || ch == '+' || ch == '-';
    if (!kept || u >= 0x80) ch = '_';
  }
  return safe;
}

}  // namespace

std::vector<std::string> group_file_parts(const std::string &column,
                                          const std::vector<std::string> &values) {
  std::vector<std::string> parts;
  std::set<std::string> taken;
  for (const std::string &value : values) {
    const std::string base = file_safe(column) + "=" + file_safe(value);
    std::string part = base;
    for (uint32_t k = 2; !taken.insert(part).second; ++k) part = base + "~" + std::to_string(k);
    parts.push_back(part);
  }
  return parts;
}
