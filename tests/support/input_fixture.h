// Helpers shared by the data-input tests: streams over in-memory text, and
// the straightforward line reader (fgetc to look, fgets to read, fseek to
// go back) that the windowed reader must agree with.
#pragma once

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

// A read stream over a copy of `text` (NUL bytes included); closes itself.
struct MemFile {
  std::string text;
  FILE *fp = nullptr;
  explicit MemFile(std::string t) : text(std::move(t)) {
    // fmemopen refuses a zero size; an empty file is a file with nothing
    // left to read after its first byte has been skipped.
    if (text.empty()) {
      fp = fmemopen(const_cast<char *>(" "), 1, "r");
      std::fgetc(fp);
      std::clearerr(fp);
    } else {
      fp = fmemopen(text.data(), text.size(), "r");
    }
  }
  ~MemFile() {
    if (fp != nullptr) std::fclose(fp);
  }
  MemFile(const MemFile &) = delete;
  MemFile &operator=(const MemFile &) = delete;
};

// One data line the way a plain fgetc/fgets loop reads it (no NUL bytes in
// the data); returns its length or -1.
inline long ref_read_data_line(FILE *f, char *buf, int cap, const char *comments) {
  for (;;) {
    int ch = std::fgetc(f);
    if (ch == EOF) return -1;
    if (comments != nullptr && ch != 0 && std::strchr(comments, ch) != nullptr) {
      while ((ch = std::fgetc(f)) != EOF && ch != '\n') {
      }
      if (ch == EOF) return -1;
      continue;
    }
    std::ungetc(ch, f);
    if (std::fgets(buf, cap, f) == nullptr) return -1;
    return static_cast<long>(std::strlen(buf));
  }
}

// Random text over a small alphabet rich in line ends and comment
// characters, with lines of lengths around `around`.
inline std::string random_text(std::mt19937_64 &rng, int lines, int around) {
  static const char alphabet[] = "12 .#;!x\t";
  std::string out;
  for (int i = 0; i < lines; ++i) {
    const int len = static_cast<int>(rng() % static_cast<unsigned>(2 * around + 2));
    for (int k = 0; k < len; ++k) out += alphabet[rng() % (sizeof alphabet - 1)];
    if (i + 1 < lines || rng() % 2 == 0) out += '\n';
  }
  return out;
}
