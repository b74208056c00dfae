// The compressed formats told by a file's first bytes: each format's magic,
// and text that starts like one but is none.
#include <gtest/gtest.h>

#include <string>

#include "input/decompress.h"

TEST(Decompress, FormatIsToldByTheFirstBytesAlone) {
  const struct {
    std::string head;
    Compression want;
  } cases[] = {
      {std::string("\x1f\x8b\x08\x00", 4), Compression::gzip},
      {std::string("\x28\xb5\x2f\xfd\x24", 5), Compression::zstd},
      {std::string("\xfd" "7zXZ\0\0", 7), Compression::xz},
      {std::string("BZh91AY&SY"), Compression::bzip2},
      {std::string("BZh9\x17\x72\x45\x38\x50\x90"), Compression::bzip2},
      {std::string("BZh9 1 2 3\n"), Compression::none},  // a line of text
      {std::string("BZh91AY&S"), Compression::none},     // too short to tell
      {std::string("\x1f"), Compression::none},
      {std::string("1 2 3\n"), Compression::none},
      {std::string(), Compression::none},
  };
  for (const auto &c : cases) {
    const auto *p = reinterpret_cast<const unsigned char *>(c.head.data());
    EXPECT_EQ(compression_of(p, c.head.size()), c.want) << c.head;
  }
}
