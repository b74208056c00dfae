// Number conversion of the loading pass against the platform routines it
// stands in for: bit for bit the same values, counts and consumed text.
#include "input/numparse.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const char *const kNastyTokens[] = {
    "1e",
    "1e+",
    "1e-",
    "1E5",
    "1e+05",
    "0x",
    "0x1p3",
    "0X1P-2",
    "0x.p1",
    "0x1p",
    ".",
    "-.5",
    "+.5",
    "5.",
    "-5.e3",
    "inf",
    "-inf",
    "INF",
    "infinity",
    "inFINITY",
    "infi",
    "nan",
    "-nan",
    "nan(",
    "nan(12)",
    "NAN",
    "1.5e308",
    "1.8e308",
    "-1e400",
    "4.9e-324",
    "2.4e-324",
    "2.5e-324",
    "1e-400",
    "1e-310",
    "+-1",
    "-+1",
    "--1",
    "+",
    "-",
    "e5",
    "1e5x",
    "1ex",
    "1.5abc",
    "abc",
    "1..2",
    "1.2.3",
    "9007199254740993",
    "9007199254740992",
    "9007199254740993.0000001",
    "1e22",
    "1e23",
    "-1e-22",
    "123456789012345678901234567890",
    "0.000000000000000000000000000001",
    "00000",
    "-0",
    "+0",
    "0e0",
    "1E+0005",
    "1e0000000000000000000000000000000001",
    "2.2250738585072011e-308",
    "2.2250738585072014e-308",
    "1,5",
    "1;2",
    "#",
    "0x1.fffffffffffffp1023",
    "179769313486231580793728971405301e276",
    "0.1e-999999999999",
    "1e999999999999",
    "18446744073709551615",
    "18446744073709551616",
    "4503599627370497.5",
};

std::string random_decimal(std::mt19937_64 &rng) {
  std::string t;
  switch (rng() % 4) {
    case 0:
      t += '-';
      break;
    case 1:
      if (rng() % 4 == 0) t += '+';
      break;
    default:
      break;
  }
  // Short numbers take the exact fast path, long ones the general one.
  const unsigned most = (rng() % 2) ? 10 : 26;
  const int int_digits = static_cast<int>(rng() % most);
  const int frac_digits = static_cast<int>(rng() % most);
  for (int i = 0; i < int_digits; ++i) t += static_cast<char>('0' + rng() % 10);
  if (rng() % 3 != 0) t += '.';
  for (int i = 0; i < frac_digits; ++i) t += static_cast<char>('0' + rng() % 10);
  if (rng() % 3 == 0) {
    t += (rng() % 2) ? 'e' : 'E';
    if (rng() % 2) t += (rng() % 2) ? '-' : '+';
    t += std::to_string(rng() % ((rng() % 2) ? 30 : 700));
  }
  return t;
}

std::string random_token(std::mt19937_64 &rng) {
  static const char junk[] = "0123456789.eE+-xXpPinfaN(),#";
  switch (rng() % 6) {
    case 0:
      return kNastyTokens[rng() % (sizeof kNastyTokens / sizeof *kNastyTokens)];
    case 1: {
      std::string t;
      for (int n = 1 + static_cast<int>(rng() % 6); n > 0; --n)
        t += junk[rng() % (sizeof junk - 1)];
      return t;
    }
    case 2:
      return random_decimal(rng) + junk[rng() % (sizeof junk - 1)];
    default:
      return random_decimal(rng);
  }
}

std::string random_line(std::mt19937_64 &rng) {
  static const char spaces[] = " \t\n\v\f\r";
  std::string line;
  for (int n = static_cast<int>(rng() % 30); n > 0; --n) {
    for (int k = static_cast<int>(rng() % 4); k > 0; --k) line += spaces[rng() % 6];
    line += random_token(rng);
  }
  if (rng() % 2) line += '\n';
  return line;
}

// The loading conversion as first written: sscanf in batches of eight over
// the rest of the line, each %n noting the characters consumed.
RowScan batch_sscanf(const std::string &line, std::vector<double> &row, uint32_t room) {
  RowScan out{0, false, line.c_str()};
  const char *p = line.c_str();
  for (;;) {
    double a[8];
    int consumed = 0;
    int got = std::sscanf(p, "%lg%n%lg%n%lg%n%lg%n%lg%n%lg%n%lg%n%lg%n", &a[0], &consumed, &a[1],
                          &consumed, &a[2], &consumed, &a[3], &consumed, &a[4], &consumed, &a[5],
                          &consumed, &a[6], &consumed, &a[7], &consumed);
    if (got < 0) got = 0;
    uint32_t keep = static_cast<uint32_t>(got);
    if (got > 0 && out.stored + keep > room) {
      out.more = true;
      keep = room - out.stored;
    }
    for (uint32_t i = 0; i < keep; ++i) row[out.stored + i] = a[i];
    out.stored += keep;
    if (keep > 0 && !out.more) out.stop = p + consumed;
    if (keep != 8) break;
    p += consumed;
  }
  return out;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(ConvertRow, AgreesWithBatchesOfSscanfOnRandomLines) {
  std::mt19937_64 rng(2024);
  NumberScanner scanner;
  std::vector<int32_t> identity(64);
  for (int32_t i = 0; i < 64; ++i) identity[i] = i;
  for (int round = 0; round < 40000; ++round) {
    const std::string line = random_line(rng);
    const uint32_t room = (rng() % 4 == 0) ? static_cast<uint32_t>(rng() % 12) : 64;
    std::vector<double> want(64, -7.0), got(64, -7.0);
    const RowScan w = batch_sscanf(line, want, room);
    const RowScan g = convert_row(scanner, line.data(), line.data() + line.size(), got.data(),
                                  identity.data(), room);
    ASSERT_EQ(g.stored, w.stored) << '[' << line << "] room " << room;
    ASSERT_EQ(g.more, w.more) << '[' << line << "] room " << room;
    if (!w.more) {
      ASSERT_EQ(g.stop - line.data(), w.stop - line.c_str()) << '[' << line << ']';
    }
    for (uint32_t i = 0; i < w.stored; ++i)
      ASSERT_TRUE(same_bits(got[i], want[i]))
          << '[' << line << "] value " << i << ": " << got[i] << " vs " << want[i];
  }
}

TEST(ConvertRow, StoresThroughTheMapAndStopsAtTheFirstNul) {
  NumberScanner scanner;
  const int32_t reversed[] = {2, 1, 0};
  double row[3] = {0, 0, 0};
  const std::string line("1 2 3 4\0 5", 10);
  RowScan r = convert_row(scanner, line.data(), line.data() + line.size(), row, reversed, 3);
  EXPECT_EQ(r.stored, 3u);
  EXPECT_TRUE(r.more);
  EXPECT_EQ(row[0], 3.0);
  EXPECT_EQ(row[2], 1.0);
  const std::string cut("1 2\0 3 4", 8);
  r = convert_row(scanner, cut.data(), cut.data() + cut.size(), row, reversed, 3);
  EXPECT_EQ(r.stored, 2u);
  EXPECT_FALSE(r.more);
}

TEST(ParsePlainDecimal, AcceptsPlainDecimalsWithTheValueStrtodGives) {
  std::mt19937_64 rng(99);
  for (int round = 0; round < 300000; ++round) {
    const std::string t = random_decimal(rng);
    double got = 0;
    const bool ok = parse_plain_decimal(t.data(), t.data() + t.size(), &got);
    char *end = nullptr;
    errno = 0;
    const double want = std::strtod(t.c_str(), &end);
    const bool whole = end == t.c_str() + t.size() && end != t.c_str();
    if (!whole) {
      ASSERT_FALSE(ok) << t;  // "", "-", ".", "+." are not numbers
      continue;
    }
    // Only overflow and underflow may be left to the platform routine.
    if (ok) {
      ASSERT_TRUE(same_bits(got, want)) << t << ": " << got << " vs " << want;
    } else {
      ASSERT_EQ(errno, ERANGE) << t;
    }
  }
}

TEST(ParsePlainDecimal, LeavesEverythingButPlainDecimalsToThePlatform) {
  for (const char *t : {"1e", "1e+", "0x1p3", "inf", "nan", ".", "+-1", "1.5abc", "1..2", "e5",
                        "1e400", "1e-400", "-", "1,5"}) {
    double x = 0;
    EXPECT_FALSE(parse_plain_decimal(t, t + std::strlen(t), &x)) << t;
  }
}
