// Parsing baseline for the benchmark: reads a file in big blocks and converts
// every white-space separated token (with --csv, comma separated too) with
// std::from_chars, storing nothing.
// What the loading pass is measured against; not part of the tool.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool commas_separate = false;

bool is_space(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r' ||
         (commas_separate && ch == ',');
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 3 && std::strcmp(argv[1], "--csv") == 0) {
    commas_separate = true;
    ++argv;
    --argc;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: parse_baseline [--csv] FILE\n");
    return 2;
  }
  FILE *in = std::fopen(argv[1], "rb");
  if (in == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  constexpr size_t kBlock = size_t{1} << 20;
  std::vector<char> buf(2 * kBlock);
  size_t kept = 0;  // bytes of a token cut by the previous block
  unsigned long long numbers = 0, rejected = 0;
  double sum = 0;
  for (;;) {
    if (kept > kBlock) buf.resize(kept + kBlock);
    const size_t got = std::fread(buf.data() + kept, 1, kBlock, in);
    const size_t end = kept + got;
    const bool last = got == 0;
    size_t p = 0;
    for (;;) {
      while (p < end && is_space(buf[p])) ++p;
      size_t t = p;
      while (t < end && !is_space(buf[t])) ++t;
      if (t == end && !last) break;  // the token may go on in the next block
      if (p == t) break;
      double x = 0;
      const auto res = std::from_chars(buf.data() + p, buf.data() + t, x);
      if (res.ec == std::errc() && res.ptr == buf.data() + t) {
        sum += x;
        ++numbers;
      } else {
        ++rejected;
      }
      p = t;
    }
    if (last) break;
    kept = end - p;
    std::memmove(buf.data(), buf.data() + p, kept);
  }
  std::fclose(in);
  std::printf("%llu numbers, %llu other tokens, sum %.17g\n", numbers, rejected, sum);
  return 0;
}
