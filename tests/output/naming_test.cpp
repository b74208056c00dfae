// Output names: the stem rule and the refusal of ".cor"/".inp" names.
#include <gtest/gtest.h>

#include "base/messages.h"
#include "output/naming.h"

TEST(Naming, OutputNameReplacesTheExtensionAfterTheLastSeparator) {
  const struct {
    const char *data, *mvd;
  } cases[] = {
      {"data.txt", "data.mvd"},      {"data", "data.mvd"},
      {"run.2/data", "run.2/data.mvd"}, {"run.2\\data", "run.2\\data.mvd"},
      {"a.b.c", "a.b.mvd"},          {".profile", ".profile.mvd"},
      {"C:data", "C:data.mvd"},      {"dir/.hidden", "dir/.mvd"},
      {"trailing.", "trailing.mvd"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(output_name(output_place(c.data), ".mvd"), c.mvd) << c.data;
  }
}

TEST(Naming, LongNamesAreNotCut) {
  std::string dir(300, 'd');
  EXPECT_EQ(output_name(output_place((dir + "/x.txt").c_str()), ".his"), dir + "/x.his");
}

TEST(Naming, CorAndInpAnywhereInTheNameAreRefused) {
  for (const char *name : {"data.cor", "data.inp", "my.correlations.txt", "input.inputs", "old.cor/data"}) {
    try {
      output_place(name);
      ADD_FAILURE() << name << " was accepted";
    } catch (const RunEnd &end) {
      EXPECT_EQ(end.status, 1);
      EXPECT_EQ(end.message, "The infile extension may not be one of .cor and .inp.\a\n");
    }
  }
}
