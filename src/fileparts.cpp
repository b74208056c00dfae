// A data file read in parts that separate processes load: the examination
// of its start, each part's table set up as the command line sets up the
// file's, the part loaded as load_split loads one of its parts, and the
// replay of the parts' notes in file order. Nothing here moves the parts.
#include "fileparts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

#include "base/messages.h"
#include "input/datasource.h"
#include "input/decompress.h"
#include "input/load.h"
#include "input/records.h"
#include "input/textcols.h"
#include "machine/memlimit.h"
#include "pipeline.h"

namespace {

const Console kSilent{nullptr, nullptr, true};

// `job`'s value, a fatal error naming the file.
template <class Job>
auto naming(const std::string &path, Job job) {
  try {
    return job();
  } catch (const RunEnd &end) {
    throw RunEnd{end.status, path + ": " + end.message};
  }
}

struct Stream {
  FILE *fp;
  ~Stream() {
    if (fp != nullptr) std::fclose(fp);
  }
};

// A part's table of `capacity` rows set up as load_data_file sets up the
// file's, with the loading rules of its pass and the text columns' state.
struct PartTable {
  RowRules rules;
  bool plain = false;  // white space under none of the record rules: load_data's pass
  Analysis a;
  TextColumns text;
};

// With `rows`, the table reads and rewrites those `capacity` rows in place
// (release them before it goes: a.data.block.release()).
PartTable part_table(const Switches &options, const FileReading &r, uint64_t capacity,
                     double *rows = nullptr) {
  if (capacity >= INT32_MAX) too_many_rows(INT32_MAX);
  Switches sw = options;
  sw.read.csv = r.csv;
  sw.read.separator = r.separator;
  const Examination &e = r.examination;
  PartTable t;
  t.rules = row_rules(sw.read, sw.analysis);
  t.rules.uses = e.uses;
  t.plain = t.rules.plain() && !e.has_names;
  if (t.plain) t.rules = RowRules{};
  t.rules.column_names = r.column_names;
  MemoryTally tally;
  t.a = make_analysis(rows != nullptr ? 0 : static_cast<uint32_t>(capacity), e.analysed,
                      WorkArraySettings{sw.analysis.bins, false, usable_memory()}, tally, kSilent);
  if (rows != nullptr) t.a.capacity = static_cast<uint32_t>(capacity);
  t.a.skipped = skipped_columns(e, kSilent);
  build_column_maps(t.a, sw.read, sw.output, kSilent);
  if (!e.order.empty()) order_chosen_columns(t.a, e.uses, e.order);
  t.text = start_text_columns(t.a, t.rules);
  if (rows != nullptr) t.a.data.block.reset(rows);  // last: nothing after it may throw
  return t;
}

// The byte after the names line (0 without one): the first part holds it.
uint64_t names_line_end(int fd, uint64_t size, const RowRules &rules, bool names_line) {
  if (!names_line) return 0;
  LineReader r;
  reader_open_range(r, fd, 0, size);
  r.comments = rules.comments();
  skip_byte_order_mark(r, rules);
  GrowableLine line = make_line_buffer(256, "line");
  line.silent = true;
  RowScratch s;
  if (read_record(r, line, s, rules, kSilent) < 0) return 0;
  return r.next - (r.end - r.pos);
}

// Whether the data file can be entered in the middle: a regular file that
// is not compressed. Anything else is loaded whole, decompressed or copied
// once as the program does.
bool splittable(const std::string &path) {
  if (path == "-") return false;
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  const bool plain =
      fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && compression_of_file(fd) == Compression::none;
  close(fd);
  return plain;
}

// The message of a part's error.
std::string message_of(const std::exception_ptr &error) {
  try {
    std::rethrow_exception(error);
  } catch (const RunEnd &end) {
    return end.message;
  }
}

}  // namespace

void check_part_options(const std::string &path, const Switches &options) {
  if (!options.analysis.by.empty() || options.analysis.use == MissingUse::pairwise ||
      options.read.max_memory > 0)
    fatal(
        "%s: a file read in parts is loaded whole rows at a time, without --by, "
        "--use=pairwise or --max-memory\n",
        path.c_str());
}

FileReading read_file_start(const std::string &path, const Switches &options, uint64_t part_bytes) {
  check_part_options(path, options);
  return naming(path, [&] {
    FileReading r;
    r.whole = !splittable(path);
    if (r.whole) return r;
    const DataSource source = open_data_source(path.c_str());
    const Switches sw = read_as_named(path.c_str(), options, source);
    r.csv = sw.read.csv;
    r.separator = sw.read.separator;
    RowRules rules = row_rules(sw.read, sw.analysis);
    RunState run = make_run_state(sw);
    {
      Stream in{open_data_pass(source)};
      r.examination = examine_data(in.fp, run.line, rules, kSilent);
    }
    const Examination &e = r.examination;
    skipped_columns(e, kSilent);
    rules.uses = e.uses;
    Stream in{open_data_pass(source)};
    if (!rules.plain() || e.has_names)
      r.column_names = loading_rules(in.fp, rules, e.has_names, false).column_names;
    r.first_capacity = loading_buffer(in.fp).capacity;
    const int fd = fileno(in.fp);
    struct stat st;
    if (fstat(fd, &st) != 0) fatal("Can't read file\n");
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    r.parts =
        split_file_at_lines(fd, size, part_bytes, names_line_end(fd, size, rules, e.has_names));
    return r;
  });
}

LoadedPart load_file_part(const std::string &path, const Switches &options,
                          const FileReading &reading, uint32_t k) {
  return naming(path, [&] {
    if (k >= reading.parts.size()) fatal("No part %u\n", k);
    const FilePart part = reading.parts[k];
    const bool last = k + 1 == reading.parts.size();
    const DataSource source = open_data_source(path.c_str());
    Stream in{open_data_pass(source)};
    const int fd = fileno(in.fp);
    LoadedPart p;
    uint64_t room = range_row_room(fd, part, part_table(options, reading, 0).rules);
    if (room == UINT64_MAX) {
      p.load.refused = true;
      return p;
    }
    PartTable t = part_table(options, reading, std::max<uint64_t>(room, 1));
    std::vector<uint8_t> *marks = t.text.missing_rows.empty() ? nullptr : &t.text.missing_rows;
    const bool names = reading.examination.has_names;
    // Line numbers from the part's start: only an error needs the file's,
    // and then the line ends before the part are counted and it is read again.
    p.load =
        load_range(fd, part, last, 0, t.a, t.rules, names, t.plain, reading.first_capacity, marks);
    if (p.load.noted.error && part.begin > 0)
      p.load = load_range(fd, part, last, newlines_before(fd, part.begin), t.a, t.rules, names,
                          t.plain, reading.first_capacity, marks);
    if (p.load.noted.error) p.error = message_of(p.load.noted.error);
    p.missing_rows = std::move(t.text.missing_rows);
    p.table = std::move(t.a);
    return p;
  });
}

SettledParts settle_file_parts(const std::string &path, const Switches &options,
                               const FileReading &reading, const std::vector<RangeLoad> &parts,
                               const std::vector<std::string> &errors) {
  return naming(path, [&] {
    SettledParts s;
    for (const RangeLoad &p : parts) s.refused = s.refused || p.refused;
    if (s.refused) return s;
    PartTable t = part_table(options, reading, 0);
    RowAcceptor acc{kSilent, t.a.columns, UINT64_MAX, 0, nullptr, {}};
    acc.keep_missing = t.rules.keep_missing;
    GrowableLine buff = make_line_buffer(std::max<int64_t>(reading.first_capacity, 1), "buff");
    buff.silent = true;
    bool ended = false;
    for (size_t k = 0; k < parts.size(); ++k) {
      if (ended) {
        s.kept.push_back(false);
        continue;
      }
      PartNotes notes = parts[k].noted;
      if (k < errors.size() && !errors[k].empty())
        notes.error = std::make_exception_ptr(RunEnd{1, errors[k]});
      const uint64_t records = acc.tally.records;
      ended = replay_part(acc, buff, notes);
      // A part whose first record is the cut-off last line gives nothing.
      s.kept.push_back(!ended || acc.tally.records != records);
      for (const TextCell &c : parts[k].text_cells)
        if (std::none_of(s.cells.begin(), s.cells.end(),
                         [&](const TextCell &d) { return d.value == c.value; }))
          s.cells.push_back(c);
    }
    s.m = static_cast<uint32_t>(std::min<uint64_t>(acc.tally.previous, t.a.columns));
    return s;
  });
}

LoadedRows finish_file_part(const std::string &path, const Switches &options,
                            const FileReading &reading, const SettledParts &settled, uint32_t k,
                            double *rows, uint64_t n, const std::vector<uint8_t> &missing_rows,
                            const RowTally &part_tally) {
  return naming(path, [&] {
    const bool kept = k < settled.kept.size() && settled.kept[k];
    const RowTally tally = kept ? part_tally : RowTally{};
    if (!kept) n = 0;
    PartTable t = part_table(options, reading, n, rows);
    Analysis &a = t.a;
    // The caller's rows are only borrowed; a block of the table's own (no
    // rows given) goes with the table.
    struct Borrow {
      Analysis &a;
      const double *rows;
      ~Borrow() {
        if (rows != nullptr && a.data.block.get() == rows) (void)a.data.block.release();
      }
    } borrow{a, rows};
    a.n = static_cast<uint32_t>(n);
    a.m = settled.m;
    a.rows_left_out = tally.left_out;
    a.missing_cells = tally.missing_cells;
    a.missing_cells.resize(a.m, 0);
    if (!t.text.missing_rows.empty()) {
      std::copy(missing_rows.begin(),
                missing_rows.begin() + std::min<size_t>(n, missing_rows.size()),
                t.text.missing_rows.begin());
      t.text.cells = settled.cells;
    }
    retire_text_columns(a, t.text, t.rules, kSilent);
    const Examination &e = reading.examination;
    if (!t.plain && !e.uses.empty()) restore_file_columns(a, e.uses);
    if (!t.plain && e.has_names) set_names(a, e.names);
    return described_rows(a);
  });
}

void check_file_rows(const std::string &path, const Switches &options, const FileReading &reading,
                     const SettledParts &settled, uint64_t n, uint64_t rows_left_out,
                     const std::vector<uint64_t> &missing_cells) {
  if (n > 0 || rows_left_out == 0) return;
  naming(path, [&] {
    // The variables as the file's loading leaves them before it names them.
    PartTable t = part_table(options, reading, 1);
    Analysis &a = t.a;
    a.n = 0;
    a.m = settled.m;
    a.missing_cells.assign(a.m, 0);
    t.text.cells = settled.cells;
    retire_text_columns(a, t.text, t.rules, kSilent);
    a.rows_left_out = rows_left_out;
    a.missing_cells = missing_cells;
    every_row_missing(a, t.rules);
  });
}
