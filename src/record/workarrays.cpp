// The per-file work arrays: made together after the examination, zero-filled,
// each announced under --debug and added to the run-wide memory total. The
// record owns them, so they go when the record goes.
#include "record/workarrays.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

#include "machine/memory.h"
#include "base/messages.h"

namespace {

// The figures of the statistics records and of the ordering marks are those
// the memory lines have always shown: a thirteen-double record per variable,
// and c four-byte marks that the component ordering now keeps as scratch of
// its own.
constexpr uint64_t kStatsRecordBytes = 104;
constexpr uint64_t kOrderingMarkBytes = 4;

struct Allocator {
  const WorkArraySettings &settings;
  MemoryTally &tally;
  const Console &con;
  uint64_t need = 0;  // bytes of this file's arrays so far
  bool measure = false;  // only add up the figures: nothing announced, refused or made

  // Announces the request, refuses one the machine cannot hold and adds it
  // to the total. Returns the byte count.
  uint64_t account(const char *name, uint64_t count, uint64_t size) {
    uint64_t bytes = 0;
    const bool overflow = __builtin_mul_overflow(count, size, &bytes);
    if (overflow) bytes = UINT64_MAX;
    if (measure) {
      if (__builtin_add_overflow(need, bytes, &need)) need = UINT64_MAX;
      return bytes;
    }
    if (settings.debug) {
      tell(con, "Allocates %ld bytes (%ld * %lu)\n", static_cast<long>(bytes),
           static_cast<long>(count), static_cast<unsigned long>(size));
      std::fflush(con.err);
    }
    // The probe was read once for the file (settings.usable); the running
    // need below holds every array to it, so only the machine is asked here.
    if (overflow || beyond_physical_memory(bytes)) refuse(name, bytes);
    if (__builtin_add_overflow(need, bytes, &need) || need > settings.usable) refuse(name, bytes);
    return bytes;
  }

  [[noreturn]] static void refuse(const char *name, uint64_t bytes) {
    fatal("Not enough memory (%s, %llu)", name, static_cast<unsigned long long>(bytes));
  }

  template <class T>
  CArray<T> array(const char *name, uint64_t count, uint64_t figure_size = sizeof(T)) {
    const uint64_t bytes = account(name, count, figure_size);
    if (measure) return CArray<T>();
    void *p = std::calloc(count ? count : 1, sizeof(T));
    if (p == nullptr) refuse(name, bytes);
    tally.total += bytes;
    return CArray<T>(static_cast<T *>(p));
  }

  template <class T>
  Table<T> table(const char *name, const char *block_name, uint64_t rows, uint64_t row_length) {
    Table<T> t;
    t.rows = array<T *>(name, rows);
    uint64_t count = 0;
    if (__builtin_mul_overflow(rows, row_length, &count)) count = UINT64_MAX;
    t.block = array<T>(block_name, count);
    if (measure) return t;
    for (uint64_t i = 0; i < rows; ++i) t.rows[i] = t.block.get() + i * row_length;
    return t;
  }

  // A row block: its pointer table is announced and counted as the memory
  // lines have always shown it, but not made, as rows are found by
  // arithmetic.
  template <class T>
  RowBlock<T> row_block(const char *name, const char *block_name, uint64_t rows,
                        uint64_t row_length) {
    RowBlock<T> b;
    tally.total += account(name, rows, sizeof(T *));
    uint64_t count = 0;
    if (__builtin_mul_overflow(rows, row_length, &count)) count = UINT64_MAX;
    b.block = array<T>(block_name, count);
    b.stride = row_length;
    if (measure) return b;
    advise_huge_pages(b.block.get(), count * sizeof(T));
    return b;
  }
};

}  // namespace

void advise_huge_pages(void *block, uint64_t bytes) {
  constexpr uint64_t kHuge = uint64_t{2} << 20;
  if (bytes < 2 * kHuge) return;
  const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  const uint64_t start = (reinterpret_cast<uint64_t>(block) + page - 1) / page * page;
  const uint64_t end = (reinterpret_cast<uint64_t>(block) + bytes) / page * page;
  // Only advice: where the kernel has no huge pages, nothing changes.
  if (end > start) madvise(reinterpret_cast<void *>(start), end - start, MADV_HUGEPAGE);
}

namespace {

Analysis make_arrays(Allocator &alloc, uint32_t capacity, uint32_t columns) {
  const WorkArraySettings &settings = alloc.settings;
  MemoryTally &tally = alloc.tally;
  const uint64_t c = columns;
  Analysis a;
  a.columns = columns;
  a.capacity = capacity;
  a.bins = settings.bins;
  a.stats = alloc.array<VariableStats>("v", c, kStatsRecordBytes);
  a.components.loadings = alloc.array<double>("pc", c * c);
  tally.total += alloc.account("pcs", c, kOrderingMarkBytes);
  a.components.order = alloc.array<int32_t>("position", c);
  a.eigen.values = alloc.array<double>("root", c);
  a.file_to_variable = alloc.array<int32_t>("sortarr", c);
  a.variable_to_file = alloc.array<int32_t>("sortarr1", c);
  a.histogram = alloc.table<int32_t>("histogram", "*histogram", settings.bins, c);
  a.eigen.vectors = alloc.table<double>("ss", "*ss", c, c);
  a.correlation = alloc.table<double>("cc", "*cc", c, c);
  a.covariance = alloc.table<double>("ccov", "*ccov", c, c);
  a.data = alloc.row_block<double>("dd", "*dd", capacity, c);
  return a;
}

}  // namespace

Analysis make_analysis(uint32_t capacity, uint32_t columns, const WorkArraySettings &settings,
                       MemoryTally &tally, const Console &con) {
  Allocator alloc{settings, tally, con, 0};
  return make_arrays(alloc, capacity, columns);
}

uint64_t work_array_need(uint32_t capacity, uint32_t columns, uint32_t bins) {
  const WorkArraySettings settings{bins, false};
  MemoryTally tally;
  const Console quiet{nullptr, nullptr, true};
  Allocator alloc{settings, tally, quiet, 0, true};
  make_arrays(alloc, capacity, columns);
  return alloc.need;
}

void report_memory_need(const MemoryTally &tally, const Console &con) {
  if (!con.quiet) say(con, "Memory need: %.3g Mb\n", static_cast<double>(tally.total) * 0x1p-20);
}
