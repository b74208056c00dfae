// Entry point and run driver: start-up, the switches, the invocation record
// and banner, then every data file through its fixed sequence of phases.
// The phases themselves live in the input, stats and eigen source groups.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <ctime>
#include <getopt.h>
#include <new>

#include "eigen.h"
#include "input.h"
#include "invlog.h"
#include "messages.h"
#include "naming.h"
#include "options.h"
#include "stats.h"
#include "vantor.h"

namespace {

// Data files are read three times (first line, row count, loading), so only
// a regular file will do: a pipe or terminal would hang or read empty. The
// file is opened without blocking so that a FIFO without a writer cannot
// stall the run before it is recognised.
FILE *open_data_file(const char *name) {
  int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) fatal("Can't read file %s\n", name);
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(fd);
    fatal("Can't read file %s\n", name);
  }
  FILE *in = fdopen(fd, "r");
  if (in == nullptr) {
    close(fd);
    fatal("Can't read file %s\n", name);
  }
  return in;
}

// Closes the stream when a phase ends the run with a fatal error.
struct InputStream {
  FILE *fp = nullptr;
  ~InputStream() { close(); }
  void close() {
    if (fp != nullptr) std::fclose(fp);
    fp = nullptr;
  }
};

void process_data_file(const char *name) {
  set_output_base(name);
  set_current_data_file(name);

  InputStream in;
  in.fp = open_data_file(name);
  if (!sw.quiet) std::printf("\nExamining file: %s\n", name);
  const uint32_t c = examine_first_line(in.fp);

  // The score limit and the section headers of the ".fsc" file follow -4.
  const uint32_t score_limit = (sw.four && c > 4) ? 4 : c;
  const bool section_headers = !sw.four;

  in.close();
  in.fp = open_data_file(name);
  const uint32_t R = count_data_lines(in.fp);
  in.close();
  in.fp = open_data_file(name);

  alloc_work_arrays(R, c);
  report_memory_need();
  build_column_maps(c);
  if (!sw.quiet) std::printf("\nReads the file: %s\n", name);
  const LoadResult loaded = load_data(in.fp, c, R);
  in.close();
  const uint32_t n = loaded.n;
  const uint32_t m = loaded.m;

  find_extremes(n, m);
  count_histogram(n, m);
  if (m == 0) fatal("Too few variables\n");
  if (!sw.quiet) std::printf("Found %u columns %u rows\n", m, n);
  compute_moments(n, m);
  set_unit_diagonal(m);
  compute_order_stats(n, m);

  if (!sw.quiet) print_stats_table(m);
  if (sw.stddev) write_std_file(n, m);
  if (sw.mean) write_mvd_file(m);
  if (sw.correlation) write_cor_file(m);
  if (sw.covariance) write_cov_file(n, m);
  if (sw.tetrad) write_inp_file(n, m);
  if (sw.oldtetrad) write_da1_file(n, m);
  if (sw.histogram) write_his_file(n, m);

  if (sw.eigenvalues) {
    // The decomposition destroys cc, so every file written from it is
    // already closed. The score limit never exceeds the loaded variables.
    const double total = eigen_decompose(m);
    order_components(m);
    write_eig_file(m, total);
    const uint32_t N = score_limit < m ? score_limit : m;
    if (sw.fsc_file) write_fsc_file(m, N, section_headers, total);
    write_sco_file(n, m, N, total);
  }

  free_work_arrays();
  set_current_data_file("");
}

int run(int argc, char **argv) {
  const std::time_t start = std::time(nullptr);
  std::setlocale(LC_TIME, "");
  alloc_line_buffer();
  sw.bins = 30;
  sw.four = 0;

  parse_switches(argc, argv);
  if (optind >= argc) usage(argv[0], sw.more);

  write_invocation_record(argc, argv);
  if (!sw.quiet) {
    std::fprintf(stderr, "%s\n", kBanner);
    std::fprintf(stderr, "%s\n", kCopyright);
  }

  for (; optind < argc; ++optind) process_data_file(argv[optind]);

  release_line_buffer();
  if (sw.timer) std::printf("\n%ld seconds\n", static_cast<long>(std::time(nullptr) - start));
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  try {
    return run(argc, argv);
  } catch (const RunEnd &end) {
    if (!end.message.empty()) std::fprintf(stderr, "\nError: %s", end.message.c_str());
    return end.status;
  } catch (const std::bad_alloc &) {
    std::fprintf(stderr, "\nError: Not enough memory (%s, %d)", "heap", 0);
    return 1;
  }
}
