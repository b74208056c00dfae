// The per-file work arrays: made together after the examination, zero-filled,
// each announced under --debug and added to the run-wide memory total, and
// released together when the file is done.
#include <unistd.h>

#include <cstdio>

#include "messages.h"
#include "vantor.h"

CArray<VariableStats> v;
CArray<double> pc;
CArray<int32_t> pcs;
CArray<int32_t> position;
CArray<double> root;
CArray<int32_t> sortarr;
CArray<int32_t> sortarr1;
Table<int32_t> histogram;
Table<double> ss;
Table<double> cc;
Table<double> ccov;
Table<double> dd;

uint64_t memory_total = 0;

namespace {

// A single request larger than the machine's memory cannot be met; refusing
// it up front keeps an overcommitting allocator from promising it.
uint64_t memory_ceiling() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return UINT64_MAX;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

template <class T>
CArray<T> alloc_array(const char *name, uint64_t count) {
  const uint64_t size = sizeof(T);
  uint64_t bytes = 0;
  bool overflow = __builtin_mul_overflow(count, size, &bytes);
  if (overflow) bytes = UINT64_MAX;
  if (sw.debug) {
    std::fprintf(stderr, "Allocates %ld bytes (%ld * %lu)\n", static_cast<long>(bytes),
                 static_cast<long>(count), static_cast<unsigned long>(size));
    std::fflush(stderr);
  }
  void *p = nullptr;
  if (!overflow && bytes <= memory_ceiling()) p = std::calloc(count ? count : 1, size);
  if (p == nullptr) fatal("Not enough memory (%s, %llu)", name, static_cast<unsigned long long>(bytes));
  memory_total += bytes;
  return CArray<T>(static_cast<T *>(p));
}

template <class T>
void alloc_table(Table<T> &t, const char *name, const char *block_name, uint64_t rows,
                 uint64_t row_length) {
  t.rows = alloc_array<T *>(name, rows);
  uint64_t count = 0;
  if (__builtin_mul_overflow(rows, row_length, &count)) count = UINT64_MAX;
  t.block = alloc_array<T>(block_name, count);
  for (uint64_t i = 0; i < rows; ++i) t.rows[i] = t.block.get() + i * row_length;
}

template <class T>
void free_table(Table<T> &t) {
  t.block.reset();
  t.rows.reset();
}

}  // namespace

void alloc_work_arrays(uint32_t R, uint32_t c) {
  const uint64_t cols = c;
  v = alloc_array<VariableStats>("v", cols);
  pc = alloc_array<double>("pc", cols * cols);
  pcs = alloc_array<int32_t>("pcs", cols);
  position = alloc_array<int32_t>("position", cols);
  root = alloc_array<double>("root", cols);
  sortarr = alloc_array<int32_t>("sortarr", cols);
  sortarr1 = alloc_array<int32_t>("sortarr1", cols);
  alloc_table(histogram, "histogram", "*histogram", sw.bins, cols);
  alloc_table(ss, "ss", "*ss", cols, cols);
  alloc_table(cc, "cc", "*cc", cols, cols);
  alloc_table(ccov, "ccov", "*ccov", cols, cols);
  alloc_table(dd, "dd", "*dd", R, cols);
}

void report_memory_need() {
  if (!sw.quiet) std::printf("Memory need: %.3g Mb\n", static_cast<double>(memory_total) * 0x1p-20);
}

void free_work_arrays() {
  free_table(ccov);
  free_table(cc);
  free_table(dd);
  free_table(ss);
  free_table(histogram);
  sortarr1.reset();
  sortarr.reset();
  root.reset();
  position.reset();
  pcs.reset();
  pc.reset();
  v.reset();
}
