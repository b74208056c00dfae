// Atomic result files: which paths are written through a temporary, the
// temporary's name, and that a dropped or failed result keeps the old file.
#include "output/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/output_fixture.h"

class AtomicFile : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vantor_atomic_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string at(const char *name) const { return dir_ + "/" + name; }
  void put(const char *name, const char *text) const {
    FILE *fp = std::fopen(at(name).c_str(), "w");
    std::fputs(text, fp);
    std::fclose(fp);
  }
  size_t entries() const {
    return std::distance(std::filesystem::directory_iterator(dir_),
                         std::filesystem::directory_iterator());
  }
  std::string dir_;
};

TEST_F(AtomicFile, OnlyAbsentAndSingleLinkedOwnFilesAreReplaced) {
  put("single", "x");
  put("linked", "x");
  ASSERT_EQ(link(at("linked").c_str(), at("linked2").c_str()), 0);
  ASSERT_EQ(symlink("single", at("symlink").c_str()), 0);
  ASSERT_EQ(mkfifo(at("fifo").c_str(), 0600), 0);
  ASSERT_EQ(mkdir(at("dir").c_str(), 0700), 0);
  const struct {
    std::string path;
    WriteMode mode;
  } cases[] = {
      {at("absent"), WriteMode::atomic},      {at("single"), WriteMode::atomic},
      {at("linked"), WriteMode::in_place},    {at("symlink"), WriteMode::in_place},
      {at("fifo"), WriteMode::in_place},      {"/dev/null", WriteMode::in_place},
      {at("dir"), WriteMode::in_place},       {at("single/below"), WriteMode::in_place},
      {at("nodir/below"), WriteMode::atomic},
  };
  for (const auto &c : cases) EXPECT_EQ(write_mode(c.path.c_str()), c.mode) << c.path;
}

TEST_F(AtomicFile, TemporaryIsAHiddenNameBesideTheResult) {
  EXPECT_EQ(temporary_name("data.mvd", 42, 7), ".data.mvd.vantor-tmp.42.7");
  EXPECT_EQ(temporary_name("out/run.2/data.mvd", 1, 0), "out/run.2/.data.mvd.vantor-tmp.1.0");
}

TEST_F(AtomicFile, ResultAppearsWholeOnFinishAndOldFileStaysOtherwise) {
  put("r", "old\n");
  ASSERT_EQ(chmod(at("r").c_str(), 0640), 0);
  ResultStream s = open_result(at("r"));
  ASSERT_NE(s.fp, nullptr);
  ASSERT_GE(s.slot, 0);
  std::fputs("new\n", s.fp);
  std::fflush(s.fp);
  EXPECT_EQ(read_file(at("r")), "old\n");
  EXPECT_EQ(entries(), 2u);
  abandon_result(s);
  EXPECT_EQ(read_file(at("r")), "old\n");
  EXPECT_EQ(entries(), 1u);

  s = open_result(at("r"));
  std::fputs("new\n", s.fp);
  EXPECT_TRUE(finish_result(s, at("r")));
  EXPECT_EQ(read_file(at("r")), "new\n");
  EXPECT_EQ(entries(), 1u);
  struct stat st;
  ASSERT_EQ(stat(at("r").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(AtomicFile, SymbolicLinkIsWrittenThroughAndStaysALink) {
  put("target", "old\n");
  ASSERT_EQ(symlink("target", at("link").c_str()), 0);
  ResultStream s = open_result(at("link"));
  EXPECT_EQ(s.slot, -1);
  std::fputs("new\n", s.fp);
  EXPECT_TRUE(finish_result(s, at("link")));
  EXPECT_TRUE(std::filesystem::is_symlink(at("link")));
  EXPECT_EQ(read_file(at("target")), "new\n");
}
