// The per-variable results as text: the statistics table on the console, the
// statistics file ".mvd" and the standardized data file ".std". The numbers
// themselves come from stats.cpp and orderstats.cpp.
#include <cmath>
#include <cstdio>

#include "naming.h"
#include "stats.h"
#include "vantor.h"

namespace {

// A variable is shown under its data-file column number.
int label(uint32_t i) { return sortarr1[i] + 1; }

// Width of the console label column: 1 + ln(m), truncated, at least 2.
int label_width(uint32_t m) {
  const int w = static_cast<int>(1 + std::log(static_cast<double>(m)));
  return w < 2 ? 2 : w;
}

constexpr char kMvdTitles[] =
    " No      Mean      Variance  Std.Dev.  Min       Max       Skewness  Curtosis  Median";
constexpr char kMvdQuartileTitles[] = "   L.Quart  U.Quart";
constexpr char kMvdField[] = "%-9.4f ";
constexpr char kMvdLastField[] = "%-9.4f";
constexpr char kTableField[] = "%-9.4g ";

}  // namespace

void print_stats_table(uint32_t m) {
  const int w = label_width(m);
  std::printf("%*s Mean      Variance  Std.Dev.  Min       Max       Skewness  Curtosis Median\n", w,
              "No");
  for (uint32_t i = 0; i < m; ++i) {
    const VariableStats &s = v[i];
    std::printf("%-*d ", w, label(i));
    for (double x : {s.mean, s.variance, s.stddev, s.min, s.max, s.skewness})
      std::printf(kTableField, shown(x));
    std::printf("%-8.4g ", shown(s.curtosis));
    std::printf("%-8.4g", shown(s.median));
    std::printf("\n");
  }
}

void write_std_file(uint32_t n, uint32_t m) {
  OutputFile out = open_output(output_name(".std"));
  for (uint32_t k = 0; k < n; ++k) {
    const double *x = dd[k];
    for (uint32_t i = 0; i < m; ++i) std::fprintf(out.fp, "%9.5f ", shown((x[i] - v[i].mean) / v[i].stddev));
    std::fputc('\n', out.fp);
  }
  close_output(out);
}

void write_mvd_file(uint32_t m) {
  OutputFile out = open_output(output_name(".mvd"));
  announce_output(out);
  std::fprintf(out.fp, "!%s", kMvdTitles);
  if (sw.quartiles) std::fputs(kMvdQuartileTitles, out.fp);
  std::fputc('\n', out.fp);
  for (uint32_t i = 0; i < m; ++i) {
    const VariableStats &s = v[i];
    std::fprintf(out.fp, "%-9d ", label(i));
    for (double x : {s.mean, s.variance, s.stddev, s.min, s.max, s.skewness, s.curtosis})
      std::fprintf(out.fp, kMvdField, shown(x));
    std::fprintf(out.fp, kMvdLastField, shown(s.median));
    if (sw.quartiles) {
      std::fprintf(out.fp, kMvdLastField, shown(s.lquart));
      std::fprintf(out.fp, kMvdLastField, shown(s.uquart));
    }
    std::fputc('\n', out.fp);
  }
  close_output(out);
}
