// CSV records split into fields, fields judged as numbers and missing
// values, message text made printable, and the spool behind standard input.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "input/csv.h"
#include "input/spool.h"

namespace {

// Malformed fields come out as "!" and their raw text; a record whose quote
// is still open as no fields at all.
std::vector<std::string> split(const std::string &record, std::vector<CsvField> &fields) {
  CsvScan scan;
  std::string scratch;
  std::vector<std::string> out;
  if (split_csv_record(record.data(), record.data() + record.size(), scan, fields, scratch) ==
      CsvSplit::ok)
    for (const CsvField &f : fields)
      out.push_back(f.malformed ? std::string(1, '!').append(f.raw, f.raw_size)
                                : std::string(f.text, f.size));
  return out;
}

// Child of EXPECT_EXIT: a file size limit stands in for a full disk.
[[noreturn]] void spool_beyond_file_size_limit() {
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit lim = {16384, 16384};
  setrlimit(RLIMIT_FSIZE, &lim);
  int p[2];
  const std::string data(40000, '7');  // fits in the pipe: no writer needed
  if (pipe(p) != 0 || write(p[1], data.data(), data.size()) != 40000) std::_Exit(2);
  close(p[1]);
  std::string error;
  int fd = spool_to_temp(p[0], &error);
  std::fputs(error.c_str(), stderr);
  std::_Exit(fd == -1 ? 0 : 1);
}

}  // namespace

TEST(CsvSplit, RecordsGiveTheirFields) {
  const std::string a20(20, 'a'), b40(40, 'b');
  const struct {
    std::string record;
    std::vector<std::string> fields;
  } cases[] = {
      {"1,2,3\n", {"1", "2", "3"}},
      {"1,2\r\n", {"1", "2"}},
      {"  1 ,\t2\t, 3", {"1", "2", "3"}},
      {",,\n", {"", "", ""}},
      {"a, b c ,d\n", {"a", "b c", "d"}},
      {"\"a,b\",\"x\"\"y\"\n", {"a,b", "x\"y"}},
      {"  \"q\"\t, \"\" ,\"\"\"\"\n", {"q", "", "\""}},
      {"\" 4 \",5\n", {" 4 ", "5"}},
      // Unescaped values must not move each other in the scratch string.
      {"\"" + a20 + "\"\"\",\"" + b40 + "\"\"\"", {a20 + "\"", b40 + "\""}},
      {"12\"3,4\n", {"12\"3", "4"}},
      {"\"12\"x ,4\n", {"!\"12\"x", "4"}},
      {"\"12\" \"3\" , 4\n", {"!\"12\" \"3\"", "4"}},
      {"1,\"open\n", {}},
      {"1,\"ends in a quote\"\"\r\n", {}},
  };
  std::vector<CsvField> fields;
  for (const auto &c : cases) EXPECT_EQ(split(c.record, fields), c.fields) << c.record;
}

TEST(CsvSplit, QuotedFieldCarriesOverLineEndsAndTheNextRecordStartsAfresh) {
  CsvScan scan;
  std::vector<CsvField> fields;
  std::string scratch, record;
  auto step = [&](const char *line) {
    record.append(line);  // may move the record: the scan keeps offsets only
    return split_csv_record(record.data(), record.data() + record.size(), scan, fields, scratch);
  };
  EXPECT_EQ(step("1,\"a\r\n"), CsvSplit::needs_more_input);
  EXPECT_EQ(step("b\"\",\n"), CsvSplit::needs_more_input);
  ASSERT_EQ(step("c\" ,2\n"), CsvSplit::ok);
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(std::string(fields[1].text, fields[1].size), "a\r\nb\",\nc");
  record.clear();
  ASSERT_EQ(step("\"x\",y\n"), CsvSplit::ok);
  EXPECT_EQ(fields.size(), 2u);
}

TEST(CsvField, NumbersAreWholeFieldsConvertedAsInWhiteSpaceMode) {
  const struct {
    const char *record;
    bool number;
    double value;
  } cases[] = {
      {"1.5", true, 1.5},   {"\" -2e3 \"", true, -2000}, {"0x1p3", true, 8},
      {"0.1", true, 0.1},   {"1e400", true, HUGE_VAL},   {"12\"3", false, 0},
      {"12abc", false, 0},  {"1 2", false, 0},           {"\"\"", false, 0},
      {"\"7\"x", false, 0}, {"-", false, 0},
  };
  NumberScanner s;
  std::vector<CsvField> fields;
  for (const auto &c : cases) {
    const std::string record = c.record;  // the fields view into it
    split(record, fields);
    double x = -1;
    EXPECT_EQ(csv_field_number(s, fields.at(0), &x), c.number) << c.record;
    EXPECT_EQ(x, c.number ? c.value : -1) << c.record;
  }
}

TEST(CsvField, MissingWordsMatchWholeValues) {
  const std::vector<std::string> words = {"NA", "."};
  const struct {
    const char *record;
    bool empty_is_missing, missing;
  } cases[] = {
      {"\"NA\"", false, true}, {" . ", false, true}, {"na", true, false}, {"NA.", true, false},
      {"\"\"", true, true},    {"", false, false},   {"\"NA\"x", true, false},
  };
  std::vector<CsvField> fields;
  for (const auto &c : cases) {
    const std::string record = c.record;  // the fields view into it
    split(record, fields);
    EXPECT_EQ(csv_field_is_missing(fields.at(0), words, c.empty_is_missing), c.missing)
        << c.record;
  }
}

TEST(CsvField, ShownTextIsPrintableAndCut) {
  const std::string odd("a\tb\\c\x01\x7f\xc3\xa9\0z", 11), sixty(60, 'x'), more(61, 'x');
  EXPECT_EQ(shown_field(odd.data(), odd.size()), "a\\x09b\\\\c\\x01\\x7f\\xc3\\xa9\\x00z");
  EXPECT_EQ(shown_field(sixty.data(), sixty.size()), sixty);
  EXPECT_EQ(shown_field(more.data(), more.size()), sixty + "...");
  const std::string names(" x\ty  z\r\n\0w", 12);
  EXPECT_EQ(split_blank_names(names.data(), names.data() + names.size()),
            (std::vector<std::string>{"x", "y", "z"}));
}

TEST(Spool, PipeReadsBackTheSameBytesFromTheStart) {
  std::string data;
  for (size_t i = 0; data.size() < (size_t{3} << 20) + 5; ++i) data += std::to_string(i) + ",";
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  std::thread writer([&] {
    for (size_t at = 0; at < data.size();) {
      ssize_t put = write(p[1], data.data() + at, data.size() - at);
      if (put <= 0) break;
      at += static_cast<size_t>(put);
    }
    close(p[1]);
  });
  std::string error, back(data.size() + 1, '\0');
  int fd = spool_to_temp(p[0], &error);
  writer.join();
  close(p[0]);
  ASSERT_GE(fd, 0) << error;
  EXPECT_TRUE(is_regular_file(fd));
  EXPECT_EQ(pread(fd, back.data(), back.size(), 0), static_cast<ssize_t>(data.size()));
  EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0);
  EXPECT_TRUE(back.compare(0, data.size(), data) == 0);
  close(fd);
}

TEST(Spool, FullDiskIsAnErrorNotAShortCopy) {
  EXPECT_EXIT(spool_beyond_file_size_limit(), testing::ExitedWithCode(0),
              "Cannot copy the input to a temporary file in .*: File too large");
}
