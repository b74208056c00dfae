// Choosing columns: how a LIST reads against a file's names and column
// count, and how the examination of a separated file applies it.
#include "input/columns.h"

#include <gtest/gtest.h>

#include "base/messages.h"
#include "input/examine.h"
#include "support/input_fixture.h"

namespace {

const std::vector<std::string> kNames = {"", "Ozone", "Temp", "2", "a,b", "Day-1"};

std::string listed(const std::string &list, bool unique = true) {
  try {
    std::string out;
    for (const uint32_t c : listed_columns(list, kNames, 6, "--columns", unique))
      out += std::to_string(c + 1) + " ";
    return out;
  } catch (const RunEnd &end) {
    return end.message;
  }
}

}  // namespace

// A token that is a name is the name even when it reads as a number or a
// range; quotes let a name hold a comma.
TEST(ListedColumns, NamesNumbersAndRangesInListOrder) {
  EXPECT_EQ(listed("Temp,Ozone"), "3 2 ");
  EXPECT_EQ(listed("1,4-6,Temp"), "1 4 5 6 3 ");
  EXPECT_EQ(listed("2"), "4 ");      // the column named "2"
  EXPECT_EQ(listed("Day-1"), "6 ");  // a name, not a range
  EXPECT_EQ(listed("\"a,b\",6"), "5 6 ");
  EXPECT_EQ(listed("2-2"), "2 ");
  EXPECT_EQ(listed("3,3", false), "3 3 ");
}

TEST(ListedColumns, BadListsNameTheToken) {
  const struct {
    const char *list, *message;
  } cases[] = {
      {"", "--columns: empty list\n"},
      {"Tmp", "--columns: no column \"Tmp\"\n"},
      {"ozone", "--columns: no column \"ozone\"\n"},  // names match exactly
      {"7", "--columns: no column \"7\"\n"},
      {"0", "--columns: no column \"0\"\n"},
      {"99999999999999999999", "--columns: no column \"99999999999999999999\"\n"},
      {"2-7", "--columns: range 2-7 goes past the last column (6)\n"},
      {"1-99999999999999999999",
       "--columns: range 1-99999999999999999999 goes past the last "
       "column (6)\n"},
      {"5-2", "--columns: range 5-2 runs backwards\n"},
      {"-3", "--columns: no column \"-3\"\n"},
      {"2-", "--columns: no column \"2-\"\n"},
      {"1,,2", "--columns: empty entry in the list\n"},
      {"\"Temp", "--columns: unterminated quote in the list\n"},
      {"Temp,3", "--columns: column 3 listed twice\n"},
  };
  for (const auto &c : cases) EXPECT_EQ(listed(c.list), c.message) << c.list;
}

namespace {

std::string examined(const std::string &text, ColumnPick pick, const std::string &list) {
  MemFile f(text);
  GrowableLine line = make_examination_buffer();
  const Console con{nullptr, nullptr, true};
  RowRules rules;
  rules.csv = rules.empty_is_missing = true;
  rules.missing = {"NA"};
  rules.pick = pick;
  rules.pick_list = list;
  try {
    const Examination e = examine_data(f.fp, line, rules, con);
    std::string out;
    for (const FieldUse u : e.uses) out += "vslu"[static_cast<int>(u)];
    out.append(" ").append(std::to_string(e.analysed));
    for (const uint32_t c : e.order) out.append(" ").append(std::to_string(c + 1));
    return out;
  } catch (const RunEnd &end) {
    return end.message;
  }
}

const char kExport[] =
    "\"\",\"Species\",\"x\",\"y\",\"z\"\n\"r1\",\"setosa\",NA,1,NA\n"
    "\"r2\",\"virginica\",2,3,NA\n";

}  // namespace

// Columns left out are not looked at: a text column outside the list is
// no error under --numbers-only either, and the labels stay.
TEST(ChosenColumns, ExaminationMarksUsesAndKeepsTheOrder) {
  EXPECT_EQ(examined(kExport, ColumnPick::all, ""), "lsvvs 2");
  EXPECT_EQ(examined(kExport, ColumnPick::listed, "y,3"), "luvvu 2 4 3");
  EXPECT_EQ(examined(kExport, ColumnPick::unlisted, "2,5"), "luvvu 2");
  EXPECT_EQ(examined(kExport, ColumnPick::unlisted, "1-3"), "uuuvs 1");
  EXPECT_EQ(examined("1,2,3\n4,5,6\n", ColumnPick::listed, "3,1"), "vuv 2 3 1");
  EXPECT_EQ(examined(kExport, ColumnPick::listed, "Species"),
            "--columns: column 2 (Species) holds text\n");
  EXPECT_EQ(examined(kExport, ColumnPick::listed, "z"),
            "--columns: column 5 (z) holds no values\n");
  EXPECT_EQ(examined(kExport, ColumnPick::listed, "1,3"),
            "--columns: column 1 () holds row labels\n");
}
