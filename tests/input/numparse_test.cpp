// Number conversion of the loading pass against the platform routines it
// stands in for: bit for bit the same values, counts and consumed text.
#include "input/numparse.h"
#include "support/numparse_whole.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
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

// The cases where a conversion of one's own goes wrong: exact halfway points
// between neighbouring doubles (which round to even) and the texts just
// beside them, cut to 17 to 20 digits; long mantissas; the subnormal and
// overflow boundaries; 2^53 and its neighbours. Each token, with text after
// it too, reads as strtod reads it or is left to the platform routine.
TEST(ParsePlainDecimal, HardCasesGiveTheValueStrtodGives) {
  std::vector<std::string> tokens = {
      "9007199254740991", "9007199254740992", "9007199254740993", "9007199254740994",
      "9007199254740995", "9007199254740993.0000000001", "-9007199254740993",
      "4503599627370497.5", "7.2057594037927933e16", "0.10000000000000000555",
      "1.00000000000000011102230246251565404236316680908203125",
      "1.00000000000000011102230246251565404236316680908203124",
      "1.00000000000000011102230246251565404236316680908203126",
      "2.2250738585072011e-308", "2.2250738585072012e-308", "2.2250738585072014e-308",
      "4.9406564584124654e-324", "2.4703282292062327e-324", "2.4703282292062328e-324",
      "1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308",
      "12345678901234567", "123456789012345678", "1234567890123456789", "12345678901234567890",
      "18446744073709551615", "18446744073709551616", "0.000000000000000000001e21",
      "1e23", "8.988465674311579e307", "1e-22", "1e22", "123456789e-22", "9e-23"};
  std::mt19937_64 rng(53);
  char text[128];
  for (int i = 0; i < 20000; ++i) {
    // Doubles within [2^-10, 2^60): the midpoint with the next one is exact
    // in long double and its decimal expansion ends within 70 digits.
    const double low = std::ldexp(1.0 + static_cast<double>(rng() >> 12) * 0x1p-52,
                                  static_cast<int>(rng() % 70) - 10);
    const long double mid = (static_cast<long double>(low) + std::nextafter(low, INFINITY)) / 2;
    std::snprintf(text, sizeof text, "%.70Le", mid);
    std::string exact(text);
    const size_t e = exact.find('e');
    tokens.push_back(exact);
    for (size_t digits = 17; digits <= 20; ++digits) {
      std::string cut = exact.substr(0, digits + 1) + exact.substr(e);  // "d." plus digits
      tokens.push_back(cut);
      cut[digits] = cut[digits] == '9' ? '8' : static_cast<char>(cut[digits] + 1);
      tokens.push_back(cut);
    }
  }
  NumberScanner scanner;
  for (const std::string &t : tokens) {
    char *end = nullptr;
    const double want = std::strtod(t.c_str(), &end);
    ASSERT_EQ(end, t.c_str() + t.size()) << t;
    double got = 0;
    if (parse_plain_decimal(t.data(), t.data() + t.size(), &got)) {
      ASSERT_TRUE(same_bits(got, want)) << t;
    }
    const std::string line = t + " 5\n";
    const char *next = nullptr;
    ASSERT_TRUE(scan_number(scanner, line.data(), line.data() + line.size(), &got, &next)) << t;
    ASSERT_TRUE(same_bits(got, want)) << t;
    ASSERT_EQ(next, line.data() + t.size()) << t;
  }
}
