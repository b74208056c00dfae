// The row-acceptance rules and the loading messages, for serial loading and
// for the replay of loading in parts alike.
#include "input/row_accept.h"

#include <algorithm>

#include "base/messages.h"

namespace {

// The texts of the loading messages, said from here only.
constexpr char kRereadingText[] = "Line to long (>%lld). Rereading.\n";
constexpr char kTruncatedText[] =
    "Line contains to many columns (>%u colums). Truncating row %llu.\n";
constexpr char kRowLengthText[] = "Wrong row length: Row %llu\a\n";
constexpr char kTooManyText[] = "Too many data series: >%llu\a\n";

void say_truncated(const Console &con, uint32_t columns, uint64_t row) {
  tell(con, kTruncatedText, columns, static_cast<unsigned long long>(row));
}

[[noreturn]] void wrong_row_length(uint64_t record_number) {
  fatal(kRowLengthText, static_cast<unsigned long long>(record_number));
}

void count_missing(RowTally &t, const RecordFacts &f, uint32_t columns) {
  if (f.missing_at == nullptr) return;
  if (t.missing_cells.size() < columns) t.missing_cells.resize(columns, 0);
  for (uint32_t column : *f.missing_at)
    if (column < columns) ++t.missing_cells[column];
}

void note(RowAcceptor &acc, LoadNote::Kind kind, uint64_t number) {
  acc.part->notes.push_back(LoadNote{kind, number, {}});
}

RowTally merged(const RowTally &before, const RowTally &part) {
  RowTally t;
  t.rows = before.rows + part.rows;
  t.records = before.records + part.records;
  t.left_out = before.left_out + part.left_out;
  t.previous = part.records > 0 ? part.previous : before.previous;
  t.missing_cells = before.missing_cells;
  if (t.missing_cells.size() < part.missing_cells.size())
    t.missing_cells.resize(part.missing_cells.size(), 0);
  for (size_t i = 0; i < part.missing_cells.size(); ++i) t.missing_cells[i] += part.missing_cells[i];
  return t;
}

}  // namespace

void say_rereading(const Console &con, int64_t capacity) {
  message(con, kRereadingText, static_cast<long long>(capacity));
}

void too_many_rows(uint64_t limit) { fatal(kTooManyText, static_cast<unsigned long long>(limit)); }

uint64_t row_slot(RowAcceptor &acc) {
  const uint64_t slot = acc.base + acc.tally.rows;
  if (slot < acc.capacity) return slot;
  if (acc.part != nullptr) return kNoRoom;
  too_many_rows(acc.capacity);
}

void say_rows_left_out(uint64_t rows, bool kept, const Console &con) {
  if (rows > 0 && !kept)
    say(con, "Left out %lu rows with missing values\n", static_cast<unsigned long>(rows));
}

Verdict accept_record(RowAcceptor &acc, const RecordFacts &f) {
  RowTally &t = acc.tally;
  if (acc.part != nullptr && t.records == 0) {
    acc.part->notes.push_back(LoadNote{LoadNote::first, 0, f});
    acc.part->notes.back().facts.missing_at = nullptr;
  } else {
    if (f.truncated) {
      if (acc.part != nullptr)
        note(acc, LoadNote::truncated, t.rows);
      else
        say_truncated(acc.con, acc.columns, t.rows);
    }
    if (t.previous != 0 && f.values != t.previous) {
      // A short or long last line without its line end is a cut-off write:
      // dropped without a word. Anywhere else such a row is an error.
      if (f.cut_off) {
        if (acc.part != nullptr) note(acc, LoadNote::end, 0);
        return Verdict::end;
      }
      if (acc.part == nullptr) wrong_row_length(t.records + 1);
      note(acc, LoadNote::broken, t.records);
      return Verdict::broken;
    }
  }
  ++t.records;
  t.previous = f.values;
  count_missing(t, f, acc.columns);
  if (f.missing) {
    ++t.left_out;
    if (!acc.keep_missing) return Verdict::leave_out;
  }
  if (acc.missing_rows != nullptr) (*acc.missing_rows)[acc.base + t.rows] = f.missing ? 1 : 0;
  ++t.rows;
  return Verdict::keep;
}

void note_growth(RowAcceptor &acc, int64_t capacity) {
  note(acc, LoadNote::growth, static_cast<uint64_t>(capacity));
}

void note_error(RowAcceptor &acc, std::exception_ptr error) {
  note(acc, LoadNote::error, 0);
  acc.part->error = error;
}

bool replay_part(RowAcceptor &acc, GrowableLine &buff, const PartNotes &part) {
  const RowTally before = acc.tally;
  for (const LoadNote &n : part.notes) {
    switch (n.kind) {
      case LoadNote::growth:
        while (static_cast<uint64_t>(buff.capacity) < n.number) {
          if (!buff.silent) say_rereading(acc.con, buff.capacity);
          grow_line_buffer(buff);
        }
        break;
      case LoadNote::first:
        if (accept_record(acc, n.facts) == Verdict::end) return true;
        break;
      case LoadNote::truncated:
        say_truncated(acc.con, acc.columns, before.rows + n.number);
        break;
      case LoadNote::broken:
        wrong_row_length(before.records + n.number + 1);
      case LoadNote::end:
        acc.tally = merged(before, part.tally);
        return true;
      case LoadNote::error:
        std::rethrow_exception(part.error);
    }
  }
  acc.tally = merged(before, part.tally);
  return false;
}

void finish_loading(const RowAcceptor &acc, Analysis &a) {
  if (!acc.con.quiet) tell(acc.con, "\r    \r");
  a.n = static_cast<uint32_t>(acc.tally.rows);
  a.m = static_cast<uint32_t>(std::min<uint64_t>(acc.tally.previous, a.columns));
  a.rows_left_out = acc.tally.left_out;
  a.missing_cells = acc.tally.missing_cells;
  a.missing_cells.resize(a.m, 0);
}
