// The row-acceptance rules fed record by record against the same records
// cut into parts, noted by part acceptors and replayed in file order: the
// same counts, the same messages and the same first error.
#include "input/row_accept.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/messages.h"

namespace {

struct Outcome {
  RowTally tally;
  std::string err, fatal;
  bool operator==(const Outcome &o) const {
    return tally.rows == o.tally.rows && tally.records == o.tally.records &&
           tally.left_out == o.tally.left_out && tally.previous == o.tally.previous &&
           err == o.err && fatal == o.fatal;
  }
};

std::string text_of(FILE *f) {
  std::rewind(f);
  std::string s;
  for (int ch; (ch = std::fgetc(f)) != EOF;) s.push_back(static_cast<char>(ch));
  std::fclose(f);
  return s;
}

constexpr uint32_t kColumns = 3;
constexpr uint64_t kCapacity = 1000;

Outcome one_pass(const std::vector<RecordFacts> &records) {
  Outcome o;
  FILE *err = std::tmpfile();
  const Console con{nullptr, err, false};
  RowAcceptor acc{con, kColumns, kCapacity, 0, nullptr, {}};
  try {
    for (const RecordFacts &f : records) {
      (void)row_slot(acc);
      if (accept_record(acc, f) == Verdict::end) break;
    }
  } catch (const RunEnd &end) {
    o.fatal = end.message;
  }
  if (o.fatal.empty()) o.tally = acc.tally;  // after a fatal error no count is read
  o.err = text_of(err);
  return o;
}

Outcome in_parts(const std::vector<RecordFacts> &records, const std::vector<size_t> &cuts) {
  const Console silent{nullptr, nullptr, true};
  std::vector<PartNotes> parts(cuts.size() + 1);
  for (size_t k = 0; k < parts.size(); ++k) {
    const size_t begin = k == 0 ? 0 : cuts[k - 1], end = k < cuts.size() ? cuts[k] : records.size();
    RowAcceptor acc{silent, kColumns, kCapacity, begin, &parts[k], {}};
    for (size_t r = begin; r < end; ++r) {
      const Verdict v = accept_record(acc, records[r]);
      if (v == Verdict::end || v == Verdict::broken) break;
    }
    parts[k].tally = acc.tally;
  }
  Outcome o;
  FILE *err = std::tmpfile();
  const Console con{nullptr, err, false};
  RowAcceptor acc{con, kColumns, kCapacity, 0, nullptr, {}};
  GrowableLine buff = make_line_buffer(256, "buff");
  try {
    for (const PartNotes &p : parts)
      if (replay_part(acc, buff, p)) break;
  } catch (const RunEnd &end) {
    o.fatal = end.message;
  }
  if (o.fatal.empty()) o.tally = acc.tally;  // after a fatal error no count is read
  o.err = text_of(err);
  return o;
}

TEST(RowAccept, PartsReplayedSayWhatOnePassSays) {
  std::mt19937_64 rng(22);
  for (int round = 0; round < 400; ++round) {
    // Mostly rows of three values, some truncated or missing, now and then
    // one of another length, blank rows (no values) and a cut-off last line.
    std::vector<RecordFacts> records(1 + rng() % 40);
    for (RecordFacts &f : records) {
      f.values = rng() % 60 == 0 ? rng() % 5 : kColumns;
      f.truncated = rng() % 8 == 0;
      f.missing = rng() % 6 == 0;
    }
    records.back().cut_off = rng() % 2 == 0;
    std::vector<size_t> cuts;
    for (size_t k = 1; k < records.size(); ++k)
      while (rng() % 4 == 0) cuts.push_back(k);  // a cut twice: a part without records
    const Outcome serial = one_pass(records);
    const Outcome parts = in_parts(records, cuts);
    EXPECT_TRUE(parts == serial) << "round " << round << "\none pass: " << serial.err << "|"
                                 << serial.fatal << "\nin parts: " << parts.err << "|"
                                 << parts.fatal;
  }
}

}  // namespace
