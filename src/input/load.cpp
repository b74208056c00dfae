// The loading pass: the column maps from --inverse and --sort, then every
// data line converted into a row of the data matrix under the row-length
// rules. The examination has sized the matrix; the driver owns the stream.
#include "input/load.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "input/load_step.h"
#include "input/progress.h"
#include "input/reader.h"
#include "input/records.h"
#include "input/row_accept.h"
#include "input/splitload.h"
#include "input/textcols.h"
#include "record/rowspill.h"

namespace {

// Applies the sort list onto the identity maps, echoing it unless quiet.
// Entries beyond the c-th have no column left to name: they are still read
// and range-checked but change nothing.
void apply_sort_list(Analysis &a, const char *list, const Console &con) {
  const uint32_t c = a.columns;
  if (!con.quiet) say(con, "%s\n", list);
  const char *pos = list;
  uint32_t k = 0;
  for (;;) {
    unsigned int number = 0;
    int consumed = 0;
    if (std::sscanf(pos, " %8u%n", &number, &consumed) != 1) break;
    pos += consumed;
    while (*pos == ' ' || *pos == ',') ++pos;
    if (number == 0 || number > c)
      fatal("sort: Value out of range. ( 1 <= %d <= %u )", static_cast<int>(number), c);
    if (k == c) continue;
    a.file_to_variable[number - 1] = static_cast<int32_t>(k);
    a.variable_to_file[k] = static_cast<int32_t>(number - 1);
    ++k;
    if (!con.quiet) say(con, "%u->%u\n", k, number);
  }
  if (con.quiet) return;
  say(con, "cols:%u\n", c);
  for (uint32_t j = 0; j < c; ++j) say(con, "%d ", a.file_to_variable[j] + 1);
  say(con, "\n");
  for (uint32_t j = 0; j < c; ++j) say(con, "%d ", a.variable_to_file[j] + 1);
  say(con, "\n");
}

}  // namespace

GrowableLine loading_buffer(FILE *in) {
  int64_t capacity = first_data_line_length(in);
  capacity = capacity / 4 * 5 + capacity % 4 * 5 / 4;
  if (capacity < 256) capacity = 256;
  return make_line_buffer(capacity, "buff");
}

RowRules loading_rules(FILE *in, const RowRules &file_rules, bool names_line, bool in_passes) {
  RowRules rules = file_rules;
  rules.in_passes = in_passes;
  if (rules.csv && names_line) rules.column_names = names_line_of(in, rules);
  // A names line one short (R's write.table) names no row-label column.
  if (!rules.column_names.empty() && rules.column_names.size() + 1 == rules.uses.size())
    rules.column_names.insert(rules.column_names.begin(), std::string());
  return rules;
}

void build_column_maps(Analysis &a, const ReadOptions &read, const OutputOptions &output,
                       const Console &con) {
  const uint32_t c = a.columns;
  for (uint32_t j = 0; j < c; ++j) {
    const int32_t to = static_cast<int32_t>(read.inverse ? c - 1 - j : j);
    a.file_to_variable[j] = to;
    a.variable_to_file[j] = to;
  }
  if (!read.inverse && read.sort && (output.tetrad || output.covariance))
    apply_sort_list(a, read.sort_list.c_str(), con);
}

namespace {

// A record of a batch: what reading it came to, then, when the workers
// convert the batch ahead of its turn, what converting it came to.
struct BatchRecord {
  size_t text = 0;        // where its bytes begin in the batch's text
  int64_t len = 0;
  uint64_t line = 0;      // the file line it starts on
  bool cut_off = false;   // the end of the file came before its line end
  bool names = false;     // the names line: only read
  int64_t capacity = 0;   // the line buffer's capacity once it was read
  RecordFacts facts;
  std::vector<uint32_t> missing_at;
  std::string label;
  std::string group;         // its --by value
  std::exception_ptr error;  // its conversion ended the run
};

// The records the loading pass reads before it takes them in file order.
// With one worker there is no batch: each record is read at its turn,
// left in the line buffer and converted straight into its row's place, so
// that loading runs at the speed of conversion. With several (a file
// analysed in passes) a batch is a block's worth of records, which the
// workers convert ahead into rows of the batch's own.
struct Batch {
  bool ahead = false;                // the workers convert the batch before its turn
  uint64_t size = 0;                 // records a batch holds at most
  uint64_t count = 0;                // records in the batch
  uint64_t next = 0;                 // the batch's next record to take
  std::vector<BatchRecord> records;  // reused from batch to batch
  std::string text;                  // the records' bytes
  std::vector<double> rows;          // the records' rows, `size` of c values
  std::vector<RowScratch> scratch;   // per worker; the first also reads
  int64_t shown = 0;                 // the capacity the rereading messages have reached
  std::exception_ptr read_error;     // reading stopped after the batch: it ended the run
  bool done = false;                 // the file has no more records
};

// Where the loading pass stands between records.
struct LoadingState {
  LineReader r;
  GrowableLine buff;
  Progress progress;
  LoadTarget target;  // the acceptance rules and the rows' sink, in memory or to the spill
  bool names;         // the next record is the names line
};

// What every record of the pass is read and converted under.
struct PassRules {
  const RowRules &rules;
  bool plain;  // white space under none of the record rules
  FILE *in;
  const Console &con;
};

Batch start_batches(const Analysis &a, const LoadingState &st, Workers &w) {
  Batch b;
  b.ahead = a.spill != nullptr && w.count() > 1;
  if (b.ahead) {
    b.size = a.capacity;
    b.rows.resize(b.size * a.columns);
  }
  b.scratch.resize(b.ahead ? w.count() : 1);
  b.shown = st.buff.capacity;
  return b;
}

// Reads the next batch, without a word: the rereading messages are said
// when each record's turn comes.
void read_batch(Batch &b, LoadingState &st, const PassRules &p) {
  const Console silent{nullptr, nullptr, true};
  b.text.clear();
  b.count = 0;
  b.next = 0;
  try {
    while (b.count < b.size) {
      const int64_t len = read_record(st.r, st.buff, b.scratch[0], p.rules, silent);
      if (len < 0) {
        b.done = true;
        return;
      }
      progress_update(st.progress, p.in, p.con);
      if (b.count == b.records.size()) b.records.emplace_back();
      BatchRecord &rec = b.records[b.count++];
      rec.text = b.text.size();
      rec.len = len;
      rec.line = st.r.line_start;
      rec.cut_off = st.r.eof;
      rec.names = st.names;
      rec.capacity = st.buff.capacity;
      st.names = false;
      b.text.append(st.buff.bytes.get(), static_cast<size_t>(len));
    }
  } catch (const RunEnd &) {
    b.read_error = std::current_exception();
    b.done = true;
  }
}

// Converts the batch's records into its rows, the workers taking equal
// runs of them, each with scratch of its own; a quoted CSV record is split
// again from its text.
void convert_batch(Batch &b, const Analysis &a, const PassRules &p, Workers &w) {
  const uint64_t count = b.count, c = a.columns;
  const uint32_t parts = w.count();
  w.run(parts, [&](uint32_t part, uint32_t worker) {
    RowScratch &s = b.scratch[worker];
    for (uint64_t k = count * part / parts; k < count * (part + 1) / parts; ++k) {
      BatchRecord &rec = b.records[k];
      if (rec.names) continue;
      rec.error = nullptr;
      const char *text = b.text.data() + rec.text;
      s.split = false;
      if (p.rules.csv && std::memchr(text, '"', static_cast<size_t>(rec.len)) != nullptr)
        split_fields(s, text, text + rec.len, p.rules.sep);
      try {
        rec.facts = convert_for_loading(s, p.plain, text, rec.len, b.rows.data() + k * c,
                                        a.file_to_variable.get(), a.columns, p.rules, rec.line,
                                        rec.cut_off);
      } catch (const RunEnd &) {
        rec.error = std::current_exception();
        continue;
      }
      if (rec.facts.missing_at != nullptr) rec.missing_at = *rec.facts.missing_at;
      rec.label = s.label;
      rec.group = s.group;
    }
  });
}

// A record at its turn: its text, whether it is the names line, the line
// buffer's capacity once it was read, and its place in the batch.
struct TurnRecord {
  RecordText text;
  bool names = false;
  int64_t capacity = 0;
  uint64_t k = 0;
};

// The next record in file order; false after the last. With one worker it
// is read now, the reader saying its rereading messages as it goes. Ahead,
// it comes from the batch, the next batch read and converted when this one
// is used up, and an error that stopped the reading is raised once the
// records before it are taken.
bool next_record(Batch &b, LoadingState &st, const Analysis &a, const PassRules &p, Workers &w,
                 TurnRecord &turn) {
  if (!b.ahead) {
    const int64_t len = read_record(st.r, st.buff, b.scratch[0], p.rules, p.con);
    if (len < 0) return false;
    progress_update(st.progress, p.in, p.con);
    turn = TurnRecord{RecordText{st.buff.bytes.get(), len, st.r.line_start, st.r.eof}, st.names,
                      st.buff.capacity, 0};
    b.shown = st.buff.capacity;
    st.names = false;
    return true;
  }
  while (b.next == b.count) {
    if (b.read_error) std::rethrow_exception(b.read_error);
    if (b.done) return false;
    read_batch(b, st, p);
    convert_batch(b, a, p, w);
  }
  const BatchRecord &rec = b.records[b.next];
  turn = TurnRecord{RecordText{b.text.data() + rec.text, rec.len, rec.line, rec.cut_off}, rec.names,
                    rec.capacity, b.next};
  ++b.next;
  return true;
}

// Takes the batch's k-th record, converted ahead, into the table: copied
// into its row's place with what its conversion came to (its error, if it
// ended the run, raised here, where the one-worker pass would raise it).
Verdict take_converted(Batch &b, uint64_t k, LoadTarget &t) {
  BatchRecord &rec = b.records[k];
  const RowPlace place = next_row(t);
  if (rec.error) std::rethrow_exception(rec.error);
  const Analysis &a = *t.sink.t;
  std::memcpy(a.data[place.slot], b.rows.data() + k * a.columns, a.columns * sizeof(double));
  if (rec.facts.missing_at != nullptr) rec.facts.missing_at = &rec.missing_at;
  return keep_record(t, place, rec.label, rec.group, rec.facts);
}

// The one loop of the loading pass from the start of the file: records in
// file order, each taken into the next row's place and handed to the
// acceptance rules, every message said where it falls in that order.
// Loading ends early at a cut-off last line that the rules drop.
void load_in_file_order(Analysis &a, LoadingState &st, const PassRules &p, Workers &w,
                        TextColumns &text) {
  Batch b = start_batches(a, st, w);
  for (TurnRecord turn; next_record(b, st, a, p, w, turn);) {
    for (; b.shown < turn.capacity; b.shown *= 2)
      if (!st.buff.silent) say_rereading(p.con, b.shown);
    if (turn.names) continue;
    const Verdict v = b.ahead ? take_converted(b, turn.k, st.target)
                              : take_record(st.target, b.scratch[0], p.rules, p.plain, turn.text);
    if (v == Verdict::end) break;
  }
  for (const RowScratch &s : b.scratch) gather_text_cells(text, s.text_cells);
}

// The variables that hold missing values, by name (or data-file column),
// at most ten of them.
std::string variables_with_missing(const Analysis &a, const RowRules &rules) {
  std::vector<uint32_t> value_columns;  // value index -> data-file column
  for (uint32_t i = 0; i < rules.uses.size(); ++i)
    if (rules.uses[i] == FieldUse::value) value_columns.push_back(i);
  std::string list;
  uint32_t listed = 0, more = 0;
  for (uint32_t k = 0; k < a.m && k < a.missing_cells.size(); ++k) {
    if (a.missing_cells[k] == 0) continue;
    if (listed == 10) {
      ++more;
      continue;
    }
    const auto v = static_cast<uint32_t>(a.variable_to_file[k]);
    const uint32_t column = v < value_columns.size() ? value_columns[v] : v;
    const std::string name =
        column < rules.column_names.size() ? rules.column_names[column] : std::string();
    list += listed++ == 0 ? "" : ", ";
    list += name.empty() ? "column " + std::to_string(column + 1)
                         : shown_field(name.data(), name.size());
  }
  if (more > 0) list += " and " + std::to_string(more) + " more";
  return list;
}

}  // namespace

void every_row_missing(const Analysis &a, const RowRules &rules) {
  fatal("Every row has a missing value (%llu rows left out; missing values in %s): "
        "--use=pairwise uses the values each statistic has\n",
        static_cast<unsigned long long>(a.rows_left_out),
        variables_with_missing(a, rules).c_str());
}

namespace {

// The one loading pass of every format: records in file order, each
// converted into the next row's place and handed to the row-acceptance
// rules. `plain`: white space under none of the record rules.
void load_rows(FILE *in, Analysis &a, const RowRules &file_rules, bool names_line, bool plain,
               const Console &con, Workers &w, uint64_t min_part) {
  RowRules rules = loading_rules(in, file_rules, names_line, a.spill != nullptr);
  TextColumns text = start_text_columns(a, rules);
  GrowableLine buff = loading_buffer(in);
  buff.silent = rules.csv;
  // Under --by the rows' group values are numbered as the pass meets them,
  // and renumbered by their first appearance among the rows at its end.
  GroupValues met;
  GroupValues *groups = a.group_of_row.empty() ? nullptr : &met;
  // A file analysed in passes is loaded block by block in one pass.
  if (!a.spill &&
      load_split(in, a, buff, rules, names_line, plain, con, w, min_part, groups, &text)) {
    retire_text_columns(a, text, rules, con);
    if (a.n == 0 && a.rows_left_out > 0) every_row_missing(a, rules);
    if (groups != nullptr) settle_groups(a, met);
    return;
  }
  LoadingState st{
      {},
      std::move(buff),
      {},
      LoadTarget{RowAcceptor{con, a.columns, row_capacity(a), 0, nullptr, {}}, row_sink(a), {},
                 groups},
      names_line};
  start_records(st.r, in, rules);
  st.progress = progress_begin(in, con);
  st.target.acc.keep_missing = rules.keep_missing;
  if (!text.missing_rows.empty()) st.target.acc.missing_rows = &text.missing_rows;
  load_in_file_order(a, st, PassRules{rules, plain, in, con}, w, text);
  finish_loading(st.target.acc, a);
  retire_text_columns(a, text, rules, con);
  if (a.n == 0 && a.rows_left_out > 0) every_row_missing(a, rules);
  close_sink(st.target.sink, a.n);
  if (groups != nullptr) settle_groups(a, met);
}

}  // namespace

void load_data(FILE *in, Analysis &a, const Console &con, Workers &w, uint64_t min_part) {
  load_rows(in, a, RowRules{}, false, true, con, w, min_part);
}

void load_records(FILE *in, Analysis &a, const RowRules &rules, bool names_line, const Console &con,
                  Workers &w, uint64_t min_part) {
  load_rows(in, a, rules, names_line, false, con, w, min_part);
}

void set_names(Analysis &a, const std::vector<std::string> &file_names) {
  a.names.assign(a.m, std::string());
  for (uint32_t k = 0; k < a.m; ++k) {
    const size_t column = static_cast<size_t>(a.variable_to_file[k]);
    if (column < file_names.size()) a.names[k] = file_names[column];
  }
}

std::vector<SkippedColumn> skipped_columns(const Examination &e, const Console &con) {
  std::vector<SkippedColumn> out;
  for (uint32_t i = 0; i < e.uses.size(); ++i) {
    if (e.uses[i] != FieldUse::skip) continue;
    out.push_back(SkippedColumn{i + 1, e.names[i], e.empty[i]});
    const std::string &name = e.names[i];
    say(con, e.empty[i] ? "Skipped empty column %u (%s)\n" : "Skipped text column %u (%s)\n",
        i + 1, shown_field(name.data(), name.size()).c_str());
  }
  if (e.analysed == 0) fatal("Too few variables\n");
  return out;
}

void restore_file_columns(Analysis &a, const std::vector<FieldUse> &uses) {
  std::vector<int32_t> column;  // value index -> data-file column
  for (uint32_t i = 0; i < uses.size(); ++i)
    if (uses[i] == FieldUse::value) column.push_back(static_cast<int32_t>(i));
  for (uint32_t k = 0; k < a.columns; ++k) {
    const auto v = static_cast<size_t>(a.variable_to_file[k]);
    if (v < column.size()) a.variable_to_file[k] = column[v];
  }
}

void order_chosen_columns(Analysis &a, const std::vector<FieldUse> &uses,
                          const std::vector<uint32_t> &order) {
  std::vector<int32_t> value_index(uses.size(), -1);  // data-file column -> value index
  int32_t next = 0;
  for (size_t i = 0; i < uses.size(); ++i)
    if (uses[i] == FieldUse::value) value_index[i] = next++;
  for (uint32_t k = 0; k < order.size() && k < a.columns; ++k) {
    const int32_t v = value_index[order[k]];
    if (v < 0) continue;
    a.file_to_variable[static_cast<size_t>(v)] = static_cast<int32_t>(k);
    a.variable_to_file[k] = v;
  }
}

void leave_group_out_of_maps(Analysis &a, uint32_t column) {
  const uint32_t c = a.columns;
  const int32_t gone = a.file_to_variable[column];
  std::vector<int32_t> to_variable, to_file;
  for (uint32_t j = 0; j < c; ++j) {
    const int32_t v = a.file_to_variable[j];
    if (j != column) to_variable.push_back(v > gone ? v - 1 : v);
  }
  for (uint32_t k = 0; k < c; ++k) {
    const auto j = static_cast<uint32_t>(a.variable_to_file[k]);
    if (k != static_cast<uint32_t>(gone))
      to_file.push_back(static_cast<int32_t>(j > column ? j - 1 : j));
  }
  to_variable.push_back(static_cast<int32_t>(c - 1));
  to_file.push_back(static_cast<int32_t>(c - 1));
  std::copy(to_variable.begin(), to_variable.end(), a.file_to_variable.get());
  std::copy(to_file.begin(), to_file.end(), a.variable_to_file.get());
}

void leave_group_place(Analysis &a, uint32_t column) {
  if (a.m <= column) fatal("--by: column %u holds no values\n", column + 1);
  --a.m;
  a.missing_cells.resize(a.m, 0);
  if (a.names.size() > a.m) a.names.resize(a.m);
}
