// The spill of a file analysed in passes and the block-by-block walk every
// phase takes over the rows, in memory or from the spill.
#include "record/rowspill.h"

#include "machine/tempfile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "base/messages.h"

RowSpill::~RowSpill() {
  if (fd >= 0) close(fd);
  if (label_fd >= 0) close(label_fd);
}

namespace {

// A temporary file that has lost its name already.
int spill_file() {
  const std::string dir = temporary_directory();
  const int fd = unnamed_temporary(dir, "vantor-passes");
  if (fd < 0) fatal("Can't create a temporary file in %s: %s\n", dir.c_str(), std::strerror(errno));
  return fd;
}

void write_all(int fd, const char *from, uint64_t left) {
  while (left > 0) {
    const ssize_t put = write(fd, from, left);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0)
      fatal("Can't write the temporary copy of the data (%s)\n",
            std::strerror(put < 0 ? errno : ENOSPC));
    from += put;
    left -= static_cast<uint64_t>(put);
  }
}

}  // namespace

std::shared_ptr<RowSpill> make_row_spill(uint64_t stride) {
  auto spill = std::make_shared<RowSpill>();
  spill->stride = stride;
  spill->fd = spill_file();
  return spill;
}

void spill_rows(RowSpill &spill, const double *rows, uint64_t count) {
  write_all(spill.fd, reinterpret_cast<const char *>(rows), count * spill.stride * sizeof(double));
}

void spill_labels(RowSpill &spill, const std::vector<std::string> &labels, uint64_t count) {
  if (spill.label_fd < 0) spill.label_fd = spill_file();
  std::string bytes;
  for (uint64_t k = 0; k < count; ++k) {
    const uint64_t length = labels[k].size();
    bytes.append(reinterpret_cast<const char *>(&length), sizeof length);
    bytes += labels[k];
  }
  write_all(spill.label_fd, bytes.data(), bytes.size());
  spill.label_bytes += bytes.size();
}

namespace {

void read_at(int fd, uint64_t at, char *into, uint64_t left) {
  while (left > 0) {
    const ssize_t got = pread(fd, into, left, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0)
      fatal("Can't read the temporary copy of the data (%s)\n",
            got < 0 ? std::strerror(errno) : "it ended early");
    into += got;
    at += static_cast<uint64_t>(got);
    left -= static_cast<uint64_t>(got);
  }
}

void write_at(int fd, uint64_t at, const char *bytes, uint64_t left) {
  while (left > 0) {
    const ssize_t put = pwrite(fd, bytes, left, static_cast<off_t>(at));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0)
      fatal("Can't write the temporary copy of the data (%s)\n",
            std::strerror(put < 0 ? errno : ENOSPC));
    bytes += put;
    at += static_cast<uint64_t>(put);
    left -= static_cast<uint64_t>(put);
  }
}

// At least `bytes` of the label spill from the cursor's place on in its
// buffer, and some read ahead.
void read_label_bytes(LabelCursor &c, uint64_t bytes) {
  constexpr uint64_t kAhead = uint64_t{1} << 16;
  c.buffer.erase(0, c.at);
  c.at = 0;
  const uint64_t held = c.buffer.size();
  if (held >= bytes) return;
  const int fd = c.a->spill->label_fd;
  const uint64_t size = c.a->spill->label_bytes;
  const uint64_t left = size - std::min(size, c.offset);
  const uint64_t take = std::min(std::max(bytes - held, kAhead), left);
  if (take < bytes - held) fatal("Can't read the temporary copy of the data (%s)\n", "it ended early");
  c.buffer.resize(held + take);
  read_at(fd, c.offset, c.buffer.data() + held, take);
  c.offset += take;
}

}  // namespace

void read_spilled_rows(const RowSpill &spill, uint64_t first, uint64_t count, double *to) {
  const uint64_t row_bytes = spill.stride * sizeof(double);
  read_at(spill.fd, first * row_bytes, reinterpret_cast<char *>(to), count * row_bytes);
}

ColumnSpill::~ColumnSpill() {
  if (fd >= 0) close(fd);
}

std::unique_ptr<ColumnSpill> make_column_spill(uint64_t array_bytes) {
  auto s = std::make_unique<ColumnSpill>();
  s->fd = spill_file();
  s->array_bytes = array_bytes;
  return s;
}

void write_spilled_array(ColumnSpill &s, uint32_t i, const void *array) {
  write_at(s.fd, uint64_t{i} * s.array_bytes, static_cast<const char *>(array), s.array_bytes);
}

void read_spilled_array(const ColumnSpill &s, uint32_t i, uint64_t from, uint64_t bytes,
                        void *into) {
  read_at(s.fd, uint64_t{i} * s.array_bytes + from, static_cast<char *>(into), bytes);
}

RowCursor row_cursor(const Analysis &a) {
  RowCursor c;
  c.a = &a;
  if (a.spill) c.buffer.reset(new double[a.spill->block_rows * a.spill->stride]);
  return c;
}

bool next_rows(RowCursor &c, RowRange &r) {
  const Analysis &a = *c.a;
  if (c.next >= a.n) return false;
  if (!a.spill) {
    r = RowRange{a.data.block.get(), 0, a.n, a.data.stride};
    c.next = a.n;
    return true;
  }
  const RowSpill &s = *a.spill;
  const uint64_t count = std::min<uint64_t>(s.block_rows, a.n - c.next);
  read_spilled_rows(s, c.next, count, c.buffer.get());
  r = RowRange{c.buffer.get(), c.next, count, s.stride};
  c.next += count;
  return true;
}

LabelCursor label_cursor(const Analysis &a) {
  LabelCursor c;
  c.a = &a;
  return c;
}

bool next_label(LabelCursor &c, std::string *label) {
  const Analysis &a = *c.a;
  if (c.next >= a.n) return false;
  if (!a.spill) {
    if (label != nullptr) *label = a.labels[c.next];
    ++c.next;
    return true;
  }
  uint64_t length = 0;
  if (c.buffer.size() - c.at < sizeof length) read_label_bytes(c, sizeof length);
  std::memcpy(&length, c.buffer.data() + c.at, sizeof length);
  c.at += sizeof length;
  if (c.buffer.size() - c.at < length) read_label_bytes(c, length);
  if (label != nullptr) label->assign(c.buffer, c.at, length);
  c.at += length;
  ++c.next;
  return true;
}

Analysis make_analysis_within(uint32_t capacity, uint32_t columns, uint64_t budget,
                              const WorkArraySettings &settings, MemoryTally &tally,
                              const Console &con) {
  if (budget == 0 || work_array_need(capacity, columns, settings.bins) <= budget)
    return make_analysis(capacity, columns, settings, tally, con);
  return make_analysis_in_passes(capacity, columns, budget, settings, tally, con);
}

uint64_t scratch_limit(const Analysis &a) {
  if (a.spill) return a.spill->scratch;
  const uint64_t rows = a.capacity, block = rows * a.columns * sizeof(double);
  const uint64_t allowed = block / 10 + (uint64_t{24} << 20);
  const uint64_t headroom = rows * sizeof(double *);
  return allowed > headroom ? allowed - headroom : 0;
}

uint64_t budget_left(const Analysis &a) { return a.spill ? a.spill->scratch : UINT64_MAX; }

uint64_t memory_budget(const Analysis &a) { return a.spill ? a.spill->budget : 0; }

void say_in_passes(const Analysis &a, uint64_t need, const Console &con) {
  if (a.spill && !con.quiet)
    say(con, "Analyses the file in passes: its arrays need %llu bytes, more than --max-memory\n",
        static_cast<unsigned long long>(need));
}

uint32_t column_workers(const Analysis &a, const Workers &w) { return a.spill ? 1 : w.count(); }

RowSink row_sink(Analysis &t) { return RowSink{&t, 0}; }

uint32_t sink_place(RowSink &s, uint64_t row) {
  Analysis &t = *s.t;
  if (!t.spill) return static_cast<uint32_t>(row);
  if (row - s.base == t.capacity) {
    spill_rows(*t.spill, t.data.block.get(), t.capacity);
    if (!t.labels.empty()) spill_labels(*t.spill, t.labels, t.capacity);
    s.base = row;
  }
  return static_cast<uint32_t>(row - s.base);
}

void close_sink(RowSink &s, uint64_t rows) {
  Analysis &t = *s.t;
  if (!t.spill) {
    if (!t.labels.empty()) t.labels.resize(rows);
    return;
  }
  spill_rows(*t.spill, t.data.block.get(), rows - s.base);
  if (!t.labels.empty()) spill_labels(*t.spill, t.labels, rows - s.base);
  s.base = rows;
  t.data.block.reset();
}

bool has_labels(const Analysis &a) {
  return !a.labels.empty() || (a.spill && a.spill->label_fd >= 0);
}

uint64_t row_capacity(const Analysis &a) { return a.spill ? a.spill->capacity : a.capacity; }

namespace {

// The rows `keep` holds to go through a sink into a new spill, while the
// old one is walked through `source`, which holds it alone.
void keep_spilled_rows_where(Analysis &a, const std::function<bool(const double *row)> &keep) {
  const RowSpill &old = *a.spill;
  Analysis source;
  source.n = a.n;
  source.spill = std::move(a.spill);
  a.spill = make_row_spill(old.stride);
  a.spill->block_rows = old.block_rows;
  a.spill->capacity = old.capacity;
  a.spill->scratch = old.scratch;
  a.spill->budget = old.budget;
  void *block = std::calloc(old.block_rows * old.stride, sizeof(double));
  if (block == nullptr) throw std::bad_alloc();
  a.data.block.reset(static_cast<double *>(block));
  const bool labelled = old.label_fd >= 0;
  if (labelled) a.labels.assign(a.capacity, std::string());
  RowSink sink = row_sink(a);
  uint64_t count = 0;
  RowCursor rows = row_cursor(source);
  LabelCursor labels = label_cursor(source);
  std::string label;
  for (RowRange r; next_rows(rows, r);)
    for (uint64_t k = 0; k < r.count; ++k) {
      const bool ours = keep(r[k]);
      if (labelled) next_label(labels, ours ? &label : nullptr);
      if (!ours) continue;
      const uint32_t place = sink_place(sink, count);
      std::copy(r[k], r[k] + old.stride, a.data[place]);
      if (labelled) a.labels[place] = std::move(label);
      if (!a.group_of_row.empty()) a.group_of_row[count] = a.group_of_row[r.first + k];
      ++count;
    }
  close_sink(sink, count);
  a.n = static_cast<uint32_t>(count);
}

}  // namespace

void move_row(Analysis &a, uint64_t from, uint64_t to) {
  if (from == to) return;
  std::copy(a.data[from], a.data[from] + a.data.stride, a.data[to]);
  if (!a.labels.empty()) a.labels[to] = std::move(a.labels[from]);
  if (!a.group_of_row.empty()) a.group_of_row[to] = a.group_of_row[from];
}

void keep_rows_where(Analysis &a, const std::function<bool(const double *row)> &keep) {
  if (a.spill) return keep_spilled_rows_where(a, keep);
  uint32_t kept = 0;
  for (uint32_t k = 0; k < a.n; ++k)
    if (keep(a.data[k])) move_row(a, k, kept++);
  a.n = kept;
}

uint64_t walk_bytes(const Analysis &a) {
  return a.spill ? a.spill->block_rows * a.spill->stride * sizeof(double) : 0;
}

uint64_t walk_rows(const Analysis &a) { return a.spill ? a.spill->block_rows : a.n; }

std::unique_ptr<ColumnSpill> arrays_aside(const Analysis &a, uint64_t array_bytes) {
  return a.spill ? make_column_spill(array_bytes) : nullptr;
}

Analysis make_analysis_in_passes(uint32_t capacity, uint32_t columns, uint64_t budget,
                                 const WorkArraySettings &settings, MemoryTally &tally,
                                 const Console &con) {
  const uint64_t row_bytes = uint64_t{columns} * sizeof(double);
  const uint64_t block_bytes = std::max(row_bytes, std::min(budget / 8, uint64_t{8} << 20));
  const uint64_t block_rows = std::max<uint64_t>(1, std::min<uint64_t>(block_bytes / row_bytes, capacity));
  Analysis a = make_analysis(static_cast<uint32_t>(block_rows), columns, settings, tally, con);
  a.spill = make_row_spill(columns);
  a.spill->block_rows = block_rows;
  a.spill->capacity = capacity;
  a.spill->scratch = budget > block_bytes ? budget - block_bytes : 0;
  a.spill->budget = budget;
  return a;
}
