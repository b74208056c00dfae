// Benchmark data generator: `gendata ROWS COLS SEED` writes a table of ROWS
// lines of COLS random numbers to stdout, the same bytes for the same seed on
// every platform. Columns cycle through several plain decimal formats.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// splitmix64: small, fast and fully specified, unlike the distributions of
// <random>, so the same seed gives the same file everywhere.
struct Rng {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1) with 53 random bits.
  double unit() { return static_cast<double>(next() >> 11) * 0x1p-53; }
};

bool parse_count(const char *s, uint64_t &out) {
  char *end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(s, &end, 10);
  if (errno != 0 || end == s || *end != '\0' || s[0] == '-') return false;
  out = v;
  return true;
}

// One number of column `col`, written into `out`; returns its length.
int format_number(Rng &rng, uint64_t col, char *out, size_t size) {
  const double u = rng.unit();
  const double sign = (rng.next() & 1) ? -1.0 : 1.0;
  switch (col % 5) {
    case 0:  // general format: "-523.417", "8.5e-05"
      return std::snprintf(out, size, "%.6g", sign * (u * u) * 1000.0);
    case 1:  // fixed point: "-12.3456"
      return std::snprintf(out, size, "%.4f", sign * u * 100.0);
    case 2:  // integer counts: "48213"
      return std::snprintf(out, size, "%" PRIu64, rng.next() % 100000);
    case 3:  // long fractions: "0.12345678"
      return std::snprintf(out, size, "%.8g", u);
    default: {  // scientific over ten decades: "-1.234e+03"
      const double scale = static_cast<double>(rng.next() % 11) - 5.0;
      double p = 1.0;
      for (int i = 0; i < (scale < 0 ? -scale : scale); ++i) p *= 10.0;
      const double x = scale < 0 ? (1.0 + 9.0 * u) / p : (1.0 + 9.0 * u) * p;
      return std::snprintf(out, size, "%.3e", sign * x);
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  uint64_t rows = 0, cols = 0, seed = 0;
  if (argc != 4 || !parse_count(argv[1], rows) || !parse_count(argv[2], cols) ||
      !parse_count(argv[3], seed)) {
    std::fprintf(stderr, "usage: gendata ROWS COLS SEED\n");
    return 2;
  }
  Rng rng{seed};
  std::string buf;
  buf.reserve(1 << 20);
  char num[64];
  for (uint64_t r = 0; r < rows; ++r) {
    for (uint64_t c = 0; c < cols; ++c) {
      if (c > 0) buf += (rng.next() % 16 == 0) ? '\t' : ' ';
      int len = format_number(rng, c, num, sizeof num);
      buf.append(num, static_cast<size_t>(len));
    }
    buf += '\n';
    if (buf.size() >= (1u << 20) - 4096 || r + 1 == rows) {
      if (std::fwrite(buf.data(), 1, buf.size(), stdout) != buf.size()) {
        std::perror("gendata");
        return 1;
      }
      buf.clear();
    }
  }
  if (std::fflush(stdout) != 0) {
    std::perror("gendata");
    return 1;
  }
  return 0;
}
