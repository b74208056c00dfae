// The report's charts as inline SVG: histogram, heat map, scree plot and
// scatter plot. Each takes plain numbers and draws in its own fixed viewBox.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Where the centre and spread of a variable lie on its histogram.
struct HistogramMarks {
  double mean, median, lower_quartile, upper_quartile;
};

// One <rect class="bar"> per count; edges holds counts.size() + 1 bin
// limits. The full chart has axes with round ticks and tooltips on bars and
// marks; the compact one, for pages of hundreds of variables, keeps bars,
// and marks only.
void histogram_svg(std::string &out, std::span<const int64_t> counts,
                   std::span<const double> edges, const HistogramMarks &marks, bool full);

// A matrix of values coloured on the diverging scale from -limit (blue)
// through 0 (white) to +limit (red); NaN cells are grey.
struct HeatmapInput {
  size_t rows = 0, cols = 0;
  std::span<const double> values;  // rows * cols, row-major
  std::vector<std::string> row_labels, col_labels;  // as given, unescaped
  double limit = 1;
  bool show_values = false;  // print each value in its cell
  std::string value_name;    // word before the value in tooltips, e.g. "r"
};

// One <rect class="cell"> with a <title> per value.
void heatmap_svg(std::string &out, const HeatmapInput &in);

// The legend of the colour scale, as a strip from -limit to +limit.
void color_legend_svg(std::string &out, double limit);

// Eigenvalues as bars (class "ev") and the cumulative explained variance as
// a line against its own axis in percent on the right.
void scree_svg(std::string &out, std::span<const double> eigenvalues,
               std::span<const double> explained_percent);

// One <circle class="pt"> per point, axes scaled to the points; with
// `labels` (one per point) each circle holds its label as a <title>, the
// tooltip a browser shows; with `groups` (one per point, -1 for none) a
// point of group g also has the class "g<g mod 8>", which colours it.
void scatter_svg(std::string &out, std::span<const std::array<double, 2>> points,
                 const std::string &x_name, const std::string &y_name,
                 std::span<const std::string> labels = {}, std::span<const int32_t> groups = {});

// The colour class (k0 .. k10, or kn for NaN) of value v on the scale from
// -limit to +limit; the page's CSS gives each class its fill.
const char *diverging_class(double v, double limit);

// The CSS rules of the colour classes, for the page's style sheet.
std::string diverging_css();
