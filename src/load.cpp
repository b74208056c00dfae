// The loading pass: the column maps from --inverse and --sort, then every
// data line converted into a row of dd under the row-length rules. The
// examination has sized dd already; the driver opens and closes the stream.
#include <cstdio>
#include <cstring>

#include "input.h"
#include "messages.h"
#include "progress.h"
#include "numparse.h"
#include "reader.h"

namespace {

// Applies the sort list onto the identity maps, echoing it unless quiet.
// Entries beyond the c-th have no column left to name: they are still read
// and range-checked but change nothing.
void apply_sort_list(const char *list, uint32_t c) {
  if (!sw.quiet) std::printf("%s\n", list);
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
    sortarr[number - 1] = static_cast<int32_t>(k);
    sortarr1[k] = static_cast<int32_t>(number - 1);
    ++k;
    if (!sw.quiet) std::printf("%u->%u\n", k, number);
  }
  if (sw.quiet) return;
  std::printf("cols:%u\n", c);
  for (uint32_t j = 0; j < c; ++j) std::printf("%d ", sortarr[j] + 1);
  std::printf("\n");
  for (uint32_t j = 0; j < c; ++j) std::printf("%d ", sortarr1[j] + 1);
  std::printf("\n");
}

// Length of the first data line, not counting its line end, with the
// stream put back where it was. Sizes `buff` before loading starts.
int64_t first_line_length(FILE *in) {
  const long start = std::ftell(in);
  int ch = getc_unlocked(in);
  while (ch != EOF && ch != '\0' && std::strchr(kCommentChars, ch) != nullptr) {
    while (ch != EOF && ch != '\n') ch = getc_unlocked(in);
    if (ch != EOF) ch = getc_unlocked(in);
  }
  int64_t len = 0;
  while (ch != EOF && ch != '\n') {
    ++len;
    ch = getc_unlocked(in);
  }
  if (start < 0 || std::fseek(in, start, SEEK_SET) != 0) fatal("Can't read file\n");
  return len;
}

}  // namespace

void build_column_maps(uint32_t c) {
  for (uint32_t j = 0; j < c; ++j) {
    const int32_t to = static_cast<int32_t>(sw.inverse ? c - 1 - j : j);
    sortarr[j] = to;
    sortarr1[j] = to;
  }
  if (!sw.inverse && sw.sort && (sw.tetrad || sw.covariance))
    apply_sort_list(sw.sort_list.c_str(), c);
}

LoadResult load_data(FILE *in, uint32_t c, uint32_t R) {
  // 5/4 of the first data line leaves room for somewhat longer rows before
  // any rereading.
  int64_t capacity = first_line_length(in);
  capacity = capacity / 4 * 5 + capacity % 4 * 5 / 4;
  if (capacity < 256) capacity = 256;
  CArray<char> buff(static_cast<char *>(std::malloc(static_cast<size_t>(capacity))));
  if (!buff) fatal("Not enough memory (%s, %lld)", "buff", static_cast<long long>(capacity));
  const LineBuffer lb{&buff, &capacity, "buff"};

  LineReader r;
  reader_open(r, in);
  progress_begin(in);
  NumberScanner scanner;
  uint32_t rows = 0;
  uint32_t previous = 0;  // value count of the last accepted row, 0 for none
  for (;;) {
    const int64_t len = read_whole_data_line(r, lb);
    if (len < 0) break;
    progress_update(in);
    if (rows >= R) fatal("Too many data series: >%d\a\n", static_cast<int>(R));
    const RowScan scan =
        convert_row(scanner, buff.get(), buff.get() + len, dd[rows], sortarr.get(), c);
    if (scan.more)
      std::fprintf(stderr, "Line contains to many columns (>%u colums). Truncating row %u.\n", c,
                   rows);
    if (previous != 0 && scan.stored != previous) {
      // A short last line without its line end is a cut-off write: dropped
      // without a word. Anywhere else a short or long row is an error.
      if (r.eof) break;
      fatal("Wrong row length: Row %d\a\n", static_cast<int>(rows + 1));
    }
    ++rows;
    previous = scan.stored;
  }
  if (!sw.quiet) std::fputs("\r    \r", stderr);
  return LoadResult{rows, previous};
}
