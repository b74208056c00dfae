// The histogram file ".his": each variable's bin counts over its count of
// values (n, unless pairwise), "%.4f " each, one line a variable. No edges
// are written.
#include "output/histout.h"

#include <cstdio>

#include "output/naming.h"

void write_his_file(const Analysis &a, const OutputPlace &place, const Console &con) {
  OutputFile out = open_output(place, ".his");
  announce_output(out, con);
  for (uint32_t k = 0; k < a.m; ++k) {
    const double rows = static_cast<double>(values_used(a, k));
    for (uint32_t b = 0; b < a.bins; ++b)
      std::fprintf(out.fp, "%.4f ", static_cast<double>(a.histogram[b][k]) / rows);
    std::fputc('\n', out.fp);
  }
  close_output(out);
}
