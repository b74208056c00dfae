// The per-variable results as text: the zero-variance warning and the
// statistics table on the console, the statistics file ".mvd" and the
// standardized data file ".std". The numbers come from the statistics phases.
#include "output/statsout.h"
#include "record/rowspill.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "output/naming.h"

namespace {

// A variable is shown under its data-file column number.
int label(const Analysis &a, uint32_t i) { return a.variable_to_file[i] + 1; }

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

// --conventional and --use=pairwise add each variable's count of values
// used and count missing at the end of the table's and ".mvd"'s lines.
bool shows_counts(const Analysis &a) { return a.conventional || a.pairwise; }
constexpr char kCountTitles[] = "  N         Missing";

std::string counts_text(const Analysis &a, uint32_t i) {
  char text[64];
  std::snprintf(text, sizeof text, "  %-9llu %llu", static_cast<unsigned long long>(values_used(a, i)),
                static_cast<unsigned long long>(values_missing(a, i)));
  return text;
}

}  // namespace

void print_zero_variance_warning(const Moments &moments, bool measured, const Console &con) {
  if (moments.constant.empty()) return;
  say(con, "\nWARNING! Variable(s)\a");
  for (uint32_t i : moments.constant) say(con, " %d", static_cast<int>(i + 1));
  if (measured)
    say(con, " has no Std.Dev. Shown as measured; correlated 0 with every other variable\n");
  else
    say(con, " has no Std.Dev. Modifies...\n");
}

void print_stats_table(const Analysis &a, const Console &con) {
  const uint32_t m = a.m;
  const int w = label_width(m);
  say(con, "%*s Mean      Variance  Std.Dev.  Min       Max       Skewness  Curtosis Median%s%s\n",
      w, "No", a.names.empty() ? "" : "   Name", shows_counts(a) ? kCountTitles : "");
  for (uint32_t i = 0; i < m; ++i) {
    const VariableStats s = shown_stats(a, i);
    say(con, "%-*d ", w, label(a, i));
    for (double x : {s.mean, s.variance, s.stddev, s.min, s.max, s.skewness})
      say(con, kTableField, shown(x));
    say(con, "%-8.4g ", shown(s.curtosis));
    say(con, "%-8.4g", shown(s.median));
    if (!a.names.empty()) say(con, " %s", name_label(a.names[i], label(a, i)).c_str());
    if (shows_counts(a)) say(con, "%s", counts_text(a, i).c_str());
    say(con, "\n");
  }
}

void write_std_file(const Analysis &a, const OutputPlace &place, const Console &) {
  OutputFile out = open_output(place, ".std");
  RowCursor cursor = row_cursor(a);
  for (RowRange r; next_rows(cursor, r);) {
    for (uint64_t k = 0; k < r.count; ++k) {
      const double *x = r[k];
      for (uint32_t i = 0; i < a.m; ++i)
        std::fprintf(out.fp, "%9.5f ", shown((x[i] - a.stats[i].mean) / a.stats[i].stddev));
      std::fputc('\n', out.fp);
    }
  }
  close_output(out);
}

void write_mvd_file(const Analysis &a, const OutputPlace &place, bool quartiles, const Console &con) {
  const uint32_t m = a.m;
  OutputFile out = open_output(place, ".mvd");
  announce_output(out, con);
  std::fprintf(out.fp, "!%s", kMvdTitles);
  if (quartiles) std::fputs(kMvdQuartileTitles, out.fp);
  if (!a.names.empty()) std::fputs("  Name", out.fp);
  if (shows_counts(a)) std::fputs(kCountTitles, out.fp);
  std::fputc('\n', out.fp);
  for (uint32_t i = 0; i < m; ++i) {
    const VariableStats s = shown_stats(a, i);
    std::fprintf(out.fp, "%-9d ", label(a, i));
    for (double x : {s.mean, s.variance, s.stddev, s.min, s.max, s.skewness, s.curtosis})
      std::fprintf(out.fp, kMvdField, shown(x));
    std::fprintf(out.fp, kMvdLastField, shown(s.median));
    if (quartiles) {
      std::fprintf(out.fp, kMvdLastField, shown(s.lower_quartile));
      std::fprintf(out.fp, kMvdLastField, shown(s.upper_quartile));
    }
    if (!a.names.empty()) std::fprintf(out.fp, " %s", name_label(a.names[i], label(a, i)).c_str());
    if (shows_counts(a)) std::fputs(counts_text(a, i).c_str(), out.fp);
    std::fputc('\n', out.fp);
  }
  close_output(out);
}
